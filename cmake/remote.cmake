# Remote optimization: the HTTP library under the library's client
# (optimizer/remote/) and the optimization server velto-server (server/).
#
# cpp-httplib comes from Debian's libcpp-httplib-dev, a compiled library
# built with OpenSSL, zlib and Brotli support: its header must be compiled
# with the same CPPHTTPLIB_*_SUPPORT definitions, and what it inlines links
# against those libraries.  The shared library is installed beside
# libvelto64 so that an installed package finds it through $ORIGIN.

find_path(VLT_HTTPLIB_INCLUDE_DIR httplib.h REQUIRED)
find_library(VLT_HTTPLIB_LIBRARY NAMES cpp-httplib REQUIRED)
find_package(OpenSSL REQUIRED)
find_library(VLT_BROTLIENC_LIBRARY NAMES brotlienc REQUIRED)
find_library(VLT_BROTLIDEC_LIBRARY NAMES brotlidec REQUIRED)

add_library(vlt_httplib INTERFACE)
target_include_directories(vlt_httplib SYSTEM INTERFACE ${VLT_HTTPLIB_INCLUDE_DIR})
target_compile_definitions(vlt_httplib INTERFACE CPPHTTPLIB_OPENSSL_SUPPORT CPPHTTPLIB_ZLIB_SUPPORT
                                                 CPPHTTPLIB_BROTLI_SUPPORT)
target_link_libraries(vlt_httplib INTERFACE ${VLT_HTTPLIB_LIBRARY} OpenSSL::SSL OpenSSL::Crypto ZLIB::ZLIB
                                            ${VLT_BROTLIENC_LIBRARY} ${VLT_BROTLIDEC_LIBRARY} Threads::Threads)
target_link_libraries(velto_objects PUBLIC vlt_httplib)

# velto-server: the library's objects linked in, installed in the package
# as velto/bin/velto-server (the command velto-server runs it).
file(GLOB VLT_SERVER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/server/*.cpp)
add_executable(velto-server ${VLT_SERVER_SOURCES})
target_compile_options(velto-server PRIVATE ${VLT_WARNINGS})
target_link_libraries(velto-server PRIVATE velto_objects)
vlt_link_highs(velto-server SITE_PACKAGES_FROM_ORIGIN ../..)
set_property(TARGET velto-server APPEND PROPERTY INSTALL_RPATH "$ORIGIN/../..")
set_target_properties(velto-server PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VLT_PKG_DIR}/velto/bin)

install(TARGETS velto-server RUNTIME DESTINATION velto/bin)
get_filename_component(_vlt_httplib_real ${VLT_HTTPLIB_LIBRARY} REALPATH)
get_filename_component(_vlt_httplib_name ${_vlt_httplib_real} NAME)
string(REGEX REPLACE "^(libcpp-httplib\\.so\\.[0-9]+\\.[0-9]+).*" "\\1" _vlt_httplib_soname ${_vlt_httplib_name})
install(FILES ${_vlt_httplib_real} DESTINATION . RENAME ${_vlt_httplib_soname})

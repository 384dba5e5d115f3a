# Locates HiGHS and defines the INTERFACE target `vlt_highs`: its headers.
#
# Search order:
#   1. find_package(highs CONFIG): an installation named through
#      CMAKE_PREFIX_PATH / highs_DIR, or the `highsbox` wheel of the configured
#      Python when its bundled CMake package is usable;
#   2. the `highsbox` wheel's files directly (its CMake package names a lib64/
#      directory that the wheel does not ship, so it usually cannot be used);
#   3. a system installation such as Debian's libhighs-dev.
#
# The library does not link HiGHS: it loads it at run time by its soname
# (optimizer/solve/highs_runtime.cpp), so that a missing HiGHS is reported in
# words instead of making the library unloadable.  The engine uses only
# HiGHS's C interface, so a library built with another C++ ABI (as the wheel
# is) works.
#
# Run time: the loader looks through the run path of the object that holds
# the library's code.  Give such a target its run path with
#
#   vlt_link_highs(<target> [SITE_PACKAGES_FROM_ORIGIN <relative path>])
#
# which adds the HiGHS library directory to BUILD_RPATH (the build tree only)
# and, when given, "$ORIGIN/<relative path>/highsbox/highs_dist/lib" to
# INSTALL_RPATH, where <relative path> leads from the installed binary to
# site-packages ("." for a top-level module, "../.." for velto/bin).  An
# installed object carries no absolute run path: with pip, the absolute one
# points into a temporary build environment, world-writable and removed
# after the build.
#
# Results: target vlt_highs, VLT_HIGHS_LIBRARY_DIR, VLT_HIGHS_FROM_HIGHSBOX.

include_guard(GLOBAL)

set(VLT_HIGHS_FROM_HIGHSBOX OFF)
set(VLT_HIGHS_LIBRARY_DIR "")

# --- where the highsbox wheel keeps HiGHS, if it is installed
if(NOT Python_EXECUTABLE)
    find_package(Python COMPONENTS Interpreter QUIET)
endif()
set(_vlt_highsbox_dir "")
if(Python_EXECUTABLE)
    execute_process(
        COMMAND "${Python_EXECUTABLE}" -c "import highsbox; print(highsbox.highs_dist_dir(), end='')"
        OUTPUT_VARIABLE _vlt_dist
        RESULT_VARIABLE _vlt_rc
        ERROR_QUIET)
    if(_vlt_rc EQUAL 0 AND IS_DIRECTORY "${_vlt_dist}")
        set(_vlt_highsbox_dir "${_vlt_dist}")
    endif()
endif()

# The wheel's CMake package is only usable if every file its targets name exists.
set(_vlt_highsbox_config_usable OFF)
if(_vlt_highsbox_dir)
    file(GLOB _vlt_target_files "${_vlt_highsbox_dir}/lib/cmake/highs/highs-targets-*.cmake")
    if(_vlt_target_files)
        set(_vlt_highsbox_config_usable ON)
        foreach(_vlt_file IN LISTS _vlt_target_files)
            file(STRINGS "${_vlt_file}" _vlt_locations REGEX "IMPORTED_LOCATION_[A-Z]+ ")
            foreach(_vlt_line IN LISTS _vlt_locations)
                if(_vlt_line MATCHES "\\\${_IMPORT_PREFIX}/([^\"]+)\"")
                    if(NOT EXISTS "${_vlt_highsbox_dir}/${CMAKE_MATCH_1}")
                        set(_vlt_highsbox_config_usable OFF)
                    endif()
                endif()
            endforeach()
        endforeach()
    endif()
    if(_vlt_highsbox_config_usable)
        list(APPEND CMAKE_PREFIX_PATH "${_vlt_highsbox_dir}")
    endif()
endif()

add_library(vlt_highs INTERFACE)

macro(_vlt_under_highsbox path)
    if(_vlt_highsbox_dir)
        string(FIND "${path}" "${_vlt_highsbox_dir}/" _vlt_at)
        if(_vlt_at EQUAL 0)
            set(VLT_HIGHS_FROM_HIGHSBOX ON)
        endif()
    endif()
endmacro()

# --- 1. a CMake package
find_package(highs CONFIG QUIET)
if(highs_FOUND AND TARGET highs::highs)
    target_include_directories(vlt_highs INTERFACE $<TARGET_PROPERTY:highs::highs,INTERFACE_INCLUDE_DIRECTORIES>)
    foreach(_vlt_prop IMPORTED_LOCATION_RELEASE IMPORTED_LOCATION_RELWITHDEBINFO IMPORTED_LOCATION
                      IMPORTED_LOCATION_DEBUG IMPORTED_LOCATION_NOCONFIG)
        get_target_property(_vlt_location highs::highs ${_vlt_prop})
        if(_vlt_location)
            get_filename_component(VLT_HIGHS_LIBRARY_DIR "${_vlt_location}" DIRECTORY)
            break()
        endif()
    endforeach()
    _vlt_under_highsbox("${VLT_HIGHS_LIBRARY_DIR}")
    message(STATUS "HiGHS: CMake package ${highs_DIR} (version ${highs_VERSION})")
else()
    # --- 2. the highsbox files, then 3. a system installation
    find_path(VLT_HIGHS_INCLUDE_DIR interfaces/highs_c_api.h
        HINTS "${_vlt_highsbox_dir}/include/highs"
        PATH_SUFFIXES highs)
    find_library(VLT_HIGHS_LIBRARY NAMES highs
        HINTS "${_vlt_highsbox_dir}/lib")
    if(NOT VLT_HIGHS_INCLUDE_DIR OR NOT VLT_HIGHS_LIBRARY)
        message(FATAL_ERROR
            "HiGHS not found: install the Python package `highsbox` for ${Python_EXECUTABLE}, "
            "install Debian's libhighs-dev, or point CMAKE_PREFIX_PATH at a HiGHS installation.")
    endif()
    get_filename_component(VLT_HIGHS_LIBRARY_DIR "${VLT_HIGHS_LIBRARY}" DIRECTORY)
    # HiGHS headers include each other relative to include/highs and, for
    # highs_export.h, relative to its parent.
    get_filename_component(_vlt_include_parent "${VLT_HIGHS_INCLUDE_DIR}" DIRECTORY)
    target_include_directories(vlt_highs SYSTEM INTERFACE "${VLT_HIGHS_INCLUDE_DIR}" "${_vlt_include_parent}")
    _vlt_under_highsbox("${VLT_HIGHS_LIBRARY}")
    message(STATUS "HiGHS: ${VLT_HIGHS_LIBRARY} (headers ${VLT_HIGHS_INCLUDE_DIR})")
endif()

if(VLT_HIGHS_FROM_HIGHSBOX)
    message(STATUS "HiGHS comes from the highsbox wheel: highsbox is a runtime dependency")
endif()

target_link_libraries(vlt_highs INTERFACE ${CMAKE_DL_LIBS})

function(vlt_link_highs target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "SITE_PACKAGES_FROM_ORIGIN" "")
    target_link_libraries(${target} PRIVATE vlt_highs)
    if(VLT_HIGHS_LIBRARY_DIR)
        set_property(TARGET ${target} APPEND PROPERTY BUILD_RPATH "${VLT_HIGHS_LIBRARY_DIR}")
    endif()
    if(VLT_HIGHS_FROM_HIGHSBOX AND DEFINED arg_SITE_PACKAGES_FROM_ORIGIN)
        set_property(TARGET ${target} APPEND PROPERTY INSTALL_RPATH
            "$ORIGIN/${arg_SITE_PACKAGES_FROM_ORIGIN}/highsbox/highs_dist/lib")
    endif()
endfunction()

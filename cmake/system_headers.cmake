# Checks that the headers of the system libraries the build uses are there
# and stops the configuration with the Debian command that installs the
# missing ones.  One row per header: the header, then its Debian package.
set(_vlt_system_headers
    "zlib.h" "zlib1g-dev"
    "zstd.h" "libzstd-dev"
    "eigen3/Eigen/Core" "libeigen3-dev"
    "nlohmann/json.hpp" "nlohmann-json3-dev"
    "httplib.h" "libcpp-httplib-dev"
    "openssl/ssl.h" "libssl-dev"
    "brotli/decode.h" "libbrotli-dev")

set(_vlt_missing_packages "")
set(_vlt_missing_headers "")
list(LENGTH _vlt_system_headers _vlt_count)
math(EXPR _vlt_last "${_vlt_count} - 1")
foreach(_vlt_i RANGE 0 ${_vlt_last} 2)
    math(EXPR _vlt_j "${_vlt_i} + 1")
    list(GET _vlt_system_headers ${_vlt_i} _vlt_header)
    list(GET _vlt_system_headers ${_vlt_j} _vlt_package)
    string(MAKE_C_IDENTIFIER "VLT_HEADER_${_vlt_header}" _vlt_var)
    find_path(${_vlt_var} ${_vlt_header})
    if(NOT ${_vlt_var})
        list(APPEND _vlt_missing_packages ${_vlt_package})
        list(APPEND _vlt_missing_headers ${_vlt_header})
    endif()
endforeach()

if(_vlt_missing_packages)
    list(JOIN _vlt_missing_packages " " _vlt_packages)
    list(JOIN _vlt_missing_headers ", " _vlt_headers)
    message(FATAL_ERROR
        "velto cannot be built: the system headers ${_vlt_headers} are missing.\n"
        "On Debian or Ubuntu install them with:\n"
        "    sudo apt-get install ${_vlt_packages}\n"
        "then run the build again (make deps installs them too).")
endif()

#pragma once

#include <string>

namespace vlt {

// "10.2.1"
std::string version_string();
// Compiler, platform and build date.
std::string build_description();

}  // namespace vlt

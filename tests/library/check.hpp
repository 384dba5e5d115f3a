// A tiny check harness for the C++ test programs.
#pragma once

#include <cstdio>

namespace vlt_test {
inline int passed = 0;
inline int failed = 0;
inline int report() {
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
}  // namespace vlt_test

#define CHECK(cond)                                                                   \
    do {                                                                              \
        if (cond) {                                                                   \
            ++vlt_test::passed;                                                       \
        } else {                                                                      \
            ++vlt_test::failed;                                                       \
            std::printf("%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);      \
        }                                                                             \
    } while (0)

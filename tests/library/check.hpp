// A tiny check harness for the C++ test programs: CHECK(cond) or
// CHECK(cond, "printf format", args...) counts and reports; report() prints
// "N passed, N failed" and gives the exit code.  The counts are atomic: the
// threading tests check from several threads at once.
#pragma once

#include <atomic>
#include <cstdio>

namespace vlt_test {
inline std::atomic<int> passed = 0;
inline std::atomic<int> failed = 0;
inline int report() {
    std::printf("%d passed, %d failed\n", passed.load(), failed.load());
    return failed == 0 ? 0 : 1;
}
}  // namespace vlt_test

#define CHECK(cond, ...)                                                      \
    do {                                                                      \
        if (cond) {                                                           \
            ++vlt_test::passed;                                               \
        } else {                                                              \
            ++vlt_test::failed;                                               \
            std::printf("FAIL %s:%d: %s", __FILE__, __LINE__, #cond);         \
            __VA_OPT__(std::printf(" | "); std::printf(__VA_ARGS__);)         \
            std::printf("\n");                                                \
        }                                                                     \
    } while (0)

#include "remote/protocol.hpp"

#include <charconv>
#include <cstdint>

namespace vlt::remote::protocol {

bool valid_token(std::string_view token) {
    if (token.size() != kTokenLength) return false;
    for (char c : token)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

std::string status_line(const JobStatus& status) {
    return std::to_string(status.done ? 1 : 0) + " " + std::to_string(status.response) + " " +
           std::to_string(status.trmcode) + " " + std::to_string(status.log_size) + "\n";
}

std::optional<JobStatus> parse_status_line(std::string_view line) {
    if (line.ends_with('\n')) line.remove_suffix(1);
    int64_t values[4];
    const char* p = line.data();
    const char* end = line.data() + line.size();
    for (int k = 0; k < 4; ++k) {
        if (k > 0) {
            if (p == end || *p != ' ') return std::nullopt;
            ++p;
        }
        const auto [next, ec] = std::from_chars(p, end, values[k]);
        if (ec != std::errc()) return std::nullopt;
        p = next;
    }
    auto int32 = [](int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; };
    if (p != end || (values[0] != 0 && values[0] != 1) || !int32(values[1]) || !int32(values[2]) || values[3] < 0)
        return std::nullopt;
    return JobStatus{values[0] == 1, int32_t(values[1]), int32_t(values[2]), values[3]};
}

}  // namespace vlt::remote::protocol

// A libFuzzer target for the remote client's reading of answers: the input
// is taken as a job result and as a status line.  A result is either
// refused with a vlt::Error or read whole, and then written and read again
// to the same bytes; the input is also read with its checksum made right,
// so that mutations reach the parts behind it.  A status line that reads
// is written and read again to the same status.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "remote/job_result.hpp"
#include "remote/protocol.hpp"

namespace {

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

void read_result(std::string_view bytes) {
    vlt::remote::JobResult result;
    try {
        result = vlt::remote::decode_result(bytes, "fuzz");
    } catch (const vlt::Error&) {
        return;
    } catch (const std::bad_alloc&) {
        finding("a result allocated more than its bytes hold");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        finding("an exception other than vlt::Error");
    }
    const std::string again = vlt::remote::encode_result(result);
    try {
        if (vlt::remote::encode_result(vlt::remote::decode_result(again, "fuzz")) != again)
            finding("a result read back does not write the same bytes");
    } catch (const vlt::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        finding("a result the library wrote does not read back");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    read_result(bytes);
    if (size >= 4) {
        std::string fixed(bytes);
        const uint32_t crc = uint32_t(crc32_z(crc32_z(0, nullptr, 0), data, size - 4));
        std::memcpy(fixed.data() + size - 4, &crc, 4);
        read_result(fixed);
    }
    if (const auto status = vlt::remote::protocol::parse_status_line(bytes)) {
        const auto again = vlt::remote::protocol::parse_status_line(vlt::remote::protocol::status_line(*status));
        if (!again || again->done != status->done || again->response != status->response ||
            again->trmcode != status->trmcode || again->log_size != status->log_size)
            finding("a status line written and read again differs");
    }
    return 0;
}

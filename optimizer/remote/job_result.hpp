// The result of an optimization job as an optimization server sends it
// back: the job's response and termination codes, the error message of a job
// that failed, the information items and the three solutions, every double
// as its eight bytes (the task itself travels in the binary task format; a
// result holds only what the optimizer made).
//
// Layout (little-endian):
//
//   magic     12 bytes "\x89VLTRSLT\r\n\x1a\n", then major and minor version (u16)
//   response  i32, trmcode i32
//   message   u64 length, bytes
//   info      u32 count and the doubles, the same for the int32 and int64 items
//   three solutions (ITR, BAS, ITG), each a u8 defined flag and, when defined,
//             prosta i32, solsta i32, two reported objectives (u8 flag, f64),
//             skc, skx, skn, the eight value vectors and doty, each an array
//             (u64 count, elements), then barx and bars: each a u64 number of
//             semidefinite variables and an array per variable (its lower
//             triangle, column by column)
//   crc       u32, CRC-32 of every byte before it
//
// Decoding checks every count against the bytes left before it allocates and
// the checksum before anything else, so a damaged answer is refused whole.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/solution.hpp"
#include "params/info_table.hpp"

namespace vlt {
class Task;
}

namespace vlt::remote {

struct JobResult {
    int32_t response = VLT_RES_OK;  // the job's response code (as a local optimize would return it)
    int32_t trmcode = VLT_RES_OK;
    std::string message;  // the error of a job whose response is not OK
    params::InfoValues info;
    std::array<model::Solution, model::kNumSolutions> solutions;
};

std::string encode_result(const JobResult& result);
// Throws vlt::Error (VLT_RES_ERR_SERVER_PROTOCOL) naming source when the
// bytes are not a whole, undamaged result of this version.
JobResult decode_result(std::string_view bytes, const std::string& source);

// What an optimizer run left in the task.
JobResult capture_result(Task& task, int32_t response, int32_t trmcode, std::string message);

// Loads the solutions and information items into the task, as if it had
// been optimized here.  Solutions whose sizes differ from the task's problem
// (a task changed after it was sent) or that hold keys or statuses out of
// range are refused before anything changes.
void install_result(Task& task, const JobResult& result);

}  // namespace vlt::remote

#include "io/mps_format.hpp"

#include "base/error.hpp"
#include "io/mps_reader.hpp"

namespace vlt::io {

namespace {

void read_into(Task& task, std::string_view bytes, const std::string& source, MpsFlavor flavor) {
    model::ProblemData data;
    MpsReadInfo remarks;
    try {
        data = read_mps_text(bytes, source, flavor, &remarks);
    } catch (const FormatError& e) {
        fail(VLT_RES_ERR_MPS_FORMAT, e.what());
    }
    for (uint8_t flag : data.semicont)
        if (flag)
            fail(VLT_RES_ERR_MPS_FORMAT, source + ": semi-continuous variables are not supported by tasks; nothing was read");
    task.problem.load(data);  // replaces the task's problem only once the whole file was read
    for (int32_t k = 0; k < model::kNumSolutions; ++k) task.solutions.remove(k);
    for (const std::string& w : remarks.warnings) task.streams.emit(VLT_STREAM_WRN, "Warning: " + w + "\n");
}

}  // namespace

void read_mps_task(Task& task, std::string_view bytes, const std::string& source) {
    read_into(task, bytes, source, MpsFlavor::automatic);
}

void read_free_mps_task(Task& task, std::string_view bytes, const std::string& source) {
    read_into(task, bytes, source, MpsFlavor::free);
}

}  // namespace vlt::io

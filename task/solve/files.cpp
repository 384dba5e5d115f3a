// File input and output: problems, parameters, solutions and stream files.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;

const PyMethodDef rows[] = {
    Method<"readdataautoformat_s_2", VLT_readdataautoformat, T, Str<"filename">>::def(),
    Method<"readdataformat_sii_4", VLT_readdataformat, T, Str<"filename">, I32<"format">, I32<"compress">>::def(),
    Method<"readtask_s_2", VLT_readtask, T, Str<"filename">>::def(),
    Method<"readopfstring_s_2", VLT_readopfstring, T, Str<"data">>::def(),
    Method<"readlpstring_s_2", VLT_readlpstring, T, Str<"data">>::def(),
    Method<"readjsonstring_s_2", VLT_readjsonstring, T, Str<"data">>::def(),
    Method<"readptfstring_s_2", VLT_readptfstring, T, Str<"data">>::def(),
    Method<"readparamfile_s_2", VLT_readparamfile, T, Str<"filename">>::def(),
    Method<"readsolution_is_3", VLT_readsolution, T, I32<"whichsol">, Str<"filename">>::def(),
    Method<"readsolutionfile_s_2", VLT_readsolutionfile, T, Str<"filename">>::def(),
    Method<"readjsonsol_s_2", VLT_readjsonsol, T, Str<"filename">>::def(),
    Method<"readbsolution_si_3", VLT_readbsolution, T, Str<"filename">, I32<"compress">>::def(),
    Method<"readsummary_i_2", VLT_readsummary, T, I32<"whichstream">>::def(),
    Method<"writedata_s_2", VLT_writedata, T, Str<"filename">>::def(),
    Method<"writetask_s_2", VLT_writetask, T, Str<"filename">>::def(),
    Method<"writeparamfile_s_2", VLT_writeparamfile, T, Str<"filename">>::def(),
    Method<"writesolution_is_3", VLT_writesolution, T, I32<"whichsol">, Str<"filename">>::def(),
    Method<"writesolutionfile_s_2", VLT_writesolutionfile, T, Str<"filename">>::def(),
    Method<"writejsonsol_s_2", VLT_writejsonsol, T, Str<"filename">>::def(),
    Method<"writebsolution_si_3", VLT_writebsolution, T, Str<"filename">, I32<"compress">>::def(),
    Method<"linkfiletotaskstream_isi_4", VLT_linkfiletotaskstream, T, I32<"whichstream">, Str<"filename">,
           I32<"append">>::def(),
};

}  // namespace

MethodList task_file_methods() { return methods_of(rows); }

}  // namespace vlt::py

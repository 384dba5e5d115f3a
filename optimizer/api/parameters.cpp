// Entry points: the task's parameters (set by code, by name, by name and text
// value; read by code; name to code; counts; defaults), its information items,
// and the texts of cone types and status keys.  The catalog and the value
// checks live in params/; a refused value leaves the parameter unchanged
// because the store checks before it writes.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "api/impl.hpp"
#include "params/info_table.hpp"
#include "params/param_table.hpp"

namespace vlt {
namespace {

void require(const void* pointer, const char* name) {
    if (!pointer) fail(VLT_RES_ERR_NULL_POINTER, std::string("Argument ") + name + " is null");
}

const char* param_name(const params::ParamRef& ref) {
    switch (ref.type) {
        case VLT_PAR_TYPE_INT: return params::int_params()[static_cast<size_t>(ref.code)].name;
        case VLT_PAR_TYPE_DOU: return params::dou_params()[static_cast<size_t>(ref.code)].name;
        default: return params::str_params()[static_cast<size_t>(ref.code)].name;
    }
}

const char* article(int32_t type) { return type == VLT_PAR_TYPE_INT ? "an " : "a "; }

// The code of the parameter called parname, which must be of the given type.
// *param is -1 unless the name is found.
void name_to_code(const char* parname, int32_t* param, int32_t type) {
    require(parname, "parname");
    require(param, "param");
    *param = -1;
    auto ref = params::find_param(parname);
    if (!ref) fail(VLT_RES_ERR_PARAM_NAME, "Unknown parameter name '" + std::string(parname) + "'");
    if (ref->type != type)
        fail(VLT_RES_ERR_PARAM_TYPE, std::string(param_name(*ref)) + " is " + article(ref->type) +
                                         params::param_type_word(ref->type) + " parameter, not " + article(type) +
                                         params::param_type_word(type) + " parameter");
    *param = ref->code;
}

int32_t text_length(const std::string& text, const char* what) {
    if (text.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        fail(VLT_RES_ERR_SIZE_LIMIT, std::string("The value of ") + what + " is too long for a 32-bit length");
    return static_cast<int32_t>(text.size());
}

}  // namespace

// ------------------------------------------------------------ setting

void impl::putintparam(Task& task, int32_t param, int32_t parvalue) { task.params.set_int(param, parvalue); }

void impl::putdouparam(Task& task, int32_t param, double parvalue) { task.params.set_dou(param, parvalue); }

void impl::putstrparam(Task& task, int32_t param, const char* parvalue) {
    require(parvalue, "parvalue");
    task.params.set_str(param, parvalue);
}

void impl::putnaintparam(Task& task, const char* paramname, int32_t parvalue) {
    require(paramname, "paramname");
    task.params.set_int(std::string_view(paramname), parvalue);
}

void impl::putnadouparam(Task& task, const char* paramname, double parvalue) {
    require(paramname, "paramname");
    task.params.set_dou(std::string_view(paramname), parvalue);
}

void impl::putnastrparam(Task& task, const char* paramname, const char* parvalue) {
    require(paramname, "paramname");
    require(parvalue, "parvalue");
    task.params.set_str(std::string_view(paramname), std::string_view(parvalue));
}

void impl::putparam(Task& task, const char* parname, const char* parvalue) {
    require(parname, "parname");
    require(parvalue, "parvalue");
    task.params.set_from_text(parname, parvalue);
}

void impl::setdefaults(Task& task) { task.params.reset(); }

// ------------------------------------------------------------ reading

void impl::getintparam(Task& task, int32_t param, int32_t* parvalue) {
    require(parvalue, "parvalue");
    *parvalue = task.params.get_int(param);
}

void impl::getdouparam(Task& task, int32_t param, double* parvalue) {
    require(parvalue, "parvalue");
    *parvalue = task.params.get_dou(param);
}

void impl::getstrparamlen(Task& task, int32_t param, int32_t* len) {
    require(len, "len");
    const std::string& value = task.params.get_str(param);
    *len = text_length(value, params::str_params()[static_cast<size_t>(param)].name);
}

// Writes at most maxlen bytes, always NUL-terminated (maxlen > 0).  *len, when
// given, receives the value's full length, also when the buffer is too small;
// the buffer then holds the value cut to maxlen - 1 characters.
void impl::getstrparam(Task& task, int32_t param, int32_t maxlen, int32_t* len, char* parvalue) {
    const std::string& value = task.params.get_str(param);
    const char* name = params::str_params()[static_cast<size_t>(param)].name;
    if (maxlen < 0) fail(VLT_RES_ERR_ARGUMENT, "Argument maxlen is negative (" + std::to_string(maxlen) + ")");
    require(parvalue, "parvalue");
    int32_t length = text_length(value, name);
    if (len) *len = length;
    if (maxlen > 0) {
        size_t copied = std::min(value.size(), static_cast<size_t>(maxlen) - 1);
        std::memcpy(parvalue, value.data(), copied);
        parvalue[copied] = '\0';
    }
    if (length >= maxlen)
        fail(VLT_RES_ERR_BUFFER_TOO_SMALL, "The value of " + std::string(name) + " has " + std::to_string(length) +
                                               " characters and needs a buffer of " + std::to_string(length + 1) +
                                               " bytes; the buffer holds " + std::to_string(maxlen));
}

void impl::getnumparam(Task& task, int32_t partype, int32_t* numparam) {
    (void)task;
    require(numparam, "numparam");
    *numparam = params::num_params(partype);
}

// ------------------------------------------------------------ names to codes

void impl::isintparname(Task& task, const char* parname, int32_t* param) {
    (void)task;
    name_to_code(parname, param, VLT_PAR_TYPE_INT);
}

void impl::isdouparname(Task& task, const char* parname, int32_t* param) {
    (void)task;
    name_to_code(parname, param, VLT_PAR_TYPE_DOU);
}

void impl::isstrparname(Task& task, const char* parname, int32_t* param) {
    (void)task;
    name_to_code(parname, param, VLT_PAR_TYPE_STR);
}

// ------------------------------------------------------------ information items

void impl::getintinf(Task& task, int32_t whichiinf, int32_t* ivalue) {
    require(ivalue, "ivalue");
    *ivalue = task.info.get_int(whichiinf);
}

void impl::getlintinf(Task& task, int32_t whichliinf, int64_t* ivalue) {
    require(ivalue, "ivalue");
    *ivalue = task.info.get_long(whichliinf);
}

void impl::getdouinf(Task& task, int32_t whichdinf, double* dvalue) {
    require(dvalue, "dvalue");
    *dvalue = task.info.get_dou(whichdinf);
}

// ------------------------------------------------------------ texts of codes

void impl::strtoconetype(Task& task, const char* str, int32_t* conetype) {
    (void)task;
    require(str, "str");
    require(conetype, "conetype");
    *conetype = params::str_to_cone_type(str);
}

void impl::strtosk(Task& task, const char* str, int32_t* sk) {
    (void)task;
    require(str, "str");
    require(sk, "sk");
    *sk = params::str_to_status_key(str);
}

}  // namespace vlt

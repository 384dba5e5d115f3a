// The simplex and mixed-integer engine (HiGHS) is loaded at run time, when
// it is first needed, not linked: a program that links the library then
// loads without it, and its absence is an error that can be reported in
// words (vlt_missing_dependency() for an importer; VLT_RES_ERR_NO_OPTIMIZER
// from the optimizer) instead of a loader failure naming a file.
//
// The engine is looked for as the dynamic loader looks for a dependency of
// the object that holds this code: LD_LIBRARY_PATH, its run path (for the
// installed package, "$ORIGIN/highsbox/highs_dist/lib", where pip puts the
// highsbox wheel beside it), the system's directories, then the loader's
// cache.  The directories are asked of the loader for this object and each
// is tried by full path: a bare soname would be searched from the run path
// of whoever calls dlopen, which is not this object when a sanitizer runtime
// or another preloaded library wraps dlopen.
//
// The functions below stand in for those of the engine's C interface that
// the engine adapter calls, with the same declarations; each forwards to the
// engine's own function.  A call of another function of that interface links
// only once it has its line here and in VLT_ENGINE_FUNCTIONS.
#include <dlfcn.h>
#include <link.h>

#include <string>
#include <vector>

#include "base/error.hpp"
#include "interfaces/highs_c_api.h"

namespace vlt::solve {
namespace {

struct Engine {
    void* library = nullptr;
    std::string error;  // why it could not be loaded (empty when it was)
#define VLT_ENGINE_FUNCTION(name) decltype(&::name) name = nullptr;
#define VLT_ENGINE_FUNCTIONS                                                                                         \
    VLT_ENGINE_FUNCTION(Highs_create)                                                                                \
    VLT_ENGINE_FUNCTION(Highs_destroy)                                                                               \
    VLT_ENGINE_FUNCTION(Highs_getBasis)                                                                              \
    VLT_ENGINE_FUNCTION(Highs_getDoubleInfoValue)                                                                    \
    VLT_ENGINE_FUNCTION(Highs_getDualRay)                                                                            \
    VLT_ENGINE_FUNCTION(Highs_getInt64InfoValue)                                                                     \
    VLT_ENGINE_FUNCTION(Highs_getIntInfoValue)                                                                       \
    VLT_ENGINE_FUNCTION(Highs_getModelStatus)                                                                        \
    VLT_ENGINE_FUNCTION(Highs_getObjectiveValue)                                                                     \
    VLT_ENGINE_FUNCTION(Highs_getPrimalRay)                                                                          \
    VLT_ENGINE_FUNCTION(Highs_getRunTime)                                                                            \
    VLT_ENGINE_FUNCTION(Highs_getSolution)                                                                           \
    VLT_ENGINE_FUNCTION(Highs_passModel)                                                                             \
    VLT_ENGINE_FUNCTION(Highs_run)                                                                                   \
    VLT_ENGINE_FUNCTION(Highs_setBasis)                                                                              \
    VLT_ENGINE_FUNCTION(Highs_setBoolOptionValue)                                                                    \
    VLT_ENGINE_FUNCTION(Highs_setCallback)                                                                           \
    VLT_ENGINE_FUNCTION(Highs_setDoubleOptionValue)                                                                  \
    VLT_ENGINE_FUNCTION(Highs_setIntOptionValue)                                                                     \
    VLT_ENGINE_FUNCTION(Highs_setSolution)                                                                           \
    VLT_ENGINE_FUNCTION(Highs_setStringOptionValue)                                                                  \
    VLT_ENGINE_FUNCTION(Highs_startCallback)
    VLT_ENGINE_FUNCTIONS
#undef VLT_ENGINE_FUNCTION

    Engine() {
        static const char* const files[] = {"libhighs.so", "libhighs.so.1"};
        for (const std::string& dir : search_directories())
            for (const char* file : files)
                if (!library) library = dlopen((dir + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
        for (const char* file : files) {  // the loader's cache, or a path that could not be listed
            if (library) break;
            library = dlopen(file, RTLD_NOW | RTLD_LOCAL);
            if (!library && error.empty()) error = dlerror();
        }
        if (!library) return;
        error.clear();
#define VLT_ENGINE_FUNCTION(name) name = load<decltype(name)>(#name);
        VLT_ENGINE_FUNCTIONS
#undef VLT_ENGINE_FUNCTION
    }

    // The directories the loader searches for a dependency of the object that
    // holds this code, in its order ($ORIGIN expanded); empty if it cannot say.
    static std::vector<std::string> search_directories() {
        Dl_info info;
        link_map* self = nullptr;
        if (!dladdr1(reinterpret_cast<void*>(&search_directories), &info, reinterpret_cast<void**>(&self),
                     RTLD_DL_LINKMAP) ||
            !self)
            return {};
        // The main program's name is empty; a library is found under its own.
        void* handle = self->l_name[0] ? dlopen(self->l_name, RTLD_LAZY | RTLD_NOLOAD) : dlopen(nullptr, RTLD_LAZY);
        std::vector<std::string> dirs;
        Dl_serinfo size;
        if (handle && dlinfo(handle, RTLD_DI_SERINFOSIZE, &size) == 0) {
            std::vector<char> buffer(size.dls_size);
            auto* list = reinterpret_cast<Dl_serinfo*>(buffer.data());
            *list = size;  // dlinfo needs dls_size and dls_cnt from the first question
            if (dlinfo(handle, RTLD_DI_SERINFO, list) == 0)
                for (unsigned i = 0; i < list->dls_cnt; ++i)
                    if (list->dls_serpath[i].dls_name[0] == '/')  // not the working directory's
                        dirs.emplace_back(list->dls_serpath[i].dls_name);
        }
        if (handle) dlclose(handle);
        dlerror();  // what failed here is not the engine's absence
        return dirs;
    }

    template <class F>
    F load(const char* name) {
        auto f = reinterpret_cast<F>(dlsym(library, name));
        if (!f && error.empty()) error = std::string("the HiGHS library has no function ") + name;
        return f;
    }
};

const Engine& engine() {
    static const Engine* loaded = new Engine();  // never unloaded: its code may run until exit
    return *loaded;
}

const Engine& usable_engine() {
    const Engine& e = engine();
    if (!e.error.empty())
        fail(VLT_RES_ERR_NO_OPTIMIZER, "The simplex and mixed-integer optimizers are not available: " + e.error);
    return e;
}

}  // namespace
}  // namespace vlt::solve

// Why the library cannot work in this process (its engine is missing), or
// null: an importer of the library asks before anything else.
extern "C" __attribute__((visibility("default"))) const char* vlt_missing_dependency(void) {
    static const std::string text =
        vlt::solve::engine().error.empty()
            ? std::string()
            : "The velto library needs HiGHS, which could not be loaded (" + vlt::solve::engine().error +
                  "): install the Python package highsbox beside velto (pip install highsbox~=1.15.1)";
    return text.empty() ? nullptr : text.c_str();
}

using vlt::solve::usable_engine;

void* Highs_create(void) { return usable_engine().Highs_create(); }
void Highs_destroy(void* highs) { usable_engine().Highs_destroy(highs); }
HighsInt Highs_getBasis(const void* highs, HighsInt* col_status, HighsInt* row_status) {
    return usable_engine().Highs_getBasis(highs, col_status, row_status);
}
HighsInt Highs_getDoubleInfoValue(const void* highs, const char* info, double* value) {
    return usable_engine().Highs_getDoubleInfoValue(highs, info, value);
}
HighsInt Highs_getDualRay(const void* highs, HighsInt* has_dual_ray, double* dual_ray_value) {
    return usable_engine().Highs_getDualRay(highs, has_dual_ray, dual_ray_value);
}
HighsInt Highs_getInt64InfoValue(const void* highs, const char* info, int64_t* value) {
    return usable_engine().Highs_getInt64InfoValue(highs, info, value);
}
HighsInt Highs_getIntInfoValue(const void* highs, const char* info, HighsInt* value) {
    return usable_engine().Highs_getIntInfoValue(highs, info, value);
}
HighsInt Highs_getModelStatus(const void* highs) { return usable_engine().Highs_getModelStatus(highs); }
double Highs_getObjectiveValue(const void* highs) { return usable_engine().Highs_getObjectiveValue(highs); }
HighsInt Highs_getPrimalRay(const void* highs, HighsInt* has_primal_ray, double* primal_ray_value) {
    return usable_engine().Highs_getPrimalRay(highs, has_primal_ray, primal_ray_value);
}
double Highs_getRunTime(const void* highs) { return usable_engine().Highs_getRunTime(highs); }
HighsInt Highs_getSolution(const void* highs, double* col_value, double* col_dual, double* row_value,
                           double* row_dual) {
    return usable_engine().Highs_getSolution(highs, col_value, col_dual, row_value, row_dual);
}
HighsInt Highs_passModel(void* highs, const HighsInt num_col, const HighsInt num_row, const HighsInt num_nz,
                         const HighsInt q_num_nz, const HighsInt a_format, const HighsInt q_format,
                         const HighsInt sense, const double offset, const double* col_cost, const double* col_lower,
                         const double* col_upper, const double* row_lower, const double* row_upper,
                         const HighsInt* a_start, const HighsInt* a_index, const double* a_value,
                         const HighsInt* q_start, const HighsInt* q_index, const double* q_value,
                         const HighsInt* integrality) {
    return usable_engine().Highs_passModel(highs, num_col, num_row, num_nz, q_num_nz, a_format, q_format, sense,
                                           offset, col_cost, col_lower, col_upper, row_lower, row_upper, a_start,
                                           a_index, a_value, q_start, q_index, q_value, integrality);
}
HighsInt Highs_run(void* highs) { return usable_engine().Highs_run(highs); }
HighsInt Highs_setBasis(void* highs, const HighsInt* col_status, const HighsInt* row_status) {
    return usable_engine().Highs_setBasis(highs, col_status, row_status);
}
HighsInt Highs_setBoolOptionValue(void* highs, const char* option, const HighsInt value) {
    return usable_engine().Highs_setBoolOptionValue(highs, option, value);
}
HighsInt Highs_setCallback(void* highs, HighsCCallbackType user_callback, void* user_callback_data) {
    return usable_engine().Highs_setCallback(highs, user_callback, user_callback_data);
}
HighsInt Highs_setDoubleOptionValue(void* highs, const char* option, const double value) {
    return usable_engine().Highs_setDoubleOptionValue(highs, option, value);
}
HighsInt Highs_setIntOptionValue(void* highs, const char* option, const HighsInt value) {
    return usable_engine().Highs_setIntOptionValue(highs, option, value);
}
HighsInt Highs_setSolution(void* highs, const double* col_value, const double* row_value, const double* col_dual,
                           const double* row_dual) {
    return usable_engine().Highs_setSolution(highs, col_value, row_value, col_dual, row_dual);
}
HighsInt Highs_setStringOptionValue(void* highs, const char* option, const char* value) {
    return usable_engine().Highs_setStringOptionValue(highs, option, value);
}
HighsInt Highs_startCallback(void* highs, const HighsInt callback_type) {
    return usable_engine().Highs_startCallback(highs, callback_type);
}

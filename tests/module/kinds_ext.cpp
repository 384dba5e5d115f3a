// _vlt_kinds: a test-only extension built from the marshalling template.
//
// It declares methods of a type `Probe` (laid out as a Task object, so that
// TaskHandle reads its handle) around fake "library" functions.  Each fake
// records its call (name, scalar arguments, whether each pointer was null,
// the counts it got) and, when a test asks for it, runs a Python callable
// during the call (with the interpreter lock taken as the library's hooks
// do), answers a chosen response code or reports a chosen size.  Output
// arrays are filled with a known pattern so that tests see the library write
// into the caller's buffers.
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "module/marshal.hpp"

#include <structmember.h>

namespace kinds {

using Value = std::variant<int64_t, double, std::string>;
struct Record {
    std::string name;
    std::vector<Value> values;
};

std::mutex log_mutex;
std::vector<Record> records;             // every fake call, in order
std::map<std::string, int32_t> results;  // response code per fake (default 0)
std::map<std::string, int64_t> sizes;    // value reported by a size query
std::map<std::string, PyObject*> hooks;  // callable run during a fake (read under the lock)
struct HoldEvent {
    const char* what;  // "hold" or "release"
    int64_t handle;
    size_t calls_before;
};
std::vector<HoldEvent> holds;  // every hold and release, in order

void record(Record r) {
    std::lock_guard<std::mutex> lock(log_mutex);
    records.push_back(std::move(r));
}

// One fake call being recorded.
class Call {
public:
    explicit Call(const char* name) { r_.name = name; }
    Call& i(int64_t v) { return r_.values.emplace_back(v), *this; }
    Call& d(double v) { return r_.values.emplace_back(v), *this; }
    Call& s(const char* v) { return r_.values.emplace_back(std::string(v ? v : "<null>")), *this; }
    Call& p(const void* v) { return r_.values.emplace_back(std::string(v ? "ptr" : "null")), *this; }
    // Records the call, runs its hook like a library hook would (the
    // exception of a raising hook stays pending) and answers its code.
    int32_t done() {
        std::string name = r_.name;
        record(std::move(r_));
        PyGILState_STATE state = PyGILState_Ensure();
        auto it = hooks.find(name);
        if (it != hooks.end() && !PyErr_Occurred()) {
            PyObject* func = it->second;
            Py_INCREF(func);
            PyObject* result = PyObject_CallObject(func, nullptr);
            Py_XDECREF(result);
            Py_DECREF(func);
        }
        PyGILState_Release(state);
        std::lock_guard<std::mutex> lock(log_mutex);
        auto code = results.find(name);
        return code == results.end() ? 0 : code->second;
    }

private:
    Record r_;
};

int64_t size_of(const char* name) {
    std::lock_guard<std::mutex> lock(log_mutex);
    auto it = sizes.find(name);
    return it == sizes.end() ? 0 : it->second;
}

template <class T>
double sum(const T* values, int64_t n) {
    double total = 0;
    for (int64_t k = 0; values && k < n; ++k) total += double(values[k]);
    return total;
}

using H = VLTtask_t;

int64_t handle_value(H t) { return int64_t(reinterpret_cast<uintptr_t>(t)); }

// ------------------------------------------------------------ scalars and results

int32_t f_scalars(H t, int32_t a, int64_t b, double c, const char* s) {
    return Call("f_scalars").i(handle_value(t)).i(a).i(b).d(c).s(s).done();
}
int32_t f_noargs(H t) { return Call("f_noargs").i(handle_value(t)).done(); }
int32_t f_ret_i(H t, int32_t* v) {
    *v = 7;
    return Call("f_ret_i").i(handle_value(t)).p(v).done();
}
int32_t f_ret_L(H, int32_t k, int64_t* v) {
    *v = (int64_t(1) << 40) + k;
    return Call("f_ret_L").i(k).done();
}
int32_t f_ret_d(H t, double* v) {
    *v = 2.5;
    return Call("f_ret_d").i(handle_value(t)).done();
}
int32_t f_ret_multi(H t, int32_t* a, double* b, int64_t* c) {
    *a = -4;
    *b = 0.25;
    *c = -(int64_t(1) << 35);
    return Call("f_ret_multi").i(handle_value(t)).done();
}
int32_t f_static(int32_t code, int32_t* out) {
    *out = code * 2;
    return Call("f_static").i(code).done();
}
int32_t f_static0(int32_t* a, int32_t* b) {
    *a = 1;
    *b = 2;
    return Call("f_static0").done();
}
int32_t f_task(H t, int32_t k, H* out) {
    *out = reinterpret_cast<H>(uintptr_t(0x1000 + k));
    return Call("f_task").i(handle_value(t)).i(k).done();
}

// ------------------------------------------------------------ groups and views

int32_t f_group32(H, int32_t n, const int32_t* a, const double* b) {
    return Call("f_group32").i(n).p(a).p(b).d(sum(a, n)).d(sum(b, n)).done();
}
int32_t f_group64(H, int64_t n, const int64_t* a, const int32_t* keys, const double* c) {
    return Call("f_group64").i(n).p(a).p(keys).p(c).d(sum(a, n)).d(sum(keys, n)).d(sum(c, n)).done();
}
int32_t f_checked32(H, int32_t n, const int32_t* a, const double* b) {
    return Call("f_checked32").i(n).p(a).p(b).done();
}
int32_t f_checked64(H, int64_t n, const int64_t* a, const double* b) {
    return Call("f_checked64").i(n).p(a).p(b).d(sum(a, n)).d(sum(b, n)).done();
}
int32_t f_counted(H, int64_t n, const double* x) { return Call("f_counted").i(n).p(x).d(sum(x, n)).done(); }
int32_t f_countof(H, int32_t n, const double* x) { return Call("f_countof").i(n).p(x).d(sum(x, n)).done(); }
int32_t f_slice_out(H, int32_t first, int32_t last, int32_t count, double* y, int32_t* keys) {
    for (int32_t k = 0; k < count; ++k) {
        if (y) y[k] = first + k + 0.5;
        if (keys) keys[k] = first + k;
    }
    return Call("f_slice_out").i(first).i(last).i(count).p(y).p(keys).done();
}
int32_t f_keyin(H, int32_t first, int32_t last, const int32_t* keys) {
    return Call("f_keyin").i(first).i(last).p(keys).d(sum(keys, int64_t(last) - first)).done();
}
int32_t f_bytes(H, int32_t first, int32_t last, double* values, int32_t* keys) {
    for (int64_t k = 0; k < int64_t(last) - first; ++k) {
        values[k] = double(first + k) * 2;
        keys[k] = int32_t(first + k);
    }
    return Call("f_bytes").i(first).i(last).p(values).p(keys).done();
}
int32_t f_sumof(H, int64_t n, const int64_t* sizes_, int64_t total, const double* values) {
    return Call("f_sumof").i(n).p(sizes_).i(total).p(values).d(sum(values, total)).done();
}

// ------------------------------------------------------------ size queries and texts

int32_t q_num(H t, int32_t* n) {
    *n = int32_t(size_of("q_num"));
    return Call("q_num").i(handle_value(t)).done();
}
int32_t q_num64(H, int32_t first, int64_t* n) {
    *n = size_of("q_num64");
    return Call("q_num64").i(first).done();
}
int32_t q_len(H, int32_t i, int32_t* n) {
    *n = int32_t(size_of("q_len"));
    return Call("q_len").i(i).done();
}
int32_t f_shared(H, int32_t n, double* a, double* b) {
    for (int32_t k = 0; k < n; ++k) {
        if (a) a[k] = k + 1;
        b[k] = -(k + 1);
    }
    return Call("f_shared").i(n).p(a).p(b).done();
}
int32_t f_perarray(H, double* a, double* b) {
    int64_t n = size_of("q_num");
    for (int64_t k = 0; k < n; ++k) {
        if (a) a[k] = double(k);
        b[k] = double(k * 10);
    }
    return Call("f_perarray").p(a).p(b).done();
}
int32_t f_two_shared(H, int32_t first, int64_t n0, int32_t n1, int64_t* a, int32_t* keys) {
    for (int64_t k = 0; a && k < n0; ++k) a[k] = first + k;
    for (int32_t k = 0; k < n1; ++k) keys[k] = -k;
    return Call("f_two_shared").i(first).i(n0).i(n1).p(a).p(keys).done();
}
int32_t q_pair(H, int32_t i, int32_t* first, int64_t* second) {
    *first = int32_t(size_of("q_pair_first"));
    *second = size_of("q_pair_second");
    return Call("q_pair").i(i).done();
}
int32_t f_pair(H, int32_t i, int32_t* keys, double* values) {
    for (int64_t k = 0; keys && k < size_of("q_pair_first"); ++k) keys[k] = int32_t(i + k);
    for (int64_t k = 0; values && k < size_of("q_pair_second"); ++k) values[k] = double(k) / 2;
    return Call("f_pair").i(i).p(keys).p(values).done();
}
int32_t f_text(H, int32_t i, int32_t size, char* text) {
    for (int32_t k = 0; k + 1 < size; ++k) text[k] = char('a' + k % 26);
    if (size > 0) text[size - 1] = '\0';
    return Call("f_text").i(i).i(size).p(text).done();
}
int32_t f_fixed(H, char* sym, char* desc) {
    std::snprintf(sym, 16, "SYM");
    std::snprintf(desc, 8, "desc");
    return Call("f_fixed").p(sym).p(desc).done();
}

// ------------------------------------------------------------ name generators

// Records the counts, which pointers are null, fmt, and the names of the
// name table joined by '|'.
template <class W>
int32_t record_generator(const char* fake, W num, const W* sub, const char* fmt, int32_t ndims, const int32_t* dims,
                         const int64_t* sp, int32_t numnamedaxis, const int32_t* axes, int64_t numnames,
                         const char* const* names) {
    std::string joined;
    for (int64_t k = 0; names && k < numnames; ++k) joined += (k ? "|" : "") + std::string(names[k]);
    return Call(fake)
        .i(num).p(sub).s(fmt).i(ndims).p(dims).p(sp).i(numnamedaxis).p(axes).i(numnames).p(names)
        .s(joined.c_str()).d(sum(sp, num))
        .done();
}
int32_t f_gen32(H, int32_t num, const int32_t* sub, const char* fmt, int32_t ndims, const int32_t* dims,
                const int64_t* sp, int32_t numnamedaxis, const int32_t* axes, int64_t numnames,
                const char* const* names) {
    return record_generator("f_gen32", num, sub, fmt, ndims, dims, sp, numnamedaxis, axes, numnames, names);
}
int32_t f_gen64(H, int64_t num, const int64_t* sub, const char* fmt, int32_t ndims, const int32_t* dims,
                const int64_t* sp, int32_t numnamedaxis, const int32_t* axes, int64_t numnames,
                const char* const* names) {
    return record_generator("f_gen64", num, sub, fmt, ndims, dims, sp, numnamedaxis, axes, numnames, names);
}

// ------------------------------------------------------------ task lists and handed-over arrays

// Records the task count and the sum of the handles; fills trm[k] = k and
// rc[k] = -k.
int32_t f_tasklist(H, int32_t flag, int64_t n, const H* tasks, int32_t* trm, int32_t* rc) {
    int64_t total = 0;
    for (int64_t k = 0; k < n; ++k) {
        total += handle_value(tasks[k]);
        trm[k] = int32_t(k);
        rc[k] = -int32_t(k);
    }
    return Call("f_tasklist").i(flag).i(n).p(tasks).i(total).p(trm).p(rc).done();
}

// Hands over n int32 (100 + k) and nz doubles (k / 4), nz being the size set
// for "f_handover"; a negative size leaves the second array null (nz 0).
int32_t f_handover(H, int32_t n, int32_t** keys, int64_t* nz, double** values) {
    int64_t count = size_of("f_handover");
    *keys = static_cast<int32_t*>(std::malloc(size_t(n > 0 ? n : 1) * sizeof(int32_t)));
    for (int32_t k = 0; k < n; ++k) (*keys)[k] = 100 + k;
    *nz = count < 0 ? 0 : count;
    if (count >= 0) {
        *values = static_cast<double*>(std::malloc(size_t(count > 0 ? count : 1) * sizeof(double)));
        for (int64_t k = 0; k < count; ++k) (*values)[k] = double(k) / 4;
    }
    return Call("f_handover").i(n).i(*nz).done();
}

}  // namespace kinds

// The library's task deletion and the wrapping of a new task handle, faked:
// a wrapped handle becomes a FakeTask that records its own end, so that
// tests see every handle handed over exactly once.
namespace {

struct FakeTask {
    PyObject_HEAD
    unsigned long long handle;
};

PyMemberDef fake_members[] = {
    {"handle", T_ULONGLONG, offsetof(FakeTask, handle), READONLY, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

void fake_dealloc(PyObject* object) {
    kinds::record({"fake_task_freed", {int64_t(reinterpret_cast<FakeTask*>(object)->handle)}});
    Py_TYPE(object)->tp_free(object);
}

PyTypeObject FakeTaskType = [] {
    PyTypeObject type{};
    type.ob_base.ob_base.ob_refcnt = 1;
    type.tp_name = "_vlt_kinds.FakeTask";
    type.tp_basicsize = sizeof(FakeTask);
    type.tp_flags = Py_TPFLAGS_DEFAULT;
    type.tp_members = fake_members;
    type.tp_dealloc = fake_dealloc;
    return type;
}();

}  // namespace

// The library's release of an array it handed over: recorded with the
// handle it got.
extern "C" VLTrescodee VLTAPI VLT_freeenv(VLTenv_t env, void* buffer) {
    kinds::record({"VLT_freeenv", {int64_t(reinterpret_cast<uintptr_t>(env))}});
    std::free(buffer);
    return VLT_RES_OK;
}

// The library's task hold: recorded apart from the calls, each with the
// handle and the number of calls recorded before it, so that tests see
// which calls a method makes while it holds its task.  The hold answers the
// code set for "VLT_holdtask".
extern "C" VLTrescodee VLTAPI VLT_holdtask(VLTtask_t task) {
    std::lock_guard<std::mutex> lock(kinds::log_mutex);
    kinds::holds.push_back({"hold", int64_t(reinterpret_cast<uintptr_t>(task)), kinds::records.size()});
    auto it = kinds::results.find("VLT_holdtask");
    return it == kinds::results.end() ? VLT_RES_OK : it->second;
}

extern "C" VLTrescodee VLTAPI VLT_releasetask(VLTtask_t task) {
    std::lock_guard<std::mutex> lock(kinds::log_mutex);
    kinds::holds.push_back({"release", int64_t(reinterpret_cast<uintptr_t>(task)), kinds::records.size()});
    return VLT_RES_OK;
}

extern "C" VLTrescodee VLTAPI VLT_deletetask(VLTtask_t* task) {
    kinds::record({"VLT_deletetask", {int64_t(reinterpret_cast<uintptr_t>(*task))}});
    *task = nullptr;
    return VLT_RES_OK;
}

namespace vlt::py {
PyObject* wrap_task_handle(VLTtask_t task) {
    PyObject* object = FakeTaskType.tp_alloc(&FakeTaskType, 0);
    if (!object) return nullptr;
    reinterpret_cast<FakeTask*>(object)->handle = reinterpret_cast<uintptr_t>(task);
    return object;
}
}  // namespace vlt::py

// ------------------------------------------------------------ the Probe type

namespace {

using namespace vlt::py;
using namespace kinds;
using T = TaskHandle;
using SliceFL = Slice<"first", "last">;
using QNum = Query<q_num, int32_t, QHandle>;
template <int K>
using QPair = QueryPart<K, q_pair, int32_t, int64_t, QHandle, QArg<"i">>;
using ProbeTasks = ListCount<"task">;

extern PyTypeObject ProbeType;  // the task list's item type

PyMethodDef probe_methods[] = {
    Method<"scalars_iLds_5", f_scalars, T, I32<"a">, I64<"b">, F64<"c">, Str<"s">>::def(),
    Method<"noargs__1", f_noargs, T>::def(),
    Method<"ret_i__1", f_ret_i, T, Ret<int32_t>>::def(),
    Method<"ret_L_i_2", f_ret_L, T, I32<"k">, Ret<int64_t>>::def(),
    Method<"ret_d__1", f_ret_d, T, Ret<double>>::def(),
    Method<"ret_multi__1", f_ret_multi, T, Ret<int32_t>, Ret<double>, Ret<int64_t>>::def(),
    Method<"static_i_1", f_static, I32<"code">, Ret<int32_t>>::def(),
    Method<"static__0", f_static0, Ret<int32_t>, Ret<int32_t>>::def(),
    Method<"task_i_2", f_task, T, I32<"k">, RetTask>::def(),

    Method<"group32_OO_3", f_group32, T, GroupCount<int32_t, "a,b">, In<int32_t, "a">, In<double, "b">>::def(),
    // The group lists its members in another order than the arguments.
    Method<"group64_OOO_4", f_group64, T, GroupCount<int64_t, "c,a,keys">, In<int64_t, "a">, KeyList<"keys">,
           In<double, "c">>::def(),
    Method<"checked32_OO_3", f_checked32, T, CheckedGroupCount<int32_t, "a,b">, In<int32_t, "a">,
           In<double, "b">>::def(),
    Method<"checked64_OO_3", f_checked64, T, CheckedGroupCount<int64_t, "a,b">, In<int64_t, "a">,
           In<double, "b">>::def(),
    Method<"counted_LO_3", f_counted, T, I64<"n">, CountedIn<double, "x", ArgValue<"n">>>::def(),
    Method<"countof_O_2", f_countof, T, CountOf<int32_t, "x">, In<double, "x">>::def(),
    Method<"slice_out_iiOO_5", f_slice_out, T, I32<"first">, I32<"last">, Count<int32_t, SliceFL>,
           Out<double, "y", SliceFL>, KeyOut<"keys", SliceFL>>::def(),
    Method<"keyin_iiO_4", f_keyin, T, I32<"first">, I32<"last">, KeyIn<"keys", SliceFL>>::def(),
    Method<"bytes_iiOO_3", f_bytes, T, I32<"first">, I32<"last">, OutBytes<double, "values", SliceFL>,
           KeyOutBytes<"keys", SliceFL>>::def(),
    Method<"sumof_OO_3", f_sumof, T, GroupCount<int64_t, "sizes">, In<int64_t, "sizes">, Count<int64_t, SumOf<"sizes">>,
           CountedIn<double, "values", SumOf<"sizes">>>::def(),

    Method<"shared_OO_2", f_shared, T, SizeQuery<q_num, int32_t, QHandle>, Count<int32_t, Queried<>>,
           Out<double, "a", Queried<>>, OutBytes<double, "b", Queried<>>>::def(),
    Method<"perarray_OO_2", f_perarray, T, Out<double, "a", QNum>, OutBytes<double, "b", QNum>>::def(),
    Method<"two_shared_iOO_3", f_two_shared, T, SizeQuery<q_num64, int64_t, QHandle, QArg<"first">>,
           SizeQuery<q_num, int32_t, QHandle>, I32<"first">, Count<int64_t, Queried<0>>, Count<int32_t, Queried<1>>,
           Out<int64_t, "a", Queried<0>>, KeyOut<"keys", Queried<1>>>::def(),
    Method<"pair_iOO_4", f_pair, T, I32<"i">, Out<int32_t, "keys", QPair<0>>, Out<double, "values", QPair<1>>>::def(),
    Method<"pair_iOO_2", f_pair, T, I32<"i">, OutBytes<int32_t, "keys", QPair<0>>,
           OutBytes<double, "values", QPair<1>>>::def(),
    Method<"text_iO_2", f_text, T, I32<"i">, TextBytes<"text", Query<q_len, int32_t, QHandle, QArg<"i">>>>::def(),
    Method<"fixed_OO_1", f_fixed, T, FixedText<"sym", 16>, FixedText<"desc", 8>>::def(),
    Method<"gen32_OsOOOOO_7", f_gen32, T, CountOf<int32_t, "sub">, In<int32_t, "sub">, Str<"fmt">,
           CountOf<int32_t, "dims">, In<int32_t, "dims">, CountedIn<int64_t, "sp", PassedCount<int32_t, "sub">>,
           CountOf<int32_t, "axes">, In<int32_t, "axes">, NamePair<"names">>::def(),
    Method<"gen64_OsOOOOO_7", f_gen64, T, CountOf<int64_t, "sub">, In<int64_t, "sub">, Str<"fmt">,
           CountOf<int32_t, "dims">, In<int32_t, "dims">, CountedIn<int64_t, "sp", PassedCount<int64_t, "sub">>,
           CountOf<int32_t, "axes">, In<int32_t, "axes">, NamePair<"names">>::def(),
    Method<"tasklist_iOOO_6", f_tasklist, T, I32<"flag">, TaskList<"task", &ProbeType>, KeyOut<"trm", ProbeTasks>,
           KeyOut<"rc", ProbeTasks>>::def(),
    Method<"tasklist_iOOO_4", f_tasklist, T, I32<"flag">, TaskList<"task", &ProbeType>,
           KeyOutBytes<"trm", ProbeTasks>, KeyOutBytes<"rc", ProbeTasks>>::def(),
    Method<"handover_iOO_3", f_handover, T, I32<"n">, LibArray<int32_t, "keys", ArgValue<"n">, QHandle>, Ret<int64_t>,
           LibArray<double, "values", ValueAt<3>, QHandle>>::def(),
    {nullptr, nullptr, 0, nullptr},
};

PyObject* probe_new(PyTypeObject* type, PyObject* args, PyObject*) {
    unsigned long long handle = 0;
    if (!PyArg_ParseTuple(args, "|K", &handle)) return nullptr;
    PyObject* object = type->tp_alloc(type, 0);
    if (object) reinterpret_cast<TaskObject*>(object)->task = reinterpret_cast<VLTtask_t>(uintptr_t(handle));
    return object;
}

PyTypeObject ProbeType = [] {
    PyTypeObject type{};
    type.ob_base.ob_base.ob_refcnt = 1;
    type.tp_name = "_vlt_kinds.Probe";
    type.tp_basicsize = sizeof(TaskObject);
    type.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE;  // a subtype is refused by task lists
    type.tp_doc = "Methods made from the marshalling template around fake library functions";
    type.tp_new = probe_new;
    type.tp_methods = probe_methods;
    return type;
}();

// ------------------------------------------------------------ module functions

PyObject* value_object(const Value& v) {
    if (auto* i = std::get_if<int64_t>(&v)) return PyLong_FromLongLong(*i);
    if (auto* d = std::get_if<double>(&v)) return PyFloat_FromDouble(*d);
    return PyUnicode_FromString(std::get<std::string>(v).c_str());
}

PyObject* k_calls(PyObject*, PyObject*) {
    std::lock_guard<std::mutex> lock(log_mutex);
    PyObject* list = PyList_New(0);
    if (!list) return nullptr;
    for (const Record& r : records) {
        PyObject* item = PyTuple_New(Py_ssize_t(r.values.size() + 1));
        if (!item) return Py_DECREF(list), nullptr;
        PyTuple_SET_ITEM(item, 0, PyUnicode_FromString(r.name.c_str()));
        for (size_t k = 0; k < r.values.size(); ++k) PyTuple_SET_ITEM(item, Py_ssize_t(k + 1), value_object(r.values[k]));
        int failed = PyList_Append(list, item);
        Py_DECREF(item);
        if (failed) return Py_DECREF(list), nullptr;
    }
    return list;
}

PyObject* k_holds(PyObject*, PyObject*) {
    std::lock_guard<std::mutex> lock(log_mutex);
    PyObject* list = PyList_New(0);
    if (!list) return nullptr;
    for (const HoldEvent& h : holds) {
        PyObject* item = Py_BuildValue("(sLn)", h.what, (long long)h.handle, Py_ssize_t(h.calls_before));
        int failed = item ? PyList_Append(list, item) : -1;
        Py_XDECREF(item);
        if (failed) return Py_DECREF(list), nullptr;
    }
    return list;
}

PyObject* k_reset(PyObject*, PyObject*) {
    {
        std::lock_guard<std::mutex> lock(log_mutex);
        records.clear();
        holds.clear();
        results.clear();
        sizes.clear();
    }
    for (auto& [name, func] : hooks) Py_DECREF(func);
    hooks.clear();
    Py_RETURN_NONE;
}

PyObject* k_set_result(PyObject*, PyObject* args) {
    const char* name;
    int code;
    if (!PyArg_ParseTuple(args, "si", &name, &code)) return nullptr;
    std::lock_guard<std::mutex> lock(log_mutex);
    results[name] = code;
    Py_RETURN_NONE;
}

PyObject* k_set_size(PyObject*, PyObject* args) {
    const char* name;
    long long value;
    if (!PyArg_ParseTuple(args, "sL", &name, &value)) return nullptr;
    std::lock_guard<std::mutex> lock(log_mutex);
    sizes[name] = value;
    Py_RETURN_NONE;
}

PyObject* k_set_hook(PyObject*, PyObject* args) {
    const char* name;
    PyObject* func;
    if (!PyArg_ParseTuple(args, "sO", &name, &func)) return nullptr;
    auto it = hooks.find(name);
    if (it != hooks.end()) {
        Py_DECREF(it->second);
        hooks.erase(it);
    }
    if (func != Py_None) {
        Py_INCREF(func);
        hooks[name] = func;
    }
    Py_RETURN_NONE;
}

PyMethodDef module_methods[] = {
    {"calls", k_calls, METH_NOARGS, "calls() -> list of (name, *values) of the fake library calls"},
    {"holds", k_holds, METH_NOARGS, "holds() -> list of (hold or release, handle, calls recorded before it)"},
    {"reset", k_reset, METH_NOARGS, "reset() forgets calls, response codes, sizes and hooks"},
    {"set_result", k_set_result, METH_VARARGS, "set_result(name, code): the fake answers code"},
    {"set_size", k_set_size, METH_VARARGS, "set_size(name, value): the size query reports value"},
    {"set_hook", k_set_hook, METH_VARARGS, "set_hook(name, func): func() runs during the fake (None removes)"},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "_vlt_kinds", "Test-only methods made from the marshalling template", -1, module_methods,
    nullptr, nullptr, nullptr, nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__vlt_kinds(void) {
    if (PyType_Ready(&ProbeType) < 0 || PyType_Ready(&FakeTaskType) < 0) return nullptr;
    PyObject* module = PyModule_Create(&module_definition);
    if (!module) return nullptr;
    Py_INCREF(&ProbeType);
    if (PyModule_AddObject(module, "Probe", reinterpret_cast<PyObject*>(&ProbeType)) < 0) {
        Py_DECREF(&ProbeType);
        Py_DECREF(module);
        return nullptr;
    }
    return module;
}

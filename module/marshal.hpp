// The marshalling template of the generated methods.
//
// A method is declared as the library call it wraps: the list of the call's
// arguments, in the library's order, each described by a kind.  Kinds that
// stand for a Python argument (scalars, views, bytearrays) are parsed in that
// order; the others (the handle, counts, scalar outputs) are worked out by the
// method.  For example
//
//   Method<"putarow_iOO_4", VLT_putarow, TaskHandle, I32<"i">, GroupCount<int32_t, "subi,vali">,
//          In<int32_t, "subi">, In<double, "vali">>
//
// The engine runs the same sequence for every method:
//   parse -> parse-time checks -> length groups -> shared size queries ->
//   count checks, per-array queries and bytearray resizes -> library call with
//   the interpreter lock released -> pending-error check -> result.
// Every temporary (the pin on a caller's view, the view of a bytearray) is
// owned by an RAII state, so it is released on every path.
#pragma once

#include <Python.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <type_traits>
#include <utility>

#include "library/velto.h"
#include "module/call_scope.hpp"
#include "module/objects.hpp"

namespace vlt::py {

// ------------------------------------------------------------ compile-time text

template <size_t N>
struct Text {
    char s[N]{};
    constexpr Text(const char (&text)[N]) {
        for (size_t i = 0; i < N; ++i) s[i] = text[i];
    }
    static constexpr size_t size = N - 1;
    constexpr const char* c_str() const { return s; }
};

template <size_t A, size_t B>
constexpr bool same_text(const char (&a)[A], const char (&b)[B]) {
    if (A != B) return false;
    for (size_t i = 0; i < A; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// Does `list` ("a,b,c") contain `name`?
template <size_t L, size_t N>
constexpr bool list_has(const char (&list)[L], const char (&name)[N]) {
    size_t start = 0;
    for (size_t i = 0; i <= L - 1; ++i) {
        if (i == L - 1 || list[i] == ',') {
            if (i - start == N - 1) {
                bool equal = true;
                for (size_t k = 0; k < N - 1; ++k)
                    if (list[start + k] != name[k]) equal = false;
                if (equal) return true;
            }
            start = i + 1;
        }
    }
    return false;
}

// Position of `name` in `list` (or -1).
template <size_t L, size_t N>
constexpr int list_position(const char (&list)[L], const char (&name)[N]) {
    size_t start = 0;
    int position = 0;
    for (size_t i = 0; i <= L - 1; ++i) {
        if (i == L - 1 || list[i] == ',') {
            if (i - start == N - 1) {
                bool equal = true;
                for (size_t k = 0; k < N - 1; ++k)
                    if (list[start + k] != name[k]) equal = false;
                if (equal) return position;
            }
            ++position;
            start = i + 1;
        }
    }
    return -1;
}

// ------------------------------------------------------------ cold error paths

[[gnu::cold]] void raise_not_memoryview(const char* name);
[[gnu::cold]] void raise_not_continuous(const char* name);
[[gnu::cold]] void raise_not_bytearray(const char* name);
[[gnu::cold]] void raise_view_count(const char* name);
[[gnu::cold]] void raise_key_count(const char* name);
[[gnu::cold]] void raise_mismatch(const char* names);
[[gnu::cold]] void raise_no_memory();
[[gnu::cold]] void raise_value_error(const char* text, const char* name);
[[gnu::cold]] PyObject* result_res_none(int32_t res);

// A text of the library's (a message, the last error) as a str.  The library
// sends valid UTF-8; a byte that is not is shown as \xNN rather than refused.
PyObject* library_text(const char* text);
// func(library_text(text)): the call of a stream callable.
PyObject* call_with_text(PyObject* func, const char* text);

// A caller's memoryview, pinned (a buffer export is held) for as long as the
// method runs, so that another thread cannot release or resize it while the
// library works with the interpreter lock released.
struct PinnedView {
    Py_buffer buffer{};
    bool pinned = false;
    PinnedView() = default;
    PinnedView(const PinnedView&) = delete;
    PinnedView& operator=(const PinnedView&) = delete;
    ~PinnedView() {
        if (pinned) PyBuffer_Release(&buffer);
    }
    // Type and element-width checks of a view (None passes).  A view that the
    // library writes into must be writable: a read-only one (of bytes, of a
    // read-only mapping) is refused with the interpreter's BufferError.
    // Returns false with a Python error set.
    bool check(PyObject* object, Py_ssize_t width, const char* name, bool writable = false);
    void* data() const { return pinned ? buffer.buf : nullptr; }
    Py_ssize_t count() const { return pinned ? buffer.shape[0] : 0; }
    bool present() const { return pinned; }
};

// The memoryview that a method makes of a bytearray it resized.
struct BytesView {
    PyObject* view = nullptr;
    BytesView() = default;
    BytesView(const BytesView&) = delete;
    BytesView& operator=(const BytesView&) = delete;
    ~BytesView() { Py_XDECREF(view); }
    // Checks the type (unless already done), resizes the bytearray to `bytes`
    // and views it.  With check_stride, the view's first stride must be 1.
    bool make(PyObject* object, Py_ssize_t bytes, const char* name, bool check_type, bool check_stride);
    void* data() const { return PyMemoryView_GET_BUFFER(view)->buf; }
};

bool is_bytearray(PyObject* object);

// ------------------------------------------------------------ the handle

// The pointer that an array argument passes: converts only to a pointer to
// its own element type, so that a method row whose widths disagree with the
// library's declaration does not compile.
template <class T>
struct ArrayPtr {
    void* p;
    operator T*() const { return static_cast<T*>(p); }
    operator const T*() const { return static_cast<const T*>(p); }
};

struct TaskHandle {
    static constexpr bool python = false;
    struct State {};
    template <class F> static auto c_args(State&, F& f) { return std::make_tuple(f.task_handle()); }
};
struct EnvHandle {
    static constexpr bool python = false;
    struct State {};
    template <class F> static auto c_args(State&, F& f) { return std::make_tuple(f.env_handle()); }
};

// ------------------------------------------------------------ scalar arguments

template <char Letter, class Storage, class CType, Text Name>
struct Scalar {
    static constexpr bool python = true;
    static constexpr char letter = Letter;
    static constexpr auto name = Name;
    struct State {
        Storage value{};
        void* parse_target() { return &value; }
    };
    template <class F> static auto c_args(State& s, F&) { return std::make_tuple(CType(s.value)); }
};

template <Text Name = "">
using I32 = Scalar<'i', int, int32_t, Name>;
template <Text Name = "">
using I64 = Scalar<'L', long long, int64_t, Name>;
template <Text Name = "">
using F64 = Scalar<'d', double, double, Name>;
template <Text Name = "">
using Str = Scalar<'s', const char*, const char*, Name>;

// ------------------------------------------------------------ counts

// The sources of a required count.  Each is evaluated against the frame.

// last - first, in 64 bits, of two int32 or int64 arguments (a difference
// beyond the int64 range saturates: no array has that many elements).
template <Text First, Text Last>
struct Slice {
    template <class F> static bool get(F& f, int64_t& n) {
        const int64_t last = int64_t(f.template scalar<Last>()), first = int64_t(f.template scalar<First>());
        if (__builtin_sub_overflow(last, first, &n)) n = last < 0 ? INT64_MIN : INT64_MAX;
        return true;
    }
};

// The count of another view argument (0 for None).
template <Text Name>
struct SameAs {
    template <class F> static bool get(F& f, int64_t& n) {
        n = f.template count_of<Name>();
        return true;
    }
};

// The count of another view as the library receives it with width W: an
// int32 count is cut, and arrays tied to it are checked against the cut value.
template <class W, Text Name>
struct PassedCount {
    template <class F> static bool get(F& f, int64_t& n) {
        n = int64_t(W(f.template count_of<Name>()));
        return true;
    }
};

// The value of an int64 (or int32) argument.
template <Text Name>
struct ArgValue {
    template <class F> static bool get(F& f, int64_t& n) {
        n = int64_t(f.template scalar<Name>());
        return true;
    }
};

// A fixed count.
template <int64_t N>
struct Fixed {
    template <class F> static bool get(F&, int64_t& n) {
        n = N;
        return true;
    }
};

// The sum of the int64 elements of an input view (0 for None).  A negative
// element (a count the library refuses) adds nothing: the library may read
// the arrays tied to the sum up to the end of any run of the counts before
// it stops at a bad one, and that end never lies beyond this sum.
template <Text Name>
struct SumOf {
    template <class F> static bool get(F& f, int64_t& n) {
        n = f.template sum_of<Name>();
        return true;
    }
};

// Arguments of a size query: the handle or one of the method's scalars.
struct QHandle {
    template <class F> static auto value(F& f) { return f.task_handle(); }
};
struct QEnvHandle {
    template <class F> static auto value(F& f) { return f.env_handle(); }
};
template <Text Name>
struct QArg {
    template <class F> static auto value(F& f) { return f.template scalar_c<Name>(); }
};

// A method that asks the library for a count and then passes an array of
// that count holds its task from the first size query to the end of its
// main call, so that no other thread changes the count in between (an
// appended variable would have the library write past a getxx array).  The
// hold is taken with the interpreter lock released, as every wait for the
// task is; a hold that fails (a null, deleted or busy task) leaves each call
// to enter the task on its own and report what is wrong.
struct TaskHold {
    VLTtask_t task = nullptr;  // the task held
    bool tried = false;
    TaskHold() = default;
    TaskHold(const TaskHold&) = delete;
    TaskHold& operator=(const TaskHold&) = delete;
    ~TaskHold() {
        if (task) VLT_releasetask(task);
    }
    // Called without the interpreter lock.
    void take(VLTtask_t handle) {
        tried = true;
        if (handle && VLT_holdtask(handle) == 0) task = handle;
    }
};

// Runs one size query with the interpreter lock released, holding the task
// of a Task method from the first query on.  False when it failed: its
// response code is kept in the frame, or a Python error raised by a callback
// during the call is pending.
template <class F, class Call>
bool run_query(F& f, Call&& call) {
    int32_t res;
    {
        bool to_hold = false;
        if constexpr (F::on_task) to_hold = !f.hold.tried;
        PyThreadState* save = PyEval_SaveThread();
        if (to_hold) f.hold.take(f.task);
        res = call();
        PyEval_RestoreThread(save);
    }
    if (f.scope.raise_pending()) {
        f.failed = true;
        return false;
    }
    if (res != 0) {
        f.res = res;
        return false;
    }
    return true;
}

// A size query made anew each time a count is needed (right before the check
// of the array that needs it).  Fn is called with the arguments and the
// address of the count.
template <auto Fn, class Out, class... Args>
struct Query {
    template <class F> static bool get(F& f, int64_t& n) {
        Out out{};
        if (!run_query(f, [&] { return Fn(Args::value(f)..., &out); })) return false;
        n = int64_t(out);
        f.last_query = n;
        return true;
    }
};

// A size query that reports two counts at once (Fn is called with the
// arguments and the addresses of both), made anew each time like Query; the
// count is its output K (0 or 1).  The two outputs may differ in width.
template <int K, auto Fn, class Out0, class Out1, class... Args>
struct QueryPart {
    static_assert(K == 0 || K == 1, "a two-count query has outputs 0 and 1");
    template <class F> static bool get(F& f, int64_t& n) {
        Out0 out0{};
        Out1 out1{};
        if (!run_query(f, [&] { return Fn(Args::value(f)..., &out0, &out1); })) return false;
        n = K == 0 ? int64_t(out0) : int64_t(out1);
        f.last_query = n;
        return true;
    }
};

// The result of the method's shared size query (made once, before any count
// check; see Method's Shared parameter).
template <int K = 0>
struct Queried {
    template <class F> static bool get(F& f, int64_t& n) {
        n = f.shared[K];
        return true;
    }
};

// A count passed to the library that is not a Python argument.

// The count of a length group (members named in the group's order).  The
// count is the first present member's; the others must agree.  Passed with
// the width W (int32: cut, and compared in that form).  With Sources > 0
// only the first Sources members may give the count (0 when none of them is
// present); the members after them are only compared with it.
template <class W, Text Names, bool Checked = false, int Sources = 0>
struct GroupCount {
    static constexpr bool python = false;
    static constexpr bool group = true;
    struct State {
        W value = 0;
    };
    template <class F> static bool check_group(State& s, F& f) {
        return f.template check_group<W, Names, Checked, Sources>(s.value);
    }
    template <class F> static auto c_args(State& s, F&) { return std::make_tuple(s.value); }
};
template <class W, Text Names, int Sources = 0>
using CheckedGroupCount = GroupCount<W, Names, true, Sources>;

// A count passed to the library, taken from a count source when the counts
// are checked.
template <class W, class Source>
struct Count {
    static constexpr bool python = false;
    static constexpr bool counted = true;
    struct State {
        W value = 0;
    };
    template <class F> static bool check_count(State& s, F& f) {
        int64_t n;
        if (!Source::get(f, n)) return false;
        s.value = W(n);
        return true;
    }
    template <class F> static auto c_args(State& s, F&) { return std::make_tuple(s.value); }
};

// The count of one input view (0 for None), with width W.
template <class W, Text Name>
using CountOf = Count<W, SameAs<Name>>;

// ------------------------------------------------------------ array arguments

// None: no count; View / KeyView: a present view holds exactly the count
// (a key view must be present); AtLeast / KeyAtLeast: a present view holds
// at least the count (views whose length the call does not name, which the
// library reads that far).
enum class Need { None, View, KeyView, AtLeast, KeyAtLeast };

// Memoryview kinds: input view (no count), counted input view and output
// view (count message of views), key input/output view (None refused once
// the count is known; count message of key views).  Writes: the library
// writes into the view, which must then be writable.
template <class T, Text Name, class Source, Need Check, bool Writes = false>
struct View {
    static constexpr bool python = true;
    static constexpr char letter = 'O';
    static constexpr auto name = Name;
    static constexpr bool counted = Check != Need::None;
    struct State {
        PyObject* object = nullptr;
        PinnedView view;
        void* parse_target() { return &object; }
    };
    template <class F> static bool check_parse(State& s, F&) {
        return s.view.check(s.object, sizeof(T), Name.c_str(), Writes);
    }
    template <class F> static bool check_count(State& s, F& f) {
        if constexpr (Check == Need::None) {
            return true;
        } else if constexpr (Check == Need::AtLeast || Check == Need::KeyAtLeast) {
            if (!s.view.present()) return true;  // None: no count asked for
            int64_t n;
            if (!Source::get(f, n)) return false;
            if (s.view.count() >= n) return true;
            if constexpr (Check == Need::KeyAtLeast) return raise_key_count(Name.c_str()), f.fail();
            else return raise_view_count(Name.c_str()), f.fail();
        } else {
            int64_t n;
            if (!Source::get(f, n)) return false;
            if constexpr (Check == Need::KeyView) {
                if (!s.view.present()) return raise_not_memoryview(Name.c_str()), f.fail();
                if (s.view.count() != n) return raise_key_count(Name.c_str()), f.fail();
            } else {
                if (s.view.present() && s.view.count() != n) return raise_view_count(Name.c_str()), f.fail();
            }
            return true;
        }
    }
    template <class F> static auto c_args(State& s, F&) { return std::make_tuple(ArrayPtr<T>{s.view.data()}); }
};

template <class T, Text Name>
using In = View<T, Name, void, Need::None>;
// An input view that the library also writes (a right-hand side solved in place).
template <class T, Text Name>
using InOut = View<T, Name, void, Need::None, true>;
template <Text Name>
using KeyList = View<int32_t, Name, void, Need::None>;
template <class T, Text Name, class Source>
using CountedIn = View<T, Name, Source, Need::View>;
template <class T, Text Name, class Source>
using Out = View<T, Name, Source, Need::View, true>;
template <Text Name, class Source>
using KeyIn = View<int32_t, Name, Source, Need::KeyView>;
// The parts of a whole solution given to putsolution(new): None, or at
// least the count.
template <class T, Text Name, class Source>
using InAtLeast = View<T, Name, Source, Need::AtLeast>;
template <Text Name, class Source>
using KeyListAtLeast = View<int32_t, Name, Source, Need::KeyAtLeast>;
template <Text Name, class Source>
using KeyOut = View<int32_t, Name, Source, Need::KeyView, true>;

// An input view that the library reads at positions given by two other
// views of 8-byte positions (the starts and ends of rows or columns, as in
// the slice and list putters): it must be long enough for every position
// the library may reach.  Nothing else tells the library the view's length,
// so without this check it would read past the caller's buffer.  Checked
// after the positions' own counts and groups: a present view must hold at
// least max(ends[k]) elements, and no begins[k] may be negative, else
// "Array is too short in argument X".  Positions given as None are not
// looked at (the library refuses null positions where it needs them); the
// order of each begins[k] and ends[k] is the library's to judge.
bool positions_within(const PinnedView& begins, const PinnedView& ends, int64_t length);

template <class T, Text Name, Text Begins, Text Ends>
struct Covers : In<T, Name> {
    static constexpr bool counted = true;
    template <class F> static bool check_count(typename In<T, Name>::State& s, F& f) {
        if (!s.view.present()) return true;
        if (!positions_within(f.template view_of<Begins>(), f.template view_of<Ends>(), s.view.count()))
            return raise_view_count(Name.c_str()), f.fail();
        return true;
    }
};

// The same for columns given by their 8-byte start positions and 4-byte
// entry counts (the sparse factorization's input): a present view must hold
// every entry [starts[k], starts[k] + counts[k]) with a count above 0, and
// no such start may be negative.  A negative count is the library's to judge.
bool columns_within(const PinnedView& starts, const PinnedView& counts, int64_t length);

template <class T, Text Name, Text Starts, Text Counts>
struct CoversColumns : In<T, Name> {
    static constexpr bool counted = true;
    template <class F> static bool check_count(typename In<T, Name>::State& s, F& f) {
        if (!s.view.present()) return true;
        if (!columns_within(f.template view_of<Starts>(), f.template view_of<Counts>(), s.view.count()))
            return raise_view_count(Name.c_str()), f.fail();
        return true;
    }
};

// Bytearray kinds: resized to count x width bytes (a negative count resizes
// to 0 bytes and the library judges the arguments).
//   output bytearray: type checked when the count is known; stride not checked
//   key output bytearray: type checked at parse time; stride must be 1
template <class T, Text Name, class Source, bool Key>
struct Bytes {
    static constexpr bool python = true;
    static constexpr char letter = 'O';
    static constexpr auto name = Name;
    static constexpr bool counted = true;
    struct State {
        PyObject* object = nullptr;
        BytesView view;
        void* parse_target() { return &object; }
    };
    template <class F> static bool check_parse(State& s, F& f) {
        if constexpr (Key) {
            if (!is_bytearray(s.object)) return raise_not_bytearray(Name.c_str()), f.fail();
        }
        return true;
    }
    template <class F> static bool check_count(State& s, F& f) {
        int64_t n;
        if (!Source::get(f, n)) return false;
        Py_ssize_t bytes = n > 0 ? Py_ssize_t(n) * Py_ssize_t(sizeof(T)) : 0;
        if (!s.view.make(s.object, bytes, Name.c_str(), !Key, Key)) return f.fail();
        return true;
    }
    template <class F> static auto c_args(State& s, F&) { return std::make_tuple(ArrayPtr<T>{s.view.data()}); }
};
template <class T, Text Name, class Source>
using OutBytes = Bytes<T, Name, Source, false>;
template <Text Name, class Source>
using KeyOutBytes = Bytes<int32_t, Name, Source, true>;

// Text bytearray: resized to length + 1 bytes; passes (int32 size, buffer).
// With Sized = false (a fixed text bytearray) only the buffer is passed.
template <Text Name, class Source, bool Sized = true, int64_t Extra = 1>
struct TextBytes {
    static constexpr bool python = true;
    static constexpr char letter = 'O';
    static constexpr auto name = Name;
    static constexpr bool counted = true;
    struct State {
        PyObject* object = nullptr;
        BytesView view;
        int32_t size = 0;
        void* parse_target() { return &object; }
    };
    template <class F> static bool check_parse(State& s, F& f) {
        if (!is_bytearray(s.object)) return raise_not_bytearray(Name.c_str()), f.fail();
        return true;
    }
    template <class F> static bool check_count(State& s, F& f) {
        int64_t n;
        if (!Source::get(f, n)) return false;
        int64_t bytes = n + Extra;
        if (bytes < 0) bytes = 0;
        s.size = int32_t(bytes);
        if (!s.view.make(s.object, Py_ssize_t(bytes), Name.c_str(), false, true)) return f.fail();
        // What a resize leaves in the buffer is whatever memory held before:
        // none of it may show after the text that the library writes.
        if (bytes > 0) std::memset(s.view.data(), 0, size_t(bytes));
        return true;
    }
    template <class F> static auto c_args(State& s, F&) {
        if constexpr (Sized)
            return std::make_tuple(s.size, static_cast<char*>(s.view.data()));
        else
            return std::make_tuple(static_cast<char*>(s.view.data()));
    }
};
// A text bytearray of exactly N bytes; only the buffer is passed.
template <Text Name, int64_t N>
using FixedText = TextBytes<Name, Fixed<N>, false, 0>;

// Name pair: two arguments, a view of 8-byte offsets and a view of bytes,
// passed as (int64 count, table of text pointers): entry k is the byte
// view's address plus offset k.  When either view is None nothing is
// checked and (0, null) is passed.  Otherwise both must be memoryviews
// (type message), of widths 8 and 1 (element-width message).  The table is
// allocated at parse time ("Failed to allocate memory") and freed, and both
// views unpinned, when the method returns, on every path.
//
// The library reads each name up to its NUL, and nothing tells it where the
// byte view ends: every offset must start a name that ends with a NUL
// inside the view, else the count message of views names the pair ("Array
// is too short in argument names"); a negative offset is refused the same way.
struct NameTable {
    PinnedView offsets, bytes;
    const char** entries = nullptr;
    int64_t count = 0;
    NameTable() = default;
    NameTable(const NameTable&) = delete;
    NameTable& operator=(const NameTable&) = delete;
    ~NameTable() { std::free(entries); }
    bool make(PyObject* offsets_object, PyObject* bytes_object, const char* name);
};

template <Text Name>
struct NamePair {
    static constexpr bool python = true;
    static constexpr char letter = 'O';
    static constexpr size_t arity = 2;
    static constexpr auto name = Name;
    struct State {
        PyObject* offsets = nullptr;
        PyObject* bytes = nullptr;
        NameTable table;
        auto parse_targets() { return std::make_tuple(static_cast<void*>(&offsets), static_cast<void*>(&bytes)); }
    };
    template <class F> static bool check_parse(State& s, F&) { return s.table.make(s.offsets, s.bytes, Name.c_str()); }
    template <class F> static auto c_args(State& s, F&) {
        return std::make_tuple(s.table.count, static_cast<const char* const*>(s.table.entries));
    }
};

// Task list: None (count 0, null array) or a list (or subtype) of objects
// whose type is exactly the task type Type, passed as (int64 count, array of
// their task handles in list order).  Checked and built at parse time: not a
// list -> ValueError "Expected a list object for argument X"; an item of
// another type -> ValueError "Expected a list of Tasks for argument X"; the
// array ("Failed to allocate memory") is freed when the method returns.
// The method holds a reference to every task of the list until it returns
// (a callable may empty the list meanwhile), and its call scope involves
// them: what their callables raise on the library's threads is raised by it.
template <Text Name, PyTypeObject* Type = &TaskType>
struct TaskList {
    static constexpr bool python = true;
    static constexpr char letter = 'O';
    static constexpr auto name = Name;
    struct State {
        PyObject* object = nullptr;
        VLTtask_t* handles = nullptr;
        PyObject** items = nullptr;  // the tasks, one reference each
        int64_t count = 0;
        Py_ssize_t held = 0;
        State() = default;
        State(const State&) = delete;
        State& operator=(const State&) = delete;
        ~State() {
            for (Py_ssize_t k = 0; k < held; ++k) Py_DECREF(items[k]);
            std::free(handles);
        }
        void* parse_target() { return &object; }
    };
    template <class F> static bool check_parse(State& s, F& f) {
        if (s.object == Py_None) return true;
        if (!PyList_Check(s.object)) return raise_value_error("Expected a list object for argument ", Name.c_str()), f.fail();
        Py_ssize_t n = PyList_GET_SIZE(s.object);
        if (n > 0) {
            // One block: the handles, then the task objects.
            s.handles = static_cast<VLTtask_t*>(std::malloc(size_t(n) * (sizeof(VLTtask_t) + sizeof(PyObject*))));
            if (!s.handles) return raise_no_memory(), f.fail();
            s.items = reinterpret_cast<PyObject**>(s.handles + n);
        }
        for (Py_ssize_t k = 0; k < n; ++k) {
            PyObject* item = PyList_GET_ITEM(s.object, k);
            if (Py_TYPE(item) != Type) return raise_value_error("Expected a list of Tasks for argument ", Name.c_str()), f.fail();
            s.handles[k] = reinterpret_cast<TaskObject*>(item)->task;
            Py_INCREF(item);
            s.items[s.held++] = item;
        }
        s.count = int64_t(n);
        f.scope.involve(s.items, s.held);
        return true;
    }
    template <class F> static auto c_args(State& s, F&) {
        return std::make_tuple(s.count, static_cast<const VLTtask_t*>(s.handles));
    }
};

// Count sources of the linear-algebra methods.

// The product of two int32 arguments, formed in 64 bits.
template <Text A, Text B>
struct ProductOf {
    template <class F> static bool get(F& f, int64_t& n) {
        n = int64_t(f.template scalar<A>()) * int64_t(f.template scalar<B>());
        return true;
    }
};

// Source IfZero when the int32 argument Code is 0, else Source Otherwise.
template <Text Code, class IfZero, class Otherwise>
struct ByCode {
    template <class F> static bool get(F& f, int64_t& n) {
        return f.template scalar<Code>() == 0 ? IfZero::get(f, n) : Otherwise::get(f, n);
    }
};

// The count of a task list.
template <Text Name>
struct ListCount {
    template <class F> static bool get(F& f, int64_t& n) {
        n = f.template state_of<Name>().count;
        return true;
    }
};

// The value held by the kind at library argument position I (a group count
// or a scalar output), read after the call by library-allocated arrays.
template <size_t I>
struct ValueAt {
    template <class F> static bool get(F& f, int64_t& n) {
        n = int64_t(std::get<I>(f.states).value);
        return true;
    }
};

// An array that the library allocates and hands over (the library gets the
// address of a pointer), copied after a successful call into the caller's
// bytearray X.  The bytearray type is checked at parse time ("Bytearray
// object for argument X").  After the call, if the library set the pointer:
// resize X to count x width bytes (Source, evaluated then), view it, copy,
// release the view and free the library's array with VLT_freeenv (the
// environment handle, the pointer); a pointer left null leaves X as it was.
// An array not copied (a failed resize or view, or a Python error raised
// during the call) is freed when the method returns.
//
// Handle gives the environment handle passed to VLT_freeenv (QEnvHandle: the
// method's own).
template <class T, Text Name, class Source, class Handle = QEnvHandle>
struct LibArray {
    static constexpr bool python = true;
    static constexpr char letter = 'O';
    static constexpr auto name = Name;
    static constexpr bool finishes = true;
    struct State {
        PyObject* object = nullptr;
        T* data = nullptr;
        VLTenv_t env = nullptr;
        State() = default;
        State(const State&) = delete;
        State& operator=(const State&) = delete;
        ~State() {
            if (data) VLT_freeenv(env, data);
        }
        void* parse_target() { return &object; }
    };
    template <class F> static bool check_parse(State& s, F& f) {
        if (!is_bytearray(s.object)) return raise_not_bytearray(Name.c_str()), f.fail();
        return true;
    }
    template <class F> static auto c_args(State& s, F& f) {
        s.env = reinterpret_cast<VLTenv_t>(Handle::value(f));
        return std::make_tuple(&s.data);
    }
    template <class F> static bool finish(State& s, F& f) {
        if (!s.data) return true;
        int64_t n;
        if (!Source::get(f, n)) return false;
        Py_ssize_t bytes = n > 0 ? Py_ssize_t(n) * Py_ssize_t(sizeof(T)) : 0;
        {
            BytesView view;
            if (!view.make(s.object, bytes, Name.c_str(), false, false)) return f.fail();
            if (bytes > 0) std::memcpy(view.data(), s.data, size_t(bytes));
        }
        T* data = s.data;
        s.data = nullptr;
        VLT_freeenv(s.env, data);
        return true;
    }
};

// ------------------------------------------------------------ scalar outputs

template <class T>
struct Ret {
    static constexpr bool python = false;
    static constexpr bool output = true;
    static constexpr char letter = std::is_same_v<T, double> ? 'd' : (sizeof(T) == 8 ? 'L' : 'i');
    struct State {
        T value{};
    };
    template <class F> static auto c_args(State& s, F&) { return std::make_tuple(&s.value); }
    static PyObject* build_one(const State& s) {
        if constexpr (std::is_same_v<T, double>)
            return PyFloat_FromDouble(s.value);
        else
            return PyLong_FromLongLong(static_cast<long long>(s.value));
    }
};

// A new task handle made by the library: the result is (0, task).
struct RetTask {
    static constexpr bool python = false;
    static constexpr bool output = true;
    static constexpr char letter = 'N';
    // A handle that is not handed over to a Task object (a callback raised
    // during the call, or the result could not be built) is deleted here.
    struct State {
        VLTtask_t value = nullptr;
        State() = default;
        State(const State&) = delete;
        State& operator=(const State&) = delete;
        ~State() {
            if (value) VLT_deletetask(&value);
        }
    };
    template <class F> static auto c_args(State& s, F&) { return std::make_tuple(&s.value); }
    static PyObject* build_one(State& s) {
        VLTtask_t task = s.value;
        s.value = nullptr;  // wrap_task_handle owns it now, also when it fails
        return wrap_task_handle(task);
    }
};

// ------------------------------------------------------------ traits

template <class D, class = void>
struct is_counted : std::false_type {};
template <class D>
struct is_counted<D, std::void_t<decltype(D::counted)>> : std::bool_constant<D::counted> {};
template <class D, class = void>
struct is_group : std::false_type {};
template <class D>
struct is_group<D, std::void_t<decltype(D::group)>> : std::true_type {};
template <class D, class = void>
struct is_output : std::false_type {};
template <class D>
struct is_output<D, std::void_t<decltype(D::output)>> : std::true_type {};

}  // namespace vlt::py

#include "module/engine.hpp"

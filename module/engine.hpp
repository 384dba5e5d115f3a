// The engine behind Method<...> rows: the frame that holds a call's state and
// runs the calling sequence.  Included by marshal.hpp.
#pragma once

namespace vlt::py {

// A size query made once per call, before the first count check; its result
// is read by Queried<K> (K counts the method's shared queries from 0).
template <auto Fn, class Out, class... Args>
struct SizeQuery {
    static constexpr bool python = false;
    static constexpr bool shared_query = true;
    struct State {};
    template <class F> static bool run(F& f, int64_t& n) { return Query<Fn, Out, Args...>::get(f, n); }
    template <class F> static auto c_args(State&, F&) { return std::tuple<>(); }
};

template <class D, class = void>
struct is_shared_query : std::false_type {};
template <class D>
struct is_shared_query<D, std::void_t<decltype(D::shared_query)>> : std::true_type {};
template <class D, class = void>
struct is_handle : std::false_type {};
template <>
struct is_handle<TaskHandle> : std::true_type {};
template <>
struct is_handle<EnvHandle> : std::true_type {};

// How many Python arguments a kind takes: none, one, or its arity (the name
// pair takes two).
template <class D>
constexpr size_t arity_of() {
    if constexpr (!D::python)
        return 0;
    else if constexpr (requires { D::arity; })
        return D::arity;
    else
        return 1;
}

template <class D, Text Name>
constexpr bool named() {
    if constexpr (D::python)
        return same_text(D::name.s, Name.s);
    else
        return false;
}

template <class D, Text Names>
constexpr int group_position() {
    if constexpr (D::python)
        return list_position(Names.s, D::name.s);
    else
        return -1;
}

constexpr int count_members(const char* list) {
    int n = 1;
    for (; *list; ++list)
        if (*list == ',') ++n;
    return n;
}

// Converts one argument the way PyArg_ParseTuple would, for the common exact
// types only; false means "let PyArg_ParseTuple do it" (no error is left set).
template <char Letter>
inline bool convert_directly(PyObject* item, void* target) {
    if constexpr (Letter == 'O') {
        *static_cast<PyObject**>(target) = item;
        return true;
    } else if constexpr (Letter == 'i' || Letter == 'L') {
        if (!PyLong_CheckExact(item)) return false;
        int overflow = 0;
        long long value = PyLong_AsLongLongAndOverflow(item, &overflow);
        if (overflow) return false;
        if constexpr (Letter == 'i') {
            if (value < INT32_MIN || value > INT32_MAX) return false;
            *static_cast<int*>(target) = int(value);
        } else {
            *static_cast<long long*>(target) = value;
        }
        return true;
    } else if constexpr (Letter == 'd') {
        if (!PyFloat_CheckExact(item)) return false;
        *static_cast<double*>(target) = PyFloat_AS_DOUBLE(item);
        return true;
    } else {
        static_assert(Letter == 's');
        if (!PyUnicode_CheckExact(item)) return false;
        Py_ssize_t size = 0;
        const char* text = PyUnicode_AsUTF8AndSize(item, &size);
        if (!text) {
            PyErr_Clear();
            return false;
        }
        if (std::strlen(text) != size_t(size)) return false;  // embedded NUL: the parser's error
        *static_cast<const char**>(target) = text;
        return true;
    }
}

template <class... D>
struct Frame {
    static constexpr size_t npos = size_t(-1);

    static constexpr bool on_task = (std::is_same_v<D, TaskHandle> || ...);

    PyObject* self = nullptr;
    VLTtask_t task = nullptr;
    int32_t res = 0;
    bool failed = false;  // a Python error is set
    CallScope scope;
    TaskHold hold;  // from the first size query of a Task method to its return
    int64_t shared[4] = {0, 0, 0, 0};
    int64_t last_query = 0;
    std::tuple<typename D::State...> states;

    bool fail() {
        failed = true;
        return false;
    }

    // The object's task as the method found it: every call of the method is
    // on that task, also when another thread disposes or initialises the
    // object again meanwhile (and the handle is read without the
    // interpreter lock while the library runs).
    VLTtask_t task_handle() const { return task; }
    VLTenv_t env_handle() const { return self ? reinterpret_cast<EnvObject*>(self)->env : nullptr; }

    template <Text Name>
    static constexpr size_t index_of() {
        size_t found = npos, i = 0;
        ((found = (found == npos && named<D, Name>()) ? i : found, ++i), ...);
        return found;
    }

    template <Text Name>
    auto scalar() const {
        constexpr size_t k = index_of<Name>();
        static_assert(k != npos, "no argument of that name");
        return std::get<k>(states).value;
    }
    template <Text Name>
    auto scalar_c() const {
        constexpr size_t k = index_of<Name>();
        static_assert(k != npos, "no argument of that name");
        using Desc = std::tuple_element_t<k, std::tuple<D...>>;
        return std::get<0>(Desc::c_args(const_cast<typename Desc::State&>(std::get<k>(states)),
                                        const_cast<Frame&>(*this)));
    }
    template <Text Name>
    const auto& state_of() const {
        constexpr size_t k = index_of<Name>();
        static_assert(k != npos, "no argument of that name");
        return std::get<k>(states);
    }
    template <Text Name>
    int64_t count_of() const {
        constexpr size_t k = index_of<Name>();
        static_assert(k != npos, "no argument of that name");
        return std::get<k>(states).view.count();
    }
    template <Text Name>
    const PinnedView& view_of() const {
        constexpr size_t k = index_of<Name>();
        static_assert(k != npos, "no argument of that name");
        return std::get<k>(states).view;
    }
    template <Text Name>
    int64_t sum_of() const {
        constexpr size_t k = index_of<Name>();
        static_assert(k != npos, "no argument of that name");
        const PinnedView& v = std::get<k>(states).view;
        if (!v.present()) return 0;
        int64_t sum = 0;
        const char* p = static_cast<const char*>(v.data());
        for (Py_ssize_t i = 0; i < v.count(); ++i) {
            int64_t x;
            std::memcpy(&x, p + i * v.buffer.strides[0], sizeof x);
            if (x > 0) sum = x > INT64_MAX - sum ? INT64_MAX : sum + x;  // saturates: no view is that long
        }
        return sum;
    }

    // Length group: the first present member (in the group's order) gives
    // the count; every other present member must agree.  A checked group
    // reports no mismatch as such: each present member is compared with the
    // count in argument order, and the first that differs is named in the
    // count message of views.
    template <class W, Text Names, bool Checked, int Sources = 0>
    bool check_group(W& out) {
        constexpr int members = count_members(Names.s);
        const PinnedView* views[members] = {};
        fill_members<Names>(views, std::index_sequence_for<D...>{});
        bool have = false;
        W count = 0;
        for (int m = 0; m < members; ++m) {
            if (!views[m] || !views[m]->present()) continue;
            if (Sources > 0 && m >= Sources) continue;  // compared only
            W c = W(views[m]->count());
            if (!have) {
                have = true;
                count = c;
            } else if (!Checked && c != count) {
                raise_mismatch(Names.s);
                return fail();
            }
        }
        if constexpr (Checked) {
            if (!check_members_exact<Names>(int64_t(count), std::index_sequence_for<D...>{})) return fail();
        }
        out = count;
        return true;
    }

    template <Text Names, size_t... I>
    void fill_members(const PinnedView** views, std::index_sequence<I...>) {
        (fill_member<Names, I>(views), ...);
    }
    template <Text Names, size_t I>
    void fill_member(const PinnedView** views) {
        using Desc = std::tuple_element_t<I, std::tuple<D...>>;
        constexpr int position = group_position<Desc, Names>();
        if constexpr (position >= 0) views[position] = &std::get<I>(states).view;
    }
    template <Text Names, size_t... I>
    bool check_members_exact(int64_t count, std::index_sequence<I...>) {
        return (check_member_exact<Names, I>(count) && ...);
    }
    template <Text Names, size_t I>
    bool check_member_exact(int64_t count) {
        using Desc = std::tuple_element_t<I, std::tuple<D...>>;
        if constexpr (group_position<Desc, Names>() >= 0) {
            const PinnedView& v = std::get<I>(states).view;
            if (v.present() && v.count() != count) {
                raise_view_count(Desc::name.s);
                return false;
            }
        }
        return true;
    }

    template <size_t I>
    bool parse_check() {
        using Desc = std::tuple_element_t<I, std::tuple<D...>>;
        if constexpr (requires(typename Desc::State & s, Frame & f) { Desc::check_parse(s, f); })
            return Desc::check_parse(std::get<I>(states), *this) || fail();
        else
            return true;
    }
    template <size_t I>
    bool group_check() {
        using Desc = std::tuple_element_t<I, std::tuple<D...>>;
        if constexpr (is_group<Desc>::value)
            return Desc::check_group(std::get<I>(states), *this);
        else
            return true;
    }
    template <size_t I>
    bool shared_query(int& k) {
        using Desc = std::tuple_element_t<I, std::tuple<D...>>;
        if constexpr (is_shared_query<Desc>::value)
            return Desc::run(*this, shared[k++]);
        else
            return true;
    }
    template <size_t I>
    bool count_check() {
        using Desc = std::tuple_element_t<I, std::tuple<D...>>;
        if constexpr (is_counted<Desc>::value)
            return Desc::check_count(std::get<I>(states), *this);
        else
            return true;
    }

    template <size_t... I>
    bool prepare(PyObject* args, const char* format, std::index_sequence<I...>) {
        constexpr bool any_python = (D::python || ...);
        if constexpr (any_python) {
            if (!parse(args, format, std::index_sequence<I...>{})) return false;
        }
        if (!(parse_check<I>() && ...)) return false;
        if (!(group_check<I>() && ...)) return false;
        int k = 0;
        if (!(shared_query<I>(k) && ...)) return false;
        return (count_check<I>() && ...);
    }

    template <size_t... I>
    bool parse(PyObject* args, const char* format, std::index_sequence<I...>) {
        // Plain ints, floats, strings and objects are taken directly; anything
        // else (a wrong count, an object with __index__, an out-of-range int)
        // goes to PyArg_ParseTuple, which converts it or raises its own error.
        constexpr Py_ssize_t count = Py_ssize_t((arity_of<D>() + ... + 0));
        if (PyTuple_GET_SIZE(args) == count) {
            Py_ssize_t k = 0;
            if ((fast_item<I>(args, k) && ...)) return true;
        }
        auto targets = std::tuple_cat(parse_target<I>()...);
        return std::apply([&](auto... p) { return PyArg_ParseTuple(args, format, p...) != 0; }, targets) || fail();
    }
    template <size_t I>
    bool fast_item(PyObject* args, Py_ssize_t& k) {
        using Desc = std::tuple_element_t<I, std::tuple<D...>>;
        if constexpr (arity_of<Desc>() == 0) {
            return true;
        } else {
            return std::apply(
                [&](auto... target) {
                    return (convert_directly<Desc::letter>(PyTuple_GET_ITEM(args, k++), target) && ...);
                },
                parse_target<I>());
        }
    }
    // The parse targets of one kind: none, its one target, or (for a kind
    // of several arguments) the tuple of its targets.
    template <size_t I>
    auto parse_target() {
        using Desc = std::tuple_element_t<I, std::tuple<D...>>;
        if constexpr (arity_of<Desc>() == 0)
            return std::tuple<>();
        else if constexpr (arity_of<Desc>() == 1)
            return std::make_tuple(std::get<I>(states).parse_target());
        else
            return std::get<I>(states).parse_targets();
    }

    // After a successful call: the kinds with a finishing step (arrays that
    // the library handed over), in argument order.  False with a Python
    // error set.
    template <size_t... I>
    bool finish(std::index_sequence<I...>) {
        return (finish_one<I>() && ...);
    }
    template <size_t I>
    bool finish_one() {
        using Desc = std::tuple_element_t<I, std::tuple<D...>>;
        if constexpr (requires { Desc::finishes; })
            return Desc::finish(std::get<I>(states), *this);
        else
            return true;
    }

    template <auto Fn, size_t... I>
    int32_t call(std::index_sequence<I...>) {
        auto arguments = std::tuple_cat(D::c_args(std::get<I>(states), *this)...);
        PyThreadState* save = PyEval_SaveThread();
        int32_t code = std::apply(Fn, arguments);
        PyEval_RestoreThread(save);
        return code;
    }

    template <size_t... I>
    PyObject* result(std::index_sequence<I...>) {
        constexpr size_t outputs = (size_t(is_output<D>::value) + ... + 0);
        if constexpr (outputs == 0) {
            return result_res_none(res);
        } else {
            if (res != 0) return result_res_none(res);
            PyObject* items[outputs + 1] = {};
            size_t n = 0;
            bool ok = (build_output<I>(items, n) && ...);
            if (!ok) {
                for (size_t k = 0; k < n; ++k) Py_XDECREF(items[k]);
                return nullptr;
            }
            PyObject* value;
            if constexpr (outputs == 1) {
                value = items[0];
            } else {
                value = PyTuple_New(Py_ssize_t(outputs));
                if (!value) {
                    for (size_t k = 0; k < n; ++k) Py_DECREF(items[k]);
                    return nullptr;
                }
                for (size_t k = 0; k < outputs; ++k) PyTuple_SET_ITEM(value, Py_ssize_t(k), items[k]);
            }
            PyObject* pair = PyTuple_New(2);
            if (!pair) {
                Py_DECREF(value);
                return nullptr;
            }
            PyTuple_SET_ITEM(pair, 0, PyLong_FromLong(0));
            PyTuple_SET_ITEM(pair, 1, value);
            return pair;
        }
    }
    template <size_t I>
    bool build_output(PyObject** items, size_t& n) {
        using Desc = std::tuple_element_t<I, std::tuple<D...>>;
        if constexpr (is_output<Desc>::value) {
            PyObject* item = Desc::build_one(std::get<I>(states));
            if (!item) return false;
            items[n++] = item;
        }
        return true;
    }
};

template <class X>
constexpr char letter_of() {
    if constexpr (X::python)
        return X::letter;
    else
        return 0;
}

template <class... D>
struct FormatOf {
    static constexpr size_t length = (arity_of<D>() + ... + 0);
    static constexpr std::array<char, length + 1> make() {
        std::array<char, length + 1> text{};
        size_t i = 0;
        ((add_letters<D>(text, i)), ...);
        text[length] = '\0';
        return text;
    }
    template <class X>
    static constexpr void add_letters(std::array<char, length + 1>& text, size_t& i) {
        for (size_t k = 0; k < arity_of<X>(); ++k) text[i++] = letter_of<X>();
    }
    static constexpr std::array<char, length + 1> value = make();
};

// One generated method: its Python name, the library function and the kinds
// of the function's arguments in order.
template <Text Name, auto Fn, class... D>
struct Method {
    static constexpr bool has_python_args = (D::python || ...);
    static constexpr bool is_static = !(is_handle<D>::value || ...);
    static constexpr auto format = FormatOf<D...>::value;

    static PyObject* call(PyObject* self, PyObject* args) {
        Frame<D...> frame;
        frame.self = self;
        if constexpr (Frame<D...>::on_task) {
            frame.task = reinterpret_cast<TaskObject*>(self)->task;
            frame.scope.involve(self);
        }
        constexpr auto indexes = std::index_sequence_for<D...>{};
        if (!frame.prepare(args, format.data(), indexes)) return frame.failed ? nullptr : result_res_none(frame.res);
        frame.res = frame.template call<Fn>(indexes);
        if (frame.scope.raise_pending()) return nullptr;
        if (frame.res == 0 && !frame.finish(indexes)) return nullptr;
        return frame.result(indexes);
    }

    static PyMethodDef def() {
        int flags = has_python_args ? METH_VARARGS : METH_NOARGS;
        if (is_static) flags |= METH_STATIC;
        return PyMethodDef{Name.s, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&call)), flags, nullptr};
    }
};

// A list of methods, as a family source declares them.
template <class... M>
inline const PyMethodDef method_rows[] = {M::def()...};

}  // namespace vlt::py

// Names of the items of a task, and the rules every stored name obeys.
//
// NameList holds the names of one list of items (constraints, variables,
// domains, affine conic constraints, and later cones, ...).  Items are unnamed
// until given a name; an unnamed item reads as the empty text, and putting
// the empty text makes an item unnamed again.  The list follows the items it
// names: append() adds unnamed items at the end, compact() drops items and
// shifts the rest down exactly as the owner renumbers its own stores.
//
// Several items may carry the same name.  find() answers the LOWEST index
// among the items with that name, or -1 when no item has it; the empty text
// is never found.  The lookup uses a hash index built on the first lookup
// after a change.  Appending items and naming a so far unnamed item keep the
// index up to date; renaming, unnaming, compacting or resizing drop it, and
// the next lookup rebuilds it in one pass.
//
// Memory: a list in which nothing was ever named stores only its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vlt::model {

struct ProblemData;

// Longest name accepted, in bytes without the terminating NUL.
inline constexpr size_t kMaxNameBytes = size_t{1} << 20;

// What is wrong with a name as text, or nullptr when nothing is: it must be
// valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF) of
// at most kMaxNameBytes bytes.  A C string cannot hold a NUL; names given
// with a length (data from files) must not contain one either.  Names read
// from files are taken as the bytes they are (utf8 = false): a file written
// in another encoding must still load, and its names come back unchanged.
const char* name_text_error(std::string_view name, bool utf8 = true);

// Checks a name given by a caller as a C string: null gives
// VLT_RES_ERR_NULL_POINTER, too long or malformed VLT_RES_ERR_INVALID_NAME,
// each message naming the argument.  Reads at most kMaxNameBytes + 1 bytes.
std::string_view checked_name(const char* name, const char* argument);

class NameList {
public:
    NameList() = default;
    explicit NameList(int64_t size) : size_(size) {}
    // Copies and moves carry the names, not the lookup index (its hash
    // functions refer to the list they belong to); it is rebuilt on demand.
    NameList(const NameList& other) : size_(other.size_), names_(other.names_) {}
    NameList(NameList&& other) noexcept : size_(other.size_), names_(std::move(other.names_)) {}
    NameList& operator=(const NameList& other);
    NameList& operator=(NameList&& other) noexcept;

    int64_t size() const { return size_; }
    bool any_named() const { return !names_.empty(); }
    int64_t num_named() const;

    // "" for an unnamed item.  The index is not checked here: callers check
    // it against their own item count with the message of their item kind.
    const std::string& get(int64_t i) const { return names_.empty() ? empty_ : names_[size_t(i)]; }
    void put(int64_t i, std::string_view name);

    void append(int64_t num);
    // New size: items beyond it go, new ones are unnamed.
    void resize(int64_t size);
    // keep[i] != 0 for every item that stays (keep.size() == size()).
    void compact(const std::vector<char>& keep);
    // Replaces every name: names is empty (all unnamed) or holds size()
    // entries.
    void assign(std::vector<std::string> names);
    // All names ("" for unnamed items), or an empty vector when none is named.
    std::vector<std::string> all() const { return names_; }

    int64_t find(std::string_view name) const;

    size_t memory_bytes() const;

private:
    // Hashes and compares items by their names; lookups by text go through
    // the same functions (heterogeneous lookup).
    struct ByName {
        using is_transparent = void;
        const std::vector<std::string>* names;
        std::string_view text(int64_t i) const { return (*names)[size_t(i)]; }
        std::string_view text(std::string_view s) const { return s; }
        template <class A>
        size_t operator()(const A& a) const { return std::hash<std::string_view>{}(text(a)); }
        template <class A, class B>
        bool operator()(const A& a, const B& b) const { return text(a) == text(b); }
    };
    using Index = std::unordered_set<int64_t, ByName, ByName>;

    void materialize();
    void drop_index() { index_.reset(); }

    static const std::string empty_;
    int64_t size_ = 0;
    std::vector<std::string> names_;  // empty, or size_ entries
    mutable std::unique_ptr<Index> index_;
};

// Names for many items at once.  Item k of num sits at a position of an
// array of shape dims[0..ndims) (row-major: the last axis runs fastest): at
// position sp[k] when sp is given, else at position k.  Its name is fmt with
// every placeholder replaced by the item's coordinate on one axis:
//   {}    the next axis: the first {} stands for axis 0, the second for 1, ...
//   {d}   axis d (0-based); the two forms cannot be mixed in one format
//   {{ }} a literal brace
// A named axis (listed in namedaxisidxs) shows a name instead of its
// coordinate: the name table holds dims[a] names for each named axis a, the
// axes in the order of namedaxisidxs, so numnames is the sum of those dims.
// Example: fmt "x[{},{}]", dims {2, 3}: position 4 is "x[1,1]"; with axis 0
// named by {"a", "b"} it is "x[b,1]".  An axis may appear in fmt any number
// of times or not at all.
// Everything is checked before a name is made; the result holds num valid
// names.  Throws vlt::Error naming the offending argument.
std::vector<std::string> generate_names(int64_t num, const char* fmt, int32_t ndims, const int32_t* dims,
                                        const int64_t* sp, int32_t numnamedaxis, const int32_t* namedaxisidxs,
                                        int64_t numnames, const char* const* names);

// Rules of the file formats for names (nametype is VLT_NAME_TYPE_*).  Each
// answers what is wrong, or nullptr.  See names.cpp for the exact rules.
const char* item_name_violation(std::string_view name, int32_t nametype);
const char* item_name_note(std::string_view name, int32_t nametype);
const char* task_name_violation(std::string_view name, int32_t nametype);

// The names a problem holds besides those of its items' lists.
struct ProblemNames {
    NameList con, var;
    std::string task, objective;

    // Fills the name fields of d (item names only when some item is named).
    void to_data(ProblemData& d) const;
    // The names of d for a problem of d.numcon constraints and d.numvar
    // variables, checked as a whole: throws vlt::Error naming the field and
    // position of a bad entry.
    static ProblemNames from_data(const ProblemData& d);
};

}  // namespace vlt::model

#include "model/names.hpp"

#include <cstring>
#include <utility>

#include "base/error.hpp"
#include "base/text.hpp"
#include "model/problem_data.hpp"

namespace vlt::model {

const std::string NameList::empty_;

const char* name_text_error(std::string_view name, bool utf8) {
    if (name.size() > kMaxNameBytes) return "is longer than 1048576 bytes";
    for (size_t pos = 0; pos < name.size();) {
        if (name[pos] == '\0') return "contains a NUL character";
        if (!utf8) {
            ++pos;
            continue;
        }
        size_t len = utf8_sequence(name, pos);
        if (len == 0) return "is not valid UTF-8 text";
        pos += len;
    }
    return nullptr;
}

std::string_view checked_name(const char* name, const char* argument) {
    if (!name) fail(VLT_RES_ERR_NULL_POINTER, std::string("Argument ") + argument + " is a null pointer");
    std::string_view text(name, strnlen(name, kMaxNameBytes + 1));
    if (const char* why = name_text_error(text))
        fail(VLT_RES_ERR_INVALID_NAME, std::string("Argument ") + argument + " " + why);
    return text;
}

// ------------------------------------------------------------- NameList

NameList& NameList::operator=(const NameList& other) {
    if (this != &other) {
        size_ = other.size_;
        names_ = other.names_;
        drop_index();
    }
    return *this;
}

NameList& NameList::operator=(NameList&& other) noexcept {
    size_ = other.size_;
    names_ = std::move(other.names_);
    drop_index();
    other.drop_index();
    return *this;
}

int64_t NameList::num_named() const {
    int64_t n = 0;
    for (const std::string& s : names_) n += !s.empty();
    return n;
}

void NameList::materialize() {
    if (names_.empty() && size_ > 0) names_.resize(size_t(size_));
}

void NameList::put(int64_t i, std::string_view name) {
    if (name.empty() && names_.empty()) return;
    materialize();
    std::string& slot = names_[size_t(i)];
    const bool was_unnamed = slot.empty();
    slot.assign(name);
    if (!index_) return;
    if (!was_unnamed || name.empty()) {
        drop_index();
        return;
    }
    // A first name: the index stays right if it now answers the lowest item.
    auto it = index_->find(name);
    if (it == index_->end()) {
        index_->insert(i);
    } else if (*it > i) {
        index_->erase(it);
        index_->insert(i);
    }
}

void NameList::append(int64_t num) {
    // Grown before the size changes: a failed allocation leaves the list as it was.
    if (!names_.empty()) names_.resize(size_t(size_ + num));  // unnamed: the index stays valid
    size_ += num;
}

void NameList::resize(int64_t size) {
    size_ = size;
    if (!names_.empty()) names_.resize(size_t(size_));
    drop_index();
}

void NameList::compact(const std::vector<char>& keep) {
    drop_index();
    size_t w = 0;
    for (size_t k = 0; k < keep.size(); ++k) {
        if (!keep[k]) continue;
        if (!names_.empty() && w != k) names_[w] = std::move(names_[k]);
        ++w;
    }
    size_ = int64_t(w);
    if (!names_.empty()) names_.resize(w);
}

void NameList::assign(std::vector<std::string> names) {
    drop_index();
    names_ = std::move(names);
    bool any = false;
    for (const std::string& s : names_) any = any || !s.empty();
    if (!any) names_.clear();
}

int64_t NameList::find(std::string_view name) const {
    if (name.empty() || names_.empty()) return -1;
    if (!index_) {
        auto index = std::make_unique<Index>(names_.size(), ByName{&names_}, ByName{&names_});
        for (size_t i = 0; i < names_.size(); ++i)
            if (!names_[i].empty()) index->insert(int64_t(i));  // an existing name keeps its lower index
        index_ = std::move(index);
    }
    auto it = index_->find(name);
    return it == index_->end() ? -1 : *it;
}

size_t NameList::memory_bytes() const {
    size_t bytes = names_.capacity() * sizeof(std::string);
    for (const std::string& s : names_)
        if (s.capacity() > 15) bytes += s.capacity() + 1;  // beyond the in-place buffer
    if (index_) bytes += index_->bucket_count() * sizeof(void*) + index_->size() * 2 * sizeof(void*);
    return bytes;
}

// --------------------------------------------------------- ProblemNames

void ProblemNames::to_data(ProblemData& d) const {
    d.name = task;
    d.objname = objective;
    d.conname = con.all();
    d.varname = var.all();
}

ProblemNames ProblemNames::from_data(const ProblemData& d) {
    auto check_list = [](const char* field, const std::vector<std::string>& names, int32_t count,
                         const char* count_name) {
        if (!names.empty() && names.size() != size_t(count))
            fail(VLT_RES_ERR_DIMENSION, std::string("Problem data: ") + field + " has " + std::to_string(names.size()) +
                                            " elements, " + count_name + " = " + std::to_string(count));
        for (size_t k = 0; k < names.size(); ++k)
            if (const char* why = name_text_error(names[k], false))
                fail(VLT_RES_ERR_INVALID_NAME,
                     std::string("Problem data: ") + field + "[" + std::to_string(k) + "] " + why);
    };
    check_list("conname", d.conname, d.numcon, "numcon");
    check_list("varname", d.varname, d.numvar, "numvar");
    if (const char* why = name_text_error(d.name, false))
        fail(VLT_RES_ERR_INVALID_NAME, std::string("Problem data: name ") + why);
    if (const char* why = name_text_error(d.objname, false))
        fail(VLT_RES_ERR_INVALID_NAME, std::string("Problem data: objname ") + why);

    ProblemNames n;
    n.con = NameList(d.numcon);
    n.var = NameList(d.numvar);
    n.con.assign(d.conname);
    n.var.assign(d.varname);
    n.task = d.name;
    n.objective = d.objname;
    return n;
}

}  // namespace vlt::model

// -------------------------------------------------------- generated names

namespace vlt::model {

namespace {

// A format text as literal pieces, each followed by the axis whose
// coordinate comes next (-1 after the last piece).
struct FormatPiece {
    std::string text;
    int32_t axis = -1;
};

std::vector<FormatPiece> parse_format(std::string_view fmt, int32_t ndims) {
    std::vector<FormatPiece> pieces(1);
    bool automatic = false, explicit_axes = false;
    int32_t next_axis = 0;
    auto bad = [&](size_t pos, const std::string& why) {
        fail(VLT_RES_ERR_ARGUMENT, "Argument fmt: " + why + " at byte " + std::to_string(pos));
    };
    for (size_t pos = 0; pos < fmt.size(); ++pos) {
        const char ch = fmt[pos];
        if (ch == '}') {
            if (pos + 1 < fmt.size() && fmt[pos + 1] == '}') {
                pieces.back().text += '}';
                ++pos;
                continue;
            }
            bad(pos, "a '}' that closes nothing (write '}}' for a brace)");
        }
        if (ch != '{') {
            pieces.back().text += ch;
            continue;
        }
        if (pos + 1 < fmt.size() && fmt[pos + 1] == '{') {
            pieces.back().text += '{';
            ++pos;
            continue;
        }
        const size_t close = fmt.find('}', pos);
        if (close == std::string_view::npos) bad(pos, "a '{' without its '}'");
        std::string_view inside = fmt.substr(pos + 1, close - pos - 1);
        int64_t axis;
        if (inside.empty()) {
            if (explicit_axes) bad(pos, "'{}' mixed with numbered placeholders");
            automatic = true;
            axis = next_axis++;
        } else {
            if (automatic) bad(pos, "a numbered placeholder mixed with '{}'");
            explicit_axes = true;
            if (inside.size() > 9 || inside.find_first_not_of("0123456789") != std::string_view::npos)
                bad(pos, "placeholder '{" + std::string(inside) + "}' is neither '{}' nor an axis number");
            axis = std::stoll(std::string(inside));
        }
        if (axis >= ndims)
            bad(pos, "placeholder " + std::to_string(pieces.size()) + " refers to axis " + std::to_string(axis) +
                         " but the shape has " + std::to_string(ndims) + (ndims == 1 ? " axis" : " axes"));
        pieces.back().axis = int32_t(axis);
        pieces.emplace_back();
        pos = close;
    }
    return pieces;
}

}  // namespace

std::vector<std::string> generate_names(int64_t num, const char* fmt, int32_t ndims, const int32_t* dims,
                                        const int64_t* sp, int32_t numnamedaxis, const int32_t* namedaxisidxs,
                                        int64_t numnames, const char* const* names) {
    std::string_view format = checked_name(fmt, "fmt");
    if (ndims < 0) fail(VLT_RES_ERR_NEGATIVE_COUNT, "Argument ndims = " + std::to_string(ndims) + " is negative");
    if (!dims && ndims > 0)
        fail(VLT_RES_ERR_NULL_POINTER, "Argument dims is a null pointer but ndims = " + std::to_string(ndims));
    int64_t positions = 1;
    for (int32_t d = 0; d < ndims; ++d) {
        if (dims[d] < 0)
            fail(VLT_RES_ERR_DIMENSION, "Argument dims[" + std::to_string(d) + "] = " + std::to_string(dims[d]) +
                                            " is negative");
        if (dims[d] > 0 && positions > INT64_MAX / dims[d])
            fail(VLT_RES_ERR_DIMENSION, "Argument dims describes more than 2^63 positions");
        positions *= dims[d];
    }
    if (sp) {
        for (int64_t k = 0; k < num; ++k)
            if (sp[k] < 0 || sp[k] >= positions)
                fail(VLT_RES_ERR_DIMENSION, "Argument sp[" + std::to_string(k) + "] = " + std::to_string(sp[k]) +
                                                " is not a position of the shape (" + std::to_string(positions) +
                                                " positions)");
    } else if (num > positions) {
        fail(VLT_RES_ERR_DIMENSION, "Argument num = " + std::to_string(num) + " items do not fit the shape of " +
                                        std::to_string(positions) + " positions given by dims; give sp to place them");
    }
    if (numnamedaxis < 0)
        fail(VLT_RES_ERR_NEGATIVE_COUNT, "Argument numnamedaxis = " + std::to_string(numnamedaxis) + " is negative");
    if (!namedaxisidxs && numnamedaxis > 0)
        fail(VLT_RES_ERR_NULL_POINTER,
             "Argument namedaxisidxs is a null pointer but numnamedaxis = " + std::to_string(numnamedaxis));
    // first_name[d]: position in the name table of axis d's first name, or -1.
    std::vector<int64_t> first_name(static_cast<size_t>(ndims), -1);
    int64_t needed = 0;
    for (int32_t a = 0; a < numnamedaxis; ++a) {
        const int32_t d = namedaxisidxs[a];
        const std::string arg = "Argument namedaxisidxs[" + std::to_string(a) + "] = " + std::to_string(d);
        if (d < 0 || d >= ndims)
            fail(VLT_RES_ERR_ARGUMENT, arg + " is not an axis of the shape (ndims = " + std::to_string(ndims) + ")");
        if (first_name[size_t(d)] >= 0) fail(VLT_RES_ERR_ARGUMENT, arg + " names an axis a second time");
        first_name[size_t(d)] = needed;
        needed += dims[d];
    }
    if (numnames != needed)
        fail(VLT_RES_ERR_DIMENSION, "Argument numnames = " + std::to_string(numnames) + " but the named axes take " +
                                        std::to_string(needed) + " names (the sum of their dims)");
    if (!names && numnames > 0)
        fail(VLT_RES_ERR_NULL_POINTER, "Argument names is a null pointer but numnames = " + std::to_string(numnames));
    std::vector<std::string_view> axis_names(static_cast<size_t>(numnames));
    for (int64_t k = 0; k < numnames; ++k)
        axis_names[size_t(k)] = checked_name(names[k], ("names[" + std::to_string(k) + "]").c_str());
    const std::vector<FormatPiece> pieces = parse_format(format, ndims);

    std::vector<int64_t> stride(static_cast<size_t>(ndims), 1);
    for (int32_t d = ndims - 2; d >= 0; --d) stride[size_t(d)] = stride[size_t(d) + 1] * dims[d + 1];
    std::vector<std::string> out(static_cast<size_t>(num));
    for (int64_t k = 0; k < num; ++k) {
        const int64_t position = sp ? sp[k] : k;
        std::string& name = out[size_t(k)];
        for (const FormatPiece& piece : pieces) {
            name += piece.text;
            if (piece.axis < 0) continue;
            const size_t d = size_t(piece.axis);
            const int64_t coordinate = position / stride[d] % dims[d];
            if (first_name[d] >= 0)
                name += axis_names[size_t(first_name[d] + coordinate)];
            else
                name += std::to_string(coordinate);
        }
        if (const char* why = name_text_error(name))
            fail(VLT_RES_ERR_INVALID_NAME, "The name made for item " + std::to_string(k) + " " + why);
    }
    return out;
}

// ------------------------------------------------------ file format rules
//
// GEN: every name is acceptable; only duplicates matter.
//
// MPS (fixed and free layout), constraint, variable and objective names:
//   - an item must be named: rows and columns are identified by name;
//   - no blank, tab or other control character (bytes up to 0x20 and 0x7F):
//     free MPS splits fields at blanks, and fixed MPS cannot tell a blank
//     inside a name from the padding of its field;
//   - must not start with '$' or '*': such a field can open a comment;
//   - note only: longer than 8 bytes does not fit the fields of fixed MPS
//     (free MPS takes it).
//   Task name (NAME line): no control characters.
//
// LP, constraint, variable and objective names:
//   - variables must be named (constraints and the objective may stay
//     anonymous: LP rows need no label);
//   - at most 255 bytes;
//   - only ASCII letters, digits and the signs ! " # $ % & ( ) / , . ; ? @ _ ` ' { } | ~
//     (blanks, operators + - * ^ < > = : [ ] and non-ASCII bytes would be
//     read as something else);
//   - must not start with a digit or '.', nor with 'e' or 'E' followed by a
//     digit: each reads as (part of) a number;
//   - must not be a word of the format, compared without case: inf,
//     infinity, free, st, subject, such, bound(s), gen, general(s), bin,
//     binary, binaries, int, end, min(imize), max(imize), minimum, maximum.
//   Task name (a comment line): no control characters.

namespace {

bool is_control(unsigned char c) { return c <= 0x20 || c == 0x7F; }

bool is_lp_char(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return c != '\0' && std::strchr("!\"#$%&()/,.;?@_`'{}|~", c) != nullptr;
}

bool is_lp_word(std::string_view name) {
    static const char* const words[] = {"inf",     "infinity", "free", "st",       "subject",  "such",
                                        "bound",   "bounds",   "gen",  "general",  "generals", "bin",
                                        "binary",  "binaries", "int",  "end",      "min",      "max",
                                        "minimize", "maximize", "minimum", "maximum"};
    if (name.size() > 8) return false;
    std::string lower(name);
    for (char& c : lower) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (const char* w : words)
        if (lower == w) return true;
    return false;
}

}  // namespace

const char* item_name_violation(std::string_view name, int32_t nametype) {
    if (name.empty()) return nullptr;  // whether an item may stay unnamed is the caller's rule
    if (nametype == VLT_NAME_TYPE_MPS) {
        for (unsigned char c : name)
            if (is_control(c)) return "contains a blank or control character";
        if (name[0] == '$' || name[0] == '*') return "starts with '$' or '*', which can open a comment";
        return nullptr;
    }
    if (nametype == VLT_NAME_TYPE_LP) {
        if (name.size() > 255) return "is longer than 255 bytes";
        for (unsigned char c : name)
            if (!is_lp_char(c))
                return c <= 0x20 ? "contains a blank or control character"
                                 : "contains a character outside the LP name alphabet";
        const unsigned char c0 = static_cast<unsigned char>(name[0]);
        if ((c0 >= '0' && c0 <= '9') || c0 == '.') return "starts with a digit or '.'";
        if ((c0 == 'e' || c0 == 'E') && name.size() > 1 && name[1] >= '0' && name[1] <= '9')
            return "starts like an exponent ('e' or 'E' and a digit)";
        if (is_lp_word(name)) return "is a word of the LP format";
    }
    return nullptr;
}

const char* item_name_note(std::string_view name, int32_t nametype) {
    if (nametype == VLT_NAME_TYPE_MPS && name.size() > 8) return "is longer than 8 bytes (too long for fixed MPS)";
    return nullptr;
}

const char* task_name_violation(std::string_view name, int32_t nametype) {
    if (nametype == VLT_NAME_TYPE_GEN) return nullptr;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F) return "contains a control character";
    return nullptr;
}

}  // namespace vlt::model

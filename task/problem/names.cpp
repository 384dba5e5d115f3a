// Names of the items of a task, of the task itself and of its objective:
// putting, lengths, reading into text bytearrays, lookups and generation.
#include "module/marshal.hpp"
#include "module/method_tables.hpp"

namespace vlt::py {
namespace {

using T = TaskHandle;

// A getter asks for the name's length, then reads the name into a bytearray
// of length + 1 bytes.
template <Text Name, auto Length, auto Get, class Index>
using IndexedGetter = Method<Name, Get, T, Index,
                             TextBytes<"name", Query<Length, int32_t, QHandle, QArg<Index::name>>>>;
template <Text Name, auto Length, auto Get, Text Buffer>
using TaskGetter = Method<Name, Get, T, TextBytes<Buffer, Query<Length, int32_t, QHandle>>>;

// The generators: an index array of width W (num is its count with width
// W), a format, the shape, sp (one 8-byte value per index when given), the
// named axes and the name pair of their names.
template <Text Name, auto Fn, class W, Text Sub>
using Generator = Method<Name, Fn, T, CountOf<W, Sub>, In<W, Sub>, Str<"fmt">, CountOf<int32_t, "dims">,
                         In<int32_t, "dims">, CountedIn<int64_t, "sp", PassedCount<W, Sub>>,
                         CountOf<int32_t, "namedaxisidxs">, In<int32_t, "namedaxisidxs">, NamePair<"names">>;

const PyMethodDef rows[] = {
    // Putting names.
    Method<"putconname_is_3", VLT_putconname, T, I32<"i">, Str<"name">>::def(),
    Method<"putvarname_is_3", VLT_putvarname, T, I32<"j">, Str<"name">>::def(),
    Method<"putconename_is_3", VLT_putconename, T, I32<"k">, Str<"name">>::def(),
    Method<"putbarvarname_is_3", VLT_putbarvarname, T, I32<"j">, Str<"name">>::def(),
    Method<"putdomainname_Ls_3", VLT_putdomainname, T, I64<"index">, Str<"name">>::def(),
    Method<"putdjcname_Ls_3", VLT_putdjcname, T, I64<"index">, Str<"name">>::def(),
    Method<"putaccname_Ls_3", VLT_putaccname, T, I64<"index">, Str<"name">>::def(),
    Method<"putobjname_s_2", VLT_putobjname, T, Str<"name">>::def(),
    Method<"puttaskname_s_2", VLT_puttaskname, T, Str<"name">>::def(),

    // Name lengths.
    Method<"getconnamelen_i_2", VLT_getconnamelen, T, I32<"i">, Ret<int32_t>>::def(),
    Method<"getvarnamelen_i_2", VLT_getvarnamelen, T, I32<"j">, Ret<int32_t>>::def(),
    Method<"getconenamelen_i_2", VLT_getconenamelen, T, I32<"k">, Ret<int32_t>>::def(),
    Method<"getbarvarnamelen_i_2", VLT_getbarvarnamelen, T, I32<"j">, Ret<int32_t>>::def(),
    Method<"getdomainnamelen_L_2", VLT_getdomainnamelen, T, I64<"index">, Ret<int32_t>>::def(),
    Method<"getdjcnamelen_L_2", VLT_getdjcnamelen, T, I64<"index">, Ret<int32_t>>::def(),
    Method<"getaccnamelen_L_2", VLT_getaccnamelen, T, I64<"index">, Ret<int32_t>>::def(),
    Method<"getobjnamelen__1", VLT_getobjnamelen, T, Ret<int32_t>>::def(),
    Method<"gettasknamelen__1", VLT_gettasknamelen, T, Ret<int32_t>>::def(),

    // Reading names.
    IndexedGetter<"getconname_iO_2", VLT_getconnamelen, VLT_getconname, I32<"i">>::def(),
    IndexedGetter<"getvarname_iO_2", VLT_getvarnamelen, VLT_getvarname, I32<"j">>::def(),
    IndexedGetter<"getconename_iO_2", VLT_getconenamelen, VLT_getconename, I32<"k">>::def(),
    IndexedGetter<"getbarvarname_iO_2", VLT_getbarvarnamelen, VLT_getbarvarname, I32<"j">>::def(),
    IndexedGetter<"getdomainname_LO_2", VLT_getdomainnamelen, VLT_getdomainname, I64<"index">>::def(),
    IndexedGetter<"getdjcname_LO_2", VLT_getdjcnamelen, VLT_getdjcname, I64<"index">>::def(),
    IndexedGetter<"getaccname_LO_2", VLT_getaccnamelen, VLT_getaccname, I64<"index">>::def(),
    TaskGetter<"getobjname_O_1", VLT_getobjnamelen, VLT_getobjname, "objname">::def(),
    TaskGetter<"gettaskname_O_1", VLT_gettasknamelen, VLT_gettaskname, "taskname">::def(),

    // Looking items up by name: (asgn, index) in the library's order.
    Method<"getconnameindex_s_2", VLT_getconnameindex, T, Str<"name">, Ret<int32_t>, Ret<int32_t>>::def(),
    Method<"getvarnameindex_s_2", VLT_getvarnameindex, T, Str<"name">, Ret<int32_t>, Ret<int32_t>>::def(),
    Method<"getconenameindex_s_2", VLT_getconenameindex, T, Str<"name">, Ret<int32_t>, Ret<int32_t>>::def(),
    Method<"getbarvarnameindex_s_2", VLT_getbarvarnameindex, T, Str<"name">, Ret<int32_t>, Ret<int32_t>>::def(),

    // Generating names.
    Generator<"generatevarnames_OsOOOOO_7", VLT_generatevarnames, int32_t, "subj">::def(),
    Generator<"generateconnames_OsOOOOO_7", VLT_generateconnames, int32_t, "subi">::def(),
    Generator<"generateconenames_OsOOOOO_7", VLT_generateconenames, int32_t, "subk">::def(),
    Generator<"generatebarvarnames_OsOOOOO_7", VLT_generatebarvarnames, int32_t, "subj">::def(),
    Generator<"generateaccnames_OsOOOOO_7", VLT_generateaccnames, int64_t, "sub">::def(),
    Generator<"generatedjcnames_OsOOOOO_7", VLT_generatedjcnames, int64_t, "sub">::def(),
};

}  // namespace

MethodList task_names_methods() { return methods_of(rows); }

}  // namespace vlt::py

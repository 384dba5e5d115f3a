// Checks of the parameter and information-item tables, the per-task parameter
// store and parameter files.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

#include "check.hpp"
#include "base/error.hpp"
#include "params/info_table.hpp"
#include "params/param_file.hpp"
#include "params/param_table.hpp"

using namespace vlt;
using namespace vlt::params;


constexpr double inf = std::numeric_limits<double>::infinity();

// Runs body and returns the code of the vlt::Error it throws (0 for none)
// and its message.
struct Outcome {
    int32_t code = VLT_RES_OK;
    std::string message;
};
static Outcome outcome(const std::function<void()>& body) {
    try {
        body();
    } catch (const Error& e) {
        return {e.code(), e.message()};
    }
    return {};
}

static bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

static std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// ------------------------------------------------------------ catalog

static void test_catalog_names_and_codes() {
    struct Kind {
        int32_t type;
        const char* prefix;
        std::vector<std::pair<int32_t, std::string>> rows;
        std::optional<int32_t> (*by_name)(std::string_view);
        int32_t count;
    };
    std::vector<Kind> kinds(3);
    kinds[0] = {VLT_PAR_TYPE_INT, "VLT_IPAR_", {}, int_param_code, VLT_NUM_IPARAMS};
    kinds[1] = {VLT_PAR_TYPE_DOU, "VLT_DPAR_", {}, dou_param_code, VLT_NUM_DPARAMS};
    kinds[2] = {VLT_PAR_TYPE_STR, "VLT_SPAR_", {}, str_param_code, VLT_NUM_SPARAMS};
    for (const auto& p : int_params()) kinds[0].rows.emplace_back(p.code, p.name);
    for (const auto& p : dou_params()) kinds[1].rows.emplace_back(p.code, p.name);
    for (const auto& p : str_params()) kinds[2].rows.emplace_back(p.code, p.name);

    std::set<std::string> names, short_names;
    for (const auto& kind : kinds) {
        CHECK(num_params(kind.type) == kind.count && static_cast<int32_t>(kind.rows.size()) == kind.count,
              "type %d: %d rows, %d counted, %d declared", kind.type, static_cast<int>(kind.rows.size()),
              num_params(kind.type), kind.count);
        for (size_t i = 0; i < kind.rows.size(); ++i) {
            const auto& [code, name] = kind.rows[i];
            std::string short_name = name.substr(std::string(kind.prefix).size());
            CHECK(code == static_cast<int32_t>(i) && name.starts_with(kind.prefix), "%s has code %d at row %zu",
                  name.c_str(), code, i);
            CHECK(names.insert(lower(name)).second, "duplicate name %s", name.c_str());
            CHECK(short_names.insert(lower(short_name)).second, "short name of %s is used twice", name.c_str());
            // Every spelling leads back to the same code, and only for its own type.
            for (const std::string& spelling : {name, lower(name), short_name, lower(short_name)}) {
                auto ref = find_param(spelling);
                CHECK(ref && ref->type == kind.type && ref->code == code, "find_param(%s)", spelling.c_str());
                for (const auto& other : kinds)
                    CHECK(other.by_name(spelling).has_value() == (other.type == kind.type), "type-%d lookup of %s",
                          other.type, spelling.c_str());
            }
        }
    }
    for (const char* name : {"", "VLT_IPAR_", "VLT_IPAR_LOGX", " VLT_IPAR_LOG", "VLT_DPAR_LOG", "LOGG"})
        CHECK(!find_param(name), "'%s' should not name a parameter", name);
    CHECK(outcome([] { num_params(3); }).code == VLT_RES_ERR_PARAM_TYPE, "num_params of an unknown type");
    for (int32_t code : {-1, VLT_NUM_IPARAMS}) CHECK(int_param(code) == nullptr, "int_param(%d)", code);
    CHECK(dou_param(VLT_NUM_DPARAMS) == nullptr && str_param(-1) == nullptr, "out-of-range rows");
}

static void test_catalog_defaults_and_sets() {
    for (const auto& p : int_params()) {
        CHECK(!int_value_error(p, p.default_value), "default of %s: %s", p.name,
              int_value_error(p, p.default_value).value_or("").c_str());
        CHECK(p.description && *p.description, "%s has no description", p.name);
        if (p.values) {
            std::set<int32_t> codes;
            for (const auto& v : p.values->values) {
                CHECK(codes.insert(v.code).second, "%s: code %d twice", p.name, v.code);
                CHECK(std::string(v.name).starts_with(p.values->prefix), "%s: %s lacks prefix %s", p.name, v.name,
                      p.values->prefix);
            }
        } else {
            CHECK(p.min <= p.max, "%s: empty range", p.name);
        }
    }
    for (const auto& p : dou_params()) {
        CHECK(!dou_value_error(p, p.default_value), "default of %s", p.name);
        CHECK(p.min <= p.max && !std::isnan(p.min) && !std::isnan(p.max), "%s: bad range", p.name);
        CHECK(p.description && *p.description, "%s has no description", p.name);
    }
    for (const auto& p : str_params()) CHECK(p.default_value && p.description && *p.description, "%s", p.name);
}

// ------------------------------------------------------------ values as text

static void test_parse_values() {
    struct Case {
        const char* param;
        const char* text;
        double expected;  // the value, unless error is set
        int32_t error = VLT_RES_OK;
    };
    const Case cases[] = {
        {"VLT_IPAR_LOG", "10", 10},
        {"VLT_IPAR_LOG", " +7\t", 7},
        {"VLT_IPAR_LOG", "0", 0},
        {"VLT_IPAR_LOG", "-1", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_LOG", "1.5", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_LOG", "", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_LOG", "+", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_LOG", "0x10", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_LOG", "12abc", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_LOG", "2147483647", 2147483647},
        {"VLT_IPAR_LOG", "2147483648", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_LOG", "4294967297", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_LOG", "99999999999999999999999", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_LOG", "VLT_ONOFF_ON", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_TIMING_LEVEL", "3", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_MIO_MAX_NUM_RELAXS", "-1", -1},
        {"VLT_IPAR_MIO_MAX_NUM_RELAXS", "-2", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_OPTIMIZER", "VLT_OPTIMIZER_INTPNT", VLT_OPTIMIZER_INTPNT},
        {"VLT_IPAR_OPTIMIZER", "dual_simplex", VLT_OPTIMIZER_DUAL_SIMPLEX},
        {"VLT_IPAR_OPTIMIZER", " VLT_MIXED_INT ", VLT_OPTIMIZER_MIXED_INT},
        {"VLT_IPAR_OPTIMIZER", "3", 3},
        {"VLT_IPAR_OPTIMIZER", "7", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_OPTIMIZER", "VLT_ONOFF_ON", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_OPTIMIZER", "VLT_OPTIMIZER_", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_BI_CLEAN_OPTIMIZER", "VLT_OPTIMIZER_INTPNT", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_BI_CLEAN_OPTIMIZER", "1", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_INFEAS_REPORT_AUTO", "VLT_ON", 1},
        {"VLT_IPAR_INFEAS_REPORT_AUTO", "off", 0},
        {"VLT_IPAR_INFEAS_REPORT_AUTO", "VLT_ONOFF_ON", 1},
        {"VLT_IPAR_INFEAS_REPORT_AUTO", "2", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_IPAR_PRESOLVE_USE", "VLT_PRESOLVE_MODE_OFF", VLT_PRESOLVE_MODE_OFF},
        {"VLT_IPAR_WRITE_DATA_FORMAT", "cbf", VLT_DATA_FORMAT_CBF},
        {"VLT_DPAR_INTPNT_TOL_PATH", "0.5", 0.5},
        {"VLT_DPAR_INTPNT_TOL_PATH", "1e-9", 1e-9},
        {"VLT_DPAR_INTPNT_TOL_PATH", "+1E-3", 1e-3},
        {"VLT_DPAR_INTPNT_TOL_PATH", "-0", 0.0},
        {"VLT_DPAR_INTPNT_TOL_PATH", "0.9999", 0.9999},
        {"VLT_DPAR_INTPNT_TOL_PATH", "0.99999", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_DPAR_INTPNT_TOL_PATH", "-1e-300", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_DPAR_INTPNT_TOL_PATH", "nan", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_DPAR_INTPNT_TOL_PATH", "inf", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_DPAR_INTPNT_TOL_PATH", "1e-3x", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_DPAR_UPPER_OBJ_CUT", "+-1", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_DPAR_UPPER_OBJ_CUT", "- 1", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_DPAR_INTPNT_TOL_PATH", "0x1p-3", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_DPAR_UPPER_OBJ_CUT", "1e400", 0, VLT_RES_ERR_PARAM_VALUE},
        {"VLT_DPAR_UPPER_OBJ_CUT", "-inf", -inf},
        {"VLT_DPAR_UPPER_OBJ_CUT", "Infinity", inf},
        {"VLT_DPAR_OPTIMIZER_MAX_TIME", "3600", 3600},
    };
    for (const auto& c : cases) {
        auto ref = find_param(c.param);
        if (!ref) {
            CHECK(false, "no parameter %s", c.param);
            continue;
        }
        double got = std::nan("");
        Outcome result = outcome([&] {
            got = ref->type == VLT_PAR_TYPE_INT ? parse_int_value(int_params()[ref->code], c.text)
                                                : parse_dou_value(dou_params()[ref->code], c.text);
        });
        if (c.error != VLT_RES_OK) {
            CHECK(result.code == c.error && contains(result.message, c.param), "%s '%s': code %d, message '%s'",
                  c.param, c.text, result.code, result.message.c_str());
        } else {
            CHECK(result.code == VLT_RES_OK && got == c.expected, "%s '%s': got %g (%s)", c.param, c.text, got,
                  result.message.c_str());
        }
    }
    Outcome range = outcome([] { parse_dou_value(dou_params()[VLT_DPAR_INTPNT_TOL_PATH], "0.99999"); });
    CHECK(range.message == "Value 0.99999 of VLT_DPAR_INTPNT_TOL_PATH is outside [0, 0.9999]", "%s",
          range.message.c_str());
}

static void test_format_round_trip() {
    for (const auto& p : int_params()) {
        std::vector<int32_t> samples{p.default_value};
        if (p.values) {
            for (const auto& v : p.values->values) samples.push_back(v.code);
        } else {
            samples.insert(samples.end(), {p.min, p.max});
        }
        for (int32_t v : samples) {
            std::string text = format_int_value(p, v);
            Outcome result = outcome([&] { CHECK(parse_int_value(p, text) == v, "%s: %d -> %s", p.name, v, text.c_str()); });
            CHECK(result.code == VLT_RES_OK, "%s: '%s' refused: %s", p.name, text.c_str(), result.message.c_str());
        }
    }
    for (const auto& p : dou_params()) {
        std::vector<double> samples{p.default_value, p.min, p.max};
        if (std::isfinite(p.min) && std::isfinite(p.max)) samples.push_back(p.min + (p.max - p.min) / 3.0);
        for (double v : samples) {
            std::string text = format_dou_value(v);
            Outcome result = outcome([&] { CHECK(parse_dou_value(p, text) == v, "%s: %.17g -> %s", p.name, v, text.c_str()); });
            CHECK(result.code == VLT_RES_OK, "%s: '%s' refused: %s", p.name, text.c_str(), result.message.c_str());
        }
    }
}

static void test_enum_names() {
    struct Case {
        const EnumSet& set;
        int32_t (*convert)(std::string_view);
        int32_t unknown_error;
    };
    const Case cases[] = {{status_keys(), str_to_status_key, VLT_RES_ERR_INVALID_STAKEY},
                          {cone_types(), str_to_cone_type, VLT_RES_ERR_INVALID_ENUM}};
    for (const auto& c : cases) {
        CHECK(!c.set.values.empty(), "empty set %s", c.set.prefix);
        for (const auto& v : c.set.values) {
            std::string name = v.name, short_name = name.substr(std::string(c.set.prefix).size());
            for (const std::string& text : {name, lower(name), short_name, "VLT_" + short_name}) {
                int32_t code = -1;
                Outcome result = outcome([&] { code = c.convert(text); });
                CHECK(result.code == VLT_RES_OK && code == v.code, "%s -> %d: %s", text.c_str(), code,
                      result.message.c_str());
            }
        }
        for (const char* text : {"", "VLT_", c.set.prefix, "nonsense"})
            CHECK(outcome([&] { c.convert(text); }).code == c.unknown_error, "'%s' accepted by %s", text, c.set.prefix);
    }
}

// ------------------------------------------------------------ per-task store

static void test_param_values() {
    ParamValues values;
    CHECK(values.get_int(VLT_IPAR_LOG) == 10 && values[VLT_IPAR_OPTIMIZER] == VLT_OPTIMIZER_FREE &&
              values[VLT_DPAR_OPTIMIZER_MAX_TIME] == -1.0 && values[VLT_SPAR_DATA_FILE_NAME].empty(),
          "defaults");

    values.set_int(VLT_IPAR_LOG, 3);
    values.set_int("vlt_ipar_optimizer", VLT_OPTIMIZER_CONIC);
    values.set_dou("MIO_TOL_REL_GAP", 1e-6);
    values.set_str(VLT_SPAR_DATA_FILE_NAME, "model.mps");
    values.set_from_text("VLT_IPAR_PRESOLVE_USE", "VLT_PRESOLVE_MODE_OFF");
    values.set_from_text("VLT_DPAR_OPTIMIZER_MAX_TIME", "12.5");
    values.set_from_text("VLT_SPAR_STAT_NAME", " padded ");
    CHECK(values.get_int(VLT_IPAR_LOG) == 3 && values[VLT_IPAR_OPTIMIZER] == VLT_OPTIMIZER_CONIC &&
              values.get_dou(VLT_DPAR_MIO_TOL_REL_GAP) == 1e-6 && values[VLT_SPAR_DATA_FILE_NAME] == "model.mps" &&
              values[VLT_IPAR_PRESOLVE_USE] == VLT_PRESOLVE_MODE_OFF &&
              values[VLT_DPAR_OPTIMIZER_MAX_TIME] == 12.5 && values.get_str(VLT_SPAR_STAT_NAME) == " padded ",
          "values after setting");

    ParamValues clone = values;
    clone.set_int(VLT_IPAR_LOG, 0);
    CHECK(values[VLT_IPAR_LOG] == 3 && clone[VLT_IPAR_LOG] == 0 && !(clone == values), "a copy is independent");

    // Refused calls name the failure and change nothing.
    const ParamValues before = values;
    struct Refusal {
        const char* what;
        std::function<void()> call;
        int32_t code;
        const char* message;
    };
    const Refusal refusals[] = {
        {"get_int(-1)", [&] { values.get_int(-1); }, VLT_RES_ERR_PARAM_INDEX, "integer parameter code -1"},
        {"get_dou(N)", [&] { values.get_dou(VLT_NUM_DPARAMS); }, VLT_RES_ERR_PARAM_INDEX, "double parameter code"},
        {"get_str(N)", [&] { values.get_str(VLT_NUM_SPARAMS); }, VLT_RES_ERR_PARAM_INDEX, "string parameter code"},
        {"set_int(N)", [&] { values.set_int(VLT_NUM_IPARAMS, 1); }, VLT_RES_ERR_PARAM_INDEX, "integer parameter code"},
        {"set_dou(-1)", [&] { values.set_dou(-1, 1.0); }, VLT_RES_ERR_PARAM_INDEX, "double parameter code -1"},
        {"set_str(-5)", [&] { values.set_str(-5, "x"); }, VLT_RES_ERR_PARAM_INDEX, "string parameter code -5"},
        {"log -1", [&] { values.set_int(VLT_IPAR_LOG, -1); }, VLT_RES_ERR_PARAM_VALUE, "Value -1 of VLT_IPAR_LOG"},
        {"optimizer 99", [&] { values.set_int(VLT_IPAR_OPTIMIZER, 99); }, VLT_RES_ERR_PARAM_VALUE,
         "VLT_OPTIMIZER_MIXED_INT"},
        {"nan gap", [&] { values.set_dou(VLT_DPAR_MIO_TOL_REL_GAP, std::nan("")); }, VLT_RES_ERR_PARAM_VALUE,
         "not a number"},
        {"negative gap", [&] { values.set_dou("VLT_DPAR_MIO_TOL_REL_GAP", -1e-4); }, VLT_RES_ERR_PARAM_VALUE,
         "outside [0, inf]"},
        {"NUL in text", [&] { values.set_str(VLT_SPAR_STAT_NAME, std::string_view("a\0b", 3)); },
         VLT_RES_ERR_PARAM_VALUE, "NUL"},
        {"int by double name", [&] { values.set_int("VLT_DPAR_MIO_TOL_REL_GAP", 1); }, VLT_RES_ERR_PARAM_TYPE,
         "VLT_DPAR_MIO_TOL_REL_GAP is a double parameter, not an integer parameter"},
        {"double by int name", [&] { values.set_dou("LOG", 1.0); }, VLT_RES_ERR_PARAM_TYPE,
         "VLT_IPAR_LOG is an integer parameter, not a double parameter"},
        {"string by int name", [&] { values.set_str("VLT_IPAR_LOG", "1"); }, VLT_RES_ERR_PARAM_TYPE,
         "not a string parameter"},
        {"unknown name", [&] { values.set_int("VLT_IPAR_NO_SUCH", 1); }, VLT_RES_ERR_PARAM_NAME, "'VLT_IPAR_NO_SUCH'"},
        {"unknown name as text", [&] { values.set_from_text("NO_SUCH", "1"); }, VLT_RES_ERR_PARAM_NAME, "NO_SUCH"},
        {"bad text", [&] { values.set_from_text("VLT_IPAR_LOG", "lots"); }, VLT_RES_ERR_PARAM_VALUE, "'lots'"},
    };
    for (const auto& r : refusals) {
        Outcome result = outcome(r.call);
        CHECK(result.code == r.code && contains(result.message, r.message), "%s: code %d, message '%s'", r.what,
              result.code, result.message.c_str());
    }
    CHECK(values == before, "refused calls left the values changed");

    values.reset();
    CHECK(values == ParamValues(), "reset restores every default");
}

// ------------------------------------------------------------ information items

static void test_info_items() {
    CHECK(dinf_items().size() == 111 && iinf_items().size() == 117 && liinf_items().size() == 21,
          "item counts %zu %zu %zu", dinf_items().size(), iinf_items().size(), liinf_items().size());
    struct Kind {
        InfoType type;
        const char* prefix;
    };
    std::set<std::string> spellings;
    for (Kind kind : {Kind{InfoType::Double, "VLT_DINF_"}, Kind{InfoType::Int, "VLT_IINF_"},
                      Kind{InfoType::Long, "VLT_LIINF_"}}) {
        auto rows = info_items(kind.type);
        for (size_t i = 0; i < rows.size(); ++i) {
            std::string name = rows[i].name;
            std::string short_name = name.substr(std::string(kind.prefix).size());
            CHECK(rows[i].code == static_cast<int32_t>(i) && name.starts_with(kind.prefix), "%s at row %zu",
                  name.c_str(), i);
            CHECK(spellings.insert(name).second && spellings.insert(short_name).second, "%s is ambiguous",
                  name.c_str());
            for (const std::string& spelling : {name, lower(name), short_name}) {
                auto ref = find_info(spelling);
                CHECK(ref && ref->type == kind.type && ref->code == rows[i].code, "find_info(%s)", spelling.c_str());
            }
            CHECK(info_name(kind.type, rows[i].code) == rows[i].name, "info_name of %s", name.c_str());
        }
        CHECK(!info_name(kind.type, -1) && !info_name(kind.type, static_cast<int32_t>(rows.size())),
              "out-of-range names of %s", kind.prefix);
    }
    CHECK(!find_info("VLT_DINF_") && !find_info("VLT_IPAR_LOG"), "non-item names");

    InfoValues info;
    info[VLT_DINF_OPTIMIZER_TIME] = 2.5;
    info[VLT_IINF_INTPNT_ITER] = 17;
    info[VLT_LIINF_MIO_NUM_NODES] = int64_t{1} << 40;
    CHECK(info.get_dou(VLT_DINF_OPTIMIZER_TIME) == 2.5 && info.get_int(VLT_IINF_INTPNT_ITER) == 17 &&
              info.get_long(VLT_LIINF_MIO_NUM_NODES) == int64_t{1} << 40,
          "checked reads");
    for (int32_t bad : {-1, 1000})
        CHECK(outcome([&] { info.get_dou(bad); }).code == VLT_RES_ERR_INF_INDEX &&
                  outcome([&] { info.get_int(bad); }).code == VLT_RES_ERR_INF_INDEX &&
                  outcome([&] { info.get_long(bad); }).code == VLT_RES_ERR_INF_INDEX,
              "item %d accepted", bad);
    CHECK(outcome([&] { info.get_int(VLT_NUM_IINF); }).code == VLT_RES_ERR_INF_INDEX &&
              outcome([&] { info.get_long(VLT_NUM_LIINF - 1); }).code == VLT_RES_OK,
          "boundary item codes");
    info.reset();
    CHECK(info[VLT_DINF_OPTIMIZER_TIME] == 0.0 && info[VLT_IINF_INTPNT_ITER] == 0 && info[VLT_LIINF_MIO_NUM_NODES] == 0,
          "reset");
}

// ------------------------------------------------------------ parameter files

static ParamValues unusual_values() {
    ParamValues values;
    values.set_int(VLT_IPAR_LOG, 0);
    values.set_int(VLT_IPAR_OPTIMIZER, VLT_OPTIMIZER_DUAL_SIMPLEX);
    values.set_int(VLT_IPAR_MIO_MAX_NUM_RELAXS, 2147483647);
    values.set_int(VLT_IPAR_LOG_MIO_FREQ, -5);
    values.set_dou(VLT_DPAR_MIO_TOL_REL_GAP, 0.1);
    values.set_dou(VLT_DPAR_LOWER_OBJ_CUT, -inf);
    values.set_dou(VLT_DPAR_DATA_TOL_QIJ, 4.9406564584124654e-324);
    values.set_dou(VLT_DPAR_OPTIMIZER_MAX_TIME, 1.0 / 3.0);
    values.set_str(VLT_SPAR_DATA_FILE_NAME, "dir with spaces/model 100%.mps");
    values.set_str(VLT_SPAR_STAT_KEY, "quote \" backslash \\ end\\");
    values.set_str(VLT_SPAR_STAT_NAME, "two\nlines\ttab");
    values.set_str(VLT_SPAR_WRITE_LP_GEN_VAR_NAME, "");
    values.set_str(VLT_SPAR_MIO_DEBUG_STRING, "caf\xc3\xa9");
    return values;
}

static void test_file_round_trip() {
    const ParamValues original = unusual_values();
    for (bool changed_only : {false, true}) {
        std::string text = write_params(original, changed_only);
        ParamValues read_back;
        Outcome result = outcome([&] { read_params(text, read_back, "round-trip"); });
        CHECK(result.code == VLT_RES_OK && read_back == original, "changed_only=%d: %s", changed_only,
              result.message.c_str());
    }
    std::string all = write_params(original), changed = write_params(original, true);
    CHECK(contains(all, "VLT_IPAR_NUM_THREADS") && !contains(changed, "VLT_IPAR_NUM_THREADS") &&
              contains(changed, "VLT_IPAR_OPTIMIZER") && contains(changed, "VLT_OPTIMIZER_DUAL_SIMPLEX"),
          "changed-only output:\n%s", changed.c_str());

    std::string path = "/tmp/vlt_test_params_" + std::to_string(::getpid()) + ".par";
    ParamValues from_file;
    Outcome result = outcome([&] {
        write_param_file(path, original);
        read_param_file(path, from_file);
    });
    std::remove(path.c_str());
    CHECK(result.code == VLT_RES_OK && from_file == original, "file round trip: %s", result.message.c_str());
    CHECK(outcome([&] { read_param_file(path, from_file); }).code == VLT_RES_ERR_FILE_OPEN, "missing file");
    CHECK(outcome([&] { write_param_file("/nonexistent-dir/x.par", original); }).code == VLT_RES_ERR_FILE_OPEN,
          "unwritable file");
}

static void test_file_accepted_forms() {
    struct Case {
        const char* what;
        const char* text;
    };
    const Case cases[] = {
        {"comments and CRLF",
         "% header\r\n\r\nBEGIN % open\r\n  VLT_IPAR_LOG 4 % four\r\n  % VLT_IPAR_LOG 9\r\nEND\r\n% trailer\r\n"},
        {"case, aliases, tabs, no final newline", "begin\n\tvlt_ipar_log\t4\n  num_threads 2\n  stat_name x%c\nEnd"},
        {"byte order mark and quoted numbers", "\xEF\xBB\xBF" "BEGIN\n VLT_IPAR_LOG \"4\"\nEND\n"},
    };
    for (const auto& c : cases) {
        ParamValues values;
        Outcome result = outcome([&] { read_params(c.text, values, "accepted"); });
        CHECK(result.code == VLT_RES_OK && values[VLT_IPAR_LOG] == 4, "%s: %s", c.what, result.message.c_str());
    }
    ParamValues values;
    read_params("BEGIN\nnum_threads 2\nstat_name x%c\nEND", values, "x");
    CHECK(values[VLT_IPAR_NUM_THREADS] == 2 && values[VLT_SPAR_STAT_NAME] == "x", "unquoted value ends at %%");
    read_params("BEGIN\nEND\n", values, "empty section");
    CHECK(values[VLT_IPAR_NUM_THREADS] == 2, "an empty section changes nothing");
}

static void test_file_errors() {
    struct Case {
        const char* text;
        int32_t code;
        const char* where;    // location prefix expected in the message
        const char* message;  // part of the message
    };
    const Case cases[] = {
        {"", VLT_RES_ERR_FILE_FORMAT, "bad.par: ", "no BEGIN"},
        {"% only a comment\n", VLT_RES_ERR_FILE_FORMAT, "bad.par: ", "no BEGIN"},
        {"VLT_IPAR_LOG 5\nBEGIN\nEND\n", VLT_RES_ERR_FILE_FORMAT, "bad.par:1: ", "outside"},
        {"BEGIN\nVLT_IPAR_LOG 5\n", VLT_RES_ERR_FILE_FORMAT, "bad.par:2: ", "no END for the BEGIN on line 1"},
        {"BEGIN\nBEGIN\nEND\n", VLT_RES_ERR_FILE_FORMAT, "bad.par:2: ", "BEGIN inside"},
        {"BEGIN\nEND\nEND\n", VLT_RES_ERR_FILE_FORMAT, "bad.par:3: ", "second END"},
        {"END\n", VLT_RES_ERR_FILE_FORMAT, "bad.par:1: ", "END without BEGIN"},
        {"BEGIN\nEND\nBEGIN\nEND\n", VLT_RES_ERR_FILE_FORMAT, "bad.par:3: ", "BEGIN after END"},
        {"BEGIN\nEND\nVLT_IPAR_LOG 1\n", VLT_RES_ERR_FILE_FORMAT, "bad.par:3: ", "outside"},
        {"BEGIN x\nEND\n", VLT_RES_ERR_FILE_FORMAT, "bad.par:1: ", "after BEGIN"},
        {"BEGIN\n VLT_IPAR_LOG 1\n  VLT_IPAR_LOG\nEND\n", VLT_RES_ERR_FILE_FORMAT, "bad.par:3: ", "no value for VLT_IPAR_LOG"},
        {"BEGIN\n VLT_IPAR_LOG 1\n VLT_IPAR_LOG 5 6\nEND\n", VLT_RES_ERR_FILE_FORMAT, "bad.par:3: ", "unexpected text '6'"},
        {"BEGIN\n VLT_IPAR_LOG 1\n VLT_SPAR_STAT_NAME \"a\" b\nEND\n", VLT_RES_ERR_FILE_FORMAT, "bad.par:3: ", "'b'"},
        {"BEGIN\n VLT_IPAR_LOG 1\n\n VLT_SPAR_STAT_NAME \"abc\nEND\n", VLT_RES_ERR_FILE_FORMAT, "bad.par:4: ",
         "no closing quote"},
        {"BEGIN\n VLT_IPAR_LOG 1\n VLT_IPAR_NOPE 1\nEND\n", VLT_RES_ERR_PARAM_NAME, "bad.par:3: ", "'VLT_IPAR_NOPE'"},
        {"BEGIN\n VLT_IPAR_LOG 1\n % c\n VLT_IPAR_LOG -4\nEND\n", VLT_RES_ERR_PARAM_VALUE, "bad.par:4: ",
         "Value -4 of VLT_IPAR_LOG"},
        {"BEGIN\n VLT_IPAR_LOG 1\n VLT_DPAR_MIO_TOL_FEAS 1\nEND\n", VLT_RES_ERR_PARAM_VALUE, "bad.par:3: ",
         "outside [1e-09, 0.001]"},
    };
    for (const auto& c : cases) {
        ParamValues values;
        values.set_int(VLT_IPAR_LOG, 7);
        const ParamValues before = values;
        Outcome result = outcome([&] { read_params(c.text, values, "bad.par"); });
        CHECK(result.code == c.code && result.message.starts_with(c.where) && contains(result.message, c.message),
              "text %s: code %d, message '%s'", c.text, result.code, result.message.c_str());
        CHECK(values == before, "a failed read changed the values: %s", c.text);
    }
}

static void test_file_skipping_bad_settings() {
    ParamValues values;
    values.set_int(VLT_IPAR_PARAM_READ_IGN_ERROR, VLT_ONOFF_ON);
    std::vector<std::string> skipped;
    Outcome result = outcome([&] {
        skipped = read_params("BEGIN\n VLT_IPAR_NOPE 1\n VLT_IPAR_LOG 3\n VLT_IPAR_NUM_THREADS many\nEND\n", values,
                              "lenient.par");
    });
    CHECK(result.code == VLT_RES_OK && values[VLT_IPAR_LOG] == 3 && values[VLT_IPAR_NUM_THREADS] == 0 &&
              skipped.size() == 2,
          "lenient read: %s, %zu skipped", result.message.c_str(), skipped.size());
    if (skipped.size() == 2)
        CHECK(skipped[0].starts_with("lenient.par:2: ") && skipped[1].starts_with("lenient.par:4: "), "%s | %s",
              skipped[0].c_str(), skipped[1].c_str());
    // Structural faults are never skipped.
    CHECK(outcome([&] { read_params("BEGIN\n VLT_IPAR_LOG\nEND\n", values, "x"); }).code == VLT_RES_ERR_FILE_FORMAT,
          "a missing value was skipped");
}

int main() {
    test_catalog_names_and_codes();
    test_catalog_defaults_and_sets();
    test_parse_values();
    test_format_round_trip();
    test_enum_names();
    test_param_values();
    test_info_items();
    test_file_round_trip();
    test_file_accepted_forms();
    test_file_errors();
    test_file_skipping_bad_settings();
    return vlt_test::report();
}

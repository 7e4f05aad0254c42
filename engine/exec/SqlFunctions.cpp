#include "engine/exec/SqlFunctions.h"

#include "engine/Convert.h"
#include "engine/Errors.h"
#include "engine/types/Text.h"
#include "engine/types/SqliteFunctions.h"

#include <sqlite3.h>

#include <cstring>
#include <random>
#include <vector>

namespace quillmere::engine::exec {

namespace {

struct OneState {
    int count;
    sqlite3_value* value;
};

void oneStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* s = static_cast<OneState*>(sqlite3_aggregate_context(ctx, sizeof(OneState)));
    if (!s) return;
    if (++s->count == 1) {
        s->value = sqlite3_value_dup(argv[0]);
    } else if (s->count == 2) {
        raiseSqliteError(ctx, makeError(512));
    }
}

void oneFinal(sqlite3_context* ctx) {
    auto* s = static_cast<OneState*>(sqlite3_aggregate_context(ctx, 0));
    if (!s || s->count == 0) {
        sqlite3_result_null(ctx);
        return;
    }
    if (s->count > 1) {
        raiseSqliteError(ctx, makeError(512));
    } else if (s->value) {
        sqlite3_result_value(ctx, s->value);
    }
    if (s->value) sqlite3_value_free(s->value);
    s->value = nullptr;
}

std::string quote(const char* name) {
    std::string r = "\"";
    for (const char* p = name; *p; ++p) {
        if (*p == '"') r.push_back('"');
        r.push_back(*p);
    }
    return r + "\"";
}

void nextIdentity(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* st = static_cast<FunctionState*>(sqlite3_user_data(ctx));
    const char* table = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const char* column = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    std::int64_t seed = sqlite3_value_int64(argv[2]);
    std::int64_t inc = sqlite3_value_int64(argv[3]);
    if (!table || !column) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string key = table;
    auto& slot = st->identities[key];
    std::int64_t next;
    if (slot.first != st->statementGeneration || slot.first == 0) {
        std::string sql = "SELECT max(" + quote(column) + ") FROM " + quote(table);
        sqlite3_stmt* q = nullptr;
        std::int64_t current = seed - inc;
        bool any = false;
        if (sqlite3_prepare_v2(st->db, sql.c_str(), -1, &q, nullptr) == SQLITE_OK && sqlite3_step(q) == SQLITE_ROW &&
            sqlite3_column_type(q, 0) != SQLITE_NULL) {
            current = sqlite3_column_int64(q, 0);
            any = true;
        }
        sqlite3_finalize(q);
        // Values handed out earlier in this session are not given again.
        if (slot.first != 0 && (!any || slot.second > current)) current = slot.second;
        next = current + inc;
    } else {
        next = slot.second + inc;
    }
    slot = {st->statementGeneration, next};
    st->lastIdentity = next;
    st->hasIdentity = true;
    sqlite3_result_int64(ctx, next);
}

void objectId(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* st = static_cast<FunctionState*>(sqlite3_user_data(ctx));
    const char* name = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    if (!name) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string n = name;
    auto dot = n.rfind('.');
    if (dot != std::string::npos) n = n.substr(dot + 1);
    if (n.size() >= 2 && n.front() == '[' && n.back() == ']') n = n.substr(1, n.size() - 2);
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(st->db, "SELECT id FROM qm_catalog WHERE name = ?", -1, &q, nullptr);
    sqlite3_bind_text(q, 1, n.c_str(), -1, SQLITE_TRANSIENT);
    if (q && sqlite3_step(q) == SQLITE_ROW) sqlite3_result_int64(ctx, sqlite3_column_int64(q, 0));
    else sqlite3_result_null(ctx);
    sqlite3_finalize(q);
}

void newId(sqlite3_context* ctx, int, sqlite3_value**) {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    static const char* hex = "0123456789ABCDEF";
    std::string s;
    for (int i = 0; i < 32; ++i) {
        if (i == 8 || i == 12 || i == 16 || i == 20) s.push_back('-');
        s.push_back(hex[rng() & 15]);
    }
    sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void isNumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
        sqlite3_result_int(ctx, 1);
        return;
    }
    if (t != SQLITE_TEXT) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    std::string s = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    std::size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
    if (b == std::string::npos) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    s = s.substr(b, e - b + 1);
    std::size_t i = 0;
    if (s[i] == '+' || s[i] == '-') ++i;
    bool digits = false, dot = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9') digits = true;
        else if (s[i] == '.' && !dot) dot = true;
        else break;
    }
    sqlite3_result_int(ctx, digits && i == s.size() ? 1 : 0);
}

// qm_avg_final(sum, count, scale): the average of integers truncated to scale
// decimals, exactly (AVG over numeric(p,0)); NULL when count is 0.
void avgFinal(sqlite3_context* ctx, int, sqlite3_value** argv) {
    std::int64_t count = sqlite3_value_int64(argv[1]);
    if (count == 0 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    int scale = sqlite3_value_int(argv[2]);
    if (sqlite3_value_type(argv[0]) != SQLITE_INTEGER || scale < 0 || scale > 18) {
        sqlite3_result_double(ctx, sqlite3_value_double(argv[0]) / static_cast<double>(count));
        return;
    }
    __int128 factor = 1;
    for (int i = 0; i < scale; ++i) factor *= 10;
    __int128 q = static_cast<__int128>(sqlite3_value_int64(argv[0])) * factor / count;  // truncates toward zero
    if (scale == 0) {
        sqlite3_result_int64(ctx, static_cast<std::int64_t>(q));
        return;
    }
    __int128 whole = q / factor, frac = q % factor;
    sqlite3_result_double(ctx, static_cast<double>(whole) + static_cast<double>(frac) / static_cast<double>(factor));
}

// qm_avg_integers(x): AVG over numeric(p,0) stored as integers, as numeric(38,6):
// the exact quotient truncated to six decimals, computed once per group.
struct AvgAcc {
    std::int64_t count;
    __int128 sum;
    bool real;
    double rsum;
};

void avgIntegersStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_NULL) return;
    auto* a = static_cast<AvgAcc*>(sqlite3_aggregate_context(ctx, sizeof(AvgAcc)));
    if (!a) return;
    ++a->count;
    if (t == SQLITE_INTEGER && !a->real) {
        a->sum += sqlite3_value_int64(argv[0]);
    } else {
        if (!a->real) {
            a->real = true;
            a->rsum = static_cast<double>(a->sum);
        }
        a->rsum += sqlite3_value_double(argv[0]);
    }
}

void avgIntegersFinal(sqlite3_context* ctx) {
    auto* a = static_cast<AvgAcc*>(sqlite3_aggregate_context(ctx, 0));
    if (!a || a->count == 0) {
        sqlite3_result_null(ctx);
        return;
    }
    if (a->real) {
        sqlite3_result_double(ctx, a->rsum / static_cast<double>(a->count));
        return;
    }
    const __int128 factor = 1000000;
    __int128 q = a->sum * factor / a->count;  // truncates toward zero
    __int128 whole = q / factor, frac = q % factor;
    sqlite3_result_double(ctx, static_cast<double>(whole) + static_cast<double>(frac) / 1e6);
}

Value valueOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return Value::fromInteger(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return Value::fromReal(sqlite3_value_double(v));
    case SQLITE_TEXT:
        return Value::fromText(std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                           static_cast<std::size_t>(sqlite3_value_bytes(v))));
    case SQLITE_BLOB: {
        const void* b = sqlite3_value_blob(v);
        return Value::fromBlob(std::string(static_cast<const char*>(b ? b : ""), static_cast<std::size_t>(sqlite3_value_bytes(v))));
    }
    default: return Value::null();
    }
}

void resultOf(sqlite3_context* ctx, const Value& v) {
    switch (v.kind) {
    case ValueKind::Null: sqlite3_result_null(ctx); break;
    case ValueKind::Integer: sqlite3_result_int64(ctx, v.integer); break;
    case ValueKind::Real: sqlite3_result_double(ctx, v.real); break;
    case ValueKind::Text: sqlite3_result_text(ctx, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT); break;
    case ValueKind::Blob: sqlite3_result_blob(ctx, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT); break;
    }
}

// qm_try_convert(v, 'to', 'from', style): TRY_CAST / TRY_CONVERT, NULL where CAST fails.
void tryConvert(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const char* to = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const char* from = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
    auto toType = SqlType::parse(to ? to : "");
    auto fromType = SqlType::parse(from ? from : "");
    if (!toType) {
        sqlite3_result_null(ctx);
        return;
    }
    auto r = convertValue(valueOf(argv[0]), fromType ? *fromType : SqlType{}, *toType, ConversionContext::Cast);
    if (auto* v = std::get_if<Value>(&r)) resultOf(ctx, *v);
    else sqlite3_result_null(ctx);
}

// Characters (code points) of a UTF-8 text.
std::vector<std::string> characters(std::string_view s) {
    std::vector<std::string> r;
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t b = i;
        types::nextCodePoint(s, i);
        if (i == b) ++i;
        r.emplace_back(s.substr(b, i - b));
    }
    return r;
}

// qm_stuff(s, start, length, insert)
void stuff(sqlite3_context* ctx, int, sqlite3_value** argv) {
    for (int i = 0; i < 4; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL && i < 3) {
            sqlite3_result_null(ctx);
            return;
        }
    auto chars = characters(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
    std::int64_t start = sqlite3_value_int64(argv[1]), len = sqlite3_value_int64(argv[2]);
    if (start < 1 || start > static_cast<std::int64_t>(chars.size()) || len < 0) {
        sqlite3_result_null(ctx);
        return;
    }
    const unsigned char* ins = sqlite3_value_text(argv[3]);
    std::string out;
    for (std::int64_t i = 0; i < start - 1; ++i) out += chars[i];
    if (ins) out += reinterpret_cast<const char*>(ins);
    for (std::int64_t i = start - 1 + len; i < static_cast<std::int64_t>(chars.size()); ++i) out += chars[i];
    sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// qm_patindex(pattern, s): first position where the LIKE pattern matches, 0 when none.
void patindex(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string pattern = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    auto chars = characters(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])));
    // the pattern's leading % is the search itself; the match must start here
    std::string anchored = pattern;
    if (!anchored.empty() && anchored[0] == '%') anchored.erase(0, 1);
    if (anchored.empty() || anchored.back() != '%') anchored += '%';
    std::string rest;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        rest.clear();
        for (std::size_t k = i; k < chars.size(); ++k) rest += chars[k];
        if (types::likeMatch(rest, anchored, 0, true)) {
            sqlite3_result_int64(ctx, static_cast<std::int64_t>(i) + 1);
            return;
        }
    }
    sqlite3_result_int(ctx, 0);
}

}  // namespace

void registerEngineFunctions(sqlite3* db, FunctionState* state) {
    state->db = db;
    sqlite3_create_function_v2(db, "qm_one", 1, SQLITE_UTF8, nullptr, nullptr, oneStep, oneFinal, nullptr);
    sqlite3_create_function_v2(db, "qm_next_identity", 4, SQLITE_UTF8, state, nextIdentity, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "qm_object_id", 1, SQLITE_UTF8, state, objectId, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "qm_newid", 0, SQLITE_UTF8, nullptr, newId, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "qm_avg_final", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, avgFinal, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db, "qm_avg_integers", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr,
                               avgIntegersStep, avgIntegersFinal, nullptr);
    sqlite3_create_function_v2(db, "qm_try_convert", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, tryConvert, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db, "qm_stuff", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, stuff, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "qm_patindex", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, patindex, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "qm_isnumeric", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, isNumeric, nullptr,
                               nullptr, nullptr);
}

}  // namespace quillmere::engine::exec

#include "engine/exec/SqlFunctions.h"

#include "engine/Errors.h"
#include "engine/types/SqliteFunctions.h"

#include <sqlite3.h>

#include <cstring>
#include <random>

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
    sqlite3_create_function_v2(db, "qm_isnumeric", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, isNumeric, nullptr,
                               nullptr, nullptr);
}

}  // namespace quillmere::engine::exec

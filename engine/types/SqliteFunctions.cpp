// The TSQL_CI collation and the tsql_* functions (see SqliteFunctions.h).
#include "engine/types/SqliteFunctions.h"

#include "engine/Convert.h"
#include "engine/Errors.h"
#include "engine/SqlType.h"
#include "engine/types/DateTime.h"
#include "engine/types/Text.h"

#include <sqlite3.h>

#include <chrono>
#include <regex>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <vector>

namespace quillmere::engine {

std::string encodeSqliteError(const Message& m) {
    return "tsql:" + std::to_string(m.number) + ":" + m.text;
}

std::optional<Message> decodeSqliteError(std::string_view s) {
    if (s.rfind("tsql:", 0) != 0) return std::nullopt;
    s.remove_prefix(5);
    auto colon = s.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    int number = 0;
    for (char c : s.substr(0, colon)) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
        if (number > 1'000'000) return std::nullopt;
    }
    Message m = makeError(number);
    m.text = std::string(s.substr(colon + 1));
    return m;
}

void raiseSqliteError(sqlite3_context* context, const Message& m) {
    std::string text = encodeSqliteError(m);
    sqlite3_result_error(context, text.c_str(), static_cast<int>(text.size()));
}

namespace {

using types::DateParse;
using types::DateTimeParts;

Value valueOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return Value::fromInteger(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return Value::fromReal(sqlite3_value_double(v));
    case SQLITE_TEXT:
        return Value::fromText(std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                           static_cast<std::size_t>(sqlite3_value_bytes(v))));
    case SQLITE_BLOB: {
        const void* p = sqlite3_value_blob(v);
        return Value::fromBlob(std::string(static_cast<const char*>(p ? p : ""),
                                           static_cast<std::size_t>(sqlite3_value_bytes(v))));
    }
    default: return Value::null();
    }
}

std::string_view textOf(sqlite3_value* v) {
    const unsigned char* t = sqlite3_value_text(v);
    if (!t) return {};
    return {reinterpret_cast<const char*>(t), static_cast<std::size_t>(sqlite3_value_bytes(v))};
}

void resultValue(sqlite3_context* ctx, const Value& v) {
    switch (v.kind) {
    case ValueKind::Null: sqlite3_result_null(ctx); break;
    case ValueKind::Integer: sqlite3_result_int64(ctx, v.integer); break;
    case ValueKind::Real: sqlite3_result_double(ctx, v.real); break;
    case ValueKind::Text:
        sqlite3_result_text(ctx, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    case ValueKind::Blob:
        sqlite3_result_blob(ctx, v.bytes.data(), static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT);
        break;
    }
}

void resultText(sqlite3_context* ctx, const std::string& s) {
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

bool anyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    return false;
}

// Parsed type of a constant argument, cached on the statement.
const SqlType* typeArg(sqlite3_context* ctx, sqlite3_value** argv, int index) {
    if (auto* cached = static_cast<SqlType*>(sqlite3_get_auxdata(ctx, index))) return cached;
    auto parsed = SqlType::parse(textOf(argv[index]));
    if (!parsed) {
        raiseSqliteError(ctx, internalError("未知的数据类型 " + std::string(textOf(argv[index]))));
        return nullptr;
    }
    auto* t = new SqlType(*parsed);
    sqlite3_set_auxdata(ctx, index, t, [](void* p) { delete static_cast<SqlType*>(p); });
    return static_cast<SqlType*>(sqlite3_get_auxdata(ctx, index));
}

// typeArg, but when SQLite could not keep the aux data the parse is redone into out.
const SqlType* typeArgOr(sqlite3_context* ctx, sqlite3_value** argv, int index, SqlType& out) {
    if (const SqlType* t = typeArg(ctx, argv, index)) return t;
    auto parsed = SqlType::parse(textOf(argv[index]));
    if (!parsed) return nullptr;
    out = *parsed;
    return &out;
}

void fnConvert(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    SqlType toBuf, fromBuf;
    const SqlType* to = typeArgOr(ctx, argv, 1, toBuf);
    if (!to) return;
    int context = argc > 2 ? sqlite3_value_int(argv[2]) : 2;
    if (context < 0 || context > 4) context = 2;
    SqlType from;
    if (argc > 3 && sqlite3_value_type(argv[3]) != SQLITE_NULL) {
        const SqlType* f = typeArgOr(ctx, argv, 3, fromBuf);
        if (!f) return;
        from = *f;
    }
    auto r = convertValue(valueOf(argv[0]), from, *to, static_cast<ConversionContext>(context));
    if (auto* m = std::get_if<Message>(&r)) raiseSqliteError(ctx, *m);
    else resultValue(ctx, std::get<Value>(r));
}

void fnConvertStyle(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    SqlType toBuf, fromBuf;
    const SqlType* to = typeArgOr(ctx, argv, 1, toBuf);
    if (!to) return;
    SqlType from;
    if (argc > 3 && sqlite3_value_type(argv[3]) != SQLITE_NULL) {
        const SqlType* f = typeArgOr(ctx, argv, 3, fromBuf);
        if (!f) return;
        from = *f;
    }
    Value v = valueOf(argv[0]);
    int style = sqlite3_value_int(argv[2]);
    if (to->isCharacter() && v.kind == ValueKind::Text && (from.isDateTime() || from.id == TypeId::Unknown)) {
        DateTimeParts p;
        bool dateLike = from.isDateTime() || v.bytes.size() >= 10;
        if (dateLike && types::parseDateTime(v.bytes, p) == DateParse::Ok && (from.isDateTime() || v.bytes[4] == '-')) {
            if (auto s = types::styledText(p, style)) {
                auto r = convertValue(Value::fromText(*s), SqlType{TypeId::VarChar, -1}, *to, ConversionContext::Cast);
                if (auto* m = std::get_if<Message>(&r)) raiseSqliteError(ctx, *m);
                else resultValue(ctx, std::get<Value>(r));
                return;
            }
        }
    }
    if (to->isDateTime() && v.kind == ValueKind::Text && (from.isCharacter() || from.id == TypeId::Unknown)) {
        // day-first (3, 4, 5 and 103, 104, 105) and year-first (11, 111) text: written as yyyy-mm-dd
        int base = style % 100;
        bool dmy = base == 3 || base == 4 || base == 5;
        bool ymd = base == 11;
        static const std::regex kParts(R"(^\s*(\d{1,4})([/.-])(\d{1,2})\2(\d{1,4})(.*)$)");
        std::smatch m;
        if ((dmy || ymd) && std::regex_match(v.bytes, m, kParts)) {
            std::string d = dmy ? m[1].str() : m[4].str();
            std::string mo = m[3].str();
            std::string y = dmy ? m[4].str() : m[1].str();
            if (y.size() <= 2) {
                int yy = std::stoi(y);
                y = std::to_string(yy < 50 ? 2000 + yy : 1900 + yy);
            }
            if (d.size() <= 2 && y.size() == 4) {
                if (d.size() == 1) d = "0" + d;
                if (mo.size() == 1) mo = "0" + mo;
                v = Value::fromText(y + "-" + mo + "-" + d + m[5].str());
            }
        }
    }
    auto r = convertValue(v, from, *to, ConversionContext::Cast);
    if (auto* m = std::get_if<Message>(&r)) raiseSqliteError(ctx, *m);
    else resultValue(ctx, std::get<Value>(r));
}

void fnInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    std::string_view type = textOf(argv[1]);
    if (t != SQLITE_INTEGER) {
        if (t == SQLITE_FLOAT) { raiseSqliteError(ctx, makeError(8115, {"expression", type})); return; }
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    std::int64_t v = sqlite3_value_int64(argv[0]);
    std::int64_t lo = std::numeric_limits<std::int64_t>::min(), hi = std::numeric_limits<std::int64_t>::max();
    if (type == "int") { lo = std::numeric_limits<std::int32_t>::min(); hi = std::numeric_limits<std::int32_t>::max(); }
    else if (type == "smallint") { lo = -32768; hi = 32767; }
    else if (type == "tinyint") { lo = 0; hi = 255; }
    if (v < lo || v > hi) { raiseSqliteError(ctx, makeError(8115, {"expression", type})); return; }
    sqlite3_result_int64(ctx, v);
}

void fnConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) { sqlite3_result_null(ctx); return; }
    std::string s(textOf(argv[0]));
    s.append(textOf(argv[1]));
    resultText(ctx, s);
}

void fnConcatN(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::string s;
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) != SQLITE_NULL) s.append(textOf(argv[i]));
    resultText(ctx, s);
}

void divide(sqlite3_context* ctx, sqlite3_value** argv, bool modulo) {
    if (anyNull(2, argv)) { sqlite3_result_null(ctx); return; }
    bool ints = sqlite3_value_numeric_type(argv[0]) == SQLITE_INTEGER &&
                sqlite3_value_numeric_type(argv[1]) == SQLITE_INTEGER;
    if (ints) {
        std::int64_t a = sqlite3_value_int64(argv[0]), b = sqlite3_value_int64(argv[1]);
        if (b == 0) { raiseSqliteError(ctx, makeError(8134)); return; }
        if (a == std::numeric_limits<std::int64_t>::min() && b == -1) {
            if (modulo) { sqlite3_result_int64(ctx, 0); return; }
            raiseSqliteError(ctx, makeError(8115, {"expression", "bigint"}));
            return;
        }
        sqlite3_result_int64(ctx, modulo ? a % b : a / b);
        return;
    }
    double a = sqlite3_value_double(argv[0]), b = sqlite3_value_double(argv[1]);
    if (b == 0.0) { raiseSqliteError(ctx, makeError(8134)); return; }
    sqlite3_result_double(ctx, modulo ? std::fmod(a, b) : a / b);
}

void fnDiv(sqlite3_context* ctx, int, sqlite3_value** argv) { divide(ctx, argv, false); }
void fnMod(sqlite3_context* ctx, int, sqlite3_value** argv) { divide(ctx, argv, true); }

void fnLike(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    char32_t escape = 0;
    if (argc > 2 && sqlite3_value_type(argv[2]) != SQLITE_NULL) {
        std::string_view e = textOf(argv[2]);
        std::size_t i = 0;
        if (!e.empty()) escape = types::nextCodePoint(e, i);
    }
    bool unicode = argc > 3 && sqlite3_value_int(argv[3]) != 0;
    sqlite3_result_int(ctx, types::likeMatch(textOf(argv[0]), textOf(argv[1]), escape, unicode) ? 1 : 0);
}

// ---- aggregates ----

// SQLite's aggregate memory is only 8-byte aligned, while __int128 and long double
// want 16: the states are copied in and out of it rather than used in place.
template <class T>
class AggregateState {
public:
    AggregateState(sqlite3_context* ctx, bool create)
        : p_(sqlite3_aggregate_context(ctx, create ? static_cast<int>(sizeof(T)) : 0)) {
        if (p_) std::memcpy(&v_, p_, sizeof v_);
    }
    ~AggregateState() {
        if (p_) std::memcpy(p_, &v_, sizeof v_);
    }
    AggregateState(const AggregateState&) = delete;
    AggregateState& operator=(const AggregateState&) = delete;
    explicit operator bool() const { return p_ != nullptr; }
    T* operator->() { return &v_; }

private:
    void* p_;
    T v_{};
};

// Zero bytes are the empty state of each of these.
struct AvgState {
    bool real;
    int scale;
    __int128 isum;
    long double rsum;
    std::int64_t count;
};

void addToAverage(AvgState& s, sqlite3_value* v) {
    int t = sqlite3_value_numeric_type(v);
    if (t == SQLITE_NULL) return;
    if (t == SQLITE_INTEGER && !s.real) {
        s.isum += sqlite3_value_int64(v);
    } else {
        if (!s.real) { s.rsum = static_cast<long double>(s.isum); s.real = true; }
        s.rsum += t == SQLITE_INTEGER ? static_cast<long double>(sqlite3_value_int64(v))
                                      : static_cast<long double>(sqlite3_value_double(v));
    }
    ++s.count;
}

std::int64_t clampToInt64(long double x) {
    if (!(x > -9.2e18L)) return std::numeric_limits<std::int64_t>::min();
    if (!(x < 9.2e18L)) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(x);
}

void avgIntStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    AggregateState<AvgState> s(ctx, true);
    if (!s) { sqlite3_result_error_nomem(ctx); return; }
    addToAverage(*s.operator->(), argv[0]);
}

void avgIntFinal(sqlite3_context* ctx) {
    AggregateState<AvgState> s(ctx, false);
    if (!s || s->count == 0) { sqlite3_result_null(ctx); return; }
    if (s->real) { sqlite3_result_int64(ctx, clampToInt64(std::trunc(s->rsum / s->count))); return; }
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(s->isum / s->count));
}

// The scale travels as the second argument (6 without it).
void avgNumericStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    AggregateState<AvgState> s(ctx, true);
    if (!s) { sqlite3_result_error_nomem(ctx); return; }
    s->scale = argc > 1 ? std::max(0, std::min(38, sqlite3_value_int(argv[1]))) : 6;
    addToAverage(*s.operator->(), argv[0]);
}

void avgNumericFinalize(sqlite3_context* ctx) {
    AggregateState<AvgState> s(ctx, false);
    if (!s || s->count == 0) { sqlite3_result_null(ctx); return; }
    int scale = s->scale;
    if (!s->real && scale <= 18) {
        __int128 factor = 1;
        for (int i = 0; i < scale; ++i) factor *= 10;
        // Truncates toward zero, as the server does for the average's last digit.
        __int128 scaled = s->isum * factor / s->count;
        if (scale == 0) { sqlite3_result_int64(ctx, static_cast<std::int64_t>(scaled)); return; }
        sqlite3_result_double(ctx, static_cast<double>(static_cast<long double>(scaled) / static_cast<long double>(factor)));
        return;
    }
    long double avg = s->rsum / static_cast<long double>(s->count);
    long double factor = std::pow(10.0L, scale);
    // The values are doubles: 75.123456 is stored as 75.1234559999..., so nudge by a few
    // units of their precision before cutting, or the last digit would be lost.
    long double scaled = avg * factor;
    long double nudge = std::max(1e-9L, std::fabs(scaled) * 1e-14L);
    long double t = std::trunc(scaled + (scaled >= 0 ? nudge : -nudge));
    if (scale == 0) { sqlite3_result_int64(ctx, clampToInt64(t)); return; }
    sqlite3_result_double(ctx, static_cast<double>(t / factor));
}

struct SumState {
    __int128 sum;
    std::int64_t count;
    bool overflow;
    bool isInt;  // result type int rather than bigint
};

void sumIntStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    AggregateState<SumState> s(ctx, true);
    if (!s) { sqlite3_result_error_nomem(ctx); return; }
    if (argc > 1) s->isInt = textOf(argv[1]) != "bigint";
    int t = sqlite3_value_numeric_type(argv[0]);
    if (t == SQLITE_NULL) return;
    s->sum += t == SQLITE_INTEGER ? sqlite3_value_int64(argv[0]) : clampToInt64(sqlite3_value_double(argv[0]));
    ++s->count;
    __int128 lo = s->isInt ? std::numeric_limits<std::int32_t>::min() : std::numeric_limits<std::int64_t>::min();
    __int128 hi = s->isInt ? std::numeric_limits<std::int32_t>::max() : std::numeric_limits<std::int64_t>::max();
    if (s->sum < lo || s->sum > hi) {
        s->overflow = true;
        s->sum = 0;  // keeps the running sum from growing without bound
    }
}

void sumIntFinal(sqlite3_context* ctx) {
    AggregateState<SumState> s(ctx, false);
    if (!s || s->count == 0) { sqlite3_result_null(ctx); return; }
    if (s->overflow) { raiseSqliteError(ctx, makeError(8115, {"expression", s->isInt ? "int" : "bigint"})); return; }
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(s->sum));
}

// ---- strings ----

std::vector<std::string_view> chars(std::string_view s) {
    std::vector<std::string_view> out;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t j = i;
        types::nextCodePoint(s, j);
        out.push_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

std::string joinChars(const std::vector<std::string_view>& c, std::size_t from, std::size_t to) {
    std::string s;
    for (std::size_t i = from; i < to && i < c.size(); ++i) s.append(c[i]);
    return s;
}

void fnLen(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    std::string_view s = textOf(argv[0]);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    std::int64_t n = 0;
    for (std::size_t i = 0; i < s.size();) { types::nextCodePoint(s, i); ++n; }
    sqlite3_result_int64(ctx, n);
}

void fnDataLength(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: sqlite3_result_null(ctx); return;
    case SQLITE_INTEGER: sqlite3_result_int(ctx, 4); return;
    case SQLITE_FLOAT: sqlite3_result_int(ctx, 8); return;
    case SQLITE_BLOB: sqlite3_result_int(ctx, sqlite3_value_bytes(argv[0])); return;
    default: break;
    }
    bool unicode = argc > 1 && sqlite3_value_int(argv[1]) != 0;
    std::string_view s = textOf(argv[0]);
    sqlite3_result_int64(ctx, unicode ? 2 * types::utf16Length(s) : lengthInCodePageBytes(s));
}

void fnUpper(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    resultText(ctx, types::upperText(textOf(argv[0])));
}
void fnLower(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    resultText(ctx, types::lowerText(textOf(argv[0])));
}

void trimWith(sqlite3_context* ctx, sqlite3_value** argv, bool left, bool right) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    std::string_view s = textOf(argv[0]);
    if (left) while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    if (right) while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    resultText(ctx, std::string(s));
}
void fnLtrim(sqlite3_context* ctx, int, sqlite3_value** argv) { trimWith(ctx, argv, true, false); }
void fnRtrim(sqlite3_context* ctx, int, sqlite3_value** argv) { trimWith(ctx, argv, false, true); }
void fnTrim(sqlite3_context* ctx, int, sqlite3_value** argv) { trimWith(ctx, argv, true, true); }

void fnReverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    auto c = chars(textOf(argv[0]));
    std::string s;
    for (auto it = c.rbegin(); it != c.rend(); ++it) s.append(*it);
    resultText(ctx, s);
}

void fnSubstring(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) { sqlite3_result_null(ctx); return; }
    std::int64_t start = sqlite3_value_int64(argv[1]), length = sqlite3_value_int64(argv[2]);
    if (length < 0) { raiseSqliteError(ctx, makeError(537)); return; }
    auto c = chars(textOf(argv[0]));
    std::int64_t first = std::max<std::int64_t>(start, 1);
    std::int64_t end = start > std::numeric_limits<std::int64_t>::max() - length ? std::numeric_limits<std::int64_t>::max()
                                                                                  : start + length;
    if (end <= first) { resultText(ctx, ""); return; }
    std::int64_t n = static_cast<std::int64_t>(c.size());
    resultText(ctx, joinChars(c, static_cast<std::size_t>(std::min(first - 1, n)), static_cast<std::size_t>(std::min(end - 1, n))));
}

void fnLeft(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) { sqlite3_result_null(ctx); return; }
    std::int64_t n = sqlite3_value_int64(argv[1]);
    if (n < 0) { raiseSqliteError(ctx, makeError(536, {"left"})); return; }
    auto c = chars(textOf(argv[0]));
    resultText(ctx, joinChars(c, 0, static_cast<std::size_t>(std::min<std::int64_t>(n, static_cast<std::int64_t>(c.size())))));
}

void fnRight(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(2, argv)) { sqlite3_result_null(ctx); return; }
    std::int64_t n = sqlite3_value_int64(argv[1]);
    if (n < 0) { raiseSqliteError(ctx, makeError(536, {"right"})); return; }
    auto c = chars(textOf(argv[0]));
    std::size_t k = static_cast<std::size_t>(std::min<std::int64_t>(n, static_cast<std::int64_t>(c.size())));
    resultText(ctx, joinChars(c, c.size() - k, c.size()));
}

bool sameChars(const std::vector<std::string_view>& a, std::size_t at, const std::vector<std::string_view>& b) {
    if (at + b.size() > a.size()) return false;
    for (std::size_t k = 0; k < b.size(); ++k) {
        std::size_t i = 0, j = 0;
        if (types::collationKey(types::nextCodePoint(a[at + k], i)) != types::collationKey(types::nextCodePoint(b[k], j)))
            return false;
    }
    return true;
}

void fnReplace(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) { sqlite3_result_null(ctx); return; }
    auto s = chars(textOf(argv[0]));
    auto f = chars(textOf(argv[1]));
    std::string_view with = textOf(argv[2]);
    if (f.empty()) { sqlite3_result_value(ctx, argv[0]); return; }
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        if (sameChars(s, i, f)) { out.append(with); i += f.size(); }
        else out.append(s[i++]);
    }
    resultText(ctx, out);
}

void fnCharIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(2, argv)) { sqlite3_result_null(ctx); return; }
    auto f = chars(textOf(argv[0]));
    auto s = chars(textOf(argv[1]));
    std::int64_t start = argc > 2 && sqlite3_value_type(argv[2]) != SQLITE_NULL ? sqlite3_value_int64(argv[2]) : 1;
    if (start < 1) start = 1;
    if (f.empty()) { sqlite3_result_int(ctx, 0); return; }
    for (std::size_t i = static_cast<std::size_t>(start - 1); i < s.size(); ++i)
        if (sameChars(s, i, f)) { sqlite3_result_int64(ctx, static_cast<std::int64_t>(i) + 1); return; }
    sqlite3_result_int(ctx, 0);
}

constexpr std::int64_t kMaxResultBytes = 64 * 1024 * 1024;

// The first limit characters of UTF-8 text (all of it when limit < 0).
void keepCharacters(std::string& s, std::int64_t limit) {
    if (limit < 0) return;
    std::size_t i = 0;
    for (std::int64_t k = 0; i < s.size() && k < limit; ++k) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    }
    if (i < s.size()) s.resize(i);
}

// space(n[, limit]): limit is the most characters the result type holds (8000 for varchar).
void fnSpace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(1, argv)) { sqlite3_result_null(ctx); return; }
    std::int64_t n = sqlite3_value_int64(argv[0]);
    if (n < 0) { sqlite3_result_null(ctx); return; }
    if (argc > 1 && sqlite3_value_int64(argv[1]) >= 0) n = std::min<std::int64_t>(n, sqlite3_value_int64(argv[1]));
    if (n > kMaxResultBytes) { sqlite3_result_error_toobig(ctx); return; }
    resultText(ctx, std::string(static_cast<std::size_t>(n), ' '));
}

// replicate(text, n[, limit]): limit as for space (-1: a (max) argument, no limit).
void fnReplicate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(2, argv)) { sqlite3_result_null(ctx); return; }
    std::int64_t n = sqlite3_value_int64(argv[1]);
    if (n < 0) { sqlite3_result_null(ctx); return; }
    std::string_view s = textOf(argv[0]);
    std::int64_t limit = argc > 2 ? sqlite3_value_int64(argv[2]) : -1;
    if (limit >= 0 && !s.empty()) n = std::min(n, limit);  // each copy holds at least one character
    if (!s.empty() && n > kMaxResultBytes / static_cast<std::int64_t>(s.size())) { sqlite3_result_error_toobig(ctx); return; }
    std::string out;
    out.reserve(s.size() * static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i) out.append(s);
    keepCharacters(out, limit);
    resultText(ctx, out);
}

void fnIsNull(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) != SQLITE_NULL ? argv[0] : argv[1]);
}

// ---- dates ----

bool dateArg(sqlite3_context* ctx, sqlite3_value* v, DateTimeParts& p) {
    int t = sqlite3_value_type(v);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
        double days = sqlite3_value_double(v);
        if (!(days > -53691.0 && days < 2958464.0)) { raiseSqliteError(ctx, makeError(8115, {"expression", "datetime"})); return false; }
        p = types::fromTicks(static_cast<std::int64_t>(std::llround(days * 864'000'000'000.0)));
        return true;
    }
    DateParse r = types::parseDateTime(textOf(v), p);
    if (r != DateParse::Ok) {
        raiseSqliteError(ctx, r == DateParse::OutOfRange ? makeError(242, {"varchar", "datetime"}) : makeError(241));
        return false;
    }
    return true;
}

enum class Part { Year, Quarter, Month, DayOfYear, Day, Week, Weekday, Hour, Minute, Second, Millisecond, Unknown };

Part partOf(std::string_view s) {
    std::string l;
    for (char c : s) l += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (l == "year" || l == "yy" || l == "yyyy") return Part::Year;
    if (l == "quarter" || l == "qq" || l == "q") return Part::Quarter;
    if (l == "month" || l == "mm" || l == "m") return Part::Month;
    if (l == "dayofyear" || l == "dy" || l == "y") return Part::DayOfYear;
    if (l == "day" || l == "dd" || l == "d") return Part::Day;
    if (l == "week" || l == "wk" || l == "ww") return Part::Week;
    if (l == "weekday" || l == "dw" || l == "w") return Part::Weekday;
    if (l == "hour" || l == "hh") return Part::Hour;
    if (l == "minute" || l == "mi" || l == "n") return Part::Minute;
    if (l == "second" || l == "ss" || l == "s") return Part::Second;
    if (l == "millisecond" || l == "ms") return Part::Millisecond;
    return Part::Unknown;
}

std::int64_t dayNumber(const DateTimeParts& p) {
    return types::daysFromCivil(p.year, p.month, p.day) - types::daysFromCivil(1900, 1, 1);
}

// 1 = Sunday, as with the default DATEFIRST 7. 1900-01-01 was a Monday.
int weekday(const DateTimeParts& p) {
    std::int64_t d = dayNumber(p);
    return static_cast<int>(((d + 1) % 7 + 7) % 7) + 1;
}

bool partArg(sqlite3_context* ctx, sqlite3_value* v, Part& part) {
    part = partOf(textOf(v));
    if (part == Part::Unknown) {
        raiseSqliteError(ctx, makeError(155, {textOf(v)}));
        return false;
    }
    return true;
}

void datePart(sqlite3_context* ctx, Part part, const DateTimeParts& p) {
    std::int64_t r = 0;
    switch (part) {
    case Part::Year: r = p.year; break;
    case Part::Quarter: r = (p.month - 1) / 3 + 1; break;
    case Part::Month: r = p.month; break;
    case Part::DayOfYear: r = types::daysFromCivil(p.year, p.month, p.day) - types::daysFromCivil(p.year, 1, 1) + 1; break;
    case Part::Day: r = p.day; break;
    case Part::Week: {
        DateTimeParts jan1 = p;
        jan1.month = 1;
        jan1.day = 1;
        std::int64_t doy = types::daysFromCivil(p.year, p.month, p.day) - types::daysFromCivil(p.year, 1, 1);
        r = (doy + weekday(jan1) - 1) / 7 + 1;
        break;
    }
    case Part::Weekday: r = weekday(p); break;
    case Part::Hour: r = p.hour; break;
    case Part::Minute: r = p.minute; break;
    case Part::Second: r = p.second; break;
    case Part::Millisecond: r = p.fraction / 10'000; break;
    case Part::Unknown: break;
    }
    sqlite3_result_int64(ctx, r);
}

void fnYear(sqlite3_context* ctx, int, sqlite3_value** argv) {
    DateTimeParts p;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    if (dateArg(ctx, argv[0], p)) datePart(ctx, Part::Year, p);
}
void fnMonth(sqlite3_context* ctx, int, sqlite3_value** argv) {
    DateTimeParts p;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    if (dateArg(ctx, argv[0], p)) datePart(ctx, Part::Month, p);
}
void fnDay(sqlite3_context* ctx, int, sqlite3_value** argv) {
    DateTimeParts p;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    if (dateArg(ctx, argv[0], p)) datePart(ctx, Part::Day, p);
}

void fnDatePart(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Part part;
    if (!partArg(ctx, argv[0], part)) return;
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    DateTimeParts p;
    if (dateArg(ctx, argv[1], p)) datePart(ctx, part, p);
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

void fnDateDiff(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Part part;
    if (!partArg(ctx, argv[0], part)) return;
    if (anyNull(2, argv + 1)) { sqlite3_result_null(ctx); return; }
    DateTimeParts a, b;
    if (!dateArg(ctx, argv[1], a) || !dateArg(ctx, argv[2], b)) return;
    std::int64_t ta = types::toTicks(a), tb = types::toTicks(b);
    std::int64_t r = 0;
    constexpr std::int64_t s = 10'000'000;
    switch (part) {
    case Part::Year: r = b.year - a.year; break;
    case Part::Quarter: r = (b.year - a.year) * 4 + (b.month - 1) / 3 - (a.month - 1) / 3; break;
    case Part::Month: r = (b.year - a.year) * 12 + b.month - a.month; break;
    case Part::DayOfYear: case Part::Day: case Part::Weekday: r = dayNumber(b) - dayNumber(a); break;
    case Part::Week: r = floorDiv(dayNumber(b) + 1, 7) - floorDiv(dayNumber(a) + 1, 7); break;
    case Part::Hour: r = floorDiv(tb, 3600 * s) - floorDiv(ta, 3600 * s); break;
    case Part::Minute: r = floorDiv(tb, 60 * s) - floorDiv(ta, 60 * s); break;
    case Part::Second: r = floorDiv(tb, s) - floorDiv(ta, s); break;
    case Part::Millisecond: r = floorDiv(tb, 10'000) - floorDiv(ta, 10'000); break;
    case Part::Unknown: break;
    }
    if (r > std::numeric_limits<std::int32_t>::max() || r < std::numeric_limits<std::int32_t>::min()) {
        raiseSqliteError(ctx, makeError(535, {textOf(argv[0])}));
        return;
    }
    sqlite3_result_int64(ctx, r);
}

void fnDateAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Part part;
    if (!partArg(ctx, argv[0], part)) return;
    if (anyNull(2, argv + 1)) { sqlite3_result_null(ctx); return; }
    std::int64_t n = clampToInt64(sqlite3_value_double(argv[1]));
    DateTimeParts p;
    if (!dateArg(ctx, argv[2], p)) return;
    auto overflow = [&] { raiseSqliteError(ctx, makeError(517)); };
    if (n > 100'000'000'000LL || n < -100'000'000'000LL) { overflow(); return; }
    constexpr std::int64_t s = 10'000'000;
    if (part == Part::Year || part == Part::Quarter || part == Part::Month) {
        std::int64_t months = part == Part::Year ? n * 12 : part == Part::Quarter ? n * 3 : n;
        std::int64_t total = static_cast<std::int64_t>(p.year) * 12 + (p.month - 1) + months;
        std::int64_t y = floorDiv(total, 12);
        if (y < 1753 || y > 9999) { overflow(); return; }
        p.year = static_cast<int>(y);
        p.month = static_cast<int>(total - y * 12) + 1;
        p.day = std::min(p.day, types::daysInMonth(p.year, p.month));
    } else {
        std::int64_t unit = 0;
        switch (part) {
        case Part::DayOfYear: case Part::Day: case Part::Weekday: unit = 86'400 * s; break;
        case Part::Week: unit = 7 * 86'400 * s; break;
        case Part::Hour: unit = 3600 * s; break;
        case Part::Minute: unit = 60 * s; break;
        case Part::Second: unit = s; break;
        default: unit = 10'000; break;
        }
        std::int64_t t = types::toTicks(p);
        if (n != 0 && std::abs(n) > (std::numeric_limits<std::int64_t>::max() / 2) / unit) { overflow(); return; }
        p = types::fromTicks(t + n * unit);
        if (p.year < 1753 || p.year > 9999) { overflow(); return; }
    }
    resultText(ctx, types::datetimeText(p));
}

void fnGetDate(sqlite3_context* ctx, int, sqlite3_value**) {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    DateTimeParts p;
    p.year = tm.tm_year + 1900;
    p.month = tm.tm_mon + 1;
    p.day = tm.tm_mday;
    p.hour = tm.tm_hour;
    p.minute = tm.tm_min;
    p.second = tm.tm_sec;
    p.fraction = static_cast<int>(ms) * 10'000;
    resultText(ctx, types::datetimeText(p));
}

// ---- numbers ----

void fnAbs(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int t = sqlite3_value_numeric_type(argv[0]);
    if (t == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    if (t == SQLITE_INTEGER) {
        std::int64_t v = sqlite3_value_int64(argv[0]);
        if (v == std::numeric_limits<std::int64_t>::min()) { raiseSqliteError(ctx, makeError(8115, {"expression", "bigint"})); return; }
        sqlite3_result_int64(ctx, v < 0 ? -v : v);
        return;
    }
    sqlite3_result_double(ctx, std::fabs(sqlite3_value_double(argv[0])));
}

void fnSign(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int t = sqlite3_value_numeric_type(argv[0]);
    if (t == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    double v = sqlite3_value_double(argv[0]);
    int s = v > 0 ? 1 : v < 0 ? -1 : 0;
    if (t == SQLITE_INTEGER) sqlite3_result_int(ctx, s);
    else sqlite3_result_double(ctx, s);
}

void roundLike(sqlite3_context* ctx, sqlite3_value* v, double (*fn)(double)) {
    int t = sqlite3_value_numeric_type(v);
    if (t == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    if (t == SQLITE_INTEGER) { sqlite3_result_int64(ctx, sqlite3_value_int64(v)); return; }
    sqlite3_result_double(ctx, fn(sqlite3_value_double(v)));
}
void fnFloor(sqlite3_context* ctx, int, sqlite3_value** argv) { roundLike(ctx, argv[0], [](double x) { return std::floor(x); }); }
void fnCeiling(sqlite3_context* ctx, int, sqlite3_value** argv) { roundLike(ctx, argv[0], [](double x) { return std::ceil(x); }); }

void fnSqrt(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    double x = sqlite3_value_double(argv[0]);
    if (x < 0) { raiseSqliteError(ctx, makeError(3623)); return; }
    sqlite3_result_double(ctx, std::sqrt(x));
}

// tsql_power(x, y[, integer type]): an integer result outside its type is error 232.
void fnPower(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(2, argv)) { sqlite3_result_null(ctx); return; }
    double r = std::pow(sqlite3_value_double(argv[0]), sqlite3_value_double(argv[1]));
    if (!std::isfinite(r)) { raiseSqliteError(ctx, makeError(3623)); return; }
    if (argc > 2) {
        std::string type = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
        double hi = type == "tinyint" ? 255 : type == "smallint" ? 32767 : type == "bigint" ? 9.2233720368547758e18
                                                                                          : 2147483647;
        double lo = type == "tinyint" ? 0 : -hi - 1;
        double t = std::trunc(r);
        if (t > hi || t < lo) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.6f", r);
            raiseSqliteError(ctx, makeError(232, {type, buf}));
            return;
        }
    }
    if (sqlite3_value_numeric_type(argv[0]) == SQLITE_INTEGER && std::fabs(r) < 9.2e18) {
        sqlite3_result_int64(ctx, static_cast<std::int64_t>(std::trunc(r)));
        return;
    }
    sqlite3_result_double(ctx, r);
}

void fnRound(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(2, argv)) { sqlite3_result_null(ctx); return; }
    int digits = sqlite3_value_int(argv[1]);
    bool truncate = argc > 2 && sqlite3_value_type(argv[2]) != SQLITE_NULL && sqlite3_value_int(argv[2]) != 0;
    digits = std::max(-38, std::min(38, digits));
    if (sqlite3_value_numeric_type(argv[0]) == SQLITE_INTEGER) {
        std::int64_t v = sqlite3_value_int64(argv[0]);
        if (digits >= 0) { sqlite3_result_int64(ctx, v); return; }
        if (digits <= -19) { sqlite3_result_int64(ctx, 0); return; }
        std::int64_t f = 1;
        for (int i = 0; i < -digits; ++i) f *= 10;
        __int128 q = v / f * f;
        __int128 rem = static_cast<__int128>(v) - q;
        if (!truncate) {
            if (rem * 2 >= f) q += f;
            else if (-rem * 2 >= f) q -= f;
        }
        if (q > std::numeric_limits<std::int64_t>::max() || q < std::numeric_limits<std::int64_t>::min()) {
            raiseSqliteError(ctx, makeError(8115, {"expression", "bigint"}));
            return;
        }
        sqlite3_result_int64(ctx, static_cast<std::int64_t>(q));
        return;
    }
    double x = sqlite3_value_double(argv[0]);
    double f = std::pow(10.0, digits);
    double y = x * f;
    // A nudge of one part in 1e12 keeps 2.675 (stored as 2.67499...) rounding up, as decimals do.
    double r = truncate ? std::trunc(y) : std::round(y + (y >= 0 ? 1 : -1) * std::fabs(y) * 1e-12);
    sqlite3_result_double(ctx, r / f);
}

// tsql_str(x, length, decimals): STR: right-aligned in length characters, fewer
// decimals when they do not fit, '*' * length when the integer part does not.
void fnStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) { sqlite3_result_null(ctx); return; }
    double x = sqlite3_value_double(argv[0]);
    std::int64_t length = sqlite3_value_int64(argv[1]);
    std::int64_t decimals = sqlite3_value_int64(argv[2]);
    if (length <= 0 || length > 8000 || decimals < 0) { sqlite3_result_null(ctx); return; }
    decimals = std::min<std::int64_t>(decimals, 16);
    for (std::int64_t d = decimals; d >= 0; --d) {
        double f = std::pow(10.0, static_cast<double>(d));
        double r = std::round(x * f) / f;  // halves away from zero
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(d), r);
        std::string t = buf;
        if (t == "-0" || (t.rfind("-0.", 0) == 0 && t.find_first_not_of("0.", 1) == std::string::npos)) t.erase(0, 1);
        if (static_cast<std::int64_t>(t.size()) <= length) {
            resultText(ctx, std::string(static_cast<std::size_t>(length) - t.size(), ' ') + t);
            return;
        }
    }
    resultText(ctx, std::string(static_cast<std::size_t>(length), '*'));
}

// tsql_log(x[, base]): LOG of a number that has none (zero, negative) is error 3623.
void fnLog(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) { sqlite3_result_null(ctx); return; }
    double x = sqlite3_value_double(argv[0]);
    double r = std::log(x);
    if (argc > 1) {
        double b = sqlite3_value_double(argv[1]);
        r = b > 0 && b != 1 ? r / std::log(b) : std::nan("");
    }
    if (x <= 0 || !std::isfinite(r)) { raiseSqliteError(ctx, makeError(3623)); return; }
    sqlite3_result_double(ctx, r);
}

// tsql_stuff(text, start, length, insert): NULL when start is outside the text or length negative.
void fnStuff(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (anyNull(3, argv)) { sqlite3_result_null(ctx); return; }
    auto c = chars(textOf(argv[0]));
    std::int64_t start = sqlite3_value_int64(argv[1]);
    std::int64_t length = sqlite3_value_int64(argv[2]);
    std::int64_t n = static_cast<std::int64_t>(c.size());
    if (start < 1 || start > n || length < 0) { sqlite3_result_null(ctx); return; }
    std::int64_t end = std::min(n, start - 1 + length);
    std::string out = joinChars(c, 0, static_cast<std::size_t>(start - 1));
    if (sqlite3_value_type(argv[3]) != SQLITE_NULL) out += textOf(argv[3]);
    out += joinChars(c, static_cast<std::size_t>(end), static_cast<std::size_t>(n));
    resultText(ctx, out);
}

// tsql_quotename(text[, quote]): delimited with [] (or the quote given), closing ones doubled.
void fnQuotename(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) { sqlite3_result_null(ctx); return; }
    std::string_view s = textOf(argv[0]);
    std::string q = argc > 1 ? std::string(textOf(argv[1])) : "[";
    if (chars(s).size() > 128 || q.size() != 1) { sqlite3_result_null(ctx); return; }
    char open = q[0], close = open;
    if (open == '[' || open == ']') { open = '['; close = ']'; }
    else if (open == '(' || open == ')') { open = '('; close = ')'; }
    else if (open == '<' || open == '>') { open = '<'; close = '>'; }
    else if (open == '{' || open == '}') { open = '{'; close = '}'; }
    else if (open != '\'' && open != '"' && open != '`') { sqlite3_result_null(ctx); return; }
    std::string out(1, open);
    for (char ch : s) {
        out += ch;
        if (ch == close) out += ch;
    }
    out += close;
    resultText(ctx, out);
}

// tsql_concat_ws(separator, value, ...): the values that are not NULL, separated.
void fnConcatWs(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) { sqlite3_result_null(ctx); return; }
    std::string sep(textOf(argv[0]));
    std::string out;
    bool first = true;
    for (int i = 1; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) continue;
        if (!first) out += sep;
        first = false;
        out += textOf(argv[i]);
    }
    resultText(ctx, out);
}

// tsql_cte_level(level, max): the level of a row a recursive common table
// expression produces; past max (0: no limit) the statement ends with 530.
void fnCteLevel(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_int64 level = sqlite3_value_int64(argv[0]);
    sqlite3_int64 max = sqlite3_value_type(argv[1]) == SQLITE_NULL ? 100 : sqlite3_value_int64(argv[1]);
    if (max > 0 && level > max) {
        raiseSqliteError(ctx, makeError(530, {std::to_string(max)}));
        return;
    }
    sqlite3_result_int64(ctx, level);
}

int collate(void*, int la, const void* a, int lb, const void* b) {
    return compareText(std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(la)),
                       std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(lb)));
}

struct Scalar {
    const char* name;
    int args;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
};

const Scalar kScalars[] = {
    {"tsql_convert", 2, fnConvert, true},
    {"tsql_convert", 3, fnConvert, true},
    {"tsql_convert", 4, fnConvert, true},
    {"tsql_convert_style", 3, fnConvertStyle, true},
    {"tsql_convert_style", 4, fnConvertStyle, true},
    {"tsql_int", 2, fnInt, true},
    {"tsql_concat", 2, fnConcat, true},
    {"tsql_concat_n", -1, fnConcatN, true},
    {"tsql_div", 2, fnDiv, true},
    {"tsql_mod", 2, fnMod, true},
    {"tsql_like", 2, fnLike, true},
    {"tsql_like", 3, fnLike, true},
    {"tsql_like", 4, fnLike, true},
    {"tsql_len", 1, fnLen, true},
    {"tsql_datalength", 1, fnDataLength, true},
    {"tsql_datalength", 2, fnDataLength, true},
    {"tsql_upper", 1, fnUpper, true},
    {"tsql_lower", 1, fnLower, true},
    {"tsql_ltrim", 1, fnLtrim, true},
    {"tsql_rtrim", 1, fnRtrim, true},
    {"tsql_trim", 1, fnTrim, true},
    {"tsql_reverse", 1, fnReverse, true},
    {"tsql_substring", 3, fnSubstring, true},
    {"tsql_left", 2, fnLeft, true},
    {"tsql_right", 2, fnRight, true},
    {"tsql_replace", 3, fnReplace, true},
    {"tsql_charindex", 2, fnCharIndex, true},
    {"tsql_charindex", 3, fnCharIndex, true},
    {"tsql_space", 1, fnSpace, true},
    {"tsql_space", 2, fnSpace, true},
    {"tsql_replicate", 2, fnReplicate, true},
    {"tsql_replicate", 3, fnReplicate, true},
    {"tsql_isnull", 2, fnIsNull, true},
    {"tsql_getdate", 0, fnGetDate, false},
    {"tsql_year", 1, fnYear, true},
    {"tsql_month", 1, fnMonth, true},
    {"tsql_day", 1, fnDay, true},
    {"tsql_datepart", 2, fnDatePart, true},
    {"tsql_datediff", 3, fnDateDiff, true},
    {"tsql_dateadd", 3, fnDateAdd, true},
    {"tsql_abs", 1, fnAbs, true},
    {"tsql_sign", 1, fnSign, true},
    {"tsql_floor", 1, fnFloor, true},
    {"tsql_ceiling", 1, fnCeiling, true},
    {"tsql_sqrt", 1, fnSqrt, true},
    {"tsql_power", 2, fnPower, true},
    {"tsql_power", 3, fnPower, true},
    {"tsql_round", 2, fnRound, true},
    {"tsql_round", 3, fnRound, true},
    {"tsql_cte_level", 2, fnCteLevel, true},
    {"tsql_str", 3, fnStr, true},
    {"tsql_stuff", 4, fnStuff, true},
    {"tsql_quotename", 1, fnQuotename, true},
    {"tsql_quotename", 2, fnQuotename, true},
    {"tsql_concat_ws", -1, fnConcatWs, true},
    {"tsql_log", 1, fnLog, true},
    {"tsql_log", 2, fnLog, true},
};

}  // namespace

void registerSqliteExtensions(sqlite3* db) {
    // The Bloom filters SQLite puts in front of a join's automatic index hash the
    // bytes of a value and ignore the column's collating sequence: under TSQL_CI
    // 'ab   ' = 'AB' would find no row. They are switched off (SQLITE_BloomFilter).
    constexpr int kBloomFilter = 0x00080000;
    sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, db, kBloomFilter);
    sqlite3_create_collation_v2(db, "TSQL_CI", SQLITE_UTF8, nullptr, collate, nullptr);
    for (const auto& s : kScalars) {
        int flags = SQLITE_UTF8 | (s.deterministic ? SQLITE_DETERMINISTIC : 0);
        sqlite3_create_function_v2(db, s.name, s.args, flags, nullptr, s.fn, nullptr, nullptr, nullptr);
    }
    int agg = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "tsql_avg_numeric", 2, agg, nullptr, nullptr, avgNumericStep, avgNumericFinalize, nullptr);
    sqlite3_create_function_v2(db, "tsql_avg_numeric", 1, agg, nullptr, nullptr, avgNumericStep, avgNumericFinalize, nullptr);
    sqlite3_create_function_v2(db, "tsql_avg_int", 1, agg, nullptr, nullptr, avgIntStep, avgIntFinal, nullptr);
    sqlite3_create_function_v2(db, "tsql_sum_int", 1, agg, nullptr, nullptr, sumIntStep, sumIntFinal, nullptr);
    sqlite3_create_function_v2(db, "tsql_sum_int", 2, agg, nullptr, nullptr, sumIntStep, sumIntFinal, nullptr);
}

}  // namespace quillmere::engine

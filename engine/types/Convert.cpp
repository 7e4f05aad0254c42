// Conversion of values between SQL Server types, with the server's errors.
#include "engine/Convert.h"

#include "engine/Errors.h"
#include "engine/types/DateTime.h"
#include "engine/types/Text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace quillmere::engine {

namespace {

using types::DateParse;
using types::DateTimeParts;

using Result = std::variant<Value, Message>;

// The word SQL Server puts in messages for the source of a conversion.
std::string sourceName(const SqlType& from, const Value& v) {
    switch (from.id) {
    case TypeId::Unknown:
        return v.kind == ValueKind::Integer ? "int"
               : v.kind == ValueKind::Real  ? "float"
               : v.kind == ValueKind::Blob  ? "varbinary"
                                            : "varchar";
    case TypeId::Char: return "char";
    case TypeId::VarChar: case TypeId::Text: return "varchar";
    case TypeId::NChar: return "nchar";
    case TypeId::NVarChar: case TypeId::NText: return "nvarchar";
    case TypeId::Numeric: return "numeric";
    case TypeId::Time: return "time";
    case TypeId::DateTime2: return "datetime2";
    case TypeId::Binary: return "binary";
    case TypeId::VarBinary: return "varbinary";
    default: return from.name();
    }
}

// Base name of the target type for messages: "int", "numeric", "datetime".
std::string targetName(const SqlType& to) {
    switch (to.id) {
    case TypeId::Numeric: return "numeric";
    case TypeId::Char: return "char";
    case TypeId::VarChar: return "varchar";
    case TypeId::NChar: return "nchar";
    case TypeId::NVarChar: return "nvarchar";
    case TypeId::Binary: return "binary";
    case TypeId::VarBinary: return "varbinary";
    case TypeId::Time: return "time";
    case TypeId::DateTime2: return "datetime2";
    default: return to.name();
    }
}

// A decimal number held as its digits, for exact rounding and range checks.
struct Decimal {
    bool negative = false;
    std::string intDigits;   // without leading zeros
    std::string fracDigits;  // as written
};

bool parseDecimal(std::string_view s, Decimal& d) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) d.negative = s[i++] == '-';
    bool any = false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) { d.intDigits += s[i++]; any = true; }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) { d.fracDigits += s[i++]; any = true; }
    }
    if (!any || i != s.size()) return false;
    d.intDigits.erase(0, std::min(d.intDigits.find_first_not_of('0'), d.intDigits.size()));
    return true;
}

// Rounds half away from zero to scale digits after the point.
void roundDecimal(Decimal& d, int scale) {
    if (static_cast<int>(d.fracDigits.size()) <= scale) {
        d.fracDigits.append(static_cast<std::size_t>(scale) - d.fracDigits.size(), '0');
        return;
    }
    bool up = d.fracDigits[static_cast<std::size_t>(scale)] >= '5';
    d.fracDigits.resize(static_cast<std::size_t>(scale));
    if (!up) return;
    std::string all = d.intDigits + d.fracDigits;
    int k = static_cast<int>(all.size()) - 1;
    while (k >= 0 && all[static_cast<std::size_t>(k)] == '9') all[static_cast<std::size_t>(k--)] = '0';
    if (k < 0) all.insert(all.begin(), '1');
    else ++all[static_cast<std::size_t>(k)];
    d.intDigits = all.substr(0, all.size() - static_cast<std::size_t>(scale));
    d.fracDigits = all.substr(all.size() - static_cast<std::size_t>(scale));
    d.intDigits.erase(0, std::min(d.intDigits.find_first_not_of('0'), d.intDigits.size()));
}

bool isZero(const Decimal& d) {
    return d.intDigits.empty() && d.fracDigits.find_first_not_of('0') == std::string::npos;
}

// Stores a rounded decimal as numeric(p,s) is stored: INTEGER for scale 0 and p <= 18, else REAL.
Value decimalValue(const Decimal& d, const SqlType& to) {
    if (to.id == TypeId::Numeric && to.scale == 0 && to.precision <= 18) {
        std::int64_t n = 0;
        for (char c : d.intDigits) n = n * 10 + (c - '0');
        return Value::fromInteger(d.negative ? -n : n);
    }
    std::string text = (d.negative ? "-" : "") + (d.intDigits.empty() ? "0" : d.intDigits);
    if (!d.fracDigits.empty()) text += "." + d.fracDigits;
    return Value::fromReal(std::strtod(text.c_str(), nullptr));
}

double pow10(int n) { return std::pow(10.0, n); }

std::string realText(double x) {
    char buf[64];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, p);
}

// float as CONVERT(varchar, f) writes it: up to 6 significant digits, e+006 exponents.
std::string floatStyle0(double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", x);
    std::string s = buf;
    if (auto e = s.find('e'); e != std::string::npos) {
        std::string mant = s.substr(0, e), sign = s.substr(e + 1, 1), digits = s.substr(e + 2);
        while (digits.size() < 3) digits = "0" + digits;
        s = mant + "e" + sign + digits;
    }
    return s;
}

std::string fixed(double x, int scale) {
    double r = std::round(x * pow10(scale)) / pow10(scale);
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", scale, r);
    std::string s = buf;
    if (s.rfind("-0", 0) == 0 && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
    return s;
}

// The text a value of type from has when it becomes a character string.
std::optional<std::string> asText(const Value& v, const SqlType& from) {
    switch (v.kind) {
    case ValueKind::Text:
    case ValueKind::Blob:
        if (from.isDateTime() && (from.id == TypeId::DateTime || from.id == TypeId::SmallDateTime)) {
            DateTimeParts p;
            if (types::parseDateTime(v.bytes, p) == DateParse::Ok) return types::style0Text(p);
        }
        return v.bytes;
    case ValueKind::Integer:
        if (from.id == TypeId::Numeric && from.scale > 0)
            return fixed(static_cast<double>(v.integer), from.scale);
        if (from.id == TypeId::Money || from.id == TypeId::SmallMoney)
            return fixed(static_cast<double>(v.integer), 2);
        return std::to_string(v.integer);
    case ValueKind::Real:
        if (from.id == TypeId::Numeric) return fixed(v.real, from.scale);
        if (from.id == TypeId::Money || from.id == TypeId::SmallMoney) return fixed(v.real, 2);
        if (from.isInteger()) return std::to_string(static_cast<std::int64_t>(v.real));
        return floatStyle0(v.real);
    case ValueKind::Null:
        return std::nullopt;
    }
    return std::nullopt;
}

Result toCharacter(const Value& v, const SqlType& from, const SqlType& to, ConversionContext ctx) {
    std::string text = *asText(v, from);
    bool unicode = to.isUnicode();
    int limit = (to.id == TypeId::Text || to.id == TypeId::NText) ? -1 : to.length;
    if (limit == 0) limit = 30;
    std::string_view fit = types::fittingPrefix(text, limit, unicode);
    if (fit.size() < text.size()) {
        bool numberSource = v.kind != ValueKind::Text && v.kind != ValueKind::Blob;
        if (numberSource && from.id == TypeId::Numeric)
            return makeError(8115, {"numeric", targetName(to)});
        if (numberSource && ctx != ConversionContext::Column) {
            text = "*";
        } else if (ctx == ConversionContext::Column) {
            // Only blanks may be cut from a value stored into a column.
            if (std::string_view(text).substr(fit.size()).find_first_not_of(' ') != std::string_view::npos)
                return makeError(8152);
            text.resize(fit.size());
        } else {
            text.resize(fit.size());
        }
    }
    if ((to.id == TypeId::Char || to.id == TypeId::NChar) && limit > 0) {
        int used = unicode ? types::utf16Length(text) : lengthInCodePageBytes(text);
        if (used < limit) text.append(static_cast<std::size_t>(limit - used), ' ');
    }
    return Value::fromText(std::move(text));
}

struct IntRange {
    std::int64_t lo, hi;
};

IntRange rangeOf(TypeId id) {
    switch (id) {
    case TypeId::Bit: return {0, 1};
    case TypeId::TinyInt: return {0, 255};
    case TypeId::SmallInt: return {-32768, 32767};
    case TypeId::Int: return {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
    default: return {std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()};
    }
}

Result textToInteger(const Value& v, const SqlType& from, const SqlType& to, ConversionContext ctx) {
    std::string_view t = types::trimBlanks(v.bytes);
    while (!t.empty() && (t.front() == '\t' || t.front() == '\r' || t.front() == '\n')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == '\t' || t.back() == '\r' || t.back() == '\n')) t.remove_suffix(1);
    std::string src = sourceName(from, v);
    std::string target = targetName(to);
    auto failed = [&]() -> Result {
        if (ctx == ConversionContext::Argument) return makeError(8114, {src, target});
        return makeError(245, {src, v.bytes, target});
    };
    if (t.empty()) return Value::fromInteger(0);
    if (to.id == TypeId::Bit) {
        std::string l;
        for (char c : t) l += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (l == "true") return Value::fromInteger(1);
        if (l == "false") return Value::fromInteger(0);
        Decimal d;
        if (!parseDecimal(t, d)) return failed();
        return Value::fromInteger(isZero(d) ? 0 : 1);
    }
    std::size_t i = 0;
    bool negative = false;
    if (t[i] == '+' || t[i] == '-') negative = t[i++] == '-';
    if (i == t.size()) return failed();
    std::string digits;
    for (; i < t.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(t[i]))) return failed();
        digits += t[i];
    }
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    IntRange r = rangeOf(to.id);
    bool overflow = digits.size() > 19;
    std::int64_t n = 0;
    if (!overflow) {
        unsigned long long u = digits.empty() ? 0 : std::stoull(digits);
        if (negative) {
            if (u > 9223372036854775808ULL) overflow = true;
            else n = u == 9223372036854775808ULL ? std::numeric_limits<std::int64_t>::min()
                                                 : -static_cast<std::int64_t>(u);
        } else {
            if (u > 9223372036854775807ULL) overflow = true;
            else n = static_cast<std::int64_t>(u);
        }
    }
    if (overflow || n < r.lo || n > r.hi) {
        if (to.id == TypeId::BigInt) return makeError(8114, {src, target});
        if (to.id == TypeId::Int) return makeError(248, {src, v.bytes, target});
        return makeError(244, {src, v.bytes, target});
    }
    return Value::fromInteger(n);
}

Result numberToInteger(const Value& v, const SqlType& from, const SqlType& to) {
    IntRange r = rangeOf(to.id);
    std::string src = from.id == TypeId::Float || from.id == TypeId::Real || (from.id == TypeId::Unknown && v.kind == ValueKind::Real)
                          ? "float" : "expression";
    if (v.kind == ValueKind::Integer) {
        if (to.id == TypeId::Bit) return Value::fromInteger(v.integer != 0);
        if (v.integer < r.lo || v.integer > r.hi) return makeError(8115, {src, targetName(to)});
        return Value::fromInteger(v.integer);
    }
    double x = v.real;
    if (to.id == TypeId::Bit) return Value::fromInteger(x != 0.0);
    if (std::isnan(x)) return makeError(8115, {src, targetName(to)});
    // money rounds into integers; numeric and float truncate.
    double t = (from.id == TypeId::Money || from.id == TypeId::SmallMoney) ? std::round(x) : std::trunc(x);
    if (t < static_cast<double>(r.lo) || t >= static_cast<double>(r.hi) + 1.0)
        return makeError(8115, {src, targetName(to)});
    return Value::fromInteger(static_cast<std::int64_t>(t));
}

Result toNumeric(const Value& v, const SqlType& from, const SqlType& to, ConversionContext ctx) {
    int precision = to.id == TypeId::Numeric ? to.precision : 19;
    int scale = to.id == TypeId::Numeric ? to.scale : 4;
    std::string src = sourceName(from, v);
    std::string target = to.id == TypeId::Numeric ? "numeric" : targetName(to);
    Decimal d;
    if (v.kind == ValueKind::Text || v.kind == ValueKind::Blob) {
        std::string_view t = types::trimBlanks(v.bytes);
        std::string cleaned(t);
        if (to.id == TypeId::Money || to.id == TypeId::SmallMoney) {
            if (t.empty()) return Value::fromReal(0.0);
            cleaned.erase(std::remove(cleaned.begin(), cleaned.end(), ','), cleaned.end());
            for (std::string_view sym : {"$", "\xC2\xA5", "\xEF\xBF\xA5"})
                if (cleaned.rfind(sym, 0) == 0) cleaned.erase(0, sym.size());
        }
        if (!parseDecimal(cleaned, d)) return makeError(8114, {src, target});
    } else if (v.kind == ValueKind::Integer) {
        d.negative = v.integer < 0;
        std::string s = std::to_string(v.integer);
        d.intDigits = d.negative ? s.substr(1) : s;
        if (d.intDigits == "0") d.intDigits.clear();
        if (from.id == TypeId::Unknown || from.isInteger()) src = "int";
    } else {
        if (!std::isfinite(v.real)) return makeError(8115, {"float", target});
        char buf[512];
        std::snprintf(buf, sizeof buf, "%.17f", v.real);
        // Use the shortest exact form where it is shorter, so 75.5 stays 75.5.
        std::string shortest = realText(v.real);
        if (shortest.find('e') == std::string::npos) parseDecimal(shortest, d);
        else parseDecimal(buf, d);
        src = from.id == TypeId::Numeric ? "numeric" : "float";
    }
    roundDecimal(d, scale);
    if (static_cast<int>(d.intDigits.size()) > precision - scale) {
        if (src == "int" || src == "numeric") src = "expression";
        return makeError(8115, {src, target});
    }
    if (isZero(d)) d.negative = false;
    Value out = decimalValue(d, to.id == TypeId::Numeric ? to : SqlType{TypeId::Numeric, 0, 19, 4});
    if (to.id == TypeId::SmallMoney && std::fabs(out.real) > 214748.3647)
        return makeError(8115, {"expression", target});
    if (to.id != TypeId::Numeric && out.kind == ValueKind::Integer) out = Value::fromReal(static_cast<double>(out.integer));
    (void)ctx;
    return out;
}

Result toFloat(const Value& v, const SqlType& from, const SqlType& to) {
    double x = 0;
    if (v.kind == ValueKind::Integer) {
        x = static_cast<double>(v.integer);
    } else if (v.kind == ValueKind::Real) {
        x = v.real;
    } else {
        std::string t(types::trimBlanks(v.bytes));
        if (!t.empty()) {
            char* end = nullptr;
            x = std::strtod(t.c_str(), &end);
            bool hex = t.find_first_of("xX") != std::string::npos;
            bool word = t.find_first_of("iInN") != std::string::npos;  // inf, nan
            if (end != t.c_str() + t.size() || hex || word) return makeError(8114, {sourceName(from, v), targetName(to)});
            if (!std::isfinite(x)) return makeError(8115, {"expression", targetName(to)});
        }
    }
    if (to.id == TypeId::Real) {
        if (std::fabs(x) > std::numeric_limits<float>::max()) return makeError(8115, {"expression", "real"});
        x = static_cast<double>(static_cast<float>(x));
    }
    return Value::fromReal(x);
}

Result toDateTime(const Value& v, const SqlType& from, const SqlType& to) {
    DateTimeParts p;
    if (v.kind == ValueKind::Integer || v.kind == ValueKind::Real) {
        if (to.id != TypeId::DateTime && to.id != TypeId::SmallDateTime)
            return makeError(206, {sourceName(from, v), targetName(to)});
        double days = v.kind == ValueKind::Integer ? static_cast<double>(v.integer) : v.real;
        if (!(days > -53691.0 && days < 2958464.0)) return makeError(8115, {"expression", targetName(to)});
        p = types::fromTicks(static_cast<std::int64_t>(std::llround(days * 864'000'000'000.0)));
    } else {
        DateParse r = types::parseDateTime(v.bytes, p);
        if (r == DateParse::Unparseable) return makeError(241);
        if (r == DateParse::OutOfRange) {
            if (to.id == TypeId::DateTime || to.id == TypeId::SmallDateTime)
                return makeError(242, {sourceName(from, v), targetName(to)});
            return makeError(241);
        }
    }
    switch (to.id) {
    case TypeId::DateTime: {
        if (p.year < 1753) return makeError(242, {sourceName(from, v), "datetime"});
        std::string s = types::datetimeText(p);
        if (s.rfind("10000", 0) == 0) return makeError(242, {sourceName(from, v), "datetime"});
        return Value::fromText(std::move(s));
    }
    case TypeId::SmallDateTime: {
        std::string s = types::smallDatetimeText(p);
        if (s < "1900-01-01" || s > "2079-06-06 23:59:00") return makeError(242, {sourceName(from, v), "smalldatetime"});
        return Value::fromText(std::move(s));
    }
    case TypeId::Date: return Value::fromText(types::dateText(p));
    case TypeId::Time: return Value::fromText(types::timeText(p, to.scale));
    default: {
        std::string s = types::datetime2Text(p, to.scale);
        if (s.rfind("10000", 0) == 0) return makeError(241);
        return Value::fromText(std::move(s));
    }
    }
}

Result dateTimeToNumber(const Value& v, const SqlType& from, const SqlType& to) {
    DateTimeParts p;
    if (types::parseDateTime(v.bytes, p) != DateParse::Ok) return makeError(241);
    double days = static_cast<double>(types::toTicks(p)) / 864'000'000'000.0;
    if (to.id == TypeId::Float || to.id == TypeId::Real) return Value::fromReal(days);
    if (to.isInteger()) return numberToInteger(Value::fromReal(std::round(days)), SqlType{TypeId::Numeric, 0, 18, 0}, to);
    return toNumeric(Value::fromReal(days), SqlType{TypeId::Float}, to, ConversionContext::Cast);
}

Result toBinary(const Value& v, const SqlType& from, const SqlType& to, ConversionContext ctx) {
    std::string bytes;
    if (v.kind == ValueKind::Integer) {
        int width = from.id == TypeId::BigInt ? 8 : from.id == TypeId::SmallInt ? 2
                    : from.id == TypeId::TinyInt || from.id == TypeId::Bit ? 1 : 4;
        for (int i = width - 1; i >= 0; --i) bytes += static_cast<char>((v.integer >> (8 * i)) & 0xFF);
    } else if (v.kind == ValueKind::Real) {
        return makeError(206, {sourceName(from, v), targetName(to)});
    } else {
        bytes = v.bytes;
    }
    int limit = to.length == 0 ? 30 : to.length;
    if (limit > 0 && static_cast<int>(bytes.size()) > limit) {
        if (ctx == ConversionContext::Column) return makeError(8152);
        bytes.resize(static_cast<std::size_t>(limit));
    }
    if (to.id == TypeId::Binary && limit > 0) bytes.append(static_cast<std::size_t>(limit) - bytes.size(), '\0');
    return Value::fromBlob(std::move(bytes));
}

Result toGuid(const Value& v) {
    std::string_view t = types::trimBlanks(v.bytes);
    if (t.size() == 38 && t.front() == '{' && t.back() == '}') t = t.substr(1, 36);
    if (t.size() < 36) return makeError(8169);
    std::string out;
    for (std::size_t i = 0; i < 36; ++i) {
        char c = t[i];
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c))) return makeError(8169);
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return Value::fromText(std::move(out));
}

int precedence(TypeId id) {
    switch (id) {
    case TypeId::DateTime2: return 30;
    case TypeId::DateTime: return 29;
    case TypeId::SmallDateTime: return 28;
    case TypeId::Date: return 27;
    case TypeId::Time: return 26;
    case TypeId::Float: return 25;
    case TypeId::Real: return 24;
    case TypeId::Numeric: return 23;
    case TypeId::Money: return 22;
    case TypeId::SmallMoney: return 21;
    case TypeId::BigInt: return 20;
    case TypeId::Int: return 19;
    case TypeId::SmallInt: return 18;
    case TypeId::TinyInt: return 17;
    case TypeId::Bit: return 16;
    case TypeId::NText: return 15;
    case TypeId::Text: return 14;
    case TypeId::UniqueIdentifier: return 13;
    case TypeId::NVarChar: return 12;
    case TypeId::NChar: return 11;
    case TypeId::VarChar: return 10;
    case TypeId::Char: return 9;
    case TypeId::VarBinary: return 8;
    case TypeId::Binary: return 7;
    case TypeId::Unknown: return 0;
    }
    return 0;
}

SqlType asNumeric(const SqlType& t) {
    switch (t.id) {
    case TypeId::Bit: return {TypeId::Numeric, 0, 1, 0};
    case TypeId::TinyInt: return {TypeId::Numeric, 0, 3, 0};
    case TypeId::SmallInt: return {TypeId::Numeric, 0, 5, 0};
    case TypeId::Int: return {TypeId::Numeric, 0, 10, 0};
    case TypeId::BigInt: return {TypeId::Numeric, 0, 19, 0};
    case TypeId::Money: return {TypeId::Numeric, 0, 19, 4};
    case TypeId::SmallMoney: return {TypeId::Numeric, 0, 10, 4};
    default: return t;
    }
}

SqlType numericResult(char op, SqlType a, SqlType b) {
    a = asNumeric(a);
    b = asNumeric(b);
    int p1 = a.precision, s1 = a.scale, p2 = b.precision, s2 = b.scale;
    int p = 0, s = 0;
    switch (op) {
    case '*': p = p1 + p2 + 1; s = s1 + s2; break;
    case '/': s = std::max(6, s1 + p2 + 1); p = p1 - s1 + s2 + s; break;
    case '%': s = std::max(s1, s2); p = std::min(p1 - s1, p2 - s2) + s; break;
    case '+': case '-': s = std::max(s1, s2); p = std::max(p1 - s1, p2 - s2) + s + 1; break;
    default: s = std::max(s1, s2); p = std::max(p1 - s1, p2 - s2) + s; break;
    }
    if (p > 38) {
        int integral = p - s;
        s = std::max(38 - integral, std::min(s, 6));
        p = 38;
    }
    if (s > p) s = p;
    return {TypeId::Numeric, 0, std::max(p, 1), std::max(s, 0)};
}

}  // namespace

std::variant<Value, Message> convertValue(const Value& v, const SqlType& from, const SqlType& to,
                                          ConversionContext context) {
    if (v.isNull() || to.id == TypeId::Unknown) return v;
    SqlType src = from;
    if (src.id == TypeId::Unknown) src = typeOfLiteral(v);
    const bool textSource = v.kind == ValueKind::Text || v.kind == ValueKind::Blob;

    if (to.isCharacter()) return toCharacter(v, from, to, context);
    if (to.isInteger()) {
        if (textSource && src.isDateTime()) return dateTimeToNumber(v, src, to);
        if (textSource) return textToInteger(v, from, to, context);
        // an integer assigned to a variable of a smaller integer type names the value
        if (context == ConversionContext::Variable && v.kind == ValueKind::Integer && src.isInteger() &&
            to.id != TypeId::Bit) {
            auto r = numberToInteger(v, src, to);
            if (std::holds_alternative<Message>(r)) return makeError(220, {targetName(to), std::to_string(v.integer)});
            return r;
        }
        return numberToInteger(v, src, to);
    }
    if (to.id == TypeId::Numeric || to.id == TypeId::Money || to.id == TypeId::SmallMoney) {
        if (textSource && src.isDateTime()) return dateTimeToNumber(v, src, to);
        return toNumeric(v, from, to, context);
    }
    if (to.id == TypeId::Float || to.id == TypeId::Real) {
        if (textSource && src.isDateTime()) return dateTimeToNumber(v, src, to);
        return toFloat(v, from, to);
    }
    if (to.isDateTime()) return toDateTime(v, from, to);
    if (to.id == TypeId::Binary || to.id == TypeId::VarBinary) return toBinary(v, src, to, context);
    if (to.id == TypeId::UniqueIdentifier) {
        if (!textSource) return makeError(206, {sourceName(from, v), "uniqueidentifier"});
        return toGuid(v);
    }
    return v;
}

SqlType typeOfLiteral(const Value& v, bool unicode) {
    switch (v.kind) {
    case ValueKind::Null: return {TypeId::Unknown};
    case ValueKind::Integer:
        if (v.integer >= std::numeric_limits<std::int32_t>::min() && v.integer <= std::numeric_limits<std::int32_t>::max())
            return {TypeId::Int};
        return {TypeId::BigInt};
    case ValueKind::Real: return {TypeId::Float};
    case ValueKind::Text:
        if (unicode) return {TypeId::NVarChar, std::max(1, types::utf16Length(v.bytes))};
        return {TypeId::VarChar, std::max(1, lengthInCodePageBytes(v.bytes))};
    case ValueKind::Blob: return {TypeId::VarBinary, std::max<int>(1, static_cast<int>(v.bytes.size()))};
    }
    return {};
}

std::optional<SqlType> typeOfNumberLiteral(std::string_view text) {
    if (text.empty()) return std::nullopt;
    if (text.find_first_of("eE") != std::string_view::npos) {
        char* end = nullptr;
        std::string t(text);
        std::strtod(t.c_str(), &end);
        if (end != t.c_str() + t.size()) return std::nullopt;
        return SqlType{TypeId::Float};
    }
    Decimal d;
    if (!parseDecimal(text, d) || text.front() == '+' || text.front() == '-') return std::nullopt;
    bool hasPoint = text.find('.') != std::string_view::npos;
    int intLen = static_cast<int>(d.intDigits.size());
    int scale = static_cast<int>(d.fracDigits.size());
    if (!hasPoint && intLen <= 10) {
        // Up to 2147483647 an integer literal is int; beyond, numeric(n,0).
        if (intLen < 10 || d.intDigits <= "2147483647") return SqlType{TypeId::Int};
    }
    int precision = std::max(intLen + scale, 1);
    if (precision < scale) precision = scale;
    if (precision > 38) return SqlType{TypeId::Float};
    return SqlType{TypeId::Numeric, 0, precision, scale};
}

SqlType resultTypeOf(char op, const SqlType& left, const SqlType& right) {
    if (left.id == TypeId::Unknown && right.id == TypeId::Unknown) return {TypeId::Int};
    if (left.id == TypeId::Unknown) return right;
    if (right.id == TypeId::Unknown) return left;
    if (op == '+' && left.isCharacter() && right.isCharacter()) {
        bool unicode = left.isUnicode() || right.isUnicode();
        bool isVar = !(left.id == TypeId::Char || left.id == TypeId::NChar) ||
                     !(right.id == TypeId::Char || right.id == TypeId::NChar);
        bool isMax = left.length < 0 || right.length < 0 || left.id == TypeId::Text || left.id == TypeId::NText ||
                     right.id == TypeId::Text || right.id == TypeId::NText;
        SqlType t{unicode ? (isVar ? TypeId::NVarChar : TypeId::NChar) : (isVar ? TypeId::VarChar : TypeId::Char)};
        int limit = unicode ? 4000 : 8000;
        t.length = isMax ? -1 : std::min(limit, left.length + right.length);
        if (isMax) t.id = unicode ? TypeId::NVarChar : TypeId::VarChar;
        return t;
    }
    const SqlType& hi = precedence(left.id) >= precedence(right.id) ? left : right;
    const SqlType& lo = &hi == &left ? right : left;
    bool arithmetic = op == '+' || op == '-' || op == '*' || op == '/' || op == '%';
    if (hi.id == TypeId::Numeric && (lo.id == TypeId::Numeric || lo.isInteger() || lo.id == TypeId::Money ||
                                     lo.id == TypeId::SmallMoney)) {
        if (!arithmetic) {
            SqlType a = asNumeric(left), b = asNumeric(right);
            int s = std::max(a.scale, b.scale);
            int p = std::min(38, std::max(a.precision - a.scale, b.precision - b.scale) + s);
            return {TypeId::Numeric, 0, p, s};
        }
        return numericResult(op, left, right);
    }
    if (hi.id == TypeId::Numeric) return hi;  // numeric with a string: the string becomes numeric(18,0)-like
    if (arithmetic && hi.isInteger()) {
        // bit and tinyint widen to int in arithmetic, as on the server.
        if (precedence(hi.id) < precedence(TypeId::Int) && op != '%') return {TypeId::Int};
        return {hi.id};
    }
    if (hi.id == TypeId::Bit && !arithmetic) return hi;
    return hi;
}

SqlType aggregateType(std::string_view function, const SqlType& argument) {
    std::string f;
    for (char c : function) f += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (f == "count") return {TypeId::Int};
    if (f == "count_big") return {TypeId::BigInt};
    if (f == "avg" || f == "sum") {
        switch (argument.id) {
        case TypeId::Bit: case TypeId::TinyInt: case TypeId::SmallInt: case TypeId::Int:
        case TypeId::Unknown:
            return {TypeId::Int};
        case TypeId::BigInt: return {TypeId::BigInt};
        case TypeId::Numeric:
            if (f == "avg") return {TypeId::Numeric, 0, 38, std::max(argument.scale, 6)};
            return {TypeId::Numeric, 0, 38, argument.scale};
        case TypeId::Money: case TypeId::SmallMoney: return {TypeId::Money};
        case TypeId::Float: case TypeId::Real: return {TypeId::Float};
        default: return {TypeId::Int};  // the server refuses strings and dates (8117); the caller reports it
        }
    }
    if (f == "stdev" || f == "stdevp" || f == "var" || f == "varp") return {TypeId::Float};
    return argument;
}

}  // namespace quillmere::engine

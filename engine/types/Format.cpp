// Display text of values as SQL Server clients show them.
#include "engine/Format.h"

#include "engine/types/DateTime.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace quillmere::engine {

namespace {

std::string fixedText(double x, int scale) {
    double r = std::round(x * std::pow(10.0, scale)) / std::pow(10.0, scale);
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", scale, r);
    std::string s = buf;
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
    return s;
}

// Shortest text that reads back as the same double, with an upper-case exponent.
std::string shortestText(double x, bool single) {
    char buf[64];
    auto res = single ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(x))
                      : std::to_chars(buf, buf + sizeof buf, x);
    std::string s(buf, res.ptr);
    if (auto e = s.find('e'); e != std::string::npos) s[e] = 'E';
    return s;
}

std::string hexText(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s = "0x";
    for (unsigned char c : bytes) {
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

std::string dateTimeText(std::string_view stored, const SqlType& type) {
    types::DateTimeParts p;
    if (types::parseDateTime(stored, p) == types::DateParse::Unparseable) return std::string(stored);
    switch (type.id) {
    case TypeId::DateTime: return types::datetimeText(p);
    case TypeId::SmallDateTime: return types::smallDatetimeText(p);
    case TypeId::Date: return types::dateText(p);
    case TypeId::Time: return types::timeText(p, type.scale);
    default: return types::datetime2Text(p, type.scale);
    }
}

}  // namespace

std::string formatValue(const ValueView& v, const SqlType& type, const char* nullText) {
    if (v.isNull()) return nullText ? nullText : "";
    switch (type.id) {
    case TypeId::Bit:
        if (v.kind == ValueKind::Integer) return v.integer ? "1" : "0";
        if (v.kind == ValueKind::Real) return v.real != 0.0 ? "1" : "0";
        break;
    case TypeId::Numeric:
        if (v.kind == ValueKind::Integer) {
            std::string s = std::to_string(v.integer);
            if (type.scale > 0) s += "." + std::string(static_cast<std::size_t>(type.scale), '0');
            return s;
        }
        if (v.kind == ValueKind::Real) return fixedText(v.real, type.scale);
        break;
    case TypeId::Money:
    case TypeId::SmallMoney:
        if (v.kind == ValueKind::Integer) return std::to_string(v.integer) + ".0000";
        if (v.kind == ValueKind::Real) return fixedText(v.real, 4);
        break;
    case TypeId::Float:
    case TypeId::Real:
        if (v.kind == ValueKind::Integer) return std::to_string(v.integer);
        if (v.kind == ValueKind::Real) return shortestText(v.real, type.id == TypeId::Real);
        break;
    case TypeId::TinyInt: case TypeId::SmallInt: case TypeId::Int: case TypeId::BigInt:
        if (v.kind == ValueKind::Real) return std::to_string(static_cast<std::int64_t>(v.real));
        break;
    case TypeId::DateTime: case TypeId::SmallDateTime: case TypeId::Date: case TypeId::Time:
    case TypeId::DateTime2:
        if (v.kind == ValueKind::Text) return dateTimeText(v.bytes, type);
        break;
    case TypeId::Binary: case TypeId::VarBinary:
        return hexText(v.bytes);
    default:
        break;
    }
    switch (v.kind) {
    case ValueKind::Integer: return std::to_string(v.integer);
    case ValueKind::Real: return shortestText(v.real, false);
    case ValueKind::Text: return std::string(v.bytes);
    case ValueKind::Blob: return hexText(v.bytes);
    case ValueKind::Null: break;
    }
    return nullText ? nullText : "";
}

}  // namespace quillmere::engine

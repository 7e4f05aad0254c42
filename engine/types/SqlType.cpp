// SqlType: parsing and naming of declared SQL Server types.
#include "engine/SqlType.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace quillmere::engine {

namespace {

struct TypeName {
    const char* name;
    TypeId id;
};

constexpr TypeName kNames[] = {
    {"bit", TypeId::Bit},
    {"tinyint", TypeId::TinyInt},
    {"smallint", TypeId::SmallInt},
    {"int", TypeId::Int},
    {"integer", TypeId::Int},
    {"bigint", TypeId::BigInt},
    {"numeric", TypeId::Numeric},
    {"decimal", TypeId::Numeric},
    {"dec", TypeId::Numeric},
    {"money", TypeId::Money},
    {"smallmoney", TypeId::SmallMoney},
    {"float", TypeId::Float},
    {"real", TypeId::Real},
    {"char", TypeId::Char},
    {"character", TypeId::Char},
    {"varchar", TypeId::VarChar},
    {"nchar", TypeId::NChar},
    {"nvarchar", TypeId::NVarChar},
    {"text", TypeId::Text},
    {"ntext", TypeId::NText},
    {"datetime", TypeId::DateTime},
    {"smalldatetime", TypeId::SmallDateTime},
    {"date", TypeId::Date},
    {"time", TypeId::Time},
    {"datetime2", TypeId::DateTime2},
    {"binary", TypeId::Binary},
    {"varbinary", TypeId::VarBinary},
    {"uniqueidentifier", TypeId::UniqueIdentifier},
    {"sysname", TypeId::NVarChar},
};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool parseInt(std::string_view s, int& out) {
    s = trim(s);
    if (s.empty()) return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

std::string SqlType::name() const {
    switch (id) {
    case TypeId::Unknown: return "sql_variant";
    case TypeId::Bit: return "bit";
    case TypeId::TinyInt: return "tinyint";
    case TypeId::SmallInt: return "smallint";
    case TypeId::Int: return "int";
    case TypeId::BigInt: return "bigint";
    case TypeId::Numeric:
        return "numeric(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    case TypeId::Money: return "money";
    case TypeId::SmallMoney: return "smallmoney";
    case TypeId::Float: return "float";
    case TypeId::Real: return "real";
    case TypeId::Text: return "text";
    case TypeId::NText: return "ntext";
    case TypeId::DateTime: return "datetime";
    case TypeId::SmallDateTime: return "smalldatetime";
    case TypeId::Date: return "date";
    case TypeId::Time: return "time(" + std::to_string(scale) + ")";
    case TypeId::DateTime2: return "datetime2(" + std::to_string(scale) + ")";
    case TypeId::UniqueIdentifier: return "uniqueidentifier";
    case TypeId::Char:
    case TypeId::VarChar:
    case TypeId::NChar:
    case TypeId::NVarChar:
    case TypeId::Binary:
    case TypeId::VarBinary: {
        const char* base = id == TypeId::Char       ? "char"
                           : id == TypeId::VarChar  ? "varchar"
                           : id == TypeId::NChar    ? "nchar"
                           : id == TypeId::NVarChar ? "nvarchar"
                           : id == TypeId::Binary   ? "binary"
                                                    : "varbinary";
        return std::string(base) + "(" + (length < 0 ? std::string("max") : std::to_string(length)) + ")";
    }
    }
    return "sql_variant";
}

bool SqlType::isCharacter() const {
    switch (id) {
    case TypeId::Char: case TypeId::VarChar: case TypeId::NChar: case TypeId::NVarChar:
    case TypeId::Text: case TypeId::NText:
        return true;
    default:
        return false;
    }
}

bool SqlType::isUnicode() const {
    return id == TypeId::NChar || id == TypeId::NVarChar || id == TypeId::NText;
}

bool SqlType::isInteger() const {
    switch (id) {
    case TypeId::Bit: case TypeId::TinyInt: case TypeId::SmallInt: case TypeId::Int: case TypeId::BigInt:
        return true;
    default:
        return false;
    }
}

bool SqlType::isNumber() const {
    return isInteger() || id == TypeId::Numeric || id == TypeId::Money || id == TypeId::SmallMoney ||
           id == TypeId::Float || id == TypeId::Real;
}

bool SqlType::isDateTime() const {
    switch (id) {
    case TypeId::DateTime: case TypeId::SmallDateTime: case TypeId::Date: case TypeId::Time:
    case TypeId::DateTime2:
        return true;
    default:
        return false;
    }
}

std::optional<SqlType> SqlType::parse(std::string_view text) {
    text = trim(text);
    // Drop a schema prefix such as "dbo." or "sys." and brackets around the name.
    std::string base;
    std::string_view args;
    std::size_t open = text.find('(');
    std::string_view head = trim(open == std::string_view::npos ? text : text.substr(0, open));
    if (open != std::string_view::npos) {
        std::size_t close = text.rfind(')');
        if (close == std::string_view::npos || close < open || !trim(text.substr(close + 1)).empty())
            return std::nullopt;
        args = text.substr(open + 1, close - open - 1);
    }
    if (auto dot = head.rfind('.'); dot != std::string_view::npos) head = head.substr(dot + 1);
    if (head.size() >= 2 && head.front() == '[' && head.back() == ']') head = head.substr(1, head.size() - 2);
    base = lower(trim(head));
    // Multi-word spellings.
    std::string collapsed;
    for (char c : base) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (!collapsed.empty() && collapsed.back() != ' ') collapsed += ' ';
        } else {
            collapsed += c;
        }
    }
    if (collapsed == "character varying" || collapsed == "char varying") collapsed = "varchar";
    else if (collapsed == "national character" || collapsed == "national char") collapsed = "nchar";
    else if (collapsed == "national character varying" || collapsed == "national char varying") collapsed = "nvarchar";
    else if (collapsed == "double precision") collapsed = "float";
    else if (collapsed == "binary varying") collapsed = "varbinary";

    const TypeName* found = nullptr;
    for (const auto& n : kNames)
        if (collapsed == n.name) { found = &n; break; }
    if (!found) return std::nullopt;

    SqlType t;
    t.id = found->id;
    std::string_view a1, a2;
    bool hasArgs = open != std::string_view::npos;
    if (hasArgs) {
        std::size_t comma = args.find(',');
        a1 = trim(comma == std::string_view::npos ? args : args.substr(0, comma));
        if (comma != std::string_view::npos) {
            a2 = trim(args.substr(comma + 1));
            if (a2.empty() || a2.find(',') != std::string_view::npos) return std::nullopt;
        }
        if (a1.empty()) return std::nullopt;
    }

    switch (t.id) {
    case TypeId::Char: case TypeId::VarChar: case TypeId::NChar: case TypeId::NVarChar:
    case TypeId::Binary: case TypeId::VarBinary: {
        if (collapsed == "sysname") { t.length = 128; if (hasArgs) return std::nullopt; break; }
        t.length = 1;
        if (!hasArgs) break;
        if (!a2.empty()) return std::nullopt;
        bool isVar = t.id == TypeId::VarChar || t.id == TypeId::NVarChar || t.id == TypeId::VarBinary;
        if (lower(a1) == "max") {
            if (!isVar) return std::nullopt;
            t.length = -1;
            break;
        }
        int n = 0;
        if (!parseInt(a1, n)) return std::nullopt;
        int limit = (t.id == TypeId::NChar || t.id == TypeId::NVarChar) ? 4000 : 8000;
        if (n < 1 || n > limit) return std::nullopt;
        t.length = n;
        break;
    }
    case TypeId::Numeric: {
        t.precision = 18;
        t.scale = 0;
        if (!hasArgs) break;
        int p = 0, s = 0;
        if (!parseInt(a1, p) || p < 1 || p > 38) return std::nullopt;
        if (!a2.empty() && (!parseInt(a2, s) || s < 0 || s > p)) return std::nullopt;
        t.precision = p;
        t.scale = s;
        break;
    }
    case TypeId::Float: {
        if (!hasArgs) break;
        int n = 0;
        if (!a2.empty() || !parseInt(a1, n) || n < 1 || n > 53) return std::nullopt;
        if (n <= 24) t.id = TypeId::Real;
        break;
    }
    case TypeId::Time:
    case TypeId::DateTime2: {
        t.scale = 7;
        if (!hasArgs) break;
        int n = 0;
        if (!a2.empty() || !parseInt(a1, n) || n < 0 || n > 7) return std::nullopt;
        t.scale = n;
        break;
    }
    default:
        if (hasArgs) return std::nullopt;
        break;
    }
    return t;
}

}  // namespace quillmere::engine

// SQL Server data types as the engine declares them for columns, variables,
// parameters and result columns.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere::engine {

enum class TypeId {
    Unknown,   // no declared type (e.g. a NULL literal before inference)
    Bit,
    TinyInt,
    SmallInt,
    Int,
    BigInt,
    Numeric,   // numeric and decimal alike
    Money,
    SmallMoney,
    Float,
    Real,
    Char,
    VarChar,
    NChar,
    NVarChar,
    Text,
    NText,
    DateTime,
    SmallDateTime,
    Date,
    Time,
    DateTime2,
    Binary,
    VarBinary,
    UniqueIdentifier,
};

struct SqlType {
    TypeId id = TypeId::Unknown;
    int length = 0;     // char/binary kinds: characters or bytes as declared; -1 for (max)
    int precision = 0;  // numeric: 1..38
    int scale = 0;      // numeric: 0..precision; time/datetime2: fractional digits

    // The type as SQL Server writes it: "char(7)", "numeric(38,6)", "int", "varchar(max)".
    std::string name() const;

    bool isCharacter() const;  // char, varchar, nchar, nvarchar, text, ntext
    bool isUnicode() const;    // nchar, nvarchar, ntext
    bool isInteger() const;    // bit, tinyint, smallint, int, bigint
    bool isNumber() const;     // integers, numeric, money, float, real
    bool isDateTime() const;   // datetime, smalldatetime, date, time, datetime2

    // Parses a declared type such as "char", "char(7)", "NUMERIC(18, 0)", "decimal",
    // "varchar(max)", "nvarchar". Applies SQL Server's defaults (char -> length 1,
    // numeric -> (18,0)). Returns nullopt for an unknown type name.
    static std::optional<SqlType> parse(std::string_view text);

    // The same for the target of CAST/CONVERT, where char, varchar, nchar, nvarchar,
    // binary and varbinary without a length mean length 30 rather than 1.
    static std::optional<SqlType> parseCastTarget(std::string_view text);

    friend bool operator==(const SqlType&, const SqlType&) = default;
};

}  // namespace quillmere::engine

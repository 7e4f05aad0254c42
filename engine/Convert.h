// SQL Server's conversion rules between the engine's values, as used for
// assignment (INSERT/UPDATE of a column, SET of a variable, procedure
// arguments), CAST/CONVERT and implicit conversion in expressions.
#pragma once

#include "engine/Message.h"
#include "engine/SqlType.h"
#include "engine/Value.h"

#include <optional>
#include <string_view>
#include <variant>

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace quillmere::engine {

enum class ConversionContext {
    Column,    // INSERT/UPDATE: a too-long string is error 8152 (trailing blanks excepted)
    Variable,  // SET/SELECT @v, DECLARE ... =, procedure arguments: silently cut
    Cast,      // CAST/CONVERT: silently cut
    Implicit,  // operand of an operator or comparison, after type precedence
    Argument,  // EXEC argument into a parameter: cut like Variable, but a text that is
               // not a number gives 8114 ("从数据类型 varchar 转换为 int 时出错。") instead of 245
};

// Converts v (of type from; Unknown means "infer from the value's kind") into
// type to. Returns the converted value in the storage convention of Value.h, or
// the error message SQL Server gives (245, 241, 242, 8114, 8115, 8152, 248 ...)
// with its Chinese text. line and procedure of the message are left for the caller.
std::variant<Value, Message> convertValue(const Value& v, const SqlType& from, const SqlType& to,
                                          ConversionContext context);

// The type a value has when it carries no declared type: integer -> int (bigint when
// it does not fit), real -> float, text -> varchar(len) / nvarchar for N'' literals, blob -> varbinary.
SqlType typeOfLiteral(const Value& v, bool unicode = false);

// The type SQL Server gives a number written in a statement: "12" -> int,
// "3000000000" -> numeric(10,0), "75.5" -> numeric(3,1), "0.05" -> numeric(2,2),
// "1e3" -> float. nullopt when the text is not a number literal.
std::optional<SqlType> typeOfNumberLiteral(std::string_view text);

// Result type of a binary arithmetic operator or comparison by SQL Server's data type
// precedence (string + string concatenates; int + string converts the string to int;
// numeric result precision and scale as SQL Server computes them).
SqlType resultTypeOf(char op, const SqlType& left, const SqlType& right);

// Result type of an aggregate over an argument type: AVG(numeric(18,0)) -> numeric(38,6),
// AVG(int) -> int, SUM(numeric(p,s)) -> numeric(38,s), COUNT -> int.
SqlType aggregateType(std::string_view function, const SqlType& argument);

// Length of a string in the bytes of code page 936 (two for every character above U+007F).
int lengthInCodePageBytes(std::string_view utf8);

// Compares two strings under Chinese_PRC_CI_AS: letter case and trailing blanks are
// ignored, full-width ASCII compares equal to ASCII. Returns <0, 0, >0.
int compareText(std::string_view a, std::string_view b);

// Registers on a SQLite connection:
//   - the collation "TSQL_CI" (compareText), which the engine puts on every text column
//     and text expression it creates, so =, <, ORDER BY, GROUP BY, DISTINCT and keys
//     behave as on the server;
//   - the scalar and aggregate functions the translator emits for conversions and
//     SQL Server built-ins (their names start with "tsql_"; engine/types/SqliteFunctions.h
//     lists them with their arguments and the way they report errors).
void registerSqliteExtensions(sqlite3* db);

}  // namespace quillmere::engine

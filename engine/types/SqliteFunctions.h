// SQL functions and the collation that registerSqliteExtensions() (engine/Convert.h)
// installs on a SQLite connection, for the SQL the translator generates.
//
// Values follow the storage convention of engine/Value.h. Type names are given as
// text in SQL Server's spelling ("int", "char(7)", "numeric(18,0)", "datetime");
// they are parsed once per statement (constant arguments are cached).
//
// Errors: a function that fails the way SQL Server fails raises a SQLite error whose
// message is "tsql:<number>:<Chinese text>", e.g.
//     tsql:245:在将 varchar 值 'abc' 转换成数据类型 int 时失败。
// decodeSqliteError() turns sqlite3_errmsg() of such an error back into the Message
// (severity and state from the catalogue); other texts give nullopt.
//
// Collation
//   TSQL_CI                 Chinese_PRC_CI_AS: case-insensitive, trailing blanks ignored,
//                           full-width ASCII equal to ASCII, accents significant;
//                           Chinese characters in GBK (pinyin) order.
//
// Conversions
//   tsql_convert(v, 'to' [, context [, 'from']])
//                           convertValue(v, from, to, context). context: 0 Column (8152 on
//                           too-long strings), 1 Variable, 2 Cast (default), 3 Implicit,
//                           4 Argument (see ConversionContext). 'from' is the declared type
//                           of v when known (e.g. "datetime" so that a datetime converted
//                           to varchar gets style 0); omitted, the value's kind decides.
//   tsql_convert_style(v, 'to', style [, 'from'])
//                           CONVERT(to, v, style): dates and datetimes written in the style
//                           (23, 101, 102, 108, 111, 112, 120, 121, 126, 0/100 ...), then cut
//                           to the target length; for other values the style is ignored.
//   tsql_int(v, 'type')     checks an integer result of + - * against the range of the
//                           type ("int", "smallint", "tinyint", "bigint"): 8115 when outside;
//                           a REAL (SQLite's overflow) also gives 8115.
//
// Operators
//   tsql_concat(a, b)       string + string; NULL when either is NULL (CONCAT_NULL_YIELDS_NULL).
//   tsql_div(a, b)          a / b: integer division truncating toward zero when both are
//                           INTEGER, else real division; b = 0 gives 8134; NULL propagates.
//   tsql_mod(a, b)          a % b with the same rules.
//   tsql_like(v, pattern [, escape [, unicode]])
//                           LIKE under TSQL_CI: % _ [set] [^set] [a-z]; trailing blanks of v
//                           ignored unless unicode is 1 (nchar/nvarchar operands); those of
//                           the pattern count. 1/0, NULL when v or pattern is NULL.
//
// Aggregates
//   tsql_avg_numeric(v, scale)
//                           exact average of numeric values, truncated to scale digits
//                           (AVG(numeric(p,s)) uses scale max(s,6); AVG(money) scale 4);
//                           REAL, or INTEGER when scale is 0; NULL over no rows.
//   tsql_avg_int(v)         AVG over integer types: sum / count truncated toward zero (INTEGER).
//   tsql_sum_int(v, 'type') SUM over integers with the result type's range ("int" or
//                           "bigint"): 8115 on overflow.
//
// Built-ins (arguments as in T-SQL; NULL in gives NULL out unless said otherwise)
//   tsql_len(s)             characters, trailing blanks not counted.
//   tsql_datalength(v [, unicode])
//                           bytes: code page 936 for text (2 per UTF-16 unit when unicode
//                           is 1), blob size, 4 for INTEGER, 8 for REAL.
//   tsql_upper(s), tsql_lower(s), tsql_ltrim(s), tsql_rtrim(s), tsql_trim(s), tsql_reverse(s)
//   tsql_substring(s, start, length)   characters; start below 1 shortens the result as on
//                           the server; a negative length gives 537.
//   tsql_left(s, n), tsql_right(s, n)  characters; a negative n gives 537.
//   tsql_replace(s, find, with)        every match under TSQL_CI.
//   tsql_charindex(find, s [, start])  1-based position under TSQL_CI, 0 when absent.
//   tsql_space(n), tsql_replicate(s, n)
//   tsql_concat_n(a, ...)   CONCAT(): NULL counts as ''.
//   tsql_isnull(a, b)       a unless it is NULL, else b.
//   tsql_getdate()          now, local time, as datetime 'yyyy-mm-dd hh:mi:ss.mmm'.
//   tsql_year(d), tsql_month(d), tsql_day(d)
//                           d is a date/time text (or a number of days since 1900-01-01);
//                           a text that is no date gives 241.
//   tsql_datepart(part, d)  part as T-SQL spells it: year/yy/yyyy, quarter/qq/q, month/mm/m,
//                           dayofyear/dy/y, day/dd/d, week/wk/ww, weekday/dw, hour/hh,
//                           minute/mi/n, second/ss/s, millisecond/ms.
//   tsql_datediff(part, a, b)          boundaries of part crossed from a to b.
//   tsql_dateadd(part, n, d)           datetime text; month/year steps keep the day within
//                           the month's length.
//   tsql_abs(x), tsql_sign(x), tsql_floor(x), tsql_ceiling(x), tsql_sqrt(x), tsql_power(x, y)
//   tsql_round(x, n [, truncate])      half away from zero; truncates when the third
//                           argument is non-zero; INTEGER stays INTEGER.
#pragma once

#include "engine/Message.h"

#include <optional>
#include <string>
#include <string_view>

struct sqlite3_context;

namespace quillmere::engine {

// "tsql:<number>:<text>" for m.
std::string encodeSqliteError(const Message& m);

// The Message carried by an error text of the form above; nullopt for other texts.
std::optional<Message> decodeSqliteError(std::string_view sqliteMessage);

// Raises m as the error of a SQLite function call.
void raiseSqliteError(sqlite3_context* context, const Message& m);

}  // namespace quillmere::engine

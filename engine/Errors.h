// SQL Server's error catalogue with the texts of a Chinese (Simplified) server.
#pragma once

#include "engine/Message.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace quillmere::engine {

// Builds the message for an error number with its arguments substituted in the
// order of the template, e.g. makeError(208, {"studnet"}) ->
// {208, 16, 1, ..., "对象名 'studnet' 无效。"}. Severity and state as SQL Server gives them.
//
// Arguments are given in the order of SQL Server's English template, even where
// the Chinese sentence puts them in another order (2601, 547 ...). Missing
// arguments are left empty. Numbers the catalogue does not know give a message
// with severity 16 and a text naming the number.
//
// Arguments of each number (English order):
//   102 token               156 keyword              207 column       208 object
//   105 string              109/110/120/121/213 -    111 statement kind, e.g. "CREATE/ALTER PROCEDURE"
//   119 parameter position  134 variable             137 variable     141 -
//   147 -                   174 function, count      189 function, min, max
//   195 function name       201 procedure, parameter 209 column       217 -
//   241 -                   242 source type, target type
//   244 source type, value, target type              245 source type, value, target type
//   248 source type, value, target type              286 -            512 -
//   515 column, table (db.dbo.t), statement ("INSERT"/"UPDATE")
//   547 statement, constraint kind, constraint, database, table (dbo.t), column suffix
//       (", column 'sno'" or empty); statement "DELETE" with kind "REFERENCE" for a referenced parent
//   550 -   1205 process id   1222 -   1801 database   911 database
//   2601 object, index, key value ("(1)")   2627 kind ("PRIMARY KEY"), constraint, object, key value
//   2705 table, column   2714 object   2812 procedure   3609 -   3621 -
//   3701 object kind ("表"/"视图"/"过程"/"触发器"/"数据库"), object   3726 object, referencing constraint
//   3902/3903 -   4060 database   4104 identifier   4403/4405/4406 view
//   402 type, type, operator   8114 source type, target type   8115 source ("expression"), target type
//   8116 type, function, position   8120 column   8134 -   8144 procedure   8145 parameter, procedure
//   8152 -   8153 -   8169 -   206 source type, target type   50000 free text (internal error)
Message makeError(int number, std::initializer_list<std::string_view> arguments = {});

// "语句已终止。" (3621), which follows 8152, 2627, 515, 547 and the like.
Message statementTerminated();

// How far an error reaches, as on the server: most errors end their statement and
// the batch goes on; conversion errors such as 245 abort the rest of the batch.
enum class ErrorScope { Statement, Batch };
ErrorScope errorScope(int number);

// A failure inside the engine that has no SQL Server number: 50000, severity 16,
// "内部错误：<detail>".
Message internalError(std::string_view detail);

}  // namespace quillmere::engine

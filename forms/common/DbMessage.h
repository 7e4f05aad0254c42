// How a statement the server refused is reported: a message box with the
// server's error number and text. The program goes on.
#pragma once

#include "db/DbError.h"

#include <QString>

namespace quillmere::forms {

QString dbErrorText(const db::DbError& e);
void showDbError(const db::DbError& e);

}  // namespace quillmere::forms

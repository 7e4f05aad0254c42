// The program's module: the one database connection and the digit-key filter
// every numeric text box uses.
#pragma once

#include "db/Connection.h"

namespace quillmere::Module1 {

// The one connection of the program. Opened by the server login; never closed
// or replaced afterwards.
extern db::Connection cnn;

// True for the character codes of "0".."9" and backspace (8), false for every
// other code (letters, minus, point, Enter, full-width digits ...).
bool IsDigitKey(int KeyAscii);

}  // namespace quillmere::Module1

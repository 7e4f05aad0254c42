// Errors of the language core that the shared catalogue (engine/Errors.h) may
// not word: qmError() takes the catalogue's text when it has one, else the
// Chinese text below.
#pragma once

#include "engine/Errors.h"

#include <initializer_list>
#include <string_view>

namespace quillmere::engine {

Message qmError(int number, std::initializer_list<std::string_view> arguments = {});

}  // namespace quillmere::engine

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
Message makeError(int number, std::initializer_list<std::string_view> arguments = {});

// "语句已终止。" (3621), which follows 8152, 2627, 515, 547 and the like.
Message statementTerminated();

}  // namespace quillmere::engine

// Values and SQL Server types of the literals a batch's lexer lifted out.
#pragma once

#include "engine/SqlType.h"
#include "engine/Value.h"
#include "engine/lex/Lexer.h"

#include <vector>

namespace quillmere::engine::parse {

struct Literals {
    std::vector<Value> values;
    std::vector<SqlType> types;
};

void decodeLiterals(std::string_view src, const lex::LexResult& lexed, Literals& out);

}  // namespace quillmere::engine::parse

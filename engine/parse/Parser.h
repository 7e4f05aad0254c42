// Hand-written recursive-descent parser for T-SQL batches.
#pragma once

#include "engine/Message.h"
#include "engine/parse/Ast.h"

#include <string_view>

namespace quillmere::engine::parse {

// Nesting deeper than this (expressions, subqueries, blocks) is refused with error 191.
constexpr int kMaxDepth = 200;
// Operators chained in one expression (a OR b OR c ...) each add a level to the tree.
constexpr int kMaxChain = 3000;

// Parses a whole batch. On a syntax error returns false and fills error with
// SQL Server's message (102, 156, 105, 113, 191 ...); nothing of the batch runs then.
bool parseBatch(std::string_view src, const lex::LexResult& lexed, ast::Batch& out, Message& error);

// Parses a standalone expression (a column default kept as text in the catalog).
ast::ExprPtr parseExpression(std::string_view src, Message& error);

}  // namespace quillmere::engine::parse

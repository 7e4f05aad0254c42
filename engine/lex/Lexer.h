// Tokenizer for T-SQL batches. Tokens are spans into the batch text (nothing is
// copied); string literals are decoded on demand with stringValue().
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::engine::lex {

enum class Tok : std::uint8_t {
    End,
    Ident,        // plain identifier or keyword
    QuotedIdent,  // [name] or "name"
    Variable,     // @name
    GlobalVar,    // @@name
    String,       // 'text'
    NString,      // N'text'
    Integer,      // 123
    Decimal,      // 1.5, .5
    Float,        // 1e5
    Binary,       // 0x1F
    Op,           // punctuation and operators: ( ) , . ; = <> != >= <= !< !> + - * / % & | ^ ~
    Error,        // unterminated string / comment, stray byte
};

struct Token {
    Tok kind = Tok::End;
    std::uint32_t begin = 0;  // offset in the batch
    std::uint32_t length = 0;
    std::uint32_t line = 1;
    std::string_view text(std::string_view src) const { return src.substr(begin, length); }
};

struct LexResult {
    std::vector<Token> tokens;  // always ends with an End token (or an Error token)
    // The batch with every literal replaced by a class marker: equal shapes share a plan.
    std::string shape;
    std::vector<int> literalTokens;  // indices into tokens of the lifted literals, in order
};

// Tokenizes a batch. Never fails: problems become an Error token followed by End.
void tokenize(std::string_view src, LexResult& out);

// The value of a String/NString token with doubled quotes undone.
std::string stringValue(std::string_view src, const Token& t);
// The name of an Ident/QuotedIdent/Variable token: brackets and quotes removed.
std::string identName(std::string_view src, const Token& t);

// Case-insensitive comparison of ASCII words.
bool iequals(std::string_view a, std::string_view b);
std::string lower(std::string_view s);

// Reserved words that cannot stand as plain identifiers.
bool isReserved(std::string_view word);

}  // namespace quillmere::engine::lex

#include "engine/parse/Literals.h"

#include "engine/Convert.h"

#include <charconv>
#include <cstdlib>

namespace quillmere::engine::parse {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

}  // namespace

void decodeLiterals(std::string_view src, const lex::LexResult& lexed, Literals& out) {
    out.values.resize(lexed.literalTokens.size());
    out.types.resize(lexed.literalTokens.size());
    for (std::size_t i = 0; i < lexed.literalTokens.size(); ++i) {
        const lex::Token& t = lexed.tokens[lexed.literalTokens[i]];
        std::string_view text = t.text(src);
        Value& v = out.values[i];
        SqlType& ty = out.types[i];
        switch (t.kind) {
        case lex::Tok::String:
        case lex::Tok::NString:
            v = Value::fromText(lex::stringValue(src, t));
            ty = typeOfLiteral(v, t.kind == lex::Tok::NString);
            break;
        case lex::Tok::Integer: {
            std::int64_t n = 0;
            auto r = std::from_chars(text.data(), text.data() + text.size(), n);
            if (r.ec == std::errc() && text.size() <= 18) {
                v = Value::fromInteger(n);
                ty = typeOfLiteral(v);
                if (n > 2147483647) {  // SQL Server types such literals numeric(p,0)
                    ty = SqlType{TypeId::Numeric, 0, static_cast<int>(text.size()), 0};
                }
            } else {
                v = Value::fromReal(std::strtod(std::string(text).c_str(), nullptr));
                ty = SqlType{TypeId::Numeric, 0, std::min<int>(38, static_cast<int>(text.size())), 0};
                if (r.ec == std::errc() && text.size() <= 18) v = Value::fromInteger(n);
            }
            break;
        }
        case lex::Tok::Decimal: {
            v = Value::fromReal(std::strtod(std::string(text).c_str(), nullptr));
            auto dot = text.find('.');
            int scale = static_cast<int>(text.size() - dot - 1);
            int intDigits = 0;
            for (std::size_t k = 0; k < dot; ++k)
                if (text[k] != '0' || intDigits > 0) ++intDigits;
            int precision = std::max(1, intDigits + scale);
            if (precision < scale) precision = scale;
            ty = SqlType{TypeId::Numeric, 0, std::min(38, precision), std::min(38, scale)};
            break;
        }
        case lex::Tok::Float:
            v = Value::fromReal(std::strtod(std::string(text).c_str(), nullptr));
            ty = SqlType{TypeId::Float, 0, 53, 0};
            break;
        case lex::Tok::Binary: {
            std::string bytes;
            std::string_view hex = text.substr(2);
            std::size_t k = 0;
            if (hex.size() % 2 == 1) {
                bytes.push_back(static_cast<char>(hexDigit(hex[0])));
                k = 1;
            }
            for (; k + 1 < hex.size() + 1 && k < hex.size(); k += 2)
                bytes.push_back(static_cast<char>(hexDigit(hex[k]) * 16 + hexDigit(hex[k + 1])));
            v = Value::fromBlob(std::move(bytes));
            ty = SqlType{TypeId::VarBinary, static_cast<int>(v.bytes.size() ? v.bytes.size() : 1), 0, 0};
            break;
        }
        default:
            v = Value::null();
            break;
        }
    }
}

}  // namespace quillmere::engine::parse

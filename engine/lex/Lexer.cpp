#include "engine/lex/Lexer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <unordered_set>

namespace quillmere::engine::lex {

namespace {

inline bool isIdentStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '#' || c >= 0x80;
}
inline bool isIdentChar(unsigned char c) {
    return isIdentStart(c) || (c >= '0' && c <= '9') || c == '@' || c == '$';
}
inline bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return false;
    }
    return true;
}

std::string lower(std::string_view s) {
    std::string r(s);
    for (auto& c : r)
        if (c >= 'A' && c <= 'Z') c += 32;
    return r;
}

bool isReserved(std::string_view word) {
    static const std::unordered_set<std::string> words = {
        "add", "all", "alter", "deallocate", "and", "any", "as", "asc", "begin", "between", "by", "cascade", "case",
        "check", "close", "column", "commit", "constraint", "create", "cross", "current", "cursor",
        "database", "declare", "default", "delete", "desc", "distinct", "drop", "else", "end", "escape",
        "except", "exec", "execute", "exists", "fetch", "for", "foreign", "from", "full", "function",
        "goto", "grant", "group", "having", "identity", "if", "in", "index", "inner", "insert",
        "intersect", "into", "is", "join", "key", "left", "like", "not", "null", "of", "off", "on",
        "open", "option", "or", "order", "outer", "over", "percent", "primary", "print", "proc", "procedure",
        "raiserror", "references", "return", "right", "rollback", "save", "select", "set", "table",
        "then", "to", "top", "tran", "transaction", "trigger", "truncate", "union", "unique", "update",
        "use", "values", "view", "when", "where", "while", "with"};
    if (word.size() > 12) return false;
    return words.count(lower(word)) != 0;
}

void tokenize(std::string_view src, LexResult& out) {
    out.tokens.clear();
    out.shape.clear();
    out.literalTokens.clear();
    out.tokens.reserve(src.size() / 3 + 4);
    out.shape.reserve(src.size() + 8);
    const char* s = src.data();
    const std::size_t n = src.size();
    std::size_t i = 0;
    std::uint32_t line = 1;
    std::size_t shapeFrom = 0;  // start of text not yet copied into the shape

    auto push = [&](Tok k, std::size_t b, std::size_t e, std::uint32_t ln) {
        out.tokens.push_back(Token{k, static_cast<std::uint32_t>(b), static_cast<std::uint32_t>(e - b), ln});
    };
    auto lift = [&](std::size_t b, std::size_t e, char marker) {
        out.shape.append(s + shapeFrom, b - shapeFrom);
        out.shape.push_back('\x01');
        out.shape.push_back(marker);
        shapeFrom = e;
        out.literalTokens.push_back(static_cast<int>(out.tokens.size()) - 1);
    };

    if (n > 0xFFFFFFF0u) {  // offsets are 32-bit
        push(Tok::Error, 0, 0, 1);
        push(Tok::End, 0, 0, 1);
        return;
    }

    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '\n') { ++line; ++i; continue; }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') { ++i; continue; }
        const std::size_t b = i;
        const std::uint32_t ln = line;
        if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            while (i < n && s[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            int depth = 0;
            while (i < n) {
                if (s[i] == '/' && i + 1 < n && s[i + 1] == '*') { ++depth; i += 2; continue; }
                if (s[i] == '*' && i + 1 < n && s[i + 1] == '/') {
                    i += 2;
                    if (--depth == 0) break;
                    continue;
                }
                if (s[i] == '\n') ++line;
                ++i;
            }
            if (depth != 0) {
                push(Tok::Error, b, n, ln);
                push(Tok::End, n, n, line);
                out.shape.append(s + shapeFrom, n - shapeFrom);
                return;
            }
            continue;
        }
        if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'')) {
            const bool unicode = c != '\'';
            i += unicode ? 2 : 1;
            bool closed = false;
            while (i < n) {
                if (s[i] == '\'') {
                    if (i + 1 < n && s[i + 1] == '\'') { i += 2; continue; }
                    ++i;
                    closed = true;
                    break;
                }
                if (s[i] == '\n') ++line;
                ++i;
            }
            if (!closed) {
                push(Tok::Error, b, n, ln);
                push(Tok::End, n, n, line);
                out.shape.append(s + shapeFrom, n - shapeFrom);
                return;
            }
            push(unicode ? Tok::NString : Tok::String, b, i, ln);
            lift(b, i, unicode ? 'N' : 'S');
            continue;
        }
        if (isIdentStart(c)) {
            while (i < n && isIdentChar(static_cast<unsigned char>(s[i]))) ++i;
            push(Tok::Ident, b, i, ln);
            continue;
        }
        if (c == '[' || c == '"') {
            const char close = c == '[' ? ']' : '"';
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == close) {
                    if (i + 1 < n && s[i + 1] == close) { i += 2; continue; }
                    ++i;
                    closed = true;
                    break;
                }
                if (s[i] == '\n') ++line;
                ++i;
            }
            if (!closed) {
                push(Tok::Error, b, n, ln);
                push(Tok::End, n, n, line);
                out.shape.append(s + shapeFrom, n - shapeFrom);
                return;
            }
            push(Tok::QuotedIdent, b, i, ln);
            continue;
        }
        if (c == '@') {
            ++i;
            const bool global = i < n && s[i] == '@';
            if (global) ++i;
            while (i < n && isIdentChar(static_cast<unsigned char>(s[i]))) ++i;
            push(global ? Tok::GlobalVar : Tok::Variable, b, i, ln);
            continue;
        }
        if (c == '0' && i + 1 < n && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
            i += 2;
            while (i < n && std::isxdigit(static_cast<unsigned char>(s[i]))) ++i;
            push(Tok::Binary, b, i, ln);
            lift(b, i, 'B');
            continue;
        }
        if (isDigit(c) || (c == '.' && i + 1 < n && isDigit(static_cast<unsigned char>(s[i + 1])))) {
            Tok k = Tok::Integer;
            while (i < n && isDigit(static_cast<unsigned char>(s[i]))) ++i;
            if (i < n && s[i] == '.') {
                k = Tok::Decimal;
                ++i;
                while (i < n && isDigit(static_cast<unsigned char>(s[i]))) ++i;
            }
            if (i < n && (s[i] == 'e' || s[i] == 'E')) {
                std::size_t j = i + 1;
                if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
                if (j < n && isDigit(static_cast<unsigned char>(s[j]))) {
                    k = Tok::Float;
                    i = j;
                    while (i < n && isDigit(static_cast<unsigned char>(s[i]))) ++i;
                }
            }
            push(k, b, i, ln);
            // The marker keeps what decides the literal's type: integer size class,
            // decimal precision and scale.
            if (k == Tok::Integer) {
                std::size_t digits = i - b;
                lift(b, i, digits <= 9 ? 'I' : (digits <= 18 ? 'L' : 'D'));
                if (digits > 18) { out.shape.append(std::to_string(digits)); }
            } else if (k == Tok::Decimal) {
                auto dot = std::string_view(s + b, i - b).find('.');
                lift(b, i, 'D');
                out.shape.append(std::to_string(dot));
                out.shape.push_back(',');
                out.shape.append(std::to_string(i - b - dot - 1));
            } else {
                lift(b, i, 'F');
            }
            continue;
        }
        // operators
        auto two = [&](const char* op) { return i + 1 < n && s[i] == op[0] && s[i + 1] == op[1]; };
        if (two("<>") || two("!=") || two(">=") || two("<=") || two("!<") || two("!>") || two("+=") ||
            two("-=") || two("*=") || two("/=") || two("::")) {
            i += 2;
            push(Tok::Op, b, i, ln);
            continue;
        }
        if (std::strchr("(),.;=<>+-*/%&|^~!:", c) && c != 0) {
            ++i;
            push(Tok::Op, b, i, ln);
            continue;
        }
        // Anything else (control bytes, stray quotes ...) is an error token.
        ++i;
        push(Tok::Error, b, i, ln);
        push(Tok::End, n, n, line);
        out.shape.append(s + shapeFrom, n - shapeFrom);
        return;
    }
    push(Tok::End, n, n, line);
    out.shape.append(s + shapeFrom, n - shapeFrom);
}

std::string stringValue(std::string_view src, const Token& t) {
    std::string_view body = t.text(src);
    body.remove_prefix(t.kind == Tok::NString ? 2 : 1);
    if (!body.empty()) body.remove_suffix(1);
    std::string r;
    r.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
        r.push_back(body[i]);
        if (body[i] == '\'' && i + 1 < body.size() && body[i + 1] == '\'') ++i;
    }
    return r;
}

std::string identName(std::string_view src, const Token& t) {
    std::string_view v = t.text(src);
    if (t.kind == Tok::QuotedIdent && v.size() >= 2) {
        char close = v[0] == '[' ? ']' : '"';
        v = v.substr(1, v.size() - 2);
        std::string r;
        for (std::size_t i = 0; i < v.size(); ++i) {
            r.push_back(v[i]);
            if (v[i] == close && i + 1 < v.size() && v[i + 1] == close) ++i;
        }
        return r;
    }
    return std::string(v);
}

}  // namespace quillmere::engine::lex

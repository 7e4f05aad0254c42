// Text helpers for the Chinese_PRC_CI_AS rules: UTF-8 walking, code page 936
// lengths, collation keys, LIKE matching and cutting strings to a byte length.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmere::engine::types {

// Decodes one code point at s[i] and advances i; a malformed byte yields U+FFFD.
char32_t nextCodePoint(std::string_view s, std::size_t& i);
void appendUtf8(std::string& out, char32_t cp);

// Bytes the character takes in code page 936 (1 for ASCII, 2 otherwise).
inline int codePageBytes(char32_t cp) { return cp < 0x80 ? 1 : 2; }
// Characters counted as nchar units (UTF-16 code units).
int utf16Length(std::string_view utf8);

// The collation weight of a character: letter case folded, full-width ASCII
// folded to ASCII, Chinese characters in GBK (pinyin) order.
std::uint32_t collationKey(char32_t cp);

// Longest prefix of s that fits in limit units: code page 936 bytes, or UTF-16
// units when unicode is set. Never splits a character.
std::string_view fittingPrefix(std::string_view s, int limit, bool unicode);

// Strips blanks at the end (ASCII blank and the ideographic blank U+3000).
std::string_view trimTrailingBlanks(std::string_view s);
std::string_view trimBlanks(std::string_view s);

// SQL Server's LIKE under the collation: %, _, [set], [^set], [a-z], an optional
// escape character. Trailing blanks of value are ignored unless unicode is set;
// those of the pattern count.
bool likeMatch(std::string_view value, std::string_view pattern, char32_t escape, bool unicode);

// UPPER/LOWER for ASCII, Latin-1, Greek and Cyrillic letters and full-width ASCII letters.
std::string upperText(std::string_view s);
std::string lowerText(std::string_view s);

}  // namespace quillmere::engine::types

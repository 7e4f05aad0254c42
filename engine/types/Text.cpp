// Text rules of the Chinese_PRC_CI_AS collation.
#include "engine/types/Text.h"

#include "engine/Convert.h"

#include <array>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <vector>

namespace quillmere::engine::types {

char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) { ++i; return c; }
    int extra = c >= 0xF8 ? -1 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size()) { ++i; return 0xFFFD; }
    char32_t cp = c & (extra == 1 ? 0x1F : extra == 2 ? 0x0F : 0x07);
    for (int k = 1; k <= extra; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((cc & 0xC0) != 0x80) { ++i; return 0xFFFD; }
        cp = (cp << 6) | (cc & 0x3F);
    }
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

int utf16Length(std::string_view s) {
    int n = 0;
    for (std::size_t i = 0; i < s.size();) n += nextCodePoint(s, i) > 0xFFFF ? 2 : 1;
    return n;
}

namespace {

// GBK code of every BMP character that code page 936 has, built once with iconv.
const std::array<std::uint16_t, 0x10000>& gbkTable() {
    static const std::unique_ptr<std::array<std::uint16_t, 0x10000>> table = [] {
        auto t = std::make_unique<std::array<std::uint16_t, 0x10000>>();
        t->fill(0);
        iconv_t cd = iconv_open("GBK", "UTF-8");
        if (cd == reinterpret_cast<iconv_t>(-1)) return t;
        for (char32_t cp = 0x80; cp < 0x10000; ++cp) {
            if (cp >= 0xD800 && cp < 0xE000) continue;
            std::string in;
            appendUtf8(in, cp);
            char outBuf[8];
            char* inPtr = in.data();
            std::size_t inLeft = in.size();
            char* outPtr = outBuf;
            std::size_t outLeft = sizeof outBuf;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) &&
                sizeof outBuf - outLeft == 2) {
                (*t)[cp] = static_cast<std::uint16_t>((static_cast<unsigned char>(outBuf[0]) << 8) |
                                                      static_cast<unsigned char>(outBuf[1]));
            }
        }
        iconv_close(cd);
        return t;
    }();
    return *table;
}

char32_t foldCase(char32_t cp) {
    // ASCII letters fold to lower case, so that _ [ \ ] ^ ` sort before letters as on the server.
    if (cp >= 'A' && cp <= 'Z') return cp + 32;
    if (cp >= 0xFF21 && cp <= 0xFF3A) return cp - 0xFF21 + 'a';  // full-width A-Z
    if (cp >= 0xFF01 && cp <= 0xFF5E) return cp - 0xFEE0;        // other full-width ASCII
    if (cp == 0x3000) return ' ';
    if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;  // Latin-1
    if (cp >= 0x3B1 && cp <= 0x3C9 && cp != 0x3C2) return cp - 0x20;  // Greek
    if (cp >= 0x430 && cp <= 0x44F) return cp - 0x20;              // Cyrillic
    if (cp >= 0x450 && cp <= 0x45F) return cp - 0x50;
    return cp;
}

char32_t lowerCase(char32_t cp) {
    if (cp >= 'A' && cp <= 'Z') return cp + 32;
    if (cp >= 0xFF21 && cp <= 0xFF3A) return cp + 32;
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 0x20;
    if (cp >= 0x391 && cp <= 0x3A9) return cp + 0x20;
    if (cp >= 0x410 && cp <= 0x42F) return cp + 0x20;
    if (cp >= 0x400 && cp <= 0x40F) return cp + 0x50;
    return cp;
}

char32_t upperCase(char32_t cp) {
    if (cp >= 'a' && cp <= 'z') return cp - 32;
    if (cp >= 0xFF41 && cp <= 0xFF5A) return cp - 32;
    if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 0x20;
    if (cp >= 0x3B1 && cp <= 0x3C9 && cp != 0x3C2) return cp - 0x20;
    if (cp >= 0x430 && cp <= 0x44F) return cp - 0x20;
    if (cp >= 0x450 && cp <= 0x45F) return cp - 0x50;
    return cp;
}

}  // namespace

std::uint32_t collationKey(char32_t cp) {
    cp = foldCase(cp);
    if (cp < 0x80) {
        // Letters sort after digits and punctuation, as on the server.
        return cp;
    }
    if (cp < 0x10000) {
        if (std::uint16_t g = gbkTable()[cp]) return 0x10000u + g;
    }
    return 0x20000u + cp;
}

std::string_view trimTrailingBlanks(std::string_view s) {
    for (;;) {
        if (!s.empty() && s.back() == ' ') { s.remove_suffix(1); continue; }
        if (s.size() >= 3 && s.substr(s.size() - 3) == "\xE3\x80\x80") { s.remove_suffix(3); continue; }
        return s;
    }
}

std::string_view trimBlanks(std::string_view s) {
    s = trimTrailingBlanks(s);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return s;
}

std::string_view fittingPrefix(std::string_view s, int limit, bool unicode) {
    if (limit < 0) return s;
    int used = 0;
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t j = i;
        char32_t cp = nextCodePoint(s, j);
        int w = unicode ? (cp > 0xFFFF ? 2 : 1) : codePageBytes(cp);
        if (used + w > limit) break;
        used += w;
        i = j;
    }
    return s.substr(0, i);
}

namespace {

struct PatternItem {
    enum Kind { Literal, Any, One, Set } kind;
    PatternItem(Kind k, char32_t c = 0) : kind(k), cp(c) {}
    char32_t cp = 0;
    bool negate = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;
};

bool inSet(const PatternItem& item, char32_t c) {
    std::uint32_t k = collationKey(c);
    bool hit = false;
    for (auto [lo, hi] : item.ranges) {
        std::uint32_t kl = collationKey(lo), kh = collationKey(hi);
        if (k >= kl && k <= kh) { hit = true; break; }
    }
    return hit != item.negate;
}

bool matchOne(const PatternItem& item, char32_t c) {
    switch (item.kind) {
    case PatternItem::Literal: return collationKey(item.cp) == collationKey(c);
    case PatternItem::One: return true;
    case PatternItem::Set: return inSet(item, c);
    case PatternItem::Any: return false;
    }
    return false;
}

}  // namespace

bool likeMatch(std::string_view value, std::string_view pattern, char32_t escape, bool unicode) {
    if (!unicode) value = trimTrailingBlanks(value);
    std::vector<char32_t> v;
    for (std::size_t i = 0; i < value.size();) v.push_back(nextCodePoint(value, i));
    std::vector<char32_t> p;
    for (std::size_t i = 0; i < pattern.size();) p.push_back(nextCodePoint(pattern, i));

    std::vector<PatternItem> items;
    for (std::size_t i = 0; i < p.size(); ++i) {
        char32_t c = p[i];
        if (escape && c == escape && i + 1 < p.size()) {
            items.push_back({PatternItem::Literal, p[++i]});
        } else if (c == '%') {
            if (items.empty() || items.back().kind != PatternItem::Any) items.push_back({PatternItem::Any});
        } else if (c == '_') {
            items.push_back({PatternItem::One});
        } else if (c == '[') {
            std::size_t close = i + 1;
            if (close < p.size() && p[close] == '^') ++close;
            if (close < p.size() && p[close] == ']') ++close;  // a leading ] is a member
            while (close < p.size() && p[close] != ']') ++close;
            if (close >= p.size()) {  // no closing bracket: a literal [
                items.push_back({PatternItem::Literal, c});
                continue;
            }
            PatternItem set{PatternItem::Set};
            std::size_t k = i + 1;
            if (p[k] == '^') { set.negate = true; ++k; }
            for (; k < close; ++k) {
                if (k + 2 < close && p[k + 1] == '-') {
                    set.ranges.push_back({p[k], p[k + 2]});
                    k += 2;
                } else {
                    set.ranges.push_back({p[k], p[k]});
                }
            }
            items.push_back(std::move(set));
            i = close;
        } else {
            items.push_back({PatternItem::Literal, c});
        }
    }

    // Greedy matching with backtracking to the last %.
    std::size_t vi = 0, pi = 0;
    std::size_t starP = std::string::npos, starV = 0;
    while (vi < v.size()) {
        if (pi < items.size() && items[pi].kind == PatternItem::Any) {
            starP = pi++;
            starV = vi;
        } else if (pi < items.size() && matchOne(items[pi], v[vi])) {
            ++pi;
            ++vi;
        } else if (starP != std::string::npos) {
            pi = starP + 1;
            vi = ++starV;
        } else {
            return false;
        }
    }
    while (pi < items.size() && items[pi].kind == PatternItem::Any) ++pi;
    return pi == items.size();
}

std::string upperText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) appendUtf8(out, upperCase(nextCodePoint(s, i)));
    return out;
}

std::string lowerText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) appendUtf8(out, lowerCase(nextCodePoint(s, i)));
    return out;
}

}  // namespace quillmere::engine::types

namespace quillmere::engine {

int lengthInCodePageBytes(std::string_view utf8) {
    int n = 0;
    for (std::size_t i = 0; i < utf8.size();) n += types::codePageBytes(types::nextCodePoint(utf8, i));
    return n;
}

int compareText(std::string_view a, std::string_view b) {
    a = types::trimTrailingBlanks(a);
    b = types::trimTrailingBlanks(b);
    // Identical bytes weigh the same: skip the common prefix, backing up to the start
    // of the character in which the first difference lies.
    std::size_t k = 0, n = std::min(a.size(), b.size());
    while (k < n && a[k] == b[k]) ++k;
    auto continuation = [](std::string_view s, std::size_t at) {
        return at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80;
    };
    while (k > 0 && (continuation(a, k) || continuation(b, k))) --k;
    std::size_t i = k, j = k;
    while (i < a.size() && j < b.size()) {
        unsigned char ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[j]);
        if (ca < 0x80 && cb < 0x80) {  // fast path for ASCII
            int fa = ca >= 'A' && ca <= 'Z' ? ca + 32 : ca;
            int fb = cb >= 'A' && cb <= 'Z' ? cb + 32 : cb;
            if (fa != fb) return fa < fb ? -1 : 1;
            ++i;
            ++j;
            continue;
        }
        std::uint32_t ka = types::collationKey(types::nextCodePoint(a, i));
        std::uint32_t kb = types::collationKey(types::nextCodePoint(b, j));
        if (ka != kb) return ka < kb ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

}  // namespace quillmere::engine

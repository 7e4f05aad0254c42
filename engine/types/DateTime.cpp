// Date and time parsing and rendering with SQL Server's rules.
#include "engine/types/DateTime.h"

#include <cctype>
#include <cstdio>
#include <vector>

namespace quillmere::engine::types {

namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kTicksPerDay = 86'400 * kTicksPerSecond;
const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                               "jul", "aug", "sep", "oct", "nov", "dec"};
const char* const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool isDigit(char c) { return c >= '0' && c <= '9'; }
char lowerc(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!isDigit(c)) return false;
    return true;
}

// Digits only, at most 9 of them.
bool number(std::string_view s, int& out) {
    if (!allDigits(s) || s.size() > 9) return false;
    out = 0;
    for (char c : s) out = out * 10 + (c - '0');
    return true;
}

int monthFromName(std::string_view s) {
    if (s.size() < 3) return 0;
    std::string l;
    for (char c : s) l += lowerc(c);
    static const char* const full[] = {"january", "february", "march", "april", "may", "june",
                                       "july", "august", "september", "october", "november", "december"};
    for (int i = 0; i < 12; ++i) {
        if (l == kMonths[i] || l == full[i]) return i + 1;
        if (i == 8 && l == "sept") return 9;
    }
    return 0;
}

int expandYear(std::string_view digits, int value) {
    if (digits.size() <= 2) return value < 50 ? 2000 + value : 1900 + value;
    return value;
}

std::vector<std::string_view> split(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == sep) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

// Reads "h:m[:s[.fffffff | :mmm]]" into out; false when malformed.
bool parseClock(std::string_view s, DateTimeParts& out) {
    auto parts = split(s, ':');
    if (parts.size() < 2 || parts.size() > 4) return false;
    int h = 0, m = 0, sec = 0, frac = 0;
    if (!number(parts[0], h) || parts[0].size() > 2) return false;
    if (!number(parts[1], m) || parts[1].size() > 2) return false;
    if (parts.size() >= 3) {
        std::string_view sp = parts[2];
        std::string_view fp;
        bool hasFraction = false;
        if (auto dot = sp.find('.'); dot != std::string_view::npos) {
            fp = sp.substr(dot + 1);
            sp = sp.substr(0, dot);
            hasFraction = true;
        }
        if (!number(sp, sec) || sp.size() > 2) return false;
        if (hasFraction) {
            if (parts.size() == 4) return false;
            if (!fp.empty() && !allDigits(fp)) return false;
            // First seven digits are 100 ns units; the eighth rounds.
            int digits = 0;
            for (char c : fp) {
                if (digits < 7) { frac = frac * 10 + (c - '0'); ++digits; }
                else if (digits == 7) { if (c >= '5') ++frac; ++digits; }
            }
            for (; digits < 7; ++digits) frac *= 10;
        }
    }
    if (parts.size() == 4) {
        int ms = 0;
        if (!number(parts[3], ms) || parts[3].size() > 3) return false;
        frac = ms * 10'000;
    }
    out.hour = h;
    out.minute = m;
    out.second = sec;
    out.fraction = frac;
    return true;
}

bool parseNumericDate(std::string_view s, DateTimeParts& out, bool& outOfRange) {
    int y = 0, m = 0, d = 0;
    if (allDigits(s)) {
        if (s.size() == 8) {
            number(s.substr(0, 4), y); number(s.substr(4, 2), m); number(s.substr(6, 2), d);
        } else if (s.size() == 6) {
            number(s.substr(0, 2), y); number(s.substr(2, 2), m); number(s.substr(4, 2), d);
            y = expandYear(s.substr(0, 2), y);
        } else if (s.size() == 4) {
            number(s, y); m = 1; d = 1;
        } else {
            return false;
        }
    } else {
        char sep = 0;
        for (char c : s)
            if (c == '-' || c == '/' || c == '.') { sep = c; break; }
        if (!sep) return false;
        auto parts = split(s, sep);
        if (parts.size() != 3) return false;
        for (auto p : parts)
            if (!allDigits(p) || p.size() > 4) return false;
        int a = 0, b = 0, c = 0;
        number(parts[0], a); number(parts[1], b); number(parts[2], c);
        if (parts[0].size() >= 3) {  // year first
            if (parts[0].size() != 4 || parts[1].size() > 2 || parts[2].size() > 2) return false;
            y = a; m = b; d = c;
        } else if (parts[2].size() >= 3) {  // month/day/year
            if (parts[2].size() != 4 || parts[1].size() > 2) return false;
            y = c; m = a; d = b;
        } else {  // yy-mm-dd under DATEFORMAT ymd
            y = expandYear(parts[0], a); m = b; d = c;
        }
    }
    out.year = y; out.month = m; out.day = d;
    if (!validDate(y, m, d)) outOfRange = true;
    return true;
}

}  // namespace

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
    return days[m - 1];
}

bool validDate(int y, int m, int d) {
    return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= daysInMonth(y, m);
}

std::int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t yy = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

DateParse parseDateTime(std::string_view text, DateTimeParts& out) {
    out = DateTimeParts{};
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    if (text.empty()) return DateParse::Ok;
    if (text.size() > 64) return DateParse::Unparseable;

    std::string s(text);
    // ISO 8601: a 'T' between a date with dashes and a clock.
    if (auto t = s.find_first_of("Tt"); t != std::string::npos && t >= 8 && t + 1 < s.size() &&
                                        isDigit(s[t - 1]) && isDigit(s[t + 1]))
        s[t] = ' ';
    // ODBC escapes {d '...'}, {ts '...'}, {t '...'}.
    if (s.size() > 4 && s.front() == '{' && s.back() == '}') {
        auto q1 = s.find('\''), q2 = s.rfind('\'');
        if (q1 == std::string::npos || q2 <= q1) return DateParse::Unparseable;
        s = s.substr(q1 + 1, q2 - q1 - 1);
    }
    // Tokens separated by blanks and commas.
    std::vector<std::string> tokens;
    std::string cur;
    for (char c : s) {
        if (c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\n') {
            if (!cur.empty()) tokens.push_back(cur), cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) tokens.push_back(cur);
    // Split an attached AM/PM: "8:05AM", "4pm".
    std::vector<std::string> split2;
    for (auto& t : tokens) {
        if (t.size() > 2) {
            std::string tail{lowerc(t[t.size() - 2]), lowerc(t.back())};
            if ((tail == "am" || tail == "pm") && isDigit(t[t.size() - 3])) {
                split2.push_back(t.substr(0, t.size() - 2));
                split2.push_back(tail);
                continue;
            }
        }
        split2.push_back(t);
    }
    tokens.swap(split2);

    bool haveDate = false, haveTime = false, outOfRange = false;
    int ampm = 0;  // 1 am, 2 pm
    int monthName = 0;
    std::vector<std::string> loose;  // numbers beside a month name
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string& t = tokens[i];
        std::string l;
        for (char c : t) l += lowerc(c);
        if (l == "am" || l == "pm") {
            if (ampm) return DateParse::Unparseable;
            ampm = l == "am" ? 1 : 2;
            continue;
        }
        if (t.find(':') != std::string::npos) {
            if (haveTime || !parseClock(t, out)) return DateParse::Unparseable;
            haveTime = true;
            continue;
        }
        if (int mn = monthFromName(t)) {
            if (monthName || haveDate) return DateParse::Unparseable;
            monthName = mn;
            continue;
        }
        // A bare hour before AM/PM: "4 PM".
        if (allDigits(t) && t.size() <= 2 && i + 1 < tokens.size() && !haveTime && !monthName) {
            std::string n;
            for (char c : tokens[i + 1]) n += lowerc(c);
            if (n == "am" || n == "pm") {
                number(t, out.hour);
                haveTime = true;
                continue;
            }
        }
        if (monthName || (allDigits(t) && t.size() <= 4 && i + 1 < tokens.size() && monthFromName(tokens[i + 1]))) {
            if (!allDigits(t) || t.size() > 4) return DateParse::Unparseable;
            loose.push_back(t);
            continue;
        }
        if (haveDate || haveTime) return DateParse::Unparseable;
        if (!parseNumericDate(t, out, outOfRange)) return DateParse::Unparseable;
        haveDate = true;
    }
    if (monthName) {
        if (haveDate || loose.size() != 2) return DateParse::Unparseable;
        int a = 0, b = 0;
        number(loose[0], a);
        number(loose[1], b);
        // "Oct 1 1986" and "1 Oct 1986": the four-digit number is the year.
        int day = a, year = b;
        std::string_view yd = loose[1];
        if (loose[0].size() >= 3) { year = a; day = b; yd = loose[0]; }
        out.year = expandYear(yd, year);
        out.month = monthName;
        out.day = day;
        if (!validDate(out.year, out.month, out.day)) outOfRange = true;
        haveDate = true;
    } else if (!loose.empty()) {
        return DateParse::Unparseable;
    }
    if (ampm) {
        if (!haveTime || out.hour > 12) return DateParse::Unparseable;
        if (ampm == 1 && out.hour == 12) out.hour = 0;
        else if (ampm == 2 && out.hour < 12) out.hour += 12;
    }
    if (!haveDate && !haveTime) return DateParse::Unparseable;
    out.hasDate = haveDate;
    if (!haveDate) { out.year = 1900; out.month = 1; out.day = 1; }
    if (out.hour > 23 || out.minute > 59 || out.second > 59) outOfRange = true;
    return outOfRange ? DateParse::OutOfRange : DateParse::Ok;
}

std::int64_t toTicks(const DateTimeParts& p) {
    std::int64_t days = daysFromCivil(p.year, p.month, p.day) - daysFromCivil(1900, 1, 1);
    return days * kTicksPerDay +
           (static_cast<std::int64_t>(p.hour) * 3600 + p.minute * 60 + p.second) * kTicksPerSecond + p.fraction;
}

DateTimeParts fromTicks(std::int64_t ticks) {
    std::int64_t days = ticks / kTicksPerDay;
    std::int64_t rest = ticks % kTicksPerDay;
    if (rest < 0) { rest += kTicksPerDay; --days; }
    DateTimeParts p;
    civilFromDays(days + daysFromCivil(1900, 1, 1), p.year, p.month, p.day);
    std::int64_t secs = rest / kTicksPerSecond;
    p.fraction = static_cast<int>(rest % kTicksPerSecond);
    p.hour = static_cast<int>(secs / 3600);
    p.minute = static_cast<int>(secs / 60 % 60);
    p.second = static_cast<int>(secs % 60);
    return p;
}

namespace {

// Rounds to 1/300 s; returns the parts and the milliseconds shown (0..997).
DateTimeParts roundToDatetime(const DateTimeParts& p, int& ms) {
    std::int64_t ticks = toTicks(p);
    std::int64_t frac = ((ticks % kTicksPerSecond) + kTicksPerSecond) % kTicksPerSecond;
    std::int64_t whole = ticks - frac;
    std::int64_t n300 = (frac * 300 + kTicksPerSecond / 2) / kTicksPerSecond;
    if (n300 == 300) { whole += kTicksPerSecond; n300 = 0; }
    ms = static_cast<int>((n300 * 10 + 1) / 3);
    DateTimeParts r = fromTicks(whole);
    r.fraction = ms * 10'000;
    return r;
}

std::string ymd(const DateTimeParts& p) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
    return buf;
}

std::string fractionDigits(int fraction, int scale) {
    if (scale <= 0) return "";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%07d", fraction);
    return "." + std::string(buf, static_cast<std::size_t>(scale));
}

DateTimeParts roundToScale(const DateTimeParts& p, int scale) {
    std::int64_t unit = 1;
    for (int i = scale; i < 7; ++i) unit *= 10;
    std::int64_t ticks = toTicks(p);
    std::int64_t rounded = (ticks + unit / 2) / unit * unit;
    return fromTicks(rounded);
}

}  // namespace

std::string datetimeText(const DateTimeParts& p) {
    int ms = 0;
    DateTimeParts r = roundToDatetime(p, ms);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s %02d:%02d:%02d.%03d", ymd(r).c_str(), r.hour, r.minute, r.second, ms);
    return buf;
}

std::string smallDatetimeText(const DateTimeParts& p) {
    int ms = 0;
    DateTimeParts r = roundToDatetime(p, ms);
    std::int64_t ticks = toTicks(r) - r.second * kTicksPerSecond - r.fraction;
    if (r.second >= 30) ticks += 60 * kTicksPerSecond;
    DateTimeParts m = fromTicks(ticks);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s %02d:%02d:00", ymd(m).c_str(), m.hour, m.minute);
    return buf;
}

std::string dateText(const DateTimeParts& p) { return ymd(p); }

std::string timeText(const DateTimeParts& p, int scale) {
    DateTimeParts r = roundToScale(p, scale);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", r.hour, r.minute, r.second);
    return buf + fractionDigits(r.fraction, scale);
}

std::string datetime2Text(const DateTimeParts& p, int scale) {
    DateTimeParts r = roundToScale(p, scale);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s %02d:%02d:%02d", ymd(r).c_str(), r.hour, r.minute, r.second);
    return buf + fractionDigits(r.fraction, scale);
}

std::string style0Text(const DateTimeParts& p) {
    int ms = 0;
    DateTimeParts r = roundToDatetime(p, ms);
    int h12 = r.hour % 12 == 0 ? 12 : r.hour % 12;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", kMonthNames[r.month - 1], r.day, r.year, h12, r.minute,
                  r.hour < 12 ? "AM" : "PM");
    return buf;
}

std::optional<std::string> styledText(const DateTimeParts& p, int style) {
    int ms = 0;
    DateTimeParts r = roundToDatetime(p, ms);
    char buf[64];
    int yy = r.year % 100;
    switch (style) {
    case 0: case 100: return style0Text(p);
    case 1: std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", r.month, r.day, yy); break;
    case 101: std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", r.month, r.day, r.year); break;
    case 2: std::snprintf(buf, sizeof buf, "%02d.%02d.%02d", yy, r.month, r.day); break;
    case 102: std::snprintf(buf, sizeof buf, "%04d.%02d.%02d", r.year, r.month, r.day); break;
    case 3: std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", r.day, r.month, yy); break;
    case 103: std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", r.day, r.month, r.year); break;
    case 4: std::snprintf(buf, sizeof buf, "%02d.%02d.%02d", r.day, r.month, yy); break;
    case 104: std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", r.day, r.month, r.year); break;
    case 5: std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", r.day, r.month, yy); break;
    case 105: std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", r.day, r.month, r.year); break;
    case 8: case 108: std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", r.hour, r.minute, r.second); break;
    case 10: std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", r.month, r.day, yy); break;
    case 110: std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", r.month, r.day, r.year); break;
    case 11: std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", yy, r.month, r.day); break;
    case 111: std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", r.year, r.month, r.day); break;
    case 12: std::snprintf(buf, sizeof buf, "%02d%02d%02d", yy, r.month, r.day); break;
    case 112: std::snprintf(buf, sizeof buf, "%04d%02d%02d", r.year, r.month, r.day); break;
    case 14: case 114: std::snprintf(buf, sizeof buf, "%02d:%02d:%02d:%03d", r.hour, r.minute, r.second, ms); break;
    case 20: case 120:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", r.year, r.month, r.day, r.hour, r.minute, r.second);
        break;
    case 21: case 25: case 121: return datetimeText(p);
    case 23: return ymd(r);
    case 126:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", r.year, r.month, r.day, r.hour, r.minute, r.second);
        if (ms) return std::string(buf) + "." + std::to_string(1000 + ms).substr(1);
        break;
    default: return std::nullopt;
    }
    return std::string(buf);
}

}  // namespace quillmere::engine::types

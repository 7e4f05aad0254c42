// Calendar arithmetic and the string forms of SQL Server's date and time types.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere::engine::types {

// A point in time with 100 ns precision (datetime2's resolution).
struct DateTimeParts {
    int year = 1900, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
    int fraction = 0;  // in units of 100 ns (0 .. 9,999,999)
    bool hasDate = true;
};

enum class DateParse { Ok, Unparseable, OutOfRange };

// Reads a date/time string the way a server with DATEFORMAT ymd does:
// '1986-10-1', '1986/10/01', '1986.10.1', '19861001', '1986-10-01T08:30:00.123',
// '08:30', '4 PM', 'Oct 1 1986 8:05AM', '10/01/1986'. Blanks around are ignored; ''
// gives 1900-01-01. OutOfRange means well-formed numbers naming an impossible date or time.
DateParse parseDateTime(std::string_view text, DateTimeParts& out);

std::int64_t daysFromCivil(int y, int m, int d);  // days since 1970-01-01
void civilFromDays(std::int64_t z, int& y, int& m, int& d);
bool validDate(int y, int m, int d);
int daysInMonth(int y, int m);

// Whole ticks of 100 ns since 1900-01-01 00:00:00, and back.
std::int64_t toTicks(const DateTimeParts& p);
DateTimeParts fromTicks(std::int64_t ticks);

// Rounds to datetime's 1/300 s and renders 'yyyy-mm-dd hh:mi:ss.mmm'.
std::string datetimeText(const DateTimeParts& p);
// Rounds to the minute (29.999 s up) and renders 'yyyy-mm-dd hh:mi:00'.
std::string smallDatetimeText(const DateTimeParts& p);
std::string dateText(const DateTimeParts& p);
std::string timeText(const DateTimeParts& p, int scale);
std::string datetime2Text(const DateTimeParts& p, int scale);
// CONVERT style 0 / 100: 'Oct  1 1986 12:00AM'.
std::string style0Text(const DateTimeParts& p);
// CONVERT(varchar, d, style) for the usual styles; nullopt for an unknown style.
std::optional<std::string> styledText(const DateTimeParts& p, int style);

}  // namespace quillmere::engine::types

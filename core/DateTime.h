#pragma once
// The one text form of a point in time: local time as "YYYY:MM:DD hh:mm:ss". Parsing is lenient
// about separators; the range is that of the C runtime's 64-bit time functions (1970-01-01
// 00:00:00 UTC to the end of the year 3000), checked here so that every platform agrees.
#include <array>
#include <optional>
#include <string>
#include <string_view>

// Year, month, day, hour, minute, second.
using DateTimeFields = std::array<int, 6>;

// Seconds since 1970-01-01 00:00:00 UTC of the last instant a date-time text may stand for,
// 3000-12-31 23:59:59 UTC.
inline constexpr long long kLastDateTimeValue = 32535215999LL;

// The six fields of a text of date-time shape, before any range check; nothing when the text does
// not have that shape. White space at either end is ignored; a space, '-' or '/' may stand for any
// colon, runs of separators count as one, and each field reads as a decimal integer prefix.
std::optional<DateTimeFields> SplitDateTime(std::wstring_view text);

// The checks on the fields of an input text: year at least 1900, month 1 to 12, day 1 to 31
// whatever the month, hour 0 to 23, minute and second 0 to 59.
bool DateTimeFieldsInRange(const DateTimeFields& fields);

// Whether the fields name a real calendar date and clock time: the checks above, and a day that
// its month has (29 February only in leap years).
bool DateTimeFieldsExist(const DateTimeFields& fields);

// A date-time text read for storing: its time value, or why it names no instant. Nothing is
// carried into another date: a day past its month's end, a field out of range, a local time that
// the clock skips (daylight saving) or an instant outside the range is refused.
struct DateTimeReading {
    std::optional<long long> value;
    std::wstring why; // in words, empty when there is a value
};
DateTimeReading ReadDateTimeText(std::wstring_view text);

// Local calendar fields to seconds since 1970 through the C library, which decides on daylight
// saving and carries a day past its month's end into the next month. Nothing when the instant is
// outside the range.
std::optional<long long> LocalFieldsToTime(const DateTimeFields& fields);

// Seconds since 1970 to local calendar fields; nothing outside the range.
std::optional<DateTimeFields> TimeToLocalFields(long long value);

// The date-time text of the fields: four-digit year, the others two digits, 19 characters for
// every year from 1000 to 9999.
std::wstring FormatDateTime(const DateTimeFields& fields);

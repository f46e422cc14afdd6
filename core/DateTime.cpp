#include "DateTime.h"

#include "TextConvert.h"

#include <climits>
#include <ctime>
#include <cwchar>
#include <cwctype>

namespace {

// A piece's integer as the C runtime's wide atoi reads it: leading white space, an optional sign,
// the digits that follow; no digits give 0 and values beyond int stop at its limits.
int PieceValue(std::wstring_view piece)
{
    size_t i = 0;
    while (i < piece.size() && std::iswspace(piece[i]))
        ++i;
    bool negative = false;
    if (i < piece.size() && (piece[i] == L'+' || piece[i] == L'-')) negative = piece[i++] == L'-';
    long long value = 0;
    for (; i < piece.size() && piece[i] >= L'0' && piece[i] <= L'9'; ++i) {
        value = value * 10 + (piece[i] - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return value > INT_MAX ? INT_MIN : -static_cast<int>(value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

} // namespace

std::optional<DateTimeFields> SplitDateTime(std::wstring_view input)
{
    std::wstring text = TrimWhiteSpace(std::wstring(input));
    int colons = 0;
    for (wchar_t& c : text) {
        if (c == L' ' || c == L'-' || c == L'/') c = L':';
        if (c == L':') ++colons;
    }
    if (colons != 5) return std::nullopt;

    DateTimeFields fields{};
    size_t count = 0;
    const std::wstring_view view(text);
    for (size_t pos = 0; pos < view.size();) {
        size_t end = view.find(L':', pos);
        if (end == std::wstring_view::npos) end = view.size();
        if (end > pos) {
            if (count == fields.size()) return std::nullopt;
            fields[count++] = PieceValue(view.substr(pos, end - pos));
        }
        pos = end + 1;
    }
    if (count != fields.size()) return std::nullopt;
    return fields;
}

bool DateTimeFieldsInRange(const DateTimeFields& f)
{
    return f[0] >= 1900 && f[1] >= 1 && f[1] <= 12 && f[2] >= 1 && f[2] <= 31 && f[3] >= 0 && f[3] <= 23 && f[4] >= 0 &&
           f[4] <= 59 && f[5] >= 0 && f[5] <= 59;
}

bool DateTimeFieldsExist(const DateTimeFields& f)
{
    if (!DateTimeFieldsInRange(f)) return false;
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (f[0] % 4 == 0 && f[0] % 100 != 0) || f[0] % 400 == 0;
    const int days = f[1] == 2 && leap ? 29 : kDays[f[1] - 1];
    return f[2] <= days;
}

DateTimeReading ReadDateTimeText(std::wstring_view text)
{
    const auto fields = SplitDateTime(text);
    if (!fields) return {std::nullopt, L"not a date-time of the form YYYY:MM:DD hh:mm:ss"};
    if (!DateTimeFieldsInRange(*fields)) return {std::nullopt, L"a field is out of range"};
    if (!DateTimeFieldsExist(*fields)) return {std::nullopt, L"no such day in that month"};
    const auto value = LocalFieldsToTime(*fields);
    if (!value) return {std::nullopt, L"outside the years 1970 to 3000"};
    // The library moves a local time that the clock skips to another hour: that is no reading of
    // the text either.
    const auto back = TimeToLocalFields(*value);
    if (!back || *back != *fields) return {std::nullopt, L"the local clock skips that time"};
    return {value, {}};
}

std::optional<long long> LocalFieldsToTime(const DateTimeFields& f)
{
    // Years far beyond the range would overflow the library's field arithmetic.
    if (f[0] < 1800 || f[0] > 3100) return std::nullopt;
    std::tm fields{};
    fields.tm_year = f[0] - 1900;
    fields.tm_mon = f[1] - 1;
    fields.tm_mday = f[2];
    fields.tm_hour = f[3];
    fields.tm_min = f[4];
    fields.tm_sec = f[5];
    fields.tm_isdst = -1;
    const long long value = static_cast<long long>(std::mktime(&fields));
    if (value < 0 || value > kLastDateTimeValue) return std::nullopt;
    return value;
}

std::optional<DateTimeFields> TimeToLocalFields(long long value)
{
    if (value < 0 || value > kLastDateTimeValue) return std::nullopt;
    const std::time_t time = static_cast<std::time_t>(value);
    // One thread only calls this, so the library's shared result is safe to read.
    const std::tm* fields = std::localtime(&time);
    if (!fields) return std::nullopt;
    return DateTimeFields{fields->tm_year + 1900, fields->tm_mon + 1, fields->tm_mday,
                          fields->tm_hour,        fields->tm_min,     fields->tm_sec};
}

std::wstring FormatDateTime(const DateTimeFields& f)
{
    wchar_t buffer[64];
    const int length = std::swprintf(buffer, 64, L"%04d:%02d:%02d %02d:%02d:%02d", f[0], f[1], f[2], f[3], f[4], f[5]);
    return length < 0 ? std::wstring() : std::wstring(buffer, static_cast<size_t>(length));
}

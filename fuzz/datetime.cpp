// The date-time text: whatever SplitDateTime reads, in range, formats to a text it reads back to
// the same fields; and every instant the local conversion gives goes back and forth unchanged.
// The zone is fixed to UTC without daylight saving so that a run does not depend on the machine.
#include "FuzzCheck.h"

#include "core/DateTime.h"
#include "core/TextConvert.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

namespace {

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Fields the calendar has, so that the conversion must not move them.
bool IsCalendarDate(const DateTimeFields& f)
{
    return DateTimeFieldsInRange(f) && f[2] <= DaysInMonth(f[0], f[1]);
}

void CheckFormatReadsBack(const DateTimeFields& fields)
{
    const std::wstring text = FormatDateTime(fields);
    if (fields[0] >= 1000 && fields[0] <= 9999) FUZZ_CHECK(text.size() == 19);
    const auto back = SplitDateTime(text);
    FUZZ_CHECK(back.has_value() && *back == fields);
}

void CheckInstant(long long value)
{
    const auto fields = TimeToLocalFields(value);
    FUZZ_CHECK(fields.has_value());
    FUZZ_CHECK(IsCalendarDate(*fields));
    FUZZ_CHECK(LocalFieldsToTime(*fields) == value);
    CheckFormatReadsBack(*fields);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("TZ", "UTC0", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring text = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
    const auto fields = SplitDateTime(text);
    if (!fields) return 0;
    if (DateTimeFieldsInRange(*fields)) CheckFormatReadsBack(*fields);

    // Any fields at all go to the conversion, which refuses what it cannot take.
    const auto value = LocalFieldsToTime(*fields);
    if (!value) {
        FUZZ_CHECK(!IsCalendarDate(*fields) || (*fields)[0] < 1970 || (*fields)[0] > 3000);
        return 0;
    }
    FUZZ_CHECK(*value >= 0 && *value <= kLastDateTimeValue);
    CheckInstant(*value);
    if (IsCalendarDate(*fields)) FUZZ_CHECK(TimeToLocalFields(*value) == fields);
    return 0;
}

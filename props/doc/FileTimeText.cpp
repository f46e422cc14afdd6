#include "FileTimeText.h"

#include "core/DateTime.h"

namespace docprops {

std::optional<std::wstring> FileTimeToText(const FILETIME& utc)
{
    FILETIME localTime;
    SYSTEMTIME local;
    if (!FileTimeToLocalFileTime(&utc, &localTime) || !FileTimeToSystemTime(&localTime, &local)) return std::nullopt;
    std::optional<long long> value = 0;
    if (local.wYear >= 1900)
        value = LocalFieldsToTime({local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond});
    if (!value) return std::nullopt;
    const auto fields = TimeToLocalFields(*value);
    if (!fields) return std::nullopt;
    return FormatDateTime(*fields);
}

std::optional<FILETIME> TextToFileTime(const std::wstring& text)
{
    const auto parsed = SplitDateTime(text);
    if (!parsed || !DateTimeFieldsInRange(*parsed)) return std::nullopt;
    const auto value = LocalFieldsToTime(*parsed);
    if (!value) return std::nullopt;
    // The fields again from the time value: the library carries a day past its month's end into
    // the next month.
    const auto fields = TimeToLocalFields(*value);
    if (!fields) return std::nullopt;
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>((*fields)[0]);
    local.wMonth = static_cast<WORD>((*fields)[1]);
    local.wDay = static_cast<WORD>((*fields)[2]);
    local.wHour = static_cast<WORD>((*fields)[3]);
    local.wMinute = static_cast<WORD>((*fields)[4]);
    local.wSecond = static_cast<WORD>((*fields)[5]);
    FILETIME localTime, utc;
    if (!SystemTimeToFileTime(&local, &localTime) || !LocalFileTimeToFileTime(&localTime, &utc)) return std::nullopt;
    return utc;
}

} // namespace docprops

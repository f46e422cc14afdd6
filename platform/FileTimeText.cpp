#include "FileTimeText.h"

#include "core/DateTime.h"

std::optional<std::wstring> FileTimeToText(const FILETIME& utc)
{
    FILETIME localTime;
    SYSTEMTIME local;
    if (!FileTimeToLocalFileTime(&utc, &localTime) || !FileTimeToSystemTime(&localTime, &local)) return std::nullopt;
    // Through the C runtime and back, as a typed text goes, so that a text read and written back
    // stands for the same instant.
    const auto value =
        LocalFieldsToTime({local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond});
    if (!value) return std::nullopt;
    const auto fields = TimeToLocalFields(*value);
    if (!fields) return std::nullopt;
    return FormatDateTime(*fields);
}

std::optional<FILETIME> TimeValueToFileTime(long long value)
{
    const auto fields = TimeToLocalFields(value);
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

bool TextToFileTime(const std::wstring& text, FILETIME& utc, std::wstring& why)
{
    const DateTimeReading reading = ReadDateTimeText(text);
    if (!reading.value) {
        why = reading.why;
        return false;
    }
    const auto time = TimeValueToFileTime(*reading.value);
    if (!time) {
        why = L"outside the years 1970 to 3000";
        return false;
    }
    utc = *time;
    return true;
}

#pragma once
// File times (FILETIME, UTC) as date-time texts, for the file-system times and for every property
// that holds a time, so that both read alike. The order of the conversions is fixed: the system's
// current local-time bias between UTC and local time, then the C runtime's local time through
// core's date-time text; a text written and read back is the same text.
#include <windows.h>

#include <optional>
#include <string>

// The date-time text of a UTC file time; nothing for a time outside the range (before
// 1970-01-01 00:00:00 UTC or after the year 3000), which no text could stand for, so that a zero
// time is never shown as a made-up 1970.
std::optional<std::wstring> FileTimeToText(const FILETIME& utc);

// The UTC file time of a time value (seconds since 1970) taken through local calendar fields.
std::optional<FILETIME> TimeValueToFileTime(long long value);

// The UTC file time of a date-time text taken as local time; false, with the reason in words, for
// a text that names no instant (see ReadDateTimeText): nothing is carried into another date.
bool TextToFileTime(const std::wstring& text, FILETIME& utc, std::wstring& why);

#pragma once
// File-system times and attribute bits, and the one text form of a point in time:
// local time as "%Y:%m:%d %H:%M:%S". Conversions go through the C runtime's local-time functions
// and the system's current local-time bias, in a fixed order, so that a text written and read
// back is the same text.
#include <windows.h>

#include <array>
#include <optional>
#include <string>

class JsonWrapper;

// The six fields of a text of date-time shape (year, month, day, hour, minute, second), before any
// range check; nothing when the text does not have that shape.
std::optional<std::array<int, 6>> SplitDateTime(const std::wstring& text);

// Seconds since 1970-01-01 00:00:00 UTC; 0 for a text without the date-time shape.
// Throws ComError for a text of the right shape whose fields are out of range.
long long ParseDateTime(const std::wstring& text);

FILETIME DateTimeToFileTime(const std::wstring& text);

// Throws ComError(E_INVALIDARG) when the time cannot be shown in the C runtime's range.
std::wstring FormatFileTime(const FILETIME& utc);

bool ReadFileTimes(const std::wstring& fileName, JsonWrapper& document);
BOOL WriteFileTimes(const std::wstring& fileName, const JsonWrapper& props, std::wstring& error);

std::wstring AttributesToLetters(DWORD attributes);
DWORD LettersToAttributes(const std::wstring& letters);

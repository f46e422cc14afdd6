#pragma once
// File-system times, read and set as date-time texts. Conversions go through the C runtime's
// local-time functions and the system's current local-time bias, in a fixed order, so that a
// text written and read back is the same text.
#include "core/JsonWrapper.h"

#include <windows.h>

#include <string>

// Seconds since 1970-01-01 00:00:00 UTC; 0 for a text without the date-time shape.
// Throws ComError for a text of the right shape whose fields are out of range.
long long ParseDateTime(const std::wstring& text);

FILETIME DateTimeToFileTime(const std::wstring& text);

// Throws ComError(E_INVALIDARG) when the time cannot be shown in the C runtime's range.
std::wstring FormatFileTime(const FILETIME& utc);

bool ReadFileTimes(const std::wstring& fileName, JsonWrapper& document);
BOOL WriteFileTimes(const std::wstring& fileName, JsonView props, std::wstring& error);

#pragma once
// File-system times, read and set as date-time texts. Conversions go through the C runtime's
// local-time functions and the system's current local-time bias, in a fixed order, so that a
// text written and read back is the same text.
#include "core/JsonWrapper.h"

#include <windows.h>

#include <optional>
#include <string>

// Seconds since 1970-01-01 00:00:00 UTC; 0 for a text without the date-time shape.
// Throws ComError for a text of the right shape whose fields are out of range.
long long ParseDateTime(const std::wstring& text);

FILETIME DateTimeToFileTime(const std::wstring& text);

// The date-time text of a UTC file time; nothing for a time outside the C runtime's range
// (before 1970-01-01 00:00:00 UTC or after the year 3000), which no text could stand for.
std::optional<std::wstring> FileTimeText(const FILETIME& utc);
// The same, for callers that take a time outside the range as a failure: throws
// ComError(E_INVALIDARG) for it.
std::wstring FormatFileTime(const FILETIME& utc);

// Adds "createtime", "modifytime" and "accesstime"; a time outside the range gives empty text, so
// the others still arrive. False, adding nothing, when the file's times cannot be read. The file
// is opened for its attributes only, with full sharing, so a file that another program holds
// open, even for writing, can be read.
bool ReadFileTimes(const std::wstring& fileName, JsonWrapper& document);
// Sets the times given as non-empty texts. The file is opened for its attributes only, with full
// sharing, so the times of a read-only file, or of one open elsewhere, can be set too.
BOOL WriteFileTimes(const std::wstring& fileName, JsonView props, std::wstring& error);

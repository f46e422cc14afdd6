#pragma once
// File-system times, read and set as date-time texts. Conversions go through the C runtime's
// local-time functions and the system's current local-time bias, in a fixed order, so that a
// text written and read back is the same text.
#include "core/JsonWrapper.h"

#include <windows.h>

#include <optional>
#include <string>

// Seconds since 1970-01-01 00:00:00 UTC; 0 for a text without the date-time shape. Throws
// ComError(E_FAIL) for a text of that shape that names no instant (a field out of range, a day
// its month lacks, a time outside the range).
long long ParseDateTime(const std::wstring& text);

FILETIME DateTimeToFileTime(const std::wstring& text);

// The date-time text of a UTC file time; throws ComError(E_INVALIDARG) for a time outside the
// range, which no text could stand for (FileTimeToText gives nothing for it instead).
std::wstring FormatFileTime(const FILETIME& utc);

// Adds "createtime", "modifytime" and "accesstime"; a time outside the range gives empty text, so
// the others still arrive. False, adding nothing, when the file's times cannot be read. The file
// is opened for its attributes only, with full sharing, so a file that another program holds
// open, even for writing, can be read.
bool ReadFileTimes(const std::wstring& fileName, JsonWrapper& document);
// Sets the times given as non-empty texts; a text that names no instant refuses the whole request
// with the reason in `error`, and nothing is set. The file is opened for its attributes only, with full
// sharing, so the times of a read-only file, or of one open elsewhere, can be set too.
BOOL WriteFileTimes(const std::wstring& fileName, JsonView props, std::wstring& error);

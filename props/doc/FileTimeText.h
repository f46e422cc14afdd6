#pragma once
// Time values of document properties (FILETIME, UTC) as date-time texts, by the rules the file
// times follow: the system's current local-time bias between UTC and local time, then the C
// runtime's local time through core's date-time text, so that a property and a file time of the
// same instant read the same, and a text written and read back is the same text.
//
// Unlike the file times, nothing here throws: a property whose time cannot be shown is left out
// of a listing, and a text that is not a date-time is refused, by the caller.
#include <windows.h>

#include <optional>
#include <string>

namespace docprops {

// The date-time text of a UTC time; a time before 1900 reads as the first instant of the range
// (1970-01-01 00:00:00 UTC). Nothing for a time from 1900 on that the range cannot hold.
std::optional<std::wstring> FileTimeToText(const FILETIME& utc);

// The UTC time of a date-time text taken as local time; nothing for a text without the date-time
// shape, with a field out of range, or for an instant outside the range.
std::optional<FILETIME> TextToFileTime(const std::wstring& text);

} // namespace docprops

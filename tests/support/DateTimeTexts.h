#pragma once
// Date-time texts shared by the tests of the text itself and of the file times built on it.

// The accepted spellings of 2020-01-31 13:45:00 local time.
inline const wchar_t* const kAcceptedForms[] = {
    L"2020:01:31 13:45:00", L"2020-01-31 13:45:00",         L"2020/1/31 13:45:0",    L"2020:01:31:13:45:00",
    L"2020/01/31-13:45:00", L" \t2020:01:31 13:45:00 \r\n", L"+2020:01:31 13:45:00", L"2020:01:31 13:45:00.75",
};

// Texts without the date-time shape: not five separators, or an empty piece between them.
inline const wchar_t* const kShapelessTexts[] = {
    L"now",
    L"2020-01-31T13:45:00",
    L"2020:01:31  13:45:00",
    L"2020:01:31 13:45",
    L"2020:01:31 13:45:00:",
    L":2020:01:31 13:45:00",
    L"2020::01:31 13:45",
    L"2020:01:31\t13:45:00",
    L"   ",
};

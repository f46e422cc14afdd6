#pragma once
// Text between the native side's UTF-16 strings and the tag library's strings. On Windows the
// library's wide strings are UTF-16 as well, so surrogate pairs pass through unchanged.
#include <taglib/tstring.h>
#include <taglib/tstringlist.h>

#include <string>

inline TagLib::String ToTagText(const std::wstring& text)
{
    return TagLib::String(text);
}

inline std::wstring FromTagText(const TagLib::String& text)
{
    return text.toWString();
}

#pragma once
// The thread's ANSI code page, through which the EXIF handler reads ASCII items that are not UTF-8
// and writes texts it holds exactly (Windows-1252 on an English system, and under Wine).
#include "ExifItemText.h"

#include <string>

class ThreadAnsiCodePage : public TextCodePage {
public:
    std::wstring Decode(const std::string& bytes) const override;
    // Exact only when the system puts no near character (no best fit) and no default character
    // for any of the text's, and the bytes read back as the text.
    bool EncodeExact(const std::wstring& text, std::string& bytes) const override;
};

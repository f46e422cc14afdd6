#pragma once
// Dropped names travel to the page as one script call. The JSON list is carried inside a fully
// escaped script string, so that no name (apostrophes, quotes, backslashes, line breaks, crafted
// text) can end the string early or run as script.
#include <string>

// A double-quoted script string literal whose value is exactly the given text.
std::wstring ScriptStringLiteral(const std::wstring& text);

// The call that hands a printed JSON list of paths to the page's onAddFiles.
std::wstring AddFilesScript(const std::wstring& printedList);

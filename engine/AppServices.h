#pragma once
// Host services the page asks for: a debug log, named settings in the registry, the program's
// version and command line, opening web and mail addresses, and the main window's size.
#include <windows.h>

#include <cstddef>
#include <string>

// Where the page's settings live, under HKEY_CURRENT_USER.
inline constexpr const wchar_t* kSettingsKey = L"Software\\Varenko";

// Writes "Log from JS: " and the text to the debugger output, with no line break added.
void LogFromPage(const std::wstring& text);

// A setting's text; empty when it was never written or cannot be read. A REG_SZ value ends at its
// first null; any other value is its data taken as UTF-16 code units. A trailing odd byte is
// dropped.
std::wstring ReadSetting(const std::wstring& name, const wchar_t* key = kSettingsKey);
// The largest value a setting stores, in bytes of stored data (2 per code unit): 1 MiB.
inline constexpr size_t kMaxSettingBytes = 1024 * 1024;

// Stores the text as REG_SZ without a terminating null (2 bytes per code unit). A value larger than
// kMaxSettingBytes is refused and the stored one kept. False when nothing was stored; the page
// is not told: it has nothing to do about it.
bool WriteSetting(const std::wstring& name, const std::wstring& value, const wchar_t* key = kSettingsKey);

// The path of the running program's file.
std::wstring OwnModulePath();
// "%d.%d.%d.%d" of a module's file version, each 16-bit part read as signed; empty text when the
// file has no version resource or it cannot be read.
std::wstring GetAppVersion(const std::wstring& modulePath);

// The longest address that is opened, in UTF-16 code units.
inline constexpr size_t kMaxAddressLength = 2048;

// True only for an absolute http, https or mailto address (scheme in any letter case) of at most
// kMaxAddressLength characters, with nothing in it that the shell could take for a local path or
// a command line, and, for mailto, no parameter that asks the mail program to attach files.
bool IsWebOrMailAddress(const std::wstring& text);
// Opens a web or mail address in the user's handler for it; any other text does nothing.
void OpenWebOrMailAddress(const std::wstring& text);

// {"width":W,"height":H} of the window's outer rectangle; zeros when there is no window.
std::wstring WindowSizeText(HWND window);
// Sizes the window from a size text {"width":W,"height":H} and centres it. Answers the parsed
// size printed back, or empty text when the size text is not JSON. A size without both numbers,
// or no window at all, moves nothing.
std::wstring SetWindowSizeFromText(HWND window, const std::wstring& sizeText);
// Centres a top-level window on its visible, not minimised owner, or else on the work area of
// its monitor, keeping it inside that work area.
void CentreWindow(HWND window);

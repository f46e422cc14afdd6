#pragma once
// The process's last word on an unhandled exception: end at once and quietly, with no system
// error dialog, after leaving a one-line description on the debugger output.
#include <windows.h>

#include <string>

// "Access Violation 0xC0000005", "Array Bounds Exceeded 0xC000008C", "Stack Overflow 0xC00000FD",
// or "Code:  0x…" for any other code.
std::wstring DescribeException(DWORD code);

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception);

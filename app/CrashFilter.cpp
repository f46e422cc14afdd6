#include "CrashFilter.h"

#include <cwchar>

namespace {

struct ExceptionName {
    DWORD code;
    const wchar_t* name;
};

constexpr ExceptionName kExceptionNames[] = {
    {EXCEPTION_ACCESS_VIOLATION, L"Access Violation"},
    {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, L"Array Bounds Exceeded"},
    {EXCEPTION_STACK_OVERFLOW, L"Stack Overflow"},
};

} // namespace

std::wstring DescribeException(DWORD code)
{
    const wchar_t* name = L"Code: ";
    for (const auto& entry : kExceptionNames) {
        if (entry.code == code) name = entry.name;
    }
    wchar_t text[96];
    std::swprintf(text, 96, L"%ls 0x%08X", name, static_cast<unsigned>(code));
    return text;
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception)
{
    // Nothing here may allocate much: the heap or the stack may be what failed.
    if (exception && exception->ExceptionRecord) {
        const std::wstring text = L"Varenko crashed: " + DescribeException(exception->ExceptionRecord->ExceptionCode);
        OutputDebugStringW(text.c_str());
    }
    return EXCEPTION_EXECUTE_HANDLER;
}

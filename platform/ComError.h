#pragma once
// Errors cross the native side in one shape: an HRESULT. Deep failures raise ComError; the
// external object's Invoke is the one place that catches them.
#include <windows.h>

#include <exception>

class ComError : public std::exception {
public:
    explicit ComError(HRESULT hr) : hr_(hr) {}
    HRESULT Code() const { return hr_; }
    const char* what() const noexcept override { return "COM error"; }

private:
    HRESULT hr_;
};

// The system's last error code; `fallback` when the system left none, so that a failure is never
// read as success.
inline DWORD LastErrorOr(DWORD fallback)
{
    const DWORD error = GetLastError();
    return error != 0 ? error : fallback;
}

// The system's last error as an HRESULT; E_FAIL when the system left no code.
inline HRESULT HResultFromLastError()
{
    const DWORD error = GetLastError();
    return error == 0 ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// A BOOL result of a system call, with GetLastError on failure, as an HRESULT.
inline HRESULT HResultFromBool(BOOL ok)
{
    return ok ? S_OK : HResultFromLastError();
}

inline void ThrowIfFailed(HRESULT hr)
{
    if (FAILED(hr)) throw ComError(hr);
}

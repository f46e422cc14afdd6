#pragma once
// Process-wide start-up, owned by each entry point for its whole run: the thread's COM apartment
// with the process's security settings, OLE (drag and drop, the browser control), and the GDI+
// session. The window program, the console program and the test programs start the same scopes,
// so the command engine behaves alike in each. Each scope undoes only what it did itself.
#include <windows.h>
#include <objbase.h>
#include <ole2.h>

class ComApartment {
public:
    ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment();
    // True when the apartment and the security settings both took.
    bool Started() const { return started_; }

private:
    HRESULT init_;
    bool started_ = false;
};

class OleSession {
public:
    OleSession() : hr_(OleInitialize(nullptr)) {}
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    ~OleSession()
    {
        if (SUCCEEDED(hr_)) OleUninitialize();
    }
    bool Started() const { return SUCCEEDED(hr_); }

private:
    HRESULT hr_;
};

class GdiplusSession {
public:
    GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    ~GdiplusSession();
    bool Started() const { return token_ != 0; }

private:
    ULONG_PTR token_ = 0;
};

// The three scopes in the order they start; they end in reverse.
class ProcessStartup {
public:
    bool ComStarted() const { return com_.Started(); }
    bool OleStarted() const { return ole_.Started(); }
    bool GdiplusStarted() const { return gdiplus_.Started(); }

private:
    ComApartment com_;
    OleSession ole_;
    GdiplusSession gdiplus_;
};

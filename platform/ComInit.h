#pragma once
// Joins the thread to a single-threaded COM apartment for the guard's lifetime; uninitialises only
// when its own initialisation succeeded, so the calls always pair.
#include <objbase.h>

class ComInit {
public:
    ComInit() : hr_(CoInitialize(nullptr)) {}
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;
    ~ComInit()
    {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    bool Succeeded() const { return SUCCEEDED(hr_); }

private:
    HRESULT hr_;
};

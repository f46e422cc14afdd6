#pragma once
// The process-wide application module: the instance handle, the window classes registered for the
// program, and the callbacks to run at exit. It serves no COM clients and starts no COM.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CVarenkoModule {
public:
    CVarenkoModule();
    CVarenkoModule(const CVarenkoModule&) = delete;
    CVarenkoModule& operator=(const CVarenkoModule&) = delete;
    ~CVarenkoModule();

    HINSTANCE Instance() const { return instance_; }
    // Remembers a window class to unregister at exit.
    void AddWindowClass(const std::wstring& name) { classes_.push_back(name); }
    void AddTermFunction(std::function<void()> callback) { termFunctions_.push_back(std::move(callback)); }

private:
    HINSTANCE instance_;
    std::vector<std::wstring> classes_;
    std::vector<std::function<void()>> termFunctions_;
};

extern CVarenkoModule g_module;

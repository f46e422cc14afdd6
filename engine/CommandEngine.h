#pragma once
// The commands of the page: one request text in, one answer text out. A table maps each command
// word to its function; the property categories go through the handlers' table. Nothing here
// knows about COM or the browser: the window and the console program both feed it request texts.
#include "core/JsonWrapper.h"
#include "engine/HardwareInfo.h"
#include "engine/KeptFileTimes.h"
#include "props/PropertyHandlers.h"

#include <windows.h>

#include <string>

class CommandEngine {
public:
    // setTimesBack is how "setprops" with "keeptimes" sets a file's times back after a write. It can
    // be replaced so that a test can see the answer when that fails: no file a test can make
    // accepts a handler's write and then refuses its times.
    explicit CommandEngine(SetFileTimesBackFunction setTimesBack = SetFileTimesBack) : setTimesBack_(setTimesBack) {}
    CommandEngine(const CommandEngine&) = delete;
    CommandEngine& operator=(const CommandEngine&) = delete;
    virtual ~CommandEngine() = default;

    // The window whose size "getwinsize" and "setwinsize" read and set; none in the console.
    void SetWindow(HWND window) { window_ = window; }
    PropertyHandlers& Handlers() { return handlers_; }

    // Runs one request text. False when the text is not JSON: the caller then gives no answer.
    // Failures deep inside a command arrive as exceptions.
    bool RunRequest(const std::wstring& request, std::wstring& answer);

private:
    using Command = void (CommandEngine::*)(JsonView request, std::wstring& answer);
    struct CommandEntry {
        const wchar_t* name;
        bool exactCase;
        Command run;
    };
    static const CommandEntry kCommands[];

    void AddFiles(JsonView request, std::wstring& answer);
    void CollectPaths(JsonView request, std::wstring& answer);
    void Log(JsonView request, std::wstring& answer);
    void InitPropList(JsonView request, std::wstring& answer);
    void SetProps(JsonView request, std::wstring& answer);
    void GetProps(JsonView request, std::wstring& answer);
    void GetWmi(JsonView request, std::wstring& answer);
    void GetSetting(JsonView request, std::wstring& answer);
    void SetSetting(JsonView request, std::wstring& answer);
    void GetAppVer(JsonView request, std::wstring& answer);
    void GetCmdLine(JsonView request, std::wstring& answer);
    void OpenUrl(JsonView request, std::wstring& answer);
    void GetWinSize(JsonView request, std::wstring& answer);
    void SetWinSize(JsonView request, std::wstring& answer);

    PropertyHandlers handlers_;
    HardwareInfo hardware_;
    HWND window_ = nullptr;
    SetFileTimesBackFunction setTimesBack_;
};

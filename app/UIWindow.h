#pragma once
// The application's only top-level window. Its client area is the browser control; it loads
// "about:blank", attaches the external object, loads the page and shows itself once the page has
// loaded. It also carries files dropped on it to the page, keeps the control sized, and refuses
// to let the control wander off the page.
#include "app/UIHandler.h"
#include "platform/BrowserEvents.h"
#include "platform/ComPtr.h"
#include "platform/PageProtocol.h"
#include "platform/UniqueHandle.h"
#include "platform/WindowImpl.h"

#include <exdisp.h>

#include <functional>
#include <memory>
#include <string>

class UIWindow : public WindowImpl<UIWindow>, private BrowserEventListener {
public:
    static constexpr const wchar_t* kClassName = L"Varenko.MainWindow";
    static constexpr int kWidth = 900;
    static constexpr int kHeight = 600;

    using ScriptRunner = std::function<std::wstring(const std::wstring& code)>;
    using ErrorReporter = std::function<void(const std::wstring& message)>;

    UIWindow();
    UIWindow(const UIWindow&) = delete;
    UIWindow& operator=(const UIWindow&) = delete;
    virtual ~UIWindow();

    // Creates the main window, hidden, at 900 by 600 outer size.
    HWND Create();
    HWND ControlHost() const { return host_; }
    UIHandler& Handler() { return handler_; }
    bool HasBrowser() const { return static_cast<bool>(browser_); }

    // Runs script in the page; empty text on any failure.
    std::wstring RunScript(const std::wstring& code);

    // Seams: where script runs and where start-up failures are told. By default the page and a
    // message box.
    void SetScriptRunner(ScriptRunner runner) { scriptRunner_ = std::move(runner); }
    void SetErrorReporter(ErrorReporter reporter) { errorReporter_ = std::move(reporter); }
    // How long the page may take to load before start-up is given up; set before Create.
    void SetLoadTimeout(UINT milliseconds) { loadTimeoutMs_ = milliseconds; }

    static const MessageEntry kMessageMap[];

private:
    friend class WindowImpl<UIWindow>;

    LRESULT OnCreate(WPARAM, LPARAM);
    LRESULT OnDestroy(WPARAM, LPARAM);
    LRESULT OnSize(WPARAM, LPARAM);
    LRESULT OnGetMinMaxInfo(WPARAM, LPARAM);
    LRESULT OnDropFiles(WPARAM, LPARAM);
    LRESULT OnTimer(WPARAM, LPARAM);
    LRESULT OnStartFailed(WPARAM, LPARAM);

    float DpiScale();
    bool IsShowingPage() const;
    void FailStart(const std::wstring& message);

    // Browser events
    void OnDocumentComplete() override;
    bool OnBeforeNavigate(const std::wstring& url) override;
    void OnNewWindow(const std::wstring& url) override;
    void OnNavigateError(const std::wstring& url, bool topLevel) override;

    UIHandler handler_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
    BrowserEvents events_{*this};
    HWND host_ = nullptr;
    ComPtr<IWebBrowser2> browser_;
    float dpiScale_ = 0;
    std::unique_ptr<PageProtocolRegistration> protocol_;
    std::wstring startFailure_;
    ScriptRunner scriptRunner_;
    ErrorReporter errorReporter_;
    // Generous: the page is served in process, so even a slow machine loads it in a few seconds.
    UINT loadTimeoutMs_ = 15000;
};

#include "UIWindow.h"

#include "DropScript.h"
#include "core/JsonWrapper.h"
#include "engine/AppServices.h"
#include "engine/FileCollection.h"
#include "platform/AxHost.h"
#include "platform/Bstr.h"
#include "platform/PageAddress.h"
#include "platform/Variant.h"

#include <mshtml.h>
#include <shellapi.h>
#include <shlwapi.h>

namespace {

constexpr const wchar_t* kWebBrowserClsid = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";
constexpr UINT_PTR kLoadTimer = 1;
constexpr UINT kStartFailedMessage = WM_APP + 1;

bool IsOwnAddress(const std::wstring& url)
{
    return url == L"about:blank" || PageFileForUrl(url).has_value();
}

} // namespace

const UIWindow::MessageEntry UIWindow::kMessageMap[] = {
    {WM_CREATE, &UIWindow::OnCreate},
    {WM_DESTROY, &UIWindow::OnDestroy},
    {WM_SIZE, &UIWindow::OnSize},
    {WM_GETMINMAXINFO, &UIWindow::OnGetMinMaxInfo},
    {WM_DROPFILES, &UIWindow::OnDropFiles},
    {WM_TIMER, &UIWindow::OnTimer},
    {kStartFailedMessage, &UIWindow::OnStartFailed},
};

UIWindow::UIWindow()
{
    RegisterAxHostClasses();
    scriptRunner_ = [this](const std::wstring& code) { return RunScript(code); };
    handler_.SetExternalGate([this] { return IsShowingPage(); });
    errorReporter_ = [](const std::wstring& message) {
        MessageBoxW(nullptr, message.c_str(), L"Varenko", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    };
}

UIWindow::~UIWindow()
{
    if (Handle()) DestroyWindow(Handle());
}

HWND UIWindow::Create()
{
    const RECT rect{0, 0, kWidth, kHeight};
    return CreateWindowOfClass(kClassName, L"Varenko", WS_OVERLAPPEDWINDOW, rect);
}

bool UIWindow::IsShowingPage() const
{
    if (!browser_) return false;
    Bstr url;
    if (FAILED(browser_->get_LocationURL(url.Put())) || !url.Get()) return false;
    return PageFileForUrl(url.Text()).has_value();
}

float UIWindow::DpiScale()
{
    if (dpiScale_ == 0 && Handle()) {
        if (HDC dc = GetDC(Handle())) {
            dpiScale_ = static_cast<float>(GetDeviceCaps(dc, LOGPIXELSX)) / 96.0f;
            ReleaseDC(Handle(), dc);
        }
    }
    return dpiScale_;
}

void UIWindow::FailStart(const std::wstring& message)
{
    // Told after the current message returns, so that creation and browser events unwind first.
    if (!startFailure_.empty()) return;
    startFailure_ = message;
    PostMessageW(Handle(), kStartFailedMessage, 0, 0);
}

LRESULT UIWindow::OnStartFailed(WPARAM, LPARAM)
{
    KillTimer(Handle(), kLoadTimer);
    errorReporter_(startFailure_);
    DestroyWindow(Handle());
    return 0;
}

LRESULT UIWindow::OnCreate(WPARAM, LPARAM)
{
    DpiScale();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    // The window keeps its icons until it is gone; the system only borrows them.
    const struct {
        int size;
        WPARAM kind;
        UniqueIcon& icon;
    } icons[] = {{32, ICON_BIG, bigIcon_}, {16, ICON_SMALL, smallIcon_}};
    for (const auto& entry : icons) {
        entry.icon.Reset(static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(128), IMAGE_ICON, entry.size, entry.size, LR_DEFAULTCOLOR)));
        if (entry.icon.IsValid())
            SendMessageW(Handle(), WM_SETICON, entry.kind, reinterpret_cast<LPARAM>(entry.icon.Get()));
    }

    DragAcceptFiles(Handle(), TRUE);

    protocol_ = std::make_unique<PageProtocolRegistration>();
    RECT client;
    GetClientRect(Handle(), &client);
    host_ = CreateWindowExW(0, L"AtlAxWin120", kWebBrowserClsid, WS_CHILD, 0, 0, client.right, client.bottom, Handle(),
                            nullptr, instance, nullptr);
    if (!host_ || FAILED(AxGetControl(host_, IID_IWebBrowser2, browser_.PutVoid())) || !browser_) {
        FailStart(L"Varenko cannot start: the system's web browser control could not be created.");
        return 0;
    }
    browser_->put_RegisterAsDropTarget(VARIANT_FALSE);
    browser_->put_Silent(VARIANT_TRUE);
    events_.Connect(browser_.Get());
    SetTimer(Handle(), kLoadTimer, loadTimeoutMs_, nullptr);
    const Bstr blank(L"about:blank");
    browser_->Navigate(blank.Get(), nullptr, nullptr, nullptr, nullptr);
    return 0;
}

LRESULT UIWindow::OnTimer(WPARAM id, LPARAM)
{
    if (id == kLoadTimer && !IsWindowVisible(Handle()))
        FailStart(L"Varenko cannot start: its page did not load in the system's web browser control.");
    return 0;
}

void UIWindow::OnDocumentComplete()
{
    if (!handler_.IsAttached()) {
        handler_.AttachToBrowser(browser_.Get(), Handle());
        const Bstr page(kPageUrl);
        browser_->Navigate(page.Get(), nullptr, nullptr, nullptr, nullptr);
        ShowWindow(host_, SW_SHOW);
    } else if (!IsWindowVisible(Handle())) {
        KillTimer(Handle(), kLoadTimer);
        ShowWindow(Handle(), SW_SHOW);
    }
}

bool UIWindow::OnBeforeNavigate(const std::wstring& url)
{
    if (IsOwnAddress(url)) return true;
    // The page holds the user's files through the external object: no other page may replace it.
    // Web and mail addresses open in the user's own browser instead.
    OpenWebOrMailAddress(url);
    return false;
}

void UIWindow::OnNewWindow(const std::wstring& url)
{
    OpenWebOrMailAddress(url);
}

void UIWindow::OnNavigateError(const std::wstring& url, bool topLevel)
{
    if (topLevel && PageFileForUrl(url).has_value())
        FailStart(L"Varenko cannot start: its page could not be loaded (" + url + L").");
}

LRESULT UIWindow::OnSize(WPARAM, LPARAM)
{
    if (host_) {
        RECT client;
        GetClientRect(Handle(), &client);
        SetWindowPos(host_, nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER | SWP_NOMOVE);
    }
    return 0;
}

LRESULT UIWindow::OnGetMinMaxInfo(WPARAM, LPARAM lParam)
{
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    const float scale = DpiScale();
    if (info && scale > 0) {
        info->ptMinTrackSize.x = static_cast<LONG>(kWidth * scale);
        info->ptMinTrackSize.y = static_cast<LONG>(kHeight * scale);
    }
    return 0;
}

LRESULT UIWindow::OnDropFiles(WPARAM wParam, LPARAM)
{
    const UniqueDrop dropOwner(reinterpret_cast<HDROP>(wParam));
    const HDROP drop = dropOwner.Get();
    if (!drop) return 0;
    JsonWrapper list;
    list.MakeArray();
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        // Names of any length, not only those that fit MAX_PATH.
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(static_cast<size_t>(length) + 1, L'\0');
        name.resize(DragQueryFileW(drop, i, name.data(), length + 1));
        if (PathIsDirectoryW(name.c_str()))
            WalkFolder(name, list, true, true, false);
        else
            list.AppendString(name);
    }
    scriptRunner_(AddFilesScript(list.Print()));
    return 0;
}

std::wstring UIWindow::RunScript(const std::wstring& code)
{
    if (!browser_ || code.empty()) return {};
    ComPtr<IDispatch> documentDispatch;
    if (FAILED(browser_->get_Document(documentDispatch.Put())) || !documentDispatch) return {};
    ComPtr<IHTMLDocument2> document = documentDispatch.As<IHTMLDocument2>(IID_IHTMLDocument2);
    ComPtr<IHTMLWindow2> window;
    if (!document || FAILED(document->get_parentWindow(window.Put())) || !window) return {};
    const Bstr script(code);
    const Bstr language(L"JavaScript");
    Variant result;
    const HRESULT hr = window->execScript(script.Get(), language.Get(), result.Get());
    std::wstring text;
    if (SUCCEEDED(hr) && result.Get()->vt == VT_BSTR) text = BstrText(result.Get()->bstrVal);
    return text;
}

LRESULT UIWindow::OnDestroy(WPARAM, LPARAM)
{
    KillTimer(Handle(), kLoadTimer);
    if (browser_) {
        events_.Disconnect();
        browser_.Reset();
    }
    if (host_ && DestroyWindow(host_)) host_ = nullptr;
    protocol_.reset();
    PostQuitMessage(0);
    return 1;
}

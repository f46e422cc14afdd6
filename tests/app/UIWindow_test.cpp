// The main window as the program builds it: its class, size and place, its minimum size, files
// dropped on it, the addresses it lets the browser load, the keys kept from the page, and giving
// up when the page never loads.
#include "app/MessageLoop.h"
#include "app/UIWindow.h"
#include "engine/AppServices.h"
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"
#include "platform/AxHost.h"
#include "platform/ComPtr.h"
#include "platform/PageAddress.h"
#include "tests/support/Requests.h"
#include "tests/support/ScriptLiteral.h"
#include "tests/support/TestFiles.h"
#include "tests/support/Windows.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <exdispid.h>
#include <ocidl.h>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Dispatches what is waiting for this thread; true when WM_QUIT was among it.
bool DrainMessages(int* quitCode = nullptr)
{
    bool quit = false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
            if (quitCode) *quitCode = static_cast<int>(message.wParam);
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return quit;
}

// A window with its seams set so that nothing reaches a real page or a message box.
class UIWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!CanCreateWindows()) GTEST_SKIP() << "no display: windows cannot be created";
        DrainMessages();
        window_.SetScriptRunner([this](const std::wstring& code) {
            scripts_.push_back(code);
            return std::wstring();
        });
        window_.SetErrorReporter([this](const std::wstring& message) { errors_.push_back(message); });
    }

    void TearDown() override
    {
        if (window_.Handle()) DestroyWindow(window_.Handle());
        DrainMessages();
    }

    UIWindow window_;
    std::vector<std::wstring> scripts_;
    std::vector<std::wstring> errors_;
};

TEST_F(UIWindowTest, IsCreatedHiddenAt900By600OfItsOwnClass)
{
    const HWND handle = window_.Create();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle, window_.Handle());

    wchar_t className[256] = {};
    GetClassNameW(handle, className, 256);
    EXPECT_STREQ(className, UIWindow::kClassName);
    EXPECT_FALSE(IsWindowVisible(handle));
    EXPECT_EQ(GetWindowLongPtrW(handle, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(GetParent(handle), nullptr);

    RECT rect{};
    ASSERT_TRUE(GetWindowRect(handle, &rect));
    EXPECT_EQ(rect.right - rect.left, 900);
    EXPECT_EQ(rect.bottom - rect.top, 600);

    wchar_t title[64] = {};
    GetWindowTextW(handle, title, 64);
    EXPECT_STREQ(title, L"Varenko");

    // What the browser control did here is worth knowing when start-up fails on a machine.
    std::cout << "browser control: host window " << (window_.ControlHost() ? "created" : "missing") << ", "
              << (window_.HasBrowser() ? "offers IWebBrowser2" : "no IWebBrowser2") << "\n";
}

TEST_F(UIWindowTest, IsCentredInTheWorkAreaOfItsMonitor)
{
    const HWND handle = window_.Create();
    ASSERT_NE(handle, nullptr);
    CentreWindow(handle);

    MONITORINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(handle, MONITOR_DEFAULTTONEAREST), &info));
    const RECT work = info.rcWork;
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(handle, &rect));
    EXPECT_EQ(rect.right - rect.left, 900);
    EXPECT_EQ(rect.bottom - rect.top, 600);

    const auto expectedStart = [](LONG low, LONG high, LONG size) {
        LONG start = (low + high) / 2 - size / 2;
        if (start + size > high) start = high - size;
        if (start < low) start = low;
        return start;
    };
    EXPECT_EQ(rect.left, expectedStart(work.left, work.right, 900));
    EXPECT_EQ(rect.top, expectedStart(work.top, work.bottom, 600));
    EXPECT_FALSE(IsWindowVisible(handle)) << "centring must not show the window";
}

TEST_F(UIWindowTest, KeepsAMinimumSizeOf900By600ScaledByTheDisplay)
{
    const HWND handle = window_.Create();
    ASSERT_NE(handle, nullptr);
    const HDC dc = GetDC(handle);
    ASSERT_NE(dc, nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(handle, dc);

    MINMAXINFO info{};
    info.ptMaxSize = {1111, 2222};
    info.ptMaxPosition = {3, 4};
    info.ptMinTrackSize = {5, 6};
    info.ptMaxTrackSize = {7777, 8888};
    EXPECT_EQ(SendMessageW(handle, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_EQ(info.ptMinTrackSize.x, 900 * dpi / 96) << "LOGPIXELSX " << dpi;
    EXPECT_EQ(info.ptMinTrackSize.y, 600 * dpi / 96) << "LOGPIXELSX " << dpi;
    // The other limits stay as they were.
    EXPECT_EQ(info.ptMaxSize.x, 1111);
    EXPECT_EQ(info.ptMaxSize.y, 2222);
    EXPECT_EQ(info.ptMaxPosition.x, 3);
    EXPECT_EQ(info.ptMaxPosition.y, 4);
    EXPECT_EQ(info.ptMaxTrackSize.x, 7777);
    EXPECT_EQ(info.ptMaxTrackSize.y, 8888);

    // Asked to become smaller, the window stays at the minimum.
    SetWindowPos(handle, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(handle, &rect));
    EXPECT_GE(rect.right - rect.left, 900 * dpi / 96);
    EXPECT_GE(rect.bottom - rect.top, 600 * dpi / 96);
}

// A drop handle as the shell makes it: DROPFILES followed by the wide names, each ending with a
// null, and one more null at the end.
HDROP MakeDrop(const std::vector<std::wstring>& names)
{
    size_t characters = 1;
    for (const std::wstring& name : names)
        characters += name.size() + 1;
    const size_t bytes = sizeof(DROPFILES) + characters * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GHND, bytes);
    if (!memory) return nullptr;
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(header) + sizeof(DROPFILES));
    for (const std::wstring& name : names) {
        std::memcpy(text, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        text += name.size() + 1;
    }
    *text = L'\0';
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// Every entry below a folder, depth-first, each folder listed before its contents, in the order
// the file system gives them; the folder itself is not listed.
void ListBelow(const std::wstring& folder, std::vector<std::wstring>& out)
{
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        out.push_back(path);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListBelow(path, out);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

// The names the one script call hands to the page, as the page's JSON.parse would see them.
std::vector<std::wstring> NamesHandedToPage(const std::wstring& call)
{
    const std::wstring head = L"onAddFiles(";
    const std::wstring tail = L");";
    EXPECT_EQ(call.compare(0, head.size(), head), 0) << Utf16ToUtf8(call);
    size_t i = head.size();
    const auto json = script_literal::DecodeLiteral(call, i);
    EXPECT_TRUE(json.has_value()) << Utf16ToUtf8(call);
    EXPECT_EQ(call.substr(i), tail) << Utf16ToUtf8(call);
    if (!json) return {};
    return TextItems(Parsed(*json).View());
}

TEST_F(UIWindowTest, HandsDroppedFilesAndFolderContentsToThePageInOneCall)
{
    TempDir temp;
    const std::wstring plain = temp.MakeFile(L"plain.txt");
    const std::wstring apostrophe = temp.MakeFile(L"it's.txt");
    // A folder of non-ASCII name with files, nested subfolders and an empty subfolder.
    const std::wstring photos = temp.MakeFolder(L"\u0424\u043E\u0442\u043E \u00E9t\u00E9");
    temp.MakeFile(L"\u0424\u043E\u0442\u043E \u00E9t\u00E9\\a.jpg");
    temp.MakeFolder(L"\u0424\u043E\u0442\u043E \u00E9t\u00E9\\sub");
    temp.MakeFile(L"\u0424\u043E\u0442\u043E \u00E9t\u00E9\\sub\\b.jpg");
    temp.MakeFolder(L"\u0424\u043E\u0442\u043E \u00E9t\u00E9\\sub\\deeper");
    temp.MakeFile(L"\u0424\u043E\u0442\u043E \u00E9t\u00E9\\sub\\deeper\\c.txt");
    temp.MakeFolder(L"\u0424\u043E\u0442\u043E \u00E9t\u00E9\\empty");
    // Names whose characters follow a path separator: an escape that knew only some of them
    // would turn "\n", "\u0041", "\'" or "\"" into something else.
    const std::wstring tricky = temp.MakeFolder(L"it's a 'folder'");
    temp.MakeFile(L"it's a 'folder'\\'quoted'.txt");
    temp.MakeFile(L"it's a 'folder'\\n.txt");
    temp.MakeFile(L"it's a 'folder'\\u0041.txt");
    temp.MakeFile(L"it's a 'folder'\\x41 & 0.txt");
    const std::wstring emptyFolder = temp.MakeFolder(L"empty");
    // Names no file system here would hold, but a drop may carry: they are passed on as they are.
    const std::wstring quoted = temp.Path() + L"\\say \"hi\".txt";
    const std::wstring lineBreaks = temp.Path() + L"\\two\r\nlines\u2028and\u2029more.txt";
    const std::wstring markup = temp.Path() + L"\\</script><script>alert(1)</script>.txt";
    const std::wstring longName = temp.Path() + L"\\" + std::wstring(300, L'x') + L".txt";

    const std::vector<std::wstring> dropped = {plain,      photos, quoted, emptyFolder, apostrophe,
                                               lineBreaks, tricky, markup, longName};
    std::vector<std::wstring> expected;
    for (const std::wstring& name : dropped) {
        if (GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES &&
            (GetFileAttributesW(name.c_str()) & FILE_ATTRIBUTE_DIRECTORY))
            ListBelow(name, expected);
        else
            expected.push_back(name);
    }
    ASSERT_EQ(expected.size(), 16u) << "the fixture itself is not as meant";

    ASSERT_NE(window_.Create(), nullptr);
    const HDROP drop = MakeDrop(dropped);
    ASSERT_NE(drop, nullptr);
    EXPECT_EQ(SendMessageW(window_.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0), 0);

    ASSERT_EQ(scripts_.size(), 1u);
    const std::vector<std::wstring> names = NamesHandedToPage(scripts_[0]);
    ASSERT_EQ(names.size(), expected.size());
    for (size_t k = 0; k < names.size(); ++k)
        EXPECT_EQ(names[k], expected[k]) << "item " << k;
}

TEST_F(UIWindowTest, HandsAnEmptyListForAnEmptyFolder)
{
    TempDir temp;
    const std::wstring empty = temp.MakeFolder(L"nothing here");
    ASSERT_NE(window_.Create(), nullptr);
    SendMessageW(window_.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({empty})), 0);
    ASSERT_EQ(scripts_.size(), 1u);
    EXPECT_TRUE(NamesHandedToPage(scripts_[0]).empty()) << Utf16ToUtf8(scripts_[0]);
}

TEST_F(UIWindowTest, IgnoresADropWithoutHandle)
{
    ASSERT_NE(window_.Create(), nullptr);
    EXPECT_EQ(SendMessageW(window_.Handle(), WM_DROPFILES, 0, 0), 0);
    EXPECT_TRUE(scripts_.empty());
}

TEST_F(UIWindowTest, GivesUpWithOneClearMessageWhenThePageNeverLoads)
{
    window_.SetLoadTimeout(200);
    const HWND handle = window_.Create();
    ASSERT_NE(handle, nullptr);
    std::cout << "browser control: " << (window_.HasBrowser() ? "offers IWebBrowser2" : "no IWebBrowser2") << "\n";

    // Pumps as the program's loop would, for a bounded while.
    bool quit = false;
    int quitCode = -1;
    for (int round = 0; round < 600 && IsWindow(handle) && !IsWindowVisible(handle); ++round) {
        quit = DrainMessages(&quitCode) || quit;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    if (IsWindow(handle) && IsWindowVisible(handle)) GTEST_SKIP() << "the page loaded here: nothing fails";
    quit = DrainMessages(&quitCode) || quit;

    EXPECT_FALSE(IsWindow(handle)) << "the window must be destroyed";
    EXPECT_EQ(window_.Handle(), nullptr);
    EXPECT_EQ(window_.ControlHost(), nullptr) << "the control host goes with the window";
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0].rfind(L"Varenko cannot start: ", 0), 0u) << Utf16ToUtf8(errors_[0]);
    std::cout << "start-up failure told: " << Utf16ToUtf8(errors_[0]) << "\n";
    EXPECT_TRUE(quit) << "the message loop must be told to end";
    EXPECT_EQ(quitCode, 0);
    EXPECT_TRUE(scripts_.empty());

    // Nothing is told twice, however long the thread keeps running.
    for (int round = 0; round < 10; ++round) {
        DrainMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    EXPECT_EQ(errors_.size(), 1u);
}

// The window's own browser event sink, reached as the browser reaches it, so that events can be
// fired at the window exactly as the browser would fire them.
class BrowserEventTest : public UIWindowTest {
protected:
    void SetUp() override
    {
        UIWindowTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_NE(window_.Create(), nullptr);
        if (!window_.HasBrowser()) GTEST_SKIP() << "no browser control here";
        ASSERT_EQ(AxGetControl(window_.ControlHost(), IID_IWebBrowser2, browser_.PutVoid()), S_OK);
        ComPtr<IConnectionPointContainer> container =
            browser_.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
        ASSERT_TRUE(container);
        ComPtr<IConnectionPoint> point;
        ASSERT_EQ(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Put()), S_OK);
        ComPtr<IEnumConnections> connections;
        if (FAILED(point->EnumConnections(connections.Put())) || !connections)
            GTEST_SKIP() << "the browser control does not list its connections";
        CONNECTDATA data{};
        while (!sink_ && connections->Next(1, &data, nullptr) == S_OK) {
            if (data.pUnk) {
                data.pUnk->QueryInterface(IID_IDispatch, sink_.PutVoid());
                data.pUnk->Release();
            }
        }
        ASSERT_TRUE(sink_) << "the window did not connect to the browser's events";
    }

    void TearDown() override
    {
        sink_.Reset();
        browser_.Reset();
        UIWindowTest::TearDown();
    }

    IDispatch* TopFrame() const { return static_cast<IDispatch*>(browser_.Get()); }

    // Arguments go last first, as the browser passes them.
    void Fire(DISPID id, std::vector<VARIANT> lastFirst)
    {
        DISPPARAMS params{lastFirst.data(), nullptr, static_cast<UINT>(lastFirst.size()), 0};
        EXPECT_EQ(sink_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
                  S_OK);
    }

    static VARIANT Typed(VARTYPE type)
    {
        VARIANT v;
        VariantInit(&v);
        v.vt = type;
        return v;
    }
    static VARIANT Dispatch(IDispatch* dispatch)
    {
        VARIANT v = Typed(VT_DISPATCH);
        v.pdispVal = dispatch;
        return v;
    }
    static VARIANT ByRef(VARIANT* value)
    {
        VARIANT v = Typed(VT_VARIANT | VT_BYREF);
        v.pvarVal = value;
        return v;
    }
    static VARIANT BoolRef(VARIANT_BOOL* value)
    {
        VARIANT v = Typed(VT_BOOL | VT_BYREF);
        v.pboolVal = value;
        return v;
    }

    // Fires BeforeNavigate2 for the top frame; answers whether the window cancelled it.
    bool CancelsNavigation(const std::wstring& url)
    {
        VARIANT address, flags, target, postData, headers;
        for (VARIANT* v : {&address, &flags, &target, &postData, &headers})
            VariantInit(v);
        address.vt = VT_BSTR;
        address.bstrVal = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
        flags.vt = VT_I4;
        VARIANT_BOOL cancel = VARIANT_FALSE;
        Fire(DISPID_BEFORENAVIGATE2, {BoolRef(&cancel), ByRef(&headers), ByRef(&postData), ByRef(&target),
                                      ByRef(&flags), ByRef(&address), Dispatch(TopFrame())});
        VariantClear(&address);
        return cancel != VARIANT_FALSE;
    }

    void FireNavigateError(IDispatch* frame, const std::wstring& url)
    {
        VARIANT address, target, status;
        for (VARIANT* v : {&address, &target, &status})
            VariantInit(v);
        address.vt = VT_BSTR;
        address.bstrVal = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
        status.vt = VT_I4;
        status.lVal = INET_E_RESOURCE_NOT_FOUND;
        VARIANT_BOOL cancel = VARIANT_FALSE;
        Fire(DISPID_NAVIGATEERROR,
             {BoolRef(&cancel), ByRef(&status), ByRef(&target), ByRef(&address), Dispatch(frame)});
        VariantClear(&address);
    }

    // Lets posted work run for a bounded number of rounds, or until the window is gone.
    void Pump()
    {
        for (int round = 0; round < 20 && window_.Handle(); ++round) {
            DrainMessages();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        DrainMessages();
    }

    ComPtr<IWebBrowser2> browser_;
    ComPtr<IDispatch> sink_;
};

TEST_F(BrowserEventTest, LetsOnlyThePagesOwnAddressesLoad)
{
    const struct {
        const wchar_t* url;
        bool cancelled;
    } cases[] = {
        {L"about:blank", false},
        {kPageUrl, false},
        {L"HTTP://Varenko.LocalHost/varenko/UI?x#y", false},
        {L"http://varenko.localhost/varenko/app.js", false},
        // Web addresses are also cancelled but handed to the user's browser, so none is tried here.
        {L"file:///C:/windows/win.ini", true},
        {L"C:\\windows\\win.ini", true},
        {L"javascript:alert(1)", true},
        {L"about:foo", true},
        {L"res://ieframe.dll/navcancl.htm", true},
        {L"ftp://example.com/x", true},
        {L"", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CancelsNavigation(c.url), c.cancelled) << Utf16ToUtf8(c.url);
    EXPECT_TRUE(IsWindow(window_.Handle()));
    EXPECT_TRUE(errors_.empty());
}

TEST_F(BrowserEventTest, NeverLetsANewWindowOpen)
{
    // Web addresses would be handed to the user's browser, so none is tried here.
    for (const wchar_t* url : {L"about:blank", L"file:///C:/x.txt", L"javascript:void(0)"}) {
        VARIANT_BOOL cancel = VARIANT_FALSE;
        VARIANT out;
        VariantInit(&out);
        VARIANT urlContext, flags, address;
        VariantInit(&urlContext);
        VariantInit(&flags);
        VariantInit(&address);
        flags.vt = VT_I4;
        address.vt = VT_BSTR;
        address.bstrVal = SysAllocString(url);
        urlContext.vt = VT_BSTR;
        urlContext.bstrVal = SysAllocString(kPageUrl);
        IDispatch* newWindow = nullptr;
        out.vt = VT_DISPATCH | VT_BYREF;
        out.ppdispVal = &newWindow;
        Fire(DISPID_NEWWINDOW3, {address, urlContext, flags, BoolRef(&cancel), out});
        EXPECT_NE(cancel, VARIANT_FALSE) << Utf16ToUtf8(url);
        EXPECT_EQ(newWindow, nullptr);
        VariantClear(&address);
        VariantClear(&urlContext);
    }
}

TEST_F(BrowserEventTest, GivesUpOnceWhenThePageItselfFailsToLoad)
{
    const HWND handle = window_.Handle();
    FireNavigateError(TopFrame(), kPageUrl);
    FireNavigateError(TopFrame(), L"http://varenko.localhost/varenko/UI/");
    Pump();
    EXPECT_FALSE(IsWindow(handle));
    ASSERT_EQ(errors_.size(), 1u);
    EXPECT_EQ(errors_[0].rfind(L"Varenko cannot start: ", 0), 0u) << Utf16ToUtf8(errors_[0]);
    EXPECT_NE(errors_[0].find(kPageUrl), std::wstring::npos) << Utf16ToUtf8(errors_[0]);
}

TEST_F(BrowserEventTest, CarriesOnWhenOnlyAFrameOrAnotherAddressFails)
{
    FireNavigateError(nullptr, kPageUrl);
    FireNavigateError(TopFrame(), L"http://example.com/");
    FireNavigateError(TopFrame(), L"about:blank");
    Pump();
    EXPECT_TRUE(IsWindow(window_.Handle()));
    EXPECT_TRUE(errors_.empty());
}

TEST_F(BrowserEventTest, RefusesTheExternalObjectWhileThePageIsNotShown)
{
    // The control here shows about:blank (or nothing): no document may reach the user's files.
    IDispatch* external = reinterpret_cast<IDispatch*>(1);
    EXPECT_NE(window_.Handler().GetExternal(&external), S_OK);
    EXPECT_EQ(external, nullptr);
}

// Keys and the host: the function keys are kept from the page, everything else is offered to the
// browser control only when the focus is inside it.
class PreTranslateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!CanCreateWindows()) GTEST_SKIP() << "no display: windows cannot be created";
        host_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host_, nullptr);
    }
    void TearDown() override
    {
        if (host_) DestroyWindow(host_);
    }

    static MSG Message(UINT id, WPARAM wParam, LPARAM lParam = 0)
    {
        MSG message{};
        message.message = id;
        message.wParam = wParam;
        message.lParam = lParam;
        return message;
    }

    HWND host_ = nullptr;
};

TEST_F(PreTranslateTest, ConsumesEveryFunctionKeyPress)
{
    for (WPARAM key = VK_F1; key <= VK_F12; ++key) {
        MSG message = Message(WM_KEYDOWN, key);
        message.hwnd = host_;
        EXPECT_TRUE(PreTranslateMessage(message, host_)) << "F" << (key - VK_F1 + 1);
    }
}

TEST_F(PreTranslateTest, PassesOtherKeysMouseAndNonInputMessages)
{
    const struct {
        const char* label;
        UINT id;
        WPARAM wParam;
    } cases[] = {
        {"key before F1", WM_KEYDOWN, VK_F1 - 1},
        {"F13", WM_KEYDOWN, VK_F13},
        {"letter", WM_KEYDOWN, 'A'},
        {"tab", WM_KEYDOWN, VK_TAB},
        {"enter", WM_KEYDOWN, VK_RETURN},
        {"character F5 code", WM_CHAR, VK_F5},
        {"mouse press", WM_LBUTTONDOWN, MK_LBUTTON},
        {"wheel", WM_MOUSEWHEEL, 0},
        {"paint", WM_PAINT, 0},
        {"timer", WM_TIMER, 1},
        {"null", WM_NULL, 0},
        {"command", WM_COMMAND, VK_F5},
    };
    for (const auto& c : cases) {
        MSG message = Message(c.id, c.wParam);
        message.hwnd = host_;
        EXPECT_FALSE(PreTranslateMessage(message, host_)) << c.label;
    }
}

TEST_F(PreTranslateTest, ConsumesNothingWithoutAHost)
{
    for (const UINT id : {static_cast<UINT>(WM_KEYDOWN), static_cast<UINT>(WM_LBUTTONDOWN)}) {
        MSG message = Message(id, VK_F5);
        EXPECT_FALSE(PreTranslateMessage(message, nullptr));
    }
    // A host that is gone counts as none.
    const HWND gone = host_;
    DestroyWindow(host_);
    host_ = nullptr;
    MSG message = Message(WM_KEYDOWN, VK_F5);
    EXPECT_FALSE(PreTranslateMessage(message, gone));
}

} // namespace

#include "engine/AppServices.h"
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"
#include "engine/CommandEngine.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A registry key of the test's own under HKEY_CURRENT_USER, removed with everything below it at
// the end; the user's real settings are never touched.
class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() : key_(L"Software\\Varenko-test-" + std::to_wstring(GetCurrentProcessId())) {}
    ~SettingsTest() override
    {
        if (overridden_) RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
    }

    const wchar_t* Key() const { return key_.c_str(); }

    void WriteRaw(const wchar_t* name, DWORD type, const std::string& bytes)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Key(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // Type and byte count of a stored value, read past the code under test.
    bool Stored(const wchar_t* subKey, const wchar_t* name, DWORD& type, DWORD& size)
    {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
        const bool ok = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
        RegCloseKey(key);
        return ok;
    }

    // Makes HKEY_CURRENT_USER of this process stand for the test's key, so that the commands'
    // own key lands below it.
    bool RedirectCurrentUser()
    {
        HKEY key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, Key(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return false;
        overridden_ = RegOverridePredefKey(HKEY_CURRENT_USER, key) == ERROR_SUCCESS;
        RegCloseKey(key);
        return overridden_;
    }

private:
    std::wstring key_;
    bool overridden_ = false;
};

TEST_F(SettingsTest, ReadsBackWhatWasWrittenAsTwoBytesPerCodeUnit)
{
    const std::wstring values[] = {L"abc", L"", L"\u041F\u0440\u0438\u0432\u0435\u0442 \U0001F600",
                                   L"quote \" and backslash \\", std::wstring(3000, L'x')};
    for (const std::wstring& value : values) {
        SCOPED_TRACE(Utf16ToUtf8(value.substr(0, 40)));
        WriteSetting(L"name", value, Key());
        EXPECT_EQ(ReadSetting(L"name", Key()), value);
        DWORD type = 0, size = 0;
        ASSERT_TRUE(Stored(Key(), L"name", type, size));
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(size, value.size() * 2);
    }
}

TEST_F(SettingsTest, ReadsEmptyTextForANameNeverWrittenAndForAKeyThatDoesNotExist)
{
    EXPECT_EQ(ReadSetting(L"never", Key()), L"");
    WriteSetting(L"other", L"x", Key());
    EXPECT_EQ(ReadSetting(L"never", Key()), L"");
    EXPECT_EQ(ReadSetting(L"other", (std::wstring(Key()) + L"\\missing").c_str()), L"");
}

struct RawValue {
    const char* what;
    DWORD type;
    std::string bytes;
    std::wstring expected;
};

TEST_F(SettingsTest, ReadsValuesOfOddLengthOrOtherTypesWithinTheirData)
{
    const RawValue cases[] = {
        {"text of odd length", REG_SZ, std::string("a\0b\0c", 5), L"ab"},
        {"one byte of text", REG_SZ, std::string("a", 1), L""},
        {"text with a null inside", REG_SZ, std::string("a\0\0\0b\0", 6), L"a"},
        {"text with its null", REG_SZ, std::string("x\0y\0\0\0", 6), L"xy"},
        {"empty text", REG_SZ, std::string(), L""},
        {"binary of odd length", REG_BINARY, std::string("A\0B\0C", 5), L"AB"},
        {"binary with nulls", REG_BINARY, std::string("A\0\0\0B\0", 6), std::wstring(L"A\0B", 3)},
        {"number", REG_DWORD, std::string("A\0B\0", 4), L"AB"},
    };
    for (const RawValue& c : cases) {
        SCOPED_TRACE(c.what);
        WriteRaw(L"raw", c.type, c.bytes);
        EXPECT_EQ(ReadSetting(L"raw", Key()), c.expected);
    }
}

TEST_F(SettingsTest, StoresTheTextOfAnyMemberThroughTheCommands)
{
    if (!RedirectCurrentUser()) GTEST_SKIP() << "HKEY_CURRENT_USER cannot be redirected here";
    auto handler = std::make_unique<CommandEngine>();
    const struct {
        const wchar_t* value;
        const wchar_t* expected;
    } cases[] = {
        {LR"("abc")", L"abc"}, {L"42", L"42"}, {L"-7", L"-7"}, {L"true", L"true"},
        {L"false", L"false"},  {L"null", L""}, {L"[1]", L""},  {LR"("\u00e9t\u00e9")", L"\u00E9t\u00E9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.value));
        // The value is JSON text of each kind, escapes included: that text is the point, so the
        // request stays raw text.
        EXPECT_EQ(AnswerTo(*handler, std::wstring(LR"({"cmd":"setsetting","name":"lang","value":)") + c.value + L"}"),
                  L"");
        EXPECT_EQ(AnswerTo(*handler, Request(L"getsetting").Text(L"name", L"lang")), c.expected);
    }
    EXPECT_EQ(AnswerTo(*handler, Request(L"getsetting").Text(L"name", L"never written")), L"");
    // The commands' own key, below the redirected HKEY_CURRENT_USER.
    DWORD type = 0, size = 0;
    ASSERT_TRUE(Stored(kSettingsKey, L"lang", type, size));
    EXPECT_EQ(size, 6u);
}

TEST_F(SettingsTest, RefusesAValueOverOneMebibyteAndKeepsTheStoredOne)
{
    const std::wstring largest(kMaxSettingBytes / 2, L'x');
    EXPECT_TRUE(WriteSetting(L"name", largest, Key()));
    EXPECT_TRUE(ReadSetting(L"name", Key()) == largest);
    EXPECT_FALSE(WriteSetting(L"name", std::wstring(kMaxSettingBytes / 2 + 1, L'y'), Key()));
    EXPECT_TRUE(ReadSetting(L"name", Key()) == largest);

    // Through the command, which answers nothing either way.
    if (!RedirectCurrentUser()) GTEST_SKIP() << "HKEY_CURRENT_USER cannot be redirected here";
    auto handler = std::make_unique<CommandEngine>();
    const auto set = [&handler](const std::wstring& value) {
        return AnswerTo(*handler, Request(L"setsetting").Text(L"name", L"lang").Text(L"value", value));
    };
    EXPECT_EQ(set(L"en"), L"");
    EXPECT_EQ(set(std::wstring(kMaxSettingBytes, L'z')), L"");
    EXPECT_EQ(AnswerTo(*handler, Request(L"getsetting").Text(L"name", L"lang")), L"en");
    DWORD type = 0, size = 0;
    ASSERT_TRUE(Stored(kSettingsKey, L"lang", type, size));
    EXPECT_EQ(size, 4u);
}

TEST(AppVersion, PrintsEachPartOfTheFileVersionAsASignedNumber)
{
    EXPECT_EQ(GetAppVersion(OwnModulePath()), L"1.2.-32768.-1");
    auto handler = std::make_unique<CommandEngine>();
    EXPECT_EQ(AnswerTo(*handler, Request(L"GetAppVer")), L"1.2.-32768.-1");
}

TEST(AppVersion, IsEmptyForAFileWithoutAVersionAndForAMissingFile)
{
    TempDir dir;
    EXPECT_EQ(GetAppVersion(dir.MakeFile(L"plain.exe", "MZ not really a program")), L"");
    EXPECT_EQ(GetAppVersion(dir.Path() + L"\\missing.exe"), L"");
}

TEST(AppServiceCommands, AnswerPlainTextOrNothing)
{
    auto handler = std::make_unique<CommandEngine>();
    EXPECT_EQ(AnswerTo(*handler, Request(L"getcmdline")), GetCommandLineW());
    EXPECT_EQ(AnswerTo(*handler, Request(L"log").Bool(L"data", true)), L"");
    EXPECT_EQ(AnswerTo(*handler, Request(L"openurl").Text(L"url", L"not an address")), L"");
}

struct AddressCase {
    const wchar_t* text;
    bool opens;
};

TEST(WebOrMailAddress, AcceptsOnlyWebAndMailAddresses)
{
    const AddressCase cases[] = {
        {L"https://example.com/a?b=c#d", true},
        {L"http://example.com", true},
        {L"HTTP://EXAMPLE.COM/PATH", true},
        {L"hTTpS://example.com:8080/", true},
        {L"https://user@example.com/%20space", true},
        {L"mailto:someone@example.com", true},
        {L"MailTo:someone@example.com?subject=Hi", true},
        {L"", false},
        {L"example.com", false},
        {L"www.example.com", false},
        {L"C:\\Windows\\notepad.exe", false},
        {L"C:/Windows/notepad.exe", false},
        {L"notepad", false},
        {L"\\\\server\\share\\tool.exe", false},
        {L"file:///C:/Windows/notepad.exe", false},
        {L"ftp://example.com", false},
        {L"javascript:alert(1)", false},
        {L"shell:startup", false},
        {L"ms-settings:", false},
        {L"httpx://example.com", false},
        {L"http:example.com", false},
        {L"http:/example.com", false},
        {L"http:\\\\example.com", false},
        {L"http://", false},
        {L"http:///etc", false},
        {L"mailto:", false},
        {L"http://example.com\\..\\..\\Windows\\notepad.exe", false},
        {L" http://example.com", false},
        {L"http://example.com /c calc", false},
        {L"http://example.com\t", false},
        {L"http://example.com\r\nnext", false},
        {L"\"http://example.com\"", false},
        {L"http://example.com|calc", false},
        {L"http://example.com\u3000", false},
        {L"..\\http://example.com", false},
        {L"http\u0000://x", false},
        // Mail programs attach the files such parameters name.
        {L"mailto:someone@example.com?attach=C:\\Users\\me\\secret.doc", false},
        {L"mailto:someone@example.com?subject=Hi&ATTACH=/etc/passwd", false},
        {L"mailto:someone@example.com?body=x;Attachment=C:/a.txt", false},
        {L"mailto:someone@example.com?%61ttach=C:/a.txt", false},
        {L"mailto:someone@example.com&attach=C:/a.txt", false},
        {L"mailto:someone@example.com?attach", false},
        {L"mailto:attach@example.com?subject=attach=this", true},
        {L"mailto:someone@example.com?subject=Files%20attached&body=see%20attach", true},
        {L"https://example.com/?attach=x", true},
    };
    for (const AddressCase& c : cases) {
        EXPECT_EQ(IsWebOrMailAddress(c.text), c.opens) << Utf16ToUtf8(c.text);
    }
}

TEST(WebOrMailAddress, RefusesAddressesLongerThan2048Characters)
{
    const std::wstring web = L"https://example.com/";
    const std::wstring mail = L"mailto:someone@example.com?body=";
    for (const std::wstring& start : {web, mail}) {
        EXPECT_TRUE(IsWebOrMailAddress(start + std::wstring(2048 - start.size(), L'a'))) << Utf16ToUtf8(start);
        EXPECT_FALSE(IsWebOrMailAddress(start + std::wstring(2049 - start.size(), L'a'))) << Utf16ToUtf8(start);
        EXPECT_FALSE(IsWebOrMailAddress(start + std::wstring(1 << 20, L'a'))) << Utf16ToUtf8(start);
    }
}

// The size travels as JSON text inside a string member, as the page sends it.
std::wstring SetWinSize(const std::wstring& size)
{
    return Request(L"setwinsize").Text(L"size", size);
}

TEST(WindowCommands, WithoutAWindowReportZeroAndMoveNothing)
{
    auto handler = std::make_unique<CommandEngine>();
    EXPECT_EQ(AnswerTo(*handler, Request(L"getwinsize")), LR"({"width":0,"height":0})");
    EXPECT_EQ(AnswerTo(*handler, SetWinSize(Object().Number(L"width", 1000).Number(L"height", 700).Number(L"x", 1))),
              LR"({"width":1000,"height":700,"x":1})");
    EXPECT_EQ(AnswerTo(*handler, SetWinSize(L"wide")), L"");
    EXPECT_EQ(AnswerTo(*handler, Request(L"setwinsize")), L"");
}

// A plain top-level window for the window commands; needs a display.
class TestWindow {
public:
    explicit TestWindow(HWND owner = nullptr, DWORD style = WS_OVERLAPPEDWINDOW)
    {
        static const ATOM windowClass = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"VarenkoTestWindow";
            return RegisterClassW(&wc);
        }();
        if (windowClass)
            window_ = CreateWindowExW(0, L"VarenkoTestWindow", L"test", style, 10, 20, 300, 200, owner, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    ~TestWindow()
    {
        if (window_) DestroyWindow(window_);
    }
    HWND Get() const { return window_; }

private:
    HWND window_ = nullptr;
};

RECT WindowRect(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

RECT WorkArea(HWND window)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

TEST(WindowCommands, SizeTheWindowAndCentreItInItsWorkArea)
{
    TestWindow window;
    if (!window.Get()) GTEST_SKIP() << "no display to create a window on";
    const RECT work = WorkArea(window.Get());
    if (work.right - work.left < 1000 || work.bottom - work.top < 700) GTEST_SKIP() << "work area too small";

    auto handler = std::make_unique<CommandEngine>();
    handler->SetWindow(window.Get());
    EXPECT_EQ(AnswerTo(*handler, SetWinSize(Object().Number(L"width", 1000).Number(L"height", 700).Number(L"x", 1))),
              LR"({"width":1000,"height":700,"x":1})");
    const RECT rect = WindowRect(window.Get());
    EXPECT_EQ(rect.right - rect.left, 1000);
    EXPECT_EQ(rect.bottom - rect.top, 700);
    EXPECT_EQ(rect.left, (work.left + work.right) / 2 - 500);
    EXPECT_EQ(rect.top, (work.top + work.bottom) / 2 - 350);
    EXPECT_EQ(AnswerTo(*handler, Request(L"getwinsize")), LR"({"width":1000,"height":700})");

    // Not JSON: the window stays as it is.
    EXPECT_EQ(AnswerTo(*handler, SetWinSize(L"{\"width\":")), L"");
    const RECT after = WindowRect(window.Get());
    EXPECT_TRUE(EqualRect(&rect, &after));
}

TEST(WindowCommands, KeepAWindowLargerThanTheWorkAreaAtItsTopLeftCorner)
{
    TestWindow window;
    if (!window.Get()) GTEST_SKIP() << "no display to create a window on";
    const RECT work = WorkArea(window.Get());
    const int width = work.right - work.left + 200;
    const int height = work.bottom - work.top + 100;
    MoveWindow(window.Get(), 0, 0, width, height, FALSE);
    CentreWindow(window.Get());
    const RECT rect = WindowRect(window.Get());
    EXPECT_EQ(rect.left, work.left);
    EXPECT_EQ(rect.top, work.top);
}

TEST(WindowCommands, CentreAnOwnedWindowOnItsVisibleOwner)
{
    TestWindow owner;
    if (!owner.Get()) GTEST_SKIP() << "no display to create a window on";
    const RECT work = WorkArea(owner.Get());
    MoveWindow(owner.Get(), work.left + 40, work.top + 30, 400, 300, FALSE);
    ShowWindow(owner.Get(), SW_SHOWNOACTIVATE);
    TestWindow owned(owner.Get());
    ASSERT_TRUE(owned.Get());
    MoveWindow(owned.Get(), 0, 0, 150, 80, FALSE);
    // The system may widen a small window to fit its caption; the rule centres what it got.
    const RECT start = WindowRect(owned.Get());
    const int width = start.right - start.left;
    const int height = start.bottom - start.top;

    CentreWindow(owned.Get());
    const RECT ownerRect = WindowRect(owner.Get());
    RECT rect = WindowRect(owned.Get());
    EXPECT_EQ(rect.left, (ownerRect.left + ownerRect.right) / 2 - width / 2);
    EXPECT_EQ(rect.top, (ownerRect.top + ownerRect.bottom) / 2 - height / 2);

    // A hidden owner does not count: the work area is the reference.
    ShowWindow(owner.Get(), SW_HIDE);
    CentreWindow(owned.Get());
    rect = WindowRect(owned.Get());
    EXPECT_EQ(rect.left, (work.left + work.right) / 2 - width / 2);
    EXPECT_EQ(rect.top, (work.top + work.bottom) / 2 - height / 2);
}

} // namespace

// The COM face of the commands: its interfaces, the one method the page calls, what that method
// takes, and that no failure leaves it. The commands themselves are the engine's tests.
#include "app/UIHandler.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Calls Invoke the way the browser does and tells whether a result was set.
struct InvokeOutcome {
    HRESULT hr;
    bool answered;
    std::wstring answer;
};

InvokeOutcome InvokeWith(UIHandler& handler, VARIANT argument, DISPID id = UIHandler::kJsonCommandId)
{
    DISPPARAMS params{&argument, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    result.vt = VT_I4; // a sentinel that only a set result replaces
    result.lVal = 12345;
    InvokeOutcome outcome{
        handler.Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), false, {}};
    if (result.vt == VT_BSTR) {
        outcome.answered = true;
        outcome.answer.assign(result.bstrVal ? result.bstrVal : L"", SysStringLen(result.bstrVal));
    } else {
        EXPECT_TRUE(result.vt == VT_I4 && result.lVal == 12345) << "the result was touched";
    }
    VariantClear(&result);
    return outcome;
}

InvokeOutcome InvokeText(UIHandler& handler, const std::wstring& request, DISPID id = UIHandler::kJsonCommandId)
{
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = SysAllocStringLen(request.data(), static_cast<UINT>(request.size()));
    InvokeOutcome outcome = InvokeWith(handler, argument, id);
    VariantClear(&argument);
    return outcome;
}

std::wstring SetModifyTime(const std::wstring& file, const std::wstring& time)
{
    return Request(L"setprops")
        .Text(L"filename", file)
        .Text(L"cat", L"datetime")
        .Object(L"props", Object().Text(L"modifytime", time));
}

} // namespace

TEST(UIHandlerInterfaces, FindJsonCommandInAnyLetterCaseAndNothingElse)
{
    UIHandler handler;
    const struct {
        const wchar_t* name;
        HRESULT hr;
        DISPID id;
    } cases[] = {
        {L"JsonCommand", S_OK, 9001},
        {L"jsoncommand", S_OK, 9001},
        {L"JSONCOMMAND", S_OK, 9001},
        {L"Json", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
        {L"JsonCommand2", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
        {L"", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
    };
    for (const auto& c : cases) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
        DISPID id = 77;
        EXPECT_EQ(handler.GetIDsOfNames(IID_NULL, names, 1, 0, &id), c.hr) << c.name;
        EXPECT_EQ(id, c.id) << c.name;
    }
}

TEST(UIHandlerInterfaces, HandOutEachInterfaceThroughItsOwnBaseWithoutCounting)
{
    UIHandler handler;
    void* out = nullptr;
    EXPECT_EQ(handler.QueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, static_cast<IDocHostUIHandler*>(&handler));
    EXPECT_EQ(handler.QueryInterface(IID_IDocHostUIHandler, &out), S_OK);
    EXPECT_EQ(out, static_cast<IDocHostUIHandler*>(&handler));
    EXPECT_EQ(static_cast<IDispatch*>(&handler)->QueryInterface(IID_IDispatch, &out), S_OK);
    EXPECT_EQ(out, static_cast<IDispatch*>(&handler));
    EXPECT_EQ(handler.QueryInterface(IID_IStream, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(handler.AddRef(), 1u);
    EXPECT_EQ(static_cast<IDispatch*>(&handler)->Release(), 1u);

    IDispatch* external = nullptr;
    EXPECT_EQ(handler.GetExternal(&external), S_OK);
    EXPECT_EQ(external, static_cast<IDispatch*>(&handler));
}

TEST(UIHandlerInterfaces, AskTheControlForNoBorderNoScrollBarsAndOnlyTouchTheFlags)
{
    UIHandler handler;
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof info;
    info.dwDoubleClick = 7;
    info.pchHostCss = reinterpret_cast<OLECHAR*>(0x1234);
    EXPECT_EQ(handler.GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, 0x4004400Cu);
    EXPECT_EQ(info.dwDoubleClick, 0u);
    EXPECT_EQ(info.pchHostCss, reinterpret_cast<OLECHAR*>(0x1234));
    EXPECT_EQ(handler.TranslateAccelerator(nullptr, nullptr, 0), S_FALSE);
    EXPECT_EQ(handler.GetDropTarget(nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(handler.ShowContextMenu(0, nullptr, nullptr, nullptr), S_OK);
}

TEST(UIHandlerInvoke, RefusesAnotherIdentifierOrArgumentCountBeforeRunningAnything)
{
    UIHandler handler;
    EXPECT_EQ(InvokeText(handler, Request(L"getcmdline"), 9000).hr, E_INVALIDARG);

    VARIANT arguments[2];
    VariantInit(&arguments[0]);
    VariantInit(&arguments[1]);
    VARIANT result;
    VariantInit(&result);
    for (UINT count : {0u, 2u}) {
        DISPPARAMS params{arguments, nullptr, count, 0};
        EXPECT_EQ(handler.Invoke(9001, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), E_FAIL);
        EXPECT_EQ(result.vt, VT_EMPTY);
    }
    EXPECT_EQ(handler.Invoke(9001, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr), E_FAIL);
}

// The requests of the next three tests stay raw text: what they try is how the text itself is
// taken (not JSON, no command word, hostile or wrongly typed members).
TEST(UIHandlerInvoke, GivesNoResultForTextThatIsNotJson)
{
    UIHandler handler;
    for (const wchar_t* text : {L"not json", L"", L"{", L"{\"cmd\":}", L"[1,]", L"\"open"}) {
        const InvokeOutcome outcome = InvokeText(handler, text);
        EXPECT_EQ(outcome.hr, S_OK) << text;
        EXPECT_FALSE(outcome.answered) << text;
    }
}

TEST(UIHandlerInvoke, AnswersEmptyTextForRequestsThatNameNoCommand)
{
    UIHandler handler;
    // "log" alone must match in lower case; every other name ignores case.
    for (const wchar_t* text :
         {L"{}", L"{\"cmd\":\"nosuch\"}", L"{\"cmd\":\"LOG\",\"data\":\"x\"}", L"{\"cmd\":[\"getprops\"]}", L"[1, 2]",
          L"\"getprops\"", L"5", L"null", L"{\"cmd\":\"log\",\"data\":\"page loaded\"}", L"{\"cmd\":\"getprops \"}"}) {
        const InvokeOutcome outcome = InvokeText(handler, text);
        EXPECT_EQ(outcome.hr, S_OK) << text;
        EXPECT_TRUE(outcome.answered) << text;
        EXPECT_EQ(outcome.answer, L"") << text;
    }
}

TEST(UIHandlerInvoke, SurvivesHostileArguments)
{
    UIHandler handler;
    // Nesting beyond what the parser accepts is refused, not followed down the stack.
    EXPECT_FALSE(InvokeText(handler, std::wstring(200000, L'[')).answered);
    EXPECT_FALSE(InvokeText(handler, L"{\"a\":" + std::wstring(200000, L'{')).answered);

    // Unpaired surrogates are carried as replacement characters.
    std::wstring broken = L"{\"cmd\":\"getprops\",\"name\":\"x";
    broken += wchar_t(0xD800);
    broken += L"\"}";
    EXPECT_EQ(InvokeText(handler, broken).answer, L"{\"attributes\":\"\"}");

    // A long name does not overflow anything.
    const std::wstring huge = L"{\"cmd\":\"getprops\",\"name\":\"" + std::wstring(1 << 20, L'a') + L"\"}";
    EXPECT_EQ(InvokeText(handler, huge).answer, L"{\"attributes\":\"\"}");

    // An argument that is not a string gives no result.
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 5;
    const InvokeOutcome outcome = InvokeWith(handler, number);
    EXPECT_EQ(outcome.hr, S_OK);
    EXPECT_FALSE(outcome.answered);

    // Members of the wrong kinds read as empty text.
    EXPECT_EQ(InvokeText(handler, L"{\"cmd\":\"setprops\",\"filename\":[],\"cat\":{},\"props\":\"x\"}").answer,
              L"{\"error\":\"\"}");
}

// A handler and a file, for requests that reach the engine through Invoke.
class UIHandlerRequests : public ::testing::Test {
protected:
    UIHandler handler;
    TempDir dir;
    const std::wstring file = dir.MakeFile(L"a.txt");
};

TEST_F(UIHandlerRequests, ReachTheEngineAndBringItsAnswerBack)
{
    const InvokeOutcome set = InvokeText(handler, SetModifyTime(file, L"2020:01:31 13:45:00"));
    EXPECT_EQ(set.hr, S_OK);
    EXPECT_EQ(set.answer, L"{\"result\":true,\"error\":\"\"}");

    const InvokeOutcome get = InvokeText(handler, Request(L"getprops").Text(L"name", file));
    EXPECT_EQ(get.hr, S_OK);
    ASSERT_TRUE(get.answered);
    EXPECT_EQ(MemberText(Parsed(get.answer), L"modifytime"), L"2020:01:31 13:45:00");
}

TEST_F(UIHandlerRequests, GetARefusalWithAReasonForAnImpossibleDateTime)
{
    const InvokeOutcome outcome = InvokeText(handler, SetModifyTime(file, L"2020:13:01 00:00:00"));
    EXPECT_EQ(outcome.hr, S_OK);
    ASSERT_TRUE(outcome.answered);
    EXPECT_EQ(outcome.answer, L"{\"result\":false,\"error\":\"invalid date-time text for modifytime: "
                              L"2020:13:01 00:00:00 (a field is out of range)\"}");
    EXPECT_TRUE(DeleteFileW(file.c_str())) << "the file was left open";
}

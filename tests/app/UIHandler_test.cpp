#include "core/DateTime.h"
#include "app/UIHandler.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <memory>
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

// JSON string text of a Windows path, as the page would write it.
std::wstring Quoted(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'\\' || c == L'"') out += L'\\';
        out += c;
    }
    return out + L"\"";
}

class UIHandlerTest : public ::testing::Test {
protected:
    std::unique_ptr<UIHandler> handler = std::make_unique<UIHandler>();
    TempDir dir;

    std::wstring Answer(const std::wstring& request)
    {
        const InvokeOutcome outcome = InvokeText(*handler, request);
        EXPECT_EQ(outcome.hr, S_OK);
        EXPECT_TRUE(outcome.answered) << "no answer for a JSON request";
        return outcome.answer;
    }
    JsonWrapper AnswerDocument(const std::wstring& request)
    {
        JsonWrapper document;
        EXPECT_TRUE(document.Parse(Answer(request)));
        return document;
    }
    static std::wstring Text(const JsonWrapper& document, const wchar_t* name)
    {
        std::wstring text;
        document.GetMember(name).GetText(text);
        return text;
    }
};

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
    EXPECT_EQ(InvokeText(handler, L"{\"cmd\":\"getcmdline\"}", 9000).hr, E_INVALIDARG);

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

TEST_F(UIHandlerTest, FindsMembersAndCommandsWhateverTheirLetterCase)
{
    const std::wstring file = dir.MakeFile(L"a.txt");
    for (const wchar_t* form : {L"{\"CMD\":\"getprops\",\"NAME\":%ls}", L"{\"Cmd\":\"GetProps\",\"name\":%ls}"}) {
        wchar_t request[1024];
        swprintf(request, 1024, form, Quoted(file).c_str());
        const JsonWrapper answer = AnswerDocument(request);
        EXPECT_FALSE(Text(answer, L"modifytime").empty()) << request;
    }
}

TEST_F(UIHandlerTest, ReadsTimesAndAttributesInTheirFixedOrder)
{
    const std::wstring file = dir.MakeFile(L"a.txt");
    for (const wchar_t* all : {L"false", L"true"}) {
        const JsonWrapper answer =
            AnswerDocument(L"{\"cmd\":\"getprops\",\"name\":" + Quoted(file) + L",\"allprops\":" + all + L"}");
        ASSERT_EQ(answer.GetCount(), 4) << all;
        const wchar_t* names[] = {L"createtime", L"modifytime", L"accesstime", L"attributes"};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(answer.GetItem(i).GetName(), names[i]);
        EXPECT_TRUE(SplitDateTime(Text(answer, L"createtime")).has_value());
    }
    EXPECT_EQ(Answer(L"{\"cmd\":\"getprops\",\"name\":" + Quoted(dir.Path() + L"\\missing") + L"}"),
              L"{\"attributes\":\"\"}");
    EXPECT_EQ(Text(AnswerDocument(L"{\"cmd\":\"getprops\",\"name\":" + Quoted(dir.Path()) + L"}"), L"attributes"),
              L"D");
}

TEST_F(UIHandlerTest, SetsTheModifiedTimeAndReadsItBack)
{
    const std::wstring file = dir.MakeFile(L"a.txt");
    EXPECT_EQ(Answer(L"{\"cmd\":\"setprops\",\"filename\":" + Quoted(file) +
                     L",\"cat\":\"datetime\",\"props\":{\"createtime\":\"\",\"modifytime\":\"2020-01-31 "
                     L"13:45:00\",\"accesstime\":\"\"}}"),
              L"{\"result\":true,\"error\":\"\"}");
    EXPECT_EQ(Text(AnswerDocument(L"{\"cmd\":\"getprops\",\"name\":" + Quoted(file) + L"}"), L"modifytime"),
              L"2020:01:31 13:45:00");
}

TEST_F(UIHandlerTest, ReportsWhyTimesCouldNotBeSet)
{
    const std::wstring missing = dir.Path() + L"\\missing.txt";
    EXPECT_EQ(Answer(L"{\"cmd\":\"setprops\",\"filename\":" + Quoted(missing) +
                     L",\"cat\":\"datetime\",\"props\":{\"modifytime\":\"2020:01:31 13:45:00\"}}"),
              L"{\"result\":false,\"error\":\"file open failed, error: 2\"}");

    // Fields out of range end the call without an answer and leave the file closed.
    const std::wstring file = dir.MakeFile(L"b.txt");
    const InvokeOutcome outcome =
        InvokeText(*handler, L"{\"cmd\":\"setprops\",\"filename\":" + Quoted(file) +
                                 L",\"cat\":\"datetime\",\"props\":{\"modifytime\":\"2020:13:01 "
                                 L"00:00:00\"}}");
    EXPECT_EQ(outcome.hr, S_OK);
    EXPECT_FALSE(outcome.answered);
    EXPECT_TRUE(DeleteFileW(file.c_str()));
}

TEST_F(UIHandlerTest, SetsAttributeLettersAndReportsFilesThatCannotBeChanged)
{
    const std::wstring file = dir.MakeFile(L"a.txt");
    const std::wstring setReadOnly = L"{\"cmd\":\"setprops\",\"filename\":" + Quoted(file) +
                                     L",\"cat\":\"attributes\",\"props\":{\"attributes\":\"R\"}}";
    EXPECT_EQ(Answer(setReadOnly), L"{\"result\":true,\"error\":\"\"}");
    EXPECT_TRUE(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(Text(AnswerDocument(L"{\"cmd\":\"getprops\",\"name\":" + Quoted(file) + L"}"), L"attributes").find(L'R'),
              std::wstring::npos);

    EXPECT_EQ(Answer(L"{\"cmd\":\"setprops\",\"filename\":" + Quoted(file) +
                     L",\"cat\":\"attributes\",\"props\":{\"attributes\":\"A\"}}"),
              L"{\"result\":true,\"error\":\"\"}");
    EXPECT_FALSE(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(Answer(L"{\"cmd\":\"setprops\",\"filename\":" + Quoted(dir.Path() + L"\\missing") +
                     L",\"cat\":\"attributes\",\"props\":{\"attributes\":\"R\"}}"),
              L"{\"result\":false,\"error\":\"\"}");
}

TEST_F(UIHandlerTest, RunsNoHandlerForAnUnknownCategory)
{
    const std::wstring file = dir.MakeFile(L"a.txt", "unchanged");
    FILETIME created, accessed, written, after[3];
    ASSERT_TRUE(GetTimes(file, created, accessed, written));
    for (const wchar_t* category : {L"DOC", L"Exif", L"", L"datetime "}) {
        EXPECT_EQ(Answer(L"{\"cmd\":\"setprops\",\"filename\":" + Quoted(file) + L",\"cat\":\"" + category +
                         L"\",\"props\":{\"modifytime\":\"2020:01:31 13:45:00\"}}"),
                  L"{\"error\":\"\"}")
            << category;
    }
    EXPECT_EQ(ReadAll(file), "unchanged");
    ASSERT_TRUE(GetTimes(file, after[0], after[1], after[2]));
    EXPECT_EQ(Ticks(after[2]), Ticks(written));
}

TEST_F(UIHandlerTest, RoutesPropertyCommandsToTheHandlersWithoutTouchingTheFile)
{
    const std::wstring file = dir.MakeFile(L"a.txt", "content");
    for (const wchar_t* category : {L"doc", L"exif", L"media", L"avi"}) {
        EXPECT_EQ(Answer(L"{\"cmd\":\"initproplist\",\"cat\":\"" + std::wstring(category) + L"\",\"props\":\"{}\"}"),
                  L"");
        // Members of the wrong kind leave the list empty rather than failing the call.
        EXPECT_EQ(Answer(L"{\"cmd\":\"initproplist\",\"cat\":\"" + std::wstring(category) + L"\",\"props\":[1]}"), L"");
        const JsonWrapper answer =
            AnswerDocument(L"{\"cmd\":\"setprops\",\"filename\":" + Quoted(file) + L",\"cat\":\"" + category +
                           L"\",\"props\":{\"" + category + L"\":{}}}");
        bool result = true;
        EXPECT_TRUE(answer.GetMember(L"result").GetBool(result)) << category;
        EXPECT_TRUE(answer.GetMember(L"error").GetText(*std::make_unique<std::wstring>())) << category;
    }
    EXPECT_EQ(ReadAll(file), "content");
}

#include "engine/CommandEngine.h"
#include "core/DateTime.h"
#include "platform/ComError.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// An engine and a scratch folder for the files the commands read and change.
class CommandEngineTest : public ::testing::Test {
protected:
    std::wstring Answer(const std::wstring& request) { return AnswerTo(*engine, request); }
    JsonWrapper AnswerDocument(const std::wstring& request) { return Parsed(Answer(request)); }

    static JsonObject SetProps(const std::wstring& file, const std::wstring& category, const JsonObject& props)
    {
        return Request(L"setprops").Text(L"filename", file).Text(L"cat", category).Object(L"props", props);
    }
    static JsonObject GetProps(const std::wstring& file) { return Request(L"getprops").Text(L"name", file); }

    std::unique_ptr<CommandEngine> engine = std::make_unique<CommandEngine>();
    TempDir dir;
};

} // namespace

TEST(PropertyHandlers, FindTheHandlerOfEachCategoryWordExactly)
{
    auto engine = std::make_unique<CommandEngine>();
    PropertyHandlers& handlers = engine->Handlers();
    const wchar_t* order[] = {L"doc", L"exif", L"media", L"avi"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_STREQ(handlers.All()[i].category, order[i]);
        EXPECT_EQ(handlers.Find(order[i]), handlers.All()[i].handler);
    }
    for (const wchar_t* word : {L"DOC", L"Exif", L"", L"datetime", L"attributes", L"avi "})
        EXPECT_EQ(handlers.Find(word), nullptr) << word;
}

TEST_F(CommandEngineTest, FindsMembersAndCommandsWhateverTheirLetterCase)
{
    // The letter case of the member names is the point here, so the requests stay raw text.
    const std::wstring file = JsonLiteral(dir.MakeFile(L"a.txt"));
    for (const std::wstring& request :
         {L"{\"CMD\":\"getprops\",\"NAME\":" + file + L"}", L"{\"Cmd\":\"GetProps\",\"name\":" + file + L"}"}) {
        EXPECT_FALSE(MemberText(AnswerDocument(request), L"modifytime").empty()) << Utf16ToUtf8(request);
    }
}

TEST_F(CommandEngineTest, ReadsTimesAndAttributesInTheirFixedOrder)
{
    const std::wstring file = dir.MakeFile(L"a.txt");
    for (const bool all : {false, true}) {
        const JsonWrapper answer = AnswerDocument(GetProps(file).Bool(L"allprops", all));
        ASSERT_EQ(answer.GetCount(), 4) << all;
        const wchar_t* names[] = {L"createtime", L"modifytime", L"accesstime", L"attributes"};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(answer.GetItem(i).GetName(), names[i]);
        EXPECT_TRUE(SplitDateTime(MemberText(answer, L"createtime")).has_value());
    }
    EXPECT_EQ(Answer(GetProps(dir.Path() + L"\\missing")), L"{\"attributes\":\"\"}");
    EXPECT_EQ(MemberText(AnswerDocument(GetProps(dir.Path())), L"attributes"), L"D");
}

TEST_F(CommandEngineTest, SetsTheModifiedTimeAndReadsItBack)
{
    const std::wstring file = dir.MakeFile(L"a.txt");
    const JsonObject times =
        Object().Text(L"createtime", L"").Text(L"modifytime", L"2020-01-31 13:45:00").Text(L"accesstime", L"");
    EXPECT_EQ(Answer(SetProps(file, L"datetime", times)), L"{\"result\":true,\"error\":\"\"}");
    EXPECT_EQ(MemberText(AnswerDocument(GetProps(file)), L"modifytime"), L"2020:01:31 13:45:00");
}

TEST_F(CommandEngineTest, ReportsWhyTimesCouldNotBeSet)
{
    const JsonObject times = Object().Text(L"modifytime", L"2020:01:31 13:45:00");
    EXPECT_EQ(Answer(SetProps(dir.Path() + L"\\missing.txt", L"datetime", times)),
              L"{\"result\":false,\"error\":\"file open failed, error: 2\"}");
}

TEST_F(CommandEngineTest, ThrowsComErrorForDateTimeFieldsOutOfRangeAndLeavesTheFileClosed)
{
    const std::wstring file = dir.MakeFile(L"b.txt");
    const std::wstring request = SetProps(file, L"datetime", Object().Text(L"modifytime", L"2020:13:01 00:00:00"));
    std::wstring answer = L"untouched";
    HRESULT thrown = S_OK;
    try {
        engine->RunRequest(request, answer);
    } catch (const ComError& error) {
        thrown = error.Code();
    }
    EXPECT_EQ(thrown, E_FAIL);
    EXPECT_EQ(answer, L"untouched");
    EXPECT_TRUE(DeleteFileW(file.c_str())) << "the file was left open";
}

TEST_F(CommandEngineTest, SetsAttributeLettersAndReportsFilesThatCannotBeChanged)
{
    const std::wstring file = dir.MakeFile(L"a.txt");
    const auto letters = [](const wchar_t* text) { return Object().Text(L"attributes", text); };
    EXPECT_EQ(Answer(SetProps(file, L"attributes", letters(L"R"))), L"{\"result\":true,\"error\":\"\"}");
    EXPECT_TRUE(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_NE(MemberText(AnswerDocument(GetProps(file)), L"attributes").find(L'R'), std::wstring::npos);

    EXPECT_EQ(Answer(SetProps(file, L"attributes", letters(L"A"))), L"{\"result\":true,\"error\":\"\"}");
    EXPECT_FALSE(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(Answer(SetProps(dir.Path() + L"\\missing", L"attributes", letters(L"R"))),
              L"{\"result\":false,\"error\":\"\"}");
}

TEST_F(CommandEngineTest, RunsNoHandlerForAnUnknownCategory)
{
    const std::wstring file = dir.MakeFile(L"a.txt", "unchanged");
    FILETIME created, accessed, written, after[3];
    ASSERT_TRUE(GetTimes(file, created, accessed, written));
    for (const wchar_t* category : {L"DOC", L"Exif", L"", L"datetime "}) {
        EXPECT_EQ(Answer(SetProps(file, category, Object().Text(L"modifytime", L"2020:01:31 13:45:00"))),
                  L"{\"error\":\"\"}")
            << category;
    }
    EXPECT_EQ(ReadAll(file), "unchanged");
    ASSERT_TRUE(GetTimes(file, after[0], after[1], after[2]));
    EXPECT_EQ(Ticks(after[2]), Ticks(written));
}

TEST_F(CommandEngineTest, RoutesPropertyCommandsToTheHandlersWithoutTouchingTheFile)
{
    const std::wstring file = dir.MakeFile(L"a.txt", "content");
    for (const wchar_t* category : {L"doc", L"exif", L"media", L"avi"}) {
        EXPECT_EQ(Answer(Request(L"initproplist").Text(L"cat", category).Text(L"props", L"{}")), L"");
        // Members of the wrong kind leave the list empty rather than failing the call.
        EXPECT_EQ(Answer(Request(L"initproplist").Text(L"cat", category).Json(L"props", L"[1]")), L"");
        const JsonWrapper answer = AnswerDocument(SetProps(file, category, Object().Object(category, Object())));
        bool result = true;
        EXPECT_TRUE(answer.Member(L"result").GetBool(result)) << category;
        EXPECT_TRUE(answer.Member(L"error").IsString()) << category;
    }
    EXPECT_EQ(ReadAll(file), "content");
}

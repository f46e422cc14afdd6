#include "engine/CommandEngine.h"
#include "core/DateTime.h"
#include "platform/ComError.h"
#include "platform/UniqueHandle.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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

// A file of the given length, its bytes never written: large ones take no room on the disk.
bool MakeFileOfSize(const std::wstring& path, unsigned long long size)
{
    const UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    return file.IsValid() && SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.Get());
}

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
    const wchar_t* names[] = {L"createtime", L"modifytime", L"accesstime", L"attributes"};
    for (const bool all : {false, true}) {
        const JsonWrapper answer = AnswerDocument(GetProps(file).Bool(L"allprops", all));
        ASSERT_GE(answer.GetCount(), 4) << all;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(answer.GetItem(i).GetName(), names[i]);
        EXPECT_TRUE(SplitDateTime(MemberText(answer, L"createtime")).has_value());
        // With every category asked for, the handlers' members follow, in the handlers' order and
        // only those; without, there are none.
        std::vector<std::wstring> categories;
        for (int i = 4; i < answer.GetCount(); ++i)
            categories.push_back(answer.GetItem(i).GetName());
        if (!all) {
            EXPECT_TRUE(categories.empty());
            continue;
        }
        size_t next = 0;
        for (const std::wstring& category : categories) {
            const wchar_t* const order[] = {L"doc", L"exif", L"media", L"avi"};
            while (next < 4 && category != order[next])
                ++next;
            EXPECT_LT(next, 4u) << "unexpected or out of order: " << std::string(category.begin(), category.end());
            ++next;
        }
        // The media category always answers, {} for a file it cannot read.
        EXPECT_EQ(answer.Member(L"media").Copy().Print(), L"{}");
    }
    EXPECT_EQ(Answer(GetProps(dir.Path() + L"\\missing")), L"{\"attributes\":\"\"}");
    EXPECT_EQ(MemberText(AnswerDocument(GetProps(dir.Path())), L"attributes"), L"D");
}

TEST_F(CommandEngineTest, AnswersTheSizeInBytesRightAfterTheAttributesOnlyWhenAskedFor)
{
    // Sizes past what a 32-bit number holds, signed or not, must still print as plain digits. The
    // handlers' members come after the size; they are asked for with the small file only, as
    // some of them read the whole of a large one.
    const struct {
        const char* what;
        unsigned long long size;
        const wchar_t* printed;
    } cases[] = {
        {"empty", 0, L"0"},
        {"small", 5, L"5"},
        {"above 2^31", 2147483648ull + 3, L"2147483651"},
        {"above 4 GiB", 5368709120ull + 7, L"5368709127"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring file = dir.Path() + L"\\sized.bin";
        ASSERT_TRUE(MakeFileOfSize(file, c.size));
        for (const bool all : {false, true}) {
            if (all && c.size > 5) continue;
            const std::wstring answer = Answer(GetProps(file).Bool(L"allprops", all).Bool(L"size", true));
            const std::wstring attributes = L"\"attributes\":" + JsonLiteral(MemberText(Parsed(answer), L"attributes"));
            EXPECT_NE(answer.find(attributes + L",\"size\":" + c.printed + (all ? L"," : L"}")), std::wstring::npos)
                << Utf16ToUtf8(answer);
        }
        for (const wchar_t* without : {L"", L"false", L"\"true\"", L"1"}) {
            JsonObject request = GetProps(file).Bool(L"allprops", false);
            if (*without) request.Json(L"size", without);
            EXPECT_TRUE(AnswerDocument(request).Member(L"size").IsEmpty()) << Utf16ToUtf8(without);
        }
        ASSERT_TRUE(DeleteFileW(file.c_str()));
    }
    // A folder has no size of its own, and a missing file none that could be read.
    for (const std::wstring& name : {dir.MakeFolder(L"sub"), dir.Path() + L"\\missing.bin"}) {
        const JsonWrapper answer = AnswerDocument(GetProps(name).Bool(L"size", true));
        EXPECT_TRUE(answer.Member(L"size").IsEmpty()) << Utf16ToUtf8(name);
        EXPECT_TRUE(answer.Member(L"attributes").IsString());
    }
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

TEST_F(CommandEngineTest, RefusesAnImpossibleDateTimeWithAReasonAndLeavesTheFileClosed)
{
    const std::wstring file = dir.MakeFile(L"b.txt");
    const struct {
        const wchar_t* text;
        const wchar_t* why;
    } cases[] = {
        {L"2020:13:01 00:00:00", L"a field is out of range"},
        {L"2020:02:30 00:00:00", L"no such day in that month"},
        {L"2020:01:01 25:00:00", L"a field is out of range"},
    };
    for (const auto& c : cases) {
        const std::wstring request = SetProps(file, L"datetime", Object().Text(L"modifytime", c.text));
        EXPECT_EQ(Answer(request), L"{\"result\":false,\"error\":\"invalid date-time text for modifytime: " +
                                       std::wstring(c.text) + L" (" + c.why + L")\"}");
    }
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

TEST_F(CommandEngineTest, LeavesTheAttributesAloneWhenTheRequestHoldsNoLetters)
{
    const std::wstring file = dir.MakeFile(L"a.txt");
    const DWORD before = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    const struct {
        const char* what;
        JsonObject request;
    } cases[] = {
        {"no member", SetProps(file, L"attributes", Object())},
        {"an array", SetProps(file, L"attributes", Object().Json(L"attributes", L"[\"R\"]"))},
        {"a number", SetProps(file, L"attributes", Object().Number(L"attributes", 1))},
        {"an object", SetProps(file, L"attributes", Object().Object(L"attributes", Object()))},
        {"null", SetProps(file, L"attributes", Object().Json(L"attributes", L"null"))},
        {"true", SetProps(file, L"attributes", Object().Bool(L"attributes", true))},
        {"props as a string", Request(L"setprops")
                                  .Text(L"filename", file)
                                  .Text(L"cat", L"attributes")
                                  .Text(L"props", L"{\"attributes\":\"\"}")},
        {"no props", Request(L"setprops").Text(L"filename", file).Text(L"cat", L"attributes")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(SetFileAttributesW(file.c_str(), before));
        const JsonWrapper answer = AnswerDocument(c.request);
        bool result = true;
        EXPECT_TRUE(answer.Member(L"result").GetBool(result));
        EXPECT_FALSE(result);
        EXPECT_FALSE(MemberText(answer, L"error").empty());
        EXPECT_EQ(GetFileAttributesW(file.c_str()), before);
    }
    // An empty text is letters too: none, which clears what can be cleared.
    EXPECT_EQ(Answer(SetProps(file, L"attributes", Object().Text(L"attributes", L""))),
              L"{\"result\":true,\"error\":\"\"}");
    EXPECT_FALSE(GetFileAttributesW(file.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(CommandEngineTest, RefusesAFileNameHoldingANulInsteadOfCuttingItThere)
{
    const std::wstring file = dir.MakeFile(L"a.txt", "content");
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_ARCHIVE));
    FILETIME times[3];
    ASSERT_TRUE(GetTimes(file, times[0], times[1], times[2]));
    // "…\a.txt\u0000.jpg": the escape is the point, so the name goes in as JSON text.
    std::wstring name = JsonLiteral(file);
    name.insert(name.size() - 1, L"\\u0000.jpg");
    const std::wstring refused = L"{\"result\":false,\"error\":\"the file name holds a null character (U+0000)\"}";

    const struct {
        const wchar_t* category;
        JsonObject props;
    } writes[] = {
        {L"datetime", Object().Text(L"modifytime", L"2020:01:31 13:45:00")},
        {L"attributes", Object().Text(L"attributes", L"RH")},
        {L"doc", Object().Object(L"doc", Object())},
        {L"exif", Object().Object(L"exif", Object())},
        {L"media", Object().Object(L"media", Object())},
        {L"avi", Object().Object(L"avi", Object())},
    };
    for (const auto& c : writes) {
        const JsonObject request =
            Request(L"setprops").Json(L"filename", name).Text(L"cat", c.category).Object(L"props", c.props);
        EXPECT_EQ(Answer(request), refused) << Utf16ToUtf8(c.category);
    }
    // Reading has no result to report it in: the answer is empty.
    for (const bool all : {false, true})
        EXPECT_EQ(Answer(Request(L"getprops").Json(L"name", name).Bool(L"allprops", all)), L"") << all;

    FILETIME after[3];
    ASSERT_TRUE(GetTimes(file, after[0], after[1], after[2]));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Ticks(after[i]), Ticks(times[i])) << i;
    EXPECT_EQ(GetFileAttributesW(file.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(ReadAll(file), "content");
}

TEST_F(CommandEngineTest, KeepsAnsweringForAFileWhoseTimeNoTextCanShow)
{
    const std::wstring file = dir.MakeFile(L"old.txt");
    const FILETIME access = MakeFileTime(2020, 1, 31, 12, 45, 0);
    const struct {
        const char* what;
        FILETIME time;
    } cases[] = {
        {"1700", MakeFileTime(1700, 6, 1, 0, 0, 0)},
        {"1850", MakeFileTime(1850, 6, 1, 0, 0, 0)},
        {"1901", MakeFileTime(1901, 12, 14, 0, 0, 0)},
        {"1965", MakeFileTime(1965, 3, 4, 5, 6, 7)},
        {"the last day of 1969", MakeFileTime(1969, 12, 31, 0, 0, 0)},
        {"3500", MakeFileTime(3500, 1, 1, 0, 0, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(SetTimes(file, nullptr, &access, &c.time));
        FILETIME created, accessed, written;
        ASSERT_TRUE(GetTimes(file, created, accessed, written));
        // A file system with 32-bit times (as Wine's may be) keeps nothing before 1901-12-13.
        if (Ticks(written) != Ticks(c.time)) continue;
        for (const bool all : {false, true}) {
            const JsonWrapper answer = AnswerDocument(GetProps(file).Bool(L"allprops", all));
            EXPECT_TRUE(answer.Member(L"modifytime").IsString());
            EXPECT_EQ(MemberText(answer, L"modifytime"), L"");
            EXPECT_TRUE(SplitDateTime(MemberText(answer, L"accesstime")).has_value());
            EXPECT_TRUE(answer.Member(L"attributes").IsString());
        }
    }
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

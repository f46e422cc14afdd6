// The media category as a user's script meets it: page commands sent to varenko-cmd.exe, one
// request per line, on copies of files made by other tools; what was written is read back by
// mutagen and ffprobe.
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"
#include "tests/props/media/MediaChecks.h"
#include "tests/support/ConsoleProgram.h"
#include "tests/support/Fixture.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// Runs the console program with the requests as its input lines and returns the answer texts, one
// per request ("hr" must be 0 and an answer present for each).
std::vector<std::wstring> Answers(const std::vector<JsonObject>& requests)
{
    std::string input;
    for (const JsonObject& request : requests)
        input += request.Utf8() + "\n";

    bool started = false;
    const std::string output = RunConsoleProgram(L"varenko-cmd.exe", input, &started);
    EXPECT_TRUE(started) << "cannot start varenko-cmd.exe (error " << GetLastError() << ")";

    std::vector<std::wstring> answers;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const JsonWrapper result = Parsed(Utf8ToUtf16(line));
        int hr = -1;
        result.Member(L"hr").GetInt(hr);
        EXPECT_EQ(hr, 0) << line;
        EXPECT_FALSE(result.Member(L"answer").IsEmpty()) << line;
        answers.push_back(MemberText(result, L"answer"));
    }
    EXPECT_EQ(answers.size(), requests.size()) << output;
    answers.resize(requests.size());
    return answers;
}

std::wstring Answer(const JsonObject& request)
{
    return Answers({request})[0];
}

JsonObject GetProps(const std::wstring& path)
{
    return Request(L"getprops").Text(L"name", path).Bool(L"allprops", true);
}

JsonObject SetMedia(const std::wstring& path, const JsonObject& members)
{
    return Request(L"setprops")
        .Text(L"filename", path)
        .Text(L"cat", L"media")
        .Object(L"props", Object().Object(L"media", members));
}

JsonObject PropList(const std::wstring& list)
{
    return Request(L"initproplist").Text(L"cat", L"media").Text(L"props", list);
}

JsonObject Data(const std::wstring& value)
{
    return Object().Text(L"data", value);
}

// The "media" member of a "getprops" answer, printed: repeated member names stay visible.
std::wstring MediaOf(const std::wstring& answer)
{
    return Parsed(answer).Member(L"media").Copy().Print();
}

const std::wstring kWritten = L"{\"result\":true,\"error\":\"\"}";

} // namespace

TEST(MediaCommands, ChooseTheRouteByTheLastFourCharactersOfTheName)
{
    const TempDir dir;
    const struct {
        const wchar_t* fixture;
        const wchar_t* name;
        const wchar_t* key;
        const wchar_t* data;
    } cases[] = {
        {L"id3v23.mp3", L"SONG.MP3", L"TIT2", L"Café Morning"},
        {L"id3v23.mp3", L"song.mp3x", L"TITLE", L"Café Morning"},
        // MP4 by name, and by content under any other name: the property map keeps the total.
        {L"tags.m4a", L"clip.MOV", L"TRACKNUMBER", L"3/12"},
        {L"tags.m4a", L"clip.mov.ogg", L"TRACKNUMBER", L"3/12"},
        {L"tags.flac", L"song.flac", L"TRACKTOTAL", L"12"},
    };
    std::vector<JsonObject> requests;
    for (const auto& c : cases)
        requests.push_back(GetProps(CopyFixture(std::wstring(L"media/") + c.fixture, dir, c.name)));
    const std::vector<std::wstring> answers = Answers(requests);
    for (size_t i = 0; i < answers.size(); ++i) {
        const JsonWrapper media = Parsed(MediaOf(answers[i]));
        EXPECT_EQ(MemberText(media.Member(cases[i].key), L"data"), cases[i].data) << Utf16ToUtf8(answers[i]);
    }
}

TEST(MediaCommands, ShowTwoCommentFramesAsTwoMembersAndWriteBothWithOneValue)
{
    const TempDir dir;
    const std::wstring path = CopyFixture(L"media/two-comments.mp3", dir);
    const std::vector<std::wstring> answers = Answers({
        GetProps(path),
        SetMedia(path, Object().Object(L"COMM", Data(L"Beide"))),
    });
    const std::wstring media = MediaOf(answers[0]);
    const std::wstring first = L"\"COMM\":{\"name\":\"COMM\",\"type\":\"String\",\"data\":\"Made for tests\"}";
    const std::wstring second = L"\"COMM\":{\"name\":\"COMM\",\"type\":\"String\",\"data\":\"Zweiter Kommentar\"}";
    EXPECT_NE(media.find(first + L"," + second), std::wstring::npos) << Utf16ToUtf8(media);
    EXPECT_EQ(answers[1], kWritten);
    const MutagenView after = ReadWithMutagen(path);
    if (!after.found) GTEST_SKIP() << after.missing;
    EXPECT_EQ(after.tags.at(L"COMM::eng"), std::vector<std::wstring>{L"Beide"});
    EXPECT_EQ(after.tags.at(L"COMM:Notiz:deu"), std::vector<std::wstring>{L"Beide"});
}

TEST(MediaCommands, ReadSeveralValuesOfOneKeyJoinedWithASemicolonAndListed)
{
    const TempDir dir;
    const std::vector<std::wstring> answers = Answers({
        GetProps(CopyFixture(L"media/multi.m4a", dir)),
        GetProps(CopyFixture(L"media/tags.m4a", dir)),
    });
    const JsonWrapper several = Parsed(MediaOf(answers[0]));
    EXPECT_EQ(MemberText(several.Member(L"ARTIST"), L"data"), L"Anna Example; Ben Example");
    EXPECT_EQ(several.Member(L"ARTIST").Member(L"values").Copy().Print(), L"[\"Anna Example\", \"Ben Example\"]");
    const JsonWrapper one = Parsed(MediaOf(answers[1]));
    EXPECT_EQ(MemberText(one.Member(L"ARTIST"), L"data"), L"Anna Example");
    EXPECT_TRUE(one.Member(L"ARTIST").Member(L"values").IsEmpty());
}

TEST(MediaCommands, MakeEntriesFromTheListOrAsNameTypeAndData)
{
    const TempDir dir;
    const std::wstring path = CopyFixture(L"media/tags.flac", dir);
    const std::vector<std::wstring> answers = Answers({
        GetProps(path),
        PropList(L"{\"TITLE\":{\"label\":\"Song title\"}}"),
        GetProps(path),
    });
    EXPECT_EQ(Parsed(MediaOf(answers[0])).Member(L"TITLE").Copy().Print(),
              L"{\"name\":\"TITLE\",\"type\":\"String\",\"data\":\"Café Morning\"}");
    EXPECT_EQ(answers[1], L"");
    const JsonWrapper listed = Parsed(MediaOf(answers[2]));
    EXPECT_EQ(listed.Member(L"TITLE").Copy().Print(), L"{\"label\":\"Song title\",\"data\":\"Café Morning\"}");
    EXPECT_EQ(listed.Member(L"ARTIST").Copy().Print(),
              L"{\"name\":\"ARTIST\",\"type\":\"String\",\"data\":\"Anna Example\"}");
}

TEST(MediaCommands, AnswerAnEmptyMediaObjectForAFileTheLibraryCannotRead)
{
    const TempDir dir;
    const std::wstring text = dir.MakeFile(L"notes.m4a", "not a movie");
    EXPECT_EQ(MediaOf(Answer(GetProps(text))), L"{}");
}

TEST(MediaCommands, AddANewTextFrameToAnMp3FileAndWriteReadOnlyMembersAllTheSame)
{
    const TempDir dir;
    const std::wstring path = CopyFixture(L"media/id3v24.mp3", dir);
    EXPECT_EQ(Answer(SetMedia(path, Object()
                                        .Object(L"TXYZ", Data(L"Neuer Rahmen"))
                                        .Object(L"TIT2", Object().Text(L"data", L"Trotzdem").Bool(L"readonly", true)))),
              kWritten);
    const ReaderResult probe = RunReader(L"ffprobe", {L"-v", L"error"});
    if (!probe.found) GTEST_SKIP() << probe.missing;
    EXPECT_EQ(ProbedTag(path, L"TXYZ"), L"Neuer Rahmen");
    EXPECT_EQ(ProbedTag(path, L"title"), L"Trotzdem");
}

TEST(MediaCommands, RemoveFromAnM4aFileTheKeysTheRequestLacks)
{
    const TempDir dir;
    const std::wstring path = CopyFixture(L"media/tags.m4a", dir);
    const MutagenView before = ReadWithMutagen(path);
    if (!before.found) GTEST_SKIP() << before.missing;
    JsonObject members;
    const JsonWrapper media = Parsed(MediaOf(Answer(GetProps(path))));
    for (const JsonView entry : media.View()) {
        if (entry.Name() != L"COMMENT") members.Object(entry.Name(), Data(MemberText(entry, L"data")));
    }
    EXPECT_EQ(Answer(SetMedia(path, members)), kWritten);
    EXPECT_EQ(ReadWithMutagen(path).tags, Changed(before.tags, {{L"©cmt", std::nullopt}}));
}

TEST(MediaCommands, WriteTheDateOfAFlacFileAsGivenAndLeaveTheKeysNotNamed)
{
    using Values = std::vector<std::wstring>;
    const TempDir dir;
    const std::wstring path = CopyFixture(L"media/tags.flac", dir, L"song.flac");
    const MutagenView before = ReadWithMutagen(path);
    if (!before.found) GTEST_SKIP() << before.missing;
    EXPECT_EQ(Answer(SetMedia(path, Object().Object(L"DATE", Data(L"2001-05")))), kWritten);
    EXPECT_EQ(ReadWithMutagen(path).tags, Changed(before.tags, {{L"date", Values{L"2001-05"}}}));
    EXPECT_EQ(Answer(SetMedia(path, Object().Object(L"DATE", Data(L"")))), kWritten);
    EXPECT_EQ(ReadWithMutagen(path).tags, Changed(before.tags, {{L"date", std::nullopt}}));
}

TEST(MediaCommands, RefuseAWriteTheyCannotMakeWithTheReasonInTheAnswer)
{
    const TempDir dir;
    const std::wstring text = dir.MakeFile(L"notes.mp3", "plain text\n");
    const std::vector<std::wstring> answers = Answers({
        SetMedia(L"", Object().Object(L"TITLE", Data(L"x"))),
        SetMedia(text, Object().Object(L"TIT2", Data(L"x"))),
    });
    EXPECT_EQ(answers[0], L"{\"result\":false,\"error\":\"No file name was given\"}");
    EXPECT_EQ(answers[1], L"{\"result\":false,\"error\":\"The file is not an MP3 file: no ID3v2 tag and no MPEG "
                          L"frame found\"}");
    EXPECT_EQ(ReadAll(text), "plain text\n");
}

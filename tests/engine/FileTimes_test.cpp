#include "engine/FileTimes.h"
#include "platform/FileTimeText.h"
#include "core/JsonWrapper.h"
#include "platform/ComError.h"
#include "tests/support/DateTimeTexts.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

// The same program runs under several time zones (TZ). Whatever depends on the zone is checked only
// in the main one, one hour east of UTC without daylight saving; everything else must hold in all.

namespace {

constexpr const char* kMainZone = "XXX-1";

bool InMainZone()
{
    const char* zone = std::getenv("TZ");
    return zone != nullptr && std::string(zone) == kMainZone;
}

// The status a call throws as ComError; S_OK when it throws nothing.
template <typename Call> HRESULT ThrownCode(Call&& call)
{
    try {
        call();
    } catch (const ComError& error) {
        return error.Code();
    }
    return S_OK;
}

HRESULT ParseError(const std::wstring& text)
{
    return ThrownCode([&] { ParseDateTime(text); });
}

FILETIME FromTicks(unsigned long long ticks)
{
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

JsonWrapper TimesRequest(const std::wstring& created, const std::wstring& modified, const std::wstring& accessed)
{
    return Object().Text(L"createtime", created).Text(L"modifytime", modified).Text(L"accesstime", accessed).Document();
}

// The props of a request are read in place, as the engine reads them.
BOOL WriteTimes(const std::wstring& fileName, const JsonWrapper& props, std::wstring& error)
{
    return WriteFileTimes(fileName, props.View(), error);
}

// True when no handle to the file is left open: an exclusive open succeeds.
bool NobodyHolds(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

struct Times {
    unsigned long long created, accessed, written;
};

Times TimesOf(const std::wstring& path)
{
    FILETIME created{}, accessed{}, written{};
    EXPECT_TRUE(GetTimes(path, created, accessed, written));
    return {Ticks(created), Ticks(accessed), Ticks(written)};
}

// A file with three different, known times.
class TimedFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = dir_.MakeFile(L"timed.txt");
        ASSERT_TRUE(SetTimes(path_, &created_, &accessed_, &written_));
        // Some file systems (Wine's on Linux) keep no creation time of their own and report the
        // last write time in its place; creation times are checked only where they are kept.
        keepsCreation_ = TimesOf(path_).created == Ticks(created_);
    }

    JsonWrapper Read() const
    {
        JsonWrapper document;
        document.MakeObject();
        EXPECT_TRUE(ReadFileTimes(path_, document));
        return document;
    }

    void ExpectUnchanged(const char* context) const
    {
        SCOPED_TRACE(context);
        const Times now = TimesOf(path_);
        if (keepsCreation_) {
            EXPECT_EQ(now.created, Ticks(created_));
        }
        EXPECT_EQ(now.accessed, Ticks(accessed_));
        EXPECT_EQ(now.written, Ticks(written_));
    }

    TempDir dir_;
    std::wstring path_;
    FILETIME created_ = MakeFileTime(2001, 2, 3, 4, 5, 6);
    FILETIME accessed_ = MakeFileTime(2002, 3, 4, 5, 6, 7);
    FILETIME written_ = MakeFileTime(2003, 4, 5, 6, 7, 8);
    bool keepsCreation_ = false;
};

// Checks of absolute texts, which hold only in the main zone.
class MainZone : public TimedFile {
protected:
    void SetUp() override
    {
        if (!InMainZone()) GTEST_SKIP() << "absolute local texts are checked only under TZ=" << kMainZone;
        TimedFile::SetUp();
    }
};

} // namespace

TEST(ParseDateTime, GivesTheSameValueForEveryAcceptedForm)
{
    const long long canonical = ParseDateTime(L"2020:01:31 13:45:00");
    EXPECT_NE(canonical, 0);
    for (const wchar_t* text : kAcceptedForms)
        EXPECT_EQ(ParseDateTime(text), canonical) << text;
}

TEST(ParseDateTime, GivesZeroForATextWithoutTheDateTimeShape)
{
    for (const wchar_t* text : kShapelessTexts)
        EXPECT_EQ(ParseDateTime(text), 0) << text;
    EXPECT_EQ(ParseDateTime(L""), 0);
}

TEST(ParseDateTime, ThrowsFailForFieldsOutOfRange)
{
    const wchar_t* const texts[] = {
        L"1899:12:31 23:59:59", L"2020:00:01 00:00:00", L"2020:13:01 00:00:00",
        L"2020:01:00 00:00:00", L"2020:01:32 00:00:00", L"2020:01:01 24:00:00",
        L"2020:01:01 00:60:00", L"2020:01:01 00:00:60", L"a:b:c:d:e:f",
    };
    for (const wchar_t* text : texts)
        EXPECT_EQ(ParseError(text), E_FAIL) << text;
}

TEST(ParseDateTime, ThrowsInvalidArgForInstantsOutsideTheCRuntimeRange)
{
    for (const wchar_t* text : {L"1900:01:01 00:00:00", L"1969:12:31 12:00:00", L"3500:01:01 00:00:00"})
        EXPECT_EQ(ParseError(text), E_INVALIDARG) << text;
}

TEST(ParseDateTime, ThrowsFailForADayItsMonthLacksInsteadOfCarryingItIntoTheNextMonth)
{
    for (const wchar_t* text : {L"2021:02:31 10:00:00", L"2021:02:29 10:00:00", L"2020:02:30 10:00:00",
                                L"2021:04:31 23:59:59", L"2100:02:29 00:00:00"})
        EXPECT_EQ(ParseError(text), E_FAIL) << text;
    EXPECT_EQ(ParseDateTime(L"2020:02:29 10:00:00") + 86400, ParseDateTime(L"2020:03:01 10:00:00"));
    EXPECT_NE(ParseDateTime(L"2000:02:29 10:00:00"), 0);
}

TEST(DateTimeToFileTime, ThrowsForFieldsOutOfRange)
{
    EXPECT_EQ(ThrownCode([] { DateTimeToFileTime(L"2020:13:01 00:00:00"); }), E_FAIL);
}

// Times before 1970-01-01 00:00:00 UTC or after the year 3000, which no date-time text stands for,
// in every zone (the last second before 1970 is checked in the main zone alone: where Wine and the
// C runtime disagree about the zone, it lies inside the range for one of them).
const FILETIME kTimesOutOfRange[] = {
    FILETIME{},
    MakeFileTime(1700, 6, 1, 0, 0, 0),
    MakeFileTime(1850, 6, 1, 0, 0, 0),
    MakeFileTime(1899, 12, 31, 23, 59, 59),
    MakeFileTime(1901, 12, 14, 0, 0, 0),
    MakeFileTime(1950, 6, 1, 0, 0, 0),
    MakeFileTime(1969, 12, 31, 0, 0, 0),
    MakeFileTime(3500, 1, 1, 0, 0, 0),
    FromTicks(0x7FFFFFFFFFFFFFFFull),
    FromTicks(0x8000000000000000ull),
};

TEST(FileTimeText, GivesNothingForATimeOutsideTheRangeAndFormatFileTimeThrows)
{
    // Never a made-up 1970 for a time before it.
    for (const FILETIME& time : kTimesOutOfRange) {
        EXPECT_FALSE(FileTimeToText(time).has_value()) << Ticks(time);
        EXPECT_EQ(ThrownCode([&] { FormatFileTime(time); }), E_INVALIDARG) << Ticks(time);
    }
}

TEST(FileTimeText, ShowsTheFirstAndLastSecondOfTheRange)
{
    // West of UTC the first second lies in 1969 local time, which the C runtime refuses too.
    const FILETIME first = MakeFileTime(1970, 1, 1, 0, 0, 0);
    const FILETIME last = MakeFileTime(3000, 12, 31, 23, 59, 59);
    for (const FILETIME& time : {first, last}) {
        const std::optional<std::wstring> text = FileTimeToText(time);
        if (!text) continue;
        EXPECT_EQ(*text, FormatFileTime(time));
        EXPECT_EQ(Ticks(DateTimeToFileTime(*text)), Ticks(time));
    }
}

TEST_F(MainZone, ShowsAUtcFileTimeAsLocalTimeWithoutMilliseconds)
{
    const FILETIME time = MakeFileTime(2020, 1, 31, 12, 45, 0);
    EXPECT_EQ(FormatFileTime(time), L"2020:01:31 13:45:00");
    EXPECT_EQ(FormatFileTime(FromTicks(Ticks(time) + 9999999)), L"2020:01:31 13:45:00");
    EXPECT_EQ(FormatFileTime(MakeFileTime(1970, 1, 1, 0, 0, 0)), L"1970:01:01 01:00:00");
    EXPECT_FALSE(FileTimeToText(MakeFileTime(1969, 12, 31, 23, 59, 59)).has_value());
}

TEST_F(MainZone, ParsesLocalTimeToSecondsSince1970Utc)
{
    EXPECT_EQ(ParseDateTime(L"2020:01:31 13:45:00"), 1580474700);
    EXPECT_EQ(ParseDateTime(L"1970:01:01 01:00:00"), 0);
}

TEST_F(MainZone, ConvertsLocalTextToAUtcFileTime)
{
    EXPECT_EQ(Ticks(DateTimeToFileTime(L"2020:01:31 13:45:00")), Ticks(MakeFileTime(2020, 1, 31, 12, 45, 0)));
    // A text without the date-time shape stands for the start of the C time scale.
    EXPECT_EQ(Ticks(DateTimeToFileTime(L"now")), Ticks(MakeFileTime(1970, 1, 1, 0, 0, 0)));
}

TEST_F(MainZone, ReadsEachFileTimeIntoItsOwnMember)
{
    const JsonWrapper document = Read();
    if (keepsCreation_) {
        EXPECT_EQ(MemberText(document, L"createtime"), L"2001:02:03 05:05:06");
    }
    EXPECT_EQ(MemberText(document, L"accesstime"), L"2002:03:04 06:06:07");
    EXPECT_EQ(MemberText(document, L"modifytime"), L"2003:04:05 07:07:08");
}

TEST_F(MainZone, ReadsTheSameTextForThreeEqualTimes)
{
    const FILETIME time = MakeFileTime(2020, 1, 31, 12, 45, 0);
    ASSERT_TRUE(SetTimes(path_, &time, &time, &time));
    const JsonWrapper document = Read();
    for (const wchar_t* member : {L"createtime", L"modifytime", L"accesstime"})
        EXPECT_EQ(MemberText(document, member), L"2020:01:31 13:45:00") << member;
}

TEST_F(MainZone, WritesLocalTextAsUtcFileTimes)
{
    std::wstring error;
    ASSERT_TRUE(WriteTimes(path_, TimesRequest(L"", L"2020:01:31 13:45:00", L"2021:03:03 10:00:00"), error));
    const Times now = TimesOf(path_);
    EXPECT_EQ(now.written, Ticks(MakeFileTime(2020, 1, 31, 12, 45, 0)));
    EXPECT_EQ(now.accessed, Ticks(MakeFileTime(2021, 3, 3, 9, 0, 0)));
}

TEST_F(TimedFile, ReadsTheThreeMembersInOrderAndClosesTheFile)
{
    const JsonWrapper document = Read();
    ASSERT_EQ(document.GetCount(), 3);
    EXPECT_EQ(document.GetItem(0).GetName(), L"createtime");
    EXPECT_EQ(document.GetItem(1).GetName(), L"modifytime");
    EXPECT_EQ(document.GetItem(2).GetName(), L"accesstime");
    for (int i = 0; i < 3; ++i) {
        std::wstring text;
        EXPECT_TRUE(document.GetItem(i).GetText(text));
        EXPECT_EQ(text.size(), 19u) << text;
    }
    EXPECT_TRUE(NobodyHolds(path_));
}

TEST_F(TimedFile, ReadingAMissingFileAddsNothing)
{
    JsonWrapper document;
    document.MakeObject();
    EXPECT_FALSE(ReadFileTimes(dir_.Path() + L"\\missing.txt", document));
    EXPECT_EQ(document.GetCount(), 0);
}

TEST_F(TimedFile, ReadsATimeNoTextCanShowAsEmptyTextAndTheOthersAsTheyAre)
{
    const JsonWrapper before = Read();
    for (const FILETIME& time : kTimesOutOfRange) {
        SCOPED_TRACE(testing::Message() << "ticks " << Ticks(time));
        // Some of these the file system cannot keep; only the times it kept are read back.
        if (!SetTimes(path_, nullptr, nullptr, &time) || TimesOf(path_).written != Ticks(time)) continue;
        const JsonWrapper document = Read();
        ASSERT_EQ(document.GetCount(), 3);
        EXPECT_EQ(MemberText(document, L"modifytime"), L"");
        EXPECT_EQ(MemberText(document, L"accesstime"), MemberText(before, L"accesstime"));
        EXPECT_TRUE(NobodyHolds(path_));
    }
}

TEST_F(TimedFile, WritesEachAcceptedFormSoThatItReadsBackAsTheCanonicalText)
{
    for (const wchar_t* text : kAcceptedForms) {
        SCOPED_TRACE(testing::Message() << "text: " << text);
        std::wstring error;
        ASSERT_TRUE(WriteTimes(path_, TimesRequest(text, text, text), error)) << error;
        EXPECT_EQ(error, L"");
        const JsonWrapper document = Read();
        if (keepsCreation_) {
            EXPECT_EQ(MemberText(document, L"createtime"), L"2020:01:31 13:45:00");
        }
        EXPECT_EQ(MemberText(document, L"modifytime"), L"2020:01:31 13:45:00");
        EXPECT_EQ(MemberText(document, L"accesstime"), L"2020:01:31 13:45:00");
    }
}

TEST_F(TimedFile, WritingOnlyTheModifyTimeLeavesTheOtherTimesAlone)
{
    std::wstring error;
    ASSERT_TRUE(WriteTimes(path_, TimesRequest(L"", L"2020:01:31 13:45:00", L""), error)) << error;
    const Times now = TimesOf(path_);
    EXPECT_EQ(now.written, Ticks(DateTimeToFileTime(L"2020:01:31 13:45:00")));
    EXPECT_EQ(now.accessed, Ticks(accessed_));
    if (keepsCreation_) {
        EXPECT_EQ(now.created, Ticks(created_));
    }
    EXPECT_EQ(MemberText(Read(), L"modifytime"), L"2020:01:31 13:45:00");
}

TEST_F(TimedFile, WritingThreeEmptyTextsSucceedsAndChangesNothing)
{
    std::wstring error;
    EXPECT_TRUE(WriteTimes(path_, TimesRequest(L"", L"", L""), error));
    EXPECT_EQ(error, L"");
    ExpectUnchanged("three empty texts");

    EXPECT_TRUE(WriteTimes(path_, Object().Document(), error));
    ExpectUnchanged("no members");
}

TEST_F(TimedFile, RefusesATextThatNamesNoInstantWithTheReasonAndChangesNoTime)
{
    // Nothing is carried into another date, and nothing throws: the answer says why.
    const std::wstring valid = L"2020:01:31 13:45:00";
    const struct {
        const wchar_t* member;
        JsonWrapper request;
        const wchar_t* why;
    } cases[] = {
        {L"modifytime", TimesRequest(valid, L"now", valid), L"not a date-time of the form YYYY:MM:DD hh:mm:ss"},
        {L"createtime", TimesRequest(L"2020-01-31T13:45:00", valid, valid),
         L"not a date-time of the form YYYY:MM:DD hh:mm:ss"},
        {L"accesstime", TimesRequest(valid, valid, L"2020:01:31  13:45:00"),
         L"not a date-time of the form YYYY:MM:DD hh:mm:ss"},
        {L"accesstime", TimesRequest(L"", L"", L"   "), L"not a date-time of the form YYYY:MM:DD hh:mm:ss"},
        {L"modifytime", TimesRequest(valid, L"2020:13:01 00:00:00", valid), L"a field is out of range"},
        {L"createtime", TimesRequest(L"2020:01:32 00:00:00", valid, valid), L"a field is out of range"},
        {L"accesstime", TimesRequest(valid, valid, L"2020:01:01 25:00:00"), L"a field is out of range"},
        {L"modifytime", TimesRequest(L"", L"2020:02:30 10:00:00", L""), L"no such day in that month"},
        {L"modifytime", TimesRequest(L"", L"2021:02:29 10:00:00", L""), L"no such day in that month"},
        {L"modifytime", TimesRequest(L"", L"1900:01:01 00:00:00", L""), L"outside the years 1970 to 3000"},
    };
    for (const auto& c : cases) {
        const std::wstring text = MemberText(c.request, c.member);
        SCOPED_TRACE(testing::Message() << c.member << ": " << text);
        std::wstring error;
        EXPECT_FALSE(WriteTimes(path_, c.request, error));
        EXPECT_EQ(error, L"invalid date-time text for " + std::wstring(c.member) + L": " + text + L" (" + c.why + L")");
        ExpectUnchanged("after refusal");
        EXPECT_TRUE(NobodyHolds(path_));
    }
}

TEST_F(TimedFile, ReportsTheSystemErrorWhenTheFileCannotBeOpened)
{
    std::wstring error;
    EXPECT_FALSE(WriteTimes(dir_.Path() + L"\\missing.txt", TimesRequest(L"", L"2020:01:31 13:45:00", L""), error));
    EXPECT_EQ(error, L"file open failed, error: 2");
}

TEST_F(TimedFile, ReadsAndSetsTheTimesOfAFileThatAnotherProgramHoldsOpen)
{
    const struct {
        const char* holder;
        DWORD access;
        DWORD sharing;
    } cases[] = {
        {"an editor that lets others only read", GENERIC_WRITE, FILE_SHARE_READ},
        {"a reader that lets others only read", GENERIC_READ, FILE_SHARE_READ},
        {"a program that shares nothing", GENERIC_READ | GENERIC_WRITE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.holder);
        HANDLE holder = CreateFileW(path_.c_str(), c.access, c.sharing, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        JsonWrapper document;
        document.MakeObject();
        EXPECT_TRUE(ReadFileTimes(path_, document));
        EXPECT_EQ(MemberText(document, L"modifytime").size(), 19u);
        std::wstring error;
        EXPECT_TRUE(WriteTimes(path_, TimesRequest(L"", L"2020:01:31 13:45:00", L""), error)) << error;
        CloseHandle(holder);
        EXPECT_EQ(TimesOf(path_).written, Ticks(DateTimeToFileTime(L"2020:01:31 13:45:00")));
        ASSERT_TRUE(SetTimes(path_, nullptr, nullptr, &written_));
    }
}

TEST_F(TimedFile, SetsTheTimesOfAReadOnlyFile)
{
    ASSERT_TRUE(SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY));
    std::wstring error;
    EXPECT_TRUE(WriteTimes(path_, TimesRequest(L"", L"2020:01:31 13:45:00", L"2021:03:03 10:00:00"), error)) << error;
    const Times now = TimesOf(path_);
    EXPECT_EQ(now.written, Ticks(DateTimeToFileTime(L"2020:01:31 13:45:00")));
    EXPECT_EQ(now.accessed, Ticks(DateTimeToFileTime(L"2021:03:03 10:00:00")));
    EXPECT_EQ(GetFileAttributesW(path_.c_str()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(NobodyHolds(path_));
}

TEST(FileTimesOfAFolder, AreWrittenAndReadBack)
{
    TempDir dir;
    const std::wstring folder = dir.MakeFolder(L"sub");
    std::wstring error;
    ASSERT_TRUE(WriteTimes(folder, TimesRequest(L"", L"2020:01:31 13:45:00", L"2021:03:03 10:00:00"), error)) << error;
    JsonWrapper document;
    document.MakeObject();
    ASSERT_TRUE(ReadFileTimes(folder, document));
    EXPECT_EQ(MemberText(document, L"modifytime"), L"2020:01:31 13:45:00");
    EXPECT_EQ(MemberText(document, L"accesstime"), L"2021:03:03 10:00:00");
    EXPECT_EQ(MemberText(document, L"createtime").size(), 19u);
}

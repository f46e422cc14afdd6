// The document handler both ways. The shell's property store is an in-memory fake (Wine offers no
// store for any file); the structured storage is the system's, on compound files made by libgsf
// and wixl, and every write is checked with olefile. Times are checked one hour east of UTC without
// daylight saving (TZ=XXX-1, set by the test's registration).
#include "props/doc/SummaryPropsEditor.h"
#include "platform/FileSave.h"
#include "props/doc/PropVariantText.h"
#include "tests/props/doc/FakeShell.h"
#include "tests/props/doc/PropValues.h"
#include "tests/support/Fixture.h"
#include "tests/support/Requests.h"
#include "tests/support/WriteBudget.h"

#include "core/TextConvert.h"
#include "platform/ComPtr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace docprops;

const std::wstring kSummary = L"{F29F85E0-4FF9-1068-AB91-08002B27B3D9}";
const std::wstring kDocSummary = L"{D5CDD502-2E9C-101B-9397-08002B2CF9AE}";
constexpr FMTID kDocSummaryId = {0xD5CDD502, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};
constexpr FMTID kOtherSet = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

constexpr PROPERTYKEY Summary(PROPID pid)
{
    return {kSummaryInformation, pid};
}

// 2021-06-15 10:20:30 UTC, which is 11:20:30 in the test's zone.
const unsigned long long kJune15 = TicksOfUnixTime(1623752430);

JsonObject Entry(const std::wstring& id, const std::wstring& fmtid, const std::wstring& fmtname,
                 const std::wstring& type, bool readonly = false)
{
    JsonObject entry;
    entry.Text(L"id", id).Text(L"fmtid", fmtid);
    if (!fmtname.empty()) entry.Text(L"fmtname", fmtname);
    entry.Text(L"type", type);
    if (readonly) entry.Bool(L"readonly", true);
    return entry;
}

// The list the page sends, in part: both sets, the editing time under the name that takes a
// duration.
JsonObject PageList()
{
    const auto summary = [](const wchar_t* id, const wchar_t* type, bool readonly = false) {
        return Entry(id, kSummary, L"Summary", type, readonly);
    };
    const auto docSummary = [](const wchar_t* id, const wchar_t* type, bool readonly = false) {
        return Entry(id, kDocSummary, L"DocSummary", type, readonly);
    };
    return Object()
        .Object(L"Title", summary(L"2", L"VT_LPSTR"))
        .Object(L"Subject", summary(L"3", L"VT_LPSTR"))
        .Object(L"Author", summary(L"4", L"VT_LPSTR"))
        .Object(L"Keywords", summary(L"5", L"VT_LPSTR"))
        .Object(L"Comments", summary(L"6", L"VT_LPSTR"))
        .Object(L"Template", summary(L"7", L"VT_LPSTR", true))
        .Object(L"Last saved by", summary(L"8", L"VT_LPSTR"))
        .Object(L"Revision number", summary(L"9", L"VT_LPSTR"))
        .Object(L"EditTime", summary(L"10", L"VT_UI8", true))
        .Object(L"Last printed", summary(L"11", L"VT_FILETIME"))
        .Object(L"Content created", summary(L"12", L"VT_FILETIME"))
        .Object(L"Date last saved", summary(L"13", L"VT_FILETIME"))
        .Object(L"Pages", summary(L"14", L"VT_I4", true))
        .Object(L"Words", summary(L"15", L"VT_I4", true))
        .Object(L"Program name", summary(L"18", L"VT_LPSTR"))
        .Object(L"Category", docSummary(L"2", L"VT_LPSTR"))
        .Object(L"Lines", docSummary(L"5", L"VT_I4", true))
        .Object(L"Manager", docSummary(L"14", L"VT_LPSTR"))
        .Object(L"Company", docSummary(L"15", L"VT_LPSTR"));
}

// One member of a "setprops" request.
JsonObject Item(const std::wstring& fmtid, const std::wstring& id, const std::wstring& type, const std::wstring& data)
{
    return Object().Text(L"data", data).Text(L"fmtid", fmtid).Text(L"id", id).Text(L"type", type);
}

JsonObject TitleItem(const std::wstring& data)
{
    return Item(kSummary, L"2", L"VT_LPSTR", data);
}

JsonWrapper Read(SummaryPropsEditor& editor, const std::wstring& path)
{
    JsonWrapper result;
    editor.GetProps(path, result);
    return result;
}

bool Write(SummaryPropsEditor& editor, const std::wstring& path, const JsonObject& request, std::wstring& error)
{
    return editor.SetProps(path, request.Document().View(), error);
}

std::wstring DataOf(const JsonWrapper& result, const std::wstring& name)
{
    const JsonView item = result.Member(name);
    return item.IsEmpty() ? L"<missing>" : MemberText(item, L"data");
}

std::vector<std::wstring> NamesOf(const JsonWrapper& result)
{
    std::vector<std::wstring> names;
    for (const JsonView member : result.View())
        names.push_back(member.Name());
    return names;
}

// ---- olefile's reading of a file ----------------------------------------------------------------

// What olefile reads in a file: {"streams": [...], "SummaryInformation": {...}, ...}. Empty when
// olefile cannot run here (the test then skips).
JsonWrapper OleDump(const std::wstring& path)
{
    const ReaderResult reader = RunReader(L"olefile_dump.py", {path});
    JsonWrapper dump;
    if (!reader.found) return dump;
    EXPECT_EQ(reader.exitCode, 0) << reader.err;
    // olefile keeps the terminating zero of a wide string; it is no part of the text.
    std::string out = reader.out;
    for (size_t at = out.find("\\u0000"); at != std::string::npos; at = out.find("\\u0000", at))
        out.erase(at, 6);
    EXPECT_TRUE(dump.Parse(Utf8ToUtf16(out))) << reader.out;
    return dump;
}

#define OLE_DUMP_OR_SKIP(dump, path)                                                                                   \
    const JsonWrapper dump = OleDump(path);                                                                            \
    if (dump.IsEmpty()) GTEST_SKIP() << "olefile is not available here"

std::wstring OleText(const JsonWrapper& dump, const std::wstring& set, const std::wstring& key)
{
    const JsonView value = dump.Member(set).Member(key);
    std::wstring text;
    return value.GetText(text) ? text : L"<missing>";
}

struct Change {
    std::wstring set, key, text;
};

// Every set and every property olefile reads is as it was before, but for the given changes; the
// stream list too.
void ExpectOnlyChanged(const JsonWrapper& before, const JsonWrapper& after, const std::vector<Change>& changes)
{
    EXPECT_EQ(before.Member(L"streams").Copy().Print(), after.Member(L"streams").Copy().Print());
    std::map<std::wstring, std::map<std::wstring, std::wstring>> expected, actual;
    for (const JsonView set : before.View()) {
        if (set.IsObject())
            for (const JsonView value : set)
                expected[set.Name()][value.Name()] = OleText(before, set.Name(), value.Name());
    }
    for (const Change& change : changes)
        expected[change.set][change.key] = change.text;
    for (const JsonView set : after.View()) {
        if (set.IsObject())
            for (const JsonView value : set)
                actual[set.Name()][value.Name()] = OleText(after, set.Name(), value.Name());
    }
    for (const auto& [set, values] : expected) {
        for (const auto& [key, text] : values)
            EXPECT_EQ(actual[set][key], text) << Utf16ToUtf8(set + L"/" + key);
    }
    for (const auto& [set, values] : actual) {
        for (const auto& [key, text] : values)
            EXPECT_TRUE(expected[set].count(key)) << "new: " << Utf16ToUtf8(set + L"/" + key + L" = " + text);
    }
}

// The bytes of a stream of a compound file, read by the system's structured storage.
std::string StreamBytes(const std::wstring& path, const std::wstring& name)
{
    ComPtr<IStorage> storage;
    if (FAILED(StgOpenStorageEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE, STGFMT_STORAGE, 0, nullptr, nullptr,
                                IID_IStorage, storage.PutVoid())))
        return "<no storage>";
    ComPtr<IStream> stream;
    if (FAILED(storage->OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Put())))
        return "<no stream>";
    std::string bytes(4096, '\0');
    ULONG count = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &count);
    bytes.resize(count);
    return bytes;
}

std::string WordDocumentStandIn()
{
    std::string bytes;
    for (int i = 0; i < 64; ++i)
        bytes.push_back(static_cast<char>(i));
    return bytes;
}

// ---- the property store way, on the fake shell ---------------------------------------------------

class PropertyStoreWay : public ::testing::Test {
protected:
    void SetUp() override { editor.SetPropList(PageList()); }

    FakeShell shell;
    SummaryPropsEditor editor{&FakeShell::CreateItem};
    TempDir dir;
};

TEST_F(PropertyStoreWay, ListsKnownPropertiesAsTheirEntriesAndUnknownOnesOfNamedSetsAsReadOnly)
{
    // The entry's set identifier in lower case still matches the stored one.
    editor.SetPropList(
        Object()
            .Object(L"Title", Entry(L"2", L"{f29f85e0-4ff9-1068-ab91-08002b27b3d9}", L"Summary", L"VT_LPSTR"))
            .Object(
                L"Pages",
                Object().Number(L"id", 14).Text(L"fmtid", kSummary).Text(L"type", L"VT_I4").Bool(L"readonly", true)));
    shell.Store(Summary(2), WideValue(L"Plan"));
    shell.Store(Summary(19), MakeValue(VT_I4, [](PROPVARIANT& v) { v.lVal = 2; }));
    shell.Store({kOtherSet, 5}, WideValue(L"not listed"));
    shell.Store(Summary(14), MakeValue(VT_I4, [](PROPVARIANT& v) { v.lVal = 12; }));
    shell.Store(Summary(17), MakeValue(VT_CF, [](PROPVARIANT&) {}));

    const std::wstring path = dir.MakeFile(L"a.txt");
    EXPECT_EQ(Read(editor, path).Print(),
              L"{\"Title\":{\"id\":\"2\",\"fmtid\":\"{f29f85e0-4ff9-1068-ab91-08002b27b3d9}\",\"fmtname\":\"Summary\","
              L"\"type\":\"VT_LPSTR\",\"data\":\"Plan\"},"
              L"\"Summary-19\":{\"id\":\"19\",\"fmtid\":\"" +
                  kSummary +
                  L"\",\"readonly\":true,\"data\":\"2\","
                  L"\"type\":\"VT_I4\"},"
                  L"\"Pages\":{\"id\":14,\"fmtid\":\"" +
                  kSummary +
                  L"\",\"type\":\"VT_I4\",\"readonly\":true,\"data\":\"12\"},"
                  L"\"Summary-17\":{\"id\":\"17\",\"fmtid\":\"" +
                  kSummary +
                  L"\",\"readonly\":true,\"data\":\"\","
                  L"\"type\":\"VT_CF\"}}");
    EXPECT_EQ(shell.paths, std::vector<std::wstring>{path});
}

TEST_F(PropertyStoreWay, NamesAnUnknownPropertyAfterTheLastEntryOfItsSetThatNamesTheSet)
{
    editor.SetPropList(Object()
                           .Object(L"A", Entry(L"2", kSummary, L"First", L"VT_LPSTR"))
                           .Object(L"B", Entry(L"3", kSummary, L"", L"VT_LPSTR"))
                           .Object(L"C", Entry(L"4", kSummary, L"Second", L"VT_LPSTR"))
                           .Object(L"D", Entry(L"5", kSummary, L"", L"VT_LPSTR")));
    shell.Store(Summary(19), MakeValue(VT_I4, [](PROPVARIANT& v) { v.lVal = 0; }));
    EXPECT_EQ(NamesOf(Read(editor, dir.MakeFile(L"a.txt"))), std::vector<std::wstring>{L"Second-19"});
}

TEST_F(PropertyStoreWay, ReadsTheEditingTimeAsADurationAndTimesAsLocalText)
{
    shell.Store(Summary(10), MakeValue(VT_UI8, [](PROPVARIANT& v) { v.uhVal.QuadPart = 3600000000000ULL; }));
    shell.Store(Summary(11), TimeValue(kJune15));
    const JsonWrapper result = Read(editor, dir.MakeFile(L"a.txt"));
    EXPECT_EQ(DataOf(result, L"EditTime"), L"100:00:00");
    EXPECT_EQ(DataOf(result, L"Last printed"), L"2021:06:15 11:20:30");
}

TEST_F(PropertyStoreWay, LeavesOutWhatCannotBeReadOrShownAndListsTheRest)
{
    shell.Store(Summary(2), WideValue(L"Plan"));
    shell.Store(Summary(3), WideValue(L"unreadable"));
    shell.unreadable.push_back(Summary(3));
    // A time past the range: left out, and the listing goes on.
    shell.Store(Summary(11), TimeValue(TicksOfUnixTime(40000000000LL)));
    shell.Store(Summary(4), WideValue(L"Anna"));
    EXPECT_EQ(NamesOf(Read(editor, dir.MakeFile(L"a.txt"))), (std::vector<std::wstring>{L"Title", L"Author"}));
}

TEST_F(PropertyStoreWay, GivesAnEmptyObjectWithoutAListAndNothingForTheStringVectorsItDoesNotKnow)
{
    SummaryPropsEditor fresh(&FakeShell::CreateItem);
    shell.Store(Summary(2), WideValue(L"Plan"));
    JsonWrapper result = Read(fresh, dir.MakeFile(L"a.txt"));
    EXPECT_FALSE(result.IsEmpty());
    EXPECT_EQ(result.Print(), L"{}");

    shell.Store(Summary(5), WideVector({L"a", L"b"}));
    shell.Store(Summary(6), MakeValue(VT_VECTOR | VT_FILETIME, [](PROPVARIANT& v) {
                    v.cafiletime.cElems = 1;
                    v.cafiletime.pElems = static_cast<FILETIME*>(CoTaskMemAlloc(sizeof(FILETIME)));
                    v.cafiletime.pElems[0] = FileTimeOf(kJune15);
                }));
    result = Read(editor, dir.MakeFile(L"b.txt"));
    EXPECT_EQ(DataOf(result, L"Keywords"), L"a, b");
    EXPECT_EQ(DataOf(result, L"Comments"), L"");
}

TEST_F(PropertyStoreWay, WritesEveryMemberWithItsValueAndCommitsOnce)
{
    shell.Store(Summary(2), WideValue(L"Old"));
    const JsonObject request =
        Object()
            .Object(L"Title", TitleItem(L"New \u00FC"))
            .Object(L"EditTime", Item(kSummary, L"10", L"VT_UI8", L"1::2:3"))
            .Object(L"Pages", Item(kSummary, L"14", L"VT_I4", L"7"))
            .Object(L"Last printed", Item(kSummary, L"11", L"VT_FILETIME", L"2021:06:15 11:20:30"))
            .Object(L"Flag", Item(kSummary, L"30", L"VT_BOOL", L"true"))
            .Object(L"Company", Item(L"{d5cdd502-2e9c-101b-9397-08002b2cf9ae}", L"15", L"VT_LPSTR", L"Example Ltd"));
    std::wstring error;
    EXPECT_TRUE(Write(editor, dir.MakeFile(L"a.txt"), request, error));
    EXPECT_EQ(error, L"");
    EXPECT_EQ(shell.commits, 1);

    const PROPVARIANT* title = shell.Find(Summary(2));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->vt, VT_LPWSTR);
    EXPECT_STREQ(title->pwszVal, L"New \u00FC");
    ASSERT_NE(shell.Find(Summary(10)), nullptr);
    EXPECT_EQ(shell.Find(Summary(10))->vt, VT_UI8);
    EXPECT_EQ(shell.Find(Summary(10))->uhVal.QuadPart, 37230000000ULL);
    EXPECT_EQ(shell.Find(Summary(14))->lVal, 7);
    const FILETIME printed = shell.Find(Summary(11))->filetime;
    EXPECT_EQ((static_cast<unsigned long long>(printed.dwHighDateTime) << 32) | printed.dwLowDateTime, kJune15);
    EXPECT_EQ(shell.Find(Summary(30))->boolVal, VARIANT_FALSE);
    ASSERT_NE(shell.Find({kDocSummaryId, 15}), nullptr);
    EXPECT_STREQ(shell.Find({kDocSummaryId, 15})->pwszVal, L"Example Ltd");
}

TEST_F(PropertyStoreWay, LeavesValuesWithoutATextFormAsTheyAreStored)
{
    shell.Store(Summary(17), MakeValue(VT_CF, [](PROPVARIANT&) {}));
    shell.Store(Summary(20), MakeValue(VT_UI4, [](PROPVARIANT& v) { v.ulVal = 99; }));
    const JsonObject request = Object()
                                   .Object(L"Thumbnail", Item(kSummary, L"17", L"VT_CF", L""))
                                   .Object(L"Parts", Item(kDocSummary, L"13", L"VT_VECTOR|VT_LPSTR", L"a, b"))
                                   .Object(L"Pairs", Item(kDocSummary, L"12", L"VT_VECTOR|VT_VARIANT", L""))
                                   .Object(L"Odd", Item(kSummary, L"21", L"VT_STRING", L"x"))
                                   .Object(L"Count", Item(kSummary, L"20", L"VT_UI4", L"4294967295"));
    std::wstring error;
    EXPECT_TRUE(Write(editor, dir.MakeFile(L"a.txt"), request, error));
    ASSERT_EQ(shell.setKeys.size(), 1u);
    EXPECT_TRUE(SameKey(shell.setKeys[0], Summary(20)));
    EXPECT_EQ(shell.Find(Summary(20))->ulVal, 4294967295UL);
    EXPECT_EQ(shell.Find(Summary(17))->vt, VT_CF);
}

TEST_F(PropertyStoreWay, RefusesTheWholeRequestWhenOneTextIsNoValueOfItsType)
{
    const std::wstring path = CopyFixture(L"doc/props.doc", dir);
    const std::string before = ReadAll(path);
    const struct {
        JsonObject member;
        const wchar_t* error;
    } cases[] = {
        {Item(kSummary, L"14", L"VT_I4", L"seven"), L"invalid number for Bad: seven"},
        {Item(kSummary, L"20", L"VT_UI8", L"-1"), L"invalid number for Bad: -1"},
        {Item(kSummary, L"21", L"VT_R8", L"1,5"), L"invalid number for Bad: 1,5"},
        {Item(kSummary, L"11", L"VT_FILETIME", L"tomorrow"), L"invalid date-time text for Bad: tomorrow"},
        {Item(kSummary, L"11", L"VT_FILETIME", L"2021:02:30 25:00:00"),
         L"invalid date-time text for Bad: 2021:02:30 25:00:00"},
        {Item(L"Summary", L"2", L"VT_LPSTR", L"x"), L"invalid property set identifier for Bad: Summary"},
    };
    for (const auto& c : cases) {
        std::wstring error;
        EXPECT_FALSE(Write(editor, path, Object().Object(L"Title", TitleItem(L"x")).Object(L"Bad", c.member), error));
        EXPECT_EQ(error, c.error);
    }
    EXPECT_TRUE(shell.paths.empty()) << "neither way was tried";
    EXPECT_TRUE(ReadAll(path) == before);
}

TEST_F(PropertyStoreWay, KeepsNothingOfAWriteWhoseValueTheStoreRefusesAndHandsItToTheStorage)
{
    const std::wstring path = CopyFixture(L"doc/props.doc", dir);
    OLE_DUMP_OR_SKIP(before, path);
    shell.setValueResult = E_ACCESSDENIED;
    std::wstring error;
    EXPECT_TRUE(Write(editor, path, Object().Object(L"Title", TitleItem(L"Stored")), error));
    EXPECT_EQ(shell.commits, 0);
    EXPECT_EQ(shell.Find(Summary(2)), nullptr);
    // The storage wrote it; the store's failure stays in the error text, which a true result
    // makes no use of.
    EXPECT_EQ(error, L"set doc property failed, hr=0x80070005");
    ExpectOnlyChanged(before, OleDump(path), {{L"SummaryInformation", L"title", L"Stored"}});
}

TEST_F(PropertyStoreWay, ReportsAFailedCommitAndThenWhatTheStorageMakesOfTheWrite)
{
    shell.commitResult = STG_E_ACCESSDENIED;
    std::wstring error;
    const std::wstring text = dir.MakeFile(L"a.txt", "plain text");
    EXPECT_FALSE(Write(editor, text, Object().Object(L"Title", TitleItem(L"x")), error));
    EXPECT_EQ(error.rfind(L"set file summary property failed, hr=0x8", 0), 0u) << Utf16ToUtf8(error);
    EXPECT_EQ(ReadAll(text), "plain text");

    const std::wstring path = CopyFixture(L"doc/props.doc", dir);
    error.clear();
    EXPECT_TRUE(Write(editor, path, Object().Object(L"Title", TitleItem(L"Committed elsewhere")), error));
    EXPECT_EQ(error, L"set doc property failed, hr=0x80030005");
    EXPECT_EQ(shell.commits, 0);
    SummaryPropsEditor storageOnly(nullptr);
    storageOnly.SetPropList(PageList());
    EXPECT_EQ(DataOf(Read(storageOnly, path), L"Title"), L"Committed elsewhere");
}

TEST_F(PropertyStoreWay, FallsBackToTheStorageWhenTheStoreCannotBeOpened)
{
    const std::wstring path = CopyFixture(L"doc/props.doc", dir);
    for (const bool itemFails : {false, true}) {
        shell.createItemResult = itemFails ? E_FAIL : S_OK;
        shell.getStoreResult = itemFails ? S_OK : E_NOTIMPL;
        const JsonWrapper result = Read(editor, path);
        EXPECT_EQ(DataOf(result, L"Title"), L"Quarterly Report") << itemFails;
        // Read through the storage: only what the list names, each without a "type" of its own.
        EXPECT_EQ(result.Member(L"Pages").Copy().Print(),
                  L"{\"id\":\"14\",\"fmtid\":\"" + kSummary +
                      L"\",\"fmtname\":\"Summary\",\"type\":\"VT_I4\",\"readonly\":true,\"data\":\"3\"}");

        std::wstring error;
        EXPECT_TRUE(
            Write(editor, path, Object().Object(L"Author", Item(kSummary, L"4", L"VT_LPSTR", L"Someone")), error));
        EXPECT_EQ(error,
                  itemFails ? L"set doc property failed, hr=0x80004005" : L"set doc property failed, hr=0x80004001");
        EXPECT_EQ(DataOf(Read(editor, path), L"Author"), L"Someone");
    }
}

TEST(WithoutTheShellsEntryPoint, TheStorageIsTheOnlyWay)
{
    TempDir dir;
    FakeShell shell;
    SummaryPropsEditor editor(nullptr);
    editor.SetPropList(PageList());
    shell.Store(Summary(2), WideValue(L"from the store"));

    EXPECT_EQ(DataOf(Read(editor, CopyFixture(L"doc/props.doc", dir)), L"Title"), L"Quarterly Report");
    std::wstring error;
    const std::wstring text = dir.MakeFile(L"a.txt");
    EXPECT_FALSE(Write(editor, text, Object().Object(L"Title", TitleItem(L"x")), error));
    // Only the storage's message: the store was never tried.
    EXPECT_EQ(error.rfind(L"set file summary property failed, hr=0x8", 0), 0u) << Utf16ToUtf8(error);
    EXPECT_TRUE(shell.paths.empty());
}

// ---- the structured-storage way, on files made by other tools -------------------------------------

// The handler as the program builds it. Under Wine the shell's store of a file cannot be opened,
// so everything below goes through the storage.
class StorageWay : public ::testing::Test {
protected:
    void SetUp() override { editor.SetPropList(PageList()); }

    SummaryPropsEditor editor;
    TempDir dir;
};

struct Expected {
    const wchar_t* name;
    const wchar_t* text;
    const wchar_t* set; // olefile's reading of the same property
    const wchar_t* key;
    const wchar_t* oleText;
};

constexpr const wchar_t* kSum = L"SummaryInformation";
constexpr const wchar_t* kDoc = L"DocumentSummaryInformation";

TEST_F(StorageWay, ReadsWhatTheListNamesAsOlefileReadsIt)
{
    const struct {
        const wchar_t* fixture;
        std::vector<Expected> expected;
        // Names that may be missing: Wine cannot open a document summary stream that holds a
        // second, user-defined section.
        std::vector<std::wstring> mayBeMissing;
    } files[] = {
        {L"doc/props.doc",
         {{L"Title", L"Quarterly Report", kSum, L"title", L"Quarterly Report"},
          {L"Subject", L"Finanzen f\u00FCr Anna", kSum, L"subject", L"Finanzen f\u00FCr Anna"},
          {L"Author", L"Anna Example", kSum, L"author", L"Anna Example"},
          {L"Keywords", L"report; fixture", kSum, L"keywords", L"report; fixture"},
          {L"Comments", L"Made for tests", kSum, L"comments", L"Made for tests"},
          {L"Last saved by", L"Bob Editor", kSum, L"last_saved_by", L"Bob Editor"},
          {L"Content created", L"2021:06:15 11:20:30", kSum, L"create_time", L"2021-06-15T10:20:30Z"},
          {L"Date last saved", L"2021:06:16 11:20:30", kSum, L"last_saved_time", L"2021-06-16T10:20:30Z"},
          {L"Pages", L"3", kSum, L"num_pages", L"3"},
          {L"Category", L"Reports", kDoc, L"category", L"Reports"},
          {L"Manager", L"Carla Boss", kDoc, L"manager", L"Carla Boss"},
          {L"Company", L"Example Ltd", kDoc, L"company", L"Example Ltd"}},
         {L"Category", L"Manager", L"Company"}},
        {L"doc/sets.doc",
         {{L"Title", L"Budget Plan", kSum, L"title", L"Budget Plan"},
          {L"Author", L"Anna Example", kSum, L"author", L"Anna Example"},
          {L"Last printed", L"2021:06:17 11:20:30", kSum, L"last_printed", L"2021-06-17T10:20:30Z"},
          {L"Words", L"250", kSum, L"num_words", L"250"},
          {L"Category", L"Plans", kDoc, L"category", L"Plans"},
          {L"Lines", L"12", kDoc, L"lines", L"12"},
          {L"Manager", L"Carla Boss", kDoc, L"manager", L"Carla Boss"},
          {L"Company", L"Example Ltd", kDoc, L"company", L"Example Ltd"}},
         {}},
        {L"doc/installer.msi",
         {{L"Title", L"Installation Database", kSum, L"title", L"Installation Database"},
          {L"Subject", L"Fixture installer", kSum, L"subject", L"Fixture installer"},
          {L"Author", L"Example Ltd", kSum, L"author", L"Example Ltd"},
          {L"Keywords", L"fixture, installer", kSum, L"keywords", L"fixture, installer"},
          {L"Comments", L"Made for tests", kSum, L"comments", L"Made for tests"},
          {L"Template", L"Intel;1033", kSum, L"template", L"Intel;1033"},
          {L"Revision number", L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}", kSum, L"revision_number",
           L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}"},
          {L"Content created", L"2021:06:15 11:20:30", kSum, L"create_time", L"2021-06-15T10:20:30Z"},
          {L"Date last saved", L"2021:06:15 11:20:30", kSum, L"last_saved_time", L"2021-06-15T10:20:30Z"},
          {L"Pages", L"200", kSum, L"num_pages", L"200"},
          {L"Words", L"2", kSum, L"num_words", L"2"},
          {L"Program name", L"wixl", kSum, L"creating_application", L"wixl"}},
         {}},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(Utf16ToUtf8(file.fixture));
        const std::wstring path = CopyFixture(file.fixture, dir);
        OLE_DUMP_OR_SKIP(dump, path);
        const JsonWrapper result = Read(editor, path);
        std::vector<std::wstring> names;
        for (const Expected& e : file.expected) {
            EXPECT_EQ(OleText(dump, e.set, e.key), e.oleText) << Utf16ToUtf8(e.name);
            const bool optional =
                std::find(file.mayBeMissing.begin(), file.mayBeMissing.end(), e.name) != file.mayBeMissing.end();
            if (optional && result.Member(e.name).IsEmpty()) continue;
            names.push_back(e.name);
            EXPECT_EQ(DataOf(result, e.name), e.text) << Utf16ToUtf8(e.name);
        }
        // Only what the list names, in the list's order.
        EXPECT_EQ(NamesOf(result), names);
    }
}

TEST_F(StorageWay, GivesAnEmptyObjectForACompoundFileWithoutSetsAndNothingForOtherFiles)
{
    EXPECT_EQ(Read(editor, CopyFixture(L"doc/plain.doc", dir)).Print(), L"{}");
    EXPECT_TRUE(Read(editor, dir.MakeFile(L"a.txt", "plain text")).IsEmpty());
    EXPECT_TRUE(Read(editor, dir.Path() + L"\\missing.doc").IsEmpty());
}

TEST_F(StorageWay, ChangesExactlyTheWrittenPropertiesAndLeavesTheDocumentAlone)
{
    const std::wstring path = CopyFixture(L"doc/props.doc", dir);
    OLE_DUMP_OR_SKIP(before, path);
    const JsonObject request =
        Object()
            .Object(L"Title", TitleItem(L"Neuer Titel \u00FC"))
            .Object(L"Pages", Item(kSummary, L"14", L"VT_I4", L"7"))
            .Object(L"Last printed", Item(kSummary, L"11", L"VT_FILETIME", L"2022:01:02 04:05:06"))
            .Object(L"EditTime", Item(kSummary, L"10", L"VT_UI8", L"1:2:3"));
    std::wstring error;
    ASSERT_TRUE(Write(editor, path, request, error)) << Utf16ToUtf8(error);
    ExpectOnlyChanged(before, OleDump(path),
                      {{kSum, L"title", L"Neuer Titel \u00FC"},
                       {kSum, L"num_pages", L"7"},
                       {kSum, L"last_printed", L"2022-01-02T03:05:06Z"},
                       // A duration in the summary set is a FILETIME, which olefile reads in seconds.
                       {kSum, L"total_edit_time", L"3723"}});
    EXPECT_EQ(StreamBytes(path, L"WordDocument"), WordDocumentStandIn());

    const JsonWrapper result = Read(editor, path);
    EXPECT_EQ(DataOf(result, L"Title"), L"Neuer Titel \u00FC");
    EXPECT_EQ(DataOf(result, L"EditTime"), L"01:02:03");
    EXPECT_EQ(DataOf(result, L"Last printed"), L"2022:01:02 04:05:06");
}

TEST_F(StorageWay, WritesBothSetsOfAFileAndCreatesTheSetsAFileLacks)
{
    const JsonObject request = Object()
                                   .Object(L"Title", TitleItem(L"Both"))
                                   .Object(L"Company", Item(kDocSummary, L"15", L"VT_LPSTR", L"New Co"));
    const std::wstring sets = CopyFixture(L"doc/sets.doc", dir);
    OLE_DUMP_OR_SKIP(before, sets);
    std::wstring error;
    ASSERT_TRUE(Write(editor, sets, request, error)) << Utf16ToUtf8(error);
    ExpectOnlyChanged(before, OleDump(sets), {{kSum, L"title", L"Both"}, {kDoc, L"company", L"New Co"}});

    const std::wstring plain = CopyFixture(L"doc/plain.doc", dir);
    ASSERT_TRUE(Write(editor, plain, request, error)) << Utf16ToUtf8(error);
    const JsonWrapper created = OleDump(plain);
    EXPECT_EQ(OleText(created, kSum, L"title"), L"Both");
    EXPECT_EQ(OleText(created, kDoc, L"company"), L"New Co");
    EXPECT_EQ(StreamBytes(plain, L"WordDocument"), WordDocumentStandIn());
}

TEST_F(StorageWay, NeverReplacesASetItCannotOpen)
{
    // The document summary of props.doc holds a second, user-defined section. Where the system
    // cannot open such a set, the write fails whole and the file keeps every byte; where it can,
    // exactly the two properties change and the user-defined ones survive.
    const std::wstring path = CopyFixture(L"doc/props.doc", dir);
    OLE_DUMP_OR_SKIP(before, path);
    const std::string bytes = ReadAll(path);
    const JsonObject request = Object()
                                   .Object(L"Title", TitleItem(L"Both"))
                                   .Object(L"Company", Item(kDocSummary, L"15", L"VT_LPSTR", L"New Co"));
    std::wstring error;
    if (Write(editor, path, request, error)) {
        ExpectOnlyChanged(before, OleDump(path), {{kSum, L"title", L"Both"}, {kDoc, L"company", L"New Co"}});
    } else {
        EXPECT_EQ(error.rfind(L"set file summary property failed, hr=0x8", 0), 0u) << Utf16ToUtf8(error);
        EXPECT_TRUE(ReadAll(path) == bytes) << "the file changed";
    }
}

TEST_F(StorageWay, ReadsATimeBackAsItWasWritten)
{
    const std::wstring path = CopyFixture(L"doc/props.doc", dir);
    OLE_DUMP_OR_SKIP(before, path);
    const std::wstring created = DataOf(Read(editor, path), L"Content created");
    std::wstring error;
    ASSERT_TRUE(Write(editor, path, Object().Object(L"Content created", Item(kSummary, L"12", L"VT_FILETIME", created)),
                      error));
    ExpectOnlyChanged(before, OleDump(path), {});
}

TEST_F(StorageWay, SkipsValuesWithoutATextFormAndRefusesTextsThatAreNoValues)
{
    const std::wstring path = CopyFixture(L"doc/installer.msi", dir);
    OLE_DUMP_OR_SKIP(before, path);
    const std::string bytes = ReadAll(path);
    std::wstring error;
    EXPECT_FALSE(Write(editor, path,
                       Object()
                           .Object(L"Author", Item(kSummary, L"4", L"VT_LPSTR", L"x"))
                           .Object(L"Pages", Item(kSummary, L"14", L"VT_I4", L"two hundred")),
                       error));
    EXPECT_EQ(error, L"invalid number for Pages: two hundred");
    EXPECT_TRUE(ReadAll(path) == bytes);

    error.clear();
    EXPECT_TRUE(Write(editor, path,
                      Object()
                          .Object(L"Author", Item(kSummary, L"4", L"VT_LPSTR", L"Someone Else"))
                          .Object(L"Thumbnail", Item(kSummary, L"17", L"VT_CF", L""))
                          .Object(L"Security", Item(kSummary, L"19", L"VT_UNKNOWN", L"0"))
                          .Object(L"Parts", Item(kDocSummary, L"13", L"VT_VECTOR|VT_LPSTR", L"a, b")),
                      error));
    ExpectOnlyChanged(before, OleDump(path), {{kSum, L"author", L"Someone Else"}});
}

TEST_F(StorageWay, LeavesFilesItCannotWriteAsTheyAre)
{
    const std::wstring text = dir.MakeFile(L"a.txt", "plain text");
    for (const std::wstring& path : {text, dir.Path() + L"\\missing.doc"}) {
        std::wstring error;
        EXPECT_FALSE(Write(editor, path, Object().Object(L"Title", TitleItem(L"x")), error)) << Utf16ToUtf8(path);
        EXPECT_EQ(error.rfind(L"set file summary property failed, hr=0x8", 0), 0u) << Utf16ToUtf8(error);
    }
    EXPECT_EQ(ReadAll(text), "plain text");
    EXPECT_EQ(GetFileAttributesW((dir.Path() + L"\\missing.doc").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(StorageWay, RefusesAReadOnlyFileAndKeepsAHiddenFilesAttributes)
{
    const std::wstring readOnly = CopyFixture(L"doc/props.doc", dir, L"ro.doc");
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string bytes = ReadAll(readOnly);
    std::wstring error;
    EXPECT_FALSE(Write(editor, readOnly, Object().Object(L"Title", TitleItem(L"x")), error));
    EXPECT_EQ(error, L"The file is read-only");
    EXPECT_TRUE(ReadAll(readOnly) == bytes);
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);

    const std::wstring hidden = CopyFixture(L"doc/props.doc", dir, L"hidden.doc");
    OLE_DUMP_OR_SKIP(before, hidden);
    ASSERT_TRUE(SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    const DWORD attributes = GetFileAttributesW(hidden.c_str());
    ASSERT_TRUE(Write(editor, hidden, Object().Object(L"Title", TitleItem(L"Hidden")), error)) << Utf16ToUtf8(error);
    EXPECT_EQ(GetFileAttributesW(hidden.c_str()), attributes);
    ExpectOnlyChanged(before, OleDump(hidden), {{kSum, L"title", L"Hidden"}});
}

TEST_F(StorageWay, LeavesTheFileByteForByteWhenTheDiskFillsDuringTheSave)
{
    const std::wstring path = CopyFixture(L"doc/props.doc", dir);
    const std::string bytes = ReadAll(path);
    const WriteBudgetReset reset;
    for (uint64_t budget = 0; budget < bytes.size(); budget += bytes.size() / 7 + 1) {
        SCOPED_TRACE(testing::Message() << "budget " << budget);
        FileSave::SetWriteBudgetForTests(budget);
        std::wstring error;
        EXPECT_FALSE(Write(editor, path, Object().Object(L"Title", TitleItem(L"x")), error));
        EXPECT_EQ(error, L"There is not enough space on the disk (112)");
        EXPECT_TRUE(ReadAll(path) == bytes);
        EXPECT_EQ(ScratchFilesIn(dir.Path()), std::vector<std::wstring>{}) << "a scratch file stayed behind";
    }
}

} // namespace

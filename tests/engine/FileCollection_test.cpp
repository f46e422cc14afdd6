#include "engine/FileCollection.h"
#include "core/JsonWrapper.h"
#include "core/TextConvert.h"
#include "engine/CommandEngine.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> Walked(const std::wstring& folder, bool subDir, bool includeDir, bool dirOnly)
{
    JsonWrapper list;
    list.MakeArray();
    WalkFolder(folder, list, subDir, includeDir, dirOnly);
    return TextItems(list.View());
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> items)
{
    std::sort(items.begin(), items.end());
    return items;
}

// The paths below a root, sorted, for comparing a walk whose order is the file system's.
std::vector<std::wstring> Under(const std::wstring& root, std::vector<std::wstring> names)
{
    for (std::wstring& name : names)
        name = root + L"\\" + name;
    return Sorted(names);
}

// root: a.txt, sub\b.txt, sub\deeper\c.txt, and an empty folder.
class SmallTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_.MakeFile(L"a.txt");
        dir_.MakeFolder(L"sub");
        dir_.MakeFile(L"sub\\b.txt");
        dir_.MakeFolder(L"sub\\deeper");
        dir_.MakeFile(L"sub\\deeper\\c.txt");
        dir_.MakeFolder(L"empty");
    }
    const std::wstring& Root() const { return dir_.Path(); }

    TempDir dir_;
};

struct FlagCase {
    bool subDir;
    bool includeDir;
    bool dirOnly;
    std::vector<std::wstring> expected;
};

TEST_F(SmallTree, ListsWhatEachFlagCombinationAsksFor)
{
    const FlagCase cases[] = {
        {false, false, false, {L"a.txt"}},
        {true, false, false, {L"a.txt", L"sub\\b.txt", L"sub\\deeper\\c.txt"}},
        {false, true, false, {L"a.txt", L"sub", L"empty"}},
        {true, true, false, {L"a.txt", L"sub", L"sub\\b.txt", L"sub\\deeper", L"sub\\deeper\\c.txt", L"empty"}},
        {false, false, true, {}},
        {true, false, true, {}},
        {false, true, true, {L"sub", L"empty"}},
        {true, true, true, {L"sub", L"sub\\deeper", L"empty"}},
    };
    for (const FlagCase& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "subdir " << c.subDir << ", includedir " << c.includeDir << ", dironly " << c.dirOnly);
        EXPECT_EQ(Sorted(Walked(Root(), c.subDir, c.includeDir, c.dirOnly)), Under(Root(), c.expected));
    }
}

TEST_F(SmallTree, ListsEachFolderRightBeforeEverythingBelowIt)
{
    const std::vector<std::wstring> items = Walked(Root(), true, true, false);
    ASSERT_EQ(items.size(), 6u);
    for (size_t index = 0; index < items.size(); ++index) {
        if (!(GetFileAttributesW(items[index].c_str()) & FILE_ATTRIBUTE_DIRECTORY)) continue;
        const std::wstring prefix = items[index] + L"\\";
        const auto below = [&prefix](const std::wstring& item) { return item.compare(0, prefix.size(), prefix) == 0; };
        const size_t count = std::count_if(items.begin(), items.end(), below);
        for (size_t next = index + 1; next <= index + count; ++next)
            EXPECT_TRUE(below(items[next])) << "not directly after " << Utf16ToUtf8(items[index]);
    }
}

TEST_F(SmallTree, AppendsToWhatTheListAlreadyHolds)
{
    JsonWrapper list;
    list.MakeArray();
    list.AppendString(L"first");
    WalkFolder(Root(), list, false, false, false);
    EXPECT_EQ(TextItems(list.View()), (std::vector<std::wstring>{L"first", Root() + L"\\a.txt"}));
}

TEST_F(SmallTree, JoinsAFolderPathEndingInABackslashWithASecondOne)
{
    // As for a drive root such as C:\ — the walk does not look at how the path ends.
    const std::wstring root = Root() + L"\\";
    EXPECT_EQ(Sorted(Walked(root, true, false, false)),
              Sorted({root + L"\\a.txt", root + L"\\sub\\b.txt", root + L"\\sub\\deeper\\c.txt"}));
}

TEST(WalkFolder, ListsNothingForAnEmptyFolderWhateverTheFlags)
{
    TempDir dir;
    const std::wstring empty = dir.MakeFolder(L"empty");
    EXPECT_TRUE(Walked(empty, true, true, false).empty());
    JsonWrapper list;
    list.MakeArray();
    WalkFolder(empty, list, true, true, false);
    EXPECT_EQ(list.Print(), L"[]");
}

TEST(WalkFolder, ListsNothingForAFolderThatDoesNotExist)
{
    TempDir dir;
    EXPECT_TRUE(Walked(dir.Path() + L"\\missing", true, true, false).empty());
}

TEST(WalkFolder, ListsHiddenAndSystemEntriesLikeAnyOther)
{
    TempDir dir;
    const std::wstring file = dir.MakeFile(L"hidden.txt");
    const std::wstring folder = dir.MakeFolder(L"system");
    const std::wstring inner = dir.MakeFile(L"system\\inner.txt");
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(Sorted(Walked(dir.Path(), true, true, false)), Sorted({file, folder, inner}));
}

TEST(WalkFolder, KeepsNamesOutsideAsciiIntactUpToThePrintedList)
{
    TempDir dir;
    const std::wstring folder = dir.MakeFolder(L"\u041F\u0430\u043F\u043A\u0430");
    const std::wstring file = dir.MakeFile(L"\u041F\u0430\u043F\u043A\u0430\\\u65E5\u672C \U0001F600.mp3");
    const std::wstring accented = dir.MakeFile(L"caf\u00E9.txt");
    JsonWrapper list;
    list.MakeArray();
    WalkFolder(dir.Path(), list, true, true, false);
    EXPECT_EQ(Sorted(TextItems(list.View())), Sorted({folder, file, accented}));

    JsonWrapper reparsed;
    ASSERT_TRUE(reparsed.Parse(list.Print()));
    EXPECT_EQ(TextItems(reparsed.View()), TextItems(list.View()));
}

// A link to a folder, made the way the system at hand allows: a junction (Windows, no privilege
// needed), a symbolic link, or, under Wine, whose calls for both do nothing, a host symbolic link,
// which Wine shows as a folder link. Removed again when the test ends.
class FolderLink {
public:
    FolderLink(const std::wstring& link, const std::wstring& target) : link_(link)
    {
        made_ = MakeJunction(target) || MakeSymbolicLink(target) || MakeHostLink(target);
    }
    FolderLink(const FolderLink&) = delete;
    FolderLink& operator=(const FolderLink&) = delete;
    ~FolderLink()
    {
        if (RemoveDirectoryW(link_.c_str()) || !Exists()) return;
        const std::wstring host = HostPath(link_);
        if (host.empty()) return;
        RunHost(L"/bin/rm -f -- \"" + host + L"\"");
        Await([this] { return !Exists(); });
    }
    bool Made() const { return made_; }

private:
    bool Exists() const { return GetFileAttributesW(link_.c_str()) != INVALID_FILE_ATTRIBUTES; }
    bool IsFolder() const
    {
        const DWORD attributes = GetFileAttributesW(link_.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool MakeJunction(const std::wstring& target)
    {
        if (!CreateDirectoryW(link_.c_str(), nullptr)) return false;
        HANDLE handle = CreateFileW(link_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        BOOL ok = FALSE;
        if (handle != INVALID_HANDLE_VALUE) {
            // The mount-point reparse record: substitute name "\??\<target>", then the print name.
            const std::wstring substitute = L"\\??\\" + target;
            const WORD substituteBytes = static_cast<WORD>(substitute.size() * 2);
            const WORD printBytes = static_cast<WORD>(target.size() * 2);
            std::vector<BYTE> record(16 + substituteBytes + 2 + printBytes + 2, 0);
            auto putWord = [&record](size_t at, WORD value) { memcpy(&record[at], &value, 2); };
            const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
            memcpy(&record[0], &tag, 4);
            putWord(4, static_cast<WORD>(record.size() - 8));
            putWord(8, 0);
            putWord(10, substituteBytes);
            putWord(12, static_cast<WORD>(substituteBytes + 2));
            putWord(14, printBytes);
            memcpy(&record[16], substitute.c_str(), substituteBytes);
            memcpy(&record[16 + substituteBytes + 2], target.c_str(), printBytes);
            DWORD returned = 0;
            ok = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, record.data(), static_cast<DWORD>(record.size()),
                                 nullptr, 0, &returned, nullptr);
            CloseHandle(handle);
        }
        if (!ok) RemoveDirectoryW(link_.c_str());
        return ok && IsFolder();
    }

    bool MakeSymbolicLink(const std::wstring& target)
    {
        return CreateSymbolicLinkW(link_.c_str(), target.c_str(),
                                   SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
               IsFolder();
    }

    bool MakeHostLink(const std::wstring& target)
    {
        const std::wstring hostTarget = HostPath(target);
        const std::wstring hostLink = HostPath(link_);
        if (hostTarget.empty() || hostLink.empty()) return false;
        RunHost(L"/bin/ln -s -- \"" + hostTarget + L"\" \"" + hostLink + L"\"");
        return Await([this] { return IsFolder(); });
    }

    // The host's path of a Windows path under Wine; empty elsewhere.
    static std::wstring HostPath(const std::wstring& path)
    {
        using Convert = char*(CDECL*)(LPCWSTR);
        const auto convert = reinterpret_cast<Convert>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
        if (!convert) return {};
        char* host = convert(path.c_str());
        if (!host) return {};
        const std::wstring text = Utf8ToUtf16(host);
        HeapFree(GetProcessHeap(), 0, host);
        return text;
    }

    // Wine neither waits for a host program nor passes on its exit code: callers watch for its
    // effect, for a few seconds at most.
    template <typename Done> static bool Await(Done done)
    {
        for (int attempt = 0; attempt < 500; ++attempt) {
            if (done()) return true;
            Sleep(10);
        }
        return done();
    }

    // Starts a host program; Wine starts programs of its host too.
    static void RunHost(std::wstring commandLine)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process))
            return;
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

    std::wstring link_;
    bool made_ = false;
};

TEST_F(SmallTree, ListsALinkBackToAnAncestorButDoesNotEnterIt)
{
    FolderLink up(Root() + L"\\sub\\deeper\\up", Root());
    FolderLink self(Root() + L"\\sub\\self", Root() + L"\\sub");
    if (!up.Made() || !self.Made()) GTEST_SKIP() << "this system makes no folder links";

    EXPECT_EQ(Sorted(Walked(Root(), true, true, false)),
              Under(Root(), {L"a.txt", L"sub", L"sub\\b.txt", L"sub\\self", L"sub\\deeper", L"sub\\deeper\\c.txt",
                             L"sub\\deeper\\up", L"empty"}));
    EXPECT_EQ(Sorted(Walked(Root(), true, false, false)),
              Under(Root(), {L"a.txt", L"sub\\b.txt", L"sub\\deeper\\c.txt"}));
}

TEST_F(SmallTree, EntersAFolderThatTwoWaysLeadToOnlyOnce)
{
    // Both ways are listed; the folder's contents come once, under whichever way the walk took first.
    FolderLink across(Root() + L"\\empty\\across", Root() + L"\\sub\\deeper");
    if (!across.Made()) GTEST_SKIP() << "this system makes no folder links";

    const std::vector<std::wstring> walked = Sorted(Walked(Root(), true, true, false));
    const std::vector<std::wstring> common = {L"a.txt",       L"sub",   L"sub\\b.txt",
                                              L"sub\\deeper", L"empty", L"empty\\across"};
    std::vector<std::wstring> viaSub = common, viaLink = common;
    viaSub.push_back(L"sub\\deeper\\c.txt");
    viaLink.push_back(L"empty\\across\\c.txt");
    EXPECT_TRUE(walked == Under(Root(), viaSub) || walked == Under(Root(), viaLink)) << walked.size() << " entries";
}

TEST(WalkFolder, WalksAChainOfDoublingLinksOnceThroughEachFolder)
{
    // Each level holds two links to the next: walked by every way, the work doubles per level.
    constexpr int kLevels = 12;
    TempDir dir;
    std::vector<std::wstring> levels;
    for (int level = 0; level <= kLevels; ++level)
        levels.push_back(dir.MakeFolder(L"level" + std::to_wstring(level)));
    dir.MakeFile(L"level" + std::to_wstring(kLevels) + L"\\end.txt");
    std::vector<std::unique_ptr<FolderLink>> links;
    for (int level = 0; level < kLevels; ++level) {
        for (const wchar_t* name : {L"\\a", L"\\b"}) {
            links.push_back(std::make_unique<FolderLink>(levels[level] + name, levels[level + 1]));
            if (!links.back()->Made()) GTEST_SKIP() << "this system makes no folder links";
        }
    }

    const std::vector<std::wstring> walked = Walked(levels[0], true, true, false);
    // Two links listed per level, and the last level's file once.
    EXPECT_EQ(walked.size(), static_cast<size_t>(2 * kLevels + 1));
    EXPECT_EQ(std::count_if(walked.begin(), walked.end(),
                            [](const std::wstring& path) {
                                return path.size() > 8 && path.substr(path.size() - 8) == L"\\end.txt";
                            }),
              1);
}

TEST_F(SmallTree, EndsAWalkThatStartsInsideALoop)
{
    FolderLink up(Root() + L"\\sub\\deeper\\up", Root());
    if (!up.Made()) GTEST_SKIP() << "this system makes no folder links";

    // Started at the link itself: the folder it leads to is the walk's own start.
    EXPECT_EQ(Sorted(Walked(Root() + L"\\sub\\deeper\\up", true, true, true)),
              Under(Root() + L"\\sub\\deeper\\up", {L"sub", L"sub\\deeper", L"sub\\deeper\\up", L"empty"}));
}

// ---- "collectpaths": given paths listed as the dialog lists its picks ----------------------------

// The request's answer, which must be a printed list.
std::wstring CollectAnswer(const std::wstring& request)
{
    auto engine = std::make_unique<CommandEngine>();
    return AnswerTo(*engine, request);
}

std::vector<std::wstring> Collected(const std::wstring& request)
{
    return TextItems(Parsed(CollectAnswer(request)).View());
}

// The JSON text of a list of paths.
std::wstring PathList(const std::vector<std::wstring>& paths)
{
    std::wstring text = L"[";
    for (const std::wstring& path : paths)
        text += (text.size() > 1 ? L"," : L"") + JsonLiteral(path);
    return text + L"]";
}

JsonObject CollectRequest(const std::vector<std::wstring>& paths, bool subDir, bool includeDir, bool dirOnly)
{
    return Request(L"collectpaths")
        .Json(L"paths", PathList(paths))
        .Bool(L"subdir", subDir)
        .Bool(L"includedir", includeDir)
        .Bool(L"dironly", dirOnly);
}

struct CollectCase {
    const char* what;
    std::vector<std::wstring> given; // below the root; "" is the root itself
    bool subDir;
    bool includeDir;
    bool dirOnly;
    std::vector<std::wstring> expected; // below the root, in any order
};

TEST_F(SmallTree, CollectsGivenPathsAsTheDialogListsItsPicks)
{
    const auto full = [this](const std::wstring& name) { return name.empty() ? Root() : Root() + L"\\" + name; };
    const CollectCase cases[] = {
        {"a file", {L"a.txt"}, false, false, false, {L"a.txt"}},
        {"a file with dironly", {L"a.txt"}, true, true, true, {}},
        {"a folder", {L""}, false, false, false, {L"a.txt"}},
        {"a folder with subdir", {L""}, true, false, false, {L"a.txt", L"sub\\b.txt", L"sub\\deeper\\c.txt"}},
        {"a folder with includedir", {L""}, false, true, false, {L"", L"a.txt", L"sub", L"empty"}},
        {"a folder with every flag", {L""}, true, true, true, {L"", L"sub", L"sub\\deeper", L"empty"}},
        {"an empty folder", {L"empty"}, true, false, false, {}},
        {"a folder name ending in backslashes",
         {L"sub\\\\"},
         false,
         true,
         false,
         {L"sub", L"sub\\b.txt", L"sub\\deeper"}},
        {"a name with slashes and dot segments", {L"sub/deeper/../../a.txt"}, false, false, false, {L"a.txt"}},
        {"a missing path among others", {L"missing.txt", L"a.txt", L"sub\\missing"}, false, false, false, {L"a.txt"}},
        {"a missing path alone", {L"missing"}, true, true, false, {}},
    };
    for (const CollectCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::wstring> given, expected;
        for (const std::wstring& name : c.given)
            given.push_back(full(name));
        for (const std::wstring& name : c.expected)
            expected.push_back(full(name));
        EXPECT_EQ(Sorted(Collected(CollectRequest(given, c.subDir, c.includeDir, c.dirOnly))), Sorted(expected));
    }
}

TEST_F(SmallTree, CollectsPathsInTheOrderGivenWithAFolderItselfBeforeItsContents)
{
    const std::vector<std::wstring> items =
        Collected(CollectRequest({Root() + L"\\sub\\deeper", Root() + L"\\a.txt"}, false, true, false));
    EXPECT_EQ(items, (std::vector<std::wstring>{Root() + L"\\sub\\deeper", Root() + L"\\sub\\deeper\\c.txt",
                                                Root() + L"\\a.txt"}));
    // Nothing found is an empty list, not the empty answer of a cancelled dialog.
    EXPECT_EQ(CollectAnswer(CollectRequest({Root() + L"\\missing"}, false, false, false)), L"[]");
}

TEST_F(SmallTree, CollectsRelativePathsFromTheCurrentFolderAsFullPaths)
{
    std::wstring previous(MAX_PATH, L'\0');
    previous.resize(GetCurrentDirectoryW(MAX_PATH, previous.data()));
    ASSERT_TRUE(SetCurrentDirectoryW((Root() + L"\\sub").c_str()));
    const std::vector<std::wstring> items =
        Collected(CollectRequest({L"b.txt", L"..\\a.txt", L"deeper"}, false, false, false));
    SetCurrentDirectoryW(previous.c_str());
    EXPECT_EQ(items, (std::vector<std::wstring>{Root() + L"\\sub\\b.txt", Root() + L"\\a.txt",
                                                Root() + L"\\sub\\deeper\\c.txt"}));
}

TEST(CollectPaths, ReadsItsFlagsAsAddFilesDoesOnlyFromTheTextTrue)
{
    TempDir dir;
    const std::wstring folder = dir.MakeFolder(L"sub");
    const std::wstring file = dir.MakeFile(L"sub\\a.txt");
    const struct {
        const wchar_t* flag;
        const wchar_t* value; // JSON text
        std::vector<std::wstring> expected;
    } cases[] = {
        {L"includedir", L"true", {folder, file}},
        {L"includedir", L"\"true\"", {folder, file}},
        {L"includedir", L"\"True\"", {file}},
        {L"includedir", L"1", {file}},
        {L"dironly", L"true", {}},
        {L"dironly", L"\"TRUE\"", {file}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(std::wstring(c.flag) + L" " + c.value));
        const std::wstring request =
            L"{\"cmd\":\"collectpaths\",\"paths\":" + PathList({folder}) + L",\"" + c.flag + L"\":" + c.value + L"}";
        EXPECT_EQ(Collected(request), c.expected);
    }
}

TEST(CollectPaths, NamesNothingWithPathsThatAreNotAListOfTexts)
{
    TempDir dir;
    const std::wstring file = dir.MakeFile(L"a.txt");
    const std::wstring literal = JsonLiteral(file);
    // A name holding U+0000 names nothing: neither what the system would cut it to (a.txt), nor the
    // name the document reads it back as, where U+0000 has become two replacement characters.
    dir.MakeFile(L"a.txt\uFFFD\uFFFD.jpg");
    const std::wstring cut = literal.substr(0, literal.size() - 1) + L"\\u0000.jpg\"";
    const std::wstring requests[] = {
        L"{\"cmd\":\"collectpaths\"}",
        L"{\"cmd\":\"collectpaths\",\"paths\":" + literal + L"}",
        L"{\"cmd\":\"collectpaths\",\"paths\":{\"a\":" + literal + L"}}",
        L"{\"cmd\":\"collectpaths\",\"paths\":null}",
        L"{\"cmd\":\"collectpaths\",\"paths\":7}",
        L"{\"cmd\":\"collectpaths\",\"paths\":[]}",
        L"{\"cmd\":\"collectpaths\",\"paths\":[5,null,true,\"\",[" + literal + L"],{\"p\":" + literal + L"}]}",
        L"{\"cmd\":\"collectpaths\",\"paths\":[" + cut + L"]}",
    };
    for (const std::wstring& request : requests)
        EXPECT_EQ(CollectAnswer(request), L"[]") << Utf16ToUtf8(request);
    // A text among them still counts.
    EXPECT_EQ(CollectAnswer(L"{\"cmd\":\"collectpaths\",\"paths\":[5," + literal + L",null]}"), L"[" + literal + L"]");
}

// Closes every dialog of this thread that appears while a command runs, so that a system that
// can show the file-open dialog cannot stall the test.
VOID CALLBACK CancelThreadDialogs(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM) -> BOOL {
            wchar_t className[16] = {};
            GetClassNameW(window, className, 16);
            if (std::wstring(className) == L"#32770") PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
            return TRUE;
        },
        0);
}

TEST(AddFiles, AnswersEmptyTextWhenNoFilesArePicked)
{
    auto handler = std::make_unique<CommandEngine>();
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, CancelThreadDialogs);
    std::wstring answer = L"unchanged";
    const bool parsed =
        handler->RunRequest(Request(L"addfiles").Bool(L"forfolder", true).Text(L"subdir", L"true"), answer);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(parsed);
    EXPECT_EQ(answer, L"");
}

} // namespace

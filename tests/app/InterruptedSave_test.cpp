// Saves killed at random points, as a crash or a user's End task would stop them: the console
// program saves a large file and is terminated after a random delay within the time a whole save
// takes. Whenever it stops, the user's path holds the whole old file or the whole new one, byte for
// byte, as an independent reader confirms, and the next start removes what the save left beside it.
// (Media files have their own such test beside the media handler's.)
#include "core/TextConvert.h"
#include "platform/ComPtr.h"
#include "platform/FileSave.h"
#include "platform/UniqueHandle.h"
#include "tests/support/Fixture.h"
#include "tests/support/Requests.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <propidl.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRuns = 30;

// Starts varenko-cmd.exe with one request line and ends it after `delayMs` (or lets it finish when
// the delay is negative); the milliseconds it ran.
double RunAndKill(const std::wstring& request, double delayMs)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0)) return -1;
    UniqueHandle readEnd(inRead), writeEnd(inWrite);
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    const UniqueHandle nul(
        CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = nul.Get();
    startup.hStdError = nul.Get();
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + BesideTestProgram(L"varenko-cmd.exe") + L"\"";
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    readEnd.Reset();
    const UniqueHandle process(info.hProcess), thread(info.hThread);
    const std::string line = Utf16ToUtf8(request) + "\n";
    const auto start = std::chrono::steady_clock::now();
    DWORD written = 0;
    WriteFile(inWrite, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    writeEnd.Reset();
    if (delayMs >= 0 && WaitForSingleObject(process.Get(), static_cast<DWORD>(delayMs)) == WAIT_TIMEOUT)
        TerminateProcess(process.Get(), 9);
    WaitForSingleObject(process.Get(), 120000);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

bool Overwrite(const std::wstring& path, const std::string& bytes)
{
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file.IsValid() && WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

enum class Writes {
    ThroughACopy, // the path holds the old bytes or the new ones
    InPlace,      // readers see the old values or the new ones, and the next save completes the file
};

// Saves `path` once whole, then kRuns times from its old bytes, killed at random points. After each
// run `check` is asked, with whether the file reads as new, to confirm it with a reader that is
// not ours; `readsAsNew` says so for files written in place.
void KillAtRandomPoints(const TempDir& dir, const std::wstring& path, const std::wstring& request,
                        const std::function<void(bool isNew)>& check, Writes writes = Writes::ThroughACopy,
                        const std::function<bool()>& readsAsNew = nullptr)
{
    const std::string old = ReadAll(path);
    const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
    const double whole = RunAndKill(request, -1);
    ASSERT_GT(whole, 0);
    const std::string saved = ReadAll(path);
    ASSERT_NE(saved, old) << "the whole save changed nothing";
    check(true);

    std::mt19937 random(20261211);
    int kept = 0, replaced = 0;
    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run);
        ASSERT_TRUE(Overwrite(path, old));
        RunAndKill(request, std::uniform_real_distribution<double>(0, whole)(random));
        const std::string now = ReadAll(path);
        if (writes == Writes::InPlace) {
            const bool isNew = readsAsNew();
            (isNew ? replaced : kept)++;
            check(isNew);
            RunAndKill(request, -1);
            ASSERT_TRUE(ReadAll(path) == saved) << "the next save did not complete the file";
            check(true);
            CleanUpInterruptedSaves();
            EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{name});
            continue;
        }
        ASSERT_TRUE(now == old || now == saved) << "the path holds " << now.size() << " bytes of neither file";
        (now == old ? kept : replaced)++;
        check(now == saved);
        // The next start removes what the killed save left beside the file.
        CleanUpInterruptedSaves();
        EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::wstring>{name});
    }
    std::printf("%ls: %d kills left the old file, %d the new one\n", name.c_str(), kept, replaced);
}

// exiftool's full listing of a file (every group, unknown tags too), less what the file system says
// about it (size, times, permissions), one line each.
std::set<std::string> ExifListing(const std::wstring& path)
{
    const ReaderResult reader = RunReader(L"exiftool", {L"-a", L"-u", L"-G1", L"-s", path});
    std::set<std::string> lines;
    std::istringstream in(reader.out);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("[System]", 0) != 0 && line.rfind("[ExifTool]", 0) != 0) lines.insert(line);
    }
    return lines;
}

// The lines that name none of `tags`.
std::set<std::string> Without(std::set<std::string> lines, std::initializer_list<const char*> tags)
{
    for (auto line = lines.begin(); line != lines.end();) {
        bool named = false;
        for (const char* tag : tags)
            named = named || line->find(std::string(" ") + tag + " ") != std::string::npos;
        line = named ? lines.erase(line) : std::next(line);
    }
    return lines;
}

std::string Between(const std::string& text, const std::string& from, const std::string& to)
{
    const size_t start = text.find(from);
    if (start == std::string::npos) return {};
    const size_t end = text.find(to, start + from.size());
    return text.substr(start + from.size(), end == std::string::npos ? std::string::npos : end - start - from.size());
}

// A compound file with a large document stream and a summary set titled "Before", made with the
// system's structured storage.
bool MakeLargeCompoundFile(const std::wstring& path, size_t streamBytes)
{
    ComPtr<IStorage> root;
    if (FAILED(StgCreateStorageEx(path.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, STGFMT_DOCFILE, 0,
                                  nullptr, nullptr, IID_IStorage, root.PutVoid())))
        return false;
    {
        ComPtr<IStream> stream;
        if (FAILED(root->CreateStream(L"WordDocument", STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                      stream.Put())))
            return false;
        std::string piece(1 << 20, '\0');
        for (size_t i = 0; i < piece.size(); ++i)
            piece[i] = static_cast<char>((i * 2654435761u) >> 11);
        for (size_t done = 0; done < streamBytes; done += piece.size()) {
            ULONG written = 0;
            if (FAILED(stream->Write(piece.data(), static_cast<ULONG>(piece.size()), &written))) return false;
        }
    }
    const ComPtr<IPropertySetStorage> sets = root.As<IPropertySetStorage>(IID_IPropertySetStorage);
    if (!sets) return false;
    ComPtr<IPropertyStorage> summary;
    if (FAILED(sets->Create(FMTID_SummaryInformation, nullptr, PROPSETFLAG_ANSI,
                            STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, summary.Put())))
        return false;
    PROPSPEC spec{};
    spec.ulKind = PRSPEC_PROPID;
    spec.propid = PIDSI_TITLE;
    PROPVARIANT title{};
    title.vt = VT_LPSTR;
    char text[] = "Before";
    title.pszVal = text;
    if (FAILED(summary->WriteMultiple(1, &spec, &title, PID_FIRST_USABLE)) || FAILED(summary->Commit(STGC_DEFAULT)))
        return false;
    summary.Reset();
    return SUCCEEDED(root->Commit(STGC_DEFAULT));
}

std::wstring SetProps(const std::wstring& path, const std::wstring& category, const JsonObject& values)
{
    return Request(L"setprops")
        .Text(L"filename", path)
        .Text(L"cat", category)
        .Object(L"props", Object().Object(category, values))
        .Print();
}

} // namespace

TEST(InterruptedSave, OfALargePhotoLeavesTheWholeOldOrTheWholeNewFile)
{
    if (!RunReader(L"exiftool", {L"-ver"}).found) GTEST_SKIP() << "exiftool is not available here";
    TempDir dir;
    // A photo with 64 MB after its image: every byte of it is copied by a save.
    const std::wstring path =
        dir.MakeFile(L"big photo.jpg", ReadAll(FixturePath(L"exif/le.jpg")) + std::string(64u << 20, '\x5A'));
    const std::set<std::string> before = ExifListing(path);
    const JsonObject description = Object().Text(L"type", L"ASCII").Text(L"data", L"After the save");
    KillAtRandomPoints(dir, path, SetProps(path, L"exif", Object().Object(L"0x010E", description)), [&](bool isNew) {
        const std::set<std::string> now = ExifListing(path);
        if (!isNew) {
            EXPECT_EQ(now, before);
            return;
        }
        // Everything else exiftool lists stays as it was; only the thumbnail's offset may move.
        EXPECT_EQ(Without(now, {"ImageDescription", "ThumbnailOffset"}),
                  Without(before, {"ImageDescription", "ThumbnailOffset"}));
        const std::set<std::string> rest = Without(now, {"ImageDescription"});
        EXPECT_EQ(now.size() - rest.size(), 1u);
        bool described = false;
        for (const std::string& line : now)
            described = described || (line.find(" ImageDescription ") != std::string::npos && line.size() > 16 &&
                                      line.compare(line.size() - 16, 16, ": After the save") == 0);
        EXPECT_TRUE(described);
    });
}

TEST(InterruptedSave, OfALargeDocumentLeavesTheWholeOldOrTheWholeNewFile)
{
    TempDir dir;
    const std::wstring path = dir.Path() + L"\\big report.doc";
    ASSERT_TRUE(MakeLargeCompoundFile(path, 48u << 20));
    const ReaderResult first = RunReader(L"olefile_dump.py", {path});
    if (!first.found) GTEST_SKIP() << first.missing;
    ASSERT_EQ(Between(first.out, "\"title\": \"", "\""), "Before") << first.out;
    const JsonObject title = Object()
                                 .Text(L"fmtid", L"{F29F85E0-4FF9-1068-AB91-08002B27B3D9}")
                                 .Text(L"id", L"2")
                                 .Text(L"type", L"VT_LPSTR")
                                 .Text(L"data", L"After");
    KillAtRandomPoints(dir, path, SetProps(path, L"doc", Object().Object(L"Title", title)), [&](bool isNew) {
        const ReaderResult dump = RunReader(L"olefile_dump.py", {path});
        ASSERT_EQ(dump.exitCode, 0) << dump.err;
        // olefile keeps the terminating zero of the wide string the handler writes.
        EXPECT_EQ(Between(dump.out, "\"title\": \"", "\""), isNew ? "After\\u0000" : "Before");
        EXPECT_NE(dump.out.find("WordDocument"), std::string::npos);
    });
}

TEST(InterruptedSave, OfALargeAviLeavesTheWholeOldOrTheWholeNewFile)
{
    TempDir dir;
    const std::wstring path = dir.Path() + L"\\big movie.avi";
    // About 64 MB of raw frames, its INFO list with no room beside it: a longer list goes at the end.
    const ReaderResult ffmpeg = RunReader(L"ffmpeg", {L"-v",
                                                      L"error",
                                                      L"-nostdin",
                                                      L"-f",
                                                      L"lavfi",
                                                      L"-i",
                                                      L"testsrc=size=640x480:rate=25",
                                                      L"-frames:v",
                                                      L"70",
                                                      L"-c:v",
                                                      L"rawvideo",
                                                      L"-pix_fmt",
                                                      L"bgr24",
                                                      L"-metadata",
                                                      L"title=Before",
                                                      L"-metadata_header_padding",
                                                      L"0",
                                                      L"-fflags",
                                                      L"+bitexact",
                                                      path});
    if (!ffmpeg.found) GTEST_SKIP() << ffmpeg.missing;
    ASSERT_EQ(ffmpeg.exitCode, 0) << ffmpeg.err;
    const auto title = [&] {
        const ReaderResult probe = RunReader(
            L"ffprobe", {L"-v", L"error", L"-show_entries", L"format_tags=title", L"-of", L"default=nw=1:nk=1", path});
        return probe.exitCode == 0 ? probe.out : "unreadable: " + probe.err;
    };
    ASSERT_EQ(title(), "Before\n");
    // The list is stored in place, so a kill may stop it between two of its writes: readers then
    // still see the old title or already the new one, never a broken file.
    const std::wstring longer(300, L'A');
    const std::string newTitle = Utf16ToUtf8(longer) + "\n";
    KillAtRandomPoints(
        dir, path, SetProps(path, L"avi", Object().Object(L"INAM", Object().Text(L"data", longer))),
        [&](bool isNew) { EXPECT_EQ(title(), isNew ? newTitle : "Before\n"); }, Writes::InPlace,
        [&] { return title() == newTitle; });
}

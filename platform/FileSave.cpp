// The replace step is the delicate one. Wine's ReplaceFileW moves the original aside, deletes it
// and then moves the new file in (measured: a process killed in between left no file at the path
// in 5 of 30 kills), so under Wine the scratch file takes the original's created time and
// attributes first and then one rename (MoveFileExW, which Wine maps to rename()) puts it in
// place. Windows' ReplaceFileW renames the replacement over the original in one step and also
// carries the original's security and alternate streams; it is given a backup name, with which a
// failure leaves both files under their own names.
#include "FileSave.h"

#include "platform/ComError.h"
#include "platform/FullPath.h"
#include "platform/UniqueHandle.h"

#include <algorithm>
#include <cwchar>
#include <memory>
#include <vector>

namespace {

constexpr DWORD kChunk = 1u << 20;
constexpr const wchar_t* kScratchPrefix = L"~vk";
constexpr const wchar_t* kJournalKey = L"Software\\Varenko\\Saves in progress";
// Room kept free beyond the new file: the file system's own bookkeeping and other programs.
constexpr uint64_t kSpareRoom = 1u << 20;
constexpr DWORD kScratchAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY;
// What marks a scratch file as ours besides its name: Wine keeps no temporary bit.
constexpr DWORD kScratchMark = FILE_ATTRIBUTE_HIDDEN;
// The attributes the new file takes over from the original.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

std::optional<uint64_t> g_budget;

bool RunsUnderWine()
{
    static const bool wine = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool IsDriveRoot(const std::wstring& p)
{
    return p.size() >= 3 && ((p[0] >= L'A' && p[0] <= L'Z') || (p[0] >= L'a' && p[0] <= L'z')) && p[1] == L':' &&
           IsSeparator(p[2]);
}

// A folder's path and the name in it, split at the last separator.
size_t NameStart(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? 0 : slash + 1;
}

uint32_t NameHash(const std::wstring& path)
{
    // FNV-1a over the name folded to upper case: the same file, however its name is cased.
    std::wstring name = path.substr(NameStart(path));
    if (!name.empty()) CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    uint32_t hash = 2166136261u;
    for (const wchar_t c : name)
        hash = (hash ^ static_cast<uint32_t>(c)) * 16777619u;
    return hash & 0xFFFFFFu;
}

// "~vk" + six digits from the name + two of the attempt + ".tmp".
std::wstring ScratchName(const std::wstring& original, uint32_t hash, unsigned attempt)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"%ls%06x%02x.tmp", kScratchPrefix, hash, attempt & 0xFFu);
    return original.substr(0, NameStart(original)) + text;
}

bool LooksLikeScratch(const std::wstring& name)
{
    if (name.size() != 15 || name.compare(0, 3, kScratchPrefix) != 0 || _wcsicmp(name.c_str() + 11, L".tmp") != 0)
        return false;
    return std::all_of(name.begin() + 3, name.begin() + 11, [](wchar_t c) { return iswxdigit(c) != 0; });
}

void JournalAdd(const std::wstring& scratch, const std::wstring& original)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kJournalKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key, scratch.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(original.c_str()),
                   static_cast<DWORD>((original.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void JournalRemove(const std::wstring& scratch)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kJournalKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, scratch.c_str());
    RegCloseKey(key);
}

// Deletes a scratch file that no process holds open; true when it is gone.
bool RemoveScratch(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    // An open without sharing fails while any process holds the file: a save still running.
    {
        const UniqueHandle probe(CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!probe.IsValid()) return false;
    }
    return DeleteFileW(path.c_str()) != 0;
}

// The scratch files an interrupted save of this original left beside it.
void RemoveLeftovers(const std::wstring& original, uint32_t hash)
{
    wchar_t pattern[32];
    std::swprintf(pattern, 32, L"%ls%06x??.tmp", kScratchPrefix, hash);
    const std::wstring folder = original.substr(0, NameStart(original));
    WIN32_FIND_DATAW found{};
    const UniqueFindHandle search(FindFirstFileW((folder + pattern).c_str(), &found));
    if (!search.IsValid()) return;
    do {
        const std::wstring name = found.cFileName;
        if (!LooksLikeScratch(name) || (found.dwFileAttributes & kScratchMark) != kScratchMark) continue;
        const std::wstring path = folder + name;
        if (RemoveScratch(path)) JournalRemove(path);
    } while (FindNextFileW(search.Get(), &found));
}

OVERLAPPED At(uint64_t offset)
{
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(offset);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return overlapped;
}

std::wstring Trimmed(std::wstring text)
{
    while (!text.empty() && (iswspace(text.back()) || text.back() == L'.'))
        text.pop_back();
    return text;
}

} // namespace

// The system's words for the errors a save meets most, as Windows gives them in English, so that
// the answer reads the same wherever the program runs (Wine's own texts are shorter: "Disk full").
struct KnownError {
    DWORD code;
    const wchar_t* text;
};
constexpr KnownError kKnownErrors[] = {
    {ERROR_FILE_NOT_FOUND, L"The system cannot find the file specified"},
    {ERROR_PATH_NOT_FOUND, L"The system cannot find the path specified"},
    {ERROR_ACCESS_DENIED, L"Access is denied"},
    {ERROR_WRITE_PROTECT, L"The media is write protected"},
    {ERROR_NOT_READY, L"The device is not ready"},
    {ERROR_WRITE_FAULT, L"The system cannot write to the specified device"},
    {ERROR_READ_FAULT, L"The system cannot read from the specified device"},
    {ERROR_SHARING_VIOLATION, L"The process cannot access the file because it is being used by another process"},
    {ERROR_LOCK_VIOLATION,
     L"The process cannot access the file because another process has locked a portion of the file"},
    {ERROR_HANDLE_DISK_FULL, L"The disk is full"},
    {ERROR_DISK_FULL, L"There is not enough space on the disk"},
    {ERROR_INVALID_NAME, L"The filename, directory name, or volume label syntax is incorrect"},
    {ERROR_FILENAME_EXCED_RANGE, L"The filename or extension is too long"},
    {ERROR_DIRECTORY, L"The directory name is invalid"},
    {ERROR_FILE_EXISTS, L"The file exists"},
    {ERROR_ALREADY_EXISTS, L"Cannot create a file when that file already exists"},
    {ERROR_USER_MAPPED_FILE, L"The requested operation cannot be performed on a file with a user-mapped section open"},
    {ERROR_IO_DEVICE, L"The request could not be performed because of an I/O device error"},
};

std::wstring SystemErrorText(DWORD code)
{
    for (const KnownError& known : kKnownErrors) {
        if (known.code == code) return std::wstring(known.text) + L" (" + std::to_wstring(code) + L")";
    }
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length > 0 && buffer != nullptr) text = Trimmed(std::wstring(buffer, length));
    if (buffer != nullptr) LocalFree(buffer);
    if (text.empty()) text = L"System error";
    return text + L" (" + std::to_wstring(code) + L")";
}

std::wstring SystemPath(const std::wstring& given)
{
    if (given.empty()) return {};
    if (given.compare(0, 4, L"\\\\?\\") == 0 || given.compare(0, 4, L"\\\\.\\") == 0) return given;
    std::wstring path = given;
    std::replace(path.begin(), path.end(), L'/', L'\\');

    std::wstring prefix;
    std::wstring rest;
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
        prefix = L"\\\\?\\UNC\\";
        rest = path.substr(2);
    } else if (IsDriveRoot(path)) {
        prefix = L"\\\\?\\" + path.substr(0, 3);
        rest = path.substr(3);
    } else {
        // Relative to the current folder, or to a drive's: the system makes that folder full (it
        // is a folder, so nothing of the name is lost), and the name follows as given.
        std::wstring base;
        if (path.size() >= 2 && path[1] == L':') {
            base = path.substr(0, 2);
            rest = path.substr(2);
        } else if (path[0] == L'\\') {
            base = L"\\";
            rest = path.substr(1);
        } else {
            base = L".";
            rest = path;
        }
        std::wstring full = FullPathName(base);
        if (full.empty()) return {};
        if (full.back() != L'\\') full += L'\\';
        return SystemPath(full + rest);
    }

    // "." and ".." are resolved here, since the \\?\ form hands every part to the file system as
    // it is; the share's server and name stay.
    std::vector<std::wstring> parts;
    const size_t fixedParts = prefix.size() > 4 && prefix.compare(4, 3, L"UNC") == 0 ? 2 : 0;
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t end = rest.find(L'\\', pos);
        if (end == std::wstring::npos) end = rest.size();
        const std::wstring part = rest.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == L".") continue;
        // No file system holds a longer name; the system would refuse it, but Wine reads some as
        // the folder they stand in.
        if (part.size() > 255) return {};
        if (part == L"..") {
            if (parts.size() > fixedParts) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::wstring out = prefix;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += L'\\';
        out += parts[i];
    }
    if (out.size() >= 32767) return {};
    return out;
}

bool DiskHolds(const std::wstring& path, uint64_t bytes)
{
    const std::wstring folder = path.substr(0, NameStart(path));
    ULARGE_INTEGER freeBytes{};
    if (!GetDiskFreeSpaceExW(folder.empty() ? L"." : folder.c_str(), &freeBytes, nullptr, nullptr)) return true;
    return freeBytes.QuadPart >= bytes + kSpareRoom;
}

void CleanUpInterruptedSaves()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kJournalKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::wstring> names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[32768];
        DWORD length = 32768;
        if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    for (const std::wstring& path : names) {
        // Only what has a scratch file's name is ever deleted, whatever the settings say.
        if (!LooksLikeScratch(path.substr(NameStart(path)))) {
            RegDeleteValueW(key, path.c_str());
            continue;
        }
        if (RemoveScratch(path)) RegDeleteValueW(key, path.c_str());
    }
    RegCloseKey(key);
}

void FileSave::SetWriteBudgetForTests(std::optional<uint64_t> bytes)
{
    g_budget = bytes;
}

bool FileSave::WriteBudgetAllows(size_t count)
{
    if (!g_budget) return true;
    if (*g_budget < count) {
        *g_budget = 0;
        return false;
    }
    *g_budget -= count;
    return true;
}

FileSave::FileSave(const std::wstring& path) : original_(SystemPath(path)) {}

FileSave::~FileSave()
{
    CloseScratch();
    if (!scratch_.empty() && !replaced_) {
        if (DeleteFileW(scratch_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) JournalRemove(scratch_);
    }
}

HANDLE FileSave::ScratchHandle() const
{
    return handle_;
}

void FileSave::CloseScratch()
{
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
}

void FileSave::Fail(const std::wstring& why, DWORD code)
{
    if (!error_.empty()) return; // the first failure is the one that explains
    error_ = why.empty() ? L"The file could not be saved" : why;
    code_ = code;
}

bool FileSave::FailWithSystem(const wchar_t* what, DWORD code)
{
    Fail(std::wstring(what) + SystemErrorText(code), code);
    return false;
}

bool FileSave::Begin(Start start, uint64_t newBytes)
{
    if (original_.empty()) return FailWithSystem(L"", ERROR_INVALID_NAME);
    if (!GetFileAttributesExW(original_.c_str(), GetFileExInfoStandard, &originalData_))
        return FailWithSystem(L"", LastErrorOr(ERROR_FILE_NOT_FOUND));
    if (originalData_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        Fail(L"The path names a folder, not a file", ERROR_DIRECTORY);
        return false;
    }
    // Checked here: Wine runs as root, so the system would let the write through.
    if (originalData_.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        Fail(L"The file is read-only", ERROR_ACCESS_DENIED);
        return false;
    }
    const uint64_t originalSize =
        (static_cast<uint64_t>(originalData_.nFileSizeHigh) << 32) | originalData_.nFileSizeLow;

    const uint32_t hash = NameHash(original_);
    RemoveLeftovers(original_, hash);

    if (!DiskHolds(original_, (start == Start::CopyOfOriginal ? originalSize : 0) + newBytes))
        return FailWithSystem(L"", ERROR_DISK_FULL);

    for (unsigned attempt = 0; attempt < 256; ++attempt) {
        const std::wstring name = ScratchName(original_, hash, attempt);
        JournalAdd(name, original_);
        handle_ = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              kScratchAttributes, nullptr);
        if (handle_ != INVALID_HANDLE_VALUE) {
            scratch_ = name;
            break;
        }
        const DWORD error = LastErrorOr(ERROR_OPEN_FAILED);
        JournalRemove(name);
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return FailWithSystem(L"The new file could not be made beside the original: ", error);
    }
    if (scratch_.empty())
        return FailWithSystem(L"The new file could not be made beside the original: ", ERROR_FILE_EXISTS);

    if (start == Start::CopyOfOriginal) {
        const UniqueHandle source(CreateFileW(original_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!source.IsValid()) return FailWithSystem(L"", LastErrorOr(ERROR_OPEN_FAILED));
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[kChunk]);
        uint64_t offset = 0;
        while (offset < originalSize) {
            DWORD read = 0;
            const DWORD want = static_cast<DWORD>(std::min<uint64_t>(kChunk, originalSize - offset));
            if (!ReadFile(source.Get(), buffer.get(), want, &read, nullptr))
                return FailWithSystem(L"", LastErrorOr(ERROR_READ_FAULT));
            if (read == 0) {
                Fail(L"The file became shorter while it was copied", ERROR_HANDLE_EOF);
                return false;
            }
            if (!WriteAt(offset, buffer.get(), read)) return false;
            offset += read;
        }
    }
    return true;
}

bool FileSave::ReadAt(uint64_t offset, void* data, size_t count, size_t* readCount)
{
    if (readCount) *readCount = 0;
    if (Failed() || handle_ == INVALID_HANDLE_VALUE) return false;
    auto* into = static_cast<uint8_t*>(data);
    size_t done = 0;
    while (done < count) {
        OVERLAPPED overlapped = At(offset + done);
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, kChunk));
        if (!ReadFile(handle_, into + done, want, &read, &overlapped)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return FailWithSystem(L"", LastErrorOr(ERROR_READ_FAULT));
        }
        if (read == 0) break;
        done += read;
    }
    if (readCount) *readCount = done;
    return true;
}

bool FileSave::WriteAt(uint64_t offset, const void* data, size_t count)
{
    if (Failed()) return false;
    if (handle_ == INVALID_HANDLE_VALUE) {
        Fail(L"The new file is closed", ERROR_INVALID_HANDLE);
        return false;
    }
    const auto* from = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < count) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, kChunk));
        if (!WriteBudgetAllows(want)) return FailWithSystem(L"", ERROR_DISK_FULL);
        OVERLAPPED overlapped = At(offset + done);
        DWORD written = 0;
        if (!WriteFile(handle_, from + done, want, &written, &overlapped))
            return FailWithSystem(L"", LastErrorOr(ERROR_WRITE_FAULT));
        // A short write is a full disk on every file system we know of.
        if (written != want) return FailWithSystem(L"", ERROR_DISK_FULL);
        done += written;
    }
    intended_ = std::max(intended_, offset + count);
    return true;
}

bool FileSave::Truncate(uint64_t size)
{
    if (Failed()) return false;
    if (handle_ == INVALID_HANDLE_VALUE) {
        Fail(L"The new file is closed", ERROR_INVALID_HANDLE);
        return false;
    }
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_))
        return FailWithSystem(L"", LastErrorOr(ERROR_WRITE_FAULT));
    intended_ = size;
    return true;
}

bool FileSave::Finish(const Verify& verify)
{
    if (Failed()) return false;
    if (scratch_.empty()) {
        Fail(L"The save was not started", ERROR_INVALID_FUNCTION);
        return false;
    }
    if (handle_ != INVALID_HANDLE_VALUE) {
        if (!FlushFileBuffers(handle_)) return FailWithSystem(L"", LastErrorOr(ERROR_WRITE_FAULT));
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(handle_, &size)) return FailWithSystem(L"", LastErrorOr(ERROR_READ_FAULT));
        if (static_cast<uint64_t>(size.QuadPart) != intended_) {
            Fail(L"The new file came out " + std::to_wstring(size.QuadPart) + L" bytes long instead of " +
                     std::to_wstring(intended_),
                 ERROR_WRITE_FAULT);
            return false;
        }
        CloseScratch();
    } else {
        // Written by name: its data still has to reach the disk before it replaces anything.
        const UniqueHandle file(
            CreateFileW(scratch_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file.IsValid() || !FlushFileBuffers(file.Get()))
            return FailWithSystem(L"", LastErrorOr(ERROR_WRITE_FAULT));
    }
    if (verify) {
        std::wstring why;
        if (!verify(scratch_, why)) {
            Fail(L"The new file did not read back as written" + (why.empty() ? std::wstring() : L": " + why),
                 ERROR_WRITE_FAULT);
            return false;
        }
    }
    return Replace();
}

bool FileSave::Replace()
{
    // Another program's write to the original since the save began would be lost by the replace.
    WIN32_FILE_ATTRIBUTE_DATA now{};
    if (!GetFileAttributesExW(original_.c_str(), GetFileExInfoStandard, &now))
        return FailWithSystem(L"", LastErrorOr(ERROR_FILE_NOT_FOUND));
    if (CompareFileTime(&now.ftLastWriteTime, &originalData_.ftLastWriteTime) != 0 ||
        now.nFileSizeHigh != originalData_.nFileSizeHigh || now.nFileSizeLow != originalData_.nFileSizeLow) {
        Fail(L"The file was changed by another program during the save; it is left as that program wrote it",
             ERROR_FILE_CHECKED_OUT);
        return false;
    }

    // The new file is the user's file as before: its created time and attributes are the
    // original's. Set before the replace, so that no instant shows the file with other ones.
    {
        const UniqueHandle file(
            CreateFileW(scratch_.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (file.IsValid()) SetFileTime(file.Get(), &originalData_.ftCreationTime, nullptr, nullptr);
    }
    const DWORD attributes = originalData_.dwFileAttributes & kKeptAttributes;

    if (!RunsUnderWine()) {
        // Backed up, so that a failure leaves the original under its own name.
        const std::wstring backup = ScratchName(original_, NameHash(original_) ^ 0x800000u, 0xFF);
        JournalAdd(backup, original_);
        if (ReplaceFileW(original_.c_str(), scratch_.c_str(), backup.c_str(),
                         REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr)) {
            replaced_ = true;
            JournalRemove(scratch_);
            SetFileAttributesW(original_.c_str(), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
            SetFileAttributesW(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(backup.c_str());
            JournalRemove(backup);
            return true;
        }
        const DWORD error = LastErrorOr(ERROR_UNABLE_TO_REMOVE_REPLACED);
        // With a backup name, the original is at its path or under the backup name.
        if (GetFileAttributesW(original_.c_str()) == INVALID_FILE_ATTRIBUTES &&
            GetFileAttributesW(backup.c_str()) != INVALID_FILE_ATTRIBUTES)
            MoveFileExW(backup.c_str(), original_.c_str(), MOVEFILE_WRITE_THROUGH);
        JournalRemove(backup);
        return FailWithSystem(L"The original could not be replaced: ", error);
    }

    if (!SetFileAttributesW(scratch_.c_str(), attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL))
        return FailWithSystem(L"", LastErrorOr(ERROR_ACCESS_DENIED));
    if (!MoveFileExW(scratch_.c_str(), original_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = LastErrorOr(ERROR_ACCESS_DENIED);
        return FailWithSystem(L"The original could not be replaced: ", error);
    }
    replaced_ = true;
    JournalRemove(scratch_);
    return true;
}

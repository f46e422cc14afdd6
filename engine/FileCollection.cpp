#include "FileCollection.h"

#include "platform/ComPtr.h"
#include "platform/TaskMem.h"
#include "platform/UniqueHandle.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <optional>
#include <set>
#include <tuple>

namespace {

// A folder as the file system knows it, whatever path or link leads to it.
struct FolderId {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
    bool operator<(const FolderId& other) const
    {
        return std::tie(volume, indexHigh, indexLow) < std::tie(other.volume, other.indexHigh, other.indexLow);
    }
};

std::optional<FolderId> IdentifyFolder(const std::wstring& path)
{
    // No access rights are asked for: only the identity is read. Backup semantics opens folders;
    // without FILE_FLAG_OPEN_REPARSE_POINT a link is followed to its target.
    const UniqueHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.IsValid()) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
    return FolderId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

struct WalkFlags {
    bool subDir;
    bool includeDir;
    bool dirOnly;
};

// Every folder the walk has entered. Links can lead to the same folder by many ways, back up to an
// ancestor or across to a folder walked already; entering each folder once keeps the walk finite
// and its work in step with the folders there are (a chain of links that doubles the ways at each
// level would otherwise double the work at each level too). A folder whose identity cannot be read
// takes no place in it.
using WalkedFolders = std::set<FolderId>;

void Walk(const std::wstring& folder, JsonWrapper& list, const WalkFlags& flags, WalkedFolders& walked)
{
    // The pattern and the entry paths are joined without looking at how the folder path ends.
    WIN32_FIND_DATAW entry;
    UniqueFindHandle search(FindFirstFileW((folder + L"\\*.*").c_str(), &entry));
    if (!search.IsValid()) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (!flags.dirOnly) list.AppendString(path);
            continue;
        }
        if (flags.includeDir) list.AppendString(path);
        if (!flags.subDir) continue;
        // Any folder may be reached another way (a link seen from the system's side, or one the
        // file system resolves silently), so every folder is identified, not only those marked
        // as links.
        if (const std::optional<FolderId> id = IdentifyFolder(path)) {
            if (walked.insert(*id).second) Walk(path, list, flags, walked);
        } else if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            // A plain folder cannot close a loop by itself; an unidentifiable link might.
            Walk(path, list, flags, walked);
        }
    } while (FindNextFileW(search.Get(), &entry) == 1);
}

// One pick of the dialog, or one given path, as the list shows it: a folder with its walk, a file
// as itself.
void AppendPick(const std::wstring& path, bool isFolder, JsonWrapper& list, bool subDir, bool includeDir, bool dirOnly)
{
    if (isFolder) {
        if (includeDir) list.AppendString(path);
        WalkFolder(path, list, subDir, includeDir, dirOnly);
    } else if (!dirOnly) {
        list.AppendString(path);
    }
}

// The full form of a path the user typed or was given; nothing when the system cannot make one.
std::optional<std::wstring> FullPath(const std::wstring& path)
{
    if (path.empty()) return std::nullopt;
    // The size asked for includes the terminating null; the size written does not.
    std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
    if (full.empty()) return std::nullopt;
    const DWORD written = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (written == 0 || written >= full.size()) return std::nullopt;
    full.resize(written);
    return full;
}

// A typed folder name may end in a backslash, which the walk would double before each entry name
// ("C:\Photos\" gives "C:\Photos\\a.jpg"); the dialog gives "C:\Photos". A drive root ("C:\")
// keeps its backslash, as the dialog gives it too.
void TrimFolderEnd(std::wstring& folder)
{
    while (folder.size() > 3 && folder.back() == L'\\' && folder[folder.size() - 2] != L':')
        folder.pop_back();
}

} // namespace

void WalkFolder(const std::wstring& folder, JsonWrapper& list, bool subDir, bool includeDir, bool dirOnly)
{
    WalkedFolders walked;
    if (const std::optional<FolderId> id = IdentifyFolder(folder)) walked.insert(*id);
    Walk(folder, list, WalkFlags{subDir, includeDir, dirOnly}, walked);
}

std::wstring CollectFiles(bool forFolder, bool subDir, bool includeDir, bool dirOnly)
{
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                dialog.PutVoid())) ||
        !dialog)
        return {};
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->GetOptions(&options))) return {};
    options |= FOS_ALLOWMULTISELECT;
    if (forFolder) options |= FOS_PICKFOLDERS;
    if (FAILED(dialog->SetOptions(options))) return {};
    // No owner: the dialog runs modally on its own; cancelling is a failure status too.
    if (FAILED(dialog->Show(nullptr))) return {};
    ComPtr<IShellItemArray> results;
    DWORD count = 0;
    if (FAILED(dialog->GetResults(results.Put())) || !results || FAILED(results->GetCount(&count))) return {};

    JsonWrapper list;
    list.MakeArray();
    for (DWORD index = 0; index < count; ++index) {
        ComPtr<IShellItem> item;
        if (FAILED(results->GetItemAt(index, item.Put())) || !item) continue;
        TaskMemText path;
        // Items without a file-system path (virtual ones) are skipped.
        if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Put())) || !path) continue;
        AppendPick(path.Get(), PathIsDirectoryW(path.Get()) != FALSE, list, subDir, includeDir, dirOnly);
    }
    return list.Print();
}

std::wstring CollectPaths(const std::vector<std::wstring>& paths, bool subDir, bool includeDir, bool dirOnly)
{
    JsonWrapper list;
    list.MakeArray();
    for (const std::wstring& given : paths) {
        std::optional<std::wstring> path = FullPath(given);
        if (!path) continue;
        const DWORD attributes = GetFileAttributesW(path->c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;
        const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder) TrimFolderEnd(*path);
        AppendPick(*path, isFolder, list, subDir, includeDir, dirOnly);
    }
    return list.Print();
}

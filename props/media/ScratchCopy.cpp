#include "ScratchCopy.h"
#include "platform/FullPath.h"
#include "platform/UniqueHandle.h"

#include <cwchar>

namespace {

// The original's name with a marker before its extension: "song.mp3" gives "song~1a2b3c4d.mp3".
std::wstring CopyName(const std::wstring& original, unsigned marker)
{
    const size_t slash = original.find_last_of(L"\\/");
    const size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    size_t dot = original.rfind(L'.');
    if (dot == std::wstring::npos || dot <= nameStart) dot = original.size();
    wchar_t text[16];
    std::swprintf(text, 16, L"~%08x", marker);
    return original.substr(0, dot) + text + original.substr(dot);
}

} // namespace

ScratchCopy::ScratchCopy(const std::wstring& original) : original_(FullPathName(original))
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (original_.empty() || !GetFileAttributesExW(original_.c_str(), GetFileExInfoStandard, &data)) return;
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return;
    created_ = data.ftCreationTime;
    unsigned marker = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 64; ++attempt, marker = marker * 1103515245u + 12345u) {
        const std::wstring name = CopyName(original_, marker);
        if (CopyFileW(original_.c_str(), name.c_str(), TRUE)) {
            copy_ = name;
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return;
    }
}

ScratchCopy::~ScratchCopy()
{
    if (IsReady() && !committed_) DeleteFileW(copy_.c_str());
}

bool ScratchCopy::Commit()
{
    if (!IsReady() || committed_) return false;
    {
        const UniqueHandle file(
            CreateFileW(copy_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid() || !FlushFileBuffers(file.Get())) return false;
    }
    if (!MoveFileExW(copy_.c_str(), original_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    committed_ = true;
    // The file is the user's file as before: only its content and modified time changed.
    const UniqueHandle file(CreateFileW(original_.c_str(), FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    if (file.IsValid()) SetFileTime(file.Get(), &created_, nullptr, nullptr);
    return true;
}

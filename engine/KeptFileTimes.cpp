#include "KeptFileTimes.h"

#include "platform/ComError.h"
#include "platform/UniqueHandle.h"

namespace {

// Attributes only, with full sharing, so that a file another program holds open still has its
// times read and set; backup semantics as for every other times call of the engine.
constexpr DWORD kFullSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

UniqueHandle OpenForAttributes(const std::wstring& fileName, DWORD access)
{
    return UniqueHandle(CreateFileW(fileName.c_str(), access, kFullSharing, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

std::wstring Note(const wchar_t* why, DWORD code)
{
    return L"The file's times could not be kept: they could not be " + std::wstring(why) + L" (error " +
           std::to_wstring(code) + L")";
}

} // namespace

DWORD SetFileTimesBack(const std::wstring& fileName, const FileTimesToKeep& times)
{
    const UniqueHandle file = OpenForAttributes(fileName, FILE_WRITE_ATTRIBUTES);
    if (!file.IsValid()) return LastErrorOr(ERROR_GEN_FAILURE);
    if (!SetFileTime(file.Get(), &times.created, nullptr, &times.modified)) return LastErrorOr(ERROR_GEN_FAILURE);
    return 0;
}

KeptFileTimes::KeptFileTimes(const std::wstring& fileName) : fileName_(fileName)
{
    const UniqueHandle file = OpenForAttributes(fileName, FILE_READ_ATTRIBUTES);
    if (!file.IsValid() || !GetFileTime(file.Get(), &times_.created, nullptr, &times_.modified))
        readError_ = LastErrorOr(ERROR_GEN_FAILURE);
}

std::wstring KeptFileTimes::SetBack(SetFileTimesBackFunction setBack) const
{
    if (readError_ != 0) return Note(L"read before the write", readError_);
    if (const DWORD code = setBack(fileName_, times_)) return Note(L"set back after the write", code);
    return {};
}

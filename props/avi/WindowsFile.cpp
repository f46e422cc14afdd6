#include "WindowsFile.h"

#include "platform/ComError.h"
#include "platform/FileSave.h"
#include "props/avi/AviStatus.h"

#include <algorithm>

namespace {

// ReadFile and WriteFile take a 32-bit count.
constexpr size_t kMaxPiece = 1u << 30;

OVERLAPPED At(uint64_t offset)
{
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(offset);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return overlapped;
}

} // namespace

int32_t WindowsFile::Open(const std::wstring& path, bool forWriting)
{
    const DWORD access = forWriting ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    const DWORD share = forWriting ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    handle_.Reset(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return handle_.IsValid() ? S_OK : HResultFromLastError();
}

int32_t WindowsFile::ReadAt(uint64_t offset, uint8_t* data, size_t count)
{
    while (count > 0) {
        OVERLAPPED overlapped = At(offset);
        DWORD read = 0;
        const DWORD piece = static_cast<DWORD>(std::min(count, kMaxPiece));
        if (!ReadFile(handle_.Get(), data, piece, &read, &overlapped)) {
            // Reading at or past the end is a short file, not a system failure.
            return GetLastError() == ERROR_HANDLE_EOF ? AviStatus::FileRead : HResultFromLastError();
        }
        if (read == 0) return AviStatus::FileRead;
        offset += read;
        data += read;
        count -= read;
    }
    return S_OK;
}

int32_t WindowsFile::WriteAt(uint64_t offset, const uint8_t* data, size_t count)
{
    while (count > 0) {
        OVERLAPPED overlapped = At(offset);
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min(count, kMaxPiece));
        // The test budget stands for a disk that fills: only bytes past the end take new room.
        LARGE_INTEGER size{};
        if (GetFileSizeEx(handle_.Get(), &size) && offset + piece > static_cast<uint64_t>(size.QuadPart) &&
            !FileSave::WriteBudgetAllows(
                static_cast<size_t>(offset + piece - std::max<uint64_t>(offset, size.QuadPart))))
            return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
        if (!WriteFile(handle_.Get(), data, piece, &written, &overlapped)) return HResultFromLastError();
        // A short write is a full disk.
        if (written != piece) return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
        offset += written;
        data += written;
        count -= written;
    }
    return S_OK;
}

int32_t WindowsFile::Size(uint64_t& size)
{
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(handle_.Get(), &value)) return HResultFromLastError();
    size = static_cast<uint64_t>(value.QuadPart);
    return S_OK;
}

int32_t WindowsFile::SetSize(uint64_t size)
{
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(handle_.Get(), position, nullptr, FILE_BEGIN)) return HResultFromLastError();
    return HResultFromBool(SetEndOfFile(handle_.Get()));
}

int32_t WindowsFile::Flush()
{
    return HResultFromBool(FlushFileBuffers(handle_.Get()));
}

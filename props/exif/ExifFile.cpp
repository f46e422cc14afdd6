#include "ExifFile.h"

#include "ExifImage.h"
#include "platform/FullPath.h"
#include "platform/UniqueHandle.h"

#include <algorithm>
#include <cwchar>

namespace {

// A new file beside `full`, named after it with a marker ("a.jpg" gives "a.jpg.~1a2b3c4d.tmp"), so
// that no file of the user's, whatever its name, is ever overwritten by a save.
UniqueHandle CreateTempBeside(const std::wstring& full, std::wstring& name)
{
    unsigned marker = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 64; ++attempt, marker = marker * 1103515245u + 12345u) {
        wchar_t text[16];
        std::swprintf(text, 16, L".~%08x", marker);
        name = full + text + L".tmp";
        UniqueHandle file(
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.IsValid()) return file;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return file;
    }
    return UniqueHandle();
}

// The first read of a head: the EXIF block of a JPEG lies in its first 64 KiB.
constexpr size_t kFirstHead = 64 * 1024;
// TIFF offsets are 32 bits: no image this layer reads is larger.
constexpr ULONGLONG kLargestFile = 0xFFFFFFFFull;
constexpr DWORD kChunk = 1u << 30;
constexpr DWORD kSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The buffer an ImageFile keeps between files: enough for a large photo.
constexpr size_t kKeptBuffer = 64 * 1024 * 1024;

DWORD LastErrorOr(DWORD fallback)
{
    const DWORD error = GetLastError();
    return error != 0 ? error : fallback;
}

bool ReadInto(HANDLE file, uint8_t* into, size_t size)
{
    while (size > 0) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(size, kChunk));
        if (!ReadFile(file, into, want, &read, nullptr)) return false;
        if (read == 0) {
            SetLastError(ERROR_HANDLE_EOF); // the file shrank while it was read
            return false;
        }
        into += read;
        size -= read;
    }
    return true;
}

// Puts a file's last-access time back when it goes.
class AccessTimeKeeper {
public:
    explicit AccessTimeKeeper(HANDLE file) : file_(file), kept_(GetFileTime(file, nullptr, &accessed_, nullptr)) {}
    AccessTimeKeeper(const AccessTimeKeeper&) = delete;
    AccessTimeKeeper& operator=(const AccessTimeKeeper&) = delete;
    ~AccessTimeKeeper()
    {
        // Only when the read moved it: setting a time costs a metadata write.
        FILETIME now{};
        if (kept_ && GetFileTime(file_, nullptr, &now, nullptr) && CompareFileTime(&now, &accessed_) != 0)
            SetFileTime(file_, nullptr, &accessed_, nullptr);
    }

private:
    HANDLE file_;
    FILETIME accessed_{};
    bool kept_;
};

// Writes to a file; remembers the first system error.
class FileSink : public ByteSink {
public:
    explicit FileSink(HANDLE file) : file_(file) {}
    bool Write(const uint8_t* data, size_t size) override
    {
        while (size > 0 && error_ == 0) {
            DWORD written = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(size, kChunk));
            if (!WriteFile(file_, data, want, &written, nullptr) || written == 0) {
                error_ = LastErrorOr(ERROR_WRITE_FAULT);
                break;
            }
            data += written;
            size -= written;
        }
        return error_ == 0;
    }
    DWORD Error() const { return error_; }

private:
    HANDLE file_;
    DWORD error_ = 0;
};

} // namespace

void ImageFile::Reserve(size_t size, size_t keep)
{
    if (size <= capacity_) return;
    std::unique_ptr<uint8_t[]> grown(new uint8_t[size]);
    std::copy(buffer_.get(), buffer_.get() + keep, grown.get());
    buffer_ = std::move(grown);
    capacity_ = size;
}

void ImageFile::Trim()
{
    if (capacity_ <= kKeptBuffer) return;
    buffer_.reset();
    capacity_ = size_ = 0;
    whole_ = false;
}

DWORD ImageFile::Read(const std::wstring& path, bool headOnly)
{
    size_ = 0;
    whole_ = false;
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, kSharing, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    const bool mayKeepAccessTime = file.IsValid();
    if (!file.IsValid())
        file.Reset(CreateFileW(path.c_str(), GENERIC_READ, kSharing, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                               nullptr));
    if (!file.IsValid()) return LastErrorOr(ERROR_OPEN_FAILED);
    std::unique_ptr<AccessTimeKeeper> keeper;
    if (mayKeepAccessTime) keeper = std::make_unique<AccessTimeKeeper>(file.Get());

    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return LastErrorOr(ERROR_READ_FAULT);
    if (static_cast<ULONGLONG>(size.QuadPart) > kLargestFile) return ERROR_FILE_TOO_LARGE;
    const size_t total = static_cast<size_t>(size.QuadPart);

    size_t have = 0;
    size_t want = headOnly ? std::min(total, kFirstHead) : total;
    for (;;) {
        Reserve(std::max<size_t>(want, 1), have);
        if (!ReadInto(file.Get(), buffer_.get() + have, want - have)) return LastErrorOr(ERROR_READ_FAULT);
        have = want;
        if (have == total) break;
        const size_t needed = ExifImage::HeadNeeded(buffer_.get(), have);
        if (needed <= have) break;
        want = std::min(total, std::max(needed, 2 * have));
    }
    size_ = have;
    whole_ = have == total;
    return 0;
}

ReplaceResult ReplaceImageFile(const std::wstring& path, const std::function<bool(ByteSink&)>& write)
{
    const std::wstring full = FullPathName(path);
    if (full.empty()) return {ReplaceResult::Stage::Writing, LastErrorOr(ERROR_INVALID_NAME)};

    std::wstring fullTemp;
    {
        UniqueHandle temp = CreateTempBeside(full, fullTemp);
        if (!temp.IsValid()) return {ReplaceResult::Stage::Writing, LastErrorOr(ERROR_OPEN_FAILED)};
        // Removes the temporary file on every way out of the write, an exception included.
        struct TempRemover {
            UniqueHandle& handle;
            const std::wstring& name;
            bool keep = false;
            ~TempRemover()
            {
                if (keep) return;
                handle.Reset();
                DeleteFileW(name.c_str());
            }
        } remover{temp, fullTemp};
        FileSink sink(temp.Get());
        const bool written = write(sink);
        DWORD error = sink.Error();
        if (written && error == 0 && !FlushFileBuffers(temp.Get())) error = LastErrorOr(ERROR_WRITE_FAULT);
        if (!written || error != 0) return {ReplaceResult::Stage::Writing, error};
        remover.keep = true;
    }

    if (ReplaceFileW(full.c_str(), fullTemp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return {};
    const DWORD error = LastErrorOr(ERROR_UNABLE_TO_REMOVE_REPLACED);
    const bool movedAway = error == ERROR_UNABLE_TO_MOVE_REPLACEMENT || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
    if (!movedAway || GetFileAttributesW(full.c_str()) != INVALID_FILE_ATTRIBUTES) {
        // The original is still in its place: the new image is not needed.
        DeleteFileW(fullTemp.c_str());
        return {ReplaceResult::Stage::Replacing, error};
    }
    // The replace moved the original away before it failed: the new image takes its place, or,
    // when even that fails, stays in the temporary file, the only copy left.
    if (MoveFileExW(fullTemp.c_str(), full.c_str(), MOVEFILE_WRITE_THROUGH)) return {};
    return {ReplaceResult::Stage::Replacing, error};
}

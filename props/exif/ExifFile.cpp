#include "ExifFile.h"

#include "ExifImage.h"
#include "platform/ComError.h"
#include "platform/UniqueHandle.h"

#include <algorithm>
#include <cwchar>

namespace {

// The first read of a head: the EXIF block of a JPEG lies in its first 64 KiB.
constexpr size_t kFirstHead = 64 * 1024;
// TIFF offsets are 32 bits: no image this layer reads is larger.
constexpr ULONGLONG kLargestFile = 0xFFFFFFFFull;
constexpr DWORD kChunk = 1u << 30;
constexpr DWORD kSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The buffer an ImageFile keeps between files: enough for a large photo.
constexpr size_t kKeptBuffer = 64 * 1024 * 1024;

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

bool SaveImageFile(const std::wstring& path, uint64_t expectedSize, const std::function<bool(ByteSink&)>& write,
                   const FileSave::Verify& verify, std::wstring& error)
{
    FileSave save(path);
    if (save.Begin(FileSave::Start::Empty, expectedSize)) {
        // The image goes out piece by piece, each piece after the last.
        struct SaveSink : ByteSink {
            FileSave& save;
            uint64_t offset = 0;
            explicit SaveSink(FileSave& s) : save(s) {}
            bool Write(const uint8_t* data, size_t size) override
            {
                if (!save.WriteAt(offset, data, size)) return false;
                offset += size;
                return true;
            }
        } sink(save);
        if (!write(sink) && !save.Failed()) {
            error.clear(); // the writer's own failure: its caller knows why
            return false;
        }
        if (save.Finish(verify)) return true;
    }
    error = save.Error();
    return false;
}

#pragma once
// The image file on disk for the EXIF handler: reading it, or only its head, and putting new
// bytes in its place in one step through a temporary file beside it, so that a failure at any
// point leaves the original as it was.
#include "ByteSink.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// An image file's bytes in memory: the whole file, or just the bytes that hold its items (see
// ExifImage::HeadNeeded). Looking at a file's items is no access by its user, so where it may,
// reading puts the file's last-access time back as it was.
//
// One object can read file after file: its buffer stays for the next file, whose bytes then land
// in memory already at hand instead of fresh pages, which is most of the cost of reading a photo.
class ImageFile {
public:
    // Returns the system error, 0 on success.
    DWORD Read(const std::wstring& path, bool headOnly);
    // Lets go of a buffer grown large for one big file.
    void Trim();

    const uint8_t* Data() const { return buffer_.get(); }
    size_t Size() const { return size_; }
    bool Whole() const { return whole_; }

private:
    void Reserve(size_t size, size_t keep);

    std::unique_ptr<uint8_t[]> buffer_; // not cleared first: it is read over at once
    size_t capacity_ = 0;
    size_t size_ = 0;
    bool whole_ = false;
};

struct ReplaceResult {
    enum class Stage { Done, Writing, Replacing };
    Stage stage = Stage::Done;
    DWORD error = 0; // the system error; 0 when `write` failed on its own
};

// Writes the new file through `write` to a temporary file of its own beside `path` (a new name,
// never one that exists), flushes it to disk, and replaces `path` with it in one step. On any
// failure, an exception from `write` included, `path` is unchanged and the temporary file is gone.
ReplaceResult ReplaceImageFile(const std::wstring& path, const std::function<bool(ByteSink&)>& write);

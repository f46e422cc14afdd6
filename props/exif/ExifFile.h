#pragma once
// The image file on disk for the EXIF handler: reading it, or only its head, and putting new
// bytes in its place through the save owner, so that a failure at any point leaves the original
// as it was.
#include "ByteSink.h"
#include "platform/FileSave.h"

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

// Writes the new file through `write` into a scratch file of the save owner beside `path`, lets
// `verify` read it back, and replaces `path` with it in one step. False, with the reason in
// `error`, when `write` fails (then `error` is empty: the caller knows why), the save owner fails
// or the check finds the file other than written; `path` is unchanged then.
bool SaveImageFile(const std::wstring& path, uint64_t expectedSize, const std::function<bool(ByteSink&)>& write,
                   const FileSave::Verify& verify, std::wstring& error);

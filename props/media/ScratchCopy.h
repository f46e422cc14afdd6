#pragma once
// A copy of a file, beside it, that takes the original's place in one step once it is complete.
// The tag library rewrites a file in place; working on a copy means that a write that stops half
// way (a full disk, a crash, a library that gives up) leaves the original as it was. The copy keeps
// the original's extension, since the library chooses a file type by it, and is deleted unless it
// is committed.
#include <windows.h>

#include <string>

class ScratchCopy {
public:
    // Copies the file. A read-only file, a folder or a file that cannot be copied gives no copy.
    explicit ScratchCopy(const std::wstring& original);
    ScratchCopy(const ScratchCopy&) = delete;
    ScratchCopy& operator=(const ScratchCopy&) = delete;
    ~ScratchCopy();

    bool IsReady() const { return !copy_.empty(); }
    const std::wstring& Path() const { return copy_; }

    // Puts the copy's data on the disk, moves it over the original and gives it the original's
    // creation time. False, with the original untouched, when the move fails.
    bool Commit();

private:
    std::wstring original_;
    std::wstring copy_;
    FILETIME created_{};
    bool committed_ = false;
};

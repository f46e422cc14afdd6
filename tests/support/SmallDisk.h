#pragma once
// A small file system of a test's own (a tmpfs mounted in a folder of its TempDir), where the
// machine lets the test mount one, so that a disk that really fills can be met: the system's own
// short writes and free-space figures, not the save owner's test budget.
#include "tests/support/TestFiles.h"

#include <cstdint>
#include <string>

class SmallDisk {
public:
    // Mounts a disk of `megabytes` in a new folder "disk" of `dir`.
    SmallDisk(const TempDir& dir, int megabytes = 2);
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    ~SmallDisk();

    // False, with the reason in Why(), where no disk could be mounted: the test then skips.
    bool Mounted() const { return mounted_; }
    const std::string& Why() const { return why_; }
    const std::wstring& Path() const { return path_; }

    // Fills the disk with a file "filler", so that about `left` bytes stay free.
    bool FillLeaving(uint64_t left) const;

private:
    std::wstring path_;
    bool mounted_ = false;
    std::string why_;
};

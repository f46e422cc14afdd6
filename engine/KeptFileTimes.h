#pragma once
// A file's created and modified times kept across a handler's write ("setprops" with
// "keeptimes"). Some handlers put a new file in the old one's place (the EXIF writer replaces it,
// the media writer moves a scratch copy over it), so no handle is held across the write: the times
// are read from the path before it and set on whatever file stands at the path after it.
#include <windows.h>

#include <string>

struct FileTimesToKeep {
    FILETIME created{};
    FILETIME modified{};
};

// Sets the created and modified times of the file at the path, leaving its access time alone;
// 0, or the system's error code.
DWORD SetFileTimesBack(const std::wstring& fileName, const FileTimesToKeep& times);
using SetFileTimesBackFunction = DWORD (*)(const std::wstring& fileName, const FileTimesToKeep& times);

class KeptFileTimes {
public:
    // Reads the times now, before the write.
    explicit KeptFileTimes(const std::wstring& fileName);

    // After a successful write: sets the times back with setBack. Empty text when they were kept,
    // otherwise why not, in words; the answer carries it in a member of its own, apart from the
    // handler's error text.
    std::wstring SetBack(SetFileTimesBackFunction setBack = SetFileTimesBack) const;

private:
    std::wstring fileName_;
    FileTimesToKeep times_;
    DWORD readError_ = 0;
};

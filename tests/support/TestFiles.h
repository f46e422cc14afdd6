#pragma once
// Scratch files for tests: each test works in a folder of its own under the system's temporary
// folder, removed with everything in it when the test ends.
#include <windows.h>

#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::wstring& Path() const { return path_; }
    // Creates a file below the folder with the given bytes and returns its full path.
    std::wstring MakeFile(const std::wstring& name, const std::string& bytes = "data") const;
    std::wstring MakeFolder(const std::wstring& name) const;

private:
    std::wstring path_;
};

FILETIME MakeFileTime(int year, int month, int day, int hour, int minute, int second);
bool GetTimes(const std::wstring& path, FILETIME& created, FILETIME& accessed, FILETIME& written);
bool SetTimes(const std::wstring& path, const FILETIME* created, const FILETIME* accessed, const FILETIME* written);
unsigned long long Ticks(const FILETIME& time);
std::string ReadAll(const std::wstring& path);
// The names in a folder (files and folders, without "." and ".."), sorted.
std::vector<std::wstring> FolderNames(const std::wstring& folder);
// The save owner's scratch files in a folder ("~vk..."), which a finished or failed save never
// leaves.
std::vector<std::wstring> ScratchFilesIn(const std::wstring& folder);

// A file in the folder of the running test program, where the build puts the programs as well.
std::wstring BesideTestProgram(const std::wstring& fileName);

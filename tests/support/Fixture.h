#pragma once
// Files made by third-party tools (tests/data/<category>/) and readers that are not ours
// (exiftool, ffprobe, the scripts in tests/readers/), so that a handler's test can start from a
// real file and check what it wrote with somebody else's reading of it.
//
// The readers are Linux programs. Wine starts a Linux program from CreateProcessW, but gives no
// process handle to wait on and drops output sent to a Windows pipe, so each reader runs under
// /bin/sh, which sends its output to files and writes the exit code last, for us to wait for.
#include "tests/support/TestFiles.h"

#include <string>
#include <vector>

// The full Windows path of tests/data/<relative> in the source tree; '/' may separate the parts.
std::wstring FixturePath(const std::wstring& relative);

// Copies tests/data/<relative> into the folder, under its own file name or the given one, and
// returns the copy's full path. The copy is writable whatever the source's attributes. Throws
// std::runtime_error naming the fixture when it cannot be copied.
std::wstring CopyFixture(const std::wstring& relative, const TempDir& dir, const std::wstring& name = {});

// The path Linux programs see for a full Windows path; empty when the process does not run under
// Wine or the path has no Unix counterpart.
std::string UnixPath(const std::wstring& path);

struct ReaderResult {
    // False when the reader cannot run here (not under Wine, the program or its Python module is
    // not installed): a test then skips, reporting `missing`.
    bool found = false;
    std::string missing;
    int exitCode = -1;
    std::string out; // standard output as the reader wrote it (UTF-8 for all of ours)
    std::string err;
};

// Runs a reader and waits for it (two minutes at most; then exitCode is -1). `program` is a
// name looked up on the Linux PATH ("exiftool", "ffprobe"), or the name of a script in
// tests/readers/ ("mutagen_dump.py"), which runs on the system's Python 3, the one Debian's
// python3-mutagen and python3-olefile serve. An argument that is a full Windows path ("C:\...")
// reaches the reader as its Unix path; every other argument is passed as it is.
ReaderResult RunReader(const std::wstring& program, const std::vector<std::wstring>& args);

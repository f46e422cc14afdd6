#pragma once
// The one owner of replacing a file's content. Every family that rewrites a file (EXIF, media tags,
// document property sets) writes into a scratch file beside the original, lets the family's own
// reader check it, and only then puts it in the original's place in one step:
//
//   FileSave save(path);
//   if (!save.Begin(FileSave::Start::CopyOfOriginal, growth)) return save.Error();
//   ... write through save.WriteAt()/Truncate(), or by save.ScratchPath() after CloseScratch() ...
//   if (!save.Finish(verify)) return save.Error();
//
// At every instant the user's path names the whole old file or the whole new one. On any failure
// the original stays byte for byte as it was, the scratch file is removed, and Error() says why in
// words with the system's code ("There is not enough space on the disk (112)").
//
// The scratch file has a short name of its own ("~vk" and eight hexadecimal digits, ".tmp"), so
// that names up to 255 characters still have room beside them and no program takes it for a
// document; it is created new, hidden and temporary. A scratch file that an interrupted save left
// behind is removed by the next save of the same file, or by CleanUpInterruptedSaves() at the next
// start once no process holds it open.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class FileSave {
public:
    enum class Start {
        Empty,          // the writer writes the whole new file
        CopyOfOriginal, // the writer changes a copy of the original in place
    };

    // The path in any form the page sends; it is taken as given (see SystemPath).
    explicit FileSave(const std::wstring& path);
    FileSave(const FileSave&) = delete;
    FileSave& operator=(const FileSave&) = delete;
    // Removes the scratch file unless Finish replaced the original with it.
    ~FileSave();

    // Checks the original (it exists, is a file, is not read-only), removes what an interrupted save
    // of it left behind, checks that the disk holds the new file and a margin, and makes the scratch
    // file, open for reading and writing. `newBytes` is the new file's whole size for Start::Empty,
    // and how much the copy may grow for Start::CopyOfOriginal. The copy is written through
    // WriteAt, so it counts against the test budget and IntendedSize() starts at its size.
    bool Begin(Start start, uint64_t newBytes);

    // The scratch file in the system's \\?\ form, for writers that open it by name (close ours
    // first), and the original's.
    const std::wstring& ScratchPath() const { return scratch_; }
    const std::wstring& OriginalPath() const { return original_; }
    HANDLE ScratchHandle() const;
    void CloseScratch();

    // Checked access to the scratch file through our handle. Every write either happens whole or
    // fails the save; the first failure is kept and every later call fails too. A read that meets
    // the end of the file is no failure: it returns true with fewer bytes in `read`.
    bool ReadAt(uint64_t offset, void* data, size_t count, size_t* read = nullptr);
    bool WriteAt(uint64_t offset, const void* data, size_t count);
    bool Truncate(uint64_t size);
    // The size the writer has made the scratch file: the end of the furthest write, or the last
    // truncation.
    uint64_t IntendedSize() const { return intended_; }

    // A check of the finished scratch file by the family's reader: false, with the reason in
    // `why`, when it does not hold what was written. The file is closed while it runs.
    using Verify = std::function<bool(const std::wstring& scratch, std::wstring& why)>;

    // Flushes the scratch file, checks that its size is IntendedSize() (for writers that used our
    // handle) and that `verify` accepts it, gives it the original's created time and attributes,
    // and replaces the original with it.
    bool Finish(const Verify& verify);

    // Records a failure of the writer's own (the scratch file is then removed by the destructor).
    void Fail(const std::wstring& why, DWORD code = 0);

    bool Failed() const { return !error_.empty(); }
    const std::wstring& Error() const { return error_; }
    DWORD ErrorCode() const { return code_; }

    // A test seam: when set, writes through every FileSave (and through the other checked writers
    // that ask WriteBudgetAllows) fail with ERROR_DISK_FULL once this many bytes have been written
    // in all.
    static void SetWriteBudgetForTests(std::optional<uint64_t> bytes);
    // Takes `count` bytes of the test budget; false when it is spent.
    static bool WriteBudgetAllows(size_t count);

private:
    bool FailWithSystem(const wchar_t* what, DWORD code);
    bool Replace();

    std::wstring original_;
    std::wstring scratch_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    WIN32_FILE_ATTRIBUTE_DATA originalData_{};
    bool replaced_ = false;
    uint64_t intended_ = 0;
    std::wstring error_;
    DWORD code_ = 0;
};

// A path as the system must be given it so that it names exactly the file the user named: full,
// in the \\?\ form (\\?\UNC\ for shares), with "." and ".." resolved, and nothing else changed, so
// that a trailing dot or space stays part of the name and paths longer than MAX_PATH work. A path
// already in that form is kept; empty text when no full path can be made.
std::wstring SystemPath(const std::wstring& path);

// Whether the disk that holds `path` (a file or a folder) has `bytes` free and a margin beside
// them; true when the free space cannot be read, so that the write itself decides.
bool DiskHolds(const std::wstring& path, uint64_t bytes);

// The system's words for an error code, followed by the code: "There is not enough space on the
// disk (112)".
std::wstring SystemErrorText(DWORD code);

// Removes the scratch files that saves which never ended left behind (they are listed in the
// user's settings while a save runs), once no process holds them open.
void CleanUpInterruptedSaves();

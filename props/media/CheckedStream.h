#pragma once
// The stream the tag library writes a file through. The library ignores failed and short writes
// (a save on a full disk would report success on a shortened file), so every read and write goes
// through the save's checked access instead, which keeps the first failure for the save to
// report. Growing or shrinking the file in the middle (a tag that outgrows its room) moves the
// tail here, in bounded pieces, through the same checked calls.
#include "platform/FileSave.h"

#include <taglib/tfilestream.h>
#include <taglib/tiostream.h>

#include <string>

class CheckedStream : public TagLib::IOStream {
public:
    // `shownName` is the name the library sees, so that it takes the file's kind from the
    // original's extension and not from the scratch file's.
    CheckedStream(FileSave& save, const std::wstring& shownName);

    TagLib::FileName name() const override;
    TagLib::ByteVector readBlock(size_t length) override;
    void writeBlock(const TagLib::ByteVector& data) override;
    void insert(const TagLib::ByteVector& data, TagLib::offset_t start = 0, size_t replace = 0) override;
    void removeBlock(TagLib::offset_t start = 0, size_t length = 0) override;
    bool readOnly() const override { return false; }
    bool isOpen() const override { return true; }
    void seek(TagLib::offset_t offset, Position p = Beginning) override;
    TagLib::offset_t tell() const override { return static_cast<TagLib::offset_t>(position_); }
    TagLib::offset_t length() override { return static_cast<TagLib::offset_t>(Size()); }
    void truncate(TagLib::offset_t length) override;

    // The size the file must end with: the save keeps it from every write and truncation.
    uint64_t Size() const { return save_.IntendedSize(); }

private:
    // Moves [from, from + count) to `to`, front first when moving down, back first when moving up,
    // so that no byte is overwritten before it is moved.
    void Move(uint64_t from, uint64_t to, uint64_t count);
    void WriteAt(uint64_t offset, const char* data, size_t count);

    FileSave& save_;
    std::wstring name_;
    uint64_t position_ = 0;
};

// A read-only stream over a file by name that shows the library another name: the check of a
// scratch file reads it as the kind the original's name gives.

class ReadOnlyStream : public TagLib::FileStream {
public:
    ReadOnlyStream(const std::wstring& path, const std::wstring& shownName)
        : TagLib::FileStream(path.c_str(), true), name_(shownName)
    {}
    TagLib::FileName name() const override { return name_.c_str(); }

private:
    std::wstring name_;
};

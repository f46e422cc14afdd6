#pragma once
// A file written in place that can be put back as it was. The INFO list of an AVI file is stored
// inside the file, never through a copy (the movie data may be gigabytes), so every write first
// keeps the bytes it covers and every change of length the old length; when a store fails half
// way (a full disk, a failing device), Undo writes the kept bytes back in reverse order and cuts
// the file back to its old length, so readers never see a partial list.
#include "props/avi/RandomAccessFile.h"

#include <cstdint>
#include <vector>

class UndoableFile : public RandomAccessFile {
public:
    explicit UndoableFile(RandomAccessFile& file) : file_(file) {}

    int32_t ReadAt(uint64_t offset, uint8_t* data, size_t count) override;
    int32_t WriteAt(uint64_t offset, const uint8_t* data, size_t count) override;
    int32_t Size(uint64_t& size) override;
    int32_t SetSize(uint64_t size) override;
    int32_t Flush() override { return file_.Flush(); }

    // Puts back every byte and the length as they were before the first change; the first failing
    // status, or 0.
    int32_t Undo();
    bool Changed() const { return !kept_.empty() || lengthKnown_; }

private:
    int32_t KnowLength();

    struct Kept {
        uint64_t offset;
        std::vector<uint8_t> bytes;
    };
    RandomAccessFile& file_;
    std::vector<Kept> kept_;
    bool lengthKnown_ = false;
    uint64_t length_ = 0; // before the first change
};

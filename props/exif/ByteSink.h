#pragma once
// Where the EXIF layer writes a saved image, piece by piece: a photo of many megabytes is written
// as its unchanged parts and the new EXIF block, never copied whole into memory first.
#include <cstddef>
#include <cstdint>
#include <vector>

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False when the bytes could not be taken; the sink says why in its own terms.
    virtual bool Write(const uint8_t* data, size_t size) = 0;
};

class VectorSink : public ByteSink {
public:
    explicit VectorSink(std::vector<uint8_t>& out) : out_(out) {}
    bool Write(const uint8_t* data, size_t size) override
    {
        out_.insert(out_.end(), data, data + size);
        return true;
    }

private:
    std::vector<uint8_t>& out_;
};

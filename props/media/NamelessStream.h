#pragma once
// A stream under a name without an extension, so that the tag library takes a file's kind from
// its content alone, by checks that read only a header. By name it would take a text file for an
// APE, WavPack or Musepack file (whose readers check little) or for a WAV file it then cannot store
// tags in, and search a file named as FLAC or Ogg from end to end.
#include <taglib/tiostream.h>

#include <string>

class NamelessStream : public TagLib::IOStream {
public:
    explicit NamelessStream(TagLib::IOStream& stream) : stream_(stream) {}
    TagLib::FileName name() const override { return L""; }
    TagLib::ByteVector readBlock(size_t length) override { return stream_.readBlock(length); }
    void writeBlock(const TagLib::ByteVector& data) override { stream_.writeBlock(data); }
    void insert(const TagLib::ByteVector& data, TagLib::offset_t start, size_t replace) override
    {
        stream_.insert(data, start, replace);
    }
    void removeBlock(TagLib::offset_t start, size_t length) override { stream_.removeBlock(start, length); }
    bool readOnly() const override { return stream_.readOnly(); }
    bool isOpen() const override { return stream_.isOpen(); }
    void seek(TagLib::offset_t offset, Position p) override { stream_.seek(offset, p); }
    void clear() override { stream_.clear(); }
    TagLib::offset_t tell() const override { return stream_.tell(); }
    TagLib::offset_t length() override { return stream_.length(); }
    void truncate(TagLib::offset_t length) override { stream_.truncate(length); }

private:
    TagLib::IOStream& stream_;
};

// The extension of the name a stream shows, in upper case; empty for a nameless one.
inline std::wstring UpperExtension(const TagLib::IOStream& stream)
{
    const std::wstring name = stream.name().wstr();
    const size_t dot = name.rfind(L'.');
    std::wstring ext = dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
    for (wchar_t& c : ext)
        c = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    return ext;
}

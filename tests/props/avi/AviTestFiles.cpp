#include "tests/props/avi/AviTestFiles.h"

#include "core/JsonWrapper.h"
#include "core/TextConvert.h"

#include <gtest/gtest.h>
#include <winioctl.h>

#include <algorithm>
#include <set>
#include <stdexcept>

std::string Le32(uint32_t value)
{
    std::string out;
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>(value >> (8 * i)));
    return out;
}

std::string Chunk(const std::string& id, const std::string& data)
{
    std::string out = id + Le32(static_cast<uint32_t>(data.size())) + data;
    if (data.size() % 2 != 0) out.push_back('\0');
    return out;
}

namespace {

constexpr uint64_t kWholePiece = 16u << 20;
constexpr size_t kPieceEnds = 64u << 10;

uint32_t U32(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return value;
}

// The chunks of bytes[from, to) of a file held in memory (a fixture), as (id, whole chunk).
std::vector<std::pair<std::string, std::string>> ChunksIn(const std::string& bytes, size_t from, size_t to)
{
    std::vector<std::pair<std::string, std::string>> out;
    while (from + 8 <= to) {
        const uint32_t size = U32(bytes, from + 4);
        out.emplace_back(bytes.substr(from, 4), bytes.substr(from, 8 + size));
        from += 8 + size + (size & 1);
    }
    return out;
}

bool WriteAt(HANDLE file, uint64_t offset, const std::string& bytes)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &at) && written == bytes.size();
}

std::string Base64Decoded(const std::string& text)
{
    static const std::string kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        const size_t digit = kDigits.find(c);
        if (digit == std::string::npos) continue;
        bits = (bits << 6) | static_cast<uint32_t>(digit);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

void AddPiece(std::vector<std::pair<uint64_t, std::string>>& kept, const std::wstring& path, uint64_t offset,
              uint64_t length)
{
    if (length <= kWholePiece) {
        kept.emplace_back(offset, ReadRange(path, offset, static_cast<size_t>(length)));
        return;
    }
    kept.emplace_back(offset, ReadRange(path, offset, kPieceEnds));
    kept.emplace_back(offset + length - kPieceEnds, ReadRange(path, offset + length - kPieceEnds, kPieceEnds));
}

std::set<uint64_t> FixedChunkOffsets(const AviLayout& layout)
{
    std::set<uint64_t> offsets;
    for (const TopChunk& chunk : layout.chunks) {
        if (!chunk.IsInfoList() && chunk.id != "JUNK") offsets.insert(chunk.offset);
    }
    return offsets;
}

} // namespace

uint64_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string ReadRange(const std::wstring& path, uint64_t offset, size_t count)
{
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes(count, '\0');
    size_t done = 0;
    while (done < count) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        DWORD read = 0;
        if (!ReadFile(file, &bytes[done], static_cast<DWORD>(count - done), &read, &at) || read == 0) break;
        done += read;
    }
    CloseHandle(file);
    bytes.resize(done);
    return bytes;
}

int AviLayout::InfoLists() const
{
    return static_cast<int>(
        std::count_if(chunks.begin(), chunks.end(), [](const TopChunk& c) { return c.IsInfoList(); }));
}

AviLayout WalkAvi(const std::wstring& path)
{
    AviLayout layout;
    layout.fileSize = FileSize(path);
    const std::string header = ReadRange(path, 0, 12);
    if (header.size() < 12 || header.compare(0, 4, "RIFF") != 0 || header.compare(8, 4, "AVI ") != 0) {
        layout.problem = "not a RIFF AVI file";
        return layout;
    }
    layout.riffEnd = 8 + static_cast<uint64_t>(U32(header, 4));
    if (layout.riffEnd > layout.fileSize) {
        layout.problem = "the RIFF runs past the end of the file";
        return layout;
    }
    uint64_t at = 12;
    while (at + 8 <= layout.riffEnd) {
        const std::string bytes = ReadRange(path, at, 12);
        TopChunk chunk;
        chunk.id = bytes.substr(0, 4);
        chunk.size = U32(bytes, 4);
        chunk.offset = at;
        if (chunk.id == "LIST" && bytes.size() == 12) chunk.listType = bytes.substr(8, 4);
        if (at + 8 + chunk.size > layout.riffEnd) {
            layout.problem = "the chunk " + chunk.id + " at " + std::to_string(at) + " runs past the RIFF";
            return layout;
        }
        layout.chunks.push_back(chunk);
        at = chunk.End();
    }
    if (at != layout.riffEnd) layout.problem = "the chunks do not fill the RIFF exactly";
    return layout;
}

bool ReadersPresent(std::string& missing)
{
    for (const wchar_t* reader : {L"ffprobe", L"exiftool"}) {
        const ReaderResult run = RunReader(reader, {reader == std::wstring(L"ffprobe") ? L"-version" : L"-ver"});
        if (!run.found) {
            missing = run.missing;
            return false;
        }
    }
    return true;
}

std::string DecodedFrames(const std::wstring& path)
{
    const ReaderResult run = RunReader(L"ffprobe", {L"-v", L"error", L"-count_frames", L"-show_entries",
                                                    L"stream=nb_read_frames", L"-of", L"csv=p=0", path});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "") << "ffprobe reports errors while decoding";
    return run.out;
}

InfoItems ExifToolInfo(const std::wstring& path)
{
    // -G4:5:7 names each tag by its copy, directory and identifier ("Copy1:RIFF-Info:ID-INAM:Title"),
    // so that an item held twice gives two members; -b gives unknown items' texts too.
    const ReaderResult run = RunReader(
        L"exiftool", {L"-j", L"-a", L"-u", L"-b", L"-n", L"-G4:5:7", L"-charset", L"RIFF=UTF8", L"-RIFF:all", path});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    JsonWrapper answer;
    EXPECT_TRUE(answer.Parse(Utf8ToUtf16(run.out))) << run.out;
    InfoItems items;
    const std::string kInfo = "RIFF-Info:ID-";
    for (const JsonView file : answer.View()) {
        for (const JsonView tag : file) {
            const std::string name = Utf16ToUtf8(tag.Name());
            EXPECT_EQ(name.find("Warning"), std::string::npos) << "exiftool warns: " << name;
            const size_t at = name.find(kInfo);
            if (at == std::string::npos || name.size() < at + kInfo.size() + 4) continue;
            std::wstring value;
            tag.GetText(value);
            std::string text = Utf16ToUtf8(value);
            if (text.compare(0, 7, "base64:") == 0) {
                text = Base64Decoded(text.substr(7));
                while (!text.empty() && text.back() == '\0')
                    text.pop_back();
            }
            items.emplace_back(name.substr(at + kInfo.size(), 4), text);
        }
    }
    return items;
}

AviBefore Capture(const std::wstring& path)
{
    AviBefore before;
    const AviLayout layout = WalkAvi(path);
    EXPECT_EQ(layout.problem, "") << "before the write";
    before.kept.emplace_back(0, ReadRange(path, 0, 4));
    before.kept.emplace_back(8, ReadRange(path, 8, 4));
    for (const TopChunk& chunk : layout.chunks) {
        if (!chunk.IsInfoList() && chunk.id != "JUNK") AddPiece(before.kept, path, chunk.offset, 8 + chunk.size);
    }
    if (layout.fileSize > layout.riffEnd) AddPiece(before.kept, path, layout.riffEnd, layout.fileSize - layout.riffEnd);
    before.frames = DecodedFrames(path);
    return before;
}

void ExpectWritten(const std::wstring& path, const AviBefore& before, const InfoItems& items)
{
    const AviLayout layout = WalkAvi(path);
    EXPECT_EQ(layout.problem, "");
    EXPECT_EQ(layout.InfoLists(), items.empty() ? 0 : 1);
    for (const auto& piece : before.kept) {
        EXPECT_TRUE(ReadRange(path, piece.first, piece.second.size()) == piece.second)
            << "the bytes at " << piece.first << " changed";
    }
    // Every chunk that is neither an INFO list nor JUNK is one of those kept.
    for (const uint64_t offset : FixedChunkOffsets(layout)) {
        const bool kept = std::any_of(before.kept.begin(), before.kept.end(),
                                      [offset](const auto& piece) { return piece.first == offset; });
        EXPECT_TRUE(kept) << "a chunk at " << offset << " that was not there";
    }
    EXPECT_EQ(DecodedFrames(path), before.frames);
    EXPECT_EQ(ExifToolInfo(path), items);
}

void MakeSparseOpenDml(const std::wstring& path, uint64_t holeBytes)
{
    const std::string plain = ReadAll(FixturePath(L"avi/plain.avi"));
    std::string hdrl;
    std::vector<std::string> frames;
    for (const auto& chunk : ChunksIn(plain, 12, 8 + U32(plain, 4))) {
        if (chunk.second.compare(8, 4, "hdrl") == 0) hdrl = chunk.second;
        if (chunk.second.compare(8, 4, "movi") == 0) {
            for (const auto& frame : ChunksIn(chunk.second, 12, chunk.second.size()))
                frames.push_back(frame.second);
        }
    }
    if (hdrl.empty() || frames.size() != 2) throw std::runtime_error("avi/plain.avi is not as expected");
    // ffmpeg reserves the OpenDML header as JUNK and turns it into LIST odml when a file grows
    // past its first RIFF; dmlh then gives the frames of all the RIFFs.
    const size_t odml = hdrl.find(std::string("JUNK") + Le32(0x104) + "odmldmlh");
    if (odml == std::string::npos) throw std::runtime_error("no OpenDML room in avi/plain.avi");
    hdrl.replace(odml, 4, "LIST");
    hdrl.replace(odml + 20, 4, Le32(2));

    const std::string info =
        Chunk("LIST", "INFO" + Chunk("INAM", std::string("Big\0", 4)) + Chunk("IART", std::string("Anna\0", 5)));
    const std::string head = "RIFF" + Le32(0) + "AVI " + hdrl + info + Chunk("JUNK", std::string(1016, '\0'));
    const std::string movi = "LIST" + Le32(static_cast<uint32_t>(4 + frames[0].size() + 8 + holeBytes)) + "movi" +
                             frames[0] + "JUNK" + Le32(static_cast<uint32_t>(holeBytes));
    const uint64_t index = head.size() + movi.size() + holeBytes;
    const std::string idx1 =
        Chunk("idx1", "00dc" + Le32(0x10) + Le32(4) + Le32(static_cast<uint32_t>(frames[0].size() - 8)));
    const uint64_t riffEnd = index + idx1.size();
    const std::string avix = Chunk("RIFF", "AVIX" + Chunk("LIST", "movi" + frames[1]));

    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot make the large AVI file");
    DWORD returned = 0;
    // Windows leaves the gap unwritten only in a sparse file; on Linux every gap is a hole.
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    const bool written = WriteAt(file, 0, head + movi) && WriteAt(file, index, idx1) && WriteAt(file, riffEnd, avix) &&
                         WriteAt(file, 4, Le32(static_cast<uint32_t>(riffEnd - 8)));
    CloseHandle(file);
    if (!written) throw std::runtime_error("cannot write the large AVI file");
}

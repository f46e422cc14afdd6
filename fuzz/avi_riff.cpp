// The AVI layer over a file in memory. Any input's INFO list is read without a fault and within
// the limit asked for, and its items rebuilt as they were stored read back alike; a new list stored into it is what a
// later read returns; the store changes nothing but INFO lists, JUNK and the RIFF size (every other top-level chunk
// keeps its bytes and its place, and whatever follows the first RIFF stays as it was, unless it is what a stopped
// store left there: zeros or the start of an INFO list); storing the same list again changes nothing; and a store that
// fails leaves the file as it was.
#include "FuzzCheck.h"

#include "props/avi/AviRiffFile.h"
#include "props/avi/AviStatus.h"
#include "props/avi/InfoList.h"
#include "props/avi/MemoryFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Kept {
    uint64_t offset;
    std::vector<uint8_t> bytes;
    bool operator==(const Kept& other) const { return offset == other.offset && bytes == other.bytes; }
};

// The top-level chunks a store must leave alone, with their bytes.
std::vector<Kept> FixedChunks(const MemoryFile& file, const AviRiffFile& avi)
{
    std::vector<Kept> kept;
    for (const AviRiffFile::Chunk& chunk : avi.Chunks()) {
        if (chunk.IsInfoList() || chunk.IsJunk()) continue;
        const auto begin = file.Bytes().begin() + static_cast<std::ptrdiff_t>(chunk.offset);
        kept.push_back({chunk.offset, std::vector<uint8_t>(begin, begin + 8 + chunk.size)});
    }
    return kept;
}

uint64_t WalkEnd(const AviRiffFile& avi)
{
    return avi.Chunks().empty() ? 12 : avi.Chunks().back().End();
}

InfoList NewList(FuzzedDataProvider& input)
{
    static const char* const kIds[] = {"INAM", "IART", "ICMT", "ICOP", "ISFT", "inam", "X Y "};
    InfoList list;
    const size_t count = input.ConsumeIntegralInRange<size_t>(0, 4);
    for (size_t i = 0; i < count; ++i) {
        const std::string id = kIds[input.ConsumeIntegralInRange<size_t>(0, 6)];
        const size_t length = input.ConsumeIntegralInRange<size_t>(1, 600);
        list.items.push_back({id, std::string(length, static_cast<char>('a' + i)), {}});
    }
    return list;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The new list is taken from the end of the input, so that a whole AVI file from the corpus
    // stays nearly whole as the file.
    FuzzedDataProvider input(data, size);
    const InfoList list = NewList(input);
    const bool limited = input.ConsumeBool();
    const std::vector<uint8_t> bytes = input.ConsumeRemainingBytes<uint8_t>();
    MemoryFile file(bytes, bytes.size() + (1u << 20));

    {
        AviRiffFile avi(file);
        std::vector<uint8_t> content;
        if (!AviStatus::Failed(avi.Open(AviRiffFile::Mode::Read)) &&
            !AviStatus::Failed(avi.ReadInfoList(content, limited ? 4096 : SIZE_MAX))) {
            FUZZ_CHECK(!limited || content.size() <= 4096);
            // Items kept from a file are written back as they were stored and read back alike.
            InfoList read = InfoList::Parse(content);
            InfoList kept;
            for (InfoList::Item& item : read.items) {
                FUZZ_CHECK(!item.id.empty() && item.id.size() <= 4);
                if (InfoList::IsIdentifier(item.id)) kept.items.push_back(std::move(item));
            }
            std::vector<uint8_t> rebuilt;
            FUZZ_CHECK(kept.Build(rebuilt));
            const InfoList again = InfoList::Parse(rebuilt);
            FUZZ_CHECK(again.items.size() == kept.items.size());
            for (size_t i = 0; i < again.items.size(); ++i) {
                FUZZ_CHECK(again.items[i].id == kept.items[i].id && again.items[i].text == kept.items[i].text &&
                           again.items[i].stored == kept.items[i].stored);
            }
        }
        FUZZ_CHECK(file.Changes() == 0);
    }

    std::vector<uint8_t> content;
    if (!list.items.empty()) FUZZ_CHECK(list.Build(content));
    AviRiffFile avi(file);
    if (AviStatus::Failed(avi.Open(AviRiffFile::Mode::Write))) {
        FUZZ_CHECK(file.Changes() == 0);
        return 0;
    }
    const std::vector<Kept> kept = FixedChunks(file, avi);
    const bool followed = avi.FollowedByMore();
    const uint64_t oldEnd = WalkEnd(avi);
    const std::vector<uint8_t> before = file.Bytes();
    if (AviStatus::Failed(avi.StoreInfoList(content))) {
        FUZZ_CHECK(file.Bytes() == before);
        return 0;
    }

    AviRiffFile again(file);
    FUZZ_CHECK(!AviStatus::Failed(again.Open(AviRiffFile::Mode::Write)));
    std::vector<uint8_t> stored;
    const int32_t status = again.ReadInfoList(stored);
    if (content.empty()) {
        FUZZ_CHECK(status == AviStatus::NoData);
    } else {
        FUZZ_CHECK(status == AviStatus::Ok && stored == content);
        const InfoList read = InfoList::Parse(stored);
        FUZZ_CHECK(read.items.size() == list.items.size());
        for (size_t i = 0; i < read.items.size(); ++i)
            FUZZ_CHECK(read.items[i].id == list.items[i].id && read.items[i].text == list.items[i].text);
    }
    int lists = 0;
    for (const AviRiffFile::Chunk& chunk : again.Chunks())
        lists += chunk.IsInfoList() ? 1 : 0;
    FUZZ_CHECK(lists == (content.empty() ? 0 : 1));
    FUZZ_CHECK(FixedChunks(file, again) == kept);
    FUZZ_CHECK(std::equal(before.begin(), before.begin() + 4, file.Bytes().begin()));
    FUZZ_CHECK(std::equal(before.begin() + 8, before.begin() + 12, file.Bytes().begin() + 8));
    if (followed) {
        FUZZ_CHECK(file.Bytes().size() == before.size());
        FUZZ_CHECK(std::equal(before.begin() + static_cast<std::ptrdiff_t>(oldEnd), before.end(),
                              file.Bytes().begin() + static_cast<std::ptrdiff_t>(oldEnd)));
    }

    const std::vector<uint8_t> once = file.Bytes();
    FUZZ_CHECK(!AviStatus::Failed(again.StoreInfoList(content)));
    FUZZ_CHECK(file.Bytes() == once);
    return 0;
}

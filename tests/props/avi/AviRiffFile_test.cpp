// The RIFF layer on files in memory: where a new INFO list goes in each arrangement of chunks, that
// nothing else moves, and that a file whose sizes cannot be trusted is refused before a byte of it
// changes.
#include "props/avi/AviRiffFile.h"
#include "props/avi/AviStatus.h"
#include "props/avi/InfoList.h"
#include "props/avi/MemoryFile.h"
#include "props/avi/UndoableFile.h"
#include "tests/props/avi/AviTestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

std::string List(const std::string& type, const std::string& body)
{
    return Chunk("LIST", type + body);
}

std::string Riff(const std::string& type, const std::string& body)
{
    return Chunk("RIFF", type + body);
}

// An INFO list's content of the given size (even, 14 or more): one ICMT item of the letter.
std::string InfoContent(size_t size, char letter)
{
    return "INFO"
           "ICMT" +
           Le32(static_cast<uint32_t>(size - 13)) + std::string(size - 14, letter) + "\0\0"s;
}

std::string Info(size_t size, char letter = 'o')
{
    return Chunk("LIST", InfoContent(size, letter));
}

std::string Junk(size_t size)
{
    return Chunk("JUNK", std::string(size, 'j'));
}

const std::string kHdrl = List("hdrl", Chunk("avih", std::string(56, 'h')));
const std::string kMovi = List("movi", Chunk("00dc", "frame one") + Chunk("00dc", "frame two"));
const std::string kIdx1 = Chunk("idx1", "00dc" + Le32(0x10) + Le32(4) + Le32(9));
const std::string kAvix = Riff("AVIX", List("movi", Chunk("00dc", "frame three")));

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at)
{
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// The top level of the first RIFF as the layer walks it: each LIST by its type, INFO lists and
// JUNK with their sizes, every other chunk by its identifier.
std::string Layout(MemoryFile& file)
{
    AviRiffFile avi(file);
    if (AviStatus::Failed(avi.Open(AviRiffFile::Mode::Write))) return "<does not walk>";
    std::string layout;
    for (const AviRiffFile::Chunk& chunk : avi.Chunks()) {
        const uint32_t name = chunk.id == U32At(Bytes("LIST"), 0) ? chunk.listType : chunk.id;
        layout += (layout.empty() ? "" : " ") + std::string(reinterpret_cast<const char*>(&name), 4);
        if (chunk.IsInfoList() || chunk.IsJunk()) layout += "(" + std::to_string(chunk.size) + ")";
    }
    return layout;
}

// Every chunk that is neither an INFO list nor JUNK, with its offset and bytes.
std::vector<std::pair<uint64_t, std::vector<uint8_t>>> Fixed(MemoryFile& file)
{
    AviRiffFile avi(file);
    std::vector<std::pair<uint64_t, std::vector<uint8_t>>> fixed;
    if (AviStatus::Failed(avi.Open(AviRiffFile::Mode::Write))) return fixed;
    for (const AviRiffFile::Chunk& chunk : avi.Chunks()) {
        if (chunk.IsInfoList() || chunk.IsJunk()) continue;
        const auto begin = file.Bytes().begin() + static_cast<std::ptrdiff_t>(chunk.offset);
        fixed.emplace_back(chunk.offset, std::vector<uint8_t>(begin, begin + 8 + chunk.size));
    }
    return fixed;
}

struct StoreCase {
    const char* name;
    std::string body;  // of the first RIFF, after its form type
    std::string after; // what follows the first RIFF
    size_t newSize;    // of the new list's content; 0 removes the list
    std::string layout;
};

// Failures name the case, not its bytes.
void PrintTo(const StoreCase& c, std::ostream* out)
{
    *out << c.name;
}

class StoringAnInfoList : public ::testing::TestWithParam<StoreCase> {};

TEST_P(StoringAnInfoList, PutsItWhereItFitsWithoutMovingAnyOtherChunk)
{
    const StoreCase& c = GetParam();
    MemoryFile file(Bytes(Riff("AVI ", c.body) + c.after));
    const auto fixed = Fixed(file);
    const std::vector<uint8_t> content = c.newSize ? Bytes(InfoContent(c.newSize, 'n')) : std::vector<uint8_t>{};

    AviRiffFile avi(file);
    ASSERT_EQ(avi.Open(AviRiffFile::Mode::Write), AviStatus::Ok);
    ASSERT_EQ(avi.StoreInfoList(content), AviStatus::Ok);

    EXPECT_EQ(Layout(file), c.layout);
    EXPECT_EQ(Fixed(file), fixed);
    const std::vector<uint8_t>& bytes = file.Bytes();
    EXPECT_EQ(U32At(bytes, 4), bytes.size() - 8 - c.after.size()) << "the RIFF size";
    EXPECT_TRUE(std::equal(c.after.rbegin(), c.after.rend(), bytes.rbegin())) << "what follows the RIFF";
    // No text of an old list stays anywhere in the file.
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("ooo"), std::string::npos);

    AviRiffFile reread(file);
    ASSERT_EQ(reread.Open(AviRiffFile::Mode::Read), AviStatus::Ok);
    std::vector<uint8_t> stored;
    EXPECT_EQ(reread.ReadInfoList(stored), c.newSize ? AviStatus::Ok : AviStatus::NoData);
    EXPECT_EQ(stored, content);
}

// Chunk sizes: a list of content size n takes n + 8 bytes; JUNK(n) takes n + 8.
const StoreCase kStoreCases[] = {
    {"into_the_old_list_exactly", kHdrl + Info(38) + kMovi + kIdx1, "", 38, "hdrl INFO(38) movi idx1"},
    {"into_the_old_list_with_junk_after_it", kHdrl + Info(62) + kMovi + kIdx1, "", 38,
     "hdrl INFO(38) JUNK(16) movi idx1"},
    {"to_the_end_when_the_room_left_is_too_small_for_junk", kHdrl + Info(42) + kMovi + kIdx1, "", 38,
     "hdrl JUNK(42) movi idx1 INFO(38)"},
    {"into_the_old_list_and_the_junk_on_both_sides", kHdrl + Junk(20) + Info(38) + Junk(40) + kMovi + kIdx1, "", 80,
     "hdrl INFO(80) JUNK(26) movi idx1"},
    {"into_junk_before_the_movie_when_there_is_no_list", kHdrl + Junk(100) + kMovi + kIdx1, "", 38,
     "hdrl INFO(38) JUNK(54) movi idx1"},
    {"into_junk_before_the_movie_when_the_old_list_has_no_room",
     kHdrl + Info(38) + Junk(8) + Chunk("strd", "x") + Junk(200) + kMovi + kIdx1, "", 80,
     "hdrl JUNK(38) JUNK(8) strd INFO(80) JUNK(112) movi idx1"},
    {"to_the_end_past_junk_after_the_movie", kHdrl + kMovi + Junk(100) + kIdx1, "", 38,
     "hdrl movi JUNK(100) idx1 INFO(38)"},
    {"to_the_end_of_a_file_without_a_list", kHdrl + kMovi + kIdx1, "", 38, "hdrl movi idx1 INFO(38)"},
    {"growing_the_list_at_the_end", kHdrl + kMovi + kIdx1 + Info(38), "", 80, "hdrl movi idx1 INFO(80)"},
    {"shrinking_the_list_at_the_end", kHdrl + kMovi + kIdx1 + Info(80), "", 38, "hdrl movi idx1 INFO(38) JUNK(34)"},
    {"over_the_list_and_junk_that_end_the_file", kHdrl + kMovi + kIdx1 + Info(38) + Junk(8), "", 80,
     "hdrl movi idx1 INFO(80)"},
    {"over_the_first_list_with_every_other_turned_to_junk", kHdrl + Info(38) + Junk(20) + kMovi + kIdx1 + Info(38), "",
     38, "hdrl INFO(38) JUNK(20) movi idx1 JUNK(38)"},
    {"nowhere_when_removing_every_list", kHdrl + Info(38) + kMovi + kIdx1 + Info(38), "", 0,
     "hdrl JUNK(38) movi idx1 JUNK(38)"},
    {"into_the_room_before_the_movie_of_an_opendml_file", kHdrl + Info(38) + Junk(100) + kMovi + kIdx1, kAvix, 80,
     "hdrl INFO(80) JUNK(58) movi idx1"},
};

INSTANTIATE_TEST_SUITE_P(Arrangements, StoringAnInfoList, ::testing::ValuesIn(kStoreCases),
                         [](const ::testing::TestParamInfo<StoreCase>& info) { return info.param.name; });

// A file whose every change after the first `allowed` ones fails, as a failing device would.
class FailingFile : public MemoryFile {
public:
    FailingFile(std::vector<uint8_t> bytes, int allowed) : MemoryFile(std::move(bytes)), allowed_(allowed) {}
    int32_t WriteAt(uint64_t offset, const uint8_t* data, size_t count) override
    {
        if (failing_ && allowed_-- <= 0) return AviStatus::FileWrite;
        return MemoryFile::WriteAt(offset, data, count);
    }
    int32_t SetSize(uint64_t size) override
    {
        if (failing_ && allowed_-- <= 0) return AviStatus::FileWrite;
        return MemoryFile::SetSize(size);
    }
    void Heal() { failing_ = false; }

private:
    int allowed_;
    bool failing_ = true;
};

TEST_P(StoringAnInfoList, PutsEveryByteBackWhenAChangeFailsHalfWay)
{
    const StoreCase& c = GetParam();
    const std::vector<uint8_t> original = Bytes(Riff("AVI ", c.body) + c.after);
    const std::vector<uint8_t> content = c.newSize ? Bytes(InfoContent(c.newSize, 'n')) : std::vector<uint8_t>{};
    for (int allowed = 0;; ++allowed) {
        SCOPED_TRACE(testing::Message() << allowed << " changes allowed");
        FailingFile failing(original, allowed);
        UndoableFile file(failing);
        AviRiffFile avi(file);
        ASSERT_EQ(avi.Open(AviRiffFile::Mode::Write), AviStatus::Ok);
        if (!AviStatus::Failed(avi.StoreInfoList(content))) break;
        failing.Heal(); // the device works again for the undo
        EXPECT_EQ(file.Undo(), AviStatus::Ok);
        ASSERT_EQ(failing.Bytes(), original);
        ASSERT_LT(allowed, 1000);
    }
}

struct RefusedCase {
    const char* name;
    std::string file;
    size_t newSize;
    int32_t status;
};

void PrintTo(const RefusedCase& c, std::ostream* out)
{
    *out << c.name;
}

class RefusingAStore : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusingAStore, LeavesEveryByteAsItWas)
{
    const RefusedCase& c = GetParam();
    // The file may not grow: a store that needs to fails at its first step.
    MemoryFile file(Bytes(c.file), c.file.size());
    AviRiffFile avi(file);
    int32_t status = avi.Open(AviRiffFile::Mode::Write);
    if (!AviStatus::Failed(status)) status = avi.StoreInfoList(Bytes(InfoContent(c.newSize, 'n')));
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(file.Bytes(), Bytes(c.file));
}

const RefusedCase kRefusedCases[] = {
    {"opendml_file_whose_list_has_no_room_before_the_movie", Riff("AVI ", kHdrl + Info(38) + kMovi + kIdx1) + kAvix, 80,
     AviStatus::Unsupported},
    {"file_with_bytes_after_its_riff", Riff("AVI ", kHdrl + kMovi + kIdx1) + "trailing", 38, AviStatus::Unsupported},
    {"file_that_cannot_grow", Riff("AVI ", kHdrl + kMovi + kIdx1), 38, AviStatus::FileWrite},
    {"file_that_is_no_riff", "RIFX" + Le32(4) + "AVI ", 38, AviStatus::BadFormat},
    {"riff_of_another_form", Riff("WAVE", Chunk("fmt ", std::string(16, 'f'))), 38, AviStatus::BadFormat},
    {"file_shorter_than_a_riff_header", "RIFF\x04\0\0\0"s, 38, AviStatus::BadFormat},
    {"riff_whose_size_leaves_no_room_for_its_form", "RIFF\x02\0\0\0AVI "s + kHdrl, 38, AviStatus::BadFormat},
    {"riff_whose_size_runs_past_the_file", "RIFF" + Le32(4000) + "AVI " + kHdrl + Info(38), 38, AviStatus::BadFormat},
    {"chunk_that_runs_past_the_riff", Riff("AVI ", kHdrl + Info(38) + "movi" + Le32(0xFFFFFFF0) + "data"), 38,
     AviStatus::BadFormat},
};

INSTANTIATE_TEST_SUITE_P(Files, RefusingAStore, ::testing::ValuesIn(kRefusedCases),
                         [](const ::testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

// A store stopped after it lengthened the file, before the RIFF size took its list in, leaves zeros
// or the start of that list after the RIFF. The next store takes them back, and stores as if they
// had never been there; other bytes after the RIFF stay refused above.
TEST(StoringAfterAStoppedAppend, TakesBackWhatItLeftAfterTheRiff)
{
    const std::string riff = Riff("AVI ", kHdrl + Info(38) + kMovi + kIdx1);
    const std::vector<uint8_t> content = Bytes(InfoContent(80, 'n'));
    MemoryFile clean(Bytes(riff));
    AviRiffFile cleanAvi(clean);
    ASSERT_EQ(cleanAvi.Open(AviRiffFile::Mode::Write), AviStatus::Ok);
    ASSERT_EQ(cleanAvi.StoreInfoList(content), AviStatus::Ok);
    const std::string partialList = "LIST" + Le32(88) + "INFO" + std::string(30, 'n');
    for (const std::string& left : {std::string(96, '\0'), partialList, partialList + std::string(50, '\0')}) {
        SCOPED_TRACE(left.size());
        MemoryFile file(Bytes(riff + left));
        AviRiffFile avi(file);
        ASSERT_EQ(avi.Open(AviRiffFile::Mode::Write), AviStatus::Ok);
        EXPECT_FALSE(avi.FollowedByMore());
        ASSERT_EQ(avi.StoreInfoList(content), AviStatus::Ok);
        EXPECT_EQ(file.Bytes(), clean.Bytes());
    }
}

struct ReadCase {
    const char* name;
    std::string file;
    int32_t status;
    size_t size; // of the content read
};

void PrintTo(const ReadCase& c, std::ostream* out)
{
    *out << c.name;
}

class ReadingTheList : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadingTheList, UsesTheChunksThatFitAndNoMore)
{
    const ReadCase& c = GetParam();
    MemoryFile file(Bytes(c.file));
    AviRiffFile avi(file);
    std::vector<uint8_t> content;
    int32_t status = avi.Open(AviRiffFile::Mode::Read);
    if (!AviStatus::Failed(status)) status = avi.ReadInfoList(content, 4096);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(content.size(), c.size);
    if (c.size) {
        EXPECT_EQ(std::string(content.begin(), content.begin() + 4), "INFO");
    }
    EXPECT_EQ(file.Changes(), 0);
}

const ReadCase kReadCases[] = {
    {"of_a_whole_file", Riff("AVI ", kHdrl + Info(38) + kMovi + kIdx1), AviStatus::Ok, 38},
    {"up_to_the_limit_asked_for", Riff("AVI ", kHdrl + Info(5000) + kMovi), AviStatus::Ok, 4096},
    {"at_the_end_of_the_file", Riff("AVI ", kHdrl + kMovi + kIdx1 + Info(38)), AviStatus::Ok, 38},
    {"of_a_file_cut_short_after_it", (Riff("AVI ", kHdrl + Info(38) + kMovi + kIdx1)).substr(0, 200), AviStatus::Ok,
     38},
    {"of_a_file_whose_writer_left_the_riff_size_zero", "RIFF" + Le32(0) + "AVI " + kHdrl + Info(38) + kMovi,
     AviStatus::Ok, 38},
    {"before_a_chunk_that_runs_past_the_riff", Riff("AVI ", kHdrl + Info(38) + "movi" + Le32(0xFFFFFFF0) + "data"),
     AviStatus::Ok, 38},
    {"of_a_file_without_one", Riff("AVI ", kHdrl + kMovi + kIdx1), AviStatus::NoData, 0},
    {"that_runs_past_the_end_of_the_file", (Riff("AVI ", kHdrl + Info(400))).substr(0, 300), AviStatus::NoData, 0},
    {"only_inside_the_first_riff", Riff("AVI ", kHdrl + kMovi) + Riff("AVIX", Info(38)), AviStatus::NoData, 0},
    {"of_a_file_that_is_no_avi", Riff("WAVE", Info(38)), AviStatus::BadFormat, 0},
};

INSTANTIATE_TEST_SUITE_P(Files, ReadingTheList, ::testing::ValuesIn(kReadCases),
                         [](const ::testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

TEST(ReadingTheList, StopsWalkingAfterAHundredThousandChunks)
{
    std::string body = kHdrl;
    for (size_t i = 0; i < AviRiffFile::kMaxChunks; ++i)
        body += Junk(0);
    MemoryFile file(Bytes(Riff("AVI ", body + Info(38))));
    AviRiffFile avi(file);
    std::vector<uint8_t> content;
    ASSERT_EQ(avi.Open(AviRiffFile::Mode::Read), AviStatus::Ok);
    EXPECT_EQ(avi.ReadInfoList(content), AviStatus::NoData);
    EXPECT_EQ(avi.Open(AviRiffFile::Mode::Write), AviStatus::BadFormat);
}

TEST(StoringAnInfoList, TwiceOverLeavesTheFileAsTheFirstStoreMadeIt)
{
    for (const std::string& body : {kHdrl + Info(62) + kMovi + kIdx1, kHdrl + kMovi + kIdx1}) {
        MemoryFile file(Bytes(Riff("AVI ", body)));
        const std::vector<uint8_t> content = Bytes(InfoContent(38, 'n'));
        AviRiffFile avi(file);
        ASSERT_EQ(avi.Open(AviRiffFile::Mode::Write), AviStatus::Ok);
        ASSERT_EQ(avi.StoreInfoList(content), AviStatus::Ok);
        const std::vector<uint8_t> once = file.Bytes();
        ASSERT_EQ(avi.StoreInfoList(content), AviStatus::Ok);
        EXPECT_EQ(file.Bytes(), once);
    }
}

TEST(StoringAnInfoList, NeedsTheFileOpenForWriting)
{
    MemoryFile file(Bytes(Riff("AVI ", kHdrl + kMovi)));
    AviRiffFile avi(file);
    EXPECT_EQ(avi.StoreInfoList(Bytes(InfoContent(38, 'n'))), AviStatus::BadFormat);
    ASSERT_EQ(avi.Open(AviRiffFile::Mode::Read), AviStatus::Ok);
    EXPECT_EQ(avi.StoreInfoList(Bytes(InfoContent(38, 'n'))), AviStatus::BadFormat);
    EXPECT_EQ(file.Changes(), 0);
}

} // namespace

// The INFO list's content: items read by their size fields whoever wrote them, and written in the
// handler's own layout.
#include "props/avi/InfoList.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::string_literals;
using Items = std::vector<std::pair<std::string, std::string>>;

Items ItemsOf(const InfoList& list)
{
    Items items;
    for (const InfoList::Item& item : list.items)
        items.emplace_back(item.id, item.text);
    return items;
}

InfoList ListOf(const Items& items)
{
    InfoList list;
    for (const auto& item : items)
        list.items.push_back({item.first, item.second, {}});
    return list;
}

struct ParseCase {
    const char* name;
    std::string content;
    Items items;
};

// Failures name the case, not its bytes.
void PrintTo(const ParseCase& c, std::ostream* out)
{
    *out << c.name;
}

class ReadingAnInfoList : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ReadingAnInfoList, GivesEachWholeItemByItsSize)
{
    const std::string& content = GetParam().content;
    const InfoList list = InfoList::Parse(reinterpret_cast<const uint8_t*>(content.data()), content.size());
    EXPECT_EQ(ItemsOf(list), GetParam().items);
}

const ParseCase kParseCases[] = {
    {"as_ffmpeg_writes_it_with_even_sizes_unpadded",
     "INFO"
     "INAM\x06\0\0\0Movie\0"
     "IART\x05\0\0\0Anna\0\0"s,
     {{"INAM", "Movie"}, {"IART", "Anna"}}},
    {"as_this_program_writes_it",
     "INFO"
     "INAM\x07\0\0\0Movie\0\0\0"
     "ISFT\x05\0\0\0Anna\0\0"s,
     {{"INAM", "Movie"}, {"ISFT", "Anna"}}},
    {"with_texts_that_have_no_terminator",
     "INFO"
     "INAM\x05\0\0\0Movie\0"
     "IART\x04\0\0\0Anna"s,
     {{"INAM", "Movie"}, {"IART", "Anna"}}},
    {"with_a_text_cut_at_its_first_zero",
     "INFO"
     "ICMT\x05\0\0\0ab\0cd\0"s,
     {{"ICMT", "ab"}}},
    {"with_an_empty_item",
     "INFO"
     "INAM\0\0\0\0"
     "IART\x05\0\0\0Anna\0\0"s,
     {{"INAM", ""}, {"IART", "Anna"}}},
    {"with_an_identifier_ending_in_a_zero",
     "INFO"
     "IAB\0\x02\0\0\0x\0"s,
     {{"IAB", "x"}}},
    {"whose_last_odd_item_lacks_its_pad",
     "INFO"
     "IART\x05\0\0\0Anna\0"s,
     {{"IART", "Anna"}}},
    {"followed_by_zero_padding",
     "INFO"
     "INAM\x06\0\0\0Movie\0"s +
         std::string(11, '\0'),
     {{"INAM", "Movie"}}},
    {"whose_item_runs_past_the_content",
     "INFO"
     "INAM\x06\0\0\0Movie\0"
     "IART\xff\0\0\0Anna"s,
     {{"INAM", "Movie"}}},
    {"whose_size_is_the_largest_there_is",
     "INFO"
     "IART\xff\xff\xff\xff"
     "Anna"s,
     {}},
    {"cut_inside_an_item_header",
     "INFO"
     "INAM\x06\0"s,
     {}},
    {"shorter_than_its_list_type", "INF", {}},
};

INSTANTIATE_TEST_SUITE_P(Contents, ReadingAnInfoList, ::testing::ValuesIn(kParseCases),
                         [](const ::testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

TEST(WritingAnInfoList, GivesEachTextAnOddSizeItsZerosAndAPadByte)
{
    std::vector<uint8_t> content;
    ASSERT_TRUE(
        ListOf(
            {{"INAM", "Movie"}, {"ICMT", "A comment"}, {"ISFT", "Anna"}, {"IKEY", ""}, {"ISBJ", std::string(300, 's')}})
            .Build(content));
    const std::string expected = "INFO"
                                 "INAM\x07\0\0\0Movie\0\0\0"
                                 "ICMT\x0b\0\0\0A comment\0\0\0"
                                 "ISFT\x05\0\0\0Anna\0\0"
                                 "IKEY\x01\0\0\0\0\0"
                                 "ISBJ\x2d\x01\0\0"s +
                                 std::string(300, 's') + "\0\0"s;
    EXPECT_EQ(std::string(content.begin(), content.end()), expected);
}

TEST(WritingAnInfoList, ReadsBackAsTheSameItems)
{
    const Items items = {{"INAM", "Caf\xc3\xa9"}, {"IART", "Anna"}, {"INAM", "Twice"}, {"IKEY", ""}};
    std::vector<uint8_t> content;
    ASSERT_TRUE(ListOf(items).Build(content));
    EXPECT_EQ(ItemsOf(InfoList::Parse(content)), items);
}

TEST(WritingAnInfoList, WritesItemsReadFromAFileAsTheyWereStored)
{
    // ffmpeg's layout: sizes that count one zero, a pad byte only after an odd size; an item whose
    // data holds more than its text; and an item of no data at all.
    const std::string read = "INFO"
                             "IART\x05\0\0\0Anna\0\0"
                             "INAM\x06\0\0\0Movie\0"
                             "ISMP\x05\0\0\0a\0b\0c\0"
                             "IKEY\0\0\0\0"s;
    InfoList list = InfoList::Parse(reinterpret_cast<const uint8_t*>(read.data()), read.size());
    list.items.push_back({"ICMT", "New", {}});
    std::vector<uint8_t> content;
    ASSERT_TRUE(list.Build(content));
    EXPECT_EQ(std::string(content.begin(), content.end()), read + "ICMT\x05\0\0\0New\0\0\0"s);
}

TEST(WritingAnInfoList, WithoutItemsGivesTheListTypeAlone)
{
    std::vector<uint8_t> content;
    ASSERT_TRUE(InfoList().Build(content));
    EXPECT_EQ(std::string(content.begin(), content.end()), "INFO");
}

TEST(AnInfoIdentifier, IsFourPrintableAsciiCharacters)
{
    for (const char* id : {"INAM", "inam", "X Y ", "I~!0"})
        EXPECT_TRUE(InfoList::IsIdentifier(id)) << id;
    for (const std::string& id : {""s, "INA"s, "INAME"s, "IN\tM"s, "IN\0M"s, "IN\xc3\xa9"s,
                                  "IN\x7f"
                                  "M"s})
        EXPECT_FALSE(InfoList::IsIdentifier(id)) << id;
}

} // namespace

#include "core/ByteReader.h"
#include "core/ByteWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace {

const std::vector<uint8_t> kBytes = {0x12, 0x34, 0x56, 0x78, 0x9A};

} // namespace

TEST(ByteReader, ReadsValuesInEitherByteOrder)
{
    const struct {
        ByteOrder order;
        uint16_t u16;
        uint32_t u32;
    } cases[] = {
        {ByteOrder::Little, 0x3412, 0x78563412},
        {ByteOrder::Big, 0x1234, 0x12345678},
    };
    for (const auto& c : cases) {
        ByteReader reader(kBytes, c.order);
        uint16_t u16 = 0;
        uint32_t u32 = 0;
        EXPECT_TRUE(reader.U16At(0, u16));
        EXPECT_EQ(u16, c.u16);
        EXPECT_TRUE(reader.ReadU32(u32));
        EXPECT_EQ(u32, c.u32);
        EXPECT_EQ(reader.Offset(), 4u);
    }
}

TEST(ByteReader, RefusesEveryReadPastTheEndAndLeavesCursorAndValueAlone)
{
    ByteReader reader(kBytes);
    ASSERT_TRUE(reader.Seek(3));
    uint32_t u32 = 7;
    EXPECT_FALSE(reader.ReadU32(u32));
    EXPECT_EQ(u32, 7u);
    EXPECT_EQ(reader.Offset(), 3u);
    std::vector<uint8_t> bytes{1};
    EXPECT_FALSE(reader.ReadBytes(3, bytes));
    EXPECT_EQ(bytes, std::vector<uint8_t>{1});
    EXPECT_TRUE(reader.ReadBytes(2, bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x78, 0x9A}));
    uint8_t u8 = 0;
    EXPECT_FALSE(reader.ReadU8(u8));
    EXPECT_FALSE(reader.Seek(6));
    EXPECT_TRUE(reader.Seek(5));
}

TEST(ByteReader, RefusesOffsetsAndLengthsWhoseSumWouldWrap)
{
    const size_t huge = std::numeric_limits<size_t>::max();
    ByteReader reader(kBytes);
    uint16_t u16 = 0;
    ByteReader slice;
    EXPECT_FALSE(reader.U16At(huge, u16));
    EXPECT_FALSE(reader.U16At(huge - 1, u16));
    EXPECT_FALSE(reader.Slice(2, huge, slice));
    EXPECT_FALSE(reader.Slice(huge, 2, slice));
    EXPECT_FALSE(reader.Skip(huge));
    size_t out = 0;
    EXPECT_FALSE(CheckedAdd(huge, 1, out));
    EXPECT_FALSE(CheckedMul(huge / 2 + 1, 2, out));
    EXPECT_TRUE(CheckedMul(0, huge, out));
    EXPECT_EQ(out, 0u);
}

TEST(ByteReader, SlicesReadOnlyInsideTheirRange)
{
    ByteReader reader(kBytes, ByteOrder::Big);
    ByteReader slice;
    ASSERT_TRUE(reader.Slice(1, 3, slice));
    uint16_t u16 = 0;
    EXPECT_TRUE(slice.U16At(1, u16));
    EXPECT_EQ(u16, 0x5678);
    EXPECT_FALSE(slice.U16At(2, u16));
    EXPECT_TRUE(reader.Slice(5, 0, slice));
    EXPECT_EQ(slice.Size(), 0u);
}

TEST(ByteReader, TreatsANullBufferAsEmpty)
{
    ByteReader reader(nullptr, 100);
    uint8_t u8 = 0;
    EXPECT_EQ(reader.Size(), 0u);
    EXPECT_FALSE(reader.ReadU8(u8));
}

TEST(ByteWriter, WritesAndPatchesInItsByteOrderAndRefusesPatchesOutside)
{
    ByteWriter writer(ByteOrder::Big);
    writer.PutU16(0x1234);
    writer.PutU32(0);
    writer.PutText("ab");
    writer.PadTo(4);
    EXPECT_TRUE(writer.PatchU32(2, 0xA1B2C3D4));
    EXPECT_FALSE(writer.PatchU32(6, 1));
    EXPECT_FALSE(writer.PatchU16(std::numeric_limits<size_t>::max(), 1));
    EXPECT_EQ(writer.Bytes(), (std::vector<uint8_t>{0x12, 0x34, 0xA1, 0xB2, 0xC3, 0xD4, 'a', 'b'}));

    ByteWriter little;
    little.PutU32(0x01020304);
    little.PutU8(5);
    little.PadTo(2);
    ByteReader reader(little.Bytes());
    uint32_t u32 = 0;
    EXPECT_TRUE(reader.ReadU32(u32));
    EXPECT_EQ(u32, 0x01020304u);
    EXPECT_EQ(little.Size(), 6u);
}

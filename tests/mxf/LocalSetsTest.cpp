#include "LocalSets.h"

#include "CUStringMac.h"
#include "MxfTestSupport.h"
#include "ParseMetaData.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace ComVantoVantoQZ64RADPlug;
using mxftest::Bytes;
using mxftest::ImportValue;
using mxftest::Key16;
using mxftest::Stream;

namespace {

Key16 SetKey(uint8_t byte5) {
    Key16 key = mxftest::kPrefaceKey;
    key[5] = byte5;
    return key;
}

}  // namespace

TEST(LocalSetsTest, TwoByteTagsAndLengths) {
    Bytes value;
    value.item(0x3C0A, Bytes().fill(16, 0x11)).item(0x4801, Bytes().u32(7)).item(0x0202, Bytes());
    LocalSets set;
    ASSERT_EQ(ImportValue(set, mxftest::kPrefaceKey, value), 0u);
    EXPECT_TRUE(set.isImportable());
    EXPECT_EQ(set.TagType(), kLocalSetCoding2Byte);
    EXPECT_EQ(set.LengthType(), kLocalSetCoding2Byte);
    EXPECT_EQ(set.ItemCount(), 3u);
    EXPECT_EQ(set.LengthForTag(0x3C0A), 16u);
    EXPECT_EQ(set.LengthForTag(0x4801), 4u);
    EXPECT_TRUE(set.HasTag(0x0202));
    EXPECT_EQ(set.LengthForTag(0x0202), 0u);
    EXPECT_EQ(set.LengthForTag(0x9999), 0u);
    EXPECT_FALSE(set.GetParserForTag(0x9999));
    CUSharedPtr<ParseMetaData> parser = set.GetParserForTag(0x4801);
    ASSERT_TRUE(parser);
    uint32_t v = 0;
    ASSERT_TRUE(parser->GetUInt32(v));
    EXPECT_EQ(v, 7u);
    uint32_t offset = 0, length = 0;
    ASSERT_TRUE(set.ItemForTag(0x4801, offset, length));
    EXPECT_EQ(offset, 4u + 16u + 4u);
    EXPECT_EQ(length, 4u);
}

TEST(LocalSetsTest, CodingsFollowKeyByte5) {
    const struct {
        const char* what;
        uint8_t byte5;
        Bytes value;
        uint32_t tags, lengths;
        uint32_t tag, length;
    } cases[] = {
        {"0x13: two-byte tags, BER lengths", 0x13,
         Bytes().u16(0x3C0A).ber(16, 0).fill(16, 1).u16(0x4801).ber(4, 3).u32(9), kLocalSetCoding2Byte,
         kLocalSetCodingBER, 0x4801, 4},
        {"0x0B: BER object-identifier tags and BER lengths", 0x0B,
         Bytes().u8(0x05).ber(2, 0).u16(0xBEEF).u8(0x81).u8(0x01).ber(1, 1).u8(0xAA), kLocalSetCodingBER,
         kLocalSetCodingBER, 129, 1},
        {"0x03: one-byte tags, BER lengths", 0x03, Bytes().u8(0x07).ber(1, 0).u8(1), kLocalSetCoding1Byte,
         kLocalSetCodingBER, 7, 1},
        {"0x3B: four-byte tags, one-byte lengths", 0x3B, Bytes().u32(0x01020304).u8(2).u16(0),
         kLocalSetCoding4Byte, kLocalSetCoding1Byte, 0x01020304, 2},
        {"0x73: two-byte tags, four-byte lengths", 0x73, Bytes().u16(0x3C0A).u32(1).u8(0),
         kLocalSetCoding2Byte, kLocalSetCoding4Byte, 0x3C0A, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LocalSets set;
        ASSERT_EQ(ImportValue(set, SetKey(c.byte5), c.value), 0u);
        EXPECT_EQ(set.TagType(), c.tags);
        EXPECT_EQ(set.LengthType(), c.lengths);
        EXPECT_EQ(set.LengthForTag(c.tag), c.length);
    }
}

TEST(LocalSetsTest, MalformedSetsFailWholly) {
    const Bytes uid = Bytes().fill(16);
    const struct {
        const char* what;
        Key16 key;
        Bytes value;
    } cases[] = {
        {"repeated tag", mxftest::kPrefaceKey,
         Bytes().item(0x3C0A, uid).item(0x4801, Bytes().u32(1)).item(0x3C0A, uid)},
        {"empty value", mxftest::kPrefaceKey, Bytes()},
        {"item past the end", mxftest::kPrefaceKey, Bytes().item(0x3C0A, uid).u16(0x4801).u16(100).u32(1)},
        {"length cut", mxftest::kPrefaceKey, Bytes().item(0x3C0A, uid).u16(0x4801).u8(0)},
        {"indefinite BER length", SetKey(0x13), Bytes().u16(0x3C0A).u8(0x80).fill(4)},
    };
    for (const auto& c : cases) {
        LocalSets set;
        EXPECT_EQ(ImportValue(set, c.key, c.value), 0x131001u) << c.what;
        EXPECT_EQ(set.ItemCount(), 0u) << c.what;
        EXPECT_FALSE(set.GetParserForTag(0x4801)) << c.what;
    }
    LocalSets set;
    EXPECT_EQ(set.Import(CUSharedPtr<CUStream>(), 0), 0x130001u);
}

TEST(LocalSetsTest, ValueLongerThanTheStreamIsNotCopied) {
    // A set that claims 2 GiB in a small stream: refused before anything is
    // allocated for it.
    Bytes file;
    file.key(mxftest::kPrefaceKey).ber(0x7FFFFFFF).item(0x3C0A, Bytes().fill(16));
    LocalSets set;
    set.SetPacket(ULKey(mxftest::kPrefaceKey.data()), 0, 0x7FFFFFFF, 20);
    EXPECT_EQ(set.Import(Stream(file), 20), 0x130002u);
    EXPECT_EQ(set.ItemCount(), 0u);
    // Same for an offset beyond the end.
    set.SetPacket(ULKey(mxftest::kPrefaceKey.data()), 0, 4, 1000);
    EXPECT_EQ(set.Import(Stream(file), 1000), 0x130002u);
}

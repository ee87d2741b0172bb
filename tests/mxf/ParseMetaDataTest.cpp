#include "ParseMetaData.h"

#include "CUMemoryStream.h"
#include "CUMutableArray.h"
#include "CUStringMac.h"
#include "CUVector.h"
#include "KLVPacket.h"
#include "MxfTestSupport.h"
#include "MxfUUID.h"
#include "PartitionPack.h"
#include "UMID.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

using namespace ComVantoVantoQZ64RADPlug;
using mxftest::Bytes;
using mxftest::Stream;

TEST(ParseMetaDataTest, ReadsBigEndianIntegersAndSignedReinterpretation) {
    Bytes b;
    b.u8(0xFE).u16(0xFFFE).u32(0x80000000).u64(0xFFFFFFFFFFFFFFFFull).u16(0x1234);
    ParseMetaData r(Stream(b));
    int8_t s8 = 0;
    int16_t s16 = 0;
    int32_t s32 = 0;
    int64_t s64 = 0;
    uint16_t u16 = 0;
    ASSERT_TRUE(r.GetInt8(s8));
    ASSERT_TRUE(r.GetInt16(s16));
    ASSERT_TRUE(r.GetInt32(s32));
    ASSERT_TRUE(r.GetInt64(s64));
    ASSERT_TRUE(r.GetUInt16(u16));
    EXPECT_EQ(s8, -2);
    EXPECT_EQ(s16, -2);
    EXPECT_EQ(s32, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(s64, -1);
    EXPECT_EQ(u16, 0x1234);
    EXPECT_EQ(r.offset(), b.size());
    EXPECT_EQ(r.RestLength(), 0u);

    // A short read fails, zeroes the output and leaves the cursor alone.
    uint32_t u32 = 77;
    ASSERT_TRUE(r.SetOffset(-2, 2));
    EXPECT_FALSE(r.GetUInt32(u32));
    EXPECT_EQ(u32, 0u);
    EXPECT_EQ(r.offset(), b.size() - 2);
}

TEST(ParseMetaDataTest, WithoutStreamEverythingFails) {
    ParseMetaData r;
    uint8_t v = 1;
    EXPECT_FALSE(r.GetUInt8(v));
    EXPECT_FALSE(r.SetOffset(0, 0));
    EXPECT_EQ(r.RestLength(), 0u);
    EXPECT_FALSE(r.GetUUIDArray());
    EXPECT_FALSE(r.CopyMemoryStream(1));
    KLVPacket p;
    EXPECT_FALSE(r.ParseKeyAndLength(&p));
}

TEST(ParseMetaDataTest, SetOffsetBoundsForEachOrigin) {
    const Bytes b = Bytes().fill(10);
    ParseMetaData r(Stream(b));
    EXPECT_TRUE(r.SetOffset(10, 0));  // exactly the length
    EXPECT_FALSE(r.SetOffset(11, 0));
    EXPECT_FALSE(r.SetOffset(-1, 0));
    EXPECT_EQ(r.offset(), 10u);

    ASSERT_TRUE(r.SetOffset(4, 0));
    EXPECT_TRUE(r.SetOffset(-4, 1));
    EXPECT_EQ(r.offset(), 0u);
    EXPECT_FALSE(r.SetOffset(-1, 1));
    EXPECT_FALSE(r.SetOffset(11, 1));
    EXPECT_FALSE(r.SetOffset(std::numeric_limits<int64_t>::max(), 1));

    EXPECT_TRUE(r.SetOffset(0, 2));
    EXPECT_EQ(r.offset(), 10u);
    EXPECT_TRUE(r.SetOffset(-10, 2));
    EXPECT_EQ(r.offset(), 0u);
    EXPECT_FALSE(r.SetOffset(-11, 2));
    EXPECT_FALSE(r.SetOffset(std::numeric_limits<int64_t>::min(), 2));
    // From the end only backwards: a positive value must not be accepted
    // (it would land before the end by wrapping, or past it).
    EXPECT_FALSE(r.SetOffset(1, 2));
    EXPECT_FALSE(r.SetOffset(std::numeric_limits<int64_t>::max(), 2));
    EXPECT_EQ(r.offset(), 0u);

    EXPECT_FALSE(r.SetOffset(0, 3));
}

// BER lengths (values over 32 bits refused) and BER object identifier tags
// (over 28 bits refused); a refusal consumes nothing.
TEST(ParseMetaDataTest, BerLengthsAndObjectIdentifierTags) {
    struct Case {
        bool tag;  // an object identifier tag, else a length
        Bytes bytes;
        bool ok;
        uint32_t value;
        uint64_t consumed;
    };
    const Case cases[] = {
        {false, {0x00}, true, 0, 1},
        {false, {0x7F}, true, 127, 1},
        {false, {0x80, 0x01}, false, 0, 0},  // indefinite length
        {false, {0x81, 0xFF}, true, 255, 2},
        {false, {0x83, 0x00, 0x01, 0x00}, true, 256, 4},
        {false, {0x84, 0xFF, 0xFF, 0xFF, 0xFF}, true, 0xFFFFFFFFu, 5},
        // Longer forms whose value fits in 32 bits.
        {false, {0x85, 0x00, 0x12, 0x34, 0x56, 0x78}, true, 0x12345678u, 6},
        {false, {0x88, 0, 0, 0, 0, 0, 0, 0x01, 0x00}, true, 256, 9},
        {false, {0x88, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, true, 0xFFFFFFFFu, 9},
        // ... and those whose value does not.
        {false, {0x85, 0x01, 0x00, 0x00, 0x00, 0x00}, false, 0, 0},
        {false, {0x88, 0x80, 0, 0, 0, 0, 0, 0, 0}, false, 0, 0},
        {false, {0x89, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false, 0, 0},
        {false, {0xFF}, false, 0, 0},
        // Truncated long forms.
        {false, {0x84, 0x00, 0x00}, false, 0, 0},
        {false, {0x88, 0, 0, 0, 0, 0, 0, 0}, false, 0, 0},
        {false, {}, false, 0, 0},
        // Object identifier tags.
        {true, {0x05}, true, 5, 1},
        {true, {0x81, 0x01}, true, 129, 2},
        {true, {0xFF, 0xFF, 0xFF, 0x7F}, true, (1u << 28) - 1, 4},
        {true, {0x81, 0x81, 0x81, 0x81, 0x01}, false, 0, 0},  // more than 28 bits
        {true, {0x81, 0x81}, false, 0, 0},                    // cut
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.tag ? "tag" : "length") << " of " << c.bytes.size()
                                        << " bytes, first " << (c.bytes.empty() ? -1 : c.bytes[0]));
        ParseMetaData r(Stream(c.bytes));
        uint32_t v = 0;
        EXPECT_EQ(c.tag ? r.GetOIDBER(v) : r.GetBER(v), c.ok);
        if (c.ok) {
            EXPECT_EQ(v, c.value);
        }
        EXPECT_EQ(r.offset(), c.consumed);
    }
}

TEST(ParseMetaDataTest, UuidArrayBatchChecksCountBeforeReading) {
    const Bytes label = Bytes().fill(16, 0xAB);
    const Bytes two = Bytes().u32(2).u32(16).raw(label).raw(label);
    const struct {
        const char* name;
        Bytes bytes;
        uint32_t itemLength;  // 0: no item bound
        int64_t count;        // -1: refused
    } cases[] = {
        {"two labels", two, 0, 2},
        {"the batch fits its item", two, 8 + 32, 2},
        {"the batch is longer than its item", two, 8 + 16, -1},
        {"count far beyond the bytes", Bytes().u32(0xFFFFFFFF).u32(16).raw(label), 0, -1},
        {"items of another size are not read", Bytes().u32(1).u32(17).raw(label).u8(0), 0, 0},
        {"item size 0", Bytes().u32(0xFFFFFFFF).u32(0), 0, 0},
        {"count * 16 wraps to 16 in 32 bits", Bytes().u32(0x10000001).u32(16).raw(label), 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ParseMetaData r(Stream(c.bytes));
        CUSharedPtr<CUMutableArray> a = c.itemLength ? r.GetUUIDArray(c.itemLength) : r.GetUUIDArray();
        ASSERT_EQ(bool(a), c.count >= 0);
        if (a) {
            EXPECT_EQ(int64_t(a->Count()), c.count);
        }
        if (!a || c.count == 2) {
            EXPECT_EQ(r.offset(), a ? c.bytes.size() : 0u);  // a refusal leaves the cursor
        }
    }
}

TEST(ParseMetaDataTest, UmidLengthsAndLengthByte) {
    Bytes basic;
    basic.raw(
        {0x06, 0x0A, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x05, 0x01, 0x01, 0x0D, 0x20, 0x13, 0x00, 0x00, 0x00});
    basic.fill(16, 0x42);
    Bytes extended = basic;
    extended[12] = 0x33;
    extended.fill(32, 0x43);
    // Read at the item's own length (0: none), the length byte must agree.
    const struct {
        const char* name;
        Bytes bytes;
        uint32_t itemLength;
        uint32_t length;  // 0: refused, the cursor left alone
    } cases[] = {
        {"basic", basic, 0, 32},
        {"extended", extended, 0, 64},
        {"extended length byte, only 40 bytes present", Bytes(extended.begin(), extended.begin() + 40), 0, 0},
        {"extended at 32", extended, 32, 0},
        {"extended at 64", extended, 64, 64},
        {"basic at 33", basic, 33, 0},
        {"basic at 64", basic, 64, 0},
        {"basic at 32", basic, 32, 32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ParseMetaData r(Stream(c.bytes));
        CUSharedPtr<UMID> u = c.itemLength ? r.GetUMID(c.itemLength) : r.GetUMID();
        ASSERT_EQ(bool(u), c.length != 0);
        EXPECT_EQ(r.offset(), c.length);
        if (u) {
            EXPECT_EQ(u->Length(), c.length);
            EXPECT_EQ(u->ValueAtIndex(c.length - 1), c.bytes[c.length - 1]);
        }
    }
}

TEST(ParseMetaDataTest, Utf16StringsDecodeWholeLength) {
    const struct {
        Bytes bytes;
        std::u16string text;
    } strings[] = {
        {{0x00, 'Q', 0x00, 'Z', 0x00, 0x00}, {u'Q', u'Z', u'\0'}},
        {{0xFF, 0xFE, 'a', 0x00, 0xAC, 0x20}, {u'a', u'\u20AC'}},  // little-endian with mark: "a€"
    };
    for (const auto& c : strings) {
        ParseMetaData r(Stream(c.bytes));
        CUSharedPtr<CUStringMac> text = r.GetUTF16String(6);
        ASSERT_TRUE(text);
        EXPECT_EQ(text->Text(), c.text);
    }
    Bytes b{0x00, 'a', 0x00};
    ParseMetaData r(Stream(b));
    EXPECT_FALSE(r.GetUTF16String(0));
    EXPECT_FALSE(r.GetUTF16String(3));
    EXPECT_FALSE(r.GetUTF16String(4));  // more than present
    EXPECT_EQ(r.offset(), 0u);
}

TEST(ParseMetaDataTest, EnumTimestampRationalAndMemoryCopy) {
    Bytes b;
    b.u16(2026).u8(12).u8(6).u8(9).u8(30).u8(15).u8(200).u32(30000).u32(1001).raw({1, 2, 3});
    ParseMetaData r(Stream(b));
    _Timestamp t;
    _Rational q;
    ASSERT_TRUE(r.GetTimestamp(t));
    EXPECT_EQ(t.year, 2026);
    EXPECT_EQ(t.qmsec, 200);
    ASSERT_TRUE(r.GetRational(q));
    EXPECT_EQ(q.numerator, 30000);
    EXPECT_EQ(q.denominator, 1001);
    EXPECT_FALSE(r.GetTimestamp(t));  // 3 bytes left
    EXPECT_EQ(r.offset(), 16u);
    EXPECT_FALSE(r.GetEnum(4));
    EXPECT_FALSE(r.CopyMemoryStream(4));
    EXPECT_FALSE(r.CopyMemoryStream(0x7FFFFFFF));
    EXPECT_EQ(r.offset(), 16u);
    CUSharedPtr<CUMemoryStream> copy = r.CopyMemoryStream(3);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->Length(), 3u);
    EXPECT_EQ(copy->GetPtr()[2], 3);
    EXPECT_EQ(r.offset(), 19u);
    ASSERT_TRUE(r.SetOffset(16, 0));
    CUSharedPtr<CUVector<unsigned char>> e = r.GetEnum(3);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->size(), 3u);
    EXPECT_EQ((*e)[0], 1);
}

TEST(ParseMetaDataTest, KeyAndLengthFailsWhenValuePassesStreamEnd) {
    Bytes b;
    b.klv(mxftest::kFillKey, std::vector<uint8_t>(4, 0));
    b.key(mxftest::kPictureKey).ber(100).fill(10);  // truncated value
    ParseMetaData r(Stream(b));
    KLVPacket p;
    ASSERT_TRUE(r.ParseKeyAndLength(&p));
    EXPECT_EQ(p.Offset(), 0u);
    EXPECT_EQ(p.Length(), 4u);
    EXPECT_EQ(p.ValueOffset(), 21u);
    EXPECT_EQ(p.NextOffset(), 25u);
    EXPECT_EQ(r.offset(), 21u);
    ASSERT_TRUE(r.SetOffset(static_cast<int64_t>(p.NextOffset()), 0));

    // The second packet runs past the end: failure, cursor back on its key,
    // and the packet still holds the first one.
    EXPECT_FALSE(r.ParseKeyAndLength(&p));
    EXPECT_EQ(r.offset(), 25u);
    EXPECT_EQ(p.Offset(), 0u);
    EXPECT_EQ(p.Length(), 4u);

    // A key without a readable length.
    Bytes noLength;
    noLength.key(mxftest::kPictureKey).u8(0x80);
    ParseMetaData r2(Stream(noLength));
    EXPECT_FALSE(r2.ParseKeyAndLength(&p));
    EXPECT_EQ(r2.offset(), 0u);
}

TEST(ParseMetaDataTest, ParsePacketChecksKindAndRestoresOffset) {
    Bytes b;
    b.fill(3);
    b.klv(mxftest::kBodyPartitionKey, mxftest::PartitionValue(1, 3, 0, 0, 0, 0, 0, 0, 2));
    ParseMetaData r(Stream(b));
    ASSERT_TRUE(r.SetOffset(3, 0));
    KLVPacket plain;
    EXPECT_FALSE(r.ParsePacket(&plain));  // the base class imports nothing
    EXPECT_EQ(r.offset(), 3u);
    CUSharedPtr<PartitionPack> pack(new PartitionPack());
    ASSERT_TRUE(r.ParsePacket(CUSharedPtr<KLVPacket>(pack)));
    EXPECT_EQ(r.offset(), b.size());
    EXPECT_EQ(pack->ThisPartition(), 3u);
    EXPECT_EQ(pack->BodySID(), 2u);
    EXPECT_FALSE(r.ParsePacket(static_cast<KLVPacket*>(nullptr)));

    // The value alone, after its key and length, as the header walk reads it.
    ASSERT_TRUE(r.SetOffset(3, 0));
    KLVPacket packet;
    ASSERT_TRUE(r.ParseKeyAndLength(&packet));
    CUSharedPtr<PartitionPack> value(new PartitionPack(packet));
    ASSERT_TRUE(r.ParsePacketValue(CUSharedPtr<KLVPacket>(value)));
    EXPECT_EQ(r.offset(), b.size());
    EXPECT_EQ(value->BodySID(), 2u);
}

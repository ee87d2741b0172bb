#include "STMetadataSets.h"

#include "CUFailure.h"
#include "CUMutableArray.h"
#include "CUStringMac.h"
#include "CUVector.h"
#include "ConcurrentReads.h"
#include "MxfLabels.h"
#include "MxfTestSupport.h"
#include "MxfUUID.h"
#include "PrimerPack.h"
#include "UMID.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
using mxftest::Bytes;

namespace {

// A CDCI-like descriptor key (set kind 0x0128).
constexpr mxftest::Key16 kDescriptorKey = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01,
                                           0x0D, 0x01, 0x01, 0x01, 0x01, 0x01, 0x28, 0x00};

Bytes BasicUmid() {
    Bytes b{0x06, 0x0A, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x05, 0x01, 0x01, 0x0D, 0x20, 0x13, 0x00, 0x00, 0x00};
    b.fill(16, 0x5A);
    return b;
}

// The kind of object a value is, and its text (for numbers, the value type:
// 1 UInt8, 2 UInt16, 3 UInt32, 5 SInt8, 6 SInt16, 7 SInt32, 8 SInt64, 9
// timestamp, 10 rational).
std::string Shown(const CUSharedPtr<CUObject>& v) {
    if (!v) return "<none>";
    const std::string text = v->Description()->Utf8();
    if (auto n = CUDynamicCast<MDValue>(v)) return "value" + std::to_string(n->ValueType()) + " " + text;
    if (CUDynamicCast<MxfUUID>(v)) return "uuid " + text;
    if (CUDynamicCast<UMID>(v)) return "umid " + text;
    if (CUDynamicCast<CUStringMac>(v)) return "text " + text;
    if (CUDynamicCast<CUVector<int>>(v)) return "ints " + text;
    if (CUDynamicCast<CUVector<unsigned char>>(v)) return "bytes " + text;
    return CUDynamicCast<CUMutableArray>(v) ? "array " + text : "other";
}

}  // namespace

TEST(STMetadataSetsTest, ValueForTagGivesTheKindOfTheTable) {
    Bytes value;
    value.item(0x3C0A, Bytes().fill(16, 0x01));
    value.item(0x3203, Bytes().u32(1920));
    value.item(0x320E, Bytes().u32(16).u32(9));
    value.item(0x320C, Bytes().u8(1));
    value.item(0x3207, Bytes().u32(0xFFFFFFFF));
    value.item(0x3307, Bytes().u16(0xFFFF));
    value.item(0x3D04, Bytes().u8(0xF0));
    value.item(0x320D, Bytes().u32(2).u32(4).u32(21).u32(584));
    value.item(0x3215, Bytes{0x04});
    value.item(0x3D10, Bytes().u32(2).u32(3).raw({1, 2, 3, 4, 5, 6}));
    value.item(0x3C01, Bytes{0x00, 'V', 0x00, 'a'});
    value.item(0x4401, BasicUmid());
    value.item(0x4403, Bytes().u32(2).u32(16).fill(16, 0xA1).fill(16, 0xA2));
    value.item(0x3B02, Bytes().u16(2026).u8(12).u8(6).u8(9).u8(30).u8(0).u8(0));
    value.item(0x0202, Bytes().u64(300));
    value.item(0x7777, Bytes().u32(5));  // not in the table
    CUSharedPtr<STMetadataSets> set = mxftest::MakeSet(value, kDescriptorKey);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->Kind(), 0x08010128u);

    // Each tag gives the kind of object its table names.
    const auto shown = [&](uint32_t tag) { return Shown(set->ValueForTag(tag)); };
    const std::string ones = "01.01.01.01.01.01.01.01.01.01.01.01.01.01.01.01";
    const std::pair<uint32_t, std::string> cases[] = {
        {kLocalTag_InstanceUID, "uuid " + ones},
        {kLocalTag_StoredWidth, "value3 1920"},
        {kLocalTag_AspectRatio, "value10 16/9"},
        {kLocalTag_FrameLayout, "value1 1"},
        {kLocalTag_SampledYOffset, "value7 -1"},
        {kLocalTag_PaddingBits, "value6 -1"},
        {kLocalTag_AudioRefLevel, "value5 -16"},
        {kLocalTag_VideoLineMap, "ints { 21, 584 }"},
        {kLocalTag_SignalStandard, "bytes { 4 }"},
        {kLocalTag_ChannelStatusMode, "array {\n\t{ 1, 2, 3 }\n\t{ 4, 5, 6 }\n}"},
        {kLocalTag_CompanyName, "text Va"},
        {kLocalTag_PackageUID,
         "umid 06.0A.2B.34.01.01.01.05.01.01.0D.20.13.00.00.00"
         ".5A.5A.5A.5A.5A.5A.5A.5A.5A.5A.5A.5A.5A.5A.5A.5A"},
        {kLocalTag_Tracks,
         "array {\n\tA1.A1.A1.A1.A1.A1.A1.A1.A1.A1.A1.A1.A1.A1.A1.A1\n\t"
         "A2.A2.A2.A2.A2.A2.A2.A2.A2.A2.A2.A2.A2.A2.A2.A2\n}"},
        {kLocalTag_LastModifiedDate, "value9 2026/12/6 9:30:0 0"},
        {kLocalTag_Duration, "value8 300"}};
    for (const auto& [tag, text] : cases) EXPECT_EQ(shown(tag), text) << std::hex << tag;
    EXPECT_FALSE(set->ValueForTag(0x7777));                  // not a tag the set answers
    EXPECT_FALSE(set->ValueForTag(kLocalTag_StoredHeight));  // absent
}

TEST(STMetadataSetsTest, WrongLengthsGiveEmptyResults) {
    Bytes value;
    value.item(0x3C0A, Bytes().fill(15));          // UID of 15 bytes
    value.item(0x3D03, Bytes().u32(48000));        // rational of 4 bytes
    value.item(0x3C01, Bytes{0x00, 'V', 0x00});    // odd UTF-16 length
    value.item(0x3C02, Bytes());                   // empty string
    value.item(0x4401, Bytes(BasicUmid()).u8(0));  // UMID of 33 bytes
    value.item(0x2701, [] {                        // 32 bytes that say "extended"
        Bytes b = BasicUmid();
        b[12] = 0x33;
        return b;
    }());
    value.item(0x1001, Bytes().u32(0xFFFFFFFF).u32(16).fill(16));  // count beyond the item
    value.item(0x320D, Bytes().u32(3).u32(4).u32(1).u32(2));       // count x size != length - 8
    value.item(0x3D10, Bytes().u32(0xFFFFFFFF).u32(0));            // item size 0
    value.item(0x3D11, Bytes().u32(0x40000001).u32(4).u32(7));     // 32-bit product wraps to 4
    value.item(0x3F01, Bytes().u32(1));                            // batch header cut
    CUSharedPtr<STMetadataSets> set = mxftest::MakeSet(value, kDescriptorKey);
    ASSERT_TRUE(set);
    for (uint32_t tag : {kLocalTag_InstanceUID, kLocalTag_AudioSamplingRate, kLocalTag_CompanyName,
                         kLocalTag_ProductName, kLocalTag_PackageUID, kLocalTag_LinkedPackageUID,
                         kLocalTag_StructuralComponents, kLocalTag_VideoLineMap, kLocalTag_ChannelStatusMode,
                         kLocalTag_FixedChannelStatusData, kLocalTag_SubDescriptors})
        EXPECT_FALSE(set->ValueForTag(tag)) << std::hex << tag;
    // Integers must be 4 bytes wide, whatever the count.
    EXPECT_FALSE(set->SInt32ArrayForTag(kLocalTag_FixedChannelStatusData));
    EXPECT_FALSE(set->ValueForTagAndType(kLocalTag_AudioSamplingRate, kMDValueRational, 8));
    CUSharedPtr<MDValue> four = set->ValueForTagAndType(kLocalTag_AudioSamplingRate, kMDValueUInt32, 4);
    ASSERT_TRUE(four);
    EXPECT_THROW((void)static_cast<_Rational>(*four), CUError);
}

TEST(STMetadataSetsTest, IntegerBatchNeedsItemSizeFour) {
    Bytes value;
    value.item(0x320D, Bytes().u32(2).u32(2).u16(1).u16(2));
    value.item(0x3D10, Bytes().u32(0).u32(1));
    CUSharedPtr<STMetadataSets> set = mxftest::MakeSet(value, kDescriptorKey);
    ASSERT_TRUE(set);
    EXPECT_FALSE(set->SInt32ArrayForTag(kLocalTag_VideoLineMap));
    // The same bytes are a valid byte-vector batch.
    CUSharedPtr<CUMutableArray> asBytes = set->EnumArrayForTag(kLocalTag_VideoLineMap);
    ASSERT_TRUE(asBytes);
    EXPECT_EQ(asBytes->Count(), 2u);
    CUSharedPtr<CUMutableArray> empty = set->EnumArrayForTag(kLocalTag_ChannelStatusMode);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Count(), 0u);
}

TEST(STMetadataSetsTest, PrimerMappedMpegItems) {
    Bytes value;
    value.item(0x3C0A, Bytes().fill(16, 2));
    value.item(0x8005, Bytes().u32(50000000));  // bit rate
    value.item(0x8006, Bytes().u8(0x82));       // profile and level
    value.item(0x8007, Bytes().u16(15));        // max GOP
    value.item(0x8008, Bytes{0x02});            // coded content scanning
    value.item(0x8009, Bytes().u16(2));         // B picture count, stored as 2 bytes
    CUSharedPtr<STMetadataSets> set = mxftest::MakeSet(value, kDescriptorKey);
    ASSERT_TRUE(set);
    CUSharedPtr<PrimerPack> primer(new PrimerPack());
    primer->AddEntry(FBC_UL_MER_BitRate, 0x8005);
    primer->AddEntry(FBC_UL_MER_ProfileAndLevel, 0x8006);
    primer->AddEntry(FBC_UL_MER_MaxGOP, 0x8007);
    primer->AddEntry(FBC_UL_MER_CodedContentScanning, 0x8008);
    primer->AddEntry(FBC_UL_MER_BPictureCount, 0x8009);
    primer->AddEntry(FBC_UL_PictureEssenceTrack, 0x3C0A);

    const auto shown = [&](const MxfUUID& label) { return Shown(set->ValueForUUID(label, primer)); };
    EXPECT_EQ(shown(FBC_UL_MER_BitRate), "value3 50000000");
    EXPECT_EQ(shown(FBC_UL_MER_ProfileAndLevel), "value1 130");
    EXPECT_EQ(shown(FBC_UL_MER_MaxGOP), "value2 15");
    EXPECT_EQ(shown(FBC_UL_MER_CodedContentScanning), "bytes { 2 }");
    EXPECT_TRUE(set->ValueForUUID(FBC_UL_MER_BPictureCount, primer));
    // Absent from the primer: tag 0, which the set does not hold.
    EXPECT_FALSE(set->ValueForUUID(FBC_UL_MER_ClosedGOP, primer));
    // A label the set does not answer, even when the primer maps it.
    EXPECT_FALSE(set->ValueForUUID(FBC_UL_PictureEssenceTrack, primer));
    EXPECT_FALSE(set->ValueForUUID(FBC_UL_MER_BitRate, CUSharedPtr<PrimerPack>()));
}

// One set shared by several threads: every getter positions the set's one
// reader, so each must hold the set's lock for its whole read.
TEST(STMetadataSetsTest, ConcurrentReadersOfOneSetAgree) {
    Bytes value;
    value.item(0x3C0A, Bytes().fill(16, 0x07));
    value.item(0x3203, Bytes().u32(1920));
    value.item(0x3202, Bytes().u32(1088));
    value.item(0x320D, Bytes().u32(2).u32(4).u32(21).u32(584));
    value.item(0x4403, Bytes().u32(3).u32(16).fill(48, 0x33));
    value.item(0x3C01, Bytes{0x00, 'V', 0x00, 'a'});
    CUSharedPtr<STMetadataSets> set = mxftest::MakeSet(value, kDescriptorKey);
    ASSERT_TRUE(set);
    // Read f gives the height (even f) or the width, the second line, the
    // track count, the UID's last byte and the name's length.
    const auto read = [&set](uint32_t f) {
        CUSharedPtr<MDValue> size = CUDynamicCast<MDValue>(set->ValueForTag(f % 2 ? 0x3203 : 0x3202));
        CUSharedPtr<CUVector<int>> map = set->SInt32ArrayForTag(kLocalTag_VideoLineMap);
        CUSharedPtr<CUMutableArray> tracks = set->UUIDArrayValueForTag(kLocalTag_Tracks);
        CUSharedPtr<MxfUUID> uid = set->UUIDForTag(kLocalTag_InstanceUID);
        CUSharedPtr<CUStringMac> name = set->CUStringValueForTag(kLocalTag_CompanyName);
        return std::vector<int64_t>{size ? int64_t(static_cast<unsigned int>(*size)) : -1,
                                    map && map->size() == 2 ? (*map)[1] : -1,
                                    tracks ? int64_t(tracks->Count()) : -1, uid ? uid->ValueAtIndex(15) : -1,
                                    name ? int64_t(name->Length()) : -1};
    };
    const auto reads = qztest::ExpectEightThreadsReadAsOne(
        2, read, [] {}, 300);
    EXPECT_EQ(reads[0], (std::vector<int64_t>{1088, 584, 3, 0x07, 2}));
    EXPECT_EQ(reads[1], (std::vector<int64_t>{1920, 584, 3, 0x07, 2}));
}

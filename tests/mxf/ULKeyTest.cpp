#include "ULKey.h"

#include "CUFailure.h"
#include "CUStringMac.h"
#include "MxfLabels.h"
#include "MxfUUID.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

ULKey Key(std::array<uint8_t, 16> bytes) {
    return ULKey(bytes.data());
}

ULKey KeyFromText(const std::string& dotted) {
    std::array<uint8_t, 16> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(std::stoul(dotted.substr(3 * i, 2), nullptr, 16));
    return Key(bytes);
}

}  // namespace

TEST(ULKeyTest, ClassifiesEveryRowGroup) {
    struct Case {
        const char* key;  // dotted hex bytes
        uint32_t type;
    };
    const Case cases[] = {
        {"06.0E.2B.35.02.05.01.01.0D.01.02.01.01.02.04.00", kMxfKeyNone},
        {"06.0E.2B.34.01.01.01.0D.0E.15.00.00.00.01.00.00", kMxfKeySequenceInfoElement},
        // The sequence information row is the one that examines byte 7.
        {"06.0E.2B.34.01.01.01.0C.0E.15.00.00.00.01.00.00", kMxfKeyMetadataElement},
        {"06.0E.2B.34.01.01.01.02.03.01.02.10.01.00.00.00", kMxfKeyMetadataElement},
        {"06.0E.2B.34.01.02.01.01.0D.01.03.01.15.01.05.00", kMxfKeyPictureElement},
        {"06.0E.2B.34.01.02.01.07.0D.01.03.01.16.01.01.03", kMxfKeySoundElement},
        {"06.0E.2B.34.01.02.01.01.0D.01.03.01.17.01.01.00", kMxfKeyEssenceElement},
        {"06.0E.2B.34.01.03.01.01.00.00.00.00.00.00.00.00", kMxfKeyControlElement},
        {"06.0E.2B.34.01.04.01.01.00.00.00.00.00.00.00.00", kMxfKeyTypeElement},
        {"06.0E.2B.34.01.09.01.01.00.00.00.00.00.00.00.00", kMxfKeyOther},
        {"06.0E.2B.34.02.01.01.01.00.00.00.00.00.00.00.00", kMxfKeyUniversalSet},
        {"06.0E.2B.34.02.02.01.01.00.00.00.00.00.00.00.00", kMxfKeyGlobalSet},
        {"06.0E.2B.34.02.53.01.01.0D.01.01.01.01.01.2F.00", 0x0801012Fu},
        // Version byte 7 is not examined for structural sets.
        {"06.0E.2B.34.02.53.01.7F.0D.01.01.01.01.01.44.00", 0x08010144u},
        {"06.0E.2B.34.02.53.01.01.0D.01.02.01.01.10.01.00", kMxfKeyIndexTableSegment},
        {"06.0E.2B.34.02.43.01.01.0D.01.03.01.04.01.02.02", kMxfKeyPackageMetadataSet},
        {"06.0E.2B.34.02.13.01.01.0D.01.09.01.01.01.01.00", kMxfKeyLocalSet},
        // Byte 5 at or above 0x7C is no local set.
        {"06.0E.2B.34.02.7B.01.01.00.00.00.00.00.00.00.00", kMxfKeyLocalSet},
        {"06.0E.2B.34.02.7F.01.01.00.00.00.00.00.00.00.00", kMxfKeyOther},
        {"06.0E.2B.34.02.04.01.01.00.00.00.00.00.00.00.00", kMxfKeyVariablePack},
        {"06.0E.2B.34.02.05.01.01.0D.01.02.01.01.05.01.00", kMxfKeyPrimerPack},
        {"06.0E.2B.34.02.05.01.01.0D.01.02.01.01.11.01.00", kMxfKeyRandomIndexPack},
        {"06.0E.2B.34.02.05.01.01.0D.01.03.01.04.01.01.00", kMxfKeySystemMetadataPack},
        {"06.0E.2B.34.02.05.01.01.0D.01.02.01.01.05.02.00", kMxfKeyFixedPack},
        {"06.0E.2B.34.03.01.01.01.00.00.00.00.00.00.00.00", kMxfKeySimpleWrapper},
        {"06.0E.2B.34.03.02.01.01.00.00.00.00.00.00.00.00", kMxfKeyComplexWrapper},
        {"06.0E.2B.34.04.01.01.01.00.00.00.00.00.00.00.00", kMxfKeyLabel},
        {"06.0E.2B.34.05.77.01.01.00.00.00.00.00.00.00.00", kMxfKeyPrivate},
        {"06.0E.2B.34.07.01.01.01.00.00.00.00.00.00.00.00", kMxfKeyOther},
    };
    for (const Case& c : cases) {
        const ULKey key = KeyFromText(c.key);
        CUSharedPtr<CUStringMac> name = key.Description();
        EXPECT_EQ(key.GetKeyType(), c.type) << static_cast<const char*>(*name);
        EXPECT_EQ(key.GetKeyKind(), c.type & 0xFF000000u);
    }
}

TEST(ULKeyTest, PartitionPacksOfEveryStatusAndVersionClassifyAlike) {
    for (uint8_t kind = 2; kind <= 4; ++kind) {
        for (uint8_t status = 1; status <= 4; ++status) {
            for (uint8_t version : {0x01, 0x05}) {
                const ULKey key = Key({0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, version, 0x0D, 0x01, 0x02,
                                       0x01, 0x01, kind, status, 0x00});
                EXPECT_EQ(key.GetKeyType(), kMxfKeyHeaderPartition + (kind - 2u));
            }
        }
    }
}

TEST(ULKeyTest, LabelsMatchOnAllSixteenBytes) {
    const std::array<uint8_t, 16> op1a = {0x06, 0x0E, 0x2B, 0x34, 0x04, 0x01, 0x01, 0x01,
                                          0x0D, 0x01, 0x02, 0x01, 0x01, 0x01, 0x09, 0x00};
    EXPECT_EQ(MxfUUID(op1a.data()), FBC_UL_OperationalPattern_1a);
    std::array<uint8_t, 16> other = op1a;
    other[7] = 0x02;  // the version byte counts for labels
    EXPECT_NE(MxfUUID(other.data()), FBC_UL_OperationalPattern_1a);
    CUSharedPtr<CUStringMac> text = FBC_UL_MER_BitRate.Description();
    EXPECT_STREQ(static_cast<const char*>(*text), "06.0E.2B.34.01.01.01.05.04.01.06.02.01.0B.00.00");
    CUSharedPtr<CUStringMac> tc = FBC_UL_12MTimecodeTrack.Description();
    EXPECT_STREQ(static_cast<const char*>(*tc), "06.0E.2B.34.04.01.01.01.01.03.02.01.01.00.00.00");
    EXPECT_NE(FBC_UL_PictureEssenceTrack, FBC_UL_SoundEssenceTrack);
}

TEST(ULKeyTest, IdentifierConstructionOrderAndIndexErrors) {
    const MxfUUID words(0x01020304, 0x05060708, 0x090A0B0C, 0x0D0E0F10);
    for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(words.ValueAtIndex(i), i + 1);
    EXPECT_THROW(words.ValueAtIndex(16), CUError);
    MxfUUID zero;
    EXPECT_TRUE(zero < words);
    EXPECT_FALSE(words < zero);
    zero.SetKey(static_cast<const unsigned char*>(nullptr));
    zero.SetKey(static_cast<const MxfUUID*>(nullptr));
    EXPECT_EQ(zero, MxfUUID());
    zero.SetKey(words);
    EXPECT_EQ(zero, words);
    const MxfUUID fromNull(static_cast<const unsigned char*>(nullptr));
    EXPECT_EQ(fromNull, MxfUUID());
}

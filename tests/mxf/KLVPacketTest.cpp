// Where a KLV triplet lies for each BER length form, and the base packet's
// copy and refusals.
#include "KLVPacket.h"

#include "CUStringMac.h"
#include "MxfTestSupport.h"
#include "ParseMetaData.h"

#include <gtest/gtest.h>

using namespace ComVantoVantoQZ64RADPlug;
using mxftest::Bytes;

TEST(KLVPacketTest, PositionsFollowTheLengthForm) {
    struct Case {
        uint64_t length;
        int lengthBytes;  // 0: short form
        uint64_t valueOffset;
    } const cases[] = {{0, 0, 17}, {0x7F, 0, 17}, {0x80, 1, 18}, {0xFF, 1, 18}, {0x100, 2, 19}, {5, 8, 25}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.length << " in " << c.lengthBytes << " bytes");
        Bytes file;
        file.fill(3).key(mxftest::kPictureKey).ber(c.length, c.lengthBytes).fill(c.length);
        ParseMetaData reader(mxftest::Stream(file));
        ASSERT_TRUE(reader.SetOffset(3, 0));
        KLVPacket packet;
        ASSERT_TRUE(reader.ParseKeyAndLength(&packet));
        EXPECT_EQ(packet.Offset(), 3u);
        EXPECT_EQ(packet.Length(), c.length);
        EXPECT_EQ(packet.ValueOffset(), c.valueOffset + 3);
        EXPECT_EQ(packet.NextOffset(), file.size());
        EXPECT_EQ(packet.PacketType(), kMxfKeyPictureElement);
        // One value byte short: no packet.
        file.pop_back();
        ParseMetaData cut(mxftest::Stream(file));
        ASSERT_TRUE(cut.SetOffset(3, 0));
        KLVPacket none;
        EXPECT_FALSE(cut.ParseKeyAndLength(&none));
    }
}

TEST(KLVPacketTest, CopiesTheTripletAndImportsNothing) {
    KLVPacket a;
    a.SetPacket(ULKey(mxftest::kFillKey.data()), 0x10, 0x20, 0x24);
    KLVPacket b(a), c;
    c = a;
    for (const KLVPacket* p : {&b, &c}) {
        EXPECT_EQ(p->Key(), a.Key());
        EXPECT_EQ(p->NextOffset(), 0x44u);
    }
    EXPECT_FALSE(a.isImportable());
    EXPECT_EQ(a.Import(mxftest::Stream(Bytes())), 0u);
    EXPECT_NE(
        a.Description()->Utf8().find("offset = 0000000000000010, length = 32, value = 0000000000000024"),
        std::string::npos);
}

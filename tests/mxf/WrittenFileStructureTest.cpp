// Files written by the card writer, read back by the lower layers of the
// reader: random index pack, partition packs and derived positions, header
// metadata sets, primer-mapped MPEG items, content packages per partition,
// the sequence information at its fixed offset.

#include "CUFileStream.h"
#include "CUStringMac.h"
#include "MxfFileWriter.h"
#include "MxfLabels.h"
#include "MxfTestSupport.h"
#include "ParseMetaData.h"
#include "PartitionPack.h"
#include "PrimerPack.h"
#include "RandomIndexPack.h"
#include "STMetadataSets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

namespace {

CUSharedPtr<CUStream> OpenFile(const std::string& path) {
    return CUSharedPtr<CUStream>(
        new CUFileStream(CUStringMac::Create(path.c_str()), kCUStreamModeOpen, kCUStreamAccessRead, true));
}

CUSharedPtr<PartitionPack> PackAt(ParseMetaData& reader, uint64_t offset) {
    CUSharedPtr<PartitionPack> pack(new PartitionPack());
    if (!reader.SetOffset(static_cast<int64_t>(offset), 0) ||
        !reader.ParsePacket(CUSharedPtr<KLVPacket>(pack)))
        return nullptr;
    return pack;
}

struct Format {
    int width, height, rateNum, rateDen;
    bool interlaced;
};

std::string Name(const Format& f) {
    return std::to_string(f.width) + "x" + std::to_string(f.height) + "_" + std::to_string(f.rateNum) + "_" +
           std::to_string(f.rateDen) + (f.interlaced ? "i" : "p");
}

class WrittenFileStructureTest : public ::testing::TestWithParam<Format> {
protected:
    qztest::ScratchFolder scratch_{"writtenfile"};
    const std::string dir_ = scratch_.Path();
};

}  // namespace

TEST_P(WrittenFileStructureTest, EveryStructureReadsAsWritten) {
    const Format fmt = GetParam();
    cw::MxfFileDescription d;
    d.video.width = fmt.width;
    d.video.height = fmt.height;
    d.video.rateNumerator = fmt.rateNum;
    d.video.rateDenominator = fmt.rateDen;
    d.video.interlaced = fmt.interlaced;
    d.video.bitRate = 8000000;  // keeps the files small
    d.frameCount = 11;
    d.framesPerBodyPartition = 4;
    d.audioChannels = 2;
    d.startTimecode = 1234;
    const std::string path = dir_ + "/" + Name(fmt) + ".MXF";
    const cw::MxfFileLayout layout = cw::WriteMxfFile(d, path);

    ParseMetaData reader(OpenFile(path));
    ASSERT_EQ(reader.StreamLength(), layout.fileSize);

    // Random index pack: header, every body partition, footer.
    uint32_t ripLength = 0;
    ASSERT_TRUE(reader.SetOffset(-4, 2));
    ASSERT_TRUE(reader.GetUInt32(ripLength));
    ASSERT_TRUE(reader.SetOffset(-static_cast<int64_t>(ripLength), 2));
    EXPECT_EQ(reader.offset(), layout.randomIndexPack);
    CUSharedPtr<RandomIndexPack> rip(new RandomIndexPack());
    ASSERT_TRUE(reader.ParsePacket(CUSharedPtr<KLVPacket>(rip)));
    std::vector<uint64_t> ripBodies;
    for (uint32_t i = 0; i < rip->Count(); ++i) {
        uint32_t sid = 0;
        uint64_t offset = 0;
        ASSERT_TRUE(rip->GetBodySIDAtIndex(i, sid));
        ASSERT_TRUE(rip->GetOffsetAtIndex(i, offset));
        if (sid == 2) ripBodies.push_back(offset);
    }
    EXPECT_EQ(ripBodies, layout.bodyPartitions);

    // Header partition and its metadata.
    CUSharedPtr<PartitionPack> header = PackAt(reader, 0);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->PacketType(), kMxfKeyHeaderPartition);
    EXPECT_EQ(header->HeaderByteCount(), layout.headerByteCount);
    EXPECT_EQ(header->FooterPartition(), layout.footerPartition);
    EXPECT_EQ(header->HeaderOffset(), header->ThisPartition() + header->KAGSize());
    ASSERT_TRUE(header->OperationalPattern());
    EXPECT_EQ(*header->OperationalPattern(), FBC_UL_OperationalPattern_1a);
    bool hasMpegLabel = false;
    for (uint32_t i = 0; i < header->EssenceCount(); ++i)
        hasMpegLabel |= *header->EssenceAtIndex(i) == FBC_UL_MPEG2ES_FrameWrapping;
    EXPECT_TRUE(hasMpegLabel);

    const uint64_t end = header->HeaderOffset() + header->HeaderByteCount();
    ASSERT_TRUE(reader.SetOffset(static_cast<int64_t>(header->HeaderOffset()), 0));
    CUSharedPtr<PrimerPack> primer;
    std::vector<CUSharedPtr<STMetadataSets>> sets;
    uint64_t sequenceInfoAt = 0;
    KLVPacket packet;
    while (reader.offset() < end) {
        ASSERT_TRUE(reader.ParseKeyAndLength(&packet));
        ASSERT_LE(packet.NextOffset(), end);
        if ((packet.PacketType() >> 16) == 0x0801) {
            CUSharedPtr<STMetadataSets> set(new STMetadataSets(packet));
            ASSERT_TRUE(reader.ParsePacketValue(CUSharedPtr<KLVPacket>(set))) << std::hex << packet.Offset();
            sets.push_back(set);
        } else if (packet.PacketType() == kMxfKeyPrimerPack) {
            primer = CUSharedPtr<PrimerPack>(new PrimerPack(packet));
            ASSERT_TRUE(reader.ParsePacketValue(CUSharedPtr<KLVPacket>(primer)));
        } else if (packet.PacketType() == kMxfKeySequenceInfoElement) {
            sequenceInfoAt = packet.Offset();
        }
        ASSERT_TRUE(reader.SetOffset(static_cast<int64_t>(packet.NextOffset()), 0));
    }
    EXPECT_EQ(reader.offset(), end);
    EXPECT_EQ(sequenceInfoAt, layout.sequenceInfo);
    EXPECT_EQ(sequenceInfoAt, cw::MxfSequenceInfoOffset(fmt.height));
    ASSERT_TRUE(primer);

    CUSharedPtr<STMetadataSets> mpeg, timecode;
    for (const auto& set : sets) {
        if (set->HasTag(kLocalTag_StoredWidth) && !mpeg) mpeg = set;
        if (set->Kind() == 0x08010114 && !timecode) timecode = set;
    }
    ASSERT_TRUE(mpeg);
    CUSharedPtr<MDValue> width = CUDynamicCast<MDValue>(mpeg->ValueForTag(kLocalTag_StoredWidth));
    ASSERT_TRUE(width);
    EXPECT_EQ(static_cast<unsigned int>(*width), static_cast<unsigned int>(fmt.width));
    CUSharedPtr<MDValue> bitRate = CUDynamicCast<MDValue>(mpeg->ValueForUUID(FBC_UL_MER_BitRate, primer));
    ASSERT_TRUE(bitRate);
    EXPECT_EQ(static_cast<unsigned int>(*bitRate), d.video.bitRate);
    CUSharedPtr<MDValue> maxGop = CUDynamicCast<MDValue>(mpeg->ValueForUUID(FBC_UL_MER_MaxGOP, primer));
    ASSERT_TRUE(maxGop);
    EXPECT_EQ(static_cast<unsigned short>(*maxGop), d.video.gopLength);
    ASSERT_TRUE(timecode);
    CUSharedPtr<MDValue> start = CUDynamicCast<MDValue>(timecode->ValueForTag(kLocalTag_StartTimecode));
    ASSERT_TRUE(start);
    EXPECT_EQ(static_cast<long long>(*start), d.startTimecode);

    // Body partitions: pack fields, and from ContentOffset one content
    // package (system item, picture, sound per channel) per frame.
    ASSERT_EQ(layout.bodyPartitions.size(), layout.bodyFirstFrames.size());
    for (size_t i = 0; i < layout.bodyPartitions.size(); ++i) {
        SCOPED_TRACE(i);
        CUSharedPtr<PartitionPack> body = PackAt(reader, layout.bodyPartitions[i]);
        ASSERT_TRUE(body);
        EXPECT_EQ(body->PacketType(), kMxfKeyBodyPartition);
        EXPECT_EQ(body->BodySID(), 2u);
        EXPECT_EQ(body->ThisPartition(), layout.bodyPartitions[i]);
        const uint64_t stop =
            i + 1 < layout.bodyPartitions.size() ? layout.bodyPartitions[i + 1] : layout.footerPartition;
        const uint64_t frames =
            (i + 1 < layout.bodyFirstFrames.size() ? layout.bodyFirstFrames[i + 1] : d.frameCount) -
            layout.bodyFirstFrames[i];
        ASSERT_NE(body->ContentOffset(), PartitionPack::kNoOffset);
        ASSERT_TRUE(reader.SetOffset(static_cast<int64_t>(body->ContentOffset()), 0));
        ASSERT_TRUE(reader.ParseKeyAndLength(&packet));
        EXPECT_EQ(packet.PacketType(), kMxfKeySystemMetadataPack);
        ASSERT_TRUE(reader.SetOffset(static_cast<int64_t>(body->ContentOffset()), 0));
        uint64_t systems = 0, pictures = 0, sounds = 0;
        while (reader.offset() < stop) {
            ASSERT_TRUE(reader.ParseKeyAndLength(&packet));
            systems += packet.PacketType() == kMxfKeySystemMetadataPack;
            pictures += packet.PacketType() == kMxfKeyPictureElement;
            sounds += packet.PacketType() == kMxfKeySoundElement;
            ASSERT_TRUE(reader.SetOffset(static_cast<int64_t>(packet.NextOffset()), 0));
        }
        EXPECT_EQ(reader.offset(), stop);
        EXPECT_EQ(systems, frames);
        EXPECT_EQ(pictures, frames);
        EXPECT_EQ(sounds, frames * d.audioChannels);
    }
    CUSharedPtr<PartitionPack> footer = PackAt(reader, layout.footerPartition);
    ASSERT_TRUE(footer);
    EXPECT_EQ(footer->PacketType(), kMxfKeyFooterPartition);
    EXPECT_EQ(footer->PreviousPartition(), layout.bodyPartitions.back());
}

INSTANTIATE_TEST_SUITE_P(Formats, WrittenFileStructureTest,
                         ::testing::Values(Format{1920, 1080, 30000, 1001, true},
                                           Format{1920, 1080, 25, 1, true},
                                           Format{1440, 1080, 24000, 1001, false},
                                           Format{1920, 1080, 24, 1, false}, Format{1920, 1080, 30, 1, false},
                                           Format{1280, 720, 60000, 1001, false},
                                           Format{1280, 720, 50, 1, false}, Format{1280, 720, 60, 1, false}),
                         [](const ::testing::TestParamInfo<Format>& p) { return Name(p.param); });

// The lower layers of the reader on whole files written by other tools:
// random index pack, partition packs and their derived positions, primer,
// every header metadata set, and the essence KLVs of the body, checked
// against ffprobe's view of the same file.
#include "CUFileStream.h"
#include "CUMutableArray.h"
#include "CUStringMac.h"
#include "MxfLabels.h"
#include "MxfTestSupport.h"
#include "ParseMetaData.h"
#include "PartitionPack.h"
#include "PrimerPack.h"
#include "RandomIndexPack.h"
#include "STMetadataSets.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

struct Element {
    uint64_t offset;
    uint64_t length;
};

struct WalkedFile {
    CUSharedPtr<RandomIndexPack> rip;
    std::vector<CUSharedPtr<PartitionPack>> partitions;
    CUSharedPtr<PrimerPack> primer;
    std::vector<CUSharedPtr<STMetadataSets>> sets;
    uint32_t failedSets = 0;
    std::vector<Element> pictures;
    std::vector<Element> sounds;
};

CUSharedPtr<CUStream> OpenFile(const std::string& path) {
    return CUSharedPtr<CUStream>(
        new CUFileStream(CUStringMac::Create(path.c_str()), kCUStreamModeOpen, kCUStreamAccessRead, true));
}

// Reads the structures the way the upper layers do, without them.
void Walk(const std::string& path, WalkedFile& out) {
    ParseMetaData reader(OpenFile(path));
    uint32_t ripLength = 0;
    ASSERT_TRUE(reader.SetOffset(-4, 2));
    ASSERT_TRUE(reader.GetUInt32(ripLength));
    ASSERT_TRUE(reader.SetOffset(-static_cast<int64_t>(ripLength), 2));
    out.rip = CUSharedPtr<RandomIndexPack>(new RandomIndexPack());
    ASSERT_TRUE(reader.ParsePacket(CUSharedPtr<KLVPacket>(out.rip)));
    ASSERT_GE(out.rip->Count(), 2u);
    for (uint32_t i = 0; i < out.rip->Count(); ++i) {
        uint64_t offset = 0;
        ASSERT_TRUE(out.rip->GetOffsetAtIndex(i, offset));
        ASSERT_TRUE(reader.SetOffset(static_cast<int64_t>(offset), 0));
        CUSharedPtr<PartitionPack> pack(new PartitionPack());
        ASSERT_TRUE(reader.ParsePacket(CUSharedPtr<KLVPacket>(pack))) << "partition at " << offset;
        EXPECT_EQ(pack->ThisPartition(), offset);
        out.partitions.push_back(pack);
    }
    const CUSharedPtr<PartitionPack>& header = out.partitions.front();
    ASSERT_EQ(header->PacketType(), kMxfKeyHeaderPartition);

    // Header metadata: every KLV lies inside the region and the walk ends
    // exactly at its end.
    const uint64_t begin = header->HeaderOffset();
    ASSERT_NE(begin, PartitionPack::kNoOffset);
    const uint64_t end = begin + header->HeaderByteCount();
    ASSERT_TRUE(reader.SetOffset(static_cast<int64_t>(begin), 0));
    KLVPacket packet;
    while (reader.offset() < end) {
        ASSERT_TRUE(reader.ParseKeyAndLength(&packet));
        ASSERT_LE(packet.NextOffset(), end);
        const uint32_t type = packet.PacketType();
        if ((type >> 16) == 0x0801) {
            CUSharedPtr<STMetadataSets> set(new STMetadataSets(packet));
            if (reader.ParsePacketValue(CUSharedPtr<KLVPacket>(set)))
                out.sets.push_back(set);
            else
                ++out.failedSets;
        } else if (type == kMxfKeyPrimerPack) {
            out.primer = CUSharedPtr<PrimerPack>(new PrimerPack(packet));
            ASSERT_TRUE(reader.ParsePacketValue(CUSharedPtr<KLVPacket>(out.primer)));
        }
        ASSERT_TRUE(reader.SetOffset(static_cast<int64_t>(packet.NextOffset()), 0));
    }
    EXPECT_EQ(reader.offset(), end);

    // Essence of every body partition, from its content offset to the next
    // partition.
    for (size_t i = 0; i < out.partitions.size(); ++i) {
        const CUSharedPtr<PartitionPack>& pack = out.partitions[i];
        if (pack->PacketType() != kMxfKeyBodyPartition) continue;
        const uint64_t stop =
            i + 1 < out.partitions.size() ? out.partitions[i + 1]->ThisPartition() : reader.StreamLength();
        const uint64_t content = pack->ContentOffset();
        ASSERT_NE(content, PartitionPack::kNoOffset);
        ASSERT_TRUE(reader.SetOffset(static_cast<int64_t>(content), 0));
        while (reader.offset() < stop) {
            ASSERT_TRUE(reader.ParseKeyAndLength(&packet)) << "at " << reader.offset();
            if (packet.PacketType() == kMxfKeyPictureElement)
                out.pictures.push_back({packet.Offset(), packet.Length()});
            if (packet.PacketType() == kMxfKeySoundElement)
                out.sounds.push_back({packet.Offset(), packet.Length()});
            ASSERT_TRUE(reader.SetOffset(static_cast<int64_t>(packet.NextOffset()), 0));
        }
    }
}

CUSharedPtr<STMetadataSets> FirstOfKind(const WalkedFile& f, uint32_t kind) {
    for (const auto& set : f.sets)
        if (set->Kind() == kind) return set;
    return nullptr;
}

uint32_t UInt32Of(const CUSharedPtr<STMetadataSets>& set, uint32_t tag) {
    CUSharedPtr<MDValue> v = CUDynamicCast<MDValue>(set->ValueForTag(tag));
    return v ? static_cast<unsigned int>(*v) : 0xFFFFFFFF;
}

// ffprobe's packet list: stream index -> (pos, size) in file order.
std::map<int, std::vector<Element>> ProbePackets(const std::string& path) {
    std::map<int, std::vector<Element>> packets;
    const qztest::CommandResult probe =
        qztest::RunCommand("ffprobe -v error -show_entries packet=stream_index,pos,size -of csv=p=0 " +
                           qztest::ShellQuote(path));
    EXPECT_EQ(probe.exitCode, 0) << path;
    std::istringstream lines(probe.output);
    std::string line;
    while (std::getline(lines, line)) {
        int stream = 0;
        unsigned long long size = 0, pos = 0;
        if (std::sscanf(line.c_str(), "%d,%llu,%llu", &stream, &size, &pos) == 3)
            packets[stream].push_back({pos, size});
    }
    return packets;
}

}  // namespace

class PartitionWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        QZ_REQUIRE_TOOL("ffmpeg");
        QZ_REQUIRE_TOOL("ffprobe");
    }
    std::string Ffmpeg(const std::string& name, const std::string& args) {
        const std::string path = dir_ + "/" + name;
        const qztest::CommandResult run = qztest::RunCommand(
            "ffmpeg -nostdin -loglevel error -y " + args + " -f mxf " + qztest::ShellQuote(path),
            qztest::Capture::StdoutAndStderr);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return path;
    }
    qztest::ScratchFolder scratch_{"partitionwalk"};
    const std::string dir_ = scratch_.Path();
};

TEST_F(PartitionWalkTest, FfmpegMpeg2WithPcm) {
    const std::string path =
        Ffmpeg("hd.mxf",
               "-f lavfi -i testsrc=size=1920x1080:rate=30000/1001 "
               "-f lavfi -i sine=sample_rate=48000 -t 0.5 -c:v mpeg2video -pix_fmt yuv422p "
               "-c:a pcm_s16le");
    WalkedFile f;
    Walk(path, f);
    if (HasFatalFailure()) return;

    // Partitions: header at 0, the essence partition (BodySID 1 for this
    // writer), a footer holding the index.
    EXPECT_EQ(f.partitions.front()->ThisPartition(), 0u);
    EXPECT_EQ(f.partitions.back()->PacketType(), kMxfKeyFooterPartition);
    ASSERT_TRUE(f.partitions.front()->OperationalPattern());
    EXPECT_EQ(*f.partitions.front()->OperationalPattern(), FBC_UL_OperationalPattern_1a);
    const CUSharedPtr<PartitionPack>& footer = f.partitions.back();
    EXPECT_NE(footer->IndexOffset(), PartitionPack::kNoOffset);
    EXPECT_EQ(footer->IndexOffset(), footer->ThisPartition() + footer->KAGSize());

    // Every header set imports; the primer maps the MPEG descriptor items.
    EXPECT_EQ(f.failedSets, 0u);
    ASSERT_TRUE(f.primer);
    EXPECT_GT(f.primer->Count(), 50u);
    CUSharedPtr<STMetadataSets> preface = FirstOfKind(f, kMxfSetPreface);
    ASSERT_TRUE(preface);
    CUSharedPtr<MxfUUID> op = CUDynamicCast<MxfUUID>(preface->ValueForTag(kLocalTag_OperationalPattern));
    ASSERT_TRUE(op);
    EXPECT_EQ(*op, FBC_UL_OperationalPattern_1a);
    CUSharedPtr<CUMutableArray> containers =
        CUDynamicCast<CUMutableArray>(preface->ValueForTag(kLocalTag_EssenceContainers));
    ASSERT_TRUE(containers);
    EXPECT_EQ(containers->Count(), f.partitions.front()->EssenceCount());
    ASSERT_TRUE(FirstOfKind(f, kMxfSetMaterialPackage));
    ASSERT_TRUE(FirstOfKind(f, kMxfSetSourcePackage));

    // Picture and sound descriptors agree with ffprobe.
    CUSharedPtr<STMetadataSets> mpeg = FirstOfKind(f, 0x08010151);
    ASSERT_TRUE(mpeg);
    EXPECT_EQ(UInt32Of(mpeg, kLocalTag_StoredWidth), 1920u);
    EXPECT_EQ(UInt32Of(mpeg, kLocalTag_DisplayWidth), 1920u);
    EXPECT_EQ(UInt32Of(mpeg, kLocalTag_DisplayHeight), 1080u);
    CUSharedPtr<MDValue> rate = CUDynamicCast<MDValue>(mpeg->ValueForTag(kLocalTag_SampleRate));
    ASSERT_TRUE(rate);
    EXPECT_EQ(static_cast<_Rational>(*rate).numerator, 30000);
    EXPECT_EQ(static_cast<_Rational>(*rate).denominator, 1001);
    CUSharedPtr<MDValue> profile =
        CUDynamicCast<MDValue>(mpeg->ValueForUUID(FBC_UL_MER_ProfileAndLevel, f.primer));
    ASSERT_TRUE(profile);
    EXPECT_EQ(static_cast<unsigned char>(*profile), 0x82);  // 4:2:2 profile at high level
    CUSharedPtr<STMetadataSets> sound = FirstOfKind(f, 0x08010147);
    if (!sound) sound = FirstOfKind(f, 0x08010148);
    ASSERT_TRUE(sound);
    CUSharedPtr<MDValue> sampling = CUDynamicCast<MDValue>(sound->ValueForTag(kLocalTag_AudioSamplingRate));
    ASSERT_TRUE(sampling);
    EXPECT_EQ(static_cast<_Rational>(*sampling).numerator, 48000);
    EXPECT_EQ(UInt32Of(sound, kLocalTag_QuantizationBits), 16u);
    EXPECT_EQ(UInt32Of(sound, kLocalTag_ChannelCount), 1u);

    // The essence container data names the body's BodySID.
    CUSharedPtr<STMetadataSets> ecd = FirstOfKind(f, 0x08010123);
    ASSERT_TRUE(ecd);
    EXPECT_EQ(UInt32Of(ecd, kLocalTag_BodySID), f.partitions[1]->BodySID());

    // Every essence KLV found from the content offsets is a packet ffprobe
    // lists, at the same position with the same size.
    std::map<int, std::vector<Element>> packets = ProbePackets(path);
    ASSERT_EQ(packets[0].size(), f.pictures.size());
    ASSERT_EQ(packets[1].size(), f.sounds.size());
    EXPECT_EQ(f.pictures.size(), 15u);
    for (size_t i = 0; i < f.pictures.size(); ++i) {
        EXPECT_EQ(f.pictures[i].offset, packets[0][i].offset) << i;
        EXPECT_EQ(f.pictures[i].length, packets[0][i].length) << i;
    }
    for (size_t i = 0; i < f.sounds.size(); ++i) {
        EXPECT_EQ(f.sounds[i].offset, packets[1][i].offset) << i;
        EXPECT_EQ(f.sounds[i].length, packets[1][i].length) << i;
    }
}

TEST_F(PartitionWalkTest, Ffmpeg25iWithFourMonoTracks) {
    const std::string path =
        Ffmpeg("sd.mxf",
               "-f lavfi -i testsrc=size=1920x1080:rate=25 "
               "-f lavfi -i sine=sample_rate=48000 -t 0.4 "
               "-filter_complex \"[1:a]asplit=4[a][b][c][d]\" -map 0:v -map [a] -map [b] "
               "-map [c] -map [d] -c:v mpeg2video -flags +ilme+ildct -pix_fmt yuv422p "
               "-c:a pcm_s16le -timecode 10:00:00:00");
    WalkedFile f;
    Walk(path, f);
    if (HasFatalFailure()) return;
    EXPECT_EQ(f.failedSets, 0u);
    std::map<int, std::vector<Element>> packets = ProbePackets(path);
    ASSERT_EQ(packets[0].size(), f.pictures.size());
    size_t soundPackets = 0;
    for (int s = 1; s <= 4; ++s) soundPackets += packets[s].size();
    EXPECT_EQ(soundPackets, f.sounds.size());
    for (size_t i = 0; i < f.pictures.size(); ++i) EXPECT_EQ(f.pictures[i].offset, packets[0][i].offset) << i;
    // A timecode component holds the start timecode in frames at base 25.
    CUSharedPtr<STMetadataSets> timecode = FirstOfKind(f, 0x08010114);
    ASSERT_TRUE(timecode);
    CUSharedPtr<MDValue> start = CUDynamicCast<MDValue>(timecode->ValueForTag(kLocalTag_StartTimecode));
    CUSharedPtr<MDValue> base = CUDynamicCast<MDValue>(timecode->ValueForTag(kLocalTag_RoundedTimecodeBase));
    ASSERT_TRUE(start);
    ASSERT_TRUE(base);
    EXPECT_EQ(static_cast<unsigned short>(*base), 25);
    EXPECT_EQ(static_cast<long long>(*start), 10LL * 3600 * 25);
}

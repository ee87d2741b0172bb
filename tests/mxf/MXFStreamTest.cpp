// MXFStream over generated files: parse, essence ranges and bytes, index
// values, partition discovery with and without a random index pack, the
// bounded back-walk and index search, and files written by ffmpeg.
#include "MXFStream.h"

#include "BodyPartitionArray.h"
#include "CUFailure.h"
#include "CUStringMac.h"
#include "HeaderMetadata.h"
#include "MXFUtilities.h"
#include "MxfTestFileBuilder.h"
#include "MxfTestSupport.h"
#include "STTrack.h"
#include "StreamFileSequenceInfo.h"
#include "UMID.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

class MXFStreamTest : public ::testing::Test {
protected:
    std::string Write(const mxftest::File& f, const std::string& name = "a.mxf") {
        const std::string path = dir_ + "/" + name;
        EXPECT_TRUE(f.Write(path));
        return path;
    }
    static CUSharedPtr<MXFStream> Open(const std::string& path) {
        return CUSharedPtr<MXFStream>(new MXFStream(CUStringMac::Create(path.c_str())));
    }
    qztest::ScratchFolder scratch_{"mxfstream"};
    const std::string dir_ = scratch_.Path();
};

// Every essence range and byte, every index value equals what was written.
void ExpectMatchesWriter(MXFStream& mxf, const mxftest::File& f) {
    ASSERT_EQ(mxf.Duration(), int64_t(f.units.size()));
    std::vector<unsigned char> buf(64 * 1024);
    for (size_t e = 0; e < f.units.size(); ++e) {
        const mxftest::Unit& u = f.units[e];
        SCOPED_TRACE(e);
        MXFEssenceRange pic = mxf.RangeEssenceData(int64_t(e), 0);
        EXPECT_EQ(pic.first, u.pictureValueOffset);
        EXPECT_EQ(pic.second, u.pictureLength);
        MXFEssenceRange snd = mxf.RangeEssenceData(int64_t(e), 1);
        EXPECT_EQ(snd.first, u.soundValueOffset);
        EXPECT_EQ(snd.second, u.soundLength);
        const uint32_t n = mxf.ReadEssenceData(int64_t(e), 0, buf.data(), uint32_t(buf.size()));
        ASSERT_EQ(n, u.pictureLength);
        EXPECT_EQ(0, std::memcmp(buf.data(), f.bytes.data() + u.pictureValueOffset, n));
        int8_t t = 0, k = 0;
        uint8_t flags = 0;
        EXPECT_TRUE(mxf.GetTemporalOffsetAtIndex(int64_t(e), t));
        EXPECT_EQ(t, u.temporal);
        EXPECT_TRUE(mxf.GetKeyOffsetAtIndex(int64_t(e), k));
        EXPECT_EQ(k, u.keyOffset);
        EXPECT_TRUE(mxf.GetFlagsAtIndex(int64_t(e), flags));
        EXPECT_EQ(flags, u.flags);
    }
}

TEST_F(MXFStreamTest, GeneratedFileReadsAsWritten) {
    mxftest::Options o;
    o.framesPerPartition = {5, 7, 3};
    mxftest::File f = mxftest::Build(o);
    auto mxf = Open(Write(f));
    ASSERT_EQ(mxf->Parse(), 0u);
    EXPECT_EQ(mxf->GetBodyPartitions()->Count(), 3u);
    ExpectMatchesWriter(*mxf, f);
    // The edit unit at the duration is refused everywhere.
    int8_t t;
    EXPECT_FALSE(mxf->GetTemporalOffsetAtIndex(15, t));
    EXPECT_FALSE(mxf->GetTemporalOffsetAtIndex(-1, t));
    EXPECT_EQ(mxf->RangeEssenceData(15, 0).first, MXFStream::kNoEssenceOffset);
    uint64_t at;
    EXPECT_EQ(mxf->GetEssenceOffset(-1, 0, at), 0x131001u);
    // A buffer one byte too small reads nothing.
    std::vector<unsigned char> buf(f.units[0].pictureLength);
    EXPECT_EQ(mxf->ReadEssenceData(0, 0, buf.data(), uint32_t(buf.size() - 1)), 0u);
    EXPECT_EQ(mxf->ReadEssenceData(0, 0, buf.data(), uint32_t(buf.size())), buf.size());
    // Element 2 is beyond the delta entries.
    EXPECT_NE(mxf->GetEssenceOffset(0, 2, at), 0u);
}

TEST_F(MXFStreamTest, WithoutRandomIndexPackWalksBackFromFooter) {
    mxftest::Options o;
    o.rip = false;
    o.framesPerPartition = {4, 4, 4, 4};
    mxftest::File f = mxftest::Build(o);
    auto mxf = Open(Write(f));
    ASSERT_EQ(mxf->Parse(), 0u);
    ASSERT_EQ(mxf->GetBodyPartitions()->Count(), 4u);
    for (uint32_t i = 0; i < 4; ++i) {
        uint64_t at = 0;
        ASSERT_TRUE(mxf->GetBodyPartitions()->FileOffsetAtIndex(i, at));
        EXPECT_EQ(at, f.partitions[i + 1]);  // file order
    }
    ExpectMatchesWriter(*mxf, f);
}

TEST_F(MXFStreamTest, PartitionLinkThatDoesNotLeadBackwardsEndsTheWalk) {
    mxftest::Options o;
    o.rip = false;
    o.framesPerPartition = {3, 3, 3};
    // A body partition naming itself as previous, and one naming a later one.
    for (uint64_t bad : {uint64_t(0), uint64_t(1)}) {
        mxftest::File f = mxftest::Build(o);
        if (bad == 0)
            f.PatchPackU64(2, 16, f.partitions[2]);
        else
            f.PatchPackU64(1, 16, f.partitions[3]);
        auto mxf = Open(Write(f));
        EXPECT_EQ(mxf->ReadHeaderPartitionPack(), 0u);
        mxf->GetBodyPartitions()->Clear();
        EXPECT_EQ(mxf->ConstructBodyPartitionArrayFromStream(2), 0x131001u);
        EXPECT_LE(mxf->GetBodyPartitions()->Count(), 3u);
        mxf->GetBodyPartitions()->Clear();
        // Parse reports the broken chain instead of a partial table, naming
        // the pack whose link fails.
        EXPECT_EQ(mxf->Parse(), 0x131001u);
        const CUFailure failure = mxf->LastFailure();
        EXPECT_EQ(failure.Offset(), static_cast<int64_t>(f.partitions[bad == 0 ? 2 : 1]));
        EXPECT_NE(failure.What().find("partition chain: partition pack at byte"), std::string::npos)
            << failure.What();
    }
}

// Broken files without a random index pack: Parse fails with the format
// code and LastFailure names what failed and the byte it concerns.
TEST_F(MXFStreamTest, BrokenFilesTellWhatFailedAndWhere) {
    mxftest::Options o;
    o.rip = false;
    o.framesPerPartition = {3, 3};
    const mxftest::File good = mxftest::Build(o);
    struct Case {
        const char* name;
        std::function<void(mxftest::File&)> breakIt;
        std::string reason;
        int64_t offset;
    } const cases[] = {
        {"footer pointer beyond the file", [](mxftest::File& f) { f.PatchPackU64(0, 24, 1u << 30); },
         "partition chain: footer partition pack at byte 1073741824 lies beyond the end of the file",
         int64_t{1} << 30},
        {"footer pointer at the primer",
         [&](mxftest::File& f) { f.PatchPackU64(0, 24, good.headerMetadataStart); },
         "footer partition pack at byte " + std::to_string(good.headerMetadataStart) +
             ": the key there is of another kind",
         static_cast<int64_t>(good.headerMetadataStart)},
        {"previous link forwards", [&](mxftest::File& f) { f.PatchPackU64(1, 16, good.partitions[2]); },
         "partition chain: partition pack at byte " + std::to_string(good.partitions[1]),
         static_cast<int64_t>(good.partitions[1])},
        {"cut inside the header metadata", [](mxftest::File& f) { f.bytes.resize(200); },
         "runs past the end of the file (200 bytes)", 0},
        {"empty file", [](mxftest::File& f) { f.bytes.clear(); },
         "no header partition pack: no KLV key and length at byte 0", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mxftest::File f = good;
        c.breakIt(f);
        auto mxf = Open(Write(f));
        ASSERT_TRUE(mxf);
        EXPECT_EQ(mxf->Parse(), 0x131001u);
        const CUFailure failure = mxf->LastFailure();
        EXPECT_EQ(failure.Code(), 0x131001u);
        EXPECT_NE(failure.What().find(c.reason), std::string::npos) << failure.What();
        EXPECT_EQ(failure.Offset(), c.offset) << failure.What();
        EXPECT_NE(failure.File().find("a.mxf"), std::string::npos);
    }
}

TEST_F(MXFStreamTest, FooterZeroWithoutRandomIndexGivesEmptyTable) {
    mxftest::Options o;
    o.rip = false;
    mxftest::File f = mxftest::Build(o);
    f.PatchPackU64(0, 24, 0);
    auto mxf = Open(Write(f));
    EXPECT_EQ(mxf->Parse(), 0u);
    EXPECT_EQ(mxf->GetBodyPartitions()->Count(), 0u);
    EXPECT_EQ(mxf->RangeEssenceData(0, 0).second, 0u);
}

TEST_F(MXFStreamTest, RandomIndexPointingNowhereStillOpensByScanning) {
    mxftest::File f = mxftest::Build();
    // Entry 0 of the random index pack: BodySID at +20, offset at +24.
    f.bytes.set(f.ripOffset + 24, 8, 12345);
    auto mxf = Open(Write(f));
    EXPECT_EQ(mxf->Parse(), 0u);
    ExpectMatchesWriter(*mxf, f);
    // An overall length pointing before the file start: no pack, footer walk.
    mxftest::File g = mxftest::Build();
    g.bytes.set(g.bytes.size() - 4, 4, 0x7FFFFFFF);
    auto other = Open(Write(g, "b.mxf"));
    EXPECT_EQ(other->Parse(), 0u);
    EXPECT_FALSE(other->GetRandomIndexPack());
    ExpectMatchesWriter(*other, g);
}

TEST_F(MXFStreamTest, IndexSearchGivesUpAfterHundredSteps) {
    // One long partition first, then 299 of one edit unit each: the estimate
    // for edit unit 500 lands 100 records away from the one holding it.
    mxftest::Options o;
    o.framesPerPartition.assign(300, 1);
    o.framesPerPartition[0] = 1000;
    o.sequenceInfo = false;
    mxftest::File f = mxftest::Build(o);
    auto mxf = Open(Write(f));
    ASSERT_EQ(mxf->Parse(), 0u);
    ASSERT_EQ(mxf->Duration(), 1299);
    EXPECT_EQ(mxf->ReadIndexTable(500), 0x131001u);
    uint64_t at = 0;
    EXPECT_EQ(mxf->GetEssenceOffset(500, 0, at), 0x131001u);
    // Within reach, the walk finds it.
    EXPECT_EQ(mxf->ReadIndexTable(1290), 0u);  // 33 records up
    EXPECT_EQ(mxf->RangeEssenceData(1290, 0).first, f.units[1290].pictureValueOffset);
    EXPECT_EQ(mxf->RangeEssenceData(1250, 1).first, f.units[1250].soundValueOffset);
}

TEST_F(MXFStreamTest, HeaderKLVPassingItsRegionFails) {
    mxftest::File f = mxftest::Build();
    // Shrink HeaderByteCount so that the last set runs past the region.
    f.PatchPackU64(0, 32, f.headerMetadataEnd - f.headerMetadataStart - 600);
    auto mxf = Open(Write(f));
    EXPECT_EQ(mxf->ParseHeaderPartition(), 0x131001u);  // no header pack yet
    EXPECT_EQ(mxf->Parse(), 0x131001u);
}

TEST_F(MXFStreamTest, HugeHeaderSetLengthAllocatesNothing) {
    mxftest::File f = mxftest::Build();
    // The preface (after the 20 + 26 byte primer) claims 0x7FFFFF bytes.
    const size_t preface = f.headerMetadataStart + 20 + 8 + 18;
    ASSERT_EQ(f.bytes[preface + 14], 0x2F);
    f.bytes.set(preface + 16, 4, 0x837FFFFF);
    auto mxf = Open(Write(f));
    EXPECT_EQ(mxf->Parse(), 0x131001u);
}

TEST_F(MXFStreamTest, IndexKLVPassingItsRegionIsRefused) {
    mxftest::File f = mxftest::Build();
    // The footer's index region is cut short of its segment.
    f.PatchPackU64(f.partitions.size() - 1, 40, 64);
    auto mxf = Open(Write(f));
    ASSERT_EQ(mxf->Parse(), 0u);
    EXPECT_FALSE(mxf->GetIndexFromPartition(f.footer));
    uint64_t at;
    EXPECT_EQ(mxf->GetEssenceOffset(0, 0, at), 0u);  // first partition: index in the second
    EXPECT_EQ(mxf->GetEssenceOffset(int64_t(f.units.size() - 1), 0, at), 0x131001u);
}

TEST_F(MXFStreamTest, EssenceUnderAnotherBodySIDIsFoundThroughEssenceContainerData) {
    for (bool rip : {true, false}) {
        mxftest::Options o;
        o.bodySID = 1;
        o.rip = rip;
        mxftest::File f = mxftest::Build(o);
        auto mxf = Open(Write(f));
        ASSERT_EQ(mxf->Parse(), 0u);
        EXPECT_EQ(mxf->EssenceBodySID(), 1u);
        EXPECT_EQ(mxf->GetBodyPartitions()->Count(), 2u);
        ExpectMatchesWriter(*mxf, f);
    }
}

TEST_F(MXFStreamTest, TruncatedFilesNeverCrashOrHang) {
    mxftest::Options o;
    o.framesPerPartition = {4, 4};
    mxftest::File f = mxftest::Build(o);
    std::vector<size_t> cuts = {0,
                                1,
                                16,
                                19,
                                100,
                                size_t(f.headerMetadataStart),
                                size_t(f.headerMetadataStart + 30),
                                size_t(f.headerMetadataEnd - 1),
                                size_t(f.partitions[1] + 10),
                                size_t(f.units[2].pictureValueOffset + 5),
                                size_t(f.footer + 3),
                                size_t(f.bytes.size() - 1)};
    for (size_t cut : cuts) {
        SCOPED_TRACE(cut);
        mxftest::File t = f;
        t.bytes.resize(cut);
        auto mxf = Open(Write(t, "cut.mxf"));
        if (mxf->Parse() != 0) continue;
        std::vector<unsigned char> buf(64 * 1024);
        for (int64_t e = 0; e < mxf->Duration(); ++e) {
            MXFEssenceRange r = mxf->RangeEssenceData(e, 0);
            if (r.second != 0) {
                EXPECT_LE(r.first + r.second, cut);
            }
            const uint32_t n = mxf->ReadEssenceData(e, 0, buf.data(), uint32_t(buf.size()));
            if (n != 0) {
                EXPECT_EQ(0,
                          std::memcmp(buf.data(), f.bytes.data() + f.units[size_t(e)].pictureValueOffset, n));
            }
        }
    }
}

TEST_F(MXFStreamTest, SequenceInformationAndPackageIdentities) {
    mxftest::File f = mxftest::Build();
    const std::string path = Write(f);
    {
        auto mxf = Open(path);
        CUSharedPtr<StreamFileSequenceInfo> info =
            mxf->GetStreamFileSequenceInfoAtOffset(f.sequenceInfoOffset);
        ASSERT_TRUE(info);
        ASSERT_TRUE(info->PackageUID());
        EXPECT_EQ(0, std::memcmp(info->PackageUID()->Bytes(), f.packageUMID.data(), 32));
        ASSERT_TRUE(info->StartTimecode());
        EXPECT_EQ(info->StartTimecode()->SInt64Value(), 90000);
        EXPECT_FALSE(mxf->GetStreamFileSequenceInfoAtOffset(f.sequenceInfoOffset + 1));
        // File kind 0 has no fast path: the file is parsed.
        CUSharedPtr<UMID> relay = FBC_Utl_GetRelayPackageUID(mxf, 0);
        ASSERT_TRUE(relay);
        EXPECT_EQ(0, std::memcmp(relay->Bytes(), f.packageUMID.data(), 32));
        CUSharedPtr<UMID> source = FBC_Utl_SourcePackageUID(mxf);
        ASSERT_TRUE(source);
        EXPECT_EQ(0, std::memcmp(source->Bytes(), f.sourceUMID.data(), 32));
        CUSharedPtr<STTrack> tc = FBC_Utl_TimecodeTrackFromMXF(mxf);
        ASSERT_TRUE(tc);
        EXPECT_EQ(tc->TrackID(), 1u);
    }
    // Kind 2 reads at its fixed offset; here nothing is there, so it parses.
    auto mxf = Open(path);
    EXPECT_TRUE(FBC_Utl_GetRelayPackageUID(mxf, 2));
}

TEST_F(MXFStreamTest, MissingFileThrowsAtConstruction) {
    const std::string missing = dir_ + "/missing.mxf";
    try {
        MXFStream stream(CUStringMac::Create(missing.c_str()));
        FAIL() << "no throw";
    } catch (const CUError& error) {
        EXPECT_STREQ(error.what(), "MXFStream init error");  // the fixed text stays
        EXPECT_EQ(error.Failure().File(), missing);
        EXPECT_EQ(error.Failure().What(), "file cannot be opened");
    }
    EXPECT_THROW(MXFStream(CUSharedPtr<CUStringMac>()), CUError);
}

}  // namespace

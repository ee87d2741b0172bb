// The structural model over written files: packages, tracks, sequences,
// components and descriptors (through a multiple descriptor), primer-mapped
// items, timecode, and the link rules (first UID wins, missing links).
#include "HeaderMetadata.h"

#include "CUFailure.h"
#include "MDValue.h"
#include "MXFStream.h"
#include "MxfFileWriter.h"
#include "MxfKlvWalk.h"
#include "MxfLabels.h"
#include "MxfTestSupport.h"
#include "STMetadataSets.h"
#include "STTrack.h"

#include <gtest/gtest.h>

#include <functional>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

template <class T>
T Cast(const CUSharedPtr<CUObject>& o) {
    CUSharedPtr<MDValue> v = CUDynamicCast<MDValue>(o);
    if (!v) throw "absent";
    return static_cast<T>(*v);
}

namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

// A written 1440x1080 29.97p file with two sound channels, its header
// metadata changed by `patch` (the file's bytes and its sets) before reading.
using Patch = std::function<void(std::vector<uint8_t>&, const std::vector<mxftest::Klv>&)>;

class HeaderMetadataTest : public ::testing::Test {
protected:
    CUSharedPtr<MXFStream> OpenWritten(const Patch& patch = {}, uint32_t expected = 0) {
        cw::MxfFileDescription d;
        d.video.width = 1440;
        d.video.interlaced = false;
        d.video.bitRate = 8000000;
        d.frameCount = 12;
        d.audioChannels = 2;
        d.startTimecode = 90000;
        const std::string path = dir_ + "/h.mxf";
        cw::WriteMxfFile(d, path);
        if (patch) {
            mxftest::ParsedFile pf = mxftest::Parse(path);
            patch(pf.bytes, pf.klvs);
            mxftest::WriteFile(path, pf.bytes);
        }
        CUSharedPtr<MXFStream> mxf = mxftest::OpenMxf(path);
        EXPECT_EQ(mxf->Parse(), expected);
        return mxf;
    }
    qztest::ScratchFolder scratch_{"header"};
    const std::string dir_ = scratch_.Path();
};

// Renames item `tag` of the first set of `kind` to a tag no set knows.
Patch DropItem(uint8_t kind, uint16_t tag) {
    return [=](std::vector<uint8_t>& f, const std::vector<mxftest::Klv>& klvs) {
        for (const mxftest::Klv& k : klvs)
            if (mxftest::IsSet(k.key, kind)) {
                const uint64_t at = mxftest::Items(f, k).at(tag).first - 4;
                f[at] = 0x7F, f[at + 1] = 0x7F;
                return;
            }
        ADD_FAILURE() << "no set of kind " << int(kind);
    };
}

TEST_F(HeaderMetadataTest, TracksCarryTheirDescriptorValues) {
    auto mxf = OpenWritten();
    CUSharedPtr<HeaderMetadata> h = mxf->GetHeaderMetadata();
    EXPECT_EQ(h->IdentificationCount(), 1u);
    EXPECT_EQ(h->MaterialPackageCount(), 1u);
    EXPECT_EQ(h->EssenceContainerDataCount(), 1u);
    ASSERT_EQ(h->TrackCount(0), 4u);  // timecode, picture, two sound tracks
    EXPECT_EQ(h->TrackCount(1), 0u);
    EXPECT_FALSE(h->TrackForIndex(4, 0));

    CUSharedPtr<STTrack> pic = h->TrackForIndex(1, 0);
    ASSERT_TRUE(pic);
    EXPECT_EQ(pic->EditRate().numerator, 30000);
    EXPECT_EQ(pic->EditRate().denominator, 1001);
    EXPECT_EQ(pic->Duration(), 12);
    ASSERT_TRUE(pic->DataDefinition());
    EXPECT_TRUE(*pic->DataDefinition() == FBC_UL_PictureEssenceTrack);
    ASSERT_EQ(pic->ComponentCount(), 1u);
    EXPECT_EQ(Cast<unsigned int>(pic->ValueForTag(kLocalTag_StoredWidth, 0)), 1440u);
    EXPECT_EQ(Cast<unsigned char>(pic->ValueForTag(kLocalTag_FrameLayout, 0)), 0);
    // The component's own duration.
    EXPECT_EQ(Cast<long long>(pic->ValueForTag(kLocalTag_Duration, 0)), 12);
    // A primer-mapped item of the MPEG descriptor.
    EXPECT_EQ(Cast<unsigned int>(pic->ValueForUUID(FBC_UL_MER_BitRate, 0)), 8000000u);
    EXPECT_FALSE(pic->ValueForTag(kLocalTag_StoredWidth, 1));

    CUSharedPtr<STTrack> snd = h->TrackForIndex(2, 0);
    ASSERT_TRUE(snd);
    EXPECT_EQ(Cast<unsigned int>(snd->ValueForTag(kLocalTag_QuantizationBits, 0)), 16u);
    EXPECT_EQ(Cast<unsigned int>(snd->ValueForTag(kLocalTag_ChannelCount, 0)), 1u);
    EXPECT_EQ(Cast<_Rational>(snd->ValueForTag(kLocalTag_AudioSamplingRate, 0)).numerator, 48000);
    // Exact types only: quantization bits are not an unsigned char.
    EXPECT_THROW(Cast<unsigned char>(snd->ValueForTag(kLocalTag_QuantizationBits, 0)), CUError);

    CUSharedPtr<STTrack> tc = h->TrackForIndex(0, 0);
    ASSERT_TRUE(tc);
    EXPECT_EQ(Cast<long long>(tc->ValueForTag(kLocalTag_StartTimecode, 0)), 90000);
    EXPECT_EQ(Cast<unsigned short>(tc->ValueForTag(kLocalTag_RoundedTimecodeBase, 0)), 30);
    EXPECT_FALSE(tc->DescriptorAtIndex(0));
}

TEST_F(HeaderMetadataTest, DescriptorWithoutLinkedTrackIDIsNotMatched) {
    auto mxf = OpenWritten(DropItem(0x51, 0x3006));
    CUSharedPtr<STTrack> pic = mxf->GetHeaderMetadata()->TrackForIndex(1, 0);
    ASSERT_TRUE(pic);
    EXPECT_FALSE(pic->DescriptorAtIndex(0));
    EXPECT_FALSE(pic->ValueForTag(kLocalTag_StoredWidth, 0));
    // The sound track still finds its descriptor in the multiple descriptor.
    CUSharedPtr<STTrack> snd = mxf->GetHeaderMetadata()->TrackForIndex(2, 0);
    ASSERT_TRUE(snd);
    EXPECT_TRUE(snd->DescriptorAtIndex(0));
}

TEST_F(HeaderMetadataTest, PrefaceWithoutIdentificationsFailsToOpen) {
    OpenWritten(DropItem(0x2F, 0x3B06), 0x131001);
}

// A set parsed from bytes (preface kind, instance UID n, one extra item).
CUSharedPtr<STMetadataSets> MakeSet(uint8_t kind, uint8_t uid, uint16_t version) {
    return mxftest::MakeSet(mxftest::LocalSet().Item(0x3C0A, mxftest::Uid(uid)).U16(0x3B05, version).value,
                            mxftest::SetKey(kind));
}

TEST(HeaderMetadataSets, FirstSetWithAnInstanceUIDStaysAndLinksResolve) {
    HeaderMetadata h;
    h.AddMetadata(MakeSet(0x30, 7, 1));
    h.AddMetadata(MakeSet(0x30, 7, 2));  // same UID: ignored
    EXPECT_EQ(h.SetCount(), 1u);
    CUSharedPtr<STMetadataSets> kept = h.MetadataForKey(MxfUUID(mxftest::Uid(7).data()));
    ASSERT_TRUE(kept);
    EXPECT_EQ(Cast<unsigned short>(kept->ValueForTag(0x3B05)), 1);
    // Without a preface, the graph is empty but fine.
    EXPECT_EQ(h.Analyze(), 0u);
    EXPECT_EQ(h.MaterialPackageCount(), 0u);
    // A preface without content storage fails the resolution.
    CUSharedPtr<STMetadataSets> preface =
        mxftest::MakeSet(mxftest::LocalSet()
                             .Item(0x3C0A, mxftest::Uid(1))
                             .Array(0x3B06, {mxftest::Uid(7), mxftest::Uid(8)})
                             .value,
                         mxftest::SetKey(0x2F));
    ASSERT_TRUE(preface);
    h.AddMetadata(preface);
    EXPECT_EQ(h.SetIdentification(), 0u);
    EXPECT_EQ(h.IdentificationCount(), 1u);  // UID 8 names no set: skipped
    EXPECT_EQ(h.Analyze(), 0x131001u);
    // Without a primer no track is built.
    EXPECT_FALSE(h.CreateTrack(CUSharedPtr<MxfUUID>(new MxfUUID(mxftest::Uid(7).data()))));
}

}  // namespace

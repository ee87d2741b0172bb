// A track takes its values only when all of them are there with their exact
// sizes; component values shadow descriptor values.
#include "STTrack.h"

#include "MDValue.h"
#include "MxfTestSupport.h"

#include <gtest/gtest.h>

using namespace ComVantoVantoQZ64RADPlug;
using mxftest::Bytes;
using mxftest::LocalSet;

namespace {

constexpr uint32_t kFormat = 0x131001, kNoSet = 0x130001;

CUSharedPtr<STMetadataSets> Set(const LocalSet& items, uint8_t kind = 0x3B) {
    return mxftest::MakeSet(items.value, mxftest::SetKey(kind));
}

unsigned int UInt(const CUSharedPtr<CUObject>& value) {
    CUSharedPtr<MDValue> v = CUDynamicCast<MDValue>(value);
    return v ? static_cast<unsigned int>(*v) : 0xFFFFFFFFu;
}

}  // namespace

TEST(STTrackTest, TrackAndSequenceNeedEveryValueAtItsSize) {
    const auto track = [](int skip, int shortItem) {
        LocalSet s;
        const uint16_t tags[] = {0x4801, 0x4804, 0x4B01, 0x4B02};
        const size_t sizes[] = {4, 4, 8, 8};
        for (int i = 0; i < 4; ++i)
            if (i != skip) s.Item(tags[i], Bytes(sizes[i] - (i == shortItem ? 1 : 0), 0x01));
        return Set(s);
    };
    STTrack t;
    EXPECT_EQ(t.SetTrack(nullptr), kNoSet);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(t.SetTrack(track(i, -1)), kFormat) << "item " << i << " missing";
        EXPECT_EQ(t.SetTrack(track(-1, i)), kFormat) << "item " << i << " short";
    }
    EXPECT_EQ(t.TrackID(), 0u);
    ASSERT_EQ(t.SetTrack(track(-1, -1)), 0u);
    EXPECT_EQ(t.TrackID(), 0x01010101u);
    EXPECT_EQ(t.EditRate().denominator, 0x01010101);

    EXPECT_EQ(t.SetSequence(nullptr), kNoSet);
    EXPECT_EQ(t.SetSequence(Set(LocalSet().Item(0x0201, Bytes(16, 6)))), kFormat);
    EXPECT_EQ(t.SetSequence(Set(LocalSet().U64(0x0202, 9))), kFormat);
    EXPECT_EQ(t.SetSequence(Set(LocalSet().Item(0x0201, Bytes(15, 6)).U64(0x0202, 9))), kFormat);
    ASSERT_EQ(t.SetSequence(Set(LocalSet().Item(0x0201, Bytes(16, 6)).U64(0x0202, 9))), 0u);
    EXPECT_EQ(t.Duration(), 9);
}

TEST(STTrackTest, ComponentValuesShadowTheDescriptors) {
    STTrack t;
    t.AddComponentAndDescriptor(Set(LocalSet().U32(0x3203, 1)),
                                Set(LocalSet().U32(0x3203, 2).U32(0x3202, 3)));
    t.AddComponentAndDescriptor(Set(LocalSet().U32(0x3203, 4)), nullptr);
    ASSERT_EQ(t.ComponentCount(), 2u);
    EXPECT_EQ(UInt(t.ValueForTag(0x3203, 0)), 1u);
    EXPECT_EQ(UInt(t.ValueForTag(0x3202, 0)), 3u);
    EXPECT_EQ(UInt(t.ValueForTag(0x3203, 1)), 4u);
    EXPECT_FALSE(t.ValueForTag(0x3202, 1));
    EXPECT_FALSE(t.ValueForTag(0x3203, 2));
    EXPECT_FALSE(t.DescriptorAtIndex(1));
    t.ClearComponentAndDescriptor();
    EXPECT_EQ(t.ComponentCount(), 0u);
    EXPECT_FALSE(t.ValueForTag(0x3203, 0));
}

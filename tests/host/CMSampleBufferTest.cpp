// Sample buffers and format descriptions: entry counts checked, block
// buffer and description retained, per-sample mutable attachments, timing
// per sample, and descriptions that carry exactly the values given.
#include <gtest/gtest.h>

#include <cstring>

#include "CFBoolean.h"
#include "CFHolder.h"
#include "CFNumber.h"
#include "CMSampleBuffer.h"
#include "CVImageBuffer.h"

using namespace ComVantoVantoQZ64RADPlug;

namespace {

CMBlockBufferRef Block(size_t length) {
    CMBlockBufferRef block = nullptr;
    CMBlockBufferCreateWithMemoryBlock(nullptr, nullptr, length, nullptr, nullptr, 0, length, 0, &block);
    return block;
}

CMFormatDescriptionRef Video(CFDictionaryRef extensions) {
    CMFormatDescriptionRef description = nullptr;
    CMVideoFormatDescriptionCreate(nullptr, 0x717A7A31 /* 'qzz1' */, 1920, 1080, extensions, &description);
    return description;
}

}  // namespace

TEST(CMSampleBufferTest, EntryCountsAndSizesAreChecked) {
    auto block = CFHolder<CMBlockBufferRef>::Adopt(Block(100));
    const CMSampleTimingInfo timing[3] = {};
    const size_t sizes[3] = {40, 40, 40};
    const size_t huge = size_t(1) << 63;
    // Audio of 4-byte packets: 25 fit in 100 bytes, 26 do not.
    const AudioStreamBasicDescription asbd{48000, kAudioFormatLinearPCM, 0, 4, 1, 4};
    CMFormatDescriptionRef audio = nullptr;
    ASSERT_EQ(CMAudioFormatDescriptionCreate(nullptr, &asbd, 0, nullptr, 0, nullptr, nullptr, &audio), 0);
    auto audioHolder = CFHolder<CMFormatDescriptionRef>::Adopt(audio);
    struct Case {
        CMFormatDescriptionRef format;
        CMItemCount samples, timingEntries;
        const CMSampleTimingInfo* timing;
        CMItemCount sizeEntries;
        const size_t* sizes;
        OSStatus expected;
    } cases[] = {
        {nullptr, 3, 1, timing, 1, sizes, kCMSampleBufferError_ArrayTooSmall},  // 3 × 40 > 100
        {nullptr, 3, 3, timing, 3, sizes, kCMSampleBufferError_ArrayTooSmall},
        {nullptr, 2, 1, timing, 1, sizes, 0},
        {nullptr, 2, 2, timing, 0, sizes, 0},
        {nullptr, 3, 2, timing, 0, sizes, kCMSampleBufferError_InvalidEntryCount},
        {nullptr, -1, 0, timing, 0, sizes, kCMSampleBufferError_InvalidEntryCount},
        {nullptr, 2, 1, nullptr, 1, nullptr, kCMSampleBufferError_RequiredParameterMissing},
        {nullptr, 0, 0, timing, 0, sizes, 0},
        {audio, 25, 1, timing, 0, nullptr, 0},
        {audio, 26, 1, timing, 0, nullptr, kCMSampleBufferError_ArrayTooSmall},
        // The largest count times a size must not wrap to a small total.
        {nullptr, 2, 0, nullptr, 1, &huge, kCMSampleBufferError_ArrayTooSmall},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        CMSampleBufferRef sample = nullptr;
        EXPECT_EQ(CMSampleBufferCreate(nullptr, block.Get(), true, nullptr, nullptr, c.format, c.samples,
                                       c.timingEntries, c.timing, c.sizeEntries, c.sizes, &sample),
                  c.expected)
            << "case " << i;
        EXPECT_EQ(sample != nullptr, c.expected == 0) << "case " << i;
        CFRelease(sample);
    }
    EXPECT_EQ(CFGetRetainCount(block.Get()), 1);  // refused buffers hold nothing
}

TEST(CMSampleBufferTest, RetainsItsPartsAndGivesMutableAttachments) {
    auto block = CFHolder<CMBlockBufferRef>::Adopt(Block(3840));
    auto format = CFHolder<CMFormatDescriptionRef>::Adopt(Video(nullptr));
    const CMSampleTimingInfo timing = {CMTimeMake(1, 48000), CMTimeMake(5760, 48000),
                                       CMTimeMake(5760, 48000)};
    CMSampleBufferRef sample;
    ASSERT_EQ(CMSampleBufferCreate(nullptr, block.Get(), true, nullptr, nullptr, format.Get(), 960, 1,
                                   &timing, 0, nullptr, &sample),
              0);
    EXPECT_EQ(CFGetRetainCount(block.Get()), 2);
    EXPECT_EQ(CFGetRetainCount(format.Get()), 2);
    EXPECT_EQ(CMSampleBufferGetDataBuffer(sample), block.Get());
    EXPECT_EQ(CMTimeCompare(CMSampleBufferGetDuration(sample), CMTimeMake(960, 48000)), 0);
    CMSampleTimingInfo last;
    ASSERT_EQ(CMSampleBufferGetSampleTimingInfo(sample, 959, &last), 0);
    EXPECT_EQ(CMTimeCompare(last.presentationTimeStamp, CMTimeMake(5760 + 959, 48000)), 0);
    EXPECT_EQ(CMSampleBufferGetSampleTimingInfo(sample, 960, &last),
              kCMSampleBufferError_SampleIndexOutOfRange);

    EXPECT_EQ(CMSampleBufferGetSampleAttachmentsArray(sample, false), nullptr);
    CFArrayRef attachments = CMSampleBufferGetSampleAttachmentsArray(sample, true);
    ASSERT_EQ(CFArrayGetCount(attachments), 960);
    EXPECT_EQ(CMSampleBufferGetSampleAttachmentsArray(sample, true), attachments);
    CFMutableDictionaryRef first =
        CFDictionaryAsMutable(CFCast<CFDictionary>(CFArrayGetValueAtIndex(attachments, 0)));
    ASSERT_NE(first, nullptr);
    CFDictionarySetValue(first, kCMSampleAttachmentKey_NotSync, kCFBooleanTrue);
    EXPECT_EQ(CFDictionaryGetValue(first, kCMSampleAttachmentKey_NotSync), kCFBooleanTrue);
    EXPECT_EQ(CFStringGetStdString(kCMSampleAttachmentKey_IsDependedOnByOthers), "IsDependedOnByOthers");

    CFRelease(sample);
    EXPECT_EQ(CFGetRetainCount(block.Get()), 1);
    EXPECT_EQ(CFGetRetainCount(format.Get()), 1);
}

TEST(CMSampleBufferTest, DescriptionsCarryExactlyTheValuesGiven) {
    int32_t two = 2;
    auto count = CFHolder<CFNumberRef>::Adopt(CFNumberCreate(nullptr, kCFNumberSInt32Type, &two));
    auto extensions = CFHolder<CFMutableDictionaryRef>::Adopt(CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFDictionarySetValue(extensions.Get(), kCVImageBufferFieldCountKey, count.Get());
    auto video = CFHolder<CMFormatDescriptionRef>::Adopt(Video(extensions.Get()));
    CFDictionaryRemoveAllValues(extensions.Get());  // the description keeps its own copy
    ASSERT_TRUE(video);
    EXPECT_EQ(CMFormatDescriptionGetMediaType(video.Get()), kCMMediaType_Video);
    EXPECT_EQ(CMFormatDescriptionGetMediaSubType(video.Get()), 0x717A7A31u);
    EXPECT_EQ(CMVideoFormatDescriptionGetDimensions(video.Get()).height, 1080);
    EXPECT_EQ(CMFormatDescriptionGetExtension(video.Get(), kCVImageBufferFieldCountKey), count.Get());

    const uint32_t flags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    const AudioStreamBasicDescription asbd{48000, kAudioFormatLinearPCM, flags, 4, 1, 4, 2, 16};
    AudioChannelLayout layout = {};
    layout.mChannelLayoutTag = kAudioChannelLayoutTag_Stereo;
    CMFormatDescriptionRef audio = nullptr;
    ASSERT_EQ(
        CMAudioFormatDescriptionCreate(nullptr, &asbd, sizeof layout, &layout, 0, nullptr, nullptr, &audio),
        0);
    auto audioHolder = CFHolder<CMFormatDescriptionRef>::Adopt(audio);
    EXPECT_EQ(std::memcmp(CMAudioFormatDescriptionGetStreamBasicDescription(audio), &asbd, sizeof asbd), 0);
    size_t layoutSize;
    EXPECT_EQ(CMAudioFormatDescriptionGetChannelLayout(audio, &layoutSize)->mChannelLayoutTag, 0x650002u);
    EXPECT_EQ(layoutSize, 32u);
    EXPECT_EQ(CMAudioFormatDescriptionGetMagicCookie(audio, nullptr), nullptr);

    CMFormatDescriptionRef timecode = nullptr;
    ASSERT_EQ(
        CMTimeCodeFormatDescriptionCreate(nullptr, kCMTimeCodeFormatType_Counter32, CMTimeMake(1001, 30000),
                                          30, kCMTimeCodeFlag_DropFrame, nullptr, &timecode),
        0);
    auto timecodeHolder = CFHolder<CMFormatDescriptionRef>::Adopt(timecode);
    EXPECT_EQ(CMTimeCompare(CMTimeCodeFormatDescriptionGetFrameDuration(timecode), CMTimeMake(1001, 30000)),
              0);
    EXPECT_EQ(CMTimeCodeFormatDescriptionGetFrameQuanta(timecode), 30u);
    EXPECT_EQ(CMTimeCodeFormatDescriptionGetTimeCodeFlags(timecode), 1u);
    EXPECT_EQ(CMFormatDescriptionGetMediaSubType(timecode), 0x636E3332u);  // 'cn32'
}

TEST(CMSampleBufferTest, DescriptionsRefuseWhatTheyCannotCarry) {
    const AudioStreamBasicDescription asbd{48000, kAudioFormatLinearPCM};
    AudioChannelLayout layout = {};
    layout.mNumberChannelDescriptions = 2;  // needs 52 bytes
    CMFormatDescriptionRef out = nullptr;
    const OSStatus invalid = kCMFormatDescriptionError_InvalidParameter;
    EXPECT_EQ(
        CMAudioFormatDescriptionCreate(nullptr, &asbd, sizeof layout, &layout, 0, nullptr, nullptr, &out),
        invalid);
    EXPECT_EQ(CMAudioFormatDescriptionCreate(nullptr, nullptr, 0, nullptr, 0, nullptr, nullptr, &out),
              invalid);
    EXPECT_EQ(CMAudioFormatDescriptionCreate(nullptr, &asbd, 0, nullptr, size_t(-1), &asbd, nullptr, &out),
              invalid);
    EXPECT_EQ(CMVideoFormatDescriptionCreate(nullptr, 1, -1920, 1080, nullptr, &out), invalid);
    EXPECT_EQ(CMTimeCodeFormatDescriptionCreate(nullptr, kCMTimeCodeFormatType_Counter32,
                                                kCMTimePositiveInfinity, 25, 0, nullptr, &out),
              invalid);
    EXPECT_EQ(CMTimeCodeFormatDescriptionCreate(nullptr, 0x6C70636D, CMTimeMake(1, 25), 25, 0, nullptr, &out),
              invalid);
    EXPECT_EQ(out, nullptr);
}

// The built plug-in bundle as a host uses it, from loading to importing
// every clip of the sample card, checked against the card writer and
// ffmpeg. Only the protocols are used: the module's classes are its own.
#include "DecodedPictures.h"
#include "HostEventCycle.h"
#include "HostImage.h"
#include "HostNotificationCenter.h"
#include "MIORADClipDataSourceProtocol.h"
#include "MIORADFormatReaderProtocol.h"
#include "MIORADIngestObject.h"
#include "MIORADPlugin.h"
#include "MIORADPluginRegisterBundle.h"
#include "MIORADTrackReaderProtocol.h"
#include "MIORADVolumeDataSourceProtocol.h"
#include "PluginTestSupport.h"
#include "SampleCard.h"

#include <algorithm>
#include <ctime>
#include <sstream>

using namespace ComVantoVantoQZ64RADPlug;
using namespace plugin_test;

namespace {

std::string StringValue(const CFDictionary* dictionary, const char* key) {
    const auto* value =
        dictionary ? CFCast<CFString>(CFDictionaryGetValue(dictionary, String(key).Get())) : nullptr;
    return value ? CFStringGetStdString(value) : std::string();
}

std::string PluginID(const HostBundle& bundle) {
    const auto* plugins = CFCast<CFArray>(bundle.objectForInfoDictionaryKey("RADPlugins"));
    return StringValue(plugins ? CFCast<CFDictionary>(CFArrayGetValueAtIndex(plugins, 0)) : nullptr,
                       "PluginID");
}

// What the descriptor of each sample card clip shows, in card order.
struct ExpectedClip {
    cw::FrameRate rate;
    cw::PictureSize size;
    const char* codec;
    const char* displayFormat;
    double transportRate, shootingRate;
};
const ExpectedClip kSampleCard[] = {
    {cw::FrameRate::k59_94i, cw::PictureSize::k1920x1080, "xd5b", "50Mbps CBR 4:2:2 1920 x 1080 59.94i",
     29.97, 30},
    {cw::FrameRate::k29_97p, cw::PictureSize::k1440x1080, "xdv8", "35Mbps VBR 1440 x 1080 29.97P", 29.97, 30},
    {cw::FrameRate::k59_94p, cw::PictureSize::k1280x720, "xd59", "50Mbps CBR 4:2:2 1280 x 720 59.94P", 59.94,
     60},
    {cw::FrameRate::k59_94i, cw::PictureSize::k1920x1080, "xd5b", "50Mbps CBR 4:2:2 1920 x 1080 59.94i",
     29.97, 30},
    {cw::FrameRate::k23_98p, cw::PictureSize::k1920x1080, "qzz1", "25Mbps VBR 1920 x 1080 23.98P", 23.98, 24},
    {cw::FrameRate::k29_97p, cw::PictureSize::k1280x720, "qzz1", "25Mbps VBR 1280 x 720 29.97P", 29.97, 30},
};

double LocalSeconds(const cw::RecordDateTime& r) {
    std::tm t{};
    t.tm_year = int(r.year) - 1900, t.tm_mon = int(r.month) - 1, t.tm_mday = int(r.day);
    t.tm_hour = int(r.hour), t.tm_min = int(r.minute), t.tm_sec = int(r.second), t.tm_isdst = -1;
    return double(std::mktime(&t));
}

// One imported frame as the ingest record gave it.
struct Imported {
    int64_t pts = 0, dts = 0;  // in frame durations
    uint32_t counter = 0;
};

}  // namespace

TEST(FBCFormatBundleTest, HostLoadsTheBundleListsTheSampleCardAndImportsEveryClip) {
    QZ_REQUIRE_TOOL("ffmpeg");
    QZ_REQUIRE_TOOL("ffprobe");
    qztest::ScratchFolder folder("bundle-card");
    const cw::CardDescription card = cw::SampleCardDescription();
    cw::WriteCard(card, folder.Path());

    CUFailure why;
    std::shared_ptr<HostBundle> bundle = HostBundle::BundleWithPath(QZ_PLUGIN_BUNDLE, &why);
    ASSERT_TRUE(bundle) << why.Describe();
    std::shared_ptr<MIORADPluginRegisterBundle> factory = bundle->createFactory(&why);
    ASSERT_TRUE(factory) << why.Describe();
    const std::string id = PluginID(*bundle);
    ASSERT_FALSE(id.empty());
    for (const auto& [version, served] :
         {std::pair<const char*, bool>{"10.0.2", false}, {"10.0.3", true}, {"11.0", true}}) {
        HostBundle::SetMainBundleShortVersionString(std::string(version));
        EXPECT_EQ(bool(factory->pluginForID(id)), served) << version;
    }
    EXPECT_FALSE(factory->pluginForID(std::string("00000000-0000-0000-0000-000000000000")));
    EXPECT_FALSE(factory->pluginForID(std::nullopt));

    std::shared_ptr<MIORADPlugin> plugin = factory->pluginForID(id);
    ASSERT_TRUE(plugin);
    plugin->setNotificationCenter(std::make_shared<HostNotificationCenter>());
    EXPECT_TRUE(plugin->initialize() && plugin->activate());
    EXPECT_EQ(plugin->uuid(), id);
    EXPECT_TRUE(plugin->name() && plugin->version());
    EXPECT_TRUE(plugin->pathIsValidVolume(folder.Path()));
    EXPECT_FALSE(plugin->pathIsValidVolume(folder.Path() + "/CONTENTS"));
    EXPECT_FALSE(plugin->pathIsValidVolume(std::nullopt));
    EXPECT_FALSE(plugin->volumeWithPath(std::nullopt, nullptr));
    std::shared_ptr<MIORADVolumeDataSourceProtocol> volume = plugin->volumeWithPath(folder.Path(), nullptr);
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->name(), std::filesystem::path(folder.Path()).filename().string());
    ASSERT_TRUE(volume->icon());
    EXPECT_EQ(volume->icon()->width(), 17u);
    EXPECT_FALSE(volume->icon()->isBlank());

    const std::vector<std::shared_ptr<MIORADClipDataSourceProtocol>> clips = plugin->clipsForVolume(volume);
    ASSERT_EQ(clips.size(), card.clips.size());
    ASSERT_EQ(card.clips.size(), std::size(kSampleCard));
    for (size_t c = 0; c < clips.size(); ++c) {
        const cw::ClipDescription& d = card.clips[c];
        const ExpectedClip& e = kSampleCard[c];
        MIORADClipDataSourceProtocol& clip = *clips[c];
        SCOPED_TRACE(cw::ClipIdText(d.id));
        ASSERT_EQ(d.frameRate, e.rate);
        ASSERT_EQ(d.pictureSize, e.size);
        const bool p60 = d.frameRate == cw::FrameRate::k59_94p;

        EXPECT_EQ(clip.name(), cw::ClipIdText(d.id));
        EXPECT_EQ(clip.clipID().value_or("").size(), 36u);
        EXPECT_EQ(clip.format(), "Vanto QZ MPEG2");
        EXPECT_EQ(Text(clip.sourceFormat()), e.codec);
        EXPECT_EQ(clip.displayFormat(), e.displayFormat);
        EXPECT_DOUBLE_EQ(clip.transportRate(), e.transportRate);
        EXPECT_DOUBLE_EQ(clip.shootingRate(), e.shootingRate);
        EXPECT_EQ(clip.isDropFrame(), d.dropFrame);
        EXPECT_EQ(clip.mediaDuration(), d.durationFrames);
        char start[32];
        std::snprintf(start, sizeof start, "%02u:%02u:%02u:%02u", d.startTimecode.hours,
                      d.startTimecode.minutes, d.startTimecode.seconds,
                      d.startTimecode.frames * (p60 ? 2 : 1));
        EXPECT_EQ(clip.mediaStart(), start);
        EXPECT_EQ(clip.videoWidth(), cw::PictureWidth(d.pictureSize));
        EXPECT_EQ(clip.videoHeight(), cw::PictureHeight(d.pictureSize));
        EXPECT_EQ(clip.videoBitrate(), cw::BitsPerSecond(d.bitRate) / 1'000'000);
        EXPECT_EQ(clip.sampleRate(), 48000u);
        EXPECT_EQ(clip.bitsPerSample(), 16u);
        EXPECT_EQ(clip.numberOfAudioChannels(), d.audioChannels);
        const double channelBytes = d.durationFrames * 2 * 48000 / e.transportRate;
        EXPECT_NEAR(clip.dataSizeForAudioChannelIndex(0), channelBytes, 1e-6);
        EXPECT_EQ(clip.dataSizeForAudioChannelIndex(d.audioChannels), 0);
        double mxfBytes = 0;
        for (const cw::MemberFile& m : cw::EffectiveMembers(d))
            mxfBytes += double(std::filesystem::file_size(cw::MemberMxfPath(folder.Path(), d.id, m.number)));
        EXPECT_NEAR(clip.videoDataSize(), std::max(0.0, mxfBytes - d.audioChannels * channelBytes), 1e-3);
        ASSERT_TRUE(clip.audioStreamBasicDescription());
        EXPECT_EQ(clip.audioStreamBasicDescription()->mChannelsPerFrame, d.audioChannels);
        EXPECT_EQ(clip.audioStreamBasicDescription()->mBitsPerChannel, 16u);
        const std::optional<double> created = clip.creationDate();
        ASSERT_TRUE(created);
        EXPECT_DOUBLE_EQ(*created, LocalSeconds(d.recorded));
        EXPECT_NEAR(clip.lastChangeDate().value_or(0), *created + d.durationFrames / e.transportRate, 1e-6);
        EXPECT_EQ(clip.deviceManufacturer(), d.device.manufacturer);
        EXPECT_EQ(clip.deviceModelName(), d.device.modelName);
        EXPECT_EQ(clip.deviceSerialNumber(), d.device.serialNumber);
        EXPECT_EQ(clip.creator(), d.xml.creator);
        CFHolder<CFArrayRef> sources = clip.ingestSourceFiles();
        const auto* set = CFCast<CFArray>(CFArrayGetValueAtIndex(sources.Get(), 0));
        EXPECT_EQ(StringValue(CFCast<CFDictionary>(CFArrayGetValueAtIndex(set, 0)), "MediaSetPath"),
                  cw::ClipFilePath(folder.Path(), d.id, ".CIF"));
        // Playback: video, timecode and (16-bit sample card) stereo audio, each the clip's length.
        std::shared_ptr<MIORADFormatReaderProtocol> reader = clip.formatReader();
        ASSERT_TRUE(reader);
        std::vector<FourCharCode> types;
        for (const auto& track : reader->trackReaders()) {
            types.push_back(track->mediaType());
            EXPECT_EQ(track->frameCount(), static_cast<int32_t>(d.durationFrames));
        }
        EXPECT_EQ(types, (std::vector<FourCharCode>{kMIORADMediaType_Video, kMIORADMediaType_TimeCode,
                                                    kMIORADMediaType_Audio}));

        // The import, as a host runs it.
        HostEventCycle cycle;
        std::shared_ptr<MIORADIngestObject> ingest = clip.ingestObject();
        ASSERT_TRUE(ingest);
        void* refCon = clip.ingestObjectRefCon();
        const cw::FrameRateTraits rate = cw::TraitsOf(d.frameRate);
        const int64_t scale = rate.editRateNumerator, duration = rate.editRateDenominator;
        EXPECT_EQ(ingest->initialize(refCon), 0);
        EXPECT_EQ(ingest->setInPoint(CMTimeMake(0, int32_t(scale)), refCon), 0);
        std::vector<Imported> frames;
        std::vector<std::vector<uint8_t>> pictures;
        std::vector<uint8_t> audio;
        MIORADIngestMedia media;
        for (uint32_t guard = 0; guard <= d.durationFrames + 1; ++guard) {
            ASSERT_EQ(ingest->getNextMedia(&media, refCon), 0);
            SampleHolder video = SampleHolder::Adopt(media.videoSampleBuffer);
            SampleHolder sound = SampleHolder::Adopt(media.audioSampleBuffer);
            if (media.endOfClip) break;
            ASSERT_TRUE(media.hasFrame && video && sound) << frames.size();
            EXPECT_EQ(media.dropFrame, d.dropFrame ? 1 : 0);
            EXPECT_EQ(media.timecodeBase, rate.roundedBase);
            const CMTime pts = CMSampleBufferGetPresentationTimeStamp(video.Get());
            const CMTime dts = CMSampleBufferGetDecodeTimeStamp(video.Get());
            frames.push_back({pts.value / duration, dts.value / duration, media.timecodeCounter});
            pictures.push_back(BytesOf(video.Get()));
            const std::vector<uint8_t> bytes = BytesOf(sound.Get());
            audio.insert(audio.end(), bytes.begin(), bytes.end());
        }
        ASSERT_TRUE(media.endOfClip && !media.hasFrame);
        ASSERT_EQ(frames.size(), d.durationFrames);
        EXPECT_EQ(audio, Tones(0, int64_t(audio.size() / 4)));
        EXPECT_NEAR(double(audio.size() / 4),
                    double(d.durationFrames) * 48000 * double(duration) / double(scale), 1.0);
        std::vector<int64_t> byPts(frames.size(), -1);
        for (size_t f = 0; f < frames.size(); ++f) {
            EXPECT_EQ(frames[f].dts, int64_t(f));
            ASSERT_TRUE(frames[f].pts >= 0 && frames[f].pts < int64_t(frames.size())) << f;
            byPts[size_t(frames[f].pts)] = int64_t(f);
        }
        // The first picture shows the start timecode, counted at the picture rate.
        EXPECT_EQ(frames[size_t(byPts[0])].counter,
                  cw::TimecodeToFrameCount(d.startTimecode, rate.recordedBase, d.dropFrame) *
                      rate.roundedBase / rate.recordedBase);
        for (size_t k = 0; k < frames.size(); ++k) {
            ASSERT_GE(byPts[k], 0) << "no picture presents at " << k;
            EXPECT_EQ(frames[size_t(byPts[k])].counter, frames[size_t(byPts[0])].counter + k) << k;
        }
        const qztest::DecodedPictures decoded =
            qztest::DecodePictures(folder.Path(), pictures, int(cw::PictureWidth(d.pictureSize)),
                                   int(cw::PictureHeight(d.pictureSize)));
        ASSERT_EQ(decoded.stored.size(), frames.size());
        ASSERT_EQ(decoded.numbers.size(), frames.size());
        for (size_t k = 0; k < frames.size(); ++k) {
            EXPECT_EQ(decoded.stored[k], byPts[k]) << "output picture " << k;
            EXPECT_EQ(decoded.numbers[k], int64_t(k)) << "output picture " << k;
        }
        EXPECT_EQ(ingest->teardown(refCon), 0);
    }
    EXPECT_TRUE(plugin->shutdown());
}

TEST(FBCFormatBundleTest, ModuleExportsOnlyTheEntryPointAndTheBufferUtilities) {
    QZ_REQUIRE_TOOL("nm");
    const qztest::CommandResult symbols =
        qztest::RunCommand("nm -D --defined-only --format=posix " + qztest::ShellQuote(QZ_PLUGIN_MODULE));
    ASSERT_EQ(symbols.exitCode, 0);
    std::vector<std::string> expected = {"MIORADPluginCreateFactory", "CreateSampleBufferFromSampleCursor",
                                         "CoalesceAudioSampleBuffers", "ReadAndCreateBlockBuffer",
                                         "GetAvailableLengthAtOffset"};
    std::vector<std::string> exported;
    std::istringstream lines(symbols.output);
    for (std::string line; std::getline(lines, line);) {
        const std::string name = line.substr(0, line.find(' '));
        if (!name.empty()) exported.push_back(name);
    }
    std::sort(exported.begin(), exported.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(exported, expected);
}

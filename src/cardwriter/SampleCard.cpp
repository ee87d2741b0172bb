#include "SampleCard.h"

#include "CardWriter.h"
#include "MediumIdentity.h"
#include "Mpeg2EssenceStream.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

namespace {

// `date` at midnight plus `minutes`, carried into hours, days, months and
// years.
RecordDateTime RecordedAfter(RecordDateTime date, uint64_t minutes) {
    date.minute = static_cast<uint32_t>(minutes % 60);
    date.hour = static_cast<uint32_t>(minutes / 60 % 24);
    for (uint64_t days = minutes / (24 * 60); days > 0; --days) {
        static const uint32_t lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
        const uint32_t length = date.month == 2 && leap ? 29 : lengths[date.month - 1];
        if (++date.day > length) {
            date.day = 1;
            if (++date.month > 12) date.month = 1, ++date.year;
        }
    }
    return date;
}

struct SampleClipTemplate {
    FrameRate rate59;  // rate within each family
    FrameRate rate50;
    PictureSize size;
    BitRate bitRate;
    bool cbr;
    uint32_t channels;
    bool dropFrame;
    uint32_t spannedFiles;  // 1 = one file
    bool closedGop;
    uint32_t bPictures;
};

// The built-in set: interlaced and progressive rates, the three sizes, 2 and
// 4 channels, CBR and VBR, drop-frame timecode and a clip in three files.
constexpr SampleClipTemplate kTemplates[] = {
    {FrameRate::k59_94i, FrameRate::k50i, PictureSize::k1920x1080, BitRate::k50Mbps, true, 4, true, 1, false,
     2},
    {FrameRate::k29_97p, FrameRate::k25p, PictureSize::k1440x1080, BitRate::k35Mbps, false, 2, false, 1, true,
     2},
    {FrameRate::k59_94p, FrameRate::k50p, PictureSize::k1280x720, BitRate::k50Mbps, true, 4, true, 1, false,
     2},
    {FrameRate::k59_94i, FrameRate::k50i, PictureSize::k1920x1080, BitRate::k50Mbps, true, 4, false, 3, false,
     2},
    {FrameRate::k23_98p, FrameRate::k25p, PictureSize::k1920x1080, BitRate::k25Mbps, false, 2, false, 1, true,
     0},
    {FrameRate::k29_97p, FrameRate::k25p, PictureSize::k1280x720, BitRate::k25Mbps, false, 4, false, 1, false,
     2},
};
constexpr size_t kTemplateCount = sizeof kTemplates / sizeof kTemplates[0];

// 720-line pictures exist only progressive and 1080-line pictures not at 50
// or 59.94 progressive, as the cameras record them.
PictureSize SizeForRate(PictureSize wanted, FrameRate rate) {
    const FrameRateTraits traits = TraitsOf(rate);
    if (traits.interlaced && wanted == PictureSize::k1280x720) return PictureSize::k1920x1080;
    if (traits.roundedBase >= 50) return PictureSize::k1280x720;
    return wanted;
}

FrameRate RateForFamily(const SampleClipTemplate& t, FrameRateFamily family) {
    if (family == kFamily50) return t.rate50;
    if (family == kFamily24) return FrameRate::k24p;
    return t.rate59;
}

ClipXmlMetadata SampleXml(uint32_t number, const ClipDescription& clip) {
    ClipXmlMetadata xml;
    xml.title = "Sample clip " + std::to_string(number) + " (" + FrameRateName(clip.frameRate) + ")";
    xml.creator = "qzcard sample-card";
    xml.description =
        "Written by the qzcard card writer.\nEvery picture shows its own frame number; "
        "channel c carries a tone of 440 Hz x (c + 1). Harbour & pier <north>.";
    ClipLocation location;
    location.altitude = number % 2 ? "+38" : "-12";
    location.longitude = "E139.69170";
    location.latitude = "N35.68950";
    location.source = "CAPTURED";
    location.placeName = "Harbour pier \"north\"";
    xml.location = location;
    return xml;
}

// The card's rate and picture size that the stream has.
void FitToEssence(const Mpeg2EssenceStream& essence, ClipDescription& clip) {
    std::optional<FrameRate> rate;
    for (FrameRate r : kAllFrameRates) {
        const FrameRateTraits t = TraitsOf(r);
        if (!rate &&
            t.editRateNumerator * uint64_t(essence.RateDenominator()) ==
                t.editRateDenominator * uint64_t(essence.RateNumerator()) &&
            t.interlaced != essence.Progressive())
            rate = r;
    }
    if (!rate)
        throw CardWriterError(essence.Name() + ": " + std::to_string(essence.RateNumerator()) + "/" +
                              std::to_string(essence.RateDenominator()) + " frames per second " +
                              (essence.Progressive() ? "progressive" : "interlaced") +
                              " is not a rate the card records");
    clip.frameRate = *rate;
    bool sized = false;
    for (PictureSize size : {PictureSize::k1920x1080, PictureSize::k1440x1080, PictureSize::k1280x720})
        if (PictureWidth(size) == uint32_t(essence.Width()) &&
            PictureHeight(size) == uint32_t(essence.Height()))
            clip.pictureSize = size, sized = true;
    if (!sized)
        throw CardWriterError(essence.Name() + ": " + std::to_string(essence.Width()) + "x" +
                              std::to_string(essence.Height()) +
                              " is not a picture size the card records (1920x1080, 1440x1080, 1280x720)");
    const uint32_t bits = essence.BitRate();
    clip.bitRate = bits <= 30'000'000   ? BitRate::k25Mbps
                   : bits <= 42'000'000 ? BitRate::k35Mbps
                                        : BitRate::k50Mbps;
    clip.closedGop = essence.AllGopsClosed();
    clip.gopLength = static_cast<uint32_t>(essence.MaxGopLength());
    clip.bPictures = static_cast<uint32_t>(essence.MaxBPictures());
}

// The clean end nearest below `frames`, else the first one after it.
uint32_t CleanEnd(const Mpeg2EssenceStream& essence, uint32_t frames) {
    for (uint32_t end = frames; end > 0; --end)
        if (essence.IsCleanCut(end)) return end;
    for (uint32_t end = frames + 1;; ++end)
        if (essence.IsCleanCut(end)) return end;
}

// Member files of a clip cut into `files` parts at the candidates nearest
// to equal shares; fewer files when the clip has too few candidates.
std::vector<MemberFile> SpannedMembers(const Mpeg2EssenceStream& essence, uint32_t total, uint32_t files) {
    const std::vector<int64_t> candidates = essence.CutCandidates(total);
    std::vector<MemberFile> members;
    int64_t previous = 0;
    for (uint32_t m = 1; m < files; ++m) {
        const int64_t wanted = int64_t{total} * m / files;
        int64_t best = -1;
        for (int64_t at : candidates)
            if (at > previous && (best < 0 || std::llabs(at - wanted) < std::llabs(best - wanted))) best = at;
        if (best < 0) break;
        members.push_back(MemberFile{static_cast<uint32_t>(best - previous), 0, {}});
        previous = best;
    }
    members.push_back(MemberFile{static_cast<uint32_t>(total - previous), 0, {}});
    return members;
}

}  // namespace

CardDescription SampleCardDescription(const SampleCardOptions& options) {
    CardDescription card;
    card.mediaUuid = options.medium;
    const FrameRateFamily family = options.rate ? TraitsOf(*options.rate).family : options.family;
    const Mpeg2EssenceStream* essence = options.essence.get();
    const uint32_t duration = options.durationFrames != 0 ? options.durationFrames
                              : essence                   ? static_cast<uint32_t>(essence->PictureCount())
                                                          : 1;

    for (uint32_t i = 0; i < options.clipCount; ++i) {
        const SampleClipTemplate& t = kTemplates[i % kTemplateCount];
        ClipDescription clip;
        clip.id = ClipId{"QZ", i + 1};
        clip.frameRate = options.rate ? *options.rate : RateForFamily(t, family);
        if (essence) {
            FitToEssence(*essence, clip);
            if (options.rate && *options.rate != clip.frameRate)
                throw CardWriterError(essence->Name() + " is " + FrameRateName(clip.frameRate) + ", not " +
                                      FrameRateName(*options.rate));
        } else {
            clip.pictureSize = SizeForRate(t.size, clip.frameRate);
            clip.bitRate = t.bitRate;
        }
        const FrameRateTraits traits = TraitsOf(clip.frameRate);
        clip.constantBitRate = t.cbr;
        clip.audioChannels = t.channels;
        clip.dropFrame = t.dropFrame && traits.dropFrameAllowed;
        clip.closedGop = t.closedGop;
        clip.bPictures = t.bPictures;
        clip.gopLength = traits.family == kFamily59_94 && traits.roundedBase != 24 ? 15 : 12;
        if (clip.bPictures + 1 > clip.gopLength) clip.bPictures = clip.gopLength - 1;
        if (traits.roundedBase >= 50) clip.gopLength *= 2;  // about half a second per GOP

        clip.durationFrames = duration * t.spannedFiles;
        if (essence) {
            clip.essence = options.essence;
            clip.durationFrames = CleanEnd(*essence, clip.durationFrames);
            if (t.spannedFiles > 1)
                clip.members = SpannedMembers(*essence, clip.durationFrames, t.spannedFiles);
        } else if (t.spannedFiles > 1) {
            for (uint32_t m = 0; m < t.spannedFiles; ++m) clip.members.push_back(MemberFile{duration, 0, {}});
        }

        // Start timecodes just before a minute (and ten-minute) boundary, so
        // drop-frame clips cross a skipped label.
        clip.startTimecode = Timecode{1 + i / 60, (4 + 10 * i) % 60, 59, 0};
        clip.startTimecode.frames = traits.recordedBase > 10 ? traits.recordedBase - 10 : 0;

        // Clip n is recorded at 09:10 + 3(n - 1) minutes, carried into the
        // hours and the following days.
        clip.recorded = RecordedAfter(clip.recorded, 9 * 60 + 10 + 3 * uint64_t{i});
        clip.recordingMode.whiteBalanceMode = 1;
        clip.recordingMode.whiteBalancePreset = 2;
        clip.recordingMode.aeMode = 1;
        clip.attributes.okMark = i % 3 == 0 ? 1 : 0;
        clip.xml = SampleXml(i + 1, clip);
        if (essence) clip.xml.description = "Written by the qzcard card writer from " + essence->Name() + ".";
        card.clips.push_back(std::move(clip));
    }
    return card;
}

std::vector<CardDescription> RelaySampleCardDescriptions(uint32_t cardCount,
                                                         const SampleCardOptions& options) {
    if (cardCount < 1 || cardCount > 99) throw CardWriterError("relay sample cards: card count outside 1-99");
    const FrameRate rate = options.rate.value_or(FrameRate::k59_94i);
    const FrameRateTraits traits = TraitsOf(rate);
    if (!traits.known) throw CardWriterError("relay sample cards: unknown frame rate");
    // Every second picture advances the timecode at 50 and 59.94 progressive.
    const uint32_t step = traits.roundedBase / traits.recordedBase;
    const uint32_t pieceFrames = std::max<uint32_t>(step, (options.durationFrames + step - 1) / step * step);
    const bool dropFrame = traits.dropFrameAllowed;
    const Timecode recordingStart{2, 9, 58, 0};

    auto clipAt = [&](uint32_t number, uint32_t frames) {
        ClipDescription clip;
        clip.id = ClipId{"QZ", number};
        clip.frameRate = rate;
        clip.pictureSize = SizeForRate(PictureSize::k1920x1080, rate);
        clip.bitRate = BitRate::k50Mbps;
        clip.durationFrames = frames;
        clip.dropFrame = dropFrame;
        clip.gopLength = traits.roundedBase >= 50 ? 30 : traits.roundedBase == 24 ? 12 : 15;
        clip.xml = SampleXml(number, clip);
        return clip;
    };
    // Wall clock of a clip starting `frames` pictures into the recording.
    auto recordedAt = [&](uint64_t frames) {
        const uint64_t seconds = frames * traits.editRateDenominator / traits.editRateNumerator;
        RecordDateTime date = RecordedAfter(RecordDateTime{}, 10 * 60 + seconds / 60);
        date.second = static_cast<uint32_t>(seconds % 60);
        return date;
    };

    std::vector<CardDescription> cards(cardCount);
    uint32_t number = 1;
    for (uint32_t k = 0; k < cardCount; ++k) {
        CardDescription& card = cards[k];
        card.mediaUuid = MediumOfSetCard(options.medium, k);
        if (k == 0) {
            ClipDescription before = clipAt(number++, pieceFrames);
            before.audioChannels = 2;
            before.startTimecode = Timecode{1, 0, 0, 0};
            before.recorded = recordedAt(0);
            before.recorded.hour = 8;
            card.clips.push_back(std::move(before));
        }
        ClipDescription piece = clipAt(number++, pieceFrames);
        const uint64_t framesBefore = uint64_t{pieceFrames} * k;
        piece.startTimecode = FrameCountToTimecode(
            TimecodeToFrameCount(recordingStart, traits.recordedBase, dropFrame) + framesBefore / step,
            traits.recordedBase, dropFrame);
        piece.recorded = recordedAt(framesBefore);
        piece.xml.title =
            "Recording over " + std::to_string(cardCount) + " cards, piece " + std::to_string(k + 1);
        card.clips.push_back(std::move(piece));
        if (k > 0) LinkRelayClips(cards[k - 1], cards[k - 1].clips.size() - 1, card, card.clips.size() - 1);
        if (k + 1 == cardCount) {
            ClipDescription after = clipAt(number++, pieceFrames);
            after.audioChannels = 2;
            after.startTimecode = Timecode{3, 0, 0, 0};
            after.recorded = recordedAt(0);
            after.recorded.hour = 11;
            card.clips.push_back(std::move(after));
        }
    }
    return cards;
}

CardDescription LongClipCardDescription(uint32_t frames, FrameRate rate) {
    CardDescription card;
    card.mediaUuid[15] = 0x4C;  // a medium of its own
    ClipDescription clip;
    clip.id = ClipId{"LC", 1};
    clip.frameRate = rate;
    clip.pictureSize = SizeForRate(PictureSize::k1920x1080, rate);
    clip.bitRate = BitRate::k50Mbps;
    clip.constantBitRate = true;
    clip.audioChannels = 4;
    clip.durationFrames = frames;
    clip.dropFrame = TraitsOf(rate).dropFrameAllowed;
    clip.xml.title = "Long clip";
    card.clips.push_back(std::move(clip));
    return card;
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter

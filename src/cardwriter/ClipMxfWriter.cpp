#include "ClipMxfWriter.h"

#include "CardWriter.h"
#include "ClipXmlWriter.h"
#include "Mpeg2EssenceStream.h"

namespace ComVantoVantoQZ64RADPlug::CardWriter {

MxfFileDescription MemberMxfDescription(const CardDescription& card, size_t clipIndex, size_t memberIndex) {
    const ClipDescription& clip = card.clips.at(clipIndex);
    const std::vector<MemberFile> members = EffectiveMembers(clip);
    const FrameRateTraits traits = TraitsOf(clip.frameRate);
    if (!traits.known || traits.recordedBase == 0)
        throw CardWriterError(ClipIdText(clip.id) + ": no essence rules for its frame rate");
    if (memberIndex >= members.size()) throw CardWriterError(ClipIdText(clip.id) + ": no such member file");

    int64_t firstFrame = 0;
    for (size_t i = 0; i < memberIndex; ++i) firstFrame += members[i].frameCount;

    MxfFileDescription mxf;
    Mpeg2Settings& video = mxf.video;
    video.width = static_cast<int>(PictureWidth(clip.pictureSize));
    video.height = static_cast<int>(PictureHeight(clip.pictureSize));
    video.rateNumerator = static_cast<int>(traits.editRateNumerator);
    video.rateDenominator = static_cast<int>(traits.editRateDenominator);
    video.interlaced = traits.interlaced;
    video.topFieldFirst = true;
    video.bitRate = static_cast<uint32_t>(BitsPerSecond(clip.bitRate));
    video.constantBitRate = clip.constantBitRate;
    video.gopLength = static_cast<int>(clip.gopLength);
    video.bPictures = static_cast<int>(clip.bPictures);
    video.closedGop = clip.closedGop;
    if (clip.essence) {
        // The descriptor tells what the stream's headers say.
        const Mpeg2EssenceStream& essence = *clip.essence;
        video.width = essence.Width();
        video.height = essence.Height();
        video.interlaced = !essence.Progressive();
        video.topFieldFirst = essence.TopFieldFirst();
        video.bitRate = essence.BitRate();
        video.gopLength = static_cast<int>(essence.MaxGopLength());
        video.bPictures = essence.MaxBPictures();
        video.closedGop = essence.AllGopsClosed();
        mxf.essence = clip.essence;
    }

    mxf.frameCount = members[memberIndex].frameCount;
    mxf.firstFrame = firstFrame;
    mxf.audioChannels = clip.audioChannels;
    mxf.audioBitsPerSample = clip.audioBitsPerSample;

    // The clip information block counts the start at the recorded base (30
    // or 25 labels per second); the MXF timecode counts every picture, so a
    // 59.94P or 50P clip's start label becomes twice as many frames.
    const uint64_t picturesPerLabel = traits.roundedBase / traits.recordedBase;
    const uint64_t startLabels =
        TimecodeToFrameCount(clip.startTimecode, traits.recordedBase, clip.dropFrame);
    mxf.startTimecode = static_cast<int64_t>(startLabels * picturesPerLabel) + firstFrame;
    mxf.roundedTimecodeBase = static_cast<uint16_t>(traits.roundedBase);
    mxf.dropFrame = clip.dropFrame;

    mxf.materialPackageUmid = MaterialPackageUmidOf(card, clipIndex);
    mxf.filePackageUmid = FilePackageUmidOf(card, clipIndex, memberIndex);
    mxf.relayPackageUmid = RelayPackageUmidOf(card, clipIndex);

    mxf.companyName = clip.device.manufacturer;
    mxf.productName = clip.device.modelName;
    mxf.versionString = FirmwareVersionText(clip.device.firmware);
    const RecordDateTime& date = clip.recorded;
    mxf.creationDate = MxfTimestamp{static_cast<uint16_t>(date.year),
                                    static_cast<uint8_t>(date.month),
                                    static_cast<uint8_t>(date.day),
                                    static_cast<uint8_t>(date.hour),
                                    static_cast<uint8_t>(date.minute),
                                    static_cast<uint8_t>(date.second),
                                    0};
    return mxf;
}

std::vector<MxfFileLayout> WriteMemberMxfFiles(const CardDescription& card, size_t clipIndex,
                                               const std::string& cardRoot) {
    const ClipDescription& clip = card.clips.at(clipIndex);
    const std::vector<MemberFile> members = EffectiveMembers(clip);
    std::vector<MxfFileLayout> layouts;
    for (size_t i = 0; i < members.size(); ++i) {
        const std::string path = MemberMxfPath(cardRoot, clip.id, members[i].number);
        try {
            layouts.push_back(WriteMxfFile(MemberMxfDescription(card, clipIndex, i), path));
        } catch (const CardWriterError&) {
            throw;
        } catch (const std::exception& e) {
            throw CardWriterError(path + ": " + e.what());
        }
    }
    return layouts;
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter

#include "CardWriter.h"

#include "CifWriter.h"
#include "ClipMxfWriter.h"
#include "ClipXmlWriter.h"
#include "MifWriter.h"
#include "Mpeg2EssenceStream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

namespace fs = std::filesystem;

std::string ClipsFolderPath(const std::string& cardRoot) {
    return (fs::path(cardRoot) / "CONTENTS" / "CLIPS001").string();
}

std::string MediaIndexPath(const std::string& cardRoot) {
    return (fs::path(ClipsFolderPath(cardRoot)) / "INDEX.MIF").string();
}

std::string ClipFolderPath(const std::string& cardRoot, const ClipId& id) {
    return (fs::path(ClipsFolderPath(cardRoot)) / ClipIdText(id)).string();
}

std::string ClipFilePath(const std::string& cardRoot, const ClipId& id, const std::string& extension) {
    return (fs::path(ClipFolderPath(cardRoot, id)) / (ClipIdText(id) + extension)).string();
}

std::string MemberMxfPath(const std::string& cardRoot, const ClipId& id, uint32_t memberNumber) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%02u.MXF", ClipIdText(id).c_str(), memberNumber);
    return (fs::path(ClipFolderPath(cardRoot, id)) / name).string();
}

namespace {

void WriteWholeFile(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (out) out.close();
    if (!out) throw CardWriterError("cannot write " + path + ": " + std::strerror(errno));
}

void MakeFolder(const std::string& path) {
    std::error_code error;
    fs::create_directories(path, error);
    if (error) throw CardWriterError("cannot create folder " + path + ": " + error.message());
}

// A stream fits a clip of its own rate and size, cut where every B picture
// stays with the picture after which it displays.
void CheckEssenceOfClip(const ClipDescription& clip) {
    const Mpeg2EssenceStream& essence = *clip.essence;
    const std::string name = ClipIdText(clip.id) + ": essence " + essence.Name();
    const FrameRateTraits traits = TraitsOf(clip.frameRate);
    if (uint64_t(essence.RateNumerator()) * traits.editRateDenominator !=
            uint64_t(essence.RateDenominator()) * traits.editRateNumerator ||
        essence.Progressive() == traits.interlaced)
        throw CardWriterError(name + " has " + std::to_string(essence.RateNumerator()) + "/" +
                              std::to_string(essence.RateDenominator()) + " frames per second " +
                              (essence.Progressive() ? "progressive" : "interlaced") + ", the clip is " +
                              FrameRateName(clip.frameRate));
    if (uint32_t(essence.Width()) != PictureWidth(clip.pictureSize) ||
        uint32_t(essence.Height()) != PictureHeight(clip.pictureSize))
        throw CardWriterError(name + " is " + std::to_string(essence.Width()) + "x" +
                              std::to_string(essence.Height()) + ", the clip " +
                              std::to_string(PictureWidth(clip.pictureSize)) + "x" +
                              std::to_string(PictureHeight(clip.pictureSize)));
    int64_t end = 0;
    for (const MemberFile& member : EffectiveMembers(clip)) {
        end += member.frameCount;
        if (!essence.IsCleanCut(end))
            throw CardWriterError(name + ": a file ending after clip picture " + std::to_string(end) +
                                  " would part B pictures from the picture they display after");
    }
}

// Descriptions the essence writer cannot honour are refused before any file
// is written, so a failed call leaves no half-written clip behind.
void CheckClipForEssence(const CardDescription& card, size_t clipIndex) {
    const ClipDescription& clip = card.clips[clipIndex];
    const std::string name = ClipIdText(clip.id);
    const FrameRateTraits traits = TraitsOf(clip.frameRate);
    if (!traits.known)
        throw CardWriterError(name + ": no essence rules for frame rate code " +
                              std::to_string(static_cast<unsigned>(clip.frameRate)));
    if (PictureWidth(clip.pictureSize) == 0) throw CardWriterError(name + ": unknown picture size code");
    if (BitsPerSecond(clip.bitRate) == 0) throw CardWriterError(name + ": unknown bit rate code");
    if (clip.dropFrame && !traits.dropFrameAllowed)
        throw CardWriterError(name + ": drop-frame timecode at " + FrameRateName(clip.frameRate));
    if (clip.audioBitsPerSample != 16 && clip.audioBitsPerSample != 24)
        throw CardWriterError(name + ": audio must be 16 or 24 bits");
    uint64_t total = 0;
    std::set<uint8_t> numbers;
    for (const MemberFile& member : EffectiveMembers(clip)) {
        if (!numbers.insert(member.number).second)
            throw CardWriterError(name + ": two member files numbered " + std::to_string(member.number));
        if (member.number == 0 || member.number > 99)
            throw CardWriterError(name + ": member number outside 1-99");
        if (member.frameCount == 0) throw CardWriterError(name + ": member file without frames");
        total += member.frameCount;
    }
    if (total != clip.durationFrames)
        throw CardWriterError(name + ": member frame counts add up to " + std::to_string(total) + ", not " +
                              std::to_string(clip.durationFrames));
    if (clip.audioChannels > 16) throw CardWriterError(name + ": more than 16 audio channels");
    if (clip.essence) {
        CheckEssenceOfClip(clip);
        return;
    }
    const std::string unsupported =
        Mpeg2Encoder::CheckSettings(MemberMxfDescription(card, clipIndex, 0).video);
    if (!unsupported.empty()) throw CardWriterError(name + ": " + unsupported);
}

}  // namespace

std::vector<std::vector<MxfFileLayout>> WriteCard(const CardDescription& card, const std::string& folder) {
    std::set<std::string> names;
    for (size_t i = 0; i < card.clips.size(); ++i) {
        const ClipDescription& clip = card.clips[i];
        const std::string name = ClipIdText(clip.id);
        if (name.size() != 6 || clip.id.userId.size() != 2)
            throw CardWriterError("clip ID " + name + " is not two characters and four digits");
        if (!names.insert(name).second) throw CardWriterError("two clips share the clip ID " + name);
        if (clip.writeMxfFiles) CheckClipForEssence(card, i);
    }

    // Every small file is built before the first one is written, so a
    // description that cannot be stored leaves the folder untouched.
    struct ClipFiles {
        std::vector<uint8_t> information;
        std::string document;
    };
    std::vector<uint8_t> index;
    std::vector<ClipFiles> files(card.clips.size());
    try {
        if (card.index.write) index = BuildMediaIndex(card);
        for (size_t i = 0; i < card.clips.size(); ++i) {
            if (card.clips[i].coding.write) files[i].information = BuildClipInformation(card, i);
            if (card.clips[i].xml.write) files[i].document = BuildClipXml(card.clips[i]);
        }
    } catch (const CardWriterError&) {
        throw;
    } catch (const std::exception& e) {
        throw CardWriterError(e.what());
    }

    std::vector<std::vector<MxfFileLayout>> layouts(card.clips.size());
    MakeFolder(ClipsFolderPath(folder));
    if (card.index.write) WriteWholeFile(MediaIndexPath(folder), index.data(), index.size());
    for (size_t i = 0; i < card.clips.size(); ++i) {
        const ClipDescription& clip = card.clips[i];
        MakeFolder(ClipFolderPath(folder, clip.id));
        if (clip.coding.write)
            WriteWholeFile(ClipFilePath(folder, clip.id, ".CIF"), files[i].information.data(),
                           files[i].information.size());
        if (clip.xml.write)
            WriteWholeFile(ClipFilePath(folder, clip.id, ".XML"), files[i].document.data(),
                           files[i].document.size());
        if (clip.writeMxfFiles) layouts[i] = WriteMemberMxfFiles(card, i, folder);
    }
    return layouts;
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter

#include "CardReading.h"

#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUArray.h"
#include "CUFailure.h"
#include "CUVolumeIdentity.h"
#include "CardOpening.h"
#include "CatalogError.h"
#include "ClipSummary.h"
#include "FBCContentValueTag.h"
#include "ImportError.h"
#include "OffloadError.h"
#include "RecordingSpans.h"
#include "SourceTree.h"
#include "ValueTexts.h"

#include <filesystem>
#include <limits>
#include <set>

namespace qzcatalog {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

std::optional<std::string> NonEmpty(const std::string& text) {
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

std::optional<std::string> ClipText(CFBCClip& clip, _ClipValueTag tag) {
    if (!clip.ValueForTag(tag)) return std::nullopt;
    return NonEmpty(qzimport::ClipValueText(clip, tag));
}

// The place's name, else its coordinates ("35.6895, 139.6917").
std::optional<std::string> Location(CFBCClip& clip) {
    if (std::optional<std::string> place = ClipText(clip, kClipValuePlaceName)) return place;
    const std::optional<std::string> latitude = ClipText(clip, kClipValueLatitudeValue);
    const std::optional<std::string> longitude = ClipText(clip, kClipValueLongitudeValue);
    if (latitude && longitude) return *latitude + ", " + *longitude;
    return std::nullopt;
}

ClipSeen ReadClip(const CFBCContent& content, size_t index, const std::string& folder,
                  const std::string& medium) {
    CUSharedPtr<CFBCClip> clip = content.ClipList()->ObjectAtIndex(index);
    const qzimport::ClipSummary summary = qzimport::SummarizeClip(content, index);
    ClipSeen seen;
    seen.clipId = summary.clipID;
    seen.startTimecode = summary.startTimecode;
    seen.durationFrames = summary.durationFrames;
    seen.durationTimecode = summary.duration;
    seen.frameRate = summary.frameRate;
    seen.pictureSize = summary.pictureSize;
    seen.audioLayout = summary.audioChannels;
    seen.title = NonEmpty(summary.title.value_or(""));
    seen.shootingDate = summary.shootingDateTime;
    seen.cameraMake = NonEmpty(summary.device.manufacturer.value_or(""));
    seen.cameraModel = NonEmpty(summary.device.modelName.value_or(""));
    seen.cameraSerial = NonEmpty(summary.device.serialNumber.value_or(""));
    seen.creator = ClipText(*clip, kClipValueCreator);
    seen.description = ClipText(*clip, kClipValueDescription);
    seen.location = Location(*clip);

    const qzimport::LinkedClip linked = qzimport::ReadLinkedClip(0, folder, medium, clip);
    seen.umid = NonEmpty(linked.piece.identity.umid);
    seen.endTimecode = NonEmpty(linked.piece.endTimecode);
    seen.relayMediumId = NonEmpty(linked.piece.identity.mediumID);
    seen.previousMediumId = NonEmpty(linked.previous.mediumID);
    seen.previousClipId = NonEmpty(linked.previous.clipID);
    seen.previousUmid = NonEmpty(linked.previous.umid);
    seen.nextMediumId = NonEmpty(linked.next.mediumID);
    seen.nextClipId = NonEmpty(linked.next.clipID);
    seen.nextUmid = NonEmpty(linked.next.umid);
    return seen;
}

CardSeen ReadValues(const std::string& folder, const CUSharedPtr<CFBCContent>& content, int64_t seenAt,
                    bool withClips) {
    CardSeen card;
    card.mediumId = qzimport::UUIDText(content->ValueForTag(kContentValueMediaID));
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::canonical(folder, error);
    card.folderName = (error ? std::filesystem::path(folder) : canonical).filename().string();
    // A card without a medium identifier is known by where it is.
    if (card.mediumId.empty()) card.copyKey = (error ? folder : canonical.string());
    card.seenAt = seenAt;
    for (size_t i = 0; withClips && i < content->GetClipCnt(); ++i)
        if (content->ClipList()->ObjectAtIndex(i))
            card.clips.push_back(ReadClip(*content, i, folder, card.mediumId));
    return card;
}

CUSharedPtr<CFBCContent> Open(const std::string& folder) {
    try {
        return qzimport::OpenCard(folder);
    } catch (const qzimport::ImportError& e) {
        throw CatalogError(e.what(), e.Kind() == ComVantoVantoQZ64RADPlug::CUFailureKind::kNotACard
                                         ? CUFailureKind::kNotACard
                                         : CUFailureKind::kProblems);
    }
}

// Nothing for a time no nanosecond count holds (after 2262: a file may say so).
std::optional<int64_t> Nanoseconds(const timespec& time) {
    constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 1000000000 - 1;
    if (time.tv_sec > kLimit || time.tv_sec < -kLimit) return std::nullopt;
    return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

std::string VolumeKey(const std::string& folder) {
    try {
        return CUVolumeIdentity::Of(folder).Key();
    } catch (const CUError& e) {
        throw CatalogError("cannot tell the volume of " + folder + ": " + e.Failure().Describe(),
                           CUFailureKind::kProblems);
    }
}

// Every file of the card now; its clip when it lies in the folder of one of `clipIds`.
std::vector<CardFileSeen> Files(const std::string& folder, const std::set<std::string>& clipIds) {
    qzoffload::SourceTree tree;
    try {
        tree = qzoffload::SourceTree::Walk(folder);
    } catch (const qzoffload::OffloadError& e) {
        throw CatalogError(e.what(), CUFailureKind::kProblems);
    }
    std::vector<CardFileSeen> files;
    for (const qzoffload::SourceFile& file : tree.files) {
        CardFileSeen seen;
        seen.path = file.relativePath;
        seen.size = static_cast<int64_t>(file.size);
        seen.modifiedNs = Nanoseconds(file.modified);
        const std::optional<std::string> clip = CardReading::ClipOfPath(file.relativePath);
        if (clip && clipIds.count(*clip)) seen.clipId = clip;
        files.push_back(std::move(seen));
    }
    return files;
}

}  // namespace

std::optional<std::string> CardReading::ClipOfPath(const std::string& relativePath) {
    const std::string clips = std::string(kContentsFolderName) + "/" + kClipsFolderName + "/";
    if (relativePath.rfind(clips, 0) != 0) return std::nullopt;
    const size_t slash = relativePath.find('/', clips.size());
    if (slash == std::string::npos) return std::nullopt;
    return relativePath.substr(clips.size(), slash - clips.size());
}

std::optional<CardSeen> CardReading::Identify(const std::string& folder, int64_t seenAt) {
    try {
        return ReadValues(folder, qzimport::OpenCard(folder), seenAt, true);
    } catch (const qzimport::ImportError& e) {
        if (e.Kind() == ComVantoVantoQZ64RADPlug::CUFailureKind::kNotACard) return std::nullopt;
        throw CatalogError(e.what(), CUFailureKind::kProblems);
    }
}

CardSeen CardReading::ReadFiles(const std::string& folder, int64_t seenAt) {
    CardSeen card = ReadValues(folder, Open(folder), seenAt, false);
    card.volumeKey = VolumeKey(folder);
    card.files = Files(folder, {});
    return card;
}

CardSeen CardReading::Read(const std::string& folder, const std::vector<qzoffload::HashFormat>& formats,
                           int64_t seenAt) {
    return Read(folder, Open(folder), formats, seenAt);
}

CardSeen CardReading::Read(const std::string& folder, const CUSharedPtr<CFBCContent>& content,
                           const std::vector<qzoffload::HashFormat>& formats, int64_t seenAt) {
    CardSeen card = ReadValues(folder, content, seenAt, true);
    card.volumeKey = VolumeKey(folder);
    std::set<std::string> clipIds;
    for (const ClipSeen& clip : card.clips) clipIds.insert(clip.clipId);
    card.files = Files(folder, clipIds);
    for (CardFileSeen& file : card.files) {
        if (formats.empty()) break;
        std::string failure;
        file.hashes = qzoffload::HashSet::OfFile(folder + "/" + file.path, formats, failure);
        if (!failure.empty())
            throw CatalogError("cannot read " + folder + "/" + file.path + ": " + failure,
                               CUFailureKind::kProblems);
    }
    return card;
}

}  // namespace qzcatalog

#pragma once
// What a run tells the catalog, as plain values the commands and the
// catalog's own readers (CardReading, HistoryReading) fill in: a card seen
// with its clips and files, the copies one ASC MHL history vouches for, a
// check, an export's outputs. Dates are seconds since 1970 (UTC); paths are
// '/'-separated; texts are bytes, recorded as they are.
#include "CUVolumeIdentity.h"
#include "HashList.h"
#include "HashSet.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qzcatalog {

struct ClipSeen {
    std::string clipId;
    std::optional<std::string> umid;  // the relay UMID, dotted hex
    std::optional<std::string> startTimecode;
    std::optional<std::string> endTimecode;  // of the last frame
    std::optional<int64_t> durationFrames;
    std::optional<std::string> durationTimecode;
    std::optional<std::string> frameRate;    // "59.94i"
    std::optional<std::string> pictureSize;  // "1920x1080"
    std::optional<std::string> audioLayout;  // "4 ch"
    std::optional<std::string> title;
    std::optional<std::string> creator;
    std::optional<std::string> description;
    std::optional<std::string> shootingDate;  // ISO 8601
    std::optional<std::string> cameraMake;
    std::optional<std::string> cameraModel;
    std::optional<std::string> cameraSerial;
    std::optional<std::string> location;
    // The relay links that chain a recording across clips and cards.
    std::optional<std::string> relayMediumId;
    std::optional<std::string> previousMediumId, previousClipId, previousUmid;
    std::optional<std::string> nextMediumId, nextClipId, nextUmid;
};

struct CardFileSeen {
    std::string path;  // relative to the card folder
    std::optional<int64_t> size;
    std::optional<int64_t> modifiedNs;  // nanoseconds since 1970
    // Of the bytes the file held with that size and time; may be empty.
    qzoffload::FileHashes hashes;
    std::optional<std::string> clipId;  // the clip whose folder holds it
};

struct CardSeen {
    // The medium's UUID text; empty for a folder that is not a card, which
    // `copyKey` then names.
    std::string mediumId;
    std::string copyKey;
    std::string folderName;
    // The key of the volume the card was read on (CUVolumeIdentity); empty
    // when it was known through a copy.
    std::string volumeKey;
    int64_t seenAt = 0;
    // true: the card itself was read, and `files` lists every file it holds
    // now (files the catalog knew of that are gone and have no copy are
    // forgotten); false: it was known through a copy of it.
    bool direct = true;
    std::vector<ClipSeen> clips;
    std::vector<CardFileSeen> files;

    // "medium:<medium ID>" or "copy:<copyKey>".
    std::string Key() const { return mediumId.empty() ? "copy:" + copyKey : "medium:" + mediumId; }
};

struct CopySeen {
    std::string cardPath;  // the card file it is a copy of, relative to the card folder
    std::string path;      // on the volume, relative to its mount point
    std::optional<int64_t> size;
    std::optional<int64_t> modified;
    // Of the newest entry the history holds for the file: failed when any of
    // its hashes failed, else verified when any was verified.
    qzoffload::HashAction action = qzoffload::HashAction::kOriginal;
    std::map<qzoffload::HashFormat, qzoffload::MhlHash> hashes;
    int64_t vouchedAt = 0;  // the entry's hash date, else its generation's creation date
    uint64_t generation = 0;
    std::string generationFile;
};

// The copies one ASC MHL history vouches for, of one card.
struct CopiesSeen {
    CardSeen card;  // direct = false; files as the history lists them
    ComVantoVantoQZ64RADPlug::CUVolumeIdentity volume;
    std::string historyPath;  // the folder holding ascmhl/, on the volume
    std::vector<CopySeen> copies;
};

struct CheckResultSeen {
    std::string clipId;  // verify: the clip checked
    std::string path;    // offload-check: the file, relative to the copy's folder
    std::string result;  // "clean", "changed", "missing", "problems"
    std::string detail;
};

struct CheckSeen {
    std::string kind;  // "verify", "verify-decode", "offload-check"
    int64_t checkedAt = 0;
    std::string mediumId;  // the card checked, or the card the copy holds; may be empty for a copy
    // offload-check: the copy's volume and the folder holding its ascmhl/.
    std::optional<ComVantoVantoQZ64RADPlug::CUVolumeIdentity> volume;
    std::string historyPath;
    std::vector<CheckResultSeen> results;
};

struct OutputSeen {
    std::string mediumId;  // the clip's card
    std::string clipId;
    std::string path;  // absolute
    std::optional<int64_t> size;
    std::string format;                      // "mov", "mxf", "es", "proxy"
    std::optional<std::string> codec;        // proxy: "prores-proxy", "h264", ...
    std::optional<std::string> pictureSize;  // proxy: "960x540"
    std::optional<int64_t> inFrame, outFrame;
    std::string recordPath;
    int64_t exportedAt = 0;
};

// Everything one run learned, recorded in one transaction: cards before
// the copies of them, checks after the copies they check.
struct RunSeen {
    std::vector<CardSeen> cards;
    std::vector<CopiesSeen> copies;
    std::vector<CheckSeen> checks;
    std::vector<OutputSeen> outputs;
};

}  // namespace qzcatalog

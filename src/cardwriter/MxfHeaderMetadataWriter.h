// MxfHeaderMetadataWriter: writes the primer pack and the header metadata
// sets of one file (preface, identification, content storage, material and
// file packages with their tracks, descriptors, essence container data).
// Thread-safety: immutable after construction; const members may run concurrently.
#pragma once

#include "MxfFileWriter.h"
#include "MxfKlvWriter.h"

#include <cstdint>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

// Values the file writer resolves before writing the header (defaults of
// the description filled in).
struct MxfResolvedValues {
    MxfUmid materialUmid{};
    MxfUmid fileUmid{};
    uint16_t timecodeBase = 0;
    uint8_t profileAndLevel = 0x82;
};

class MxfHeaderMetadataWriter {
public:
    MxfHeaderMetadataWriter(const MxfFileDescription& description, const MxfResolvedValues& values);

    void WritePrimer(MxfKlvWriter& out) const;
    void WriteSets(MxfKlvWriter& out) const;

    // Essence container labels of the file, as the preface and every
    // partition pack list them.
    std::vector<MxfKey> EssenceContainers() const;
    // Instance UID of set `kind` number `index`: unique within the file and
    // deterministic for a description.
    MxfKey InstanceUid(uint8_t kind, uint16_t index) const;

    // Track IDs (1-based) and the file package track numbers (the last four
    // bytes of the essence element keys).
    uint32_t TimecodeTrackId() const { return 1; }
    uint32_t PictureTrackId() const { return 2; }
    uint32_t SoundTrackId(uint32_t channel) const { return 3 + channel; }
    static uint32_t PictureTrackNumber();
    uint32_t SoundTrackNumber(uint32_t channel) const;

private:
    struct TrackPlan {
        uint32_t trackId;
        uint32_t fileTrackNumber;
        const MxfKey* dataDefinition;
        bool timecode;
        uint16_t index;  // distinguishes the track's sets
    };
    std::vector<TrackPlan> Tracks() const;
    void WritePackage(MxfKlvWriter& out, bool material) const;
    void WritePictureDescriptor(MxfKlvWriter& out) const;
    void WriteSoundDescriptor(MxfKlvWriter& out, uint32_t channel) const;
    void WriteTimestamp(MxfKlvWriter& out, uint16_t tag) const;

    const MxfFileDescription& mDescription;
    MxfResolvedValues mValues;
};

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter

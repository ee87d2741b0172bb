#pragma once
// Reader of the card's media index INDEX.MIF: header, clip identifier table,
// clip information table, media metadata block and extension word at fixed
// offsets. Create reads at most kFileSize bytes of the file into memory
// under the file's exclusive advisory lock, checks them and turns every
// index entry into a CFBCClip, in index order. Built on one thread; afterwards the getters may be called from
// several threads as long as nobody calls a setter.
#include "CUMutableArray.h"
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "CUStringMac.h"
#include "FBCContentValueTag.h"
#include "FBC_Utl_File.h"
#include "MediaMetadata.h"

#include <array>
#include <cstdint>
#include <optional>

namespace ComVantoVantoQZ64RADPlug {

class CUMemoryStream;
class CUStream;
class CUUUID;
class MetaDataManager;

// Where reading an index stopped (MIFStream::FailedStep); tells a user why a
// folder is not a card.
enum _MIFReadStep : uint32_t {
    kMIFReadStepNone = 0,           // read completely, or stopped at an unsupported major version
    kMIFReadStepFile = 1,           // no path, or the file cannot be opened and read
    kMIFReadStepMagic = 2,          // the first two bytes are not "MI"
    kMIFReadStepHeader = 3,         // version, system bitmap or the bytes after it beyond the end
    kMIFReadStepClipCount = 4,      // clip count unreadable or above 999
    kMIFReadStepClipIDTable = 5,    // an invalid clip identifier record, or the table beyond the end
    kMIFReadStepCIFTable = 6,       // the clip information table beyond the end
    kMIFReadStepClip = 7,           // a clip object could not be made
    kMIFReadStepMediaMetadata = 8,  // media metadata block beyond the end or without "MM"
    kMIFReadStepExtension = 9,      // extension word beyond the end
};

class MIFStream : public CUObject {
public:
    static constexpr uint16_t kMagic = 0x4D49;  // "MI"
    static constexpr uint16_t kNewVersion = 0x0101;
    static constexpr uint8_t kSupportedMajorVersion = 1;
    static constexpr uint32_t kMaxClipCount = 999;

    // Layout; offsets from the start of the file.
    static constexpr uint32_t kOffsetMagic = 0;
    static constexpr uint32_t kOffsetVersion = 2;
    static constexpr uint32_t kOffsetSystemBitmap = 4;
    static constexpr uint32_t kOffsetReserved5 = 5;
    static constexpr uint32_t kReserved5Size = 3;
    static constexpr uint32_t kOffsetClipCount = 8;
    static constexpr uint32_t kOffsetClipIDTable = 12;
    static constexpr uint32_t kOffsetReserved12000 = 12000;
    static constexpr uint32_t kReserved12000Size = 288;
    static constexpr uint32_t kOffsetCIFTable = 0x3000;
    static constexpr uint32_t kOffsetMediaMetadata = 0x273600;
    static constexpr uint32_t kOffsetExtension = 0x2745FC;
    // The whole file: every table slot is always present. Bytes beyond it
    // are never read.
    static constexpr uint32_t kFileSize = 0x274600;

    // Frame-rate type bits of the system bitmap.
    static constexpr uint8_t kFrameRateType5994 = 0x01;  // 59.94i, 29.97P, 23.98P, 59.94P, 23.98P pull-down
    static constexpr uint8_t kFrameRateType50 = 0x02;    // 50i, 25P, 50P
    static constexpr uint8_t kFrameRateType24 = 0x04;    // 24.00P (minor version 1 and above)

    // State values (GetState).
    static constexpr uint32_t kStateUsable = 0;
    static constexpr uint32_t kStateNoMediaMetadata = 1;
    static constexpr uint32_t kStateUnsupportedVersion = 2;
    static constexpr uint32_t kStateFrameRateTypeNotAllowed = 3;

    MIFStream();
    ~MIFStream() override;

    // Reads the index at `path`; null for a null path or when Init fails
    // (result, when given, receives Init's code).
    static CUSharedPtr<MIFStream> Create(const CUSharedPtr<CUStringMac>& path, uint32_t* result = nullptr);
    // A new, empty index held in memory: version kNewVersion, frame-rate
    // type 0 and a new media metadata block with a fresh UUID.
    static CUSharedPtr<MIFStream> Create();

    // 0, or the code of the first step that failed: kResultNullArgument (no
    // path, or the file cannot be read), kResultNotReady, kResultReadFailure
    // (wrong magic, clip count above 999, an invalid clip identifier record,
    // a clip that cannot be made, no media metadata block, a field beyond
    // the end of the file). A major version other than 1 stops the read
    // early and still answers 0 (GetState then answers 2).
    uint32_t Init(const CUSharedPtr<CUStringMac>& path);
    // The same over the bytes of a stream (at most kFileSize of them);
    // `path` names the file, whose folder is the clips folder of the clips.
    uint32_t Init(const CUSharedPtr<CUStringMac>& path, const CUSharedPtr<CUStream>& stream);

    // 0 usable; 1 no media metadata; 2 index or media metadata major version
    // not 1; 3 frame-rate type not allowed for the minor version.
    uint32_t GetState() const;

    // The clips in index order (shared, not copied).
    CUSharedPtr<CUMutableArray> ClipArray() const { return m_ClipArray; }
    // Replaces the clip array by a copy of `clips` (same objects): 0, or
    // kResultNullArgument (array unchanged) for a null array; an empty
    // array is how every clip is removed.
    uint32_t SetClipArray(const CUSharedPtr<CUMutableArray>& clips);

    // bitmap & 7 with a non-zero minor version, bitmap & 3 with minor
    // version 0; 0 when the major version is not 1.
    uint8_t FrameRateType() const;
    // Replaces the frame-rate bits of the system bitmap (bits 0-2, or 0-1
    // with minor version 0); the other bits stay.
    void setFrameRateType(uint8_t type);

    uint16_t IndexVersion() const { return m_Version; }
    // The clip count as stored in the file (also when it was refused).
    uint32_t StoredClipCount() const { return m_StoredClipCount; }
    uint8_t SystemBitmap() const { return m_SystemBitmap; }
    CUSharedPtr<CUStringMac> FilePath() const { return m_Path; }
    CUSharedPtr<MediaMetadata> GetMediaMetadata() const { return m_MediaMetadata; }

    // See _ContentValueTag; a new object per request, null for other tags
    // and for the media ID without media metadata.
    CUSharedPtr<CUObject> ValueForTag(_ContentValueTag tag) const;
    // Sets one value: a CUUUID for the media ID, a CUNumber for the others.
    // 0, or kResultNullArgument for a null value, a value of another type,
    // an unknown tag or (media ID) no media metadata.
    uint32_t SetValueForTag(const CUSharedPtr<CUObject>& value, _ContentValueTag tag);

    // Writes the index as it stands in memory to `path`: every field at its
    // offset, one identifier and information record per clip of the clip
    // array, the media metadata block; the reserved bytes and the extension
    // word as read (zero for a new index). The file is replaced whole under
    // its exclusive lock (written beside it, then renamed), so a failed write
    // leaves it as it was. Written back to the file it was read from, it
    // replaces only that file as it was read: the same file (device and
    // inode), size and modification time, holding the same medium UUID;
    // another card mounted there, or another writer's version, is left
    // alone. 0 (the path is then this index's path and the modified flag is
    // cleared); kResultNullArgument without a path; kResultNotReady for an
    // index of another major version (never read past its header), without
    // media metadata, with more than 999 clips or a clip without its
    // records; kResultFileChanged when the file at the path is no longer the
    // one read; kResultFileOperationFailure when the file cannot be written.
    uint32_t WriteToFile(const CUSharedPtr<CUStringMac>& path);
    // As WriteToFile, but only where nothing is at `path` yet, never
    // replacing a file created there meanwhile: kResultFileOperationFailure
    // when something is there or the file cannot be written.
    uint32_t WriteToNewFile(const CUSharedPtr<CUStringMac>& path);

    // The identity of the file this index was last read from or written
    // to, taken under the file's lock with the read; none for an index read
    // from a stream or made in memory.
    std::optional<FBC_FileIdentity> FileIdentity() const { return m_FileIdentity; }

    // Where the last Init stopped; kMIFReadStepNone after a success.
    _MIFReadStep FailedStep() const { return m_FailedStep; }

    // Set at construction and by every setter; cleared only when a whole
    // file has been read.
    bool isModify() const { return m_Modified; }

    CUSharedPtr<CUStringMac> Description() const override;

private:
    uint32_t ReadHeader(MetaDataManager& reader);
    uint32_t ReadClipInfo(MetaDataManager& reader);
    uint32_t ReadMediaMetadata(MetaDataManager& reader);
    uint32_t ReadExtension(MetaDataManager& reader);
    // The whole file image of the index as it stands in memory (see WriteToFile).
    uint32_t BuildImage(CUSharedPtr<CUMemoryStream>& image) const;
    // Takes over the path and identity of a file just written.
    void Written(const CUSharedPtr<CUStringMac>& path, const FBC_FileIdentity& identity);

    CUSharedPtr<CUStringMac> m_Path;
    uint16_t m_Version = 0;
    uint8_t m_SystemBitmap = 0;
    uint32_t m_StoredClipCount = 0;
    uint32_t m_Extension = 0;
    std::array<unsigned char, kReserved5Size> m_Reserved5{};
    std::array<unsigned char, kReserved12000Size> m_Reserved12000{};
    CUSharedPtr<MediaMetadata> m_MediaMetadata;
    CUSharedPtr<CUMutableArray> m_ClipArray;
    bool m_Modified = true;
    // The file as read or last written, and the medium UUID it held.
    std::optional<FBC_FileIdentity> m_FileIdentity;
    CUSharedPtr<CUUUID> m_FileMediaID;
    _MIFReadStep m_FailedStep = kMIFReadStepNone;
};

}  // namespace ComVantoVantoQZ64RADPlug

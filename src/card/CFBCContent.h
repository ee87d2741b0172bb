#pragma once
// One recording medium (a card) mounted at a folder: derives the card paths
// from the folder, opens the media index CONTENTS/CLIPS001/INDEX.MIF and
// holds the card's clips in index order. Clips are found from the index
// entries only, never by listing folders. A clip whose own checks fail keeps
// its state and is left out of OfferedClipList; the card stays usable.
// Built and queried on the caller's thread: the content object serialises
// its own operations with its lock, but the shared clip array must not be
// walked while another thread re-opens the card. Nothing here writes to the
// card.
#include "CUDateTime.h"
#include "CUMutableArray.h"
#include "CUObject.h"
#include "CURecursiveLock.h"
#include "CUSharedPtr.h"
#include "CUStringMac.h"
#include "FBCContentValueTag.h"
#include "MIFStream.h"

#include <cstdint>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class CFBCClip;

enum _ContentsMediaType : uint32_t {
    kContentsMediaTypeCard = 3,
    kContentsMediaTypeVirtual = 4,
};

// Whether a folder is a usable card (CFBCContent::ContentState).
enum _ContentState : uint32_t {
    kContentStateReady = 0,        // a card: the host accepts it
    kContentStateInvalid = 1,      // no readable index, or no media metadata
    kContentStateUnsupported = 2,  // index or media metadata major version not 1
    kContentStateBadSystem = 3,    // frame-rate type not allowed for the index version
};

// Fixed names of the card layout.
extern const char* const kContentsFolderName;  // "CONTENTS"
extern const char* const kClipsFolderName;     // "CLIPS001"
extern const char* const kMediaIndexFileName;  // "INDEX.MIF"

class CFBCContent : public CUObject {
public:
    CFBCContent();
    ~CFBCContent() override;

    // Null when either string is null, or when Init fails. After Init -
    // failed or not - logs "Create Media Path[%s] Name[%s] Type[%d]" at level 3.
    static CUSharedPtr<CFBCContent> Create(const CUSharedPtr<CUStringMac>& rootPath,
                                           const CUSharedPtr<CUStringMac>& displayName,
                                           _ContentsMediaType mediaType = kContentsMediaTypeCard);

    // 0; kResultNullArgument for a null string; kResultPathMissing when the
    // paths cannot be formed; kResultReadFailure for a card whose index is
    // missing, unreadable or malformed. A clip failing its own checks does
    // not fail the card.
    uint32_t Init(const CUSharedPtr<CUStringMac>& rootPath, const CUSharedPtr<CUStringMac>& displayName,
                  _ContentsMediaType mediaType);

    // See _ContentState.
    _ContentState ContentState() const;

    // The clip array itself (not a copy): every index entry in index order,
    // offered or not.
    CUSharedPtr<CUArray> ClipList() const;
    // A new array of the clips the host may offer, in index order: those
    // whose check passed at opening, whose clip state is 0 and whose
    // information file and member MXF files existed then.
    CUSharedPtr<CUArray> OfferedClipList() const;
    size_t GetClipCnt() const;
    // Whether clip `index` of ClipList is offered (see OfferedClipList).
    bool IsClipOffered(size_t index) const;
    // The code of clip `index`'s file check at opening (CFBCClip::CheckFiles);
    // kResultNotReady for an index beyond the list.
    uint32_t ClipCheckResult(size_t index) const;

    CUSharedPtr<CUStringMac> GetRootPath() const { return m_RootPath; }
    CUSharedPtr<CUStringMac> GetClipsPath() const { return m_ClipsPath; }
    CUSharedPtr<CUStringMac> GetIndexPath() const { return m_IndexPath; }
    CUSharedPtr<CUStringMac> GetDisplayName() const { return m_DisplayName; }
    _ContentsMediaType GetMediaIconType() const { return m_MediaType; }
    uint64_t GetInstanceID() const { return m_InstanceID; }
    // The opened media index, or null.
    CUSharedPtr<MIFStream> GetMIFStream() const;

    // Re-derives clips path and index path from the root path: 0 or
    // kResultPathMissing. No file system test is made.
    uint32_t UpdateFilePath();
    // Re-reads the index and rebuilds the clip list: 0; kResultReadFailure
    // for a card whose index cannot be read (the clip list is then empty).
    uint32_t UpdateMifStream();
    // Takes over the index's clips and lets each check its files: 0, or
    // kResultPathMissing without an index or its clip array.
    uint32_t UpdateClipArray();
    uint32_t ReOpenContentData();

    // A file exists at the index path.
    bool ContentDataFileExist() const;
    // The index file's modification time differs from the one recorded at
    // the last opening; false when either is missing.
    bool isMidifyFromOther() const;
    // Re-opens when readiness and the index file's existence disagree, or
    // when the index changed on disk; `changed` (may be null) tells whether
    // it did. Answers the re-open's code, else 0.
    uint32_t ReOpenContentDataIfDataExistStateChanged(bool* changed);

    // The media index's value; null for a tag above 3 or without an index.
    CUSharedPtr<CUObject> ValueForTag(_ContentValueTag tag) const;
    // kResultNullArgument for a null value; kResultPathMissing for a tag
    // above 3 or without an index; otherwise the index's answer. Changes
    // the value in memory only.
    uint32_t SetValueForTag(const CUSharedPtr<CUObject>& value, _ContentValueTag tag);

    // The clip with that instance ID, or null.
    CUSharedPtr<CFBCClip> clipForClipInstanceID(uint64_t instanceID) const;

    CUSharedPtr<CUStringMac> Description() const override;

private:
    mutable CURecursiveLock m_Lock;
    uint64_t m_InstanceID = 0;
    CUSharedPtr<CUStringMac> m_RootPath;
    CUSharedPtr<CUStringMac> m_ClipsPath;
    CUSharedPtr<CUStringMac> m_IndexPath;
    _ContentsMediaType m_MediaType = kContentsMediaTypeCard;
    CUSharedPtr<CUStringMac> m_DisplayName;
    CUSharedPtr<CUMutableArray> m_ClipArray;
    CUSharedPtr<MIFStream> m_MIFStream;
    CUSharedPtr<CUDateTime> m_IndexModifyTime;
    bool m_ClipListStale = true;
    // Per clip of m_ClipArray, as found when the list was built.
    std::vector<uint32_t> m_ClipCheckResults;
    std::vector<bool> m_ClipOffered;
};

}  // namespace ComVantoVantoQZ64RADPlug

#pragma once
// One recording medium (a card) mounted at a folder: derives the card paths
// from the folder, opens the media index CONTENTS/CLIPS001/INDEX.MIF and
// holds the card's clips in index order. Clips are found from the index
// entries only, never by listing folders. A clip whose own checks fail keeps
// its state and is left out of OfferedClipList; the card stays usable.
// Built and queried on the caller's thread: the content object serialises
// its own operations with its lock, but the shared clip array must not be
// walked while another thread re-opens the card. Reading never writes to
// the card; only the management operations at the end (which no import path
// calls) do.
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
class CUUUID;

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

// How a content object came to be (Get/SetMediaCreationType).
enum _MediaCreationType : uint32_t {
    kMediaCreationTypeOpened = 0,  // an existing card, opened with Create
    kMediaCreationTypeNew = 1,     // a new empty card made by CreateNewMedia
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
    // The index file now at the path is not the version last read or
    // written (another file, size or modification time to the nanosecond);
    // false when either is missing.
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

    // Card management. No import path calls these; they are the only
    // operations of this class that write to a card.

    // Makes a new empty card at `rootPath` (an existing folder holding no
    // INDEX.MIF): CONTENTS/CLIPS001 and an index of version 0x0101 with the
    // frame-rate type (1, 2 or 4), the medium UUID `mediaID` (a fresh one
    // when null) and no clips, then opens it. Null when InitNewMedia fails.
    // After InitNewMedia - failed or not - logs "Create New Media Path[%s]
    // Name[%s] Type[%d] FrameRateType[%d]" at level 3.
    static CUSharedPtr<CFBCContent> CreateNewMedia(const CUSharedPtr<CUStringMac>& rootPath,
                                                   const CUSharedPtr<CUStringMac>& displayName,
                                                   _ContentsMediaType mediaType,
                                                   const CUSharedPtr<CUUUID>& mediaID, uint8_t frameRateType);
    // 0; kResultNullArgument for a null string or a frame-rate type other
    // than 1, 2 or 4; kResultPathMissing when the root is not an existing
    // folder; kResultFileOperationFailure when something is at the index
    // path already (an existing card is never overwritten) or the folders or
    // the index cannot be written; else the code of opening the new card.
    uint32_t InitNewMedia(const CUSharedPtr<CUStringMac>& rootPath,
                          const CUSharedPtr<CUStringMac>& displayName, _ContentsMediaType mediaType,
                          const CUSharedPtr<CUUUID>& mediaID, uint8_t frameRateType);

    // A new root folder (the card mounted elsewhere): re-derives the paths
    // and hands the new clips path to every clip; reads nothing. 0,
    // kResultNullArgument for a null path, or the first path code.
    uint32_t SetRootPath(const CUSharedPtr<CUStringMac>& rootPath);
    // 0, or kResultNullArgument for a null name.
    uint32_t SetDisplayName(const CUSharedPtr<CUStringMac>& displayName);
    // Writes the media index back to the index path when it was modified
    // (values, frame-rate type, clip array), then takes over its clip list
    // and its new identity. Only over the index file this object read (or
    // last wrote), unchanged and of the same medium: another card mounted at
    // the path, or a newer version another writer made, is left as it is
    // (kResultFileChanged; the changes stay in memory). 0 (also when nothing
    // was modified); kResultPathMissing without an index; else
    // MIFStream::WriteToFile's code.
    uint32_t Flush();
    // Logs "Delete Media Path [%s]" and deletes the root's CONTENTS tree,
    // following no symbolic link out of it. Refused (nothing deleted) unless
    // this object opened a card and the index now at its path is still that
    // card's (same medium UUID): kResultPathMissing without an opened index,
    // kResultReadFailure when the index cannot be read or names another
    // medium; kResultFileOperationFailure when CONTENTS is no real folder or
    // not everything could be deleted (the card is then read again). After a
    // deletion the clip list is empty.
    uint32_t DeleteContent();

    // The smallest clip number for user ID `userID` (two characters) that no
    // clip of the card uses and whose clip folder name is free in the clips
    // folder: 0 and *number; kResultNullArgument for an invalid user ID or a
    // null out pointer; kResultNotReady when the index is full (999 clips)
    // or no number 1-9999 is free.
    uint32_t CheckClipNumber(const CUSharedPtr<CUStringMac>& userID, uint32_t* number) const;
    // A file or folder named `clipID` (a clip ID such as "QZ0001") exists in
    // the clips folder; false for anything that is not a clip ID.
    bool ClipFileExist(const CUSharedPtr<CUStringMac>& clipID) const;
    // The card holds a clip with the same clip ID and the same clip
    // information record as `clip` (a clip of another card, say).
    bool CheckContainSameClip(const CUSharedPtr<CFBCClip>& clip) const;
    // A clip of the card has its backup flag on.
    bool CheckContainBackupClip() const;
    // Selects or deselects every clip.
    void SetSelectedAllClip(bool selected);
    // Every clip forgets its kept thumbnail (read again when next asked).
    void ResetAllClipThumbnail();
    // Deletes every clip's .THM file and forgets the kept thumbnails: 0, or
    // the first deletion's failure code (the other files are still tried).
    uint32_t ClearClipThumbnailFiles();
    // The root folder of the volume that holds the card (its mount point);
    // null when it cannot be determined.
    CUSharedPtr<CUStringMac> GetDriveLetter() const;
    // Lets go of the medium: drops the index and the clips held in memory so
    // nothing of the card is retained (it may then be ejected);
    // ReOpenContentData reads it again. The content holds no file open or
    // locked between calls, so nothing else is released.
    void UnlockMedia();
    // An object of the managing application kept with the content.
    void SetFBCData(const CUSharedPtr<CUObject>& data);
    CUSharedPtr<CUObject> GetFBCData() const;
    // See _MediaCreationType; Create sets kMediaCreationTypeOpened,
    // CreateNewMedia kMediaCreationTypeNew.
    void SetMediaCreationType(_MediaCreationType type);
    _MediaCreationType GetMediaCreationType() const;

private:
    // Instance ID, clip array and copies of the strings (Init steps 1-5).
    uint32_t InitFields(const CUSharedPtr<CUStringMac>& rootPath, const CUSharedPtr<CUStringMac>& displayName,
                        _ContentsMediaType mediaType);
    void DropClips();
    // Clears the back pointer of every clip of the clip array.
    void ReleaseClips();
    // The clips of the clip array (other objects left out).
    std::vector<CUSharedPtr<CFBCClip>> Clips() const;

    mutable CURecursiveLock m_Lock;
    uint64_t m_InstanceID = 0;
    CUSharedPtr<CUStringMac> m_RootPath;
    CUSharedPtr<CUStringMac> m_ClipsPath;
    CUSharedPtr<CUStringMac> m_IndexPath;
    _ContentsMediaType m_MediaType = kContentsMediaTypeCard;
    CUSharedPtr<CUStringMac> m_DisplayName;
    CUSharedPtr<CUMutableArray> m_ClipArray;
    CUSharedPtr<MIFStream> m_MIFStream;
    bool m_ClipListStale = true;
    // Per clip of m_ClipArray, as found when the list was built.
    std::vector<uint32_t> m_ClipCheckResults;
    std::vector<bool> m_ClipOffered;
    CUSharedPtr<CUObject> m_FBCData;
    _MediaCreationType m_MediaCreationType = kMediaCreationTypeOpened;
};

}  // namespace ComVantoVantoQZ64RADPlug

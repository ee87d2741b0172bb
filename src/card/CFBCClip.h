#pragma once
// One clip of a card: its identifier, its clip information block, the paths
// of its folder and files, the values read from its first MXF file, its
// clip metadata document and custom picture data, and every clip value by
// tag (ValueForTag). Thread safety: every reading operation holds the
// clip's recursive object lock, so one clip may be queried from several
// threads; values are returned as new objects (or copies of kept ones) that
// belong to the caller. File operations of a managing application take the
// separate file-operation lock.
#include "CFBCAnalyzeClipMetaData.h"
#include "CIFStream.h"
#include "CUFailure.h"
#include "CUMutableArray.h"
#include "CUObject.h"
#include "CURecursiveLock.h"
#include "CUSharedPtr.h"
#include "CUStringMac.h"
#include "CUVector.h"
#include "ClipClock.h"
#include "ClipIDInfo.h"
#include "FBCClipTypes.h"
#include "FBCClipValueTag.h"
#include "MXFStream.h"
#include "TimecodeInfo.h"
#include "UMID.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CFBCContent;
class CUArray;

class CFBCClip : public CUObject {
public:
    // Custom picture files are small presets; a bigger one is not loaded
    // rather than read whole into memory.
    static constexpr uint64_t kMaxCustomPictureBytes = 1024 * 1024;
    // The same bound for a thumbnail picture file.
    static constexpr uint64_t kMaxThumbnailBytes = 1024 * 1024;

    CFBCClip();
    CFBCClip(const CFBCClip&) = delete;
    CFBCClip& operator=(const CFBCClip&) = delete;
    ~CFBCClip() override;

    // A clip of the clips folder `clipsPath` (CONTENTS/CLIPS001 of its
    // card). Null when an argument is missing or Init fails. Touches no file:
    // CheckFiles reads the clip's files.
    static CUSharedPtr<CFBCClip> Create(const CUSharedPtr<CUStringMac>& clipsPath,
                                        const CUSharedPtr<ClipIDInfo>& clipID,
                                        const CUSharedPtr<CIFStream>& cif);
    // 0; kResultNullArgument for a missing argument; kResultNotReady when a
    // copy cannot be made; kResultPathMissing when the paths cannot be formed.
    uint32_t Init(const CUSharedPtr<CUStringMac>& clipsPath, const CUSharedPtr<ClipIDInfo>& clipID,
                  const CUSharedPtr<CIFStream>& cif);

    // Recomputes the clip folder and the .CIF, .XML, .THM and .CPF paths
    // (no file-system test); 0 or kResultPathMissing.
    uint32_t UpdateFilePath();
    // Member paths "<clip ID>NN.MXF" / "<clip ID>NN.SIF"; null outside 1-99.
    CUSharedPtr<CUStringMac> MXFPathFromNumber(uint32_t number) const;
    CUSharedPtr<CUStringMac> SIFPathFromNumber(uint32_t number) const;
    // The MXF paths of the member entries, in the block's order (an element
    // is null where the entry's number gives no path); null without a list.
    CUSharedPtr<CUArray> AllMXFFilePath() const;
    // True when the .CIF file and every member MXF file exist (the .SIF
    // files are optional and not required).
    bool ExistsPlayableFiles() const;

    // Prepares the clip after card opening: paths, values of the MXF files,
    // custom picture data, clip metadata document. 0, or the path code.
    // Also checks, cheaply, what an import opens first: the clip's own
    // information file (a whole block with a member list) and the end of
    // every member file between the first and the last (which the values
    // read parses whole); a failure there is kept for LastFailure and does
    // not change the result. Reads only; never writes to the card.
    uint32_t CheckFiles();
    // 1 without an information block; else 0 when both block versions are
    // supported, 2 when not. Only clips in state 0 are offered.
    uint32_t GatClipState() const;

    // Plain back pointer: the content owns its clips, not the reverse.
    void SetMedia(CFBCContent* media);
    CFBCContent* GetMedia() const;
    // The content's instance ID; 0 without content.
    uint64_t GetMediaInstanceID() const;
    uint64_t GetInstanceID() const;

    // Moves the clip to another clips folder (its card mounted elsewhere)
    // and recomputes its paths; no file is touched. 0, kResultNullArgument
    // for a missing path, or the path code.
    uint32_t SetClipsPath(const CUSharedPtr<CUStringMac>& clipsPath);

    // Selection of a managing application; false for a new clip.
    void SetSelected(bool selected);
    bool IsSelected() const;

    // The bytes of the clip's .THM file, read once and then kept (a copy per
    // call); null when the file is missing or larger than kMaxThumbnailBytes.
    CUSharedPtr<CUVector<unsigned char>> GetThumbnailData();
    // Forgets the kept thumbnail, so the next GetThumbnailData reads again.
    void ResetThumbnail();

    void LockForFileOperation();
    void UnlockForFileOperation();

    // Total bytes of the clip's existing files (each file counted once);
    // computed once, then kept.
    int64_t GetClipFileSize();
    // Total bytes of the existing member MXF files (each counted once).
    int64_t TotalMxfSize() const;

    // Every value of the clip by tag (see _ClipValueTag); null when the
    // value or its source is missing or the tag is 76 or more. Never throws.
    CUSharedPtr<CUObject> ValueForTag(_ClipValueTag tag);
    // Duration from the frame count, frame rate and drop-frame flag, counted
    // as the frame-count conversion counts it (pictures halved at 50 and 60
    // per second); null when a value is missing, the rate is unknown or the
    // hours would not fit the timecode.
    CUSharedPtr<TimecodeInfo> CalculateDuration();
    // Reads the first and last member files' source package UIDs and the
    // first file's relay package UID. Always 0: a missing or unreadable file
    // leaves its values null.
    uint32_t ReadClipInfoFromMXF();
    // Why the clip's last file read (CheckFiles, ReadClipInfoFromMXF) could
    // not read its information file or a member file: what failed, the file
    // and the byte offset, as the reader reported it. Success when every
    // file read (a missing file is no failure here: ExistsPlayableFiles
    // tells). A copy, taken under the clip's lock.
    CUFailure LastFailure() const;
    // 1 the 59.94 family, 2 the 50 family, 3 24.00P, 0 otherwise.
    uint32_t TVSystemType();
    CUSharedPtr<CUStringMac> GetClipID() const;
    bool isDropFrame() const;
    // Rounded timecode base of the clip's frame rate; 0 when unknown.
    uint32_t RoundedTimecodeBase();
    // The clock of the clip's frame rate and drop-frame flag; one that knows
    // nothing when the rate is unknown.
    ClipClock Clock();
    // Timecode of clip frame `frameNumber` (0 = first picture) from the start
    // timecode; null without a start timecode or a known frame rate, for a
    // negative frame number, or when the hours would not fit the timecode.
    CUSharedPtr<TimecodeInfo> CalculateTimcodeFromFrameNo(int64_t frameNumber);

    // A new, unparsed reader of member file `number`; null when the file is
    // missing or cannot be opened.
    CUSharedPtr<MXFStream> MXFStreamAtStreamNumber(uint32_t number) const;

    // Values kept by ReadClipInfoFromMXF (copies; null when not read).
    CUSharedPtr<UMID> FirstMxfUMID() const;
    CUSharedPtr<UMID> LastMxfUMID() const;

    CUSharedPtr<ClipIDInfo> GetClipIDInfo() const;
    CUSharedPtr<CIFStream> GetCIFStream() const;
    // The clip metadata document as read by CheckFiles; null without one.
    // Not synchronised itself: use it under the clip's lock (Lock/Unlock).
    CUSharedPtr<CFBCAnalyzeClipMetaData> GetClipMetaData() const;
    CUSharedPtr<CUMutableArray> GetShotMarks() const;
    CUSharedPtr<CUMutableArray> GetEventMarks() const;

    CUSharedPtr<CUStringMac> GetClipsPath() const;
    CUSharedPtr<CUStringMac> GetClipPath() const;
    CUSharedPtr<CUStringMac> GetCIFPath() const;
    CUSharedPtr<CUStringMac> GetXMLPath() const;
    CUSharedPtr<CUStringMac> GetTHMPath() const;
    CUSharedPtr<CUStringMac> GetCPFPath() const;

    // The clip's object lock, for callers that need several reads to agree.
    void Lock() const;
    void Unlock() const;

private:
    // The block values are read from: the clip's own copy when it has one.
    CUSharedPtr<CIFStream> ValueSource() const;
    CUSharedPtr<CUObject> GetValueFromCIF(_ClipValueTag tag) const;
    CUSharedPtr<CUObject> GetValueFromXML(_ClipValueTag tag) const;
    CUSharedPtr<CUObject> GetValueFromFrontMXF();
    CUSharedPtr<CUObject> GetValueFromContent(_ClipValueTag tag) const;
    CUSharedPtr<CUObject> ShootingDateTime() const;
    CUSharedPtr<CUArray> MemberStreams() const;
    // Paths of every existing member MXF (and, with sif, SIF) file, each once.
    void CollectMemberFiles(bool sif, CUMutableArray& paths) const;
    void LoadCustomPictureData();
    void LoadClipMetaData();

    mutable CURecursiveLock m_Lock;
    mutable CURecursiveLock m_FileLock;
    uint64_t m_InstanceID = 0;
    CUSharedPtr<ClipIDInfo> m_ClipIDInfo;
    CUSharedPtr<CIFStream> m_CIFStream;
    CUSharedPtr<CIFStream> m_CIFStreamCopy;
    CUSharedPtr<CUStringMac> m_ClipsPath;
    CUSharedPtr<CUStringMac> m_ClipPath;
    CUSharedPtr<CUStringMac> m_CIFPath;
    CUSharedPtr<CUStringMac> m_XMLPath;
    CUSharedPtr<CUStringMac> m_THMPath;
    CUSharedPtr<CUStringMac> m_CPFPath;
    bool m_DropFrame = false;
    CUSharedPtr<CFBCAnalyzeClipMetaData> m_ClipMetaData;
    CUSharedPtr<CFBCAnalyzeClipMetaData> m_ClipMetaDataCopy;
    CUSharedPtr<CUVector<unsigned char>> m_CustomPictureData;
    CUSharedPtr<CUMutableArray> m_ShotMarks;
    CUSharedPtr<CUMutableArray> m_EventMarks;
    CFBCContent* m_Media = nullptr;
    CUSharedPtr<UMID> m_FirstMxfUMID;
    CUSharedPtr<UMID> m_LastMxfUMID;
    CUSharedPtr<UMID> m_RelayPackageUID;
    bool m_MXFRead = false;
    // Written by the const opener too, always under m_Lock.
    mutable CUFailure m_LastFailure;
    // The source package UID of an opened member file; null when it does not
    // parse (the reason is noted).
    CUSharedPtr<UMID> SourcePackageUIDOf(const CUSharedPtr<MXFStream>& stream);
    // Keeps the first failure of a read (under m_Lock).
    void NoteFailure(const CUFailure& failure) const;
    // The import's own reads, done cheaply (see CheckFiles); notes failures.
    void CheckOwnInformationFile();
    void CheckMemberFileEnds();
    // Notes a member file whose index does not reach its last edit unit.
    void CheckIndexReachesEnd(MXFStream& stream, const CUSharedPtr<CUStringMac>& path);
    int64_t m_ClipFileSize = -1;  // -1 until computed
    bool m_Selected = false;
    CUSharedPtr<CUVector<unsigned char>> m_Thumbnail;
};

}  // namespace ComVantoVantoQZ64RADPlug

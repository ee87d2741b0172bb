#include "CFBCContent.h"

#include "CFBCClip.h"
#include "CIFStream.h"
#include "CUArray.h"
#include "CUAutoLock.h"
#include "CUDateTime.h"
#include "CUDirectory.h"
#include "CUDriveInfo.h"
#include "CUFailure.h"
#include "CUFile.h"
#include "CUIdentifierGenerator.h"
#include "CULog.h"
#include "CUMutableArray.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "CUUUID.h"
#include "ClipIDInfo.h"
#include "FBCClipTypes.h"
#include "FBCResultCodes.h"
#include "FBC_Utl_File.h"
#include "FBC_Utl_Path.h"
#include "MIFStream.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// `text` starts with two characters a user ID may hold.
bool StartsWithUserID(const std::string& text) {
    return text.size() >= 2 && ClipIDInfo::IsValidUserIDCharacter(static_cast<unsigned char>(text[0])) &&
           ClipIDInfo::IsValidUserIDCharacter(static_cast<unsigned char>(text[1]));
}

// A new content object prepared by `init` (its Init or InitNewMedia); null
// when that fails or throws.
template <class Initialise>
CUSharedPtr<CFBCContent> MakeContent(Initialise init) {
    try {
        CUSharedPtr<CFBCContent> content(new CFBCContent());
        return init(*content) == 0 ? content : nullptr;
    } catch (const CUError&) {
        return nullptr;
    }
}

}  // namespace

const char* const kContentsFolderName = "CONTENTS";
const char* const kClipsFolderName = "CLIPS001";
const char* const kMediaIndexFileName = "INDEX.MIF";

CFBCContent::CFBCContent() = default;

CFBCContent::~CFBCContent() {
    // Clips keep a plain pointer back to their content; clear it in case a
    // caller still holds one of them.
    if (!m_ClipArray) return;
    for (const CUSharedPtr<CUObject>& object : m_ClipArray->GetInternalArray()) {
        CUSharedPtr<CFBCClip> clip = object;
        if (clip && clip->GetMedia() == this) clip->SetMedia(nullptr);
    }
}

CUSharedPtr<CFBCContent> CFBCContent::Create(const CUSharedPtr<CUStringMac>& rootPath,
                                             const CUSharedPtr<CUStringMac>& displayName,
                                             _ContentsMediaType mediaType) {
    if (!rootPath || !displayName) return nullptr;
    CUSharedPtr<CFBCContent> content =
        MakeContent([&](CFBCContent& c) { return c.Init(rootPath, displayName, mediaType); });
    CULog::Write(kCULogLevelInfo, "Create Media Path[%s] Name[%s] Type[%d]", rootPath->Utf8().c_str(),
                 displayName->Utf8().c_str(), static_cast<int>(mediaType));
    return content;
}

uint32_t CFBCContent::Init(const CUSharedPtr<CUStringMac>& rootPath,
                           const CUSharedPtr<CUStringMac>& displayName, _ContentsMediaType mediaType) {
    CUAutoLock lock(&m_Lock);
    const uint32_t code = InitFields(rootPath, displayName, mediaType);
    if (code != 0) return code;
    return UpdateMifStream();
}

uint32_t CFBCContent::InitFields(const CUSharedPtr<CUStringMac>& rootPath,
                                 const CUSharedPtr<CUStringMac>& displayName, _ContentsMediaType mediaType) {
    m_InstanceID = static_cast<uint64_t>(CUIdentifierGenerator::SharedInstance()->GenerateIdentifier());
    if (!rootPath || !displayName) return kResultNullArgument;
    m_ClipArray = CUMutableArray::Create();
    if (!m_ClipArray) return kResultPathMissing;
    m_MediaType = mediaType;
    m_RootPath = CUSharedPtr<CUStringMac>(new CUStringMac(rootPath));
    m_DisplayName = CUSharedPtr<CUStringMac>(new CUStringMac(displayName));
    return UpdateFilePath();
}

_ContentState CFBCContent::ContentState() const {
    CUAutoLock lock(&m_Lock);
    if (!m_IndexPath) return kContentStateInvalid;
    if (!m_MIFStream) return kContentStateInvalid;
    switch (m_MIFStream->GetState()) {
        case MIFStream::kStateUsable:
            return kContentStateReady;
        case MIFStream::kStateUnsupportedVersion:
            return kContentStateUnsupported;
        case MIFStream::kStateFrameRateTypeNotAllowed:
            return kContentStateBadSystem;
        default:
            return kContentStateInvalid;
    }
}

CUSharedPtr<CUArray> CFBCContent::ClipList() const {
    CUAutoLock lock(&m_Lock);
    return m_ClipArray;
}

CUSharedPtr<CUArray> CFBCContent::OfferedClipList() const {
    CUAutoLock lock(&m_Lock);
    CUSharedPtr<CUMutableArray> offered = CUMutableArray::Create();
    if (!m_ClipArray || !offered) return offered;
    for (size_t i = 0; i < m_ClipArray->Count(); ++i)
        if (IsClipOffered(i)) offered->AddObject(m_ClipArray->ObjectAtIndex(i));
    return offered;
}

size_t CFBCContent::GetClipCnt() const {
    CUAutoLock lock(&m_Lock);
    return m_ClipArray ? m_ClipArray->Count() : 0;
}

bool CFBCContent::IsClipOffered(size_t index) const {
    CUAutoLock lock(&m_Lock);
    return index < m_ClipOffered.size() && m_ClipOffered[index];
}

uint32_t CFBCContent::ClipCheckResult(size_t index) const {
    CUAutoLock lock(&m_Lock);
    return index < m_ClipCheckResults.size() ? m_ClipCheckResults[index] : kResultNotReady;
}

CUSharedPtr<MIFStream> CFBCContent::GetMIFStream() const {
    CUAutoLock lock(&m_Lock);
    return m_MIFStream;
}

uint32_t CFBCContent::UpdateFilePath() {
    CUAutoLock lock(&m_Lock);
    m_ClipsPath = nullptr;
    m_IndexPath = nullptr;
    if (m_RootPath) {
        CUSharedPtr<CUStringMac> contents =
            FBC_Utl_PathAppending(m_RootPath, CUStringMac::Create(kContentsFolderName));
        if (contents) m_ClipsPath = FBC_Utl_PathAppending(contents, CUStringMac::Create(kClipsFolderName));
        if (!m_ClipsPath) return kResultPathMissing;
        m_IndexPath = FBC_Utl_PathAppending(m_ClipsPath, CUStringMac::Create(kMediaIndexFileName));
        m_ClipListStale = true;
    }
    return (m_ClipsPath && m_IndexPath) ? 0 : kResultPathMissing;
}

uint32_t CFBCContent::UpdateMifStream() {
    CUAutoLock lock(&m_Lock);
    // The index keeps the identity of the file it read (taken under the
    // file's lock before the bytes), against which later changes show.
    m_MIFStream = MIFStream::Create(m_IndexPath);
    if (m_MIFStream) {
        if (m_MIFStream->GetState() == MIFStream::kStateUsable) return UpdateClipArray();
        // The content exists, but it is not a card this system reads.
        DropClips();
        return 0;
    }
    DropClips();
    return m_MediaType != kContentsMediaTypeVirtual ? kResultReadFailure : 0;
}

std::vector<CUSharedPtr<CFBCClip>> CFBCContent::Clips() const {
    std::vector<CUSharedPtr<CFBCClip>> clips;
    for (const CUSharedPtr<CUObject>& object : m_ClipArray->GetInternalArray()) {
        CUSharedPtr<CFBCClip> clip = object;
        if (clip) clips.push_back(clip);
    }
    return clips;
}

void CFBCContent::ReleaseClips() {
    // A clip that leaves the array may live on with whoever holds it; its
    // plain pointer back to this content must not outlive the content.
    for (const CUSharedPtr<CFBCClip>& clip : Clips())
        if (clip->GetMedia() == this) clip->SetMedia(nullptr);
}

void CFBCContent::DropClips() {
    ReleaseClips();
    m_ClipArray->RemoveAllObjects();
    m_ClipCheckResults.clear();
    m_ClipOffered.clear();
}

uint32_t CFBCContent::UpdateClipArray() {
    CUAutoLock lock(&m_Lock);
    if (!m_MIFStream || !m_MIFStream->ClipArray()) return kResultPathMissing;
    // Those staying get their pointer back below.
    ReleaseClips();
    m_ClipArray->SetArray(CUSharedPtr<CUArray>(m_MIFStream->ClipArray()));
    m_ClipListStale = false;
    m_ClipCheckResults.assign(m_ClipArray->Count(), kResultNotReady);
    m_ClipOffered.assign(m_ClipArray->Count(), false);
    // Each clip keeps the outcome of its own check: a clip that fails is not
    // offered, the others - and the card - stay usable, whichever position
    // the failing clip has.
    for (size_t i = 0; i < m_ClipArray->Count(); ++i) {
        CUSharedPtr<CFBCClip> clip = m_ClipArray->ObjectAtIndex(i);
        if (!clip) continue;
        clip->SetMedia(this);
        uint32_t code = kResultNotReady;
        try {
            code = clip->CheckFiles();
            m_ClipOffered[i] = code == 0 && clip->GatClipState() == 0 && clip->ExistsPlayableFiles();
        } catch (const CUError&) {
            code = kResultReadFailure;
        }
        m_ClipCheckResults[i] = code;
    }
    return 0;
}

uint32_t CFBCContent::ReOpenContentData() {
    return UpdateMifStream();
}

bool CFBCContent::ContentDataFileExist() const {
    CUAutoLock lock(&m_Lock);
    try {
        return m_IndexPath && CUFile::Exists(m_IndexPath);
    } catch (const CUError&) {
        return false;
    }
}

bool CFBCContent::isMidifyFromOther() const {
    CUAutoLock lock(&m_Lock);
    // The whole identity, not the time to the second: a rewrite within the
    // second of the read, or a replacement keeping the time, shows too.
    const std::optional<FBC_FileIdentity> read = m_MIFStream ? m_MIFStream->FileIdentity() : std::nullopt;
    FBC_FileIdentity now;
    if (!read || !FBC_Utl_GetFileIdentityWithLock(m_IndexPath, &now)) return false;
    return !(now == *read);
}

uint32_t CFBCContent::ReOpenContentDataIfDataExistStateChanged(bool* changed) {
    CUAutoLock lock(&m_Lock);
    if (changed) *changed = false;
    const bool ready = ContentState() == kContentStateReady;
    const bool exists = ContentDataFileExist();
    if (ready != exists || (ready && exists && isMidifyFromOther())) {
        if (changed) *changed = true;
        return ReOpenContentData();
    }
    return 0;
}

CUSharedPtr<CUObject> CFBCContent::ValueForTag(_ContentValueTag tag) const {
    CUAutoLock lock(&m_Lock);
    if (tag >= kContentValueTagCount || !m_MIFStream) return nullptr;
    return m_MIFStream->ValueForTag(tag);
}

uint32_t CFBCContent::SetValueForTag(const CUSharedPtr<CUObject>& value, _ContentValueTag tag) {
    CUAutoLock lock(&m_Lock);
    if (!value) return kResultNullArgument;
    if (tag >= kContentValueTagCount || !m_MIFStream) return kResultPathMissing;
    return m_MIFStream->SetValueForTag(value, tag);
}

CUSharedPtr<CFBCClip> CFBCContent::clipForClipInstanceID(uint64_t instanceID) const {
    CUAutoLock lock(&m_Lock);
    if (!m_ClipArray) return nullptr;
    for (const CUSharedPtr<CUObject>& object : m_ClipArray->GetInternalArray()) {
        CUSharedPtr<CFBCClip> clip = object;
        if (clip && clip->GetInstanceID() == instanceID) return clip;
    }
    return nullptr;
}

CUSharedPtr<CUStringMac> CFBCContent::Description() const {
    CUAutoLock lock(&m_Lock);
    std::string text = "CFBCContent{";
    text += CU_NEWLINE_CHAR;
    if (m_RootPath) text += "root = " + m_RootPath->Utf8() + CU_NEWLINE_CHAR;
    if (m_DisplayName) text += "disp = " + m_DisplayName->Utf8() + CU_NEWLINE_CHAR;
    if (m_MediaType == kContentsMediaTypeCard)
        text += "type = Card";
    else if (m_MediaType == kContentsMediaTypeVirtual)
        text += "type = Virtual";
    else
        text += "type = ----";
    text += CU_NEWLINE_CHAR;
    text += "}";
    return CUStringMac::Create(text.c_str());
}

CUSharedPtr<CFBCContent> CFBCContent::CreateNewMedia(const CUSharedPtr<CUStringMac>& rootPath,
                                                     const CUSharedPtr<CUStringMac>& displayName,
                                                     _ContentsMediaType mediaType,
                                                     const CUSharedPtr<CUUUID>& mediaID,
                                                     uint8_t frameRateType) {
    if (!rootPath || !displayName) return nullptr;
    CUSharedPtr<CFBCContent> content = MakeContent([&](CFBCContent& c) {
        return c.InitNewMedia(rootPath, displayName, mediaType, mediaID, frameRateType);
    });
    CULog::Write(kCULogLevelInfo, "Create New Media Path[%s] Name[%s] Type[%d] FrameRateType[%d]",
                 rootPath->Utf8().c_str(), displayName->Utf8().c_str(), static_cast<int>(mediaType),
                 static_cast<int>(frameRateType));
    return content;
}

uint32_t CFBCContent::InitNewMedia(const CUSharedPtr<CUStringMac>& rootPath,
                                   const CUSharedPtr<CUStringMac>& displayName, _ContentsMediaType mediaType,
                                   const CUSharedPtr<CUUUID>& mediaID, uint8_t frameRateType) {
    CUAutoLock lock(&m_Lock);
    uint32_t code = InitFields(rootPath, displayName, mediaType);
    if (code != 0) return code;
    // Only a type the new index's version allows makes a card that opens.
    if (frameRateType != MIFStream::kFrameRateType5994 && frameRateType != MIFStream::kFrameRateType50 &&
        frameRateType != MIFStream::kFrameRateType24)
        return kResultNullArgument;
    try {
        if (!CUDirectory::Exists(m_RootPath)) return kResultPathMissing;
        // Never over an existing card (or anything else at the index path).
        if (CUFile::Exists(m_IndexPath) || CUDirectory::Exists(m_IndexPath))
            return kResultFileOperationFailure;
        CUSharedPtr<MIFStream> index = MIFStream::Create();
        if (!index) return kResultNotReady;
        if (mediaID && (code = index->SetValueForTag(mediaID, kContentValueMediaID)) != 0) return code;
        index->setFrameRateType(frameRateType);
        CUSharedPtr<CUStringMac> contents = FBC_Utl_RemoveLastComponent(m_ClipsPath);
        const bool hadContents = CUDirectory::Exists(contents), hadClips = CUDirectory::Exists(m_ClipsPath);
        CUDirectory::CreateDirectory(m_ClipsPath);
        // Created only where nothing is yet: another process creating a
        // card in the same folder meanwhile keeps its own.
        if ((code = index->WriteToNewFile(m_IndexPath)) != 0) {
            // A failed card leaves no folders of its own behind.
            if (!hadClips) CUDirectory::Delete(m_ClipsPath);
            if (!hadContents) CUDirectory::Delete(contents);
            return code;
        }
    } catch (const CUError&) {
        return kResultFileOperationFailure;  // a folder could not be made
    }
    m_MediaCreationType = kMediaCreationTypeNew;
    return UpdateMifStream();
}

uint32_t CFBCContent::SetRootPath(const CUSharedPtr<CUStringMac>& rootPath) {
    CUAutoLock lock(&m_Lock);
    if (!rootPath || rootPath->IsNull()) return kResultNullArgument;
    m_RootPath = CUSharedPtr<CUStringMac>(new CUStringMac(rootPath));
    uint32_t code = UpdateFilePath();
    if (code != 0) return code;
    for (const CUSharedPtr<CFBCClip>& clip : Clips()) {
        const uint32_t clipCode = clip->SetClipsPath(m_ClipsPath);
        if (code == 0) code = clipCode;
    }
    return code;
}

uint32_t CFBCContent::SetDisplayName(const CUSharedPtr<CUStringMac>& displayName) {
    CUAutoLock lock(&m_Lock);
    if (!displayName || displayName->IsNull()) return kResultNullArgument;
    m_DisplayName = CUSharedPtr<CUStringMac>(new CUStringMac(displayName));
    return 0;
}

uint32_t CFBCContent::Flush() {
    CUAutoLock lock(&m_Lock);
    if (!m_MIFStream || !m_IndexPath) return kResultPathMissing;
    if (!m_MIFStream->isModify()) return 0;
    // Written only over the index as it was read: the index then takes the
    // identity of its own write, which is not a change made by another.
    const uint32_t code = m_MIFStream->WriteToFile(m_IndexPath);
    if (code != 0) return code;
    return m_MIFStream->GetState() == MIFStream::kStateUsable ? UpdateClipArray() : 0;
}

uint32_t CFBCContent::DeleteContent() {
    CUAutoLock lock(&m_Lock);
    CULog::Write(kCULogLevelInfo, "Delete Media Path [%s]", m_RootPath ? m_RootPath->Utf8().c_str() : "");
    if (!m_MIFStream || !m_RootPath || !m_IndexPath) return kResultPathMissing;
    // The folder must still hold the card this object opened: another card
    // (or none) mounted at the same path in the meantime is left alone.
    CUSharedPtr<MIFStream> onDisk = MIFStream::Create(m_IndexPath);
    CUSharedPtr<CUUUID> opened = m_MIFStream->ValueForTag(kContentValueMediaID);
    CUSharedPtr<CUUUID> found = onDisk ? onDisk->ValueForTag(kContentValueMediaID) : nullptr;
    if (!opened || !found || !(*opened == *found)) return kResultReadFailure;
    const uint32_t code =
        FBC_Utl_DeleteFolderTree(FBC_Utl_PathAppending(m_RootPath, CUStringMac::Create(kContentsFolderName)));
    if (code != 0) {
        // Nothing, or not all, was deleted: hold what is left.
        UpdateMifStream();
        return code;
    }
    m_MIFStream = nullptr;
    DropClips();
    return 0;
}

uint32_t CFBCContent::CheckClipNumber(const CUSharedPtr<CUStringMac>& userID, uint32_t* number) const {
    CUAutoLock lock(&m_Lock);
    if (!number || !userID || userID->IsNull()) return kResultNullArgument;
    const std::string user = userID->Utf8();
    if (user.size() != 2 || !StartsWithUserID(user)) return kResultNullArgument;
    if (m_ClipArray->Count() >= MIFStream::kMaxClipCount) return kResultNotReady;
    std::set<uint32_t> used;
    for (const CUSharedPtr<CFBCClip>& clip : Clips()) {
        CUSharedPtr<ClipIDInfo> id = clip->GetClipIDInfo();
        if (id && id->UserID() && id->UserID()->Utf8() == user) used.insert(id->ClipNumber());
    }
    for (uint32_t candidate = ClipIDInfo::kMinClipNumber; candidate <= ClipIDInfo::kMaxClipNumber;
         ++candidate) {
        if (used.count(candidate)) continue;
        char clipID[16];
        std::snprintf(clipID, sizeof clipID, "%s%04u", user.c_str(), candidate);
        if (ClipFileExist(CUStringMac::Create(clipID))) continue;
        *number = candidate;
        return 0;
    }
    return kResultNotReady;
}

bool CFBCContent::ClipFileExist(const CUSharedPtr<CUStringMac>& clipID) const {
    CUAutoLock lock(&m_Lock);
    if (!clipID || clipID->IsNull() || !m_ClipsPath) return false;
    // Only a clip ID: two user-ID characters and four digits, so the name
    // can never lead out of the clips folder.
    const std::string text = clipID->Utf8();
    if (text.size() != 6 || !StartsWithUserID(text) ||
        text.find_first_not_of("0123456789", 2) != std::string::npos)
        return false;
    try {
        CUSharedPtr<CUStringMac> path = FBC_Utl_PathAppending(m_ClipsPath, clipID);
        return path && (CUFile::Exists(path) || CUDirectory::Exists(path));
    } catch (const CUError&) {
        return false;
    }
}

bool CFBCContent::CheckContainSameClip(const CUSharedPtr<CFBCClip>& clip) const {
    CUAutoLock lock(&m_Lock);
    CUSharedPtr<CUStringMac> id = clip ? clip->GetClipID() : nullptr;
    CUSharedPtr<CIFStream> block = clip ? clip->GetCIFStream() : nullptr;
    if (!id || !block || !block->Bytes()) return false;
    for (const CUSharedPtr<CFBCClip>& mine : Clips()) {
        CUSharedPtr<CUStringMac> mineID = mine->GetClipID();
        CUSharedPtr<CIFStream> mineBlock = mine->GetCIFStream();
        if (mineID && mineBlock && mineBlock->Bytes() && mineID->Utf8() == id->Utf8() &&
            std::memcmp(mineBlock->Bytes(), block->Bytes(), CIFStream::kBlockSize) == 0)
            return true;
    }
    return false;
}

bool CFBCContent::CheckContainBackupClip() const {
    CUAutoLock lock(&m_Lock);
    for (const CUSharedPtr<CFBCClip>& clip : Clips()) {
        CUSharedPtr<CUNumber> flag = CUDynamicCast<CUNumber>(clip->ValueForTag(kClipValueBackupFlag));
        if (flag && flag->SInt32Value() == kBackupFlagOn) return true;
    }
    return false;
}

void CFBCContent::SetSelectedAllClip(bool selected) {
    CUAutoLock lock(&m_Lock);
    for (const CUSharedPtr<CFBCClip>& clip : Clips()) clip->SetSelected(selected);
}

void CFBCContent::ResetAllClipThumbnail() {
    CUAutoLock lock(&m_Lock);
    for (const CUSharedPtr<CFBCClip>& clip : Clips()) clip->ResetThumbnail();
}

uint32_t CFBCContent::ClearClipThumbnailFiles() {
    CUAutoLock lock(&m_Lock);
    uint32_t code = 0;
    for (const CUSharedPtr<CFBCClip>& clip : Clips()) {
        const uint32_t deleted = FBC_Utl_DeleteFile(clip->GetTHMPath());
        clip->ResetThumbnail();
        if (code == 0) code = deleted;
    }
    return code;
}

CUSharedPtr<CUStringMac> CFBCContent::GetDriveLetter() const {
    CUAutoLock lock(&m_Lock);
    if (!m_RootPath) return nullptr;
    try {
        CUSharedPtr<CUDriveInfo> drive = CUDriveInfo::CreateCUDriveInfo(m_RootPath);
        return drive ? drive->GetName() : nullptr;
    } catch (const CUError&) {
        return nullptr;
    }
}

void CFBCContent::UnlockMedia() {
    CUAutoLock lock(&m_Lock);
    m_MIFStream = nullptr;
    DropClips();
}

void CFBCContent::SetFBCData(const CUSharedPtr<CUObject>& data) {
    CUAutoLock lock(&m_Lock);
    m_FBCData = data;
}

CUSharedPtr<CUObject> CFBCContent::GetFBCData() const {
    CUAutoLock lock(&m_Lock);
    return m_FBCData;
}

void CFBCContent::SetMediaCreationType(_MediaCreationType type) {
    CUAutoLock lock(&m_Lock);
    m_MediaCreationType = type;
}

_MediaCreationType CFBCContent::GetMediaCreationType() const {
    CUAutoLock lock(&m_Lock);
    return m_MediaCreationType;
}

}  // namespace ComVantoVantoQZ64RADPlug

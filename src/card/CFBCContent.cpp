#include "CFBCContent.h"

#include "CFBCClip.h"
#include "CUArray.h"
#include "CUAutoLock.h"
#include "CUDateTime.h"
#include "CUFailure.h"
#include "CUFile.h"
#include "CUIdentifierGenerator.h"
#include "CULog.h"
#include "CUMutableArray.h"
#include "CUStringMac.h"
#include "FBCResultCodes.h"
#include "FBC_Utl_File.h"
#include "FBC_Utl_Path.h"
#include "MIFStream.h"

#include <string>

namespace ComVantoVantoQZ64RADPlug {

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
    CUSharedPtr<CFBCContent> content;
    uint32_t code = kResultNotReady;
    try {
        content = CUSharedPtr<CFBCContent>(new CFBCContent());
        code = content->Init(rootPath, displayName, mediaType);
    } catch (const CUError&) {
        code = kResultNotReady;
    }
    CULog::Write(kCULogLevelInfo, "Create Media Path[%s] Name[%s] Type[%d]", rootPath->Utf8().c_str(),
                 displayName->Utf8().c_str(), static_cast<int>(mediaType));
    if (code != 0) return nullptr;
    return content;
}

uint32_t CFBCContent::Init(const CUSharedPtr<CUStringMac>& rootPath,
                           const CUSharedPtr<CUStringMac>& displayName, _ContentsMediaType mediaType) {
    CUAutoLock lock(&m_Lock);
    m_InstanceID = static_cast<uint64_t>(CUIdentifierGenerator::SharedInstance()->GenerateIdentifier());
    if (!rootPath || !displayName) return kResultNullArgument;
    m_ClipArray = CUMutableArray::Create();
    if (!m_ClipArray) return kResultPathMissing;
    m_MediaType = mediaType;
    m_RootPath = CUSharedPtr<CUStringMac>(new CUStringMac(rootPath));
    m_DisplayName = CUSharedPtr<CUStringMac>(new CUStringMac(displayName));
    const uint32_t code = UpdateFilePath();
    if (code != 0) return code;
    return UpdateMifStream();
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
    // The time is taken before the read: a change made while the index is
    // being read then shows as a later modification, instead of being
    // recorded as already seen.
    CUSharedPtr<CUDateTime> modifyTime = FBC_Utl_GetFileModifyTimeWithLock(m_IndexPath);
    m_MIFStream = MIFStream::Create(m_IndexPath);
    if (m_MIFStream) {
        m_IndexModifyTime = modifyTime;
        if (m_MIFStream->GetState() == MIFStream::kStateUsable) return UpdateClipArray();
        // The content exists, but it is not a card this system reads.
        m_ClipArray->RemoveAllObjects();
        m_ClipCheckResults.clear();
        m_ClipOffered.clear();
        return 0;
    }
    m_ClipArray->RemoveAllObjects();
    m_ClipCheckResults.clear();
    m_ClipOffered.clear();
    return m_MediaType != kContentsMediaTypeVirtual ? kResultReadFailure : 0;
}

uint32_t CFBCContent::UpdateClipArray() {
    CUAutoLock lock(&m_Lock);
    if (!m_MIFStream || !m_MIFStream->ClipArray()) return kResultPathMissing;
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
    if (!m_IndexModifyTime) return false;
    CUSharedPtr<CUDateTime> now = FBC_Utl_GetFileModifyTimeWithLock(m_IndexPath);
    if (!now) return false;
    return !(*now == *m_IndexModifyTime);
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

}  // namespace ComVantoVantoQZ64RADPlug

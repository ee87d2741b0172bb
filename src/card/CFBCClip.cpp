#include "CFBCClip.h"

#include "CFBCAnalyzeClipMetaData.h"
#include "CFBCContent.h"
#include "CIFStream.h"
#include "CUArray.h"
#include "CUAutoLock.h"
#include "CUDateTime.h"
#include "CUFile.h"
#include "CUFileInfo.h"
#include "CUFileStream.h"
#include "CUIdentifierGenerator.h"
#include "CULog.h"
#include "CUNumber.h"
#include "ClipAttributes.h"
#include "ClipIDInfo.h"
#include "CodingInfo.h"
#include "FBCResultCodes.h"
#include "FBC_Utl_ClipMemberFilePath.h"
#include "FBC_Utl_File.h"
#include "FBC_Utl_Path.h"
#include "FBC_Utl_String.h"
#include "FBC_Utl_Timecode.h"
#include "MXFStream.h"
#include "MXFUtilities.h"
#include "MemberStreamInfo.h"
#include "RecordTimeandDate.h"
#include "RecordingModeInformation.h"
#include "RelayInformation.h"
#include "UMID.h"

#include <climits>
#include <set>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

namespace {

constexpr const char* kExtensionCIF = ".CIF";
constexpr const char* kExtensionXML = ".XML";
constexpr const char* kExtensionTHM = ".THM";
constexpr const char* kExtensionCPF = ".CPF";

// The infrared bit exists only in clip metadata areas newer than 1.0.
constexpr uint16_t kMetadataVersionWithInfrared = 0x0100;

CUSharedPtr<CUStringMac> ClipFileName(const CUSharedPtr<CUStringMac>& clipID, const char* extension) {
    if (!clipID || clipID->IsNull()) return CUSharedPtr<CUStringMac>();
    return CUStringMac::CreateWithFormat(CUStringMac::Create(CFBCClip_FileNameFormat),
                                         static_cast<const char*>(*clipID), extension);
}

CUSharedPtr<CUStringMac> CopyOf(const CUSharedPtr<CUStringMac>& text) {
    if (!text || text->IsNull()) return CUSharedPtr<CUStringMac>();
    return CUSharedPtr<CUStringMac>(new CUStringMac(*text));
}

// The whole file when it exists and holds at most `limit` bytes, else null.
// The whole of a small file of the clip folder (custom picture, thumbnail);
// null when it is missing, unreadable or larger than `limit`. The file stream
// opens regular files only: a named pipe or a device in the clip folder is no
// such file and must not block the reader.
CUSharedPtr<CUVector<unsigned char>> ReadSmallFile(const CUSharedPtr<CUStringMac>& path, uint64_t limit) {
    if (!path || !CUFile::Exists(path)) return nullptr;
    CUFileStream in(path, kCUStreamModeOpen, kCUStreamAccessRead, /*noThrow=*/true);
    if (!in.CanRead()) return nullptr;
    const uint64_t size = in.Length();
    if (size > limit) return nullptr;
    CUSharedPtr<CUVector<unsigned char>> data = CUVector<unsigned char>::Create();
    data->resize(static_cast<size_t>(size));
    try {
        if (size > 0 && in.Read(data->data(), size, 0, kCUStreamSeekBegin) != size) return nullptr;
    } catch (const CUError&) {
        return nullptr;  // an unreadable file is one the clip does not have
    }
    return data;
}

CUSharedPtr<UMID> CopyOf(const CUSharedPtr<UMID>& umid) {
    if (!umid) return CUSharedPtr<UMID>();
    return CUSharedPtr<UMID>(new UMID(*umid));
}

template <class T>
CUSharedPtr<CUObject> Number(T value) {
    return CUNumber::Create<T>(value);
}

uint64_t FileSize(const CUSharedPtr<CUStringMac>& path) {
    if (!path || path->IsNull()) return 0;
    try {
        CUSharedPtr<CUFileInfo> info(new CUFileInfo(path));
        if (!info->Exists()) return 0;
        return FBC_Utl_GetFileSize(info);
    } catch (const CUError&) {
        return 0;
    }
}

bool IsLeapYear(uint32_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// A calendar date and time the camera could have written.
bool IsValidDateTime(const RecordTimeandDate& date) {
    static const uint8_t kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (date.month < 1 || date.month > 12 || date.day < 1) return false;
    uint32_t days = kDaysInMonth[date.month - 1];
    if (date.month == 2 && IsLeapYear(date.year)) days = 29;
    return date.day <= days && date.hour < 24 && date.minute < 60 && date.second < 60;
}

}  // namespace

CFBCClip::CFBCClip() = default;

CFBCClip::~CFBCClip() = default;

CUSharedPtr<CFBCClip> CFBCClip::Create(const CUSharedPtr<CUStringMac>& clipsPath,
                                       const CUSharedPtr<ClipIDInfo>& clipID,
                                       const CUSharedPtr<CIFStream>& cif) {
    if (!clipsPath || clipsPath->IsNull() || !clipID || !cif) return CUSharedPtr<CFBCClip>();
    CUSharedPtr<CFBCClip> clip;
    uint32_t result = kResultNotReady;
    try {
        clip = CUSharedPtr<CFBCClip>(new CFBCClip());
        result = clip->Init(clipsPath, clipID, cif);
    } catch (const CUError&) {
        result = kResultNotReady;
    }
    CUSharedPtr<CUStringMac> id = clipID->ClipIDString();
    const char* idText = id ? static_cast<const char*>(*id) : nullptr;
    CULog::Write(kCULogLevelInfo, "Create Clip Path[%s] ID[%s]", static_cast<const char*>(*clipsPath),
                 idText ? idText : "(NULL)");
    if (FBCResultFailed(result)) return CUSharedPtr<CFBCClip>();
    return clip;
}

uint32_t CFBCClip::Init(const CUSharedPtr<CUStringMac>& clipsPath, const CUSharedPtr<ClipIDInfo>& clipID,
                        const CUSharedPtr<CIFStream>& cif) {
    CUAutoLock lock(&m_Lock);
    m_DropFrame = false;
    if (!clipsPath || clipsPath->IsNull() || !clipID || !cif) return kResultNullArgument;

    m_ClipIDInfo = clipID;
    m_CIFStream = cif;
    m_CIFStreamCopy = cif->Copy();
    m_ClipsPath = CopyOf(clipsPath);
    m_ShotMarks = CUMutableArray::Create();
    m_EventMarks = CUMutableArray::Create();
    if (!m_ClipIDInfo || !m_CIFStream || !m_CIFStreamCopy || !m_ClipsPath || !m_ShotMarks || !m_EventMarks)
        return kResultNotReady;

    // The marks belong to a managing application; they are only kept.
    m_ShotMarks->AddObjectsFromArray(CUDynamicCast<CUArray>(ValueSource()->ValueForTag(kCIFValueShotMarks)));
    m_EventMarks->AddObjectsFromArray(
        CUDynamicCast<CUArray>(ValueSource()->ValueForTag(kCIFValueEventMarks)));
    m_InstanceID = static_cast<uint64_t>(CUIdentifierGenerator::SharedInstance()->GenerateIdentifier());

    const uint32_t pathResult = UpdateFilePath();
    if (FBCResultFailed(pathResult)) return pathResult;

    CUSharedPtr<CUNumber> dropFrame = CUDynamicCast<CUNumber>(GetValueFromCIF(kClipValueDropFrameFlag));
    m_DropFrame = dropFrame && dropFrame->SInt32Value() != 0;
    return 0;
}

uint32_t CFBCClip::UpdateFilePath() {
    CUAutoLock lock(&m_Lock);
    m_ClipPath = nullptr;
    m_CIFPath = nullptr;
    m_XMLPath = nullptr;
    m_THMPath = nullptr;
    m_CPFPath = nullptr;
    if (m_ClipsPath && m_ClipIDInfo) {
        CUSharedPtr<CUStringMac> clipID = m_ClipIDInfo->ClipIDString();
        m_ClipPath = FBC_Utl_PathAppending(m_ClipsPath, clipID);
        if (!m_ClipPath) return kResultPathMissing;
        m_CIFPath = FBC_Utl_PathAppending(m_ClipPath, ClipFileName(clipID, kExtensionCIF));
        m_XMLPath = FBC_Utl_PathAppending(m_ClipPath, ClipFileName(clipID, kExtensionXML));
        m_THMPath = FBC_Utl_PathAppending(m_ClipPath, ClipFileName(clipID, kExtensionTHM));
        m_CPFPath = FBC_Utl_PathAppending(m_ClipPath, ClipFileName(clipID, kExtensionCPF));
    }
    if (m_ClipPath && m_CIFPath && m_XMLPath && m_THMPath && m_CPFPath) return 0;
    return kResultPathMissing;
}

CUSharedPtr<CUStringMac> CFBCClip::MXFPathFromNumber(uint32_t number) const {
    CUAutoLock lock(&m_Lock);
    if (!m_ClipIDInfo) return CUSharedPtr<CUStringMac>();
    return FBC_Utl_MakeClipMemberFilePath(m_ClipPath, CFBCClip_MXFFileNameFormat,
                                          m_ClipIDInfo->ClipIDString(), number);
}

CUSharedPtr<CUStringMac> CFBCClip::SIFPathFromNumber(uint32_t number) const {
    CUAutoLock lock(&m_Lock);
    if (!m_ClipIDInfo) return CUSharedPtr<CUStringMac>();
    return FBC_Utl_MakeClipMemberFilePath(m_ClipPath, CFBCClip_SIFFileNameFormat,
                                          m_ClipIDInfo->ClipIDString(), number);
}

CUSharedPtr<CUArray> CFBCClip::AllMXFFilePath() const {
    CUAutoLock lock(&m_Lock);
    if (!m_ClipIDInfo) return CUSharedPtr<CUArray>();
    return FBC_Utl_MakeClipMemberFilePathsFromMemberStreamInfo(m_ClipPath, CFBCClip_MXFFileNameFormat,
                                                               m_ClipIDInfo->ClipIDString(), MemberStreams());
}

bool CFBCClip::ExistsPlayableFiles() const {
    CUAutoLock lock(&m_Lock);
    try {
        if (!CUFile::Exists(m_CIFPath)) return false;
        CUSharedPtr<CUArray> paths = AllMXFFilePath();
        if (!paths || paths->Count() == 0) return false;
        for (size_t i = 0; i < paths->Count(); ++i) {
            CUSharedPtr<CUStringMac> path = CUDynamicCast<CUStringMac>(paths->ObjectAtIndex(i));
            if (!path || !CUFile::Exists(path)) return false;
        }
        return true;
    } catch (const CUError&) {
        return false;
    }
}

uint32_t CFBCClip::CheckFiles() {
    CUAutoLock lock(&m_Lock);
    const uint32_t pathResult = UpdateFilePath();
    if (FBCResultFailed(pathResult)) return pathResult;
    const uint32_t result = ReadClipInfoFromMXF();
    if (FBCResultFailed(result)) return result;
    CheckOwnInformationFile();
    CheckMemberFileEnds();
    LoadCustomPictureData();
    LoadClipMetaData();
    return result;
}

void CFBCClip::LoadCustomPictureData() {
    m_CustomPictureData = ReadSmallFile(m_CPFPath, kMaxCustomPictureBytes);
}

void CFBCClip::LoadClipMetaData() {
    m_ClipMetaData = nullptr;
    m_ClipMetaDataCopy = nullptr;
    if (!m_XMLPath) return;
    try {
        CUSharedPtr<CFBCAnalyzeClipMetaData> document = CFBCAnalyzeClipMetaData::Create();
        if (!document) return;
        const uint32_t result = document->ReadFromFile(m_XMLPath);
        // A malformed value is skipped and the others kept; a file that is
        // missing, empty, not XML or not a clip document gives no document.
        if (result != CFBCAnalyzeClipMetaData::kResultSuccess &&
            result != CFBCAnalyzeClipMetaData::kResultInvalid)
            return;
        m_ClipMetaData = document;
        m_ClipMetaDataCopy = document->Copy();
    } catch (const CUError&) {
        m_ClipMetaDataCopy = nullptr;
    }
}

uint32_t CFBCClip::GatClipState() const {
    CUAutoLock lock(&m_Lock);
    if (!m_CIFStream) return 1;
    const uint32_t state = m_CIFStream->GatState();
    if (state == 0) return 0;
    if (state == 2) return 2;
    return 1;
}

void CFBCClip::SetMedia(CFBCContent* media) {
    CUAutoLock lock(&m_Lock);
    m_Media = media;
}

CFBCContent* CFBCClip::GetMedia() const {
    CUAutoLock lock(&m_Lock);
    return m_Media;
}

uint64_t CFBCClip::GetMediaInstanceID() const {
    CUAutoLock lock(&m_Lock);
    return m_Media ? m_Media->GetInstanceID() : 0;
}

uint64_t CFBCClip::GetInstanceID() const {
    CUAutoLock lock(&m_Lock);
    return m_InstanceID;
}

uint32_t CFBCClip::SetClipsPath(const CUSharedPtr<CUStringMac>& clipsPath) {
    CUAutoLock lock(&m_Lock);
    if (!clipsPath || clipsPath->IsNull()) return kResultNullArgument;
    m_ClipsPath = CopyOf(clipsPath);
    m_Thumbnail = nullptr;
    return UpdateFilePath();
}

void CFBCClip::SetSelected(bool selected) {
    CUAutoLock lock(&m_Lock);
    m_Selected = selected;
}

bool CFBCClip::IsSelected() const {
    CUAutoLock lock(&m_Lock);
    return m_Selected;
}

CUSharedPtr<CUVector<unsigned char>> CFBCClip::GetThumbnailData() {
    CUAutoLock lock(&m_Lock);
    if (!m_Thumbnail) m_Thumbnail = ReadSmallFile(m_THMPath, kMaxThumbnailBytes);
    if (!m_Thumbnail) return nullptr;
    return CUSharedPtr<CUVector<unsigned char>>(new CUVector<unsigned char>(*m_Thumbnail));
}

void CFBCClip::ResetThumbnail() {
    CUAutoLock lock(&m_Lock);
    m_Thumbnail = nullptr;
}

void CFBCClip::LockForFileOperation() {
    m_FileLock.Lock();
}

void CFBCClip::UnlockForFileOperation() {
    m_FileLock.Unlock();
}

void CFBCClip::Lock() const {
    m_Lock.Lock();
}

void CFBCClip::Unlock() const {
    m_Lock.Unlock();
}

void CFBCClip::CollectMemberFiles(bool sif, CUMutableArray& paths) const {
    CUSharedPtr<CUArray> members = MemberStreams();
    if (!members) return;
    for (size_t i = 0; i < members->Count(); ++i) {
        CUSharedPtr<MemberStreamInfo> member = CUDynamicCast<MemberStreamInfo>(members->ObjectAtIndex(i));
        if (!member) continue;
        paths.AddObject(MXFPathFromNumber(member->streamNumber));
        if (sif) paths.AddObject(SIFPathFromNumber(member->streamNumber));
    }
}

int64_t CFBCClip::GetClipFileSize() {
    CUAutoLock lock(&m_Lock);
    if (m_ClipFileSize >= 0) return m_ClipFileSize;
    CUMutableArray paths;
    paths.AddObject(m_CIFPath);
    paths.AddObject(m_XMLPath);
    paths.AddObject(m_THMPath);
    paths.AddObject(m_CPFPath);
    CollectMemberFiles(true, paths);
    // A member listed twice names one file: count it once.
    std::set<std::string> seen;
    uint64_t total = 0;
    for (size_t i = 0; i < paths.Count(); ++i) {
        CUSharedPtr<CUStringMac> path = CUDynamicCast<CUStringMac>(paths.ObjectAtIndex(i));
        if (!path || path->IsNull() || !seen.insert(path->Utf8()).second) continue;
        total += FileSize(path);
    }
    m_ClipFileSize = static_cast<int64_t>(total);
    return m_ClipFileSize;
}

int64_t CFBCClip::TotalMxfSize() const {
    CUAutoLock lock(&m_Lock);
    CUMutableArray paths;
    CollectMemberFiles(false, paths);
    std::set<std::string> seen;
    uint64_t total = 0;
    for (size_t i = 0; i < paths.Count(); ++i) {
        CUSharedPtr<CUStringMac> path = CUDynamicCast<CUStringMac>(paths.ObjectAtIndex(i));
        if (!path || path->IsNull() || !seen.insert(path->Utf8()).second) continue;
        total += FileSize(path);
    }
    return static_cast<int64_t>(total);
}

CUSharedPtr<CIFStream> CFBCClip::ValueSource() const {
    return m_CIFStreamCopy ? m_CIFStreamCopy : m_CIFStream;
}

CUSharedPtr<CUArray> CFBCClip::MemberStreams() const {
    CUSharedPtr<CIFStream> cif = ValueSource();
    if (!cif) return CUSharedPtr<CUArray>();
    return CUDynamicCast<CUArray>(cif->ValueForTag(kCIFValueMemberStreams));
}

CUSharedPtr<CUObject> CFBCClip::ValueForTag(_ClipValueTag tag) {
    CUAutoLock lock(&m_Lock);
    try {
        if (tag >= kClipValueTagCount) return CUSharedPtr<CUObject>();
        if ((tag >= kClipValueDurationFrames && tag <= kClipValueAEMode) ||
            (tag >= kClipValueWBMode && tag <= kClipValueRelayNextUMID))
            return GetValueFromCIF(tag);
        if (tag >= kClipValueTitle && tag <= kClipValueDeviceLens) return GetValueFromXML(tag);
        switch (tag) {
            case kClipValueClipID:
                return GetClipID();
            case kClipValueDuration:
                return CalculateDuration();
            case kClipValueClipFileSize:
                return Number<int64_t>(GetClipFileSize());
            case kClipValueMxfFileSize:
                return Number<int64_t>(TotalMxfSize());
            case kClipValueCustomPictureData:
                if (!m_CustomPictureData) return CUSharedPtr<CUObject>();
                return CUSharedPtr<CUVector<unsigned char>>(
                    new CUVector<unsigned char>(*m_CustomPictureData));
            case kClipValueRelayPackageUID:
                return GetValueFromFrontMXF();
            case kClipValueMediaDisplayName:
            case kClipValueMediaRootPath:
                return GetValueFromContent(tag);
            default:
                return CUSharedPtr<CUObject>();
        }
    } catch (const CUError&) {
        // A value the files hold in another type or length is no value.
        return CUSharedPtr<CUObject>();
    }
}

CUSharedPtr<CUObject> CFBCClip::GetValueFromCIF(_ClipValueTag tag) const {
    CUSharedPtr<CIFStream> cif = ValueSource();
    if (!cif) return CUSharedPtr<CUObject>();
    const CUSharedPtr<CUObject> none;

    switch (tag) {
        case kClipValueDurationFrames:
            return cif->ValueForTag(kCIFValueDuration);
        case kClipValueVideoType:
        case kClipValueVideoFormat:
        case kClipValueFrameRate:
        case kClipValueAudioType:
        case kClipValueAudioChannel:
        case kClipValueSamplingFrequency:
        case kClipValueVideoType2: {
            CUSharedPtr<CodingInfo> coding = CUDynamicCast<CodingInfo>(cif->ValueForTag(kCIFValueCodingInfo));
            if (!coding) return none;
            switch (tag) {
                case kClipValueVideoType:
                case kClipValueVideoType2:
                    return Number<_Video_Type>(coding->videoType);
                case kClipValueVideoFormat:
                    return Number<_Video_Format>(coding->videoFormat);
                case kClipValueFrameRate:
                    // Stored codes without a name are passed on as they stand.
                    if (coding->frameRate == CodingInfo::kNotRead) return none;
                    return Number<_Frame_Rate>(static_cast<_Frame_Rate>(coding->frameRate & 0xFF));
                case kClipValueAudioType:
                    return Number<_Audio_Type>(coding->audioType);
                case kClipValueAudioChannel:
                    return Number<_Audio_Channel>(coding->audioChannel);
                default:
                    return Number<_Sampling_Frequency>(coding->samplingFrequency);
            }
        }
        case kClipValueDeviceManufacturer:
            return FBC_Utl_DeleteEndSpace(
                CUDynamicCast<CUStringMac>(cif->ValueForTag(kCIFValueDeviceManufacturer)));
        case kClipValueDeviceModelName:
            return FBC_Utl_DeleteEndSpace(
                CUDynamicCast<CUStringMac>(cif->ValueForTag(kCIFValueDeviceModelName)));
        case kClipValueDeviceSerialNumber:
            return FBC_Utl_DeleteEndSpace(
                CUDynamicCast<CUStringMac>(cif->ValueForTag(kCIFValueDeviceSerialNumber)));
        case kClipValueDeviceFirmVersion:
            return cif->ValueForTag(kCIFValueDeviceFirmVersion);
        case kClipValueStartTimecode:
            return cif->ValueForTag(kCIFValueStartTimecode);
        case kClipValueEndTimecode:
            return cif->ValueForTag(kCIFValueEndTimecode);
        case kClipValueCIF976:
            return cif->ValueForTag(kCIFValue976);
        case kClipValueOKMark:
        case kClipValueBackupFlag:
        case kClipValueCustomPresetFileFlag:
        case kClipValueThumbnailFileFlag:
        case kClipValueClipMetadataFileFlag:
        case kClipValueDropFrameFlag: {
            CUSharedPtr<ClipAttributes> attributes =
                CUDynamicCast<ClipAttributes>(cif->ValueForTag(kCIFValueClipAttributes));
            if (!attributes) return none;
            switch (tag) {
                case kClipValueOKMark:
                    return Number<_OK_Mark>(attributes->okMark);
                case kClipValueBackupFlag:
                    return Number<_Backup_Flag>(attributes->backupFlag);
                case kClipValueCustomPresetFileFlag:
                    return Number<_Custom_Preset_File_Flag>(attributes->customPresetFileFlag);
                case kClipValueThumbnailFileFlag:
                    return Number<_Thumbnail_File_Flag>(attributes->thumbnailFileFlag);
                case kClipValueClipMetadataFileFlag:
                    return Number<_Clip_Metadata_File_Flag>(attributes->clipMetadataFileFlag);
                default:
                    return Number<_Drop_Frame_Flag>(attributes->dropFrameFlag);
            }
        }
        case kClipValueShootingDateTime:
            return ShootingDateTime();
        case kClipValueRecordTimeAndDate:
            return cif->ValueForTag(kCIFValueRecordTimeAndDate);
        case kClipValueRecordingModeInfo:
            return cif->ValueForTag(kCIFValueRecordingModeInfo);
        case kClipValueRelayRecordType:
        case kClipValueRelayPreviousUMID:
        case kClipValueRelayNextUMID: {
            CUSharedPtr<RelayInformation> relay =
                CUDynamicCast<RelayInformation>(cif->ValueForTag(kCIFValueRelayInformation));
            if (!relay) return none;
            if (tag == kClipValueRelayRecordType) return Number<_RelayRecordType>(relay->RelayRecordType());
            if (tag == kClipValueRelayPreviousUMID) return relay->previousUMID;
            return relay->nextUMID;
        }
        default:
            break;
    }

    // The remaining tags are fields of the recording mode information.
    CUSharedPtr<RecordingModeInformation> mode =
        CUDynamicCast<RecordingModeInformation>(cif->ValueForTag(kCIFValueRecordingModeInfo));
    if (!mode) return none;
    switch (tag) {
        case kClipValueCBRFlag:
            return Number<_CBR_Flag>(mode->cbrFlag);
        case kClipValueRecordingRate:
            return Number<_Recording_Rate>(mode->recordingRate);
        case kClipValueRecordingMode:
            return Number<_Recording_Mode>(mode->recordingMode);
        case kClipValuePreRecTime:
            return Number<uint8_t>(mode->preRecTime);
        case kClipValueIntervalFrameNum:
            return Number<uint8_t>(mode->intervalFrameNum);
        case kClipValueIntervalUnit:
            return Number<_Interval_Unit>(mode->intervalUnit);
        case kClipValueIntervalTime:
            return Number<uint8_t>(mode->intervalTime);
        case kClipValueFrameRecNum:
            return Number<uint8_t>(mode->frameRecNum);
        case kClipValueVariableFrameRate:
            return Number<uint16_t>(mode->variableFrameRate);
        case kClipValueAEMode:
            return Number<_AE_Mode>(mode->aeMode);
        case kClipValueWBMode:
            return Number<_WB_Mode>(mode->wbMode);
        case kClipValueWBPreset:
            return Number<_WB_Preset>(mode->wbPreset);
        case kClipValueAccurateFlag:
            return Number<_Accurate_Flag>(mode->accurateFlag);
        case kClipValueColorTemperature:
            return Number<uint16_t>(mode->colorTemperature);
        case kClipValueIRMode:
            if (cif->MetadataVersion() <= kMetadataVersionWithInfrared) return none;
            return Number<int32_t>(mode->irMode);
        case kClipValueDoubleRecord:
            return Number<bool>(mode->IsDoubleRecord());
        case kClipValueLogGammaFlag:
            return Number<_LogGamma_Flag>(mode->logGammaFlag);
        case kClipValueGammaSetting:
            return Number<_Gamma_Setting>(mode->gammaSetting);
        case kClipValueLogGammaType: {
            if (mode->logGammaFlag == kLogGammaFlagNotRead || mode->gammaSetting == kGammaSettingNotRead)
                return none;
            return CUStringMac::CreateWithFormat(CUStringMac::Create("%s (gamma setting %d)"),
                                                 mode->logGammaFlag == kLogGammaFlagOn ? "Log" : "Standard",
                                                 static_cast<int>(mode->gammaSetting));
        }
        default:
            return none;
    }
}

CUSharedPtr<CUObject> CFBCClip::ShootingDateTime() const {
    CUSharedPtr<CIFStream> cif = ValueSource();
    if (!cif) return CUSharedPtr<CUObject>();
    CUSharedPtr<RecordTimeandDate> date =
        CUDynamicCast<RecordTimeandDate>(cif->ValueForTag(kCIFValueRecordTimeAndDate));
    if (!date || !IsValidDateTime(*date)) return CUSharedPtr<CUObject>();
    if (!date->HasTimeZone()) {
        // No zone recorded: the camera's wall clock read as local time.
        return CUDateTime::Create(date->year, date->month, date->day, date->hour, date->minute, date->second);
    }
    _DateTimeInfo info;
    info.year = date->year;
    info.month = date->month;
    info.day = date->day;
    info.hour = date->hour;
    info.minute = date->minute;
    info.second = date->second;
    info.offsetFromGMT = date->TimeZoneOffsetMinutes() * 60;
    info.daylightSaving = date->daylightSavingTime > 0 ? 1 : 0;
    return CUDateTime::Create(info);
}

CUSharedPtr<CUObject> CFBCClip::GetValueFromXML(_ClipValueTag tag) const {
    if (!m_ClipMetaData) return CUSharedPtr<CUObject>();
    CUSharedPtr<CUStringMac> key;
    switch (tag) {
        case kClipValueTitle:
            key = key_TITLE;
            break;
        case kClipValueCreator:
            key = key_CREATOR;
            break;
        case kClipValuePlaceName:
            key = key_PLACENAME;
            break;
        case kClipValueAltitude:
            key = key_ALTITUDE;
            break;
        case kClipValueLongitudeType:
            key = key_LONGITUDE_TYPE;
            break;
        case kClipValueLongitudeDegrees:
            key = key_LONGITUDE_DEGREES;
            break;
        case kClipValueLongitudeMinutes:
            key = key_LONGITUDE_MINUTES;
            break;
        case kClipValueLongitudeSeconds:
            key = key_LONGITUDE_SECONDS;
            break;
        case kClipValueLatitudeType:
            key = key_LATITUDE_TYPE;
            break;
        case kClipValueLatitudeDegrees:
            key = key_LATITUDE_DEGREES;
            break;
        case kClipValueLatitudeMinutes:
            key = key_LATITUDE_MINUTES;
            break;
        case kClipValueLatitudeSeconds:
            key = key_LATITUDE_SECONDS;
            break;
        case kClipValueDescription:
            key = key_DESCRIPTION;
            break;
        case kClipValueLongitudeValue:
            key = key_LONGITUDE_VALUE;
            break;
        case kClipValueLatitudeValue:
            key = key_LATITUDE_VALUE;
            break;
        case kClipValueDeviceLens:
            key = key_DEVICE_LENS;
            break;
        default:
            return CUSharedPtr<CUObject>();
    }
    return m_ClipMetaData->ObjectForKey(key);
}

CUSharedPtr<CUObject> CFBCClip::GetValueFromFrontMXF() {
    if (!m_MXFRead) ReadClipInfoFromMXF();
    return CopyOf(m_RelayPackageUID);
}

CUSharedPtr<CUObject> CFBCClip::GetValueFromContent(_ClipValueTag tag) const {
    if (!m_Media) return CUSharedPtr<CUObject>();
    if (tag == kClipValueMediaDisplayName) return CopyOf(m_Media->GetDisplayName());
    CUSharedPtr<CUStringMac> root = m_Media->GetRootPath();
    if (m_Media->GetMediaIconType() == kContentsMediaTypeVirtual) return FBC_Utl_RemoveLastComponent(root);
    return CopyOf(root);
}

CUSharedPtr<TimecodeInfo> CFBCClip::CalculateDuration() {
    CUAutoLock lock(&m_Lock);
    CUSharedPtr<CUNumber> frames = CUDynamicCast<CUNumber>(GetValueFromCIF(kClipValueDurationFrames));
    CUSharedPtr<CUNumber> rate = CUDynamicCast<CUNumber>(GetValueFromCIF(kClipValueFrameRate));
    CUSharedPtr<CUNumber> dropFrame = CUDynamicCast<CUNumber>(GetValueFromCIF(kClipValueDropFrameFlag));
    if (!frames || !rate || !dropFrame) return CUSharedPtr<TimecodeInfo>();
    // The frame count read as a timecode: its labels, which at 50 and 60
    // pictures per second are half the pictures.
    return ClipClock::OfFrameRate(static_cast<_Frame_Rate>(rate->UInt8Value()), dropFrame->SInt32Value() == 1)
        .TimecodeOfFrames(frames->UInt32Value());
}

uint32_t CFBCClip::ReadClipInfoFromMXF() {
    CUAutoLock lock(&m_Lock);
    m_MXFRead = true;
    m_FirstMxfUMID = nullptr;
    m_LastMxfUMID = nullptr;
    m_RelayPackageUID = nullptr;
    m_LastFailure = CUFailure();
    CUSharedPtr<CUArray> members = MemberStreams();
    if (!members || members->Count() == 0) return 0;
    CUSharedPtr<MemberStreamInfo> first = CUDynamicCast<MemberStreamInfo>(members->ObjectAtIndex(0));
    CUSharedPtr<MemberStreamInfo> last = CUDynamicCast<MemberStreamInfo>(members->LastObject());

    uint32_t kind = 0;
    CUSharedPtr<CUNumber> format = CUDynamicCast<CUNumber>(GetValueFromCIF(kClipValueVideoFormat));
    if (format) kind = format->UInt32Value();

    if (first) {
        // One reader serves both reads (a stream parses only once). Parsed
        // first, it holds the header partition in memory, where the relay
        // read's element lies in camera files.
        CUSharedPtr<MXFStream> stream = MXFStreamAtStreamNumber(first->streamNumber);
        if (stream) {
            m_FirstMxfUMID = SourcePackageUIDOf(stream);
            try {
                m_RelayPackageUID = CopyOf(FBC_Utl_GetRelayPackageUID(stream, kind));
            } catch (const CUError& e) {
                NoteFailure(e.Failure());
            }
        }
    }
    if (last && first && last->streamNumber == first->streamNumber) {
        m_LastMxfUMID = CopyOf(m_FirstMxfUMID);
    } else if (last) {
        CUSharedPtr<MXFStream> stream = MXFStreamAtStreamNumber(last->streamNumber);
        if (stream) m_LastMxfUMID = SourcePackageUIDOf(stream);
    }
    return 0;
}

CUSharedPtr<UMID> CFBCClip::SourcePackageUIDOf(const CUSharedPtr<MXFStream>& stream) {
    try {
        if (stream->Parse() != 0) {
            NoteFailure(stream->LastFailure());
            return CUSharedPtr<UMID>();
        }
        return CopyOf(FBC_Utl_SourcePackageUID(stream));
    } catch (const CUError& e) {
        NoteFailure(e.Failure());
        return CUSharedPtr<UMID>();
    }
}

void CFBCClip::CheckOwnInformationFile() {
    // The import opens the clip's own .CIF file, not the index's copy. A
    // missing file is no failure here; whether it exists is asked only when
    // it does not open.
    if (!m_CIFPath) return;
    CUSharedPtr<CIFStream> own = CIFStream::Create(m_CIFPath);
    if (!own && !CUFile::Exists(m_CIFPath)) return;
    const std::string path = m_CIFPath->Utf8();
    if (!own) {
        const uint64_t size = FileSize(m_CIFPath);
        NoteFailure(CUFailure(kResultReadFailure,
                              size < CIFStream::kBlockSize
                                  ? "the clip information file holds " + std::to_string(size) + " of its " +
                                        std::to_string(CIFStream::kBlockSize) + " bytes"
                                  : std::string("the clip information file cannot be read"),
                              path));
        return;
    }
    if (own->GatState() != 0 || !CUDynamicCast<CUArray>(own->ValueForTag(kCIFValueMemberStreams)) ||
        !own->ValueForTag(kCIFValueDuration))
        NoteFailure(CUFailure(kResultReadFailure,
                              "the clip information file gives no duration or member files (bad magic, "
                              "unsupported version or a member count above 99)",
                              path));
}

void CFBCClip::CheckMemberFileEnds() {
    CUSharedPtr<CUArray> members = MemberStreams();
    if (!members) return;
    for (size_t i = 0; i < members->Count(); ++i) {
        CUSharedPtr<MemberStreamInfo> member = CUDynamicCast<MemberStreamInfo>(members->ObjectAtIndex(i));
        CUSharedPtr<MXFStream> stream = member ? MXFStreamAtStreamNumber(member->streamNumber) : nullptr;
        if (!stream) continue;
        try {
            // The first and the last member were parsed whole by
            // ReadClipInfoFromMXF. A whole file ends with its random index
            // pack; without one the chain back from the footer the header
            // partition names must hold.
            const bool parsedWhole = i == 0 || i + 1 == members->Count();
            if (!parsedWhole && stream->ReadRandomIndexPack() != 0) {
                if (stream->ReadHeaderPartitionPack() != 0) {
                    NoteFailure(stream->LastFailure());
                    continue;
                }
                if (stream->ConstructBodyPartitionArrayFromStream() != 0) {
                    NoteFailure(stream->LastFailure().Within("partition chain"));
                    continue;
                }
            }
            CheckIndexReachesEnd(*stream, MXFPathFromNumber(member->streamNumber));
        } catch (const CUError& e) {
            NoteFailure(e.Failure());
        }
    }
}

void CFBCClip::CheckIndexReachesEnd(MXFStream& stream, const CUSharedPtr<CUStringMac>& path) {
    // A file cut short keeps its partitions' chain but loses the index
    // segments of its footer: the frames they located cannot be had. The
    // index entry of the last edit unit tells, read from the footer alone.
    if (stream.Parse() != 0) {
        NoteFailure(stream.LastFailure());
        return;
    }
    const int64_t duration = stream.Duration();
    uint64_t at = 0;
    if (duration > 0 && stream.GetEssenceOffset(duration - 1, 0, at) != 0) {
        const uint64_t size = stream.GetFileStream() ? stream.GetFileStream()->Length() : 0;
        NoteFailure(CUFailure(kResultReadFailure,
                              "its index locates no frame at edit unit " + std::to_string(duration - 1) +
                                  ", the last of its " + std::to_string(duration) + " (" +
                                  std::to_string(size) + " bytes: the file may be cut short)",
                              path ? path->Utf8() : std::string()));
    }
}

void CFBCClip::NoteFailure(const CUFailure& failure) const {
    if (!m_LastFailure.Failed()) m_LastFailure = failure;
}

CUFailure CFBCClip::LastFailure() const {
    CUAutoLock lock(&m_Lock);
    return m_LastFailure;
}

CUSharedPtr<MXFStream> CFBCClip::MXFStreamAtStreamNumber(uint32_t number) const {
    CUSharedPtr<CUStringMac> path = MXFPathFromNumber(number);
    if (!path) return CUSharedPtr<MXFStream>();
    try {
        return CUSharedPtr<MXFStream>(new MXFStream(path));
    } catch (const CUError& e) {
        // Asked only when the open failed: a missing file is no failure of
        // the read (ExistsPlayableFiles tells of it).
        if (!CUFile::Exists(path)) return CUSharedPtr<MXFStream>();
        CUAutoLock lock(&m_Lock);
        NoteFailure(e.Failure());
        return CUSharedPtr<MXFStream>();
    }
}

uint32_t CFBCClip::TVSystemType() {
    CUAutoLock lock(&m_Lock);
    CUSharedPtr<CUNumber> rate = CUDynamicCast<CUNumber>(GetValueFromCIF(kClipValueFrameRate));
    if (!rate) return 0;
    switch (rate->UInt8Value()) {
        case kFrameRate5994i:
        case kFrameRate2997P:
        case kFrameRate2398P:
        case kFrameRate5994P:
        case kFrameRate2398PsF:
            return 1;
        case kFrameRate50i:
        case kFrameRate25P:
        case kFrameRate50P:
            return 2;
        case kFrameRate24P:
            return 3;
        default:
            return 0;
    }
}

CUSharedPtr<CUStringMac> CFBCClip::GetClipID() const {
    CUAutoLock lock(&m_Lock);
    if (!m_ClipIDInfo) return CUSharedPtr<CUStringMac>();
    return m_ClipIDInfo->ClipIDString();
}

bool CFBCClip::isDropFrame() const {
    CUAutoLock lock(&m_Lock);
    return m_DropFrame;
}

uint32_t CFBCClip::RoundedTimecodeBase() {
    CUAutoLock lock(&m_Lock);
    CUSharedPtr<CUNumber> rate = CUDynamicCast<CUNumber>(GetValueFromCIF(kClipValueFrameRate));
    if (!rate) return 0;
    return FBC_Utl_RoundedTimecodeBase(static_cast<_Frame_Rate>(rate->UInt8Value()));
}

ClipClock CFBCClip::Clock() {
    CUAutoLock lock(&m_Lock);
    CUSharedPtr<CUNumber> rate = CUDynamicCast<CUNumber>(GetValueFromCIF(kClipValueFrameRate));
    if (!rate) return ClipClock();
    return ClipClock::OfFrameRate(static_cast<_Frame_Rate>(rate->UInt8Value()), m_DropFrame);
}

CUSharedPtr<TimecodeInfo> CFBCClip::CalculateTimcodeFromFrameNo(int64_t frameNumber) {
    CUAutoLock lock(&m_Lock);
    // A negative frame number names no picture of the clip; without a known
    // frame rate no frame has a timecode.
    const ClipClock clock = Clock();
    if (frameNumber < 0 || !clock.HasTimecode()) return CUSharedPtr<TimecodeInfo>();
    const std::optional<int64_t> start =
        clock.FramesOfTimecode(CUDynamicCast<TimecodeInfo>(GetValueFromCIF(kClipValueStartTimecode)));
    if (!start || *start > INT64_MAX - frameNumber) return CUSharedPtr<TimecodeInfo>();
    return clock.TimecodeOfFrames(*start + frameNumber);
}

CUSharedPtr<UMID> CFBCClip::FirstMxfUMID() const {
    CUAutoLock lock(&m_Lock);
    return CopyOf(m_FirstMxfUMID);
}

CUSharedPtr<UMID> CFBCClip::LastMxfUMID() const {
    CUAutoLock lock(&m_Lock);
    return CopyOf(m_LastMxfUMID);
}

CUSharedPtr<ClipIDInfo> CFBCClip::GetClipIDInfo() const {
    CUAutoLock lock(&m_Lock);
    return m_ClipIDInfo;
}

CUSharedPtr<CIFStream> CFBCClip::GetCIFStream() const {
    CUAutoLock lock(&m_Lock);
    return m_CIFStream;
}

CUSharedPtr<CFBCAnalyzeClipMetaData> CFBCClip::GetClipMetaData() const {
    CUAutoLock lock(&m_Lock);
    return m_ClipMetaData;
}

CUSharedPtr<CUMutableArray> CFBCClip::GetShotMarks() const {
    CUAutoLock lock(&m_Lock);
    return m_ShotMarks;
}

CUSharedPtr<CUMutableArray> CFBCClip::GetEventMarks() const {
    CUAutoLock lock(&m_Lock);
    return m_EventMarks;
}

CUSharedPtr<CUStringMac> CFBCClip::GetClipsPath() const {
    CUAutoLock lock(&m_Lock);
    return m_ClipsPath;
}

CUSharedPtr<CUStringMac> CFBCClip::GetClipPath() const {
    CUAutoLock lock(&m_Lock);
    return m_ClipPath;
}

CUSharedPtr<CUStringMac> CFBCClip::GetCIFPath() const {
    CUAutoLock lock(&m_Lock);
    return m_CIFPath;
}

CUSharedPtr<CUStringMac> CFBCClip::GetXMLPath() const {
    CUAutoLock lock(&m_Lock);
    return m_XMLPath;
}

CUSharedPtr<CUStringMac> CFBCClip::GetTHMPath() const {
    CUAutoLock lock(&m_Lock);
    return m_THMPath;
}

CUSharedPtr<CUStringMac> CFBCClip::GetCPFPath() const {
    CUAutoLock lock(&m_Lock);
    return m_CPFPath;
}

}  // namespace ComVantoVantoQZ64RADPlug

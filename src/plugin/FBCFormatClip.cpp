#include "FBCFormatClip.h"

#include "CFString.h"
#include "CUDateTime.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "CUUUID.h"
#include "FBCFormatIngestObject.h"
#include "FBCFormatReader.h"
#include "FBCFormatUtility.h"
#include "HostEventCycle.h"
#include "RecordTimeandDate.h"
#include "TimecodeInfo.h"

#include <cmath>
#include <cstdio>
#include <mutex>

namespace ComVantoVantoQZ64RADPlug {

namespace {

constexpr const char* kProductFormatName = "Vanto QZ MPEG2";
constexpr double kSecondsFrom1970To2001 = 978307200.0;
constexpr uint32_t kRecordingModeVariableRate = 0x2000;
constexpr uint32_t kFirstVersionWith720pAt50Mbps = 0x70003;

constexpr uint32_t FourCC(const char* code) {
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
           (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

// The class-wide message token: a refused ingest request holds it until the
// end of the host's event cycle, so a burst of refusals shows one message.
std::mutex& ClassLock() {
    static std::mutex lock;
    return lock;
}
std::shared_ptr<int>& MessageToken() {  // guarded by ClassLock()
    static std::shared_ptr<int> token;
    return token;
}

// Columns of the codec table, by recording rate and picture size.
enum Column { k50Mbps1920, k35Mbps1920, k35Mbps1440, k35Mbps1280, k25Mbps1440, k50Mbps1280, kNoColumn };

Column ColumnOf(uint32_t recordingRate, uint32_t videoFormat) {
    switch (recordingRate) {
        case 3:
            return videoFormat == 1 ? k50Mbps1920 : videoFormat == 2 ? k50Mbps1280 : kNoColumn;
        case 2:
            return videoFormat == 1   ? k35Mbps1920
                   : videoFormat == 3 ? k35Mbps1440
                   : videoFormat == 2 ? k35Mbps1280
                                      : kNoColumn;
        case 1:
            return videoFormat == 3 ? k25Mbps1440 : kNoColumn;
        default:
            return kNoColumn;
    }
}

uint32_t BitRateMbps(std::optional<uint32_t> recordingRate) {
    switch (recordingRate.value_or(0)) {
        case 1:
            return 25;
        case 2:
            return 35;
        case 3:
            return 50;
        default:
            return 0;
    }
}
uint32_t WidthOf(std::optional<uint32_t> videoFormat) {
    switch (videoFormat.value_or(0)) {
        case 1:
            return 1920;
        case 2:
            return 1280;
        case 3:
            return 1440;
        default:
            return 0;
    }
}
uint32_t HeightOf(std::optional<uint32_t> videoFormat) {
    switch (videoFormat.value_or(0)) {
        case 1:
        case 3:
            return 1080;
        case 2:
            return 720;
        default:
            return 0;
    }
}

std::string Printf(const char* format, uint32_t a, uint32_t b = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string Trim(const std::string& text) {
    const char* space = " \t\r\n\f\v";
    const size_t first = text.find_first_not_of(space);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

CFHolder<CFStringRef> Text(const std::string& text) {
    return CFHolder<CFStringRef>::Adopt(
        CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8));
}

// The standard textual form: 8-4-4-4-12 upper-case hexadecimal digits.
std::string UuidText(const CFUUIDBytes& bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += Printf("%02X", bytes[i]);
    }
    return text;
}

}  // namespace

FBCFormatClip::FBCFormatClip() {
    std::lock_guard<std::mutex> hold(ClassLock());
    if (!MessageToken()) MessageToken() = std::make_shared<int>(0);
}

FBCFormatClip::~FBCFormatClip() = default;

void FBCFormatClip::terminateObject() {
    std::lock_guard<std::mutex> hold(ClassLock());
    MessageToken().reset();
}

std::shared_ptr<FBCFormatClip> FBCFormatClip::initWithClip(const CUSharedPtr<CFBCClip>& clip) {
    std::shared_ptr<FBCFormatClip> descriptor(new FBCFormatClip());
    if (!clip) return nullptr;
    descriptor->_clip = clip;
    CUSharedPtr<CUStringMac> path = clip->GetCIFPath();
    if (!path || path->Length() == 0) return nullptr;
    descriptor->_cType = CodecTypeWithClip(clip);

    const CFHolder<CFStringRef> formatName = Text(FormatNameForCoding(CodingWithClip(clip)));
    CUSharedPtr<FBCMovieSampleForFCPX> movie =
        FBCMovieSampleForFCPX::Create(path, formatName.Get(), descriptor->_cType);
    if (!movie) return nullptr;
    movie->ReleaseMXFStream();
    if (CUSharedPtr<CUUUID> uuid = movie->GetClipID()) descriptor->_clipID = UuidText(uuid->GetUUIDBytes());
    descriptor->_dropFrame = movie->isDropFrame();
    if (const AudioStreamBasicDescription* audio = movie->AudioDescription())
        descriptor->_audioDescription = std::make_unique<AudioStreamBasicDescription>(*audio);
    descriptor->_FBCMovie = movie;
    descriptor->_clipPath = path->Utf8();
    return descriptor;
}

FBCFormatClip::Coding FBCFormatClip::CodingWithClip(const CUSharedPtr<CFBCClip>& clip) {
    auto value = [&](_ClipValueTag tag) -> std::optional<uint32_t> {
        if (std::optional<uint64_t> n = FBCFormatUtility::numberWithClip(clip, tag)) return uint32_t(*n);
        return std::nullopt;
    };
    return Coding{value(kClipValueVideoFormat), value(kClipValueRecordingRate), value(kClipValueFrameRate),
                  value(kClipValueCBRFlag)};
}

uint32_t FBCFormatClip::CodecTypeForCoding(const Coding& coding, uint32_t appVersion) {
    constexpr uint32_t kQzz1 = FourCC("qzz1");
    if (!coding.videoFormat || !coding.recordingRate || !coding.frameRate) return kQzz1;
    const Column column = ColumnOf(*coding.recordingRate, *coding.videoFormat);
    if (column == kNoColumn) return kQzz1;
    // Rows by frame rate 1 to 7 (8 is 5's row); columns as Column.
    // clang-format off
    static const char* const kTable[7][6] = {
        {"xd5b", "xdvb", "xdv2", "qzz1", "hdv2", "qzz1"},
        {"xd5c", "xdvc", "xdv3", "qzz1", "hdv3", "qzz1"},
        {"xd5f", "xdvf", "xdv8", "xdv1", "hdv8", "xd51"},
        {"xd5e", "xdve", "xdv7", "xdv5", "hdv7", "xd55"},
        {"xd5d", "xdvd", "xdv6", "xdv4", "hdv6", "xd54"},
        {"qzz1", "qzz1", "qzz1", "xdv9", "qzz1", "xd59"},
        {"qzz1", "qzz1", "qzz1", "xdva", "qzz1", "xd5a"},
    };
    // clang-format on
    uint32_t rate = *coding.frameRate;
    if (rate == 8) rate = 5;
    if (rate < 1 || rate > 7) return kQzz1;
    if (column == k50Mbps1280 && rate >= 3 && rate <= 5 && appVersion < kFirstVersionWith720pAt50Mbps)
        return kQzz1;
    return FourCC(kTable[rate - 1][column]);
}

uint32_t FBCFormatClip::CodecTypeWithClip(const CUSharedPtr<CFBCClip>& clip) {
    return CodecTypeForCoding(CodingWithClip(clip), FBCFormatUtility::GetAppVersion());
}

std::string FBCFormatClip::FormatNameForCoding(const Coding& coding) {
    static const char* const kSuffix[] = {"",       "i59.94", "i50.00", "P29.97", "P25.00",
                                          "P23.98", "P59.94", "P50.00", "P23.98", "P24.00"};
    const uint32_t mbps = BitRateMbps(coding.recordingRate);
    std::string text = "Vanto QZ ";
    if (mbps == 50) text += "422 ";
    text += Printf("%uMbps ", mbps) + Printf("%u", HeightOf(coding.videoFormat));
    const uint32_t rate = coding.frameRate.value_or(0);
    if (rate >= 1 && rate <= 9) text += kSuffix[rate];
    return text;
}

std::string FBCFormatClip::DisplayFormatForCoding(const Coding& coding) {
    static const char* const kRateText[] = {
        "",      "59.94i", "50.00i", "29.97P", "25.00P", "23.98P", "59.94P", "50.00P", "23.98P(pull down)",
        "24.00P"};
    const uint32_t mbps = BitRateMbps(coding.recordingRate);
    std::string text = Printf("%uMbps ", mbps);
    if (coding.cbrFlag == 0u)
        text += "VBR ";
    else if (coding.cbrFlag == 1u)
        text += "CBR ";
    if (mbps == 50) text += "4:2:2 ";
    text += Printf("%u x %u ", WidthOf(coding.videoFormat), HeightOf(coding.videoFormat));
    const uint32_t rate = coding.frameRate.value_or(0);
    if (rate >= 1 && rate <= 9) text += kRateText[rate];
    return text;
}

std::optional<uint64_t> FBCFormatClip::number(_ClipValueTag tag) const {
    return FBCFormatUtility::numberWithClip(_clip, tag);
}

std::optional<std::string> FBCFormatClip::trimmed(_ClipValueTag tag) const {
    std::optional<std::string> text = FBCFormatUtility::stringWithClip(_clip, tag);
    if (!text) return std::nullopt;
    return Trim(*text);
}

std::optional<std::string> FBCFormatClip::clipID() {
    return _clipID;
}
std::optional<std::string> FBCFormatClip::name() {
    return FBCFormatUtility::stringWithClip(_clip, kClipValueClipID);
}
std::optional<std::string> FBCFormatClip::format() {
    return std::string(kProductFormatName);
}
std::optional<std::string> FBCFormatClip::sourceFormatName() {
    return std::string(kProductFormatName);
}
uint32_t FBCFormatClip::sourceFormat() {
    return _cType;
}
uint32_t FBCFormatClip::decodePixelFormat() {
    return _cType;
}
std::optional<std::string> FBCFormatClip::displayFormat() {
    return DisplayFormatForCoding(CodingWithClip(_clip));
}

bool FBCFormatClip::isSupportPreview() {
    return _isSupportPreview;
}
void* FBCFormatClip::ingestObjectRefCon() {
    return _FBCMovie.get();
}

std::shared_ptr<MIORADFormatReaderProtocol> FBCFormatClip::formatReader() {
    return FBCFormatReader::initWithMovieSample(_FBCMovie);
}

std::shared_ptr<MIORADIngestObject> FBCFormatClip::ingestObject() {
    const bool playable = _clip && _clip->ExistsPlayableFiles();
    if (_isSupportPreview && playable) {
        if (std::shared_ptr<FBCFormatIngestObject> ingest =
                FBCFormatIngestObject::initWithFormatClip(shared_from_this()))
            return ingest;
    }
    bool firstInCycle = false;
    {
        std::lock_guard<std::mutex> hold(ClassLock());
        std::shared_ptr<int>& token = MessageToken();
        firstInCycle = token && token.use_count() == 1;
        if (token) HostEventCycle::Defer(token);
    }
    // Shown outside the class lock: the host's alert is modal.
    if (firstInCycle && !playable) FBCFormatUtility::showMessage("IDS_FCP_CLIP_INVALID");
    return nullptr;
}

CFHolder<CFArrayRef> FBCFormatClip::ingestSourceFiles() {
    CFHolder<CFMutableDictionaryRef> entry =
        CFHolder<CFMutableDictionaryRef>::Adopt(CFDictionaryCreateMutable(
            nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFDictionarySetValue(entry.Get(), Text("MediaSetPath").Get(), Text(_clipPath).Get());
    CFTypeRef entries[] = {entry.Get()};
    CFHolder<CFArrayRef> set =
        CFHolder<CFArrayRef>::Adopt(CFArrayCreate(nullptr, entries, 1, &kCFTypeArrayCallBacks));
    CFTypeRef sets[] = {set.Get()};
    return CFHolder<CFArrayRef>::Adopt(CFArrayCreate(nullptr, sets, 1, &kCFTypeArrayCallBacks));
}

bool FBCFormatClip::isDropFrame() {
    return _dropFrame;
}
uint32_t FBCFormatClip::mediaDuration() {
    return uint32_t(number(kClipValueDurationFrames).value_or(0));
}

std::optional<std::string> FBCFormatClip::mediaStart() {
    CUSharedPtr<TimecodeInfo> start =
        _clip ? CUDynamicCast<TimecodeInfo>(_clip->ValueForTag(kClipValueStartTimecode))
              : CUSharedPtr<TimecodeInfo>();
    if (!start) return std::string("00:00:00:00");
    const uint32_t rate = uint32_t(number(kClipValueFrameRate).value_or(0));
    const uint32_t frames = (rate == 6 || rate == 7) ? 2u * start->frames : start->frames;
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u:%02u", unsigned(start->hours), unsigned(start->minutes),
                  unsigned(start->seconds), frames);
    return std::string(text);
}

double FBCFormatClip::transportRate() {
    switch (number(kClipValueFrameRate).value_or(0)) {
        case 1:
        case 3:
            return 29.97;
        case 2:
        case 4:
            return 25.0;
        case 5:
        case 8:
            return 23.98;
        case 6:
            return 59.94;
        case 7:
            return 50.0;
        case 9:
            return 24.0;
        default:
            return 0;
    }
}

double FBCFormatClip::shootingRate() {
    if (number(kClipValueRecordingMode).value_or(0) & kRecordingModeVariableRate)
        return double(uint16_t(number(kClipValueVariableFrameRate).value_or(0)));
    switch (number(kClipValueFrameRate).value_or(0)) {
        case 1:
        case 3:
            return 30.0;
        case 2:
        case 4:
            return 25.0;
        case 5:
        case 8:
        case 9:
            return 24.0;
        case 6:
            return 60.0;
        case 7:
            return 50.0;
        default:
            return 0;
    }
}

int32_t FBCFormatClip::pulldown() {
    return 1;
}
bool FBCFormatClip::canSetInOut() {
    return true;
}

uint32_t FBCFormatClip::videoBitrate() {
    return BitRateMbps(CodingWithClip(_clip).recordingRate);
}
uint32_t FBCFormatClip::videoWidth() {
    return WidthOf(CodingWithClip(_clip).videoFormat);
}
uint32_t FBCFormatClip::videoHeight() {
    return HeightOf(CodingWithClip(_clip).videoFormat);
}

double FBCFormatClip::videoDataSize() {
    CUSharedPtr<CUNumber> total =
        _clip ? CUDynamicCast<CUNumber>(_clip->ValueForTag(kClipValueMxfFileSize)) : CUSharedPtr<CUNumber>();
    if (!total) return 0;
    const double bytes = double(total->SInt64Value());
    const uint32_t channels = numberOfAudioChannels();
    if (channels == 0) return std::max(0.0, bytes);
    return std::max(0.0, bytes - double(channels) * dataSizeForAudioChannelIndex(0));
}

bool FBCFormatClip::anamorphic() {
    return false;
}
uint32_t FBCFormatClip::sampleRate() {
    return number(kClipValueSamplingFrequency) == 1u ? 48000 : 0;
}

uint32_t FBCFormatClip::bitsPerSample() {
    const uint64_t channel = number(kClipValueAudioChannel).value_or(0);
    return channel == 1 || channel == 2 ? 16 : 0;
}

uint32_t FBCFormatClip::numberOfAudioChannels() {
    switch (number(kClipValueAudioChannel).value_or(0)) {
        case 1:
            return 2;
        case 2:
            return 4;
        default:
            return 0;
    }
}

double FBCFormatClip::dataSizeForAudioChannelIndex(uint32_t channel) {
    if (channel >= numberOfAudioChannels()) return 0;
    const double rate = sampleRate(), bits = bitsPerSample(), duration = mediaDuration(),
                 transport = transportRate();
    if (rate == 0 || bits == 0 || duration == 0 || !(transport > 0)) return 0;
    return duration * (bits / 8 * rate / transport);
}

const AudioStreamBasicDescription* FBCFormatClip::audioStreamBasicDescription() {
    return _audioDescription.get();
}

const AudioChannelLayout* FBCFormatClip::audioChannelLayout(size_t* size) {
    if (size) *size = 0;
    return nullptr;
}

const void* FBCFormatClip::audioMagicCookie(size_t* size) {
    if (size) *size = 0;
    return nullptr;
}

CFHolder<CFDictionaryRef> FBCFormatClip::stereoMixDown() {
    return {};
}

std::optional<double> FBCFormatClip::creationDate() {
    CUSharedPtr<RecordTimeandDate> record =
        _clip ? CUDynamicCast<RecordTimeandDate>(_clip->ValueForTag(kClipValueRecordTimeAndDate))
              : CUSharedPtr<RecordTimeandDate>();
    // Fields that name no possible time would be carried into another day.
    if (!record || !record->IsValidTime()) return std::nullopt;
    CUSharedPtr<CUDateTime> date = CUDateTime::Create(record->year, record->month, record->day, record->hour,
                                                      record->minute, record->second);
    if (!date || date->IsNull()) return std::nullopt;
    return date->GetAbsoluteTime() + kSecondsFrom1970To2001;
}

std::optional<double> FBCFormatClip::lastChangeDate() {
    const std::optional<double> created = creationDate();
    const double rate = transportRate();
    if (!created || !number(kClipValueDurationFrames) || std::fabs(rate) < 1e-15) return std::nullopt;
    return *created + double(mediaDuration()) / rate;
}

std::optional<std::string> FBCFormatClip::deviceManufacturer() {
    return trimmed(kClipValueDeviceManufacturer);
}
std::optional<std::string> FBCFormatClip::deviceModelName() {
    return trimmed(kClipValueDeviceModelName);
}
std::optional<std::string> FBCFormatClip::deviceSerialNumber() {
    return trimmed(kClipValueDeviceSerialNumber);
}
std::optional<std::string> FBCFormatClip::creator() {
    return FBCFormatUtility::stringWithClip(_clip, kClipValueCreator);
}

std::optional<std::string> FBCFormatClip::scene() {
    return std::nullopt;
}
std::optional<std::string> FBCFormatClip::shot() {
    return std::nullopt;
}
std::optional<std::string> FBCFormatClip::reelName() {
    return std::nullopt;
}
std::optional<std::string> FBCFormatClip::logNote() {
    return std::nullopt;
}
std::optional<std::string> FBCFormatClip::clipDescription() {
    return std::nullopt;
}
std::optional<std::string> FBCFormatClip::angle() {
    return std::nullopt;
}
CFHolder<CFDictionaryRef> FBCFormatClip::extendedProperties() {
    return {};
}
CFHolder<CFDictionaryRef> FBCFormatClip::metadata() {
    return {};
}
std::optional<std::string> FBCFormatClip::spannedClipID() {
    return std::nullopt;
}
std::optional<std::string> FBCFormatClip::nextClipIDInSpannedClip() {
    return std::nullopt;
}
std::optional<std::string> FBCFormatClip::previousClipIDInSpannedClip() {
    return std::nullopt;
}

bool FBCFormatClip::isDeletable() {
    return false;
}
bool FBCFormatClip::deleteClip() {
    return false;
}
bool FBCFormatClip::isMediaFileCopyable() {
    return false;
}
bool FBCFormatClip::limitedPlayback() {
    return false;
}

void FBCFormatClip::willUnmount() {
    if (_FBCMovie) _FBCMovie->ReleaseMXFStream();
}

}  // namespace ComVantoVantoQZ64RADPlug

#include "FBCFormat.h"

#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFString.h"
#include "FBCFormatClip.h"
#include "FBCFormatUtility.h"
#include "FBCFormatVolume.h"
#include "HostBundle.h"
#include "HostImage.h"
#include "HostNotificationCenter.h"

namespace ComVantoVantoQZ64RADPlug {

namespace {

constexpr uint32_t kBlankIconSize = 17;
constexpr uint32_t kVersionMajorWithoutString = 6;

constexpr int32_t FourCC(const char (&code)[5]) {
    return int32_t((uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
                   (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3])));
}

CFHolder<CFStringRef> Text(const char* text) {
    return CFHolder<CFStringRef>::Adopt(CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8));
}

CFHolder<CFNumberRef> Number(int32_t value) {
    return CFHolder<CFNumberRef>::Adopt(CFNumberCreate(nullptr, kCFNumberSInt32Type, &value));
}

}  // namespace

bool FBCFormat::initialize() {
    return true;
}
bool FBCFormat::activate() {
    return true;
}
bool FBCFormat::deactivate() {
    return true;
}

void FBCFormat::setNotificationCenter(std::shared_ptr<HostNotificationCenter> center) {
    std::lock_guard<std::mutex> hold(m_lock);
    _notificationCenter = std::move(center);
}

std::shared_ptr<HostNotificationCenter> FBCFormat::notificationCenter() {
    std::lock_guard<std::mutex> hold(m_lock);
    return _notificationCenter;
}

bool FBCFormat::shutdown() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        _notificationCenter.reset();
    }
    FBCFormatClip::terminateObject();
    return true;
}

std::optional<std::string> FBCFormat::pluginValue(const char* key) {
    std::shared_ptr<HostBundle> bundle = FBCFormatUtility::PluginBundle();
    if (!bundle) return std::nullopt;
    const auto* plugins = CFCast<CFArray>(bundle->objectForInfoDictionaryKey("RADPlugins"));
    if (!plugins || CFArrayGetCount(plugins) < 1) return std::nullopt;
    const auto* first = CFCast<CFDictionary>(CFArrayGetValueAtIndex(plugins, 0));
    if (!first) return std::nullopt;
    const auto* value = CFCast<CFString>(CFDictionaryGetValue(first, Text(key).Get()));
    if (!value) return std::nullopt;
    return CFStringGetStdString(value);
}

std::optional<std::string> FBCFormat::version() {
    return pluginValue("PluginVersion");
}
std::optional<std::string> FBCFormat::name() {
    return pluginValue("PluginName");
}
std::optional<std::string> FBCFormat::uuid() {
    return pluginValue("PluginID");
}

bool FBCFormat::pathIsValidVolume(const std::optional<std::string>& path) {
    CUSharedPtr<CFBCContent> media = FBCFormatUtility::FBCMediaWithPath(path);
    return media && media->ContentState() == kContentStateReady;
}

std::shared_ptr<MIORADVolumeDataSourceProtocol> FBCFormat::volumeWithPath(
    const std::optional<std::string>& path, std::string*) {
    if (!path) return nullptr;
    return FBCFormatVolume::volumeWithPath(*path, iconForVolumeWithPath(path));
}

std::shared_ptr<HostImage> FBCFormat::iconForVolumeWithPath(const std::optional<std::string>&) {
    if (std::shared_ptr<HostBundle> bundle = FBCFormatUtility::PluginBundle()) {
        if (std::optional<std::string> file = bundle->pathForImageResource("MediaIcon_Cam_n")) {
            if (std::shared_ptr<HostImage> image = HostImage::ImageWithContentsOfFile(*file)) return image;
        }
    }
    return HostImage::Blank(kBlankIconSize, kBlankIconSize);
}

std::vector<std::shared_ptr<MIORADClipDataSourceProtocol>> FBCFormat::clipsForVolume(
    const std::shared_ptr<MIORADVolumeDataSourceProtocol>& volume) {
    auto* ours = dynamic_cast<FBCFormatVolume*>(volume.get());
    if (!ours) return {};
    return ours->ClipArray();
}

std::optional<std::vector<std::shared_ptr<MIORADVolumeDataSourceProtocol>>> FBCFormat::additionalVolumes() {
    return std::nullopt;
}

std::optional<std::vector<std::shared_ptr<MIORADVolumeDataSourceProtocol>>>
FBCFormat::invalidVolumesWithErrors(std::vector<std::string>*) {
    return std::nullopt;
}

CFHolder<CFArrayRef> FBCFormat::targetFormats() {
    uint32_t major = kVersionMajorWithoutString;
    if (std::optional<std::vector<uint32_t>> parts = FBCFormatUtility::AppVersionComponents())
        major = parts->empty() ? 0 : (*parts)[0];
    std::vector<int32_t> codes = {FourCC("apch"), FourCC("apcn")};
    if (major > 6) codes.insert(codes.end(), {FourCC("apcs"), FourCC("apco")});
    codes.push_back(-1);

    CFHolder<CFMutableArrayRef> list =
        CFHolder<CFMutableArrayRef>::Adopt(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    for (int32_t code : codes) CFArrayAppendValue(list.Get(), Number(code).Get());
    CFHolder<CFMutableDictionaryRef> offer =
        CFHolder<CFMutableDictionaryRef>::Adopt(CFDictionaryCreateMutable(
            nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFDictionarySetValue(offer.Get(), Text("supportedTargetFormats").Get(), list.Get());
    CFDictionarySetValue(offer.Get(), Text("preferredTargetFormatIndex").Get(), Number(1).Get());
    CFDictionarySetValue(offer.Get(), Text("name").Get(), Text("Vanto QZ MPEG2").Get());
    CFTypeRef entries[] = {offer.Get()};
    return CFHolder<CFArrayRef>::Adopt(CFArrayCreate(nullptr, entries, 1, &kCFTypeArrayCallBacks));
}

}  // namespace ComVantoVantoQZ64RADPlug

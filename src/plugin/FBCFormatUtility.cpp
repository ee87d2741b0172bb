#include "FBCFormatUtility.h"

#include "CFString.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "HostAlert.h"
#include "HostBundle.h"

#include <cctype>

namespace ComVantoVantoQZ64RADPlug {

#ifndef QZ_PLUGIN_BUNDLE_IDENTIFIER
#error "QZ_PLUGIN_BUNDLE_IDENTIFIER names the bundle the plug-in's information dictionary declares"
#endif
const char* const kFBCPluginBundleIdentifier = QZ_PLUGIN_BUNDLE_IDENTIFIER;

namespace {

constexpr uint32_t kVersionWithoutString = 0x60000;  // taken as 6.0.0

// Components parsed as the host's integer reading does: leading digits of
// each dot-separated part, 0 when there are none.
std::vector<uint32_t> SplitVersion(const std::string& text) {
    std::vector<uint32_t> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('.', start), text.size());
        uint64_t value = 0;
        for (size_t i = start; i < end && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
            value = std::min<uint64_t>(value * 10 + uint64_t(text[i] - '0'), UINT32_MAX);
        if (end > start)
            parts.push_back(static_cast<uint32_t>(value));
        else if (end < text.size())
            parts.push_back(0);
        start = end + 1;
    }
    return parts;
}

}  // namespace

CUSharedPtr<CFBCContent> FBCFormatUtility::FBCMediaWithPath(const std::optional<std::string>& path) {
    if (!path) return CUSharedPtr<CFBCContent>();
    return CFBCContent::Create(CUStringMac::Create(path->c_str()), CUStringMac::Create(""),
                               kContentsMediaTypeCard);
}

std::shared_ptr<HostBundle> FBCFormatUtility::PluginBundle() {
    return HostBundle::BundleWithIdentifier(kFBCPluginBundleIdentifier);
}

std::optional<std::string> FBCFormatUtility::messageForKey(const std::string& key) {
    std::shared_ptr<HostBundle> bundle = PluginBundle();
    if (!bundle) return std::nullopt;
    return bundle->localizedStringForKey(key, "");
}

void FBCFormatUtility::showMessage(const std::string& key) {
    std::shared_ptr<HostBundle> bundle = PluginBundle();
    if (!bundle) return;
    const std::string title = bundle->localizedStringForKey("IDS_FCP_CLIP_ERR_TITLE", "");
    const std::string message = bundle->localizedStringForKey(key, "");
    if (title.empty() || message.empty()) return;
    HostAlert::RunModal(title, message);
}

std::optional<std::vector<uint32_t>> FBCFormatUtility::AppVersionComponents() {
    // The bundle is held while its value is read: the host may replace its
    // main bundle on another thread, which releases the one it replaces.
    const std::shared_ptr<HostBundle> host = HostBundle::MainBundle();
    const auto* version = CFCast<CFString>(host->objectForInfoDictionaryKey("CFBundleShortVersionString"));
    if (!version) return std::nullopt;
    return SplitVersion(CFStringGetStdString(version));
}

uint32_t FBCFormatUtility::GetAppVersion() {
    const std::optional<std::vector<uint32_t>> parts = AppVersionComponents();
    if (!parts) return kVersionWithoutString;
    if (parts->empty()) return 0;
    const uint32_t a = (*parts)[0];
    if (parts->size() == 1) return a * 65536u;
    const uint32_t ab = (a * 256u + (*parts)[1]) * 256u;
    return parts->size() == 2 ? ab : ab + (*parts)[2];
}

std::optional<std::string> FBCFormatUtility::stringWithClip(const CUSharedPtr<CFBCClip>& clip,
                                                            _ClipValueTag tag) {
    if (!clip) return std::nullopt;
    CUSharedPtr<CUObject> value = clip->ValueForTag(tag);
    if (!value) return std::nullopt;
    if (CUSharedPtr<CUStringMac> text = CUDynamicCast<CUStringMac>(value)) return text->Utf8();
    CUSharedPtr<CUStringMac> description = value->Description();
    if (!description) return std::nullopt;
    return description->Utf8();
}

std::optional<uint64_t> FBCFormatUtility::numberWithClip(const CUSharedPtr<CFBCClip>& clip,
                                                         _ClipValueTag tag) {
    if (!clip) return std::nullopt;
    CUSharedPtr<CUNumber> number = CUDynamicCast<CUNumber>(clip->ValueForTag(tag));
    if (!number) return std::nullopt;
    return number->UInt64Value();
}

}  // namespace ComVantoVantoQZ64RADPlug

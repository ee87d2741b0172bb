#include "PluginClipProperties.h"

#include "CFArray.h"
#include "CFBoolean.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFString.h"
#include "CardOpening.h"
#include "ImportError.h"
#include "OrNull.h"
#include "PluginHost.h"
#include "ValueTexts.h"

#include <cctype>
#include <cmath>
#include <optional>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

namespace {

// A property list value as JSON: strings, numbers, booleans, arrays and
// dictionaries (keys as strings); anything else null.
ordered_json PropertyListJson(CFTypeRef value) {
    if (const auto* s = CFCast<CFString>(value)) return CFStringGetStdString(s);
    if (const auto* b = CFCast<CFBoolean>(value)) return b->Value();
    if (const auto* n = CFCast<CFNumber>(value)) {
        if (CFNumberIsFloatType(n)) {
            double d = 0;
            CFNumberGetValue(n, kCFNumberFloat64Type, &d);
            return d;
        }
        int64_t i = 0;
        CFNumberGetValue(n, kCFNumberSInt64Type, &i);
        return i;
    }
    if (const auto* a = CFCast<CFArray>(value)) {
        ordered_json out = ordered_json::array();
        for (CFIndex i = 0; i < CFArrayGetCount(a); ++i)
            out.push_back(PropertyListJson(CFArrayGetValueAtIndex(a, i)));
        return out;
    }
    if (const auto* d = CFCast<CFDictionary>(value)) {
        ordered_json out = ordered_json::object();
        for (const CFDictionary::Entry& entry : d->Entries()) {
            const auto* key = CFCast<CFString>(entry.first);
            if (key) out[CFStringGetStdString(key)] = PropertyListJson(entry.second);
        }
        return out;
    }
    return ordered_json();
}

}  // namespace

std::string FourCCText(int64_t code) {
    if (code >= 0 && code <= 0xFFFFFFFF) {
        std::string text;
        for (int shift = 24; shift >= 0; shift -= 8) {
            const char c = static_cast<char>((code >> shift) & 0xFF);
            if (!std::isprint(static_cast<unsigned char>(c))) return std::to_string(code);
            text += c;
        }
        return text;
    }
    return std::to_string(code);
}

ordered_json PluginClipProperties(MIORADClipDataSourceProtocol& clip) {
    ordered_json j;
    j["clipId"] = OrNull(clip.clipID());
    j["name"] = OrNull(clip.name());
    j["format"] = OrNull(clip.format());
    j["sourceFormatName"] = OrNull(clip.sourceFormatName());
    j["sourceFormat"] = FourCCText(clip.sourceFormat());
    j["decodePixelFormat"] = FourCCText(clip.decodePixelFormat());
    j["displayFormat"] = OrNull(clip.displayFormat());
    j["mediaStart"] = OrNull(clip.mediaStart());
    j["mediaDuration"] = clip.mediaDuration();
    j["isDropFrame"] = clip.isDropFrame();
    j["transportRate"] = clip.transportRate();
    j["shootingRate"] = clip.shootingRate();
    j["videoWidth"] = clip.videoWidth();
    j["videoHeight"] = clip.videoHeight();
    j["videoBitrate"] = clip.videoBitrate();
    // The host's property is a double of bytes; a byte count is whole.
    j["videoDataSize"] = std::llround(clip.videoDataSize());
    j["sampleRate"] = clip.sampleRate();
    j["bitsPerSample"] = clip.bitsPerSample();
    j["numberOfAudioChannels"] = clip.numberOfAudioChannels();
    // Host dates are seconds since 1970-01-01 UTC; each has its ISO twin.
    const std::optional<double> created = clip.creationDate();
    const std::optional<double> changed = clip.lastChangeDate();
    j["creationDate"] = OrNull(created);
    j["creationDateText"] = created ? ordered_json(HostDateText(*created)) : ordered_json();
    j["lastChangeDate"] = OrNull(changed);
    j["lastChangeDateText"] = changed ? ordered_json(HostDateText(*changed)) : ordered_json();
    j["deviceManufacturer"] = OrNull(clip.deviceManufacturer());
    j["deviceModelName"] = OrNull(clip.deviceModelName());
    j["deviceSerialNumber"] = OrNull(clip.deviceSerialNumber());
    j["creator"] = OrNull(clip.creator());
    return j;
}

ordered_json PluginTargetFormats(MIORADPlugin& plugin) {
    CFHolder<CFArrayRef> formats = plugin.targetFormats();
    ordered_json j = PropertyListJson(formats.Get());
    // Codec types read best as their four characters.
    if (j.is_array())
        for (auto& entry : j)
            if (entry.is_object() && entry.contains("supportedTargetFormats") &&
                entry["supportedTargetFormats"].is_array())
                for (auto& code : entry["supportedTargetFormats"])
                    if (code.is_number_integer()) code = FourCCText(code.get<int64_t>());
    return j;
}

ordered_json PluginClipView(PluginHost& host, const std::string& folder, const std::string& clipID,
                            const std::string& hostVersion) {
    const auto volume = host.VolumeWithPath(folder);
    if (!volume) throw ImportError("the plug-in makes no volume of " + folder, CUFailureKind::kNotACard);
    for (const NamedClip& clip : host.NamedClips(volume)) {
        if (!SameClipID(clip.name, clipID)) continue;
        ordered_json view = PluginClipProperties(*clip.descriptor);
        view["hostVersion"] = hostVersion;
        view["targetFormats"] = PluginTargetFormats(host.Plugin());
        return view;
    }
    throw ImportError("the plug-in does not offer " + clipID);
}

}  // namespace qzimport

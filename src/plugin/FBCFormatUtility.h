#pragma once
// Class operations the plug-in's front classes share: opening a card at a
// path, the plug-in bundle's localized messages and alerts, the host
// application's version, and clip values as text.
// Thread safe: no state of its own (the host's bundle registry and alert
// presenter are guarded by the host).
#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUSharedPtr.h"
#include "FBCClipValueTag.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class HostBundle;

// The identifier the plug-in bundle is registered under (its information
// dictionary's CFBundleIdentifier).
extern const char* const kFBCPluginBundleIdentifier;

class FBCFormatUtility {
public:
    // The card at `path` (display name empty, media type card); empty for a
    // nil path or a folder that cannot be opened as content.
    static CUSharedPtr<CFBCContent> FBCMediaWithPath(const std::optional<std::string>& path);

    // The plug-in's own bundle, or null when the host has not loaded it.
    static std::shared_ptr<HostBundle> PluginBundle();
    // The localized text of `key` (empty when the table lacks it); nil
    // without the plug-in bundle.
    static std::optional<std::string> messageForKey(const std::string& key);
    // A modal alert titled "IDS_FCP_CLIP_ERR_TITLE" with the text of `key`;
    // nothing when either text is missing or empty.
    static void showMessage(const std::string& key);

    // The components of the host's "CFBundleShortVersionString" (each a
    // decimal number, at most 32 bits); empty when the string is missing.
    static std::optional<std::vector<uint32_t>> AppVersionComponents();
    // The host version packed as (a << 16) + (b << 8) + c; 0x60000 without a
    // version string, 0 when it has no first component.
    static uint32_t GetAppVersion();

    // The clip's value of `tag` as text; nil without a clip or value.
    static std::optional<std::string> stringWithClip(const CUSharedPtr<CFBCClip>& clip, _ClipValueTag tag);
    // The clip's numeric value of `tag`; nil without a clip or number.
    static std::optional<uint64_t> numberWithClip(const CUSharedPtr<CFBCClip>& clip, _ClipValueTag tag);
};

}  // namespace ComVantoVantoQZ64RADPlug

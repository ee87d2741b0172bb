#pragma once
// A plug-in bundle as the host loads it from its folder:
//
//   NAME.bundle/Contents/Info.plist                      information dictionary (XML property list)
//   NAME.bundle/Contents/Linux/<CFBundleExecutable>      the module (a shared object)
//   NAME.bundle/Contents/Resources/<lang>.lproj/Localizable.strings   strings table (XML property list)
//   NAME.bundle/Contents/Resources/<image>.ppm           image resources
//
// Bundles are registered by identifier once loaded, so a plug-in finds its
// own bundle again (BundleWithIdentifier). The host application's own
// information (its version) is the main bundle's. A loaded module is never
// unloaded: objects it made may live until the process ends.
// Thread safety: the registry is guarded; a bundle's values do not change
// after it is made.
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "CFDictionary.h"
#include "CFHolder.h"
#include "CUFailure.h"

namespace ComVantoVantoQZ64RADPlug {

class HostLibrary;
class MIORADPluginRegisterBundle;

class HostBundle {
public:
    // Reads the folder's information dictionary and strings table and
    // registers the bundle under its identifier (a later bundle of the same
    // identifier replaces it). Null with the reason in `why` when the folder
    // or its information dictionary cannot be read. A missing or malformed
    // strings table is not a failure: its strings are then absent.
    static std::shared_ptr<HostBundle> BundleWithPath(const std::string& folder, CUFailure* why = nullptr);
    // A registered bundle, or null.
    static std::shared_ptr<HostBundle> BundleWithIdentifier(const std::string& identifier);

    // The host application's bundle: its information dictionary holds
    // "CFBundleShortVersionString". Until set, an empty dictionary.
    static std::shared_ptr<HostBundle> MainBundle();
    // Makes a bundle of the given information (retained) the main bundle.
    static void SetMainBundleInfoDictionary(CFDictionaryRef info);
    // Convenience for hosts and tests: a main bundle whose only entry is the
    // version string, or none when `version` is empty.
    static void SetMainBundleShortVersionString(const std::optional<std::string>& version);

    const std::string& bundlePath() const { return m_path; }
    std::optional<std::string> bundleIdentifier() const;
    // Borrowed; never null (empty when the bundle has none).
    CFDictionaryRef infoDictionary() const { return m_info.Get(); }
    // Borrowed value of a key, or null.
    CFTypeRef objectForInfoDictionaryKey(const std::string& key) const;

    // The string of `key` from the strings table; `value` when the table
    // has no such key (as the host's own lookups answer).
    std::string localizedStringForKey(const std::string& key, const std::string& value) const;
    // Path of the image resource `name` (any supported extension), or empty.
    std::optional<std::string> pathForImageResource(const std::string& name) const;

    // Loads the module named by "CFBundleExecutable" (once) and asks its
    // entry point for the factory. Null with the reason in `why`.
    std::shared_ptr<MIORADPluginRegisterBundle> createFactory(CUFailure* why = nullptr);
    // An exported symbol of the loaded module, or null (loads it first).
    void* symbol(const std::string& name, CUFailure* why = nullptr);

private:
    HostBundle(std::string path, CFHolder<CFDictionaryRef> info, CFHolder<CFDictionaryRef> strings);
    bool loadModule(CUFailure* why);

    std::string m_path;
    CFHolder<CFDictionaryRef> m_info;
    CFHolder<CFDictionaryRef> m_strings;
    std::mutex m_moduleLock;
    std::shared_ptr<HostLibrary> m_module;  // guarded by m_moduleLock
};

}  // namespace ComVantoVantoQZ64RADPlug

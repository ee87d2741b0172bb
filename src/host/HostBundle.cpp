#include "HostBundle.h"

#include <sys/stat.h>

#include <cstdlib>
#include <map>

#include "CFAllocator.h"
#include "CFString.h"
#include "HostLibrary.h"
#include "HostPropertyList.h"
#include "MIORADPluginRegisterBundle.h"

namespace ComVantoVantoQZ64RADPlug {

namespace {

constexpr uint32_t kBundleInvalid = 0x10001;

std::mutex& RegistryLock() {
    static std::mutex lock;
    return lock;
}
// Guarded by RegistryLock(). Bundles stay registered: their modules stay loaded.
std::map<std::string, std::shared_ptr<HostBundle>>& Registry() {
    static std::map<std::string, std::shared_ptr<HostBundle>> bundles;
    return bundles;
}
std::shared_ptr<HostBundle>& MainBundleSlot() {
    static std::shared_ptr<HostBundle> bundle;
    return bundle;
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}
bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
// A resource or module name names one file inside the bundle, never a path out of it.
bool IsPlainName(const std::string& name) {
    return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

CFHolder<CFStringRef> MakeString(const std::string& text) {
    return CFHolder<CFStringRef>::Adopt(
        CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8));
}

CFHolder<CFDictionaryRef> EmptyDictionary() {
    return CFHolder<CFDictionaryRef>::Adopt(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
}

CFHolder<CFDictionaryRef> AsDictionary(CFHolder<CFTypeRef> value) {
    if (!CFCast<CFDictionary>(value.Get())) return {};
    return CFHolder<CFDictionaryRef>::Adopt(static_cast<CFDictionaryRef>(value.Detach()));
}

std::optional<std::string> StringValue(CFDictionaryRef dictionary, const std::string& key) {
    const auto* string = CFCast<CFString>(CFDictionaryGetValue(dictionary, MakeString(key).Get()));
    if (!string) return std::nullopt;
    return CFStringGetStdString(string);
}

// The user's language as the strings folders name it ("de" of "de_DE.UTF-8").
std::string PreferredLanguage() {
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (!value || !*value) continue;
        std::string language(value);
        language = language.substr(0, language.find_first_of(":_.@"));
        if (language == "C" || language == "POSIX" || language.empty()) return "en";
        return language;
    }
    return "en";
}

CFHolder<CFDictionaryRef> ReadStrings(const std::string& resources) {
    for (const std::string& language : {PreferredLanguage(), std::string("en"), std::string("Base")}) {
        const std::string path = resources + "/" + language + ".lproj/Localizable.strings";
        if (!IsRegularFile(path)) continue;
        // A malformed table leaves the bundle without strings, as a host
        // falls back to the keys' default values.
        return AsDictionary(HostPropertyList::ReadFile(path, nullptr));
    }
    return {};
}

}  // namespace

HostBundle::HostBundle(std::string path, CFHolder<CFDictionaryRef> info, CFHolder<CFDictionaryRef> strings)
    : m_path(std::move(path)), m_info(std::move(info)), m_strings(std::move(strings)) {}

std::shared_ptr<HostBundle> HostBundle::BundleWithPath(const std::string& folder, CUFailure* why) {
    auto fail = [&](const std::string& what, const std::string& file) {
        if (why) *why = CUFailure(kBundleInvalid, what, file);
        return std::shared_ptr<HostBundle>();
    };
    if (!IsFolder(folder)) return fail("bundle folder does not exist", folder);
    const std::string infoPath = folder + "/Contents/Info.plist";
    CUFailure readFailure;
    CFHolder<CFTypeRef> value = HostPropertyList::ReadFile(infoPath, &readFailure);
    if (!value) return fail("information dictionary: " + readFailure.What(), infoPath);
    CFHolder<CFDictionaryRef> info = AsDictionary(std::move(value));
    if (!info) return fail("information dictionary is not a dictionary", infoPath);

    std::shared_ptr<HostBundle> bundle(
        new HostBundle(folder, std::move(info), ReadStrings(folder + "/Contents/Resources")));
    if (std::optional<std::string> identifier = bundle->bundleIdentifier()) {
        std::lock_guard<std::mutex> hold(RegistryLock());
        Registry()[*identifier] = bundle;
    }
    return bundle;
}

std::shared_ptr<HostBundle> HostBundle::BundleWithIdentifier(const std::string& identifier) {
    std::lock_guard<std::mutex> hold(RegistryLock());
    auto found = Registry().find(identifier);
    return found == Registry().end() ? nullptr : found->second;
}

std::shared_ptr<HostBundle> HostBundle::MainBundle() {
    std::lock_guard<std::mutex> hold(RegistryLock());
    std::shared_ptr<HostBundle>& bundle = MainBundleSlot();
    if (!bundle) bundle.reset(new HostBundle(std::string(), EmptyDictionary(), {}));
    return bundle;
}

void HostBundle::SetMainBundleInfoDictionary(CFDictionaryRef info) {
    CFHolder<CFDictionaryRef> held = info ? CFHolder<CFDictionaryRef>::Retain(info) : EmptyDictionary();
    std::shared_ptr<HostBundle> bundle(new HostBundle(std::string(), std::move(held), {}));
    std::lock_guard<std::mutex> hold(RegistryLock());
    MainBundleSlot() = std::move(bundle);
}

void HostBundle::SetMainBundleShortVersionString(const std::optional<std::string>& version) {
    CFHolder<CFDictionaryRef> info = EmptyDictionary();
    if (version) {
        CFDictionarySetValue(CFDictionaryAsMutable(info.Get()), MakeString("CFBundleShortVersionString").Get(),
                             MakeString(*version).Get());
    }
    SetMainBundleInfoDictionary(info.Get());
}

std::optional<std::string> HostBundle::bundleIdentifier() const {
    return StringValue(m_info.Get(), "CFBundleIdentifier");
}

CFTypeRef HostBundle::objectForInfoDictionaryKey(const std::string& key) const {
    return CFDictionaryGetValue(m_info.Get(), MakeString(key).Get());
}

std::string HostBundle::localizedStringForKey(const std::string& key, const std::string& value) const {
    if (!m_strings) return value;
    return StringValue(m_strings.Get(), key).value_or(value);
}

std::optional<std::string> HostBundle::pathForImageResource(const std::string& name) const {
    if (!IsPlainName(name) || m_path.empty()) return std::nullopt;
    const std::string path = m_path + "/Contents/Resources/" + name + ".ppm";
    if (!IsRegularFile(path)) return std::nullopt;
    return path;
}

bool HostBundle::loadModule(CUFailure* why) {
    if (m_module) return true;
    const std::optional<std::string> executable = StringValue(m_info.Get(), "CFBundleExecutable");
    const std::string infoPath = m_path + "/Contents/Info.plist";
    if (!executable || !IsPlainName(*executable)) {
        if (why) *why = CUFailure(kBundleInvalid, "information dictionary names no module (CFBundleExecutable)", infoPath);
        return false;
    }
    // Never unloaded: objects the module made may live as long as the process.
    m_module = HostLibrary::Load(m_path + "/Contents/Linux/" + *executable, why);
    return m_module != nullptr;
}

void* HostBundle::symbol(const std::string& name, CUFailure* why) {
    std::lock_guard<std::mutex> hold(m_moduleLock);
    if (!loadModule(why)) return nullptr;
    void* address = m_module->Symbol(name);
    if (!address && why) *why = CUFailure(kBundleInvalid, "module does not export " + name, m_path);
    return address;
}

std::shared_ptr<MIORADPluginRegisterBundle> HostBundle::createFactory(CUFailure* why) {
    auto create = reinterpret_cast<MIORADPluginCreateFactoryFunction>(symbol(kMIORADPluginCreateFactorySymbol, why));
    if (!create) return nullptr;
    std::shared_ptr<MIORADPluginRegisterBundle> factory;
    create(&factory);
    if (!factory && why) *why = CUFailure(kBundleInvalid, "module's entry point made no factory", m_path);
    return factory;
}

}  // namespace ComVantoVantoQZ64RADPlug

// Feeds arbitrary bytes to the readers of a plug-in bundle's information
// dictionary and strings table. The input is a 2-byte big-endian length,
// the Info.plist bytes and the Localizable.strings bytes, written into a
// scratch bundle folder that is then opened as a host opens a bundle and
// asked for its keys and strings (the module is never loaded).
#include "CFType.h"
#include "CUFailure.h"
#include "FuzzScratch.h"
#include "HostBundle.h"
#include "HostPropertyList.h"

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

const std::string& BundleFolder() {
    static const std::string folder = [] {
        const std::string made = qzfuzz::MakeScratchFolder("qz-bundle-fuzz");
        for (const char* sub : {"/Contents", "/Contents/Resources", "/Contents/Resources/en.lproj"})
            mkdir((made + sub).c_str(), 0700);
        return made;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t infoSize = qzfuzz::BigEndianPrefix(data, 2);
    if (infoSize > size - 2) return 0;
    const std::string infoPath = BundleFolder() + "/Contents/Info.plist";
    const std::string stringsPath = BundleFolder() + "/Contents/Resources/en.lproj/Localizable.strings";
    qzfuzz::WriteWholeFile(infoPath, data + 2, infoSize);
    qzfuzz::WriteWholeFile(stringsPath, data + 2 + infoSize, size - 2 - infoSize);

    CUFailure why;
    CFHolder<CFTypeRef> strings = HostPropertyList::ReadFile(stringsPath, &why);
    std::shared_ptr<HostBundle> bundle = HostBundle::BundleWithPath(BundleFolder(), &why);
    if (!bundle) return 0;
    (void)bundle->bundleIdentifier();
    for (const char* key : {"RADPlugins", "CFBundleExecutable", "CFBundleShortVersionString", "CFBundleName"})
        (void)bundle->objectForInfoDictionaryKey(key);
    for (const char* key : {"IDS_FCP_CLIP_INVALID", "IDS_FCP_CLIP_ERR_TITLE", ""})
        (void)bundle->localizedStringForKey(key, "fallback");
    (void)bundle->pathForImageResource("MediaIcon_Cam_n");
    return 0;
}

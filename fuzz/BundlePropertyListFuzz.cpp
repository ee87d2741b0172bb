// Feeds arbitrary bytes to the readers of a plug-in bundle's information
// dictionary and strings table. The input is a 2-byte big-endian length,
// the Info.plist bytes and the Localizable.strings bytes, written into a
// scratch bundle folder that is then opened as a host opens a bundle and
// asked for its keys and strings (the module is never loaded).
#include "CFType.h"
#include "CUFailure.h"
#include "HostBundle.h"
#include "HostPropertyList.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

const std::string& BundleFolder() {
    static const std::string folder = [] {
        const char* base = getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/qz-bundle-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) abort();
        for (const char* sub : {"/Contents", "/Contents/Resources", "/Contents/Resources/en.lproj"})
            mkdir((pattern + sub).c_str(), 0700);
        return pattern;
    }();
    return folder;
}

void Write(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) abort();
    if (size && fwrite(data, 1, size, file) != size) abort();
    fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t infoSize = (size_t{data[0]} << 8) | data[1];
    if (infoSize > size - 2) return 0;
    const std::string infoPath = BundleFolder() + "/Contents/Info.plist";
    const std::string stringsPath = BundleFolder() + "/Contents/Resources/en.lproj/Localizable.strings";
    Write(infoPath, data + 2, infoSize);
    Write(stringsPath, data + 2 + infoSize, size - 2 - infoSize);

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

#include "HostLibrary.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace ComVantoVantoQZ64RADPlug {

namespace {
constexpr uint32_t kLibraryInvalid = 0x10001;
}  // namespace

std::shared_ptr<HostLibrary> HostLibrary::Load(const std::string& path, CUFailure* why) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        if (why) *why = CUFailure(kLibraryInvalid, "module file is missing", path);
        return nullptr;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = ::dlerror();
        if (why)
            *why = CUFailure(kLibraryInvalid, std::string("module does not load: ") + (error ? error : "?"),
                             path);
        return nullptr;
    }
    return std::shared_ptr<HostLibrary>(new HostLibrary(path, handle));
}

void* HostLibrary::Symbol(const std::string& name) const {
    return ::dlsym(m_handle, name.c_str());
}

}  // namespace ComVantoVantoQZ64RADPlug

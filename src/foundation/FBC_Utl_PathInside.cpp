#include "FBC_Utl_PathInside.h"

#include <filesystem>
#include <system_error>

namespace ComVantoVantoQZ64RADPlug {

bool FBC_Utl_PathIsInside(const std::string& path, const std::string& folder) {
    std::error_code error;
    const std::filesystem::path inner = std::filesystem::weakly_canonical(path, error);
    if (error) return false;
    const std::filesystem::path outer = std::filesystem::weakly_canonical(folder, error);
    if (error) return false;
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o) {
        if (o->empty()) continue;  // the trailing "" of a path ending in '/'
        if (i == inner.end() || *i != *o) return false;
        ++i;
    }
    return true;
}

}  // namespace ComVantoVantoQZ64RADPlug

#include "UnlistedFiles.h"

#include "CFBCCardFiles.h"
#include "CFBCClip.h"
#include "CUArray.h"
#include "CUStringMac.h"
#include "CardOpening.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;
namespace fs = std::filesystem;

namespace {

std::string NameOf(const CUSharedPtr<CUStringMac>& path) {
    return path ? fs::path(path->Utf8()).filename().string() : std::string();
}

// The names of the files clip `clip` names in its folder.
void AddNamedFiles(const CFBCClip& clip, std::set<std::string>& names) {
    for (const CFBCNamedFile& name : CFBCCardFiles::NamesOf(clip)) names.insert(name.path);
}

// The entries of `folder` in name order; none when it cannot be listed.
std::vector<fs::directory_entry> Listing(const fs::path& folder) {
    std::vector<fs::directory_entry> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(*it);
    std::sort(entries.begin(), entries.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path() < b.path(); });
    return entries;
}

bool IsFolder(const fs::directory_entry& entry) {
    std::error_code error;
    return entry.is_directory(error);
}

}  // namespace

std::vector<UnlistedEntry> FindUnlisted(const CFBCContent& content,
                                        const std::vector<std::string>& onlyClips) {
    std::vector<UnlistedEntry> unlisted;
    CUSharedPtr<CUStringMac> clipsPath = content.GetClipsPath();
    CUSharedPtr<CUStringMac> rootPath = content.GetRootPath();
    if (!clipsPath || !rootPath) return unlisted;
    fs::path root = fs::path(rootPath->Utf8()).lexically_normal();
    if (!root.has_filename()) root = root.parent_path();
    auto relative = [&root](const fs::path& path) {
        return path.lexically_normal().lexically_relative(root).generic_string();
    };

    // Clip folder name -> the files its clips name (two entries may share one).
    std::map<std::string, std::set<std::string>> named;
    CUSharedPtr<CUArray> clips = content.ClipList();
    for (size_t i = 0; clips && i < clips->Count(); ++i) {
        CUSharedPtr<CFBCClip> clip = clips->ObjectAtIndex(i);
        if (clip) AddNamedFiles(*clip, named[NameOf(clip->GetClipPath())]);
    }
    auto wanted = [&onlyClips](const std::string& folder) {
        if (onlyClips.empty()) return true;
        return std::any_of(onlyClips.begin(), onlyClips.end(),
                           [&folder](const std::string& id) { return SameClipID(id, folder); });
    };

    for (const fs::directory_entry& entry : Listing(clipsPath->Utf8())) {
        const std::string name = entry.path().filename().string();
        if (!IsFolder(entry)) continue;  // INDEX.MIF and other files of the clips folder are not clips
        const auto clip = named.find(name);
        if (clip == named.end()) {
            if (onlyClips.empty())
                unlisted.push_back({relative(entry.path()), true, "a clip folder the index does not list"});
            continue;
        }
        if (!wanted(name)) continue;
        for (const fs::directory_entry& file : Listing(entry.path())) {
            if (clip->second.count(file.path().filename().string())) continue;
            const bool folder = IsFolder(file);
            unlisted.push_back({relative(file.path()), folder,
                                folder ? "a folder in clip folder " + name
                                       : "a file that no clip of clip folder " + name + " names"});
        }
    }
    return unlisted;
}

}  // namespace qzimport

#include "CFBCCardFiles.h"

#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUArray.h"
#include "CUStringMac.h"

#include <set>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// The last component of a path the clip formed; empty without one.
std::string NameOf(const CUSharedPtr<CUStringMac>& path) {
    if (!path || path->IsNull()) return std::string();
    const std::string text = path->Utf8();
    const size_t slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

void Add(std::vector<CFBCNamedFile>& files, std::set<std::string>& seen, const std::string& path,
         bool required) {
    if (path.empty() || path.back() == '/') return;
    if (seen.insert(path).second) {
        files.push_back({path, required});
        return;
    }
    // Named twice (two index entries of one clip): required when either says so.
    for (CFBCNamedFile& file : files)
        if (file.path == path) file.required = file.required || required;
}

}  // namespace

std::vector<CFBCNamedFile> CFBCCardFiles::NamesOf(const CFBCClip& clip) {
    std::vector<CFBCNamedFile> names;
    std::set<std::string> seen;
    Add(names, seen, NameOf(clip.GetCIFPath()), true);
    Add(names, seen, NameOf(clip.GetXMLPath()), true);
    Add(names, seen, NameOf(clip.GetTHMPath()), false);
    Add(names, seen, NameOf(clip.GetCPFPath()), false);
    CUSharedPtr<CUArray> members = clip.AllMXFFilePath();
    for (size_t i = 0; members && i < members->Count(); ++i) {
        const std::string mxf = NameOf(CUSharedPtr<CUStringMac>(members->ObjectAtIndex(i)));
        if (mxf.size() < 4) continue;  // the entry's number gives no name
        Add(names, seen, mxf, true);
        // Each member's sub-information file has the member's name.
        Add(names, seen, mxf.substr(0, mxf.size() - 4) + ".SIF", false);
    }
    return names;
}

std::vector<CFBCNamedFile> CFBCCardFiles::Of(const CFBCContent& content) {
    std::vector<CFBCNamedFile> files;
    std::set<std::string> seen;
    const std::string clips = std::string(kContentsFolderName) + "/" + kClipsFolderName + "/";
    Add(files, seen, clips + kMediaIndexFileName, true);
    CUSharedPtr<CUArray> list = content.ClipList();
    for (size_t i = 0; list && i < list->Count(); ++i) {
        CUSharedPtr<CFBCClip> clip = list->ObjectAtIndex(i);
        if (!clip) continue;
        const std::string folder = NameOf(clip->GetClipPath());
        if (folder.empty()) continue;
        for (const CFBCNamedFile& name : NamesOf(*clip))
            Add(files, seen, clips + folder + "/" + name.path, name.required);
    }
    return files;
}

}  // namespace ComVantoVantoQZ64RADPlug

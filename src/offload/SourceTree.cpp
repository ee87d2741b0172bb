#include "SourceTree.h"

#include "CUFileStatus.h"
#include "HashList.h"
#include "OffloadError.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace qzoffload {

using ComVantoVantoQZ64RADPlug::CUFileStatus;
namespace fs = std::filesystem;

namespace {

bool Ignored(const std::string& name) {
    const std::vector<std::string>& patterns = DefaultIgnorePatterns();
    return std::find(patterns.begin(), patterns.end(), name) != patterns.end();
}

void WalkFolder(const std::string& root, const std::string& relative, SourceTree& tree, int depth) {
    const std::string folder = relative.empty() ? root : root + "/" + relative;
    // Deeper than any card; also stops a loop of bind mounts.
    if (depth > 64) throw OffloadError("cannot list " + folder + ": folders nested too deeply");
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    if (error) throw OffloadError("cannot list " + folder + ": " + error.message());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = relative.empty() ? name : relative + "/" + name;
        if (Ignored(name)) {
            tree.skipped.push_back({path, "ignored, as ASC MHL histories ignore it"});
            continue;
        }
        std::string reason;
        const std::optional<CUFileStatus> status = CUFileStatus::Of(root + "/" + path, &reason);
        if (!status) throw OffloadError("cannot read " + root + "/" + path + ": " + reason);
        switch (status->kind) {
            case CUFileStatus::Kind::kFolder:
                tree.folders.push_back({path, 0, status->modified});
                WalkFolder(root, path, tree, depth + 1);
                break;
            case CUFileStatus::Kind::kRegular:
                tree.files.push_back({path, status->size, status->modified});
                tree.totalBytes += status->size;
                break;
            case CUFileStatus::Kind::kSymbolicLink:
                tree.skipped.push_back({path, "a symbolic link, not copied"});
                break;
            case CUFileStatus::Kind::kOther:
                tree.skipped.push_back({path, "not a regular file or folder, not copied"});
                break;
        }
    }
}

}  // namespace

SourceTree SourceTree::Walk(const std::string& root) {
    SourceTree tree;
    std::string reason;
    const std::optional<CUFileStatus> status = CUFileStatus::Of(root, &reason);
    if (!status) throw OffloadError("cannot read " + root + ": " + reason);
    tree.rootModified = status->modified;
    WalkFolder(root, "", tree, 0);
    return tree;
}

}  // namespace qzoffload

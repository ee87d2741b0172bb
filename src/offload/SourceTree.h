#pragma once
// Every folder and regular file under a root folder, with relative paths
// ('/'-separated, sorted), sizes and modification times, as one listing
// taken before copying or checking. Anything else (symbolic links, devices,
// sockets) is listed as skipped with the reason; so are the names an ASC
// MHL history ignores by default (.DS_Store, ascmhl). Symbolic links are
// never followed. A plain value.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace qzoffload {

struct SourceFile {
    std::string relativePath;
    uint64_t size = 0;
    timespec modified{};
};

struct SkippedItem {
    std::string relativePath;
    std::string reason;
};

struct SourceTree {
    std::vector<SourceFile> folders;  // parents before children (size 0)
    timespec rootModified{};
    std::vector<SourceFile> files;
    std::vector<SkippedItem> skipped;
    uint64_t totalBytes = 0;

    // Throws OffloadError when the root or a folder in it cannot be listed.
    static SourceTree Walk(const std::string& root);
};

}  // namespace qzoffload

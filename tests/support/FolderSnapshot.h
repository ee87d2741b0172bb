#pragma once
// Every file of a folder tree with its bytes, size and modification time,
// to show that a command left a card untouched.
#include "TestFiles.h"

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace qztest {

using FolderSnapshot =
    std::map<std::string, std::tuple<std::vector<uint8_t>, uintmax_t, std::filesystem::file_time_type>>;

inline FolderSnapshot TakeSnapshot(const std::string& root) {
    FolderSnapshot snapshot;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            snapshot[entry.path().string()] = {ReadFile(entry.path().string()), entry.file_size(),
                                               entry.last_write_time()};
    return snapshot;
}

}  // namespace qztest

#pragma once
// The hashes of one file in every format asked for, fed the same chunks of
// one read, or read from a file. Used by one thread at a time.
#include "CUDriveFileReader.h"
#include "HashFormat.h"
#include "Hasher.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qzoffload {

// Hash text by format.
using FileHashes = std::map<HashFormat, std::string>;

class HashSet {
public:
    explicit HashSet(const std::vector<HashFormat>& formats);

    void Update(const unsigned char* bytes, size_t size);
    // Every format's text; the set is spent afterwards.
    FileHashes Finish();

    // The hashes of the file at `path` as the drive holds it (read past the
    // page cache where the file system allows). Throws CUInterrupted when a
    // signal asks the process to stop; a file that cannot be read gives
    // nothing and the reason in `failure`. Reads through `buffer` when given
    // (reused from file to file, HashOnDrive), else through its own.
    static FileHashes OfFile(const std::string& path, const std::vector<HashFormat>& formats,
                             std::string& failure,
                             ComVantoVantoQZ64RADPlug::CUDriveFileReader::Buffer* buffer = nullptr);

private:
    std::vector<std::pair<HashFormat, std::unique_ptr<Hasher>>> m_Hashers;
};

// "xxh64 0123abcd..., md5 ..." for messages.
std::string DescribeHashes(const FileHashes& hashes);

}  // namespace qzoffload

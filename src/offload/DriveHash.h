#pragma once
// The hashes of a file as its drive holds it, read from the drive (not the
// page cache: CUDriveFileReader kFromDrive) in pieces its file system takes
// best: whole 4 MiB requests for a drive, pieces that stay in the
// processor's cache for a file system that keeps its files in memory (there
// each piece is copied and hashed at once, instead of travelling through
// main memory twice). Used by the read-back of a copy, its re-hash on a
// resumed run and --check. Callable from any thread, one buffer per thread.
#include "CUDriveFileReader.h"
#include "HashSet.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qzoffload {

struct DriveHash {
    FileHashes hashes;
    uint64_t bytes = 0;  // read
};

// Bytes asked of a drive in one read.
constexpr size_t kDriveReadBytes = 4u << 20;

// Nothing when interrupted (CUInterruption) before the end. Throws CUError
// when the file cannot be opened or read. `buffer` is allocated at the
// first call (kDriveReadBytes) and may be reused for the next files.
std::optional<DriveHash> HashOnDrive(const std::string& path, const std::vector<HashFormat>& formats,
                                     ComVantoVantoQZ64RADPlug::CUDriveFileReader::Buffer& buffer);

}  // namespace qzoffload

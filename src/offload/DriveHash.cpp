#include "DriveHash.h"

#include "CUInterruption.h"

namespace qzoffload {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// Half a core's second-level cache: the copy and the hash of a piece meet there.
constexpr size_t kMemoryReadBytes = 256u << 10;

}  // namespace

std::optional<DriveHash> HashOnDrive(const std::string& path, const std::vector<HashFormat>& formats,
                                     CUDriveFileReader::Buffer& buffer) {
    if (!buffer) buffer = CUDriveFileReader::AllocateBuffer(kDriveReadBytes);
    CUDriveFileReader reader(path, CUDriveFileReader::Source::kFromDrive);
    const size_t piece = reader.MemoryBacked() ? kMemoryReadBytes : kDriveReadBytes;
    HashSet hashes(formats);
    while (const size_t got = reader.Read(buffer.get(), piece)) {
        if (CUInterruption::Requested()) return std::nullopt;
        hashes.Update(buffer.get(), got);
    }
    return DriveHash{hashes.Finish(), reader.Offset()};
}

}  // namespace qzoffload

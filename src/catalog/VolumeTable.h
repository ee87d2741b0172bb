#pragma once
// The statements of the volumes table: a volume recorded by its identity
// key, its UUID, label, file system, device and where it was last mounted.
// Within the caller's transaction; one thread.
#include "CUVolumeIdentity.h"
#include "Database.h"

#include <cstdint>

namespace qzcatalog {

class VolumeTable {
public:
    explicit VolumeTable(Database& database) : m_Database(database) {}

    int64_t Record(const ComVantoVantoQZ64RADPlug::CUVolumeIdentity& volume, int64_t seenAt);
    std::optional<int64_t> IdOfKey(const std::string& key);

private:
    Database& m_Database;
};

}  // namespace qzcatalog

#include "VolumeTable.h"

namespace qzcatalog {

namespace {

std::optional<std::string> NonEmpty(const std::string& text) {
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

}  // namespace

int64_t VolumeTable::Record(const ComVantoVantoQZ64RADPlug::CUVolumeIdentity& volume, int64_t seenAt) {
    std::unique_ptr<Statement> upsert = m_Database.Prepare(
        "INSERT INTO volumes (volume_key, uuid, label, fs_type, device, mount_point, last_seen) "
        "VALUES ($1, $2, $3, $4, $5, $6, $7) ON CONFLICT (volume_key) DO UPDATE SET uuid = excluded.uuid, "
        "label = excluded.label, fs_type = excluded.fs_type, device = excluded.device, "
        "mount_point = excluded.mount_point, "
        "last_seen = CASE WHEN excluded.last_seen > volumes.last_seen THEN excluded.last_seen "
        "ELSE volumes.last_seen END RETURNING id");
    upsert->Bind(1, volume.Key())
        .Bind(2, NonEmpty(volume.uuid))
        .Bind(3, NonEmpty(volume.label))
        .Bind(4, NonEmpty(volume.fsType))
        .Bind(5, NonEmpty(volume.device))
        .Bind(6, NonEmpty(volume.mountPoint))
        .Bind(7, seenAt);
    if (!upsert->Step()) throw CatalogError("the catalog " + m_Database.Where() + " recorded no volume row");
    return upsert->Int(0);
}

std::optional<int64_t> VolumeTable::IdOfKey(const std::string& key) {
    std::unique_ptr<Statement> find = m_Database.Prepare("SELECT id FROM volumes WHERE volume_key = $1");
    find->Bind(1, key);
    return find->Step() ? std::optional<int64_t>(find->Int(0)) : std::nullopt;
}

}  // namespace qzcatalog

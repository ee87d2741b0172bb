#pragma once
// What the catalog tests share: the two stores as a test parameter, a
// fresh empty catalog of either (a SQLite file in a scratch folder, a
// database of the test program's PostgreSQL server), the store's own
// command-line client as the independent reader, and small records of
// cards and their copies made up for a test.
#include "Catalog.h"
#include "CatalogRecords.h"
#include "ExternalTool.h"
#include "PostgresServer.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace catalog_test {

enum class StoreKind { kSqlite, kPostgres };

inline std::string StoreName(const testing::TestParamInfo<StoreKind>& info) {
    return info.param == StoreKind::kSqlite ? "SQLite" : "PostgreSQL";
}

// A fresh catalog: `location` is what --catalog takes.
struct FreshCatalog : qztest::ScratchFolder {
    explicit FreshCatalog(StoreKind kind) : ScratchFolder("catalog"), store(kind) {
        location = kind == StoreKind::kSqlite ? Path() + "/catalog.sqlite"
                                              : qztest::PostgresServer::Instance().NewDatabase();
    }
    qzcatalog::CatalogLocation Location() const { return qzcatalog::CatalogLocation::Named(location); }
    std::unique_ptr<qzcatalog::Catalog> Open() const {
        return std::make_unique<qzcatalog::Catalog>(Location());
    }

    // sqlite3's or psql's answer to `sql`: rows on lines, columns split by '|'.
    std::string Query(const std::string& sql) const {
        const qztest::CommandResult run =
            store == StoreKind::kSqlite
                ? qztest::RunCommand("sqlite3 -batch -noheader -cmd '.timeout 30000' " +
                                         qztest::ShellQuote(location) + " " + qztest::ShellQuote(sql),
                                     qztest::Capture::StdoutAndStderr)
                : qztest::PostgresServer::Instance().Psql(qztest::PostgresServer::DatabaseOf(location), sql);
        EXPECT_EQ(run.exitCode, 0) << sql << ": " << run.output;
        return run.output;
    }
    // A text column as hexadecimal digits, as the store itself spells it (upper case).
    std::string HexOf(const std::string& column) const {
        return store == StoreKind::kSqlite ? "hex(" + column + ")" : "upper(encode(" + column + ", 'hex'))";
    }

    StoreKind store;
    std::string location;
};

// A fixture over both stores: PostgreSQL tests skip without a server
// (and fail under CI=true).
class StoreTest : public testing::TestWithParam<StoreKind> {
protected:
    void SetUp() override {
        if (GetParam() == StoreKind::kPostgres) QZ_REQUIRE_POSTGRES();
        if (GetParam() == StoreKind::kSqlite) QZ_REQUIRE_TOOL("sqlite3");
        catalog = std::make_unique<FreshCatalog>(GetParam());
    }
    std::unique_ptr<FreshCatalog> catalog;
};

// A made-up card of `files` files, the first two in the folder of clip
// QZ0001 (which it holds), the others under CONTENTS/OTHER/.
inline qzcatalog::CardSeen MadeUpCard(const std::string& medium, size_t files, int64_t seenAt = 1714555800) {
    qzcatalog::CardSeen card;
    card.mediumId = medium;
    card.folderName = "card-" + medium;
    card.seenAt = seenAt;
    qzcatalog::ClipSeen clip;
    clip.clipId = "QZ0001";
    clip.title = "a clip of " + medium;
    card.clips.push_back(clip);
    for (size_t i = 0; i < files; ++i) {
        qzcatalog::CardFileSeen file;
        file.path =
            i < 2 ? "CONTENTS/CLIPS001/QZ0001/F" + std::to_string(i) : "CONTENTS/OTHER/F" + std::to_string(i);
        file.size = 1000 + static_cast<int64_t>(i);
        file.modifiedNs = 1714555000LL * 1000000000;
        if (i < 2) file.clipId = "QZ0001";
        card.files.push_back(file);
    }
    return card;
}

// A made-up volume, known by `name`.
inline ComVantoVantoQZ64RADPlug::CUVolumeIdentity MadeUpVolume(const std::string& name) {
    ComVantoVantoQZ64RADPlug::CUVolumeIdentity volume;
    volume.uuid = "uuid-" + name;
    volume.label = name;
    volume.mountPoint = "/media/" + name;
    return volume;
}

// The copies of every file of `card` in the folder `folder` of `volume`,
// each vouched for with `action` and the xxh64 hash `hash` (one per file).
inline qzcatalog::CopiesSeen MadeUpCopies(const qzcatalog::CardSeen& card, const std::string& volume,
                                          const std::string& folder,
                                          qzoffload::HashAction action = qzoffload::HashAction::kOriginal,
                                          int64_t at = 1714556000) {
    qzcatalog::CopiesSeen seen;
    seen.card = card;
    seen.card.direct = false;
    seen.card.clips.clear();
    seen.volume = MadeUpVolume(volume);
    seen.historyPath = folder;
    for (qzcatalog::CardFileSeen& file : seen.card.files) file.hashes.clear();
    for (const qzcatalog::CardFileSeen& file : card.files) {
        qzcatalog::CopySeen copy;
        copy.cardPath = file.path;
        copy.path = folder + "/" + file.path;
        copy.size = file.size;
        copy.action = action;
        copy.hashes[qzoffload::HashFormat::kXxh64] = {std::string(16, 'a'), action, at};
        copy.vouchedAt = at;
        copy.generation = 1;
        copy.generationFile = "0001_" + card.folderName + ".mhl";
        seen.copies.push_back(copy);
    }
    return seen;
}

}  // namespace catalog_test

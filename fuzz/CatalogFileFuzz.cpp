// Opens arbitrary bytes as a SQLite catalog file and asks it every question
// that reads the whole catalog: a damaged file must be refused with a
// CatalogError, never crash, hang or over-allocate.
#include "Catalog.h"
#include "CatalogQuestions.h"
#include "FuzzScratch.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = qzfuzz::MakeScratchFolder("qz-catalog-fuzz");
    const std::string path = folder + "/catalog.sqlite";
    for (const char* suffix : {"-wal", "-shm"}) std::remove((path + suffix).c_str());
    qzfuzz::WriteWholeFile(path, data, size);
    try {
        qzcatalog::Catalog catalog(qzcatalog::CatalogLocation::Named(path));
        qzcatalog::CatalogQuestions questions(catalog);
        questions.Cards(2);
        questions.Lacking(2, std::nullopt);
        questions.Find("qz");
        questions.Copies("QZ0001");
        questions.Recordings(true);
    } catch (const qzcatalog::CatalogError&) {
    }
    return 0;
}

// Feeds arbitrary bytes to the reader of an offload's journal (the record
// a killed offload leaves beside a copy's history): it never throws, and
// every file it takes has a path that stays inside the copy and hash text
// of its format.
#include "HashListXml.h"
#include "OffloadJournal.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<qzoffload::JournalContents> journal =
        qzoffload::OffloadJournal::Parse(std::string(reinterpret_cast<const char*>(data), size));
    if (!journal) return 0;
    for (const auto& [path, file] : journal->done) {
        if (path != file.path || !qzoffload::HashListXml::IsSafeRelativePath(path) || file.hashes.empty())
            std::abort();
        for (const auto& [format, text] : file.hashes)
            if (!qzoffload::IsHashText(format, text)) std::abort();
    }
    for (const std::string& path : journal->expected)
        if (!qzoffload::HashListXml::IsSafeRelativePath(path)) std::abort();
    return 0;
}

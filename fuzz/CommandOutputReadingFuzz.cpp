// Arbitrary bytes as an export record ID.json (first byte even) or report.json (odd), read as the catalog
// does: a CatalogError, never a crash, hang or over-allocation; outputs in its folder, checks with a card.
#include "CatalogError.h"
#include "CommandOutputReading.h"
#include "FuzzScratch.h"  // also <stdlib.h>, <cstdint>, <string>

#include <filesystem>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const std::string folder = qzfuzz::MakeScratchFolder("qz-command-output-fuzz");
    const std::string path = folder + ((data[0] & 1) != 0 ? "/report.json" : "/QZ0001.json");
    qzfuzz::WriteWholeFile(path, data + 1, size - 1);
    try {
        if (path.ends_with("/report.json")) {
            for (const qzcatalog::CheckSeen& check : qzcatalog::CommandOutputReading::ReportChecks(path, 0)) {
                bool sound = !check.mediumId.empty() && check.kind == "verify-decode";
                for (const qzcatalog::CheckResultSeen& result : check.results)
                    sound = sound && (result.result == "clean" || result.result == "problems");
                if (!sound) std::abort();
            }
            return 0;
        }
        const fs::path own = fs::absolute(path).lexically_normal();
        for (const qzcatalog::OutputSeen& output : qzcatalog::CommandOutputReading::ExportOutputs(path, 0))
            if (fs::path(output.path).parent_path() != own.parent_path() || output.recordPath != own.string())
                std::abort();
    } catch (const qzcatalog::CatalogError&) {
    }
    return 0;
}

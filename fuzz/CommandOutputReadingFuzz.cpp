// Arbitrary bytes as what export and report put in place, read back as the
// catalog reads them (first byte even: an export record ID.json, odd: a
// report.json): refused with a CatalogError, never a crash, hang or
// over-allocation; outputs lie in the record's folder, checks name their card.
#include "CatalogError.h"
#include "CommandOutputReading.h"
#include "FuzzScratch.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const std::string folder = qzfuzz::MakeScratchFolder("qz-command-output-fuzz");
    const bool report = (data[0] & 1) != 0;
    const std::string path = folder + (report ? "/report.json" : "/QZ0001.json");
    qzfuzz::WriteWholeFile(path, data + 1, size - 1);
    try {
        if (report) {
            for (const qzcatalog::CheckSeen& check : qzcatalog::CommandOutputReading::ReportChecks(path, 0)) {
                if (check.mediumId.empty() || check.kind != "verify-decode") std::abort();
                for (const qzcatalog::CheckResultSeen& result : check.results)
                    if (result.result != "clean" && result.result != "problems") std::abort();
            }
        } else {
            const std::filesystem::path own = std::filesystem::absolute(path).lexically_normal();
            for (const qzcatalog::OutputSeen& output :
                 qzcatalog::CommandOutputReading::ExportOutputs(path, 0))
                if (std::filesystem::path(output.path).parent_path() != own.parent_path() ||
                    output.recordPath != own.string())
                    std::abort();
        }
    } catch (const qzcatalog::CatalogError&) {
    }
    return 0;
}

// qzcard mxf-info FILE [--json] [--units]: what the MXF reader finds in one
// file - partitions, operational pattern, essence containers, the material
// package's tracks with their descriptor values, the start timecode, the
// index, and with --units every element of every edit unit.
#include "CommandRegistry.h"

#include "ImportError.h"
#include "MxfFileInfo.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <iostream>
#include <memory>
#include <string>

namespace {

using nlohmann::ordered_json;

// mxf-info's own exit codes: 2 for a FILE it cannot open, 3 for a file that
// is no readable MXF.
constexpr int kExitCannotOpen = 2;
constexpr int kExitNotMxf = 3;

void PrintText(const qzimport::MxfFileInfo& record) {
    const ordered_json& out = record.info;
    const std::string& path = record.path;
    const bool units = record.units;
    std::cout << "File: " << path << " (" << out["size"].get<uint64_t>() << " bytes)\n";
    std::cout << "Partitions:\n";
    for (const auto& p : out["partitions"]) {
        if (p.contains("error")) {
            std::cout << "  @" << p["offset"].get<uint64_t>() << " " << p["error"].get<std::string>() << "\n";
            continue;
        }
        std::cout << "  " << p["kind"].get<std::string>() << " (" << p["status"].get<std::string>() << ") @"
                  << p["offset"].get<uint64_t>() << " BodySID " << p["bodySid"].get<uint32_t>()
                  << " IndexSID " << p["indexSid"].get<uint32_t>() << " KAG " << p["kagSize"].get<uint32_t>()
                  << " header " << p["headerByteCount"].get<uint64_t>() << " index "
                  << p["indexByteCount"].get<uint64_t>() << " bodyOffset " << p["bodyOffset"].get<uint64_t>()
                  << "\n";
    }
    if (out.contains("operationalPattern"))
        std::cout << "Operational pattern: " << out["operationalPattern"].get<std::string>()
                  << (out["op1a"].get<bool>() ? " (OP1a)" : "") << "\n";
    if (out.contains("essenceContainers"))
        for (const auto& ec : out["essenceContainers"])
            std::cout << "Essence container: " << ec.get<std::string>() << "\n";
    std::cout << "Essence BodySID: " << out["essenceBodySid"].get<uint32_t>() << "\n";
    const int64_t duration = out["duration"].get<int64_t>();
    std::cout << "Duration: " << duration << (duration == 1 ? " edit unit\n" : " edit units\n");
    if (out.contains("startTimecode"))
        std::cout << "Start timecode: " << out["startTimecode"].get<std::string>() << "\n";
    std::cout << "Tracks:\n";
    for (const auto& t : out["tracks"]) {
        std::cout << "  " << t["type"].get<std::string>();
        for (auto it = t.begin(); it != t.end(); ++it) {
            if (it.key() == "type") continue;
            std::cout << " " << it.key() << "=" << (it->is_string() ? it->get<std::string>() : it->dump());
        }
        std::cout << "\n";
    }
    std::cout << "Body partitions:\n";
    for (const auto& b : out["bodyPartitions"]) {
        std::cout << " ";
        for (auto it = b.begin(); it != b.end(); ++it)
            std::cout << " " << it.key() << "=" << (it->is_string() ? it->get<std::string>() : it->dump());
        std::cout << "\n";
    }
    if (units) {
        std::cout << "Edit units:\n";
        for (const auto& u : out["units"]) {
            std::cout << "  " << u["editUnit"].get<int64_t>();
            if (u.contains("pictureType"))
                std::cout << " " << u["pictureType"].get<std::string>() << " flags=0x" << std::hex
                          << u["flags"].get<unsigned>() << std::dec;
            if (u.contains("temporalOffset")) std::cout << " T=" << u["temporalOffset"].get<int>();
            if (u.contains("keyFrameOffset")) std::cout << " K=" << u["keyFrameOffset"].get<int>();
            if (u.contains("streamOffset")) std::cout << " stream=" << u["streamOffset"].get<uint64_t>();
            for (const auto& x : u["elements"]) {
                std::cout << " [" << x["element"].get<uint32_t>() << " @" << x["offset"].get<uint64_t>();
                if (x.contains("kind"))
                    std::cout << " " << x["kind"].get<std::string>() << " " << x["length"].get<uint64_t>();
                std::cout << "]";
            }
            std::cout << "\n";
        }
    }
}

void Run(const std::string& path, bool json, bool units) {
    qzimport::MxfFileInfo record;
    try {
        record = qzimport::GatherMxfFileInfo(path, units);
    } catch (const qzimport::ImportError& e) {
        std::cerr << "qzcard mxf-info: " << e.what() << "\n";
        throw CLI::RuntimeError(e.Kind() == ComVantoVantoQZ64RADPlug::CUFailureKind::kUsage ? kExitCannotOpen
                                                                                            : kExitNotMxf);
    }
    if (json)
        std::cout << qzimport::MxfFileInfoJson(record).dump(2) << "\n";
    else
        PrintText(record);
}

void InstallMxfInfo(CLI::App& app) {
    auto* cmd = app.add_subcommand("mxf-info", "Show the structure of an MXF file as the reader sees it");
    auto path = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    auto units = std::make_shared<bool>(false);
    cmd->add_option("FILE", *path, "MXF file")->required();
    cmd->add_flag("--json", *json, "Print JSON");
    cmd->add_flag("--units", *units, "List every edit unit and its elements");
    cmd->callback([path, json, units]() { Run(*path, *json, *units); });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallMxfInfo);

}  // namespace

// qzcard offload CARD DEST... : copies the whole card folder to DEST/NAME on
// every destination reading the card once, reads every copy back from its
// drive to verify it and records it in an ASC MHL history; re-running an
// interrupted offload resumes it. qzcard offload --check DIR re-hashes a
// copy against its history. Exit codes: docs/offload.md.
#include "CommandRegistry.h"

#include "CUInterruption.h"
#include "HistoryCheck.h"
#include "HostProcess.h"
#include "Offload.h"
#include "OffloadError.h"
#include "OffloadProgress.h"
#include "QzcardVersion.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

struct OffloadArguments {
    std::vector<std::string> paths;  // CARD DEST... or, with --check, DIR
    std::string name;
    std::vector<std::string> hashes;
    bool noVerify = false;
    bool json = false;
    bool progress = false;
    double wait = 0;
    bool check = false;
};

constexpr int kExitProblems = 4;

ordered_json HashesJson(const qzoffload::FileHashes& hashes) {
    ordered_json out = ordered_json::object();
    for (const auto& [format, value] : hashes) out[qzoffload::HashFormatName(format)] = value;
    return out;
}

ordered_json FailureJson(const qzoffload::FileFailure& failure) {
    return {{"path", failure.path},
            {"reason", failure.reason},
            {"hashes",
             {{"expected", HashesJson(failure.cardHashes)}, {"found", HashesJson(failure.copyHashes)}}}};
}

void PrintFailure(const qzoffload::FileFailure& failure) {
    std::printf("  failed: %s%s%s\n", failure.path.c_str(), failure.path.empty() ? "" : ": ",
                failure.reason.c_str());
}

int RunCheck(const OffloadArguments& args) {
    if (args.paths.size() != 1) {
        std::fprintf(stderr, "qzcard offload: --check takes one folder\n");
        return 64;
    }
    qzoffload::CheckOptions options;
    options.folder = args.paths[0];
    options.waitSeconds = args.wait;
    options.creator.toolVersion = qzimport::QzcardVersion();
    const qzoffload::CheckReport report = qzoffload::HistoryCheck::Run(options);
    if (args.json) {
        ordered_json failures = ordered_json::array();
        for (const auto& failure : report.changed) failures.push_back(FailureJson(failure));
        std::cout << ordered_json{{"path", report.folder},           {"files", report.files},
                                  {"verified", report.verified},     {"changed", failures},
                                  {"missing", report.missing},       {"added", report.added},
                                  {"generation", report.generation}, {"clean", report.Clean()}}
                         .dump(2)
                  << "\n";
    } else {
        for (const auto& failure : report.changed) PrintFailure(failure);
        for (const std::string& path : report.missing) std::printf("  missing: %s\n", path.c_str());
        for (const std::string& path : report.added) std::printf("  not in the history: %s\n", path.c_str());
        std::printf(
            "%s: %zu of %zu files verified, %zu changed, %zu missing, %zu not in the history; wrote %s\n",
            report.folder.c_str(), report.verified, report.files, report.changed.size(),
            report.missing.size(), report.added.size(), report.generation.c_str());
    }
    return report.Clean() ? 0 : kExitProblems;
}

int RunOffload(const OffloadArguments& args) {
    if (args.paths.size() < 2) {
        std::fprintf(stderr, "qzcard offload: give the card and at least one destination\n");
        return 64;
    }
    qzoffload::OffloadOptions options;
    options.card = args.paths[0];
    options.destinations.assign(args.paths.begin() + 1, args.paths.end());
    options.name = args.name;
    for (const std::string& name : args.hashes) options.formats.push_back(*qzoffload::HashFormatNamed(name));
    options.verify = !args.noVerify;
    options.waitSeconds = args.wait;
    options.creator.toolVersion = qzimport::QzcardVersion();
    qzoffload::OffloadProgress progress(args.progress ? qzoffload::ProgressMode::kLines
                                        : HostProcess::StandardErrorIsTerminal()
                                            ? qzoffload::ProgressMode::kTerminal
                                            : qzoffload::ProgressMode::kSilent,
                                        stderr);
    options.progress = [&progress](const std::string& path, uint64_t fileDone, uint64_t fileSize,
                                   uint64_t done, uint64_t total) {
        progress.Update(path, fileDone, fileSize, done, total);
    };
    const qzoffload::OffloadReport report = qzoffload::Offload::Run(options);
    progress.Finish();

    for (const auto& item : report.skipped)
        std::fprintf(stderr, "qzcard offload: skipped %s: %s\n", item.relativePath.c_str(),
                     item.reason.c_str());
    if (!report.cardFailure.empty())
        std::fprintf(
            stderr,
            "qzcard offload: the card could not be read, the offload stopped for every destination: %s\n",
            report.cardFailure.c_str());
    if (args.json) {
        ordered_json formats = ordered_json::array();
        for (qzoffload::HashFormat format : report.formats)
            formats.push_back(qzoffload::HashFormatName(format));
        ordered_json destinations = ordered_json::array();
        for (const auto& d : report.destinations) {
            ordered_json failures = ordered_json::array();
            for (const auto& failure : d.failures) failures.push_back(FailureJson(failure));
            destinations.push_back({{"path", d.path},
                                    {"files", d.files},
                                    {"copied", d.copied},
                                    {"kept", d.kept},
                                    {"bytes", d.bytes},
                                    {"seconds", d.seconds},
                                    {"verified", d.verified},
                                    {"failures", failures},
                                    {"generation", d.generation}});
        }
        ordered_json out = {{"card", report.card},           {"name", report.name},
                            {"hashFormats", formats},        {"readBack", report.verify},
                            {"cardFiles", report.cardFiles}, {"cardBytes", report.cardBytes},
                            {"destinations", destinations}};
        if (!report.cardFailure.empty()) out["cardFailure"] = report.cardFailure;
        if (report.interruptSignal) out["interrupted"] = report.interruptSignal;
        std::cout << out.dump(2) << "\n";
    } else {
        for (const auto& d : report.destinations) {
            const std::string state = !d.failures.empty() ? std::to_string(d.failures.size()) + " failures"
                                      : d.verified        ? "verified"
                                      : !report.verify    ? "copied, not read back (--no-verify)"
                                                          : "not complete";
            std::printf("%s  %zu files (%zu copied, %zu kept)  %.1f MB  %.1f MB/s  %s\n", d.path.c_str(),
                        d.files, d.copied, d.kept, d.bytes / 1e6,
                        d.seconds > 0 ? d.bytes / 1e6 / d.seconds : 0.0, state.c_str());
            for (const auto& failure : d.failures) PrintFailure(failure);
        }
    }
    std::fflush(stdout);
    if (report.interruptSignal != 0) {
        std::fprintf(
            stderr,
            "qzcard offload: %s: the files finished are recorded, partial files removed; run the same "
            "command again to resume\n",
            CUInterrupted(report.interruptSignal).what());
        return 128 + report.interruptSignal;
    }
    return report.Complete() ? 0 : kExitProblems;
}

void InstallOffload(CLI::App& app) {
    auto args = std::make_shared<OffloadArguments>();
    CLI::App* command = app.add_subcommand(
        "offload",
        "Copy a card to several destinations, verify every copy from its drive and record ASC MHL "
        "histories; --check DIR re-hashes a copy against its history");
    command->add_option("PATHS", args->paths, "CARD DEST... (with --check: DIR)")->required();
    command->add_option("--name", args->name, "Folder name of the copies (default: the card folder's name)");
    command->add_option("--hash", args->hashes, "Hash format, repeatable (default xxh64)")
        ->check(CLI::IsMember({"xxh64", "xxh3", "xxh128", "md5", "sha1"}));
    command->add_flag("--no-verify", args->noVerify, "Do not read the copies back");
    command->add_flag("--json", args->json, "JSON output");
    command->add_flag("--progress", args->progress, "Progress as key=value lines on stderr");
    command->add_option("--wait", args->wait, "Seconds to wait for another offload into a destination")
        ->check(CLI::Range(0.0, 86400.0));
    command->add_flag("--check", args->check, "Re-hash the copy DIR against its history");
    command->callback([args] {
        CUInterruption::Install();
        int code = 0;
        try {
            code = args->check ? RunCheck(*args) : RunOffload(*args);
        } catch (const CUInterrupted& e) {
            std::fprintf(stderr, "qzcard offload: %s before copying began; no file was written\n", e.what());
            code = e.ExitCode();
        }
        if (code != 0) throw CLI::RuntimeError(code);
    });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallOffload);

}  // namespace

// qzcard offload CARD DEST... : copies the whole card folder to DEST/NAME on
// every destination reading the card once, reads every copy back from its
// drive to verify it and records it in an ASC MHL history; re-running an
// interrupted offload resumes it. qzcard offload --check COPY... [--card
// CARD] re-hashes copies against their histories (and the card's file
// list). Exit codes: docs/offload.md.
#include "CommandRegistry.h"
#include "ExitCodes.h"

#include "CUInterruption.h"
#include "CardFileList.h"
#include "CatalogRecorder.h"
#include "HistoryCheck.h"
#include "HostProcess.h"
#include "Offload.h"
#include "OffloadError.h"
#include "OffloadProgress.h"
#include "OffloadRecording.h"
#include "QzcardVersion.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

struct OffloadArguments {
    std::vector<std::string> paths;  // CARD DEST... or, with --check, COPY...
    std::string card;                // --check: the card the copies are of
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
            {"kind", qzoffload::FileProblemName(failure.kind)},
            {"reason", failure.reason},
            {"hashes",
             {{"expected", HashesJson(failure.cardHashes)}, {"found", HashesJson(failure.copyHashes)}}}};
}

ordered_json FailuresJson(const std::vector<qzoffload::FileFailure>& failures) {
    ordered_json out = ordered_json::array();
    for (const auto& failure : failures) out.push_back(FailureJson(failure));
    return out;
}

void PrintFailure(const qzoffload::FileFailure& failure) {
    const char* label = failure.kind == qzoffload::FileProblem::kNotCopied       ? "not on the copy"
                        : failure.kind == qzoffload::FileProblem::kMissingOnCard ? "missing on the card"
                                                                                 : "failed";
    std::printf("  %s: %s%s%s\n", label, failure.path.c_str(), failure.path.empty() ? "" : ": ",
                failure.reason.c_str());
}

// "1 file" / "3 files".
std::string Files(size_t count) {
    return std::to_string(count) + (count == 1 ? " file" : " files");
}

// `verified` keeps its meaning in each output, for the scripts that read
// it (a count here, "complete" in an offload's destination); `verifiedFiles`
// (a count) and `allVerified` mean the same in both.
ordered_json CheckJson(const qzoffload::CheckReport& report) {
    return {{"qzcardVersion", qzimport::QzcardVersion()},
            {"path", report.folder},
            {"card", report.card ? ordered_json(*report.card) : ordered_json()},
            {"status", report.Status()},
            {"complete", report.Complete()},
            {"cardFiles", report.cardFiles ? ordered_json(*report.cardFiles) : ordered_json()},
            {"cardFilesVerified", report.cardVerified},
            {"files", report.files},
            {"verified", report.verified},
            {"verifiedFiles", report.verified},
            {"allVerified", report.verified == report.files},
            {"changed", FailuresJson(report.changed)},
            {"missing", report.missing},
            {"notOnCopy", FailuresJson(report.notOnCopy)},
            {"added", report.added},
            {"notOnCard", report.notOnCard},
            {"unfinished", report.unfinished ? ordered_json(*report.unfinished) : ordered_json()},
            {"generation", report.generation},
            {"clean", report.Clean()}};
}

void PrintCheck(const qzoffload::CheckReport& report) {
    for (const auto& failure : report.changed) PrintFailure(failure);
    for (const std::string& path : report.missing) std::printf("  missing: %s\n", path.c_str());
    for (const auto& failure : report.notOnCopy) PrintFailure(failure);
    for (const std::string& path : report.added) std::printf("  not in the history: %s\n", path.c_str());
    for (const std::string& path : report.notOnCard) std::printf("  not on the card: %s\n", path.c_str());
    if (report.unfinished) std::printf("  %s\n", report.unfinished->c_str());
    std::string what = report.Status();
    if (!report.cardFiles)
        what += " against its history only (it does not record the card's files; give --card)";
    std::printf(
        "%s: %s (%zu of %zu recorded files verified, %zu changed, %zu missing, %zu not in the history)%s%s\n",
        report.folder.c_str(), what.c_str(), report.verified, report.files, report.changed.size(),
        report.missing.size(), report.added.size(), report.generation.empty() ? "" : "; wrote ",
        report.generation.c_str());
}

// Lines for scripts with --progress, else one line redrawn on a terminal.
qzoffload::ProgressMode ProgressModeOf(const OffloadArguments& args) {
    if (args.progress) return qzoffload::ProgressMode::kLines;
    return HostProcess::StandardErrorIsTerminal() ? qzoffload::ProgressMode::kTerminal
                                                  : qzoffload::ProgressMode::kSilent;
}

int RunCheck(const OffloadArguments& args) {
    if (args.paths.empty()) {
        std::fprintf(stderr, "qzcard offload: --check takes at least one copy\n");
        return qzcard::kExitUsage;
    }
    std::unique_ptr<qzoffload::CardFileList> card;
    if (!args.card.empty())
        card = std::make_unique<qzoffload::CardFileList>(qzoffload::CardFileList::Of(args.card));
    qzoffload::CheckOptions options;
    options.waitSeconds = args.wait;
    options.creator.toolVersion = qzimport::QzcardVersion();
    std::vector<qzoffload::CheckReport> reports;
    std::vector<std::string> given;  // each report's copy as given
    int refused = 0;                 // the exit code of the first copy that could not be checked
    for (const std::string& copy : args.paths) {
        options.folder = copy;
        qzoffload::OffloadProgress progress(ProgressModeOf(args), stderr, "check " + copy);
        options.progress = [&progress](const std::string& path, uint64_t size, uint64_t done,
                                       uint64_t total) { progress.Update(path, size, size, done, total); };
        // One copy that cannot be checked does not keep the others from it.
        try {
            reports.push_back(qzoffload::HistoryCheck::Run(options, card.get()));
            given.push_back(copy);
        } catch (const ComVantoVantoQZ64RADPlug::CUHostError& e) {
            progress.Finish();
            if (args.paths.size() == 1) throw;
            std::fprintf(stderr, "qzcard offload: %s: %s\n", copy.c_str(), e.what());
            if (refused == 0) refused = qzcard::ExitCodeOf(e);
        }
        progress.Finish();
    }
    const qzcard::CatalogOutcome recorded =
        qzcard::CatalogRecorder::Record([&reports](qzcatalog::Catalog& catalog, int64_t now) {
            for (const qzoffload::CheckReport& report : reports)
                qzcatalog::OffloadRecording::RecordCheck(catalog, report, now);
        });
    // Echoed as given, as every command does (the catalog has the full paths).
    for (size_t i = 0; i < reports.size(); ++i) reports[i].folder = given[i];
    bool whole = true;
    for (const qzoffload::CheckReport& report : reports)
        whole = whole && report.Clean() && (!report.cardFiles || report.Complete());
    if (args.json) {
        ordered_json out = ordered_json::array();
        for (const qzoffload::CheckReport& report : reports) {
            out.push_back(CheckJson(report));
            out.back()["catalog"] = recorded.Json();
        }
        std::cout << (reports.size() == 1 ? out[0] : out).dump(2) << "\n";
    } else {
        for (const qzoffload::CheckReport& report : reports) PrintCheck(report);
    }
    if (refused != 0) return refused;
    return whole ? 0 : kExitProblems;
}

// What a copy held before the run that its history did not expect, and what the run does about it.
std::vector<std::string> FoundLines(const qzoffload::DestinationFindings& found) {
    std::vector<std::string> lines;
    if (!found.changed.empty())
        lines.push_back(Files(found.changed.size()) + " changed on the destination since " +
                        (found.changed.size() == 1 ? "its" : "their") + " last verification: copied again");
    if (!found.missing.empty())
        lines.push_back(Files(found.missing.size()) + " missing on the destination since " +
                        (found.missing.size() == 1 ? "its" : "their") + " last verification: copied again");
    for (const auto& [from, to] : found.renamed)
        lines.push_back("the folder " + from + " seems renamed to " + to +
                        " on the destination (it holds files of the same names and sizes)");
    if (!found.foreign.empty())
        lines.push_back(Files(found.foreign.size()) +
                        " on the destination that neither the card nor the history holds: left as they are");
    if (found.resumed > 0)
        lines.push_back(Files(found.resumed) + " verified by an offload that did not finish: kept");
    return lines;
}

void PrintFoundFiles(const qzoffload::DestinationFindings& found, std::FILE* out) {
    for (const std::string& path : found.changed)
        std::fprintf(out, "  changed on the destination: %s\n", path.c_str());
    for (const std::string& path : found.missing)
        std::fprintf(out, "  missing on the destination: %s\n", path.c_str());
    for (const std::string& path : found.foreign) std::fprintf(out, "  not the card's: %s\n", path.c_str());
}

ordered_json FoundJson(const qzoffload::DestinationFindings& found) {
    ordered_json renamed = ordered_json::array();
    for (const auto& [from, to] : found.renamed) renamed.push_back({{"from", from}, {"to", to}});
    return {{"changed", found.changed},
            {"missing", found.missing},
            {"foreign", found.foreign},
            {"renamed", renamed},
            {"resumed", found.resumed}};
}

int RunOffload(const OffloadArguments& args) {
    if (args.paths.size() < 2) {
        std::fprintf(stderr, "qzcard offload: give the card and at least one destination\n");
        return qzcard::kExitUsage;
    }
    qzoffload::OffloadOptions options;
    options.card = args.paths[0];
    options.destinations.assign(args.paths.begin() + 1, args.paths.end());
    options.name = args.name;
    for (const std::string& name : args.hashes) options.formats.push_back(*qzoffload::HashFormatNamed(name));
    options.verify = !args.noVerify;
    options.waitSeconds = args.wait;
    options.creator.toolVersion = qzimport::QzcardVersion();
    qzoffload::OffloadProgress progress(ProgressModeOf(args), stderr);
    options.progress = [&progress](const std::string& path, uint64_t fileDone, uint64_t fileSize,
                                   uint64_t done, uint64_t total) {
        progress.Update(path, fileDone, fileSize, done, total);
    };
    // Told before anything is copied.
    options.found = [](const std::string& copy, const qzoffload::DestinationFindings& found) {
        for (const std::string& line : FoundLines(found))
            std::fprintf(stderr, "qzcard offload: %s: %s\n", copy.c_str(), line.c_str());
        PrintFoundFiles(found, stderr);
    };
    qzoffload::OffloadReport report = qzoffload::Offload::Run(options);
    progress.Finish();
    const qzcard::CatalogOutcome recorded =
        qzcard::CatalogRecorder::Record([&report](qzcatalog::Catalog& catalog, int64_t now) {
            qzcatalog::OffloadRecording::Record(catalog, report, now);
        });
    // The card and each copy echoed as given, as every command does (the
    // catalog has the full paths); each destination report is of the
    // destination given at its place.
    report.card = args.paths[0];
    if (report.destinations.size() == options.destinations.size())
        for (size_t i = 0; i < report.destinations.size(); ++i)
            report.destinations[i].path =
                (std::filesystem::path(options.destinations[i]) / report.name).lexically_normal().string();

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
            destinations.push_back({{"path", d.path},
                                    {"status", d.State()},
                                    {"cardFiles", d.cardFiles},
                                    {"files", d.files},
                                    {"notReadBack", d.notReadBack},
                                    {"copied", d.copied},
                                    {"kept", d.kept},
                                    {"bytes", d.bytes},
                                    {"seconds", d.seconds},
                                    {"verified", d.verified},
                                    {"verifiedFiles", d.files - d.notReadBack},
                                    {"allVerified", d.verified},
                                    {"failures", FailuresJson(d.failures)},
                                    {"found", FoundJson(d.found)},
                                    {"generation", d.generation}});
        }
        ordered_json out = {{"qzcardVersion", qzimport::QzcardVersion()},
                            {"card", report.card},
                            {"name", report.name},
                            {"hashFormats", formats},
                            {"readBack", report.verify},
                            {"cardFiles", report.cardFiles},
                            {"cardBytes", report.cardBytes},
                            {"destinations", destinations}};
        if (!report.cardFailure.empty()) out["cardFailure"] = report.cardFailure;
        if (report.interruptSignal) out["interrupted"] = report.interruptSignal;
        out["catalog"] = recorded.Json();
        std::cout << out.dump(2) << "\n";
    } else {
        for (const auto& d : report.destinations) {
            std::printf("%s  %zu of %zu files (%zu copied, %zu kept)  %.1f MB  %.1f MB/s  %s%s\n",
                        d.path.c_str(), d.files, d.cardFiles, d.copied, d.kept, d.bytes / 1e6,
                        d.seconds > 0 ? d.bytes / 1e6 / d.seconds : 0.0, d.Status().c_str(),
                        d.notReadBack ? " (--no-verify: the files copied were not read back)" : "");
            for (const std::string& line : FoundLines(d.found)) std::printf("  %s\n", line.c_str());
            for (const std::string& path : d.found.foreign)
                std::printf("  not the card's: %s\n", path.c_str());
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
        "histories; --check COPY... [--card CARD] re-hashes copies against their histories and the card");
    command->add_option("PATHS", args->paths, "CARD DEST... (with --check: COPY...)")->required();
    command->add_option("--card", args->card, "With --check: the card the copies are of, compared with them");
    command->add_option("--name", args->name, "Folder name of the copies (default: the card folder's name)");
    command->add_option("--hash", args->hashes, "Hash format, repeatable (default xxh64)")
        ->check(CLI::IsMember({"xxh64", "xxh3", "xxh128", "md5", "sha1"}));
    command->add_flag("--no-verify", args->noVerify, "Do not read the copies back");
    command->add_flag("--json", args->json, "JSON output");
    command->add_flag("--progress", args->progress, "Progress as key=value lines on stderr");
    command->add_option("--wait", args->wait, "Seconds to wait for another offload into a destination")
        ->check(CLI::Range(0.0, 86400.0));
    command->add_flag("--check", args->check,
                      "Re-hash each copy COPY against its history (and the card's files, with --card)");
    command->callback([args] {
        CUInterruption::Install();
        int code = 0;
        try {
            if (!args->check && !args->card.empty()) {
                std::fprintf(stderr, "qzcard offload: --card goes with --check\n");
                throw CLI::RuntimeError(qzcard::kExitUsage);
            }
            code = args->check ? RunCheck(*args) : RunOffload(*args);
        } catch (const CUInterrupted& e) {
            std::fprintf(stderr, "qzcard offload: %s before copying began; no file was written\n", e.what());
            code = qzcard::ExitCodeOf(CUFailureKind::kInterrupted, e.Signal());
        }
        if (code != 0) throw CLI::RuntimeError(code);
    });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallOffload);

}  // namespace

// qzcard ingest CARD... --to DIR... [--then DIR...] [--movies DIR]
// [--proxies DIR [--codec C] [--size S]] [--report DIR] [--copies N]
// [--hash F] [--profile FILE] [--json] [--progress]: a card's day in one
// run (src/ingest): each card read once into every --to destination, told
// free as soon as every file is verified there, then the --then copies,
// movies, proxies and report made from the verified copy, everything
// recorded in the catalog. Text lines on stdout, or with --json one JSON
// event per line; problems on stderr. Exit codes: docs/ingest.md.
#include "CommandRegistry.h"
#include "ExitCodes.h"

#include "CFBCCardFolder.h"
#include "CUFolderWatch.h"
#include "CUInterruption.h"
#include "CUProgressPace.h"
#include "CardReport.h"
#include "CatalogRecorder.h"
#include "HashFormat.h"
#include "Ingest.h"
#include "IngestProfile.h"
#include "MediaLayers.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

struct IngestArguments {
    std::vector<std::string> cards;
    std::vector<std::string> watch;  // with watching on: the parents given, none for the default ones
    std::vector<std::string> to, then, hashes;
    std::string movies, proxies, codec, size, report, profile;
    int64_t copies = 1;
    bool json = false;
    bool progress = false;
    std::map<std::string, CLI::Option*> options;  // by profile key, to tell which the command line gave
};

// The media layers, loaded the first time movies, proxies or a report are made.
class ModuleMedia : public qzingest::IngestMedia {
public:
    std::unique_ptr<qzimport::OutputFormat> OutputFormatNamed(const std::string& name) const override {
        return qzcard::LoadMediaLayers().OutputFormatNamed(name);
    }
    qzingest::WrittenReport WriteReport(const std::vector<std::string>& cards,
                                        const std::vector<std::string>& copies,
                                        const std::string& output) const override {
        qzreport::ReportOptions options;
        options.cards = cards;
        options.copies = copies;
        options.output = output;
        const qzreport::ReportResult result = qzcard::LoadMediaLayers().WriteReport(options);
        return {result.page, result.json, result.failedCopies};
    }
};

std::string Joined(const ordered_json& list, const char* separator) {
    std::string out;
    for (const ordered_json& item : list) out += (out.empty() ? "" : separator) + item.get<std::string>();
    return out;
}

// Events as text lines or JSON lines, and the progress for a person.
class PrintedIngest : public qzingest::IngestObserver {
public:
    PrintedIngest(bool json, bool progress) : m_json(json), m_progress(progress) {}

    qzcard::CatalogOutcome catalog;  // the last recording's outcome, for the done event

    void Event(const ordered_json& event) override {
        const std::string kind = event["event"];
        ordered_json told = event;
        if (kind == "done") told["catalog"] = catalog.Json();
        if (kind == "problem")
            std::fprintf(stderr, "qzcard ingest: %s%s%s\n",
                         event.contains("card") ? event["card"].get<std::string>().c_str() : "",
                         event.contains("card") ? ": " : "", event["problem"].get<std::string>().c_str());
        if (kind == "notice")
            std::fprintf(stderr, "qzcard ingest: %s\n", event["notice"].get<std::string>().c_str());
        if (m_json) {
            std::cout << told.dump() << std::endl;
            return;
        }
        if (kind == "started") {
            std::printf("%s: copying to %s\n", Text(event, "card"), Joined(event["to"], ", ").c_str());
        } else if (kind == "alreadyIngested") {
            const size_t files = event["files"], destinations = event["destinations"].size();
            std::printf(
                "%s: already ingested: its %zu files are verified on %zu destination%s by an "
                "earlier run; the card is not read\n",
                Text(event, "card"), files, destinations, destinations == 1 ? "" : "s");
        } else if (kind == "cardFree") {
            const size_t files = event["files"], destinations = event["destinations"].size();
            std::printf("%s: card free: %zu files verified on %zu destination%s; you may eject it\n",
                        Text(event, "card"), files, destinations, destinations == 1 ? "" : "s");
            if (!event["erasable"].get<bool>())
                std::printf(
                    "%s: the copies lie on %zu volume%s other than the card's: the catalog calls it "
                    "erasable with copies on %lld\n",
                    Text(event, "card"), event["volumes"].get<size_t>(), event["volumes"] == 1 ? "" : "s",
                    static_cast<long long>(event["copiesNeeded"].get<int64_t>()));
        } else if (kind == "copied") {
            std::printf("%s: %s %s (from %s)\n", Text(event, "card"), Text(event, "destination"),
                        Text(event, "status"), Text(event, "from"));
        } else if (kind == "outputWritten") {
            if (event["kind"] == "report")
                std::printf("report  %s\n", event["files"][0].get<std::string>().c_str());
            else
                std::printf("%s %s  %s  -> %s\n", Text(event, "kind"), Text(event, "name"),
                            Text(event, "status"), Joined(event["files"], " ").c_str());
        } else if (kind == "recording") {
            std::string missing;
            for (const ordered_json& piece : event["pieces"])
                if (piece["missing"].get<bool>())
                    missing += std::string(missing.empty() ? "" : ", ") + "clip " + Value(piece, "clipId") +
                               " on medium " + Value(piece, "mediumId");
            const size_t pieces = event["pieceCount"];
            if (missing.empty())
                std::printf("recording %s: complete, %zu piece%s\n", Text(event, "firstClipId"), pieces,
                            pieces == 1 ? "" : "s");
            else
                std::printf("recording %s: %zu of %zu pieces; missing %s\n", Text(event, "firstClipId"),
                            pieces - event["missingCount"].get<size_t>(), pieces, missing.c_str());
        } else if (kind == "done") {
            std::printf("done: %zu of %zu card%s free, %zu problem%s\n", event["freed"].get<size_t>(),
                        event["cards"].get<size_t>(), event["cards"] == 1 ? "" : "s",
                        event["problems"].get<size_t>(), event["problems"] == 1 ? "" : "s");
        }
        std::fflush(stdout);
    }

    // One line per card and phase a second, and the last one of each.
    void Progress(const qzingest::IngestProgress& p) override {
        if (!m_progress) return;
        const auto now = std::chrono::steady_clock::now();
        const std::string key = p.card + "\n" + p.phase;
        auto last = m_lastLine.find(key);
        const bool finished = p.done == p.total;
        if (last != m_lastLine.end() && !finished && now - last->second < std::chrono::seconds(1)) return;
        m_lastLine[key] = now;
        const double rate = p.seconds > 0 ? p.done / p.seconds : 0;
        const std::string left =
            rate > 0
                ? CUProgressPace::MinutesText(static_cast<int64_t>((p.total - p.done) / rate + 0.5)) + " left"
                : "-";
        std::fprintf(stderr, "qzcard ingest: %s  %s  %3.0f%%  %.1f MB/s  %s\n", p.card.c_str(),
                     p.phase.c_str(), p.total ? 100.0 * p.done / p.total : 100.0, rate / 1e6, left.c_str());
    }

private:
    static const char* Text(const ordered_json& event, const char* key) {
        return event[key].get_ref<const std::string&>().c_str();
    }
    static std::string Value(const ordered_json& piece, const char* key) {
        return piece.contains(key) && piece[key].is_string() && !piece[key].get<std::string>().empty()
                   ? piece[key].get<std::string>()
                   : "-";
    }

    bool m_json, m_progress;
    std::map<std::string, std::chrono::steady_clock::time_point> m_lastLine;
};

bool Given(const IngestArguments& args, const char* key) {
    return args.options.at(key)->count() > 0;
}

// The profile's values where the command line gave none.
void ApplyProfile(IngestArguments& args) {
    const qzingest::IngestProfile profile = qzingest::IngestProfile::Read(args.profile);
    const auto take = [&args](const char* key, auto& target, const auto& value) {
        if (value && !Given(args, key)) target = *value;
    };
    take("to", args.to, profile.to);
    take("then", args.then, profile.then);
    take("hash", args.hashes, profile.hash);
    take("movies", args.movies, profile.movies);
    take("proxies", args.proxies, profile.proxies);
    take("codec", args.codec, profile.codec);
    take("size", args.size, profile.size);
    take("report", args.report, profile.report);
    take("copies", args.copies, profile.copies);
    take("json", args.json, profile.json);
    take("progress", args.progress, profile.progress);
    for (const std::string& name : args.hashes)
        if (!qzoffload::HashFormatNamed(name))
            throw CUHostError(
                "the profile " + args.profile + " names the unknown hash format \"" + name + "\"",
                CUFailureKind::kUsage);
    if (args.copies < 1 || args.copies > 100)
        throw CUHostError("the profile " + args.profile + " gives copies out of range",
                          CUFailureKind::kUsage);
    qzcard::CatalogRecorder::PreferProfile(profile.catalog.value_or(""), profile.noCatalog.value_or(false));
}

int RunIngest(IngestArguments& args) {
    if (!args.profile.empty()) ApplyProfile(args);
    if ((!args.codec.empty() || !args.size.empty()) && args.proxies.empty())
        throw CUHostError("--codec and --size go with --proxies", CUFailureKind::kUsage);
    CUInterruption::Install();
    qzingest::IngestOptions options;
    options.cards = args.cards;
    options.to = args.to;
    options.then = args.then;
    options.movies = args.movies;
    options.proxies = args.proxies;
    if (!args.codec.empty()) options.proxyCodec = args.codec;
    if (!args.size.empty()) options.proxySize = args.size;
    options.report = args.report;
    options.copies = args.copies;
    for (const std::string& name : args.hashes) options.hashes.push_back(*qzoffload::HashFormatNamed(name));
    PrintedIngest printed(args.json, args.progress);
    ModuleMedia media;
    qzingest::Ingest ingest(options, &media, printed, [&printed](const qzingest::CatalogWork& work) {
        const qzcard::CatalogOutcome outcome = qzcard::CatalogRecorder::Record(work);
        // A recording that failed stays told, whatever the later ones do.
        if (printed.catalog.state != qzcard::CatalogOutcome::State::kNotUpdated) printed.catalog = outcome;
    });
    try {
        return ingest.Run().Complete() ? 0 : qzcard::ExitCodeOf(CUFailureKind::kProblems);
    } catch (const CUInterrupted& e) {
        std::fprintf(stderr,
                     "qzcard ingest: %s: what was verified and finished is kept, partial files removed; run "
                     "the same command again to continue\n",
                     e.what());
        return qzcard::ExitCodeOf(CUFailureKind::kInterrupted, e.Signal());
    } catch (const CUHostError& e) {
        std::fprintf(stderr, "qzcard ingest: %s\n", e.what());
        if (e.Kind() == CUFailureKind::kInterrupted)
            std::fprintf(stderr, "qzcard ingest: run the same command again to continue\n");
        return qzcard::ExitCodeOf(e);
    }
}

// Ingests every card folder that appears in the watched folders, one at a
// time, with the options given, until SIGINT (exit 130). A folder that is
// not a card is told and ignored; a card whose ingest fails is told and the
// watch goes on.
int RunWatch(IngestArguments& args) {
    if (!args.cards.empty()) throw CUHostError("give cards or --watch, not both", CUFailureKind::kUsage);
    if (!args.profile.empty()) ApplyProfile(args);
    args.profile.clear();
    const std::vector<std::string> parents =
        args.watch.empty() ? CUFolderWatch::RemovableMediaParents() : args.watch;
    if (parents.empty())
        throw CUHostError("--watch: there is no /media/*/ or /run/media/*/ folder; name the folders to watch",
                          CUFailureKind::kUsage);
    CUInterruption::Install();
    CUFolderWatch watch(parents);
    std::string told;
    for (const std::string& parent : parents) told += (told.empty() ? "" : ", ") + parent;
    std::fprintf(stderr, "qzcard ingest: watching %s for cards; Ctrl-C ends\n", told.c_str());
    while (std::optional<CUFolderWatchEvent> arrived = watch.Next(CUFolderWatch::kWaitForever)) {
        if (arrived->kind == CUFolderWatchEvent::Kind::kParentLost) {
            std::fprintf(stderr, "qzcard ingest: %s\n", arrived->reason.c_str());
            continue;
        }
        std::string refusal;
        if (!CFBCCardFolder::Open(arrived->path, &refusal)) {
            std::fprintf(stderr, "qzcard ingest: ignored: %s\n", refusal.c_str());
            continue;
        }
        args.cards = {arrived->path};
        try {
            RunIngest(args);
        } catch (const CUHostError& e) {
            if (e.Kind() == CUFailureKind::kInterrupted) throw;
            std::fprintf(stderr, "qzcard ingest: %s: %s\n", arrived->path.c_str(), e.what());
        }
        if (CUInterruption::Requested()) break;
    }
    std::fprintf(stderr, "qzcard ingest: the watch ended\n");
    return qzcard::ExitCodeOf(CUFailureKind::kInterrupted, CUInterruption::Signal());
}

void InstallIngest(CLI::App& app) {
    auto args = std::make_shared<IngestArguments>();
    CLI::App* command = app.add_subcommand(
        "ingest",
        "Copy each card once to every --to destination, say when it is free, then make the --then copies, "
        "movies, proxies and report from the verified copy, recording all in the catalog");
    command->add_option("CARD", args->cards, "Card root folders, ingested in turn");
    CLI::Option* watch =
        command
            ->add_option("--watch", args->watch,
                         "Ingest each card folder that appears in these folders (default /media/*/ and "
                         "/run/media/*/) until Ctrl-C")
            ->expected(0, -1);
    auto& o = args->options;
    o["to"] =
        command->add_option("--to", args->to, "Destinations read from the card, each verified (repeatable)");
    o["then"] = command->add_option("--then", args->then,
                                    "Destinations copied from the first verified copy once the card is free");
    o["movies"] = command->add_option("--movies", args->movies, "Folder of one MOV per recording");
    o["proxies"] = command->add_option("--proxies", args->proxies, "Folder of one proxy per recording");
    o["codec"] = command
                     ->add_option("--codec", args->codec,
                                  "--proxies: prores-proxy (the default), prores-lt, dnxhr-lb or h264")
                     ->check(CLI::IsMember({"prores-proxy", "prores-lt", "dnxhr-lb", "h264"}));
    o["size"] = command->add_option("--size", args->size, "--proxies: half (the default), quarter or WxH");
    o["report"] = command->add_option("--report", args->report, "Folder of the report of the copies");
    o["copies"] = command
                      ->add_option("--copies", args->copies,
                                   "Volumes the catalog needs copies on to call a card erasable (default 1)")
                      ->check(CLI::Range(1, 100));
    o["hash"] = command->add_option("--hash", args->hashes, "Hash format, repeatable (default xxh64)")
                    ->check(CLI::IsMember({"xxh64", "xxh3", "xxh128", "md5", "sha1"}));
    o["json"] = command->add_flag("--json", args->json, "One JSON event per line on stdout");
    o["progress"] =
        command->add_flag("--progress", args->progress, "A progress line per card a second on stderr");
    command->add_option(
        "--profile", args->profile,
        "JSON file of these options (keys as the long options); the command line overrides it");
    command->callback([args, watch] {
        if (args->cards.empty() && watch->count() == 0)
            throw CLI::ValidationError("CARD", "give at least one card, or --watch");
        const int code = watch->count() > 0 ? RunWatch(*args) : RunIngest(*args);
        if (code != 0) throw CLI::RuntimeError(code);
    });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallIngest);

}  // namespace

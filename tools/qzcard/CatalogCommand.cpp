// qzcard catalog SUBCOMMAND: the production catalog of cards, clips,
// files, copies, checks and outputs (SQLite by default, PostgreSQL for a
// facility; --catalog or QZCARD_CATALOG). `add CARD` and `scan DIR...`
// record what a card holds and what the ASC MHL histories on the drives
// vouch for; `erasable`, `lacking`, `cards`, `clips`, `find`, `copies` and
// `recordings` answer from it, as text tables or --json. The questions exit
// 0 when the answer is yes (or nothing is lacking or found wanting), 4 when
// not. Everything else: docs/catalog.md.
#include "CommandRegistry.h"
#include "ExitCodes.h"
#include "FBC_Utl_CountText.h"
#include "OrNull.h"

#include "CardReading.h"
#include "Catalog.h"
#include "CatalogError.h"
#include "CatalogQuestions.h"
#include "CatalogRecorder.h"
#include "ErasableQuestion.h"
#include "HistoryScan.h"
#include "MhlDate.h"
#include "QzcardVersion.h"
#include "TextTable.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using ComVantoVantoQZ64RADPlug::FBC_Utl_CountText;

using ComVantoVantoQZ64RADPlug::CUFailureKind;
using nlohmann::ordered_json;
using qzcatalog::CatalogError;
using qzimport::OrNull;

constexpr int kExitNo = 4;

struct CatalogArguments {
    std::string catalog;
    bool json = false;
    std::vector<std::string> paths;  // add: CARD; scan: DIR...; erasable: CARD
    std::vector<std::string> hashes;
    int64_t copies = 2;
    bool rehash = false;
    std::string since;
    std::string card;
    std::string where;
    std::string text;  // find: TEXT; copies: CLIP
    bool all = false;
};

std::string Date(int64_t seconds) {
    return qzoffload::MhlDate::Format(seconds);
}

// JSON must be UTF-8: bytes that are not are shown as U+FFFD there (the
// text output shows them as they are).
void PrintJson(ordered_json out) {
    ordered_json answer = {{"qzcardVersion", qzimport::QzcardVersion()}};
    for (auto& [key, value] : out.items()) answer[key] = std::move(value);
    std::cout << answer.dump(2, ' ', false, ordered_json::error_handler_t::replace) << '\n';
}

std::string OnVolume(const std::optional<std::string>& mountPoint, const std::string& path) {
    if (!mountPoint) return path;
    return *mountPoint == "/" ? "/" + path : *mountPoint + "/" + path;
}

ordered_json VolumeJson(const std::string& key, const std::optional<std::string>& label,
                        const std::optional<std::string>& mountPoint) {
    return {{"key", key}, {"label", OrNull(label)}, {"mountPoint", OrNull(mountPoint)}};
}

// "2024-05-01" (midnight of that day, local time) or an XML Schema dateTime.
int64_t ParseSince(const std::string& text) {
    if (const std::optional<int64_t> date = qzoffload::MhlDate::Parse(text)) return *date;
    std::tm day{};
    char rest = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &day.tm_year, &day.tm_mon, &day.tm_mday, &rest) == 3) {
        const std::tm asked = day;
        day.tm_year -= 1900;
        day.tm_mon -= 1;
        day.tm_isdst = -1;
        const std::time_t local = std::mktime(&day);
        // mktime moves a day that does not exist (2024-02-30) to one that does.
        if (local != -1 && day.tm_year + 1900 == asked.tm_year && day.tm_mon + 1 == asked.tm_mon &&
            day.tm_mday == asked.tm_mday)
            return static_cast<int64_t>(local);
    }
    throw CatalogError("--since " + text + ": not a date (YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ)",
                       CUFailureKind::kUsage);
}

std::vector<qzoffload::HashFormat> Formats(const std::vector<std::string>& names) {
    std::vector<qzoffload::HashFormat> formats;
    for (const std::string& name : names) formats.push_back(*qzoffload::HashFormatNamed(name));
    return formats;
}

int RunAdd(qzcatalog::Catalog& catalog, const CatalogArguments& args) {
    const std::vector<qzoffload::HashFormat> formats = Formats(args.hashes);
    const qzcatalog::CardSeen card =
        qzcatalog::CardReading::Read(args.paths.at(0), formats, static_cast<int64_t>(std::time(nullptr)));
    catalog.RecordCard(card);
    if (args.json) {
        PrintJson({{"catalog", catalog.Where()},
                   {"card", args.paths[0]},
                   {"mediumId", card.mediumId},
                   {"clips", card.clips.size()},
                   {"files", card.files.size()},
                   {"hashFormats", args.hashes}});
    } else {
        std::string hashed;
        for (const std::string& name : args.hashes) hashed += (hashed.empty() ? ", hashed " : " ") + name;
        std::printf("%s  medium %s: %zu clips, %zu files%s; recorded in %s\n", args.paths[0].c_str(),
                    card.mediumId.c_str(), card.clips.size(), card.files.size(), hashed.c_str(),
                    catalog.Where().c_str());
    }
    return 0;
}

int RunScan(qzcatalog::Catalog& catalog, const CatalogArguments& args) {
    const qzcatalog::ScanResult result =
        qzcatalog::HistoryScan::Run(catalog, args.paths, static_cast<int64_t>(std::time(nullptr)));
    for (const qzcatalog::ScanProblem& problem : result.problems)
        std::fprintf(stderr, "qzcard catalog scan: %s: %s\n", problem.folder.c_str(), problem.reason.c_str());
    if (args.json) {
        ordered_json problems = ordered_json::array();
        for (const auto& problem : result.problems)
            problems.push_back({{"folder", problem.folder}, {"reason", problem.reason}});
        PrintJson({{"catalog", catalog.Where()},
                   {"histories", result.histories},
                   {"cards", result.cards},
                   {"copies", result.copies},
                   {"problems", problems}});
    } else {
        for (const std::string& folder : result.histories) std::printf("history  %s\n", folder.c_str());
        std::printf("%s, %s, %s recorded in %s\n",
                    FBC_Utl_CountText(result.histories.size(), "history", "histories").c_str(),
                    FBC_Utl_CountText(result.cards, "card", "cards").c_str(),
                    FBC_Utl_CountText(result.copies, "copy", "copies").c_str(), catalog.Where().c_str());
    }
    return result.problems.empty() ? 0 : kExitNo;
}

int RunErasable(qzcatalog::Catalog& catalog, const CatalogArguments& args) {
    const qzcatalog::ErasableAnswer answer =
        qzcatalog::ErasableQuestion::Ask(catalog, args.paths.at(0), args.copies, args.rehash);
    if (args.json) {
        ordered_json files = ordered_json::array();
        for (const qzcatalog::ErasableFile& file : answer.shortFiles) {
            ordered_json reasons = ordered_json::array(), copies = ordered_json::array();
            for (qzcatalog::ShortReason reason : file.reasons)
                reasons.push_back(qzcatalog::ErasableQuestion::Key(reason));
            for (const qzcatalog::ErasableCopy& copy : file.copies)
                copies.push_back({{"volume", VolumeJson(copy.volumeKey, copy.volumeLabel, copy.mountPoint)},
                                  {"path", OnVolume(copy.mountPoint, copy.path)},
                                  {"action", copy.action},
                                  {"verdict", qzcatalog::CopyRule::Key(copy.verdict)}});
            files.push_back({{"path", file.path},
                             {"size", file.size},
                             {"volumes", file.volumes},
                             {"reasons", reasons},
                             {"copies", copies}});
        }
        PrintJson({{"catalog", catalog.Where()},
                   {"card", answer.card},
                   {"mediumId", answer.mediumId},
                   {"copiesNeeded", answer.copiesNeeded},
                   {"rehashed", answer.rehashed},
                   {"files", answer.files},
                   {"erasable", answer.Erasable()},
                   {"shortFiles", files}});
    } else {
        std::printf("card      %s  (medium %s)\n", answer.card.c_str(), answer.mediumId.c_str());
        std::printf("files     %zu, each needing copies on %s (%s)\n", answer.files,
                    FBC_Utl_CountText(static_cast<size_t>(answer.copiesNeeded), "volume", "volumes").c_str(),
                    answer.rehashed ? "the card's bytes hashed now" : "the card's hashes in the catalog");
        if (answer.Erasable()) {
            std::printf("erasable  yes\n");
        } else {
            std::printf("erasable  no: %zu of %zu files short of copies\n\n", answer.shortFiles.size(),
                        answer.files);
            std::vector<std::vector<std::string>> rows;
            for (const qzcatalog::ErasableFile& file : answer.shortFiles)
                rows.push_back(
                    {file.path, std::to_string(file.volumes), qzcatalog::ErasableQuestion::Why(file)});
            qzcard::PrintTextTable({"FILE", "VOLUMES", "WHY"}, std::move(rows));
        }
    }
    return answer.Erasable() ? 0 : kExitNo;
}

int RunLacking(qzcatalog::Catalog& catalog, const CatalogArguments& args) {
    const std::optional<int64_t> since =
        args.since.empty() ? std::nullopt : std::optional<int64_t>(ParseSince(args.since));
    const qzcatalog::LackingAnswer answer = qzcatalog::CatalogQuestions(catalog).Lacking(args.copies, since);
    if (args.json) {
        ordered_json clips = ordered_json::array(), files = ordered_json::array();
        for (const qzcatalog::LackingClip& clip : answer.clips)
            clips.push_back({{"card", clip.cardFolder},
                             {"mediumId", OrNull(clip.mediumId)},
                             {"clipId", clip.clipId},
                             {"title", OrNull(clip.title)},
                             {"filesLacking", clip.filesLacking},
                             {"fewestVolumes", clip.fewestVolumes}});
        for (const qzcatalog::LackingFileRow& file : answer.files)
            files.push_back({{"card", file.cardFolder},
                             {"mediumId", OrNull(file.mediumId)},
                             {"path", file.path},
                             {"clipId", OrNull(file.clipId)},
                             {"volumes", file.safeVolumes},
                             {"cardLastSeen", Date(file.cardLastSeen)}});
        PrintJson({{"catalog", catalog.Where()},
                   {"copiesNeeded", answer.copies},
                   {"since", since ? ordered_json(Date(*since)) : ordered_json()},
                   {"clips", clips},
                   {"files", files}});
    } else if (answer.Empty()) {
        std::printf("no file lacks copies on %s\n",
                    FBC_Utl_CountText(static_cast<size_t>(answer.copies), "volume", "volumes").c_str());
    } else {
        std::vector<std::vector<std::string>> clips, files;
        for (const qzcatalog::LackingClip& clip : answer.clips)
            clips.push_back({clip.cardFolder, clip.clipId, std::to_string(clip.filesLacking),
                             std::to_string(clip.fewestVolumes), clip.title.value_or("")});
        for (const qzcatalog::LackingFileRow& file : answer.files)
            files.push_back(
                {file.cardFolder, file.path, std::to_string(file.safeVolumes), file.clipId.value_or("")});
        if (!clips.empty()) {
            qzcard::PrintTextTable({"CARD", "CLIP", "FILES LACKING", "FEWEST VOLUMES", "TITLE"},
                                   std::move(clips));
            std::printf("\n");
        }
        qzcard::PrintTextTable({"CARD", "FILE", "VOLUMES", "CLIP"}, std::move(files));
    }
    return answer.Empty() ? 0 : kExitNo;
}

int RunCards(qzcatalog::Catalog& catalog, const CatalogArguments& args) {
    const std::vector<qzcatalog::CardRow> cards = qzcatalog::CatalogQuestions(catalog).Cards(args.copies);
    if (args.json) {
        ordered_json rows = ordered_json::array();
        for (const qzcatalog::CardRow& card : cards)
            rows.push_back({{"card", card.folderName},
                            {"mediumId", OrNull(card.mediumId)},
                            {"clips", card.clips},
                            {"files", card.files},
                            {"safeFiles", card.safeFiles},
                            {"firstSeen", Date(card.firstSeen)},
                            {"lastSeen", Date(card.lastSeen)}});
        PrintJson({{"catalog", catalog.Where()}, {"copiesNeeded", args.copies}, {"cards", rows}});
        return 0;
    }
    std::vector<std::vector<std::string>> rows;
    for (const qzcatalog::CardRow& card : cards)
        rows.push_back({card.folderName, card.mediumId.value_or("(not a card)"), std::to_string(card.clips),
                        std::to_string(card.files), std::to_string(card.safeFiles), Date(card.firstSeen),
                        Date(card.lastSeen)});
    qzcard::PrintTextTable({"CARD", "MEDIUM", "CLIPS", "FILES", "SAFE FILES", "FIRST SEEN", "LAST SEEN"},
                           std::move(rows));
    return 0;
}

ordered_json ClipJson(const qzcatalog::ClipRow& row) {
    const qzcatalog::ClipSeen& c = row.clip;
    return {{"card", row.cardFolder},
            {"mediumId", OrNull(row.mediumId)},
            {"clipId", c.clipId},
            {"durationFrames", c.durationFrames ? ordered_json(*c.durationFrames) : ordered_json()},
            {"umid", OrNull(c.umid)},
            {"startTimecode", OrNull(c.startTimecode)},
            {"endTimecode", OrNull(c.endTimecode)},
            {"durationTimecode", OrNull(c.durationTimecode)},
            {"frameRate", OrNull(c.frameRate)},
            {"pictureSize", OrNull(c.pictureSize)},
            {"audioLayout", OrNull(c.audioLayout)},
            {"title", OrNull(c.title)},
            {"creator", OrNull(c.creator)},
            {"description", OrNull(c.description)},
            {"shootingDate", OrNull(c.shootingDate)},
            {"cameraMake", OrNull(c.cameraMake)},
            {"cameraModel", OrNull(c.cameraModel)},
            {"cameraSerial", OrNull(c.cameraSerial)},
            {"location", OrNull(c.location)}};
}

int PrintClips(qzcatalog::Catalog& catalog, const CatalogArguments& args,
               const std::vector<qzcatalog::ClipRow>& clips) {
    if (args.json) {
        ordered_json rows = ordered_json::array();
        for (const qzcatalog::ClipRow& clip : clips) rows.push_back(ClipJson(clip));
        PrintJson({{"catalog", catalog.Where()}, {"clips", rows}});
        return 0;
    }
    if (clips.empty()) {
        std::printf("no clip\n");
        return 0;
    }
    std::vector<std::vector<std::string>> rows;
    for (const qzcatalog::ClipRow& row : clips) {
        const qzcatalog::ClipSeen& c = row.clip;
        const std::string camera =
            c.cameraModel.value_or("") + (c.cameraSerial ? " #" + *c.cameraSerial : "");
        rows.push_back({row.cardFolder, c.clipId, c.startTimecode.value_or("-"),
                        c.durationTimecode.value_or("-"), c.frameRate.value_or("-"),
                        c.pictureSize.value_or("-"), camera, c.shootingDate.value_or("-"),
                        c.title.value_or("")});
    }
    qzcard::PrintTextTable({"CARD", "CLIP", "START", "DURATION", "RATE", "SIZE", "CAMERA", "SHOT", "TITLE"},
                           std::move(rows));
    return 0;
}

int RunClips(qzcatalog::Catalog& catalog, const CatalogArguments& args) {
    std::optional<qzcatalog::ClipFieldMatch> match;
    if (!args.where.empty()) {
        const size_t equals = args.where.find('=');
        if (equals == std::string::npos || equals == 0)
            throw CatalogError("--where " + args.where + ": give FIELD=VALUE", CUFailureKind::kUsage);
        match = qzcatalog::ClipFieldMatch{args.where.substr(0, equals), args.where.substr(equals + 1)};
    }
    const std::optional<std::string> card =
        args.card.empty() ? std::nullopt : std::optional<std::string>(args.card);
    return PrintClips(catalog, args, qzcatalog::CatalogQuestions(catalog).Clips(card, match));
}

int RunFind(qzcatalog::Catalog& catalog, const CatalogArguments& args) {
    const std::vector<qzcatalog::ClipRow> clips = qzcatalog::CatalogQuestions(catalog).Find(args.text);
    PrintClips(catalog, args, clips);
    return clips.empty() ? kExitNo : 0;
}

int RunCopies(qzcatalog::Catalog& catalog, const CatalogArguments& args) {
    const std::vector<qzcatalog::ClipCopies> clips = qzcatalog::CatalogQuestions(catalog).Copies(args.text);
    if (args.json) {
        ordered_json rows = ordered_json::array();
        for (const qzcatalog::ClipCopies& clip : clips) {
            ordered_json copies = ordered_json::array(), outputs = ordered_json::array(),
                         checks = ordered_json::array();
            for (const qzcatalog::ClipCopyRow& copy : clip.copies)
                copies.push_back({{"file", copy.cardPath},
                                  {"volume", VolumeJson(copy.volumeKey, copy.volumeLabel, copy.mountPoint)},
                                  {"path", OnVolume(copy.mountPoint, copy.path)},
                                  {"action", copy.action},
                                  {"vouchedAt", Date(copy.vouchedAt)},
                                  {"counts", copy.counts},
                                  {"history", OnVolume(copy.mountPoint, copy.historyPath)},
                                  {"generation", copy.generationFile}});
            for (const qzcatalog::OutputRow& output : clip.outputs)
                outputs.push_back(
                    {{"path", output.path},
                     {"size", output.size ? ordered_json(*output.size) : ordered_json()},
                     {"format", output.format},
                     {"codec", OrNull(output.codec)},
                     {"pictureSize", OrNull(output.pictureSize)},
                     {"inFrame", output.inFrame ? ordered_json(*output.inFrame) : ordered_json()},
                     {"outFrame", output.outFrame ? ordered_json(*output.outFrame) : ordered_json()},
                     {"record", OrNull(output.recordPath)},
                     {"exportedAt", Date(output.exportedAt)}});
            for (const qzcatalog::CheckRow& check : clip.checks)
                checks.push_back({{"kind", check.kind},
                                  {"checkedAt", Date(check.checkedAt)},
                                  {"result", check.result},
                                  {"detail", OrNull(check.detail)},
                                  {"qzcardVersion", check.qzcardVersion}});
            ordered_json row = ClipJson(clip.clip);
            row["copies"] = copies;
            row["outputs"] = outputs;
            row["checks"] = checks;
            rows.push_back(row);
        }
        PrintJson({{"catalog", catalog.Where()}, {"clips", rows}});
    }
    for (size_t i = 0; !args.json && i < clips.size(); ++i) {
        const qzcatalog::ClipCopies& clip = clips[i];
        std::printf("%s%s  on %s (medium %s)  %s\n", i ? "\n" : "", clip.clip.clip.clipId.c_str(),
                    clip.clip.cardFolder.c_str(), clip.clip.mediumId.value_or("-").c_str(),
                    qzimport::TableCell(clip.clip.clip.title.value_or("")).c_str());
        std::vector<std::vector<std::string>> rows;
        for (const qzcatalog::ClipCopyRow& copy : clip.copies)
            rows.push_back(
                {"copy", copy.cardPath,
                 qzcatalog::ErasableQuestion::VolumeName(copy.volumeKey, copy.volumeLabel, copy.mountPoint),
                 OnVolume(copy.mountPoint, copy.path),
                 copy.action + (copy.counts ? ", counts" : ", does not count")});
        for (const qzcatalog::OutputRow& output : clip.outputs)
            rows.push_back({"output", output.format, "", output.path, "exported " + Date(output.exportedAt)});
        for (const qzcatalog::CheckRow& check : clip.checks)
            rows.push_back({"check", check.kind, "", check.detail.value_or(""),
                            check.result + " " + Date(check.checkedAt)});
        if (!rows.empty())
            qzcard::PrintTextTable({"KIND", "WHAT", "VOLUME", "PATH", "STATE"}, std::move(rows));
    }
    if (clips.empty() && !args.json) std::printf("no clip %s in the catalog\n", args.text.c_str());
    return clips.empty() ? kExitNo : 0;
}

int RunRecordings(qzcatalog::Catalog& catalog, const CatalogArguments& args) {
    const std::vector<qzimport::Recording> recordings =
        qzcatalog::CatalogQuestions(catalog).Recordings(args.all);
    if (args.json) {
        ordered_json rows = ordered_json::array();
        for (const qzimport::Recording& recording : recordings)
            rows.push_back(qzimport::RecordingJson(recording));
        PrintJson({{"catalog", catalog.Where()}, {"recordings", rows}});
        return 0;
    }
    for (size_t i = 0; i < recordings.size(); ++i) {
        const qzimport::Recording& r = recordings[i];
        std::printf("%srecording %zu: %s, %s, %zu missing\n", i ? "\n" : "", i + 1,
                    FBC_Utl_CountText(r.pieces.size(), "piece", "pieces").c_str(),
                    FBC_Utl_CountText(static_cast<size_t>(r.FramesPresent()), "frame", "frames").c_str(),
                    r.MissingCount());
        std::vector<std::vector<std::string>> rows;
        for (const qzimport::RecordingPiece& piece : r.pieces)
            rows.push_back({piece.missing ? "MISSING" : piece.card, piece.identity.clipID,
                            piece.missing ? "-" : std::to_string(piece.frames),
                            piece.startTimecode.empty() ? "-" : piece.startTimecode,
                            piece.endTimecode.empty() ? "-" : piece.endTimecode, piece.identity.mediumID});
        qzcard::PrintTextTable({"CARD", "CLIP", "FRAMES", "START", "END", "MEDIUM"}, std::move(rows));
    }
    return 0;
}

using Runner = int (*)(qzcatalog::Catalog&, const CatalogArguments&);

void Run(const CatalogArguments& args, Runner runner) {
    int code = 0;
    try {
        // `qzcard --catalog X catalog ...` names the catalog as `qzcard catalog --catalog X ...` does.
        qzcatalog::Catalog catalog(qzcatalog::CatalogLocation::Resolve(
            args.catalog.empty() ? qzcard::CatalogRecorder::GivenLocation() : args.catalog));
        code = runner(catalog, args);
    } catch (const CatalogError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "qzcard catalog: %s\n", e.what());
        code = qzcard::ExitCodeOf(e);
    }
    std::fflush(stdout);
    if (code != 0) throw CLI::RuntimeError(code);
}

void InstallCatalog(CLI::App& app) {
    auto args = std::make_shared<CatalogArguments>();
    CLI::App* command = app.add_subcommand(
        "catalog",
        "The catalog of cards, clips, copies, checks and outputs: record it, and ask it whether a card "
        "may be erased");
    command->require_subcommand(1);
    command->add_option(
        "--catalog", args->catalog,
        "A PostgreSQL URL (postgresql://...) or a SQLite file (default: $QZCARD_CATALOG, else "
        "$XDG_DATA_HOME/qzcard/catalog.sqlite)");
    command->add_flag("--json", args->json, "Print JSON instead of text");
    auto sub = [&](const char* name, const char* help, Runner runner) {
        CLI::App* s = command->add_subcommand(name, help);
        s->fallthrough();
        s->callback([args, runner] { Run(*args, runner); });
        return s;
    };
    auto copies = [&](CLI::App* s) {
        s->add_option("--copies", args->copies, "Copies needed, each on a volume of its own (default 2)")
            ->check(CLI::Range(int64_t{1}, int64_t{100}));
    };

    CLI::App* add =
        sub("add", "Record a card as it is now: its clips and files (with --hash, their hashes)", &RunAdd);
    add->add_option("CARD", args->paths, "Card root folder")->required()->expected(1);
    add->add_option("--hash", args->hashes, "Hash every file in this format (repeatable)")
        ->check(CLI::IsMember({"xxh64", "xxh3", "xxh128", "md5", "sha1", "c4"}));

    CLI::App* scan =
        sub("scan", "Record the copies the ASC MHL histories under the folders vouch for", &RunScan);
    scan->add_option("DIR", args->paths, "Folders to look for histories in")->required();

    CLI::App* erasable = sub(
        "erasable", "Whether the card may be erased: every file with enough verified copies", &RunErasable);
    erasable->add_option("CARD", args->paths, "Card root folder")->required()->expected(1);
    copies(erasable);
    erasable->add_flag("--rehash", args->rehash,
                       "Hash the card's files now instead of using the catalog's hashes");

    CLI::App* lacking = sub("lacking", "Clips and files with fewer verified copies than needed", &RunLacking);
    copies(lacking);
    lacking->add_option("--since", args->since, "Only cards seen since DATE (YYYY-MM-DD, local time)");

    copies(sub("cards", "Every card with its clips, files and safe files", &RunCards));

    CLI::App* clips = sub("clips", "The clips of every card, or of one", &RunClips);
    clips->add_option("--card", args->card, "Only the card with this medium ID or folder name");
    clips->add_option("--where", args->where, "Only the clips whose FIELD is VALUE (FIELD=VALUE)");

    sub("find", "Clips whose ID, title, creator, description or camera serial holds TEXT", &RunFind)
        ->add_option("TEXT", args->text, "Text to look for, whatever the letter case")
        ->required();
    sub("copies", "Every copy, output and check of one clip", &RunCopies)
        ->add_option("CLIP", args->text, "Clip ID or UMID")
        ->required();
    sub("recordings", "The recordings that run across clips and cards", &RunRecordings)
        ->add_flag("--all", args->all, "Every recording, also those of one clip");
}

const bool kRegistered = qzcard::RegisterCommand(&InstallCatalog);

}  // namespace

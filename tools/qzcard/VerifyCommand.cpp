// qzcard verify CARD [CLIPID...] [--json]: walks every frame of every clip
// through the plug-in bundle's cursors as a host does and reports each
// problem with its clip, frame and timecode; exits 0 only for a clean card.
#include "CommandRegistry.h"

#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUArray.h"
#include "CUStringMac.h"
#include "CardText.h"
#include "ClipVerifier.h"
#include "HostEventCycle.h"
#include "PluginHost.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

struct VerifyArguments {
    std::string card;
    std::vector<std::string> clipIDs;
    bool json = false;
    std::string plugin;
    std::string hostVersion = qzimport::PluginHost::kDefaultHostVersion;
};

constexpr int kExitProblemsFound = 4;

[[noreturn]] void Fail(int code, const std::string& message) {
    std::fprintf(stderr, "qzcard verify: %s\n", message.c_str());
    throw CLI::RuntimeError(code);
}

void RunVerify(const VerifyArguments& args) {
    CUSharedPtr<CFBCContent> content = qzimport::OpenCard(args.card);
    // Every clip of the card when none is named, so that one the plug-in
    // leaves out is a problem too; a named clip the card lacks ends the run.
    std::vector<std::string> wanted = args.clipIDs;
    if (wanted.empty()) {
        CUSharedPtr<CUArray> clips = content->ClipList();
        for (size_t i = 0; clips && i < clips->Count(); ++i) {
            CUSharedPtr<CFBCClip> clip = clips->ObjectAtIndex(i);
            CUSharedPtr<CUStringMac> id = clip ? clip->GetClipID() : nullptr;
            if (id) wanted.push_back(id->Utf8());
        }
    }
    for (const std::string& id : wanted) qzimport::FindClip(*content, args.card, id);

    std::unique_ptr<qzimport::PluginHost> host;
    try {
        host = std::make_unique<qzimport::PluginHost>(
            args.plugin.empty() ? qzimport::PluginHost::DefaultBundlePath() : args.plugin, args.hostVersion);
    } catch (const qzimport::PluginHostError& e) {
        Fail(1, e.what());
    }
    HostEventCycle cycle;
    if (!host->PathIsValidVolume(args.card)) Fail(2, "the plug-in does not take " + args.card + " as a card");
    std::shared_ptr<MIORADVolumeDataSourceProtocol> volume = host->VolumeWithPath(args.card);
    if (!volume) Fail(2, "the plug-in makes no volume of " + args.card);
    std::map<std::string, std::shared_ptr<MIORADClipDataSourceProtocol>> offered;
    for (const auto& clip : host->Clips(volume)) {
        const std::optional<std::string> name = clip ? clip->name() : std::nullopt;
        if (name && !offered.count(*name)) offered[*name] = clip;
    }

    ordered_json report = {{"card", args.card}, {"clips", ordered_json::array()}};
    size_t problems = 0;
    for (const std::string& id : wanted) {
        size_t index = 0;
        CUSharedPtr<CFBCClip> clip = qzimport::FindClip(*content, args.card, id, &index);
        const auto found = offered.find(id);
        qzimport::ClipVerification result =
            qzimport::ClipVerifier::Verify(found == offered.end() ? nullptr : found->second.get(), *clip);
        if (found == offered.end())
            result.problems.insert(
                result.problems.begin(),
                {-1, std::string(), "offered",
                 "the plug-in does not offer it (" + qzimport::ClipStateText(*content, index) + ")"});
        problems += result.problems.size();
        ordered_json list = ordered_json::array();
        for (const qzimport::VerifyProblem& p : result.problems)
            list.push_back({{"frame", p.frame < 0 ? ordered_json() : ordered_json(p.frame)},
                            {"timecode", p.timecode.empty() ? ordered_json() : ordered_json(p.timecode)},
                            {"check", p.check},
                            {"detail", p.detail}});
        report["clips"].push_back({{"clipId", id}, {"frames", result.frames}, {"problems", list}});
        if (args.json) continue;
        std::printf("%s  %llu frames  %s\n", id.c_str(), static_cast<unsigned long long>(result.frames),
                    result.problems.empty() ? "clean"
                                            : (std::to_string(result.problems.size()) + " problems").c_str());
        for (const qzimport::VerifyProblem& p : result.problems) {
            if (p.frame < 0)
                std::printf("  clip  %s: %s\n", p.check.c_str(), p.detail.c_str());
            else
                std::printf("  frame %lld (%s)  %s: %s\n", static_cast<long long>(p.frame),
                            p.timecode.c_str(), p.check.c_str(), p.detail.c_str());
        }
    }
    report["clean"] = problems == 0;
    if (args.json)
        std::cout << report.dump(2) << "\n";
    else
        std::printf("%s\n",
                    problems == 0 ? "card clean" : (std::to_string(problems) + " problems found").c_str());
    std::fflush(stdout);
    if (problems > 0) throw CLI::RuntimeError(kExitProblemsFound);
}

void InstallVerify(CLI::App& app) {
    auto args = std::make_shared<VerifyArguments>();
    CLI::App* command = app.add_subcommand(
        "verify", "Walk every frame of the clips through the plug-in bundle and report what is wrong");
    command->add_option("CARD", args->card, "Card root folder")->required();
    command->add_option("CLIPID", args->clipIDs, "Clips to verify (default: every clip of the card)");
    command->add_flag("--json", args->json, "JSON output");
    command->add_option("--plugin", args->plugin,
                        "Plug-in bundle folder (default: the build's FBCFormatRADPlugin.bundle)");
    command->add_option("--host-version", args->hostVersion, "Host version announced to the plug-in")
        ->default_val(qzimport::PluginHost::kDefaultHostVersion);
    command->callback([args] { RunVerify(*args); });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallVerify);

}  // namespace

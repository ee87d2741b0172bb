// qzcard clip CARD CLIPID [--json]: every value of one clip, by tag name,
// and what the plug-in bundle tells a host about it.
#include "CommandRegistry.h"

#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUArray.h"
#include "CUStringMac.h"
#include "CardReading.h"
#include "CatalogRecorder.h"
#include "CardOpening.h"
#include "ClipStates.h"
#include "ValueTexts.h"
#include "ClipValues.h"
#include "FBCClipValueTag.h"
#include "HostEventCycle.h"
#include "ImportError.h"
#include "PluginClipProperties.h"
#include "PluginHost.h"
#include "QzcardVersion.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

namespace {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

struct ClipArguments {
    std::string folder;
    std::string clipID;
    bool json = false;
    std::string plugin;
    std::string hostVersion = qzimport::PluginHost::kDefaultHostVersion;
};

// The descriptor's properties and the target formats for the host
// version, as the "plugin" object; null (with the reason on stderr) when
// the bundle cannot be loaded or does not offer the clip, so the reader's
// own values still show.
ordered_json PluginView(const ClipArguments& args, const std::string& clipID) {
    try {
        qzimport::PluginHost host(
            args.plugin.empty() ? qzimport::PluginHost::DefaultBundlePath() : args.plugin, args.hostVersion);
        HostEventCycle cycle;
        return qzimport::PluginClipView(host, args.folder, clipID, args.hostVersion);
    } catch (const qzimport::PluginHostError& e) {
        std::fprintf(stderr, "qzcard clip: %s\n", e.what());
    } catch (const qzimport::ImportError& e) {
        std::fprintf(stderr, "qzcard clip: %s\n", e.what());
    }
    return ordered_json();
}

std::string PlainText(const ordered_json& value) {
    return qzimport::TableCell(value.is_string() ? value.get<std::string>()
                               : value.is_null() ? "-"
                                                 : value.dump());
}

// "Vanto QZ MPEG2: apch, apcn (preferred), apcs, apco": the codec types of
// each target format, the list's closing -1 left out.
std::string TargetFormatText(const ordered_json& entry) {
    if (!entry.is_object() || !entry.contains("supportedTargetFormats")) return PlainText(entry);
    std::string text = PlainText(entry.value("name", ordered_json())) + ":";
    const ordered_json& formats = entry["supportedTargetFormats"];
    const ordered_json preferred = entry.value("preferredTargetFormatIndex", ordered_json());
    for (size_t i = 0; formats.is_array() && i < formats.size(); ++i) {
        if (formats[i] == "-1") continue;
        text += (i ? ", " : " ") + PlainText(formats[i]);
        if (preferred.is_number_integer() && preferred.get<int64_t>() == static_cast<int64_t>(i))
            text += " (preferred)";
    }
    return text;
}

void RunClip(const ClipArguments& args) {
    CUSharedPtr<CFBCContent> content = qzimport::OpenCard(args.folder);
    size_t index = 0;
    CUSharedPtr<CFBCClip> clip = qzimport::FindClip(*content, args.folder, args.clipID, &index);
    // The clip's own ID, however the command line spelled it.
    const std::string clipID = qzimport::ClipValueText(*clip, kClipValueClipID);

    const std::string state = qzimport::ClipStateText(*content, index);
    const std::string reason = qzimport::ClipStateReason(*content, index);
    const qzcard::CatalogOutcome recorded =
        qzcard::CatalogRecorder::Record([&args, &content](qzcatalog::Catalog& catalog, int64_t now) {
            catalog.RecordCard(qzcatalog::CardReading::Read(args.folder, content, {}, now));
        });
    if (args.json) {
        ordered_json out;
        out["qzcardVersion"] = qzimport::QzcardVersion();
        out["clipId"] = clipID;
        out["state"] = state;
        out["stateReason"] = reason.empty() ? ordered_json() : ordered_json(reason);
        out["offered"] = state == "ready";
        out.update(qzimport::ClipValuesJson(*clip));
        out["plugin"] = PluginView(args, clipID);
        out["catalog"] = recorded.Json();
        std::cout << out.dump(2) << '\n';
        return;
    }
    size_t width = 0;
    for (uint32_t tag = 0; tag < kClipValueTagCount; ++tag)
        width = std::max(width, std::strlen(qzimport::ClipValueTagName(static_cast<_ClipValueTag>(tag))));
    std::printf("clip %s (%s)\n", clipID.c_str(),
                reason.empty() ? state.c_str() : (state + ": " + qzimport::TableCell(reason)).c_str());
    for (uint32_t tag = 0; tag < kClipValueTagCount; ++tag) {
        const auto t = static_cast<_ClipValueTag>(tag);
        std::printf("%2u  %-*s  %s\n", tag, static_cast<int>(width), qzimport::ClipValueTagName(t),
                    qzimport::ClipValueLine(*clip, t).c_str());
    }
    const ordered_json view = PluginView(args, clipID);
    if (view.is_null()) return;
    std::printf("\nplugin (host version %s)\n", args.hostVersion.c_str());
    width = 0;
    for (const auto& item : view.items()) width = std::max(width, item.key().size());
    for (const auto& item : view.items()) {
        if (item.key() == "targetFormats") continue;
        std::printf("    %-*s  %s\n", static_cast<int>(width), item.key().c_str(),
                    PlainText(item.value()).c_str());
    }
    std::printf("target formats (what the host may transcode to)\n");
    for (const ordered_json& entry : view["targetFormats"])
        std::printf("    %s\n", TargetFormatText(entry).c_str());
}

void InstallClip(CLI::App& app) {
    auto args = std::make_shared<ClipArguments>();
    CLI::App* command = app.add_subcommand("clip", "Show every value of one clip of a card");
    command->add_option("CARD", args->folder, "Card root folder")->required();
    command->add_option("CLIPID", args->clipID, "Clip ID, e.g. QZ0001")->required();
    command->add_flag("--json", args->json, "Print JSON instead of text");
    command->add_option(
        "--plugin", args->plugin,
        "Plug-in bundle folder (default: the installed FBCFormatRADPlugin.bundle, or the build's)");
    command->add_option("--host-version", args->hostVersion, "Host version announced to the plug-in")
        ->default_val(qzimport::PluginHost::kDefaultHostVersion);
    command->callback([args] { RunClip(*args); });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallClip);

}  // namespace

// qzcard clip CARD CLIPID [--json]: every value of one clip, by tag name.
#include "CommandRegistry.h"

#include "CFBCClip.h"
#include "CFBCContent.h"
#include "CUArray.h"
#include "CUStringMac.h"
#include "CardText.h"
#include "FBCClipValueTag.h"

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
};

void RunClip(const ClipArguments& args) {
    CUSharedPtr<CFBCContent> content = qzcard::OpenCardOrFail(args.folder, "clip");
    size_t index = 0;
    CUSharedPtr<CFBCClip> clip = qzcard::FindClipOrFail(*content, args.folder, args.clipID, "clip", &index);

    qzcard::ReportClipFailure("clip", *clip);
    const std::string state = qzcard::ClipStateText(*content, index);
    if (args.json) {
        ordered_json out;
        out["clipId"] = args.clipID;
        out["state"] = state;
        out["offered"] = content->IsClipOffered(index);
        ordered_json values = ordered_json::object();
        for (uint32_t tag = 0; tag < kClipValueTagCount; ++tag) {
            const auto t = static_cast<_ClipValueTag>(tag);
            values[qzcard::ClipValueTagName(t)] = qzcard::ValueJson(clip->ValueForTag(t));
        }
        out["values"] = values;
        std::cout << out.dump(2) << '\n';
        return;
    }
    size_t width = 0;
    for (uint32_t tag = 0; tag < kClipValueTagCount; ++tag)
        width = std::max(width, std::strlen(qzcard::ClipValueTagName(static_cast<_ClipValueTag>(tag))));
    std::printf("clip %s (%s)\n", args.clipID.c_str(), state.c_str());
    for (uint32_t tag = 0; tag < kClipValueTagCount; ++tag) {
        const auto t = static_cast<_ClipValueTag>(tag);
        std::printf("%2u  %-*s  %s\n", tag, static_cast<int>(width), qzcard::ClipValueTagName(t),
                    qzcard::ClipValueText(*clip, t).c_str());
    }
}

void InstallClip(CLI::App& app) {
    auto args = std::make_shared<ClipArguments>();
    CLI::App* command = app.add_subcommand("clip", "Show every value of one clip of a card");
    command->add_option("CARD", args->folder, "Card root folder")->required();
    command->add_option("CLIPID", args->clipID, "Clip ID, e.g. QZ0001")->required();
    command->add_flag("--json", args->json, "Print JSON instead of text");
    command->callback([args] { RunClip(*args); });
}

const bool kRegistered = qzcard::RegisterCommand(&InstallClip);

}  // namespace

#include "ClipDescription.h"

#include <cstdio>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

std::string ClipIdText(const ClipId& id) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2s%04u", id.userId.c_str(), id.number);
    return text;
}

uint32_t PictureWidth(PictureSize size) {
    switch (size) {
        case PictureSize::k1920x1080:
            return 1920;
        case PictureSize::k1280x720:
            return 1280;
        case PictureSize::k1440x1080:
            return 1440;
    }
    return 0;
}

uint32_t PictureHeight(PictureSize size) {
    switch (size) {
        case PictureSize::k1920x1080:
            return 1080;
        case PictureSize::k1280x720:
            return 720;
        case PictureSize::k1440x1080:
            return 1080;
    }
    return 0;
}

uint64_t BitsPerSecond(BitRate rate) {
    switch (rate) {
        case BitRate::k25Mbps:
            return 25'000'000;
        case BitRate::k35Mbps:
            return 35'000'000;
        case BitRate::k50Mbps:
            return 50'000'000;
    }
    return 0;
}

std::vector<MemberFile> EffectiveMembers(const ClipDescription& clip) {
    std::vector<MemberFile> members = clip.members;
    if (members.empty()) members.push_back(MemberFile{clip.durationFrames, 0, {}});
    for (size_t i = 0; i < members.size(); ++i)
        if (members[i].number == 0) members[i].number = static_cast<uint8_t>(i + 1);
    return members;
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter

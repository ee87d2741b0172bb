#pragma once
// The small, fast clip description the tests (and the fuzz seed writer)
// write cards of; std and the card writer only.
#include "ClipDescription.h"
#include "ClipFrameRate.h"

#include <cstdint>
#include <vector>

namespace qztest {

namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

// A small, fast clip: 1280x720 at 25 Mbps (1440x1080 for interlaced rates),
// 6-picture GOPs with 2 B pictures, the member frame counts given.
inline cw::ClipDescription SmallClip(cw::FrameRate rate, std::vector<uint32_t> memberFrames,
                                     bool closedGop = false, uint32_t channels = 2) {
    cw::ClipDescription clip;
    clip.frameRate = rate;
    clip.pictureSize =
        cw::TraitsOf(rate).interlaced ? cw::PictureSize::k1440x1080 : cw::PictureSize::k1280x720;
    clip.bitRate = cw::BitRate::k25Mbps;
    clip.gopLength = 6;
    clip.bPictures = 2;
    clip.closedGop = closedGop;
    clip.audioChannels = channels;
    clip.durationFrames = 0;
    for (uint32_t frames : memberFrames) {
        cw::MemberFile member;
        member.frameCount = frames;
        clip.members.push_back(member);
        clip.durationFrames += frames;
    }
    return clip;
}

}  // namespace qztest

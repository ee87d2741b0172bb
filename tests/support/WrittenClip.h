#pragma once
// One clip written to a card by the card writer, with what the writer
// recorded for every clip frame (member file, edit unit, index values,
// picture element), for tests of the readers above the card layer.
#include "CardDescription.h"
#include "CardWriter.h"
#include "ClipFrameRate.h"
#include "SmallClip.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qztest {

struct WrittenFrame {
    size_t member = 0;  // position in the clip's member list
    uint32_t local = 0;
    cw::MxfFrameRecord record;
};

struct WrittenClip {
    cw::CardDescription card;
    std::string root;
    std::string cifPath;
    std::vector<std::string> mxfPaths;
    std::vector<cw::MxfFileLayout> layouts;
    std::vector<WrittenFrame> frames;  // clip frames, stored order
};

// Writes a card of the one clip under `root`.
inline WrittenClip WriteClip(const std::string& root, const cw::ClipDescription& clip) {
    WrittenClip written;
    written.card.clips.push_back(clip);
    written.root = root;
    written.layouts = cw::WriteCard(written.card, root).at(0);
    written.cifPath = cw::ClipFilePath(root, clip.id, ".CIF");
    const std::vector<cw::MemberFile> members = cw::EffectiveMembers(clip);
    for (size_t m = 0; m < members.size(); ++m) {
        written.mxfPaths.push_back(cw::MemberMxfPath(root, clip.id, members[m].number));
        const std::vector<cw::MxfFrameRecord>& frames = written.layouts.at(m).frames;
        for (size_t l = 0; l < frames.size(); ++l)
            written.frames.push_back({m, static_cast<uint32_t>(l), frames[l]});
    }
    return written;
}

}  // namespace qztest

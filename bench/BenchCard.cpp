// bench-card DIR FRAMES: writes a card holding one clip QZ0001 of FRAMES
// pictures, 1920x1080 59.94i, 50 Mbps CBR, four mono PCM tracks, spanned
// over three member files: the long clip bench/compare.sh imports.
#include "CardWriter.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    using namespace ComVantoVantoQZ64RADPlug::CardWriter;
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DIR FRAMES\n", argv[0]);
        return 2;
    }
    const long frames = std::strtol(argv[2], nullptr, 10);
    if (frames < 3 || frames > 1000000) {
        std::fprintf(stderr, "%s: FRAMES must be 3 to 1000000\n", argv[0]);
        return 2;
    }
    ClipDescription clip;
    clip.frameRate = FrameRate::k59_94i;
    clip.pictureSize = PictureSize::k1920x1080;
    clip.bitRate = BitRate::k50Mbps;
    clip.constantBitRate = true;
    clip.audioChannels = 4;
    clip.durationFrames = static_cast<uint32_t>(frames);
    // Three members, each a whole number of GOPs but the last.
    const uint32_t third = static_cast<uint32_t>(frames) / 3 / clip.gopLength * clip.gopLength;
    if (third == 0) {
        std::fprintf(stderr, "%s: too few frames for three member files\n", argv[0]);
        return 2;
    }
    clip.members = {MemberFile{third, 0, {}}, MemberFile{third, 0, {}},
                    MemberFile{static_cast<uint32_t>(frames) - 2 * third, 0, {}}};
    CardDescription card;
    card.clips.push_back(clip);
    try {
        WriteCard(card, argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}

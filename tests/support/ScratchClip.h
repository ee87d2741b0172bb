#pragma once
// One clip written by the card writer into a scratch folder of its own (the
// folder and its card removed together): what the writer recorded, with
// the folder's path.
#include "ScratchFolder.h"
#include "WrittenClip.h"

#include <string>

namespace qztest {

struct ScratchClip : ScratchFolder, WrittenClip {
    ScratchClip(const std::string& prefix, const cw::ClipDescription& clip)
        : ScratchFolder(prefix), WrittenClip(WriteClip(Path(), clip)) {}
};

}  // namespace qztest

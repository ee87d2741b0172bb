#pragma once
// Progress of an offload or of a check of copies on a stream (stderr). On a
// terminal: one line redrawn in place at most ten times a second (bytes done
// of the total, MB/s, time left, the file being read), ended when the work
// is. For scripts (--progress): one line of key=value fields per chunk read
// (per file for a check),
//   file=CONTENTS/CLIPS001/INDEX.MIF fileBytes=4194304 fileSize=9000000 bytes=123 total=456
//   bytesPerSecond=98000000 secondsLeft=12
// (one line; secondsLeft=-1 until a byte is done). Silent in the third mode.
// Used by the reading thread only.
#include "CUProgressPace.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace qzoffload {

using ProgressMode = ComVantoVantoQZ64RADPlug::CUProgressMode;

class OffloadProgress {
public:
    // `label` opens the terminal line: "offload", "check".
    OffloadProgress(ProgressMode mode, std::FILE* out, std::string label = "offload");

    void Update(const std::string& relativePath, uint64_t fileDone, uint64_t fileSize, uint64_t done,
                uint64_t total);
    // Ends the terminal line.
    void Finish();

private:
    ProgressMode m_Mode;
    std::FILE* m_Out;
    std::string m_Label;
    ComVantoVantoQZ64RADPlug::CUProgressPace m_Pace;
    bool m_Open = false;
};

}  // namespace qzoffload

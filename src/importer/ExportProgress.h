#pragma once
// Progress of an export on a stream (stderr). On a terminal: one line per
// clip, redrawn in place (clip, frames done of total, frames/s, MB/s, time
// left) at most ten times a second and ended when the clip is. For scripts
// (--progress): one line of key=value fields per frame,
//   clip=QZ0001 frame=12 total=60 bytes=3145728 done=0
// and a last line with done=1 (frame= then counts the frames delivered);
// a clip that failed or was interrupted ends instead with done=0 and
// stopped=failed or stopped=interrupted, so a script never reads it as done.
// Silent in the third mode. Used by one thread.
#include "CUProgressPace.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace qzimport {

using ProgressMode = ComVantoVantoQZ64RADPlug::CUProgressMode;

class ExportProgress {
public:
    ExportProgress(ProgressMode mode, std::FILE* out);

    void StartClip(const std::string& clipID, uint64_t totalFrames);
    // `framesDone` frames of the clip delivered, `bytes` written so far.
    void Frame(uint64_t framesDone, uint64_t bytes);
    void FinishClip();
    // Ends the clip's progress without claiming it done; `why`: "failed" or "interrupted".
    void StopClip(const char* why);

    // The terminal line: "QZ0001  120/600 frames  24.0 frames/s  45.2 MB/s  0:12 left".
    static std::string TerminalLine(const std::string& clipID, uint64_t done, uint64_t total, uint64_t bytes,
                                    double seconds);

private:
    void Print(bool done, const char* stopped = nullptr);

    ProgressMode m_mode;
    std::FILE* m_out;
    std::string m_clip;
    uint64_t m_total = 0;
    uint64_t m_done = 0;
    uint64_t m_bytes = 0;
    ComVantoVantoQZ64RADPlug::CUProgressPace m_pace;
    bool m_open = false;
};

}  // namespace qzimport

#pragma once
// Progress of an offload on a stream (stderr). On a terminal: one line
// redrawn in place at most ten times a second (bytes done of the total,
// MB/s, the file being read), ended when the copy is. For scripts
// (--progress): one line of key=value fields per chunk read and per file,
//   file=CONTENTS/CLIPS001/INDEX.MIF fileBytes=4194304 fileSize=9000000 bytes=123 total=456
// Silent in the third mode. Used by the reading thread only.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace qzoffload {

enum class ProgressMode { kSilent, kTerminal, kLines };

class OffloadProgress {
public:
    OffloadProgress(ProgressMode mode, std::FILE* out);

    void Update(const std::string& relativePath, uint64_t fileDone, uint64_t fileSize, uint64_t done,
                uint64_t total);
    // Ends the terminal line.
    void Finish();

private:
    ProgressMode m_Mode;
    std::FILE* m_Out;
    std::chrono::steady_clock::time_point m_Started;
    std::chrono::steady_clock::time_point m_Drawn;
    bool m_Open = false;
};

}  // namespace qzoffload

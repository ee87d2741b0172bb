#pragma once
// The long clip the read benchmarks measure: 3000 frames, 59.94i, 50 Mbps
// CBR, four mono PCM tracks, written once by the card writer and kept in
// QZ_BENCH_TMP (default /tmp) under `fileName` for later runs.
#include "MxfFileWriter.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

namespace qzbench {

constexpr uint32_t kLongClipFrames = 3000;

// The clip's path, or an empty string when it could not be written.
inline std::string LongWrittenClip(const char* fileName) {
    const char* dir = std::getenv("QZ_BENCH_TMP");
    const std::string path = std::string(dir && *dir ? dir : "/tmp") + "/" + fileName;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && st.st_size >= 100000000) return path;
    ComVantoVantoQZ64RADPlug::CardWriter::MxfFileDescription d;
    d.video.bitRate = 50000000;
    d.video.constantBitRate = true;
    d.frameCount = kLongClipFrames;
    d.audioChannels = 4;
    const std::string part = path + ".part";
    try {
        ComVantoVantoQZ64RADPlug::CardWriter::WriteMxfFile(d, part);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cannot write the clip: %s\n", e.what());
        return {};
    }
    return std::rename(part.c_str(), path.c_str()) == 0 ? path : std::string();
}

}  // namespace qzbench

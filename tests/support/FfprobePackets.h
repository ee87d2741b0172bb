#pragma once
// ffprobe's list of the video packets of a file, in stored order, and the
// presentation rank of each (its place in pts order).
#include "ExternalTool.h"

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace qztest {

struct ProbedPacket {
    long pts = 0;
    unsigned long size = 0;
    bool key = false;
    int64_t rank = 0;  // packets of the file with a smaller pts
};

inline std::vector<ProbedPacket> ProbePackets(const std::string& path) {
    const CommandResult run =
        RunCommand("ffprobe -v error -select_streams v:0 -show_entries packet=pts,size,flags -of csv=p=0 " +
                   ShellQuote(path));
    EXPECT_EQ(run.exitCode, 0) << path;
    std::vector<ProbedPacket> packets;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        ProbedPacket p;
        char flags[8] = {};
        if (std::sscanf(line.c_str(), "%ld,%lu,%7s", &p.pts, &p.size, flags) < 2) continue;
        p.key = flags[0] == 'K';
        packets.push_back(p);
    }
    for (ProbedPacket& p : packets)
        for (const ProbedPacket& q : packets) p.rank += q.pts < p.pts;
    return packets;
}

}  // namespace qztest

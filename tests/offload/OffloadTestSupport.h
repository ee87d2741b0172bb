#pragma once
// What the offload tests share: small cards written by the card writer,
// an offload of one through the layer with the clock and host pinned, the
// partial files left in a tree, every history file of a copy checked
// against the ASC MHL schemas with xmllint and read by the ASC's reference
// tool, and a small tmpfs to run out of space on.
#include "CardWriter.h"
#include "ExternalTool.h"
#include "Offload.h"
#include "SampleCard.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace offload_test {

namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;
namespace fs = std::filesystem;

// Three clips of 30 frames: member files of several read chunks, and small ones.
inline void WriteCard(const std::string& folder, uint32_t clips = 3, uint32_t frames = 30) {
    cw::SampleCardOptions options;
    options.clipCount = clips;
    options.durationFrames = frames;
    cw::WriteCard(cw::SampleCardDescription(options), folder);
}

inline qzoffload::OffloadOptions Options(const std::string& card, std::vector<std::string> destinations) {
    qzoffload::OffloadOptions options;
    options.card = card;
    options.destinations = std::move(destinations);
    options.creator = {"test", "testhost", [] { return int64_t{1714555800}; },
                       [] { return std::string(32, '7'); }};
    return options;
}

// Hidden partial files anywhere under `root`.
inline std::vector<std::string> Partials(const std::string& root) {
    std::vector<std::string> found;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
        if (it->path().extension() == ".partial") found.push_back(it->path().string());
    return found;
}

// Every generation and the chain of `copy` validate against the schemas.
inline void ExpectValidHistory(const std::string& copy) {
    if (!qztest::ShouldRunPeerCheck("xmllint")) return;
    const std::string schemas = QZ_ASCMHL_SCHEMAS;
    size_t generations = 0;
    for (const auto& entry : fs::directory_iterator(copy + "/ascmhl")) {
        const std::string path = entry.path().string();
        const bool chain = entry.path().filename() == "ascmhl_chain.xml";
        if (!chain && entry.path().extension() != ".mhl") continue;
        generations += !chain;
        const std::string schema = schemas + (chain ? "/ASCMHLDirectory.xsd" : "/ASCMHL.xsd");
        const qztest::CommandResult run = qztest::RunCommand(
            "xmllint --noout --schema " + qztest::ShellQuote(schema) + " " + qztest::ShellQuote(path),
            qztest::Capture::StdoutAndStderr);
        EXPECT_EQ(run.exitCode, 0) << run.output;
    }
    EXPECT_GT(generations, 0u) << copy;
}

// What `ascmhl verify` of the ASC's reference tool answers (its exit codes).
enum class AscmhlVerify : int { kClean = 0, kMissingFiles = 10, kHashMismatch = 11, kNewFiles = 21 };

// The reference tool reads the history of `copy` (`ascmhl info` exits 0)
// and judges the copy as one of `verify` says. It is no Debian package:
// without it on PATH this checks nothing, under CI=true too.
inline void ExpectAscmhlReads(const std::string& copy, std::initializer_list<AscmhlVerify> verify) {
    if (!qztest::HasTool("ascmhl")) return;
    const qztest::CommandResult info =
        qztest::RunCommand("ascmhl info -v " + qztest::ShellQuote(copy), qztest::Capture::StdoutAndStderr);
    EXPECT_EQ(info.exitCode, 0) << info.output;
    const qztest::CommandResult run =
        qztest::RunCommand("ascmhl verify " + qztest::ShellQuote(copy), qztest::Capture::StdoutAndStderr);
    EXPECT_TRUE(std::any_of(verify.begin(), verify.end(),
                            [&run](AscmhlVerify code) { return run.exitCode == static_cast<int>(code); }))
        << run.exitCode << ": " << run.output;
}
inline void ExpectAscmhlReads(const std::string& copy, AscmhlVerify verify) {
    ExpectAscmhlReads(copy, {verify});
}

// Every entry (folders too) under `root`, to show that nothing was created.
inline std::vector<std::string> Entries(const std::string& root) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) entries.push_back(entry.path().string());
    std::sort(entries.begin(), entries.end());
    return entries;
}

// Root can mount a small tmpfs to run out of space on.
class SmallMount {
public:
    explicit SmallMount(const std::string& folder, const char* size) : m_Folder(folder) {
        fs::create_directories(folder);
        m_Mounted = ::geteuid() == 0 &&
                    ::mount("tmpfs", folder.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
    }
    ~SmallMount() {
        if (m_Mounted) ::umount2(m_Folder.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_Mounted; }

private:
    std::string m_Folder;
    bool m_Mounted;
};

}  // namespace offload_test

// The damaged-card campaign: a written card damaged in one way at a time
// (every file cut at structure boundaries and at random points, seeded byte
// flips in every file type, a member file replaced by a folder, a named
// pipe, a link out of the card or an unreadable file, the whole card read
// only), and every reading command run on it (report making its
// thumbnails too). Each must end in time with a
// documented exit code, the clips the damage did not touch must still
// export byte for byte as from the undamaged card, and the card must keep
// its bytes and modification times; each command runs in 1 GiB of address
// space (not under sanitizers); the permission damages run as user nobody
// when the test runs as root. QZ_CAMPAIGN_SEED picks other damages,
// QZ_CAMPAIGN_SCALE tries more of them.
#include "BoundedRun.h"
#include "CIFStream.h"
#include "ExternalTool.h"
#include "FolderSnapshot.h"
#include "MIFStream.h"
#include "MxfKlvWalk.h"
#include "ScratchFolder.h"
#include "TestFiles.h"
#include "WrittenClip.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;
using namespace ComVantoVantoQZ64RADPlug;
using Bytes = std::vector<uint8_t>;
using Ranges = std::vector<std::pair<uint64_t, uint64_t>>;  // [begin, end) byte ranges

const char* const kClips[] = {"QZ0001", "QZ0002", "QZ0003"};
constexpr std::chrono::seconds kBound{60};

struct Damage {
    std::string name;
    std::string clip;  // the clip whose file it damages; empty for the index (every clip)
    std::function<void(const std::string& card)> apply;
    // Permission damage: root reads and writes whatever the permissions
    // say, so a test run as root runs these commands as an ordinary user.
    bool asOrdinaryUser = false;
};

// For `beforeExec` when the test runs as root: the child becomes the
// ordinary user "nobody" (exit 126 when it cannot).
void BecomeOrdinaryUser() {
    constexpr uid_t kNobody = 65534;
    if (geteuid() != 0) return;
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(126);
}

// The card: three small clips, the last one over two member files.
void WriteCleanCard(const std::string& root) {
    cw::CardDescription card;
    card.clips = {qztest::SmallClip(cw::FrameRate::k29_97p, {12}),
                  qztest::SmallClip(cw::FrameRate::k23_98p, {12}),
                  qztest::SmallClip(cw::FrameRate::k59_94p, {6, 6})};
    for (uint32_t i = 0; i < 3; ++i) card.clips[i].id.number = i + 1;
    cw::WriteCard(card, root);
}

std::string ClipOf(const fs::path& file) {
    const std::string name = file.filename().string();
    return name == "INDEX.MIF" ? std::string() : name.substr(0, 6);
}

// Offsets where the file's structures begin and end.
std::vector<uint64_t> Boundaries(const fs::path& file, const Bytes& bytes) {
    const std::string ext = file.extension().string();
    if (ext == ".MIF")
        return {MIFStream::kOffsetVersion,  MIFStream::kOffsetClipCount,     MIFStream::kOffsetClipIDTable,
                MIFStream::kOffsetCIFTable, MIFStream::kOffsetMediaMetadata, MIFStream::kOffsetExtension};
    if (ext == ".CIF")
        return {CIFStream::kOffsetVersion,           CIFStream::kOffsetDuration,
                CIFStream::kOffsetMemberStreams,     CIFStream::kOffsetMetadataMagic,
                CIFStream::kOffsetRecordTimeandDate, CIFStream::kOffsetRelayInformation,
                CIFStream::kOffsetShotMarks,         CIFStream::kOffsetEventMarks};
    std::vector<uint64_t> at;
    if (ext == ".XML") {
        for (size_t i = 0; i < bytes.size(); ++i)
            if (bytes[i] == '<') at.push_back(i);
    } else {
        for (const mxftest::Klv& klv : mxftest::WalkAll(bytes)) {
            at.push_back(klv.offset);
            at.push_back(klv.valueOffset);
        }
    }
    return at;
}

// Byte ranges of an MXF file by kind: header (up to the first index
// segment or essence), index segments, essence elements.
std::map<std::string, Ranges> MxfRegions(const Bytes& bytes) {
    std::map<std::string, Ranges> regions;
    const std::vector<mxftest::Klv> klvs = mxftest::WalkAll(bytes);
    uint64_t headerEnd = bytes.size();
    for (const mxftest::Klv& klv : klvs) {
        const bool index = mxftest::IsIndexSegment(klv.key);
        const bool essence = mxftest::IsPicture(klv.key) || mxftest::IsSound(klv.key);
        if ((index || essence) && headerEnd == bytes.size()) headerEnd = klv.offset;
        if (index) regions["MXF index segment"].push_back({klv.offset, klv.End()});
        if (essence) regions["MXF essence"].push_back({klv.offset, klv.End()});
    }
    regions["MXF header"].push_back({0, headerEnd});
    return regions;
}

std::vector<Damage> Damages(const std::string& clean, uint32_t seed, const std::string& outside) {
    std::mt19937 random(seed);
    std::vector<Damage> damages;
    std::map<std::string, std::vector<std::pair<std::string, Ranges>>> flips;  // kind -> files and ranges
    for (const auto& entry : fs::recursive_directory_iterator(clean)) {
        if (!entry.is_regular_file()) continue;
        const fs::path file = entry.path();
        const std::string relative = fs::relative(file, clean).string();
        const Bytes bytes = qztest::ReadFile(file.string());
        const std::string clip = ClipOf(file);
        std::vector<uint64_t> cuts = Boundaries(file, bytes);
        std::shuffle(cuts.begin(), cuts.end(), random);
        cuts.resize(std::min<size_t>(cuts.size(), static_cast<size_t>(qztest::Scaled(2))));
        for (int i = 0; i < qztest::Scaled(1); ++i) cuts.push_back(random() % (bytes.size() + 1));
        cuts.push_back(0);
        for (uint64_t cut : std::set<uint64_t>(cuts.begin(), cuts.end()))
            damages.push_back(
                {relative + " cut at " + std::to_string(cut), clip,
                 [relative, cut](const std::string& card) { fs::resize_file(card + "/" + relative, cut); }});
        const std::string ext = file.extension().string();
        if (ext == ".MXF") {
            for (auto& [kind, ranges] : MxfRegions(bytes)) flips[kind].push_back({relative, ranges});
        } else {
            const std::string kind = ext == ".MIF" ? "index" : ext == ".CIF" ? "clip information" : "XML";
            flips[kind].push_back({relative, {{0, bytes.size()}}});
        }
    }
    for (const auto& [kind, files] : flips) {
        for (int n = 0; n < qztest::Scaled(2); ++n) {
            const auto& chosen = files[random() % files.size()];
            const std::string relative = chosen.first;
            const auto ranges = chosen.second;
            const uint32_t flipSeed = static_cast<uint32_t>(random());
            damages.push_back(
                {kind + " bytes flipped in " + relative + " (seed " + std::to_string(flipSeed) + ")",
                 ClipOf(relative), [relative, ranges, flipSeed](const std::string& card) {
                     std::mt19937 flip(flipSeed);
                     Bytes bytes = qztest::ReadFile(card + "/" + relative);
                     const int count = 1 + static_cast<int>(flip() % 8);
                     for (int i = 0; i < count; ++i) {
                         const auto& [begin, end] = ranges[flip() % ranges.size()];
                         if (end > begin) bytes[begin + flip() % (end - begin)] ^= 1u << (flip() % 8);
                     }
                     qztest::WriteFile(card + "/" + relative, bytes);
                 }});
        }
    }
    // Every file a reader opens replaced by a named pipe (.CPF is optional).
    for (const char* file : {"QZ0002/QZ000201.MXF", "INDEX.MIF", "QZ0002/QZ0002.CIF", "QZ0002/QZ0002.XML",
                             "QZ0002/QZ0002.CPF"}) {
        const std::string relative = std::string("CONTENTS/CLIPS001/") + file;
        damages.push_back({relative + " a named pipe", std::string(file) == "INDEX.MIF" ? "" : "QZ0002",
                           [relative](const std::string& card) {
                               fs::remove(card + "/" + relative);
                               ASSERT_EQ(mkfifo((card + "/" + relative).c_str(), 0644), 0);
                           }});
    }
    const std::string member = "CONTENTS/CLIPS001/QZ0002/QZ000201.MXF";
    const std::pair<const char*, std::function<void(const std::string&)>> replacements[] = {
        {"a folder", [](const std::string& path) { fs::create_directory(path); }},
        {"a link out of the card", [outside](const std::string& path) { fs::create_symlink(outside, path); }},
        {"a link to an endless device",
         [](const std::string& path) { fs::create_symlink("/dev/zero", path); }},
    };
    for (const auto& [by, make] : replacements)
        damages.push_back({"member file replaced by " + std::string(by), "QZ0002",
                           [member, make = make](const std::string& card) {
                               fs::remove(card + "/" + member);
                               make(card + "/" + member);
                           }});
    damages.push_back(
        {"member file without read permission", "QZ0002",
         [member](const std::string& card) { fs::permissions(card + "/" + member, fs::perms::none); }, true});
    damages.push_back({"read-only card", "NONE",
                       [](const std::string& card) {
                           for (const auto& entry : fs::recursive_directory_iterator(card))
                               fs::permissions(entry.path(),
                                               entry.is_directory() ? fs::perms(0555) : fs::perms(0444));
                           fs::permissions(card, fs::perms(0555));
                       },
                       true});
    return damages;
}

TEST(DamagedCardCampaignTest, EveryCommandEndsWithADocumentedCodeKeepsTheCardAndExportsWhatIsIntact) {
    const char* seedText = std::getenv("QZ_CAMPAIGN_SEED");
    const uint32_t seed = seedText ? static_cast<uint32_t>(std::strtoul(seedText, nullptr, 10)) : 20261207u;
    qztest::ScratchFolder scratch("campaign");
    const std::string clean = scratch.Path() + "/clean", reference = scratch.Path() + "/reference";
    WriteCleanCard(clean);
    const std::string outside = scratch.Path() + "/outside.MXF";
    fs::copy_file(clean + "/CONTENTS/CLIPS001/QZ0001/QZ000101.MXF", outside);
    const std::string qzcard = QZCARD_BINARY;
    ASSERT_EQ(qztest::RunBounded(
                  {qzcard, "export", "--format", "es", clean, "-o", reference, "--all-channels"}, kBound)
                  .exitCode,
              0);

    std::vector<Damage> damages = Damages(clean, seed, outside);
    if (geteuid() == 0) {
        // The ordinary user writes its exports into the scratch folder. Where
        // it cannot run qzcard on the clean card at all (a build folder it
        // cannot enter), the permission damages cannot be tried.
        fs::permissions(scratch.Path(), fs::perms::all);
        if (qztest::RunBounded({qzcard, "list", clean}, kBound, "/dev/null", BecomeOrdinaryUser).exitCode !=
            0) {
            std::printf("the permission damages are left out: user nobody cannot run qzcard here\n");
            damages.erase(std::remove_if(damages.begin(), damages.end(),
                                         [](const Damage& d) { return d.asOrdinaryUser; }),
                          damages.end());
        }
    }
    // Under the sanitizers, which make every run several times slower, every
    // second damage is tried (the other build tries them all), and report
    // runs on every fourth, so that the campaign keeps its time.
    if (qztest::kSanitizedBuild) {
        std::vector<Damage> half;
        for (size_t k = 0; k < damages.size(); k += 2) half.push_back(damages[k]);
        damages = std::move(half);
    }
    std::map<std::string, std::map<int, int>> outcomes;  // command -> exit code -> runs
    int intactExports = 0;
    size_t tried = 0;
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name + " (seed " + std::to_string(seed) + ")");
        const std::string card = scratch.Path() + "/card", out = scratch.Path() + "/out";
        fs::copy(clean, card, fs::copy_options::recursive);
        damage.apply(card);
        const qztest::FolderSnapshot before = qztest::TakeSnapshot(card);
        const std::string clip = damage.clip.size() == 6 ? damage.clip : "QZ0001";
        std::vector<std::vector<std::string>> commands = {
            {qzcard, "list", card, "--json"},
            {qzcard, "clip", card, clip, "--json"},
            {qzcard, "frames", card, clip, "--json"},
            {qzcard, "verify", card, "--json"},
            {qzcard, "export", "--format", "es", card, "-o", out, "--all-channels"},
        };
        if (!qztest::kSanitizedBuild || tried++ % 2 == 0)
            commands.push_back({qzcard, "report", card, "-o", scratch.Path() + "/report"});
        for (const auto& command : commands) {
            const qztest::BoundedResult run =
                qztest::RunBounded(command, kBound, scratch.Path() + "/output.txt", [&damage] {
                    // Memory stays bounded whatever the card announces.
                    if (!qztest::kSanitizedBuild) qztest::LimitResource(RLIMIT_AS, rlim_t{1} << 30);
                    if (damage.asOrdinaryUser) BecomeOrdinaryUser();
                });
            EXPECT_FALSE(run.timedOut) << command[1] << " did not end within " << kBound.count() << " s";
            EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 2 || run.exitCode == 3 || run.exitCode == 4)
                << command[1] << " exit " << run.exitCode << " signal " << run.signal << ": "
                << qztest::ReadText(scratch.Path() + "/output.txt");
            ++outcomes[command[1]][run.timedOut ? -2 : run.exitCode];
        }
        // The clips the damage left alone come out as from the clean card.
        if (!damage.clip.empty()) {
            for (const char* id : kClips) {
                if (damage.clip == id) continue;
                for (const std::string suffix : {".m2v", ".wav", "_ch1.wav", "_ch2.wav"}) {
                    const std::string name = std::string(id) + suffix;
                    EXPECT_TRUE(fs::exists(out + "/" + name)) << name << " not exported";
                    EXPECT_EQ(qztest::ReadFile(out + "/" + name), qztest::ReadFile(reference + "/" + name))
                        << name << " differs from the clean card's";
                }
                ++intactExports;
            }
        }
        EXPECT_TRUE(qztest::TakeSnapshot(card) == before) << "the card was changed";
        // The owner gets every right back (a damage took some), so that the copy can go.
        EXPECT_EQ(qztest::RunCommand("chmod -R u+rwx " + qztest::ShellQuote(card)).exitCode, 0);
        fs::remove_all(card);
        fs::remove_all(out);
        fs::remove_all(scratch.Path() + "/report");
    }
    std::printf("damaged cards tried: %zu, intact clips exported: %d (seed %u)\n", damages.size(),
                intactExports, seed);
    for (const auto& [command, codes] : outcomes) {
        std::printf("  %-7s", command.c_str());
        for (const auto& [code, runs] : codes) std::printf("  exit %d: %d", code, runs);
        std::printf("\n");
    }
}

}  // namespace

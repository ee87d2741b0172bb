// qzcard within tight resource limits, set in the forked child: a
// 3000-frame export in 512 MiB of address space, and a 999-clip card
// listed with 64 file descriptors (the clips' files are opened only when
// read and closed again).
#include "BoundedRun.h"
#include "ScratchFolder.h"
#include "TestFiles.h"
#include "WrittenClip.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

namespace {
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;

TEST(ResourceLimitsTest, ThreeThousandFrameExportInHalfAGibibyteOfAddressSpace) {
    if (qztest::kSanitizedBuild) GTEST_SKIP() << "sanitizers reserve far more address space than the limit";
    qztest::ScratchFolder scratch("vlimit");
    const std::string card = scratch.Path() + "/card", out = scratch.Path() + "/out";
    qztest::WriteClip(card, qztest::SmallClip(cw::FrameRate::k25p, {1500, 1500}));
    const qztest::BoundedResult run = qztest::RunBounded(
        {QZCARD_BINARY, "export", "--format", "es", card, "-o", out}, std::chrono::seconds(240),
        scratch.Path() + "/log.txt", [] { qztest::LimitResource(RLIMIT_AS, rlim_t{512} << 20); });
    ASSERT_EQ(run.exitCode, 0) << qztest::ReadText(scratch.Path() + "/log.txt");
    EXPECT_EQ(nlohmann::json::parse(qztest::ReadText(out + "/QZ0001.json"))["frames"], 3000);
}

TEST(ResourceLimitsTest, NineHundredNinetyNineClipCardListsWithSixtyFourFileDescriptors) {
    qztest::ScratchFolder scratch("nlimit");
    const std::string card = scratch.Path() + "/card";
    cw::CardDescription description;
    description.clips.assign(999, qztest::SmallClip(cw::FrameRate::k25p, {1}));
    for (uint32_t n = 1; n <= 999; ++n) description.clips[n - 1].id.number = n;
    cw::WriteCard(description, card);
    const std::string log = scratch.Path() + "/list.json";
    const qztest::BoundedResult run =
        qztest::RunBounded({QZCARD_BINARY, "list", card, "--json"}, std::chrono::seconds(240), log,
                           [] { qztest::LimitResource(RLIMIT_NOFILE, 64); });
    ASSERT_EQ(run.exitCode, 0) << qztest::ReadText(log).substr(0, 2000);
    const nlohmann::json list = nlohmann::json::parse(qztest::ReadText(log), nullptr, false);
    ASSERT_FALSE(list.is_discarded()) << qztest::ReadText(log).substr(0, 2000);
    ASSERT_EQ(list["clips"].size(), 999u);
    for (const nlohmann::json& clip : list["clips"]) EXPECT_EQ(clip["state"], "ready") << clip.dump();
}

}  // namespace

// qzcard as a user installs it: `cmake --install` into a fresh prefix, and
// the Debian package unpacked into a fresh root. Each installed qzcard runs
// with an empty environment, writes a sample card and exports a clip to MOV;
// the dynamic loader's log of the objects it started tells that the plug-in
// bundle, the media module and the host library were the installation's own.
#include "ExternalTool.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;
using qztest::RunCommand;
using qztest::ShellQuote;

void ExpectInstalledQzcardRuns(const std::string& root, const std::string& scratch) {
    const std::string card = ShellQuote(scratch + "/card"), log = scratch + "/loader.log";
    const std::string qzcard = "env -i PATH=/usr/bin:/bin LD_DEBUG=libs " + ShellQuote(root + "/bin/qzcard");
    ASSERT_EQ(RunCommand(qzcard + " sample-card " + card + " --clips 1 --frames 12 2>/dev/null").exitCode, 0);
    const qztest::CommandResult exported =
        RunCommand(qzcard + " export " + card + " QZ0001 -o " + ShellQuote(scratch + "/out") + " 2>" + log);
    ASSERT_EQ(exported.exitCode, 0) << exported.output;
    EXPECT_TRUE(fs::is_regular_file(scratch + "/out/QZ0001.mov"));
    const std::string started = qztest::ReadText(log);
    const std::regex own("calling init: (.*/(FBCFormatRADPlugin|qzcard-media|libqz_host)\\.so)\n");
    int found = 0;
    for (std::sregex_iterator m(started.begin(), started.end(), own), end; m != end; ++m, ++found)
        EXPECT_TRUE((*m)[1].str().starts_with(root + "/")) << (*m)[1];
    EXPECT_EQ(found, 3);
    EXPECT_TRUE(fs::is_regular_file(root + "/share/doc/qzcard/README.md"));
}

TEST(InstallTest, CmakeInstallIntoAFreshPrefix) {
    qztest::ScratchFolder folder("install");
    const std::string prefix = folder.Path() + "/prefix";
    const qztest::CommandResult install = RunCommand(
        ShellQuote(QZ_CMAKE) + " --install " + ShellQuote(QZ_BUILD_DIR) + " --prefix " + ShellQuote(prefix));
    ASSERT_EQ(install.exitCode, 0) << install.output;
    ExpectInstalledQzcardRuns(prefix, folder.Path());
}

TEST(InstallTest, DebianPackageUnpackedIntoAFreshRoot) {
    QZ_REQUIRE_TOOL("dpkg-shlibdeps");
    qztest::ScratchFolder folder("package");
    const std::string packages = folder.Path() + "/packages", root = folder.Path() + "/root";
    const qztest::CommandResult made =
        RunCommand(ShellQuote(QZ_CPACK) + " -G DEB --config " +
                   ShellQuote(QZ_BUILD_DIR "/CPackConfig.cmake") + " -B " + ShellQuote(packages) + " 2>&1");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::string package = packages + "/qzcard_" QZ_VERSION "_amd64.deb";
    // Its dependencies are the Debian packages of the libraries it links.
    const std::string depends = RunCommand("dpkg-deb -f " + ShellQuote(package) + " Depends").output;
    for (const char* name :
         {"libavformat59", "libavcodec59", "libswscale6", "libicu72", "libxml2", "libxxhash0"})
        EXPECT_NE(depends.find(name), std::string::npos) << name << " not in " << depends;
    ASSERT_EQ(RunCommand("dpkg-deb -x " + ShellQuote(package) + " " + ShellQuote(root)).exitCode, 0);
    ExpectInstalledQzcardRuns(root + "/usr", folder.Path());
}

}  // namespace

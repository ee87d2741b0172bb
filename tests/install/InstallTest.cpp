// qzcard as a user installs it: `cmake --install` into a fresh prefix, and
// the Debian package unpacked into a fresh root. Each installed qzcard runs
// with an empty environment, so nothing leads it to the build tree, writes a
// sample card and exports a clip to MOV; the dynamic loader's list of the
// objects it started tells that the plug-in bundle, the media module and the
// host library came from the installation.
#include "ExternalTool.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qztest::RunCommand;
using qztest::ShellQuote;

// The objects the run started, one full path each ("calling init:" lines).
std::vector<std::string> StartedObjects(const std::string& log) {
    std::vector<std::string> objects;
    std::istringstream lines(qztest::ReadText(log));
    const std::string marker = "calling init: ";
    for (std::string line; std::getline(lines, line);)
        if (const size_t at = line.find(marker); at != std::string::npos)
            objects.push_back(line.substr(at + marker.size()));
    return objects;
}

void ExpectInstalledQzcardRuns(const std::string& root, const std::string& qzcard,
                               const std::string& scratch) {
    SCOPED_TRACE(qzcard);
    const std::string card = scratch + "/card", out = scratch + "/out", log = scratch + "/loader.log";
    const std::string run = "env -i PATH=/usr/bin:/bin LD_DEBUG=libs " + ShellQuote(qzcard) + " ";
    ASSERT_EQ(
        RunCommand(run + "sample-card " + ShellQuote(card) + " --clips 1 --frames 12 2>/dev/null").exitCode,
        0);
    const qztest::CommandResult exported = RunCommand(run + "export " + ShellQuote(card) + " QZ0001 -o " +
                                                      ShellQuote(out) + " 2>" + ShellQuote(log));
    ASSERT_EQ(exported.exitCode, 0) << exported.output;
    EXPECT_TRUE(fs::is_regular_file(out + "/QZ0001.mov"));
    for (const std::string part : {"/FBCFormatRADPlugin.so", "/qzcard-media.so", "/libqz_host.so"}) {
        size_t found = 0;
        for (const std::string& object : StartedObjects(log))
            if (object.size() > part.size() &&
                object.compare(object.size() - part.size(), part.size(), part) == 0) {
                ++found;
                EXPECT_EQ(object.rfind(root + "/", 0), 0u) << object << " lies outside " << root;
            }
        EXPECT_EQ(found, 1u) << part;
    }
    EXPECT_TRUE(fs::is_regular_file(fs::path(qzcard).parent_path() / "../share/doc/qzcard/README.md"));
}

TEST(InstallTest, CmakeInstallIntoAFreshPrefix) {
    qztest::ScratchFolder folder("install");
    const std::string prefix = folder.Path() + "/prefix";
    const qztest::CommandResult install =
        RunCommand(ShellQuote(QZ_CMAKE) + " --install " + ShellQuote(QZ_BUILD_DIR) + " --prefix " +
                   ShellQuote(prefix) + " 2>&1");
    ASSERT_EQ(install.exitCode, 0) << install.output;
    EXPECT_TRUE(fs::is_directory(prefix + "/" QZ_PARTS_DIR "/FBCFormatRADPlugin.bundle/Contents/Resources"));
    ExpectInstalledQzcardRuns(prefix, prefix + "/bin/qzcard", folder.Path());
}

TEST(InstallTest, DebianPackageUnpackedIntoAFreshRoot) {
    QZ_REQUIRE_TOOL("dpkg-deb");
    QZ_REQUIRE_TOOL("dpkg-shlibdeps");
    qztest::ScratchFolder folder("package");
    const std::string packages = folder.Path() + "/packages", root = folder.Path() + "/root";
    const qztest::CommandResult made =
        RunCommand(ShellQuote(QZ_CPACK) + " -G DEB --config " +
                   ShellQuote(QZ_BUILD_DIR "/CPackConfig.cmake") + " -B " + ShellQuote(packages) + " 2>&1");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    std::string package;
    for (const fs::directory_entry& entry : fs::directory_iterator(packages))
        if (entry.path().extension() == ".deb") package = entry.path().string();
    ASSERT_EQ(fs::path(package).filename().string().rfind("qzcard_", 0), 0u) << package;
    // Its dependencies are the Debian packages of the libraries it links.
    const std::string depends = RunCommand("dpkg-deb -f " + ShellQuote(package) + " Depends").output;
    for (const char* name :
         {"libavformat59", "libavcodec59", "libswscale6", "libicu72", "libxml2", "libxxhash0"})
        EXPECT_NE(depends.find(name), std::string::npos) << name << " not in " << depends;
    ASSERT_EQ(RunCommand("dpkg-deb -x " + ShellQuote(package) + " " + ShellQuote(root)).exitCode, 0);
    ExpectInstalledQzcardRuns(root + "/usr", root + "/usr/bin/qzcard", folder.Path());
}

}  // namespace

// qzcard: no media layer linked; command lines that need one run in
// qzcard-media (see MediaCommands.h).
#include "MediaCommands.h"

#include "HostProcess.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace qzcard {

namespace {

constexpr const char* kMediaExecutable = "qzcard-media";

// The value of option `name` ("--format X" or "--format=X"); empty when absent.
std::string OptionValue(int argc, char** argv, const char* name) {
    const size_t length = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0 && i + 1 < argc) return argv[i + 1];
        if (std::strncmp(argv[i], name, length) == 0 && argv[i][length] == '=') return argv[i] + length + 1;
    }
    return std::string();
}

bool HasArgument(int argc, char** argv, const char* argument) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], argument) == 0) return true;
    return false;
}

// Whether the command line needs the media libraries: a report, a decoding
// verify, an export in mov (the default) or mxf, or no command at all (the
// full list of commands is qzcard-media's help).
bool NeedsMedia(int argc, char** argv) {
    const char* command = nullptr;
    for (int i = 1; i < argc && !command; ++i)
        if (argv[i][0] != '-') command = argv[i];
    if (!command) return !HasArgument(argc, argv, "--version");
    if (std::strcmp(command, "report") == 0) return true;
    if (std::strcmp(command, "verify") == 0) return HasArgument(argc, argv, "--decode");
    if (std::strcmp(command, "export") == 0)
        return !HasArgument(argc, argv, "--null") && OptionValue(argc, argv, "--format") != "es";
    return false;
}

}  // namespace

std::unique_ptr<qzimport::OutputFormat> MediaOutputFormat(const std::string&) {
    return nullptr;
}

std::unique_ptr<qzimport::PictureObserver> MediaPictureCheck() {
    return nullptr;
}

std::optional<int> RunInMediaExecutable(int argc, char** argv) {
    if (!NeedsMedia(argc, argv)) return std::nullopt;
    using ComVantoVantoQZ64RADPlug::HostProcess;
    const std::filesystem::path self = HostProcess::ExecutablePath();
    const std::string media = (self.parent_path() / kMediaExecutable).string();
    const std::string why = HostProcess::ReplaceWith(media, argv);
    std::fprintf(stderr,
                 "qzcard: cannot run %s, which holds the commands that need the media libraries: %s\n",
                 media.c_str(), why.c_str());
    return 1;
}

}  // namespace qzcard

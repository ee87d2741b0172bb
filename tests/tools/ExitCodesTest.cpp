// The exit-code table in code against the one README.md shows: every code
// the program can give has a row there, and every row's code is one the
// program gives.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "ExitCodes.h"

namespace {

using ComVantoVantoQZ64RADPlug::CUFailureKind;
using ComVantoVantoQZ64RADPlug::CUHostError;

// The codes in the first column of the table under "## Exit codes".
std::set<int> ReadmeCodes() {
    std::ifstream in(QZ_README);
    std::string line;
    bool inSection = false;
    std::set<int> codes;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0) inSection = line == "## Exit codes";
        if (!inSection || line.rfind("| ", 0) != 0) continue;
        const std::string first = line.substr(2, line.find('|', 2) - 2);
        static const std::regex number("[0-9]+");
        for (std::sregex_iterator it(first.begin(), first.end(), number), end; it != end; ++it)
            codes.insert(std::stoi(it->str()));
    }
    return codes;
}

TEST(ExitCodesTest, TheReadmeTableShowsTheCodesOfTheTableInCode) {
    std::set<int> inCode{qzcard::kExitSuccess};
    for (const auto& [kind, code] : qzcard::kExitCodes) inCode.insert(code);
    // The signals the program stops on: SIGHUP, SIGINT, SIGTERM.
    for (int signal : {1, 2, 15}) inCode.insert(qzcard::ExitCodeOf(CUFailureKind::kInterrupted, signal));
    EXPECT_EQ(ReadmeCodes(), inCode);
}

TEST(ExitCodesTest, EveryKindHasItsCode) {
    const struct {
        CUHostError failure;
        int code;
    } rows[] = {
        {CUHostError("bundle", CUFailureKind::kSetup), 1},
        {CUHostError("not a card", CUFailureKind::kNotACard), 2},
        {CUHostError("no clip", CUFailureKind::kNoSuchClip), 3},
        {CUHostError("problems"), 4},
        {CUHostError("busy", CUFailureKind::kBusy), 5},
        {CUHostError("usage", CUFailureKind::kUsage), 64},
        {CUHostError::Interrupted("stopped", 2), 130},
        {CUHostError::Interrupted("stopped", 15), 143},
    };
    for (const auto& row : rows) EXPECT_EQ(qzcard::ExitCodeOf(row.failure), row.code) << row.failure.what();
}

}  // namespace

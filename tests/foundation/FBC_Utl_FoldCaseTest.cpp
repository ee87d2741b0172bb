#include "FBC_Utl_FoldCase.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using ComVantoVantoQZ64RADPlug::FBC_Utl_FoldCase;

namespace {

TEST(FBC_Utl_FoldCaseTest, FoldsFullyAndReplacesWhatIsNotUtf8) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"Scene 12 TAKE 3", "scene 12 take 3"},
        {"Straße", "strasse"},
        {"STRASSE", "strasse"},
        {"ΣΊΣΥΦΟΣ", "σίσυφοσ"},
        {"a\xff"
         "b",
         "a\xef\xbf\xbd"
         "b"},
        {"\xc3(", "\xef\xbf\xbd("},
    };
    for (const auto& [text, folded] : cases) EXPECT_EQ(FBC_Utl_FoldCase(text), folded) << text;
}

}  // namespace

// Path helpers: results of the string operations, null for every failure.
#include "CUArray.h"
#include "CUStringMac.h"
#include "FBC_Utl_Path.h"

#include <gtest/gtest.h>

#include "FoundationTestSupport.h"

#include <string>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;

TEST(FBC_Utl_PathTest, ResultsAndFailures) {
    EXPECT_EQ(Str(FBC_Utl_PathAppending(S("/Volumes/CARD"), S("CONTENTS"))), "/Volumes/CARD/CONTENTS");
    EXPECT_EQ(Str(FBC_Utl_PathAppending(S("/Volumes/CARD/"), S("CONTENTS"))), "/Volumes/CARD/CONTENTS");
    EXPECT_EQ(Str(FBC_Utl_RemoveLastComponent(S("/a/b/INDEX.MIF"))), "/a/b");
    EXPECT_EQ(Str(FBC_Utl_LastPathComponent(S("/a/b/"))), "b");
    EXPECT_EQ(Str(FBC_Utl_PathGetFileNameNoExtension(S("/C/CLIPS001/AB0001/AB0001.CIF"))), "AB0001");
    CUSharedPtr<CUArray> parts = FBC_Utl_PathComponents(S("/Volumes/CARD/"));
    ASSERT_TRUE(parts);
    ASSERT_EQ(parts->Count(), 3u);
    EXPECT_EQ(Str(CUDynamicCast<CUStringMac>(parts->ObjectAtIndex(2))), "CARD");

    // A failing operation (no "/") gives a null pointer, not an empty string.
    EXPECT_EQ(Str(FBC_Utl_RemoveLastComponent(S("abc"))), "<null>");
    EXPECT_EQ(Str(FBC_Utl_LastPathComponent(S(""))), "<null>");
    EXPECT_EQ(Str(FBC_Utl_PathGetFileNameNoExtension(S("abc.d"))), "<null>");
    for (const CUSharedPtr<CUStringMac>& missing : {CUSharedPtr<CUStringMac>(), NullS()}) {
        EXPECT_FALSE(FBC_Utl_PathAppending(missing, S("a")));
        EXPECT_FALSE(FBC_Utl_PathAppending(S("a"), missing));
        EXPECT_FALSE(FBC_Utl_RemoveLastComponent(missing));
        EXPECT_FALSE(FBC_Utl_LastPathComponent(missing));
        EXPECT_FALSE(FBC_Utl_PathGetFileNameNoExtension(missing));
        EXPECT_FALSE(FBC_Utl_PathComponents(missing));
    }
}

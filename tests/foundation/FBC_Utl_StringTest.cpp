// String helpers: missing inputs, trailing spaces, exact comparison.
#include "CUStringMac.h"
#include "FBC_Utl_String.h"

#include <gtest/gtest.h>

#include "FoundationTestSupport.h"

#include <string>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;

TEST(FBC_Utl_StringTest, AppendAndCompare) {
    EXPECT_EQ(Str(FBC_Utl_AppendString(S("AB"), S("0001"))), "AB0001");
    EXPECT_EQ(Str(FBC_Utl_AppendString(nullptr, S("a"))), "<null>");
    // A null string has no text to join (operator+ would turn it into "").
    EXPECT_EQ(Str(FBC_Utl_AppendString(NullS(), S("a"))), "<null>");
    EXPECT_EQ(Str(FBC_Utl_AppendString(S("a"), NullS())), "<null>");

    EXPECT_TRUE(FBC_Utl_IsEqualString(S("clip"), S("clip")));
    EXPECT_FALSE(FBC_Utl_IsEqualString(S("clip"), S("CLIP")));
    EXPECT_FALSE(FBC_Utl_IsEqualString(nullptr, nullptr));
    EXPECT_FALSE(FBC_Utl_IsEqualString(NullS(), NullS()));
}

TEST(FBC_Utl_StringTest, TrailingSpaces) {
    EXPECT_EQ(FBC_Utl_GetEndSpaceCount(S("ABC  ")), 2u);
    EXPECT_EQ(FBC_Utl_GetEndSpaceCount(S("A\t")), 0u);  // only U+0020 counts
    EXPECT_EQ(FBC_Utl_GetEndSpaceCount(NullS()), 0u);

    EXPECT_EQ(Str(FBC_Utl_DeleteEndSpace(S("ABC  "))), "ABC");
    EXPECT_EQ(Str(FBC_Utl_DeleteEndSpace(S("   "))), "");
    EXPECT_EQ(Str(FBC_Utl_DeleteEndSpace(S("A B"))), "A B");
    // Characters outside the basic plane take two units; none is cut.
    EXPECT_EQ(Str(FBC_Utl_DeleteEndSpace(S("\xE6\x97\xA5 \xF0\x9F\x8E\xA5  "))),
              "\xE6\x97\xA5 \xF0\x9F\x8E\xA5");
    EXPECT_EQ(Str(FBC_Utl_DeleteEndSpace(nullptr)), "<null>");
    EXPECT_EQ(Str(FBC_Utl_DeleteEndSpace(NullS())), "<null>");
}

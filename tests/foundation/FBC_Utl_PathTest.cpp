// Path helpers on null, empty and edge inputs.
#include "CUArray.h"
#include "CUStringMac.h"
#include "FBC_Utl_Path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

CUSharedPtr<CUStringMac> S(const char* text) {
    return CUStringMac::Create(text);
}
CUSharedPtr<CUStringMac> NullString() {
    return CUSharedPtr<CUStringMac>(new CUStringMac(CUStringMac::Null()));
}
std::string Str(const CUSharedPtr<CUStringMac>& s) {
    return s ? s->Utf8() : std::string("<null>");
}

std::vector<std::string> Components(const char* path) {
    CUSharedPtr<CUArray> array = FBC_Utl_PathComponents(S(path));
    std::vector<std::string> out;
    if (!array) return {"<null>"};
    for (size_t i = 0; i < array->Count(); ++i)
        out.push_back(Str(CUDynamicCast<CUStringMac>(array->ObjectAtIndex(i))));
    return out;
}

}  // namespace

TEST(FBC_Utl_PathTest, PathAppending) {
    EXPECT_EQ(Str(FBC_Utl_PathAppending(S("/Volumes/CARD"), S("CONTENTS"))), "/Volumes/CARD/CONTENTS");
    EXPECT_EQ(Str(FBC_Utl_PathAppending(S("/Volumes/CARD/"), S("CONTENTS"))), "/Volumes/CARD/CONTENTS");
    EXPECT_EQ(Str(FBC_Utl_PathAppending(S("/"), S("a"))), "/a");
    EXPECT_EQ(Str(FBC_Utl_PathAppending(S(""), S("a"))), "/a");
    EXPECT_EQ(Str(FBC_Utl_PathAppending(S("a"), S(""))), "a/");
    EXPECT_EQ(Str(FBC_Utl_PathAppending(nullptr, S("a"))), "<null>");
    EXPECT_EQ(Str(FBC_Utl_PathAppending(S("a"), nullptr)), "<null>");
    EXPECT_EQ(Str(FBC_Utl_PathAppending(NullString(), S("a"))), "<null>");
    EXPECT_EQ(Str(FBC_Utl_PathAppending(S("a"), NullString())), "<null>");
    // The inputs are not changed.
    auto base = S("/x");
    FBC_Utl_PathAppending(base, S("y"));
    EXPECT_EQ(Str(base), "/x");
}

TEST(FBC_Utl_PathTest, RemoveLastComponent) {
    EXPECT_EQ(Str(FBC_Utl_RemoveLastComponent(S("/a"))), "/");
    EXPECT_EQ(Str(FBC_Utl_RemoveLastComponent(S("/a/b/"))), "/a");
    EXPECT_EQ(Str(FBC_Utl_RemoveLastComponent(S("/a/b/INDEX.MIF"))), "/a/b");
    EXPECT_EQ(Str(FBC_Utl_RemoveLastComponent(S("/"))), "/");
    EXPECT_EQ(Str(FBC_Utl_RemoveLastComponent(S("abc"))), "<null>");
    EXPECT_EQ(Str(FBC_Utl_RemoveLastComponent(S(""))), "<null>");
    EXPECT_EQ(Str(FBC_Utl_RemoveLastComponent(nullptr)), "<null>");
    EXPECT_EQ(Str(FBC_Utl_RemoveLastComponent(NullString())), "<null>");
}

TEST(FBC_Utl_PathTest, LastPathComponent) {
    EXPECT_EQ(Str(FBC_Utl_LastPathComponent(S("/a/b/"))), "b");
    EXPECT_EQ(Str(FBC_Utl_LastPathComponent(S("/a/b"))), "b");
    EXPECT_EQ(Str(FBC_Utl_LastPathComponent(S("/"))), "/");
    EXPECT_EQ(Str(FBC_Utl_LastPathComponent(S("abc"))), "<null>");
    EXPECT_EQ(Str(FBC_Utl_LastPathComponent(S(""))), "<null>");
    EXPECT_EQ(Str(FBC_Utl_LastPathComponent(nullptr)), "<null>");
    EXPECT_EQ(Str(FBC_Utl_LastPathComponent(NullString())), "<null>");
}

TEST(FBC_Utl_PathTest, PathGetFileNameNoExtension) {
    EXPECT_EQ(Str(FBC_Utl_PathGetFileNameNoExtension(S("/C/CLIPS001/AB0001/AB0001.CIF"))), "AB0001");
    EXPECT_EQ(Str(FBC_Utl_PathGetFileNameNoExtension(S("/a/b.c.d"))), "b.c");
    EXPECT_EQ(Str(FBC_Utl_PathGetFileNameNoExtension(S("/a.b/c"))), "c");
    EXPECT_EQ(Str(FBC_Utl_PathGetFileNameNoExtension(S("/a/"))), "");
    EXPECT_EQ(Str(FBC_Utl_PathGetFileNameNoExtension(S("abc.d"))), "<null>");
    EXPECT_EQ(Str(FBC_Utl_PathGetFileNameNoExtension(S(""))), "<null>");
    EXPECT_EQ(Str(FBC_Utl_PathGetFileNameNoExtension(nullptr)), "<null>");
    EXPECT_EQ(Str(FBC_Utl_PathGetFileNameNoExtension(NullString())), "<null>");
}

TEST(FBC_Utl_PathTest, PathComponents) {
    EXPECT_EQ(Components("/Volumes/CARD/"), (std::vector<std::string>{"/", "Volumes", "CARD"}));
    EXPECT_EQ(Components("/"), (std::vector<std::string>{"/"}));
    EXPECT_EQ(Components(""), (std::vector<std::string>{""}));
    EXPECT_EQ(Components("a//b"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(Components("a"), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(FBC_Utl_PathComponents(nullptr).IsNull());
    EXPECT_TRUE(FBC_Utl_PathComponents(NullString()).IsNull());
}

// Path helpers on null, empty and edge inputs.
#include "CUArray.h"
#include "CUStringMac.h"
#include "FBC_Utl_Path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// Inputs: nullptr is a null pointer, kNullString a null string.
const char* const kNullString = "\x01null";
CUSharedPtr<CUStringMac> In(const char* text) {
    if (!text) return nullptr;
    if (text == kNullString) return CUSharedPtr<CUStringMac>(new CUStringMac(CUStringMac::Null()));
    return CUStringMac::Create(text);
}
std::string Str(const CUSharedPtr<CUStringMac>& s) {
    return s ? s->Utf8() : std::string("<null>");
}

struct Case {
    const char* input;
    const char* expected;
};

void ExpectAll(CUSharedPtr<CUStringMac> (*function)(const CUSharedPtr<CUStringMac>&),
               std::vector<Case> cases) {
    for (const Case& c : cases)
        EXPECT_EQ(Str(function(In(c.input))), c.expected) << (c.input ? c.input : "nullptr");
}

std::vector<std::string> Components(const char* path) {
    CUSharedPtr<CUArray> array = FBC_Utl_PathComponents(In(path));
    if (!array) return {"<null>"};
    std::vector<std::string> out;
    for (size_t i = 0; i < array->Count(); ++i)
        out.push_back(Str(CUDynamicCast<CUStringMac>(array->ObjectAtIndex(i))));
    return out;
}

}  // namespace

TEST(FBC_Utl_PathTest, PathAppending) {
    const struct {
        const char* path;
        const char* component;
        const char* expected;
    } cases[] = {
        {"/Volumes/CARD", "CONTENTS", "/Volumes/CARD/CONTENTS"},
        {"/Volumes/CARD/", "CONTENTS", "/Volumes/CARD/CONTENTS"},
        {"/", "a", "/a"},
        {"", "a", "/a"},
        {"a", "", "a/"},
        {nullptr, "a", "<null>"},
        {"a", nullptr, "<null>"},
        {kNullString, "a", "<null>"},
        {"a", kNullString, "<null>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Str(FBC_Utl_PathAppending(In(c.path), In(c.component))), c.expected);
    // The inputs are not changed.
    auto base = In("/x");
    FBC_Utl_PathAppending(base, In("y"));
    EXPECT_EQ(Str(base), "/x");
}

TEST(FBC_Utl_PathTest, RemoveLastComponent) {
    ExpectAll(FBC_Utl_RemoveLastComponent, {{"/a", "/"},
                                            {"/a/b/", "/a"},
                                            {"/a/b/INDEX.MIF", "/a/b"},
                                            {"/", "/"},
                                            {"abc", "<null>"},
                                            {"", "<null>"},
                                            {nullptr, "<null>"},
                                            {kNullString, "<null>"}});
}

TEST(FBC_Utl_PathTest, LastPathComponent) {
    ExpectAll(FBC_Utl_LastPathComponent, {{"/a/b/", "b"},
                                          {"/a/b", "b"},
                                          {"/", "/"},
                                          {"abc", "<null>"},
                                          {"", "<null>"},
                                          {nullptr, "<null>"},
                                          {kNullString, "<null>"}});
}

TEST(FBC_Utl_PathTest, PathGetFileNameNoExtension) {
    ExpectAll(FBC_Utl_PathGetFileNameNoExtension, {{"/C/CLIPS001/AB0001/AB0001.CIF", "AB0001"},
                                                   {"/a/b.c.d", "b.c"},
                                                   {"/a.b/c", "c"},
                                                   {"/a/", ""},
                                                   {"abc.d", "<null>"},
                                                   {"", "<null>"},
                                                   {nullptr, "<null>"},
                                                   {kNullString, "<null>"}});
}

TEST(FBC_Utl_PathTest, PathComponents) {
    EXPECT_EQ(Components("/Volumes/CARD/"), (std::vector<std::string>{"/", "Volumes", "CARD"}));
    EXPECT_EQ(Components("/"), (std::vector<std::string>{"/"}));
    EXPECT_EQ(Components(""), (std::vector<std::string>{""}));
    EXPECT_EQ(Components("a//b"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(Components("a"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(Components(nullptr), (std::vector<std::string>{"<null>"}));
    EXPECT_EQ(Components(kNullString), (std::vector<std::string>{"<null>"}));
}

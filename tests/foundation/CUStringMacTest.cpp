#include "CUArray.h"
#include "CUStringMac.h"

#include <gtest/gtest.h>

#include "ConcurrentReads.h"
#include "FoundationTestSupport.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;

namespace {

constexpr uint32_t kFail = 0x10001;

std::vector<std::string> Components(const char* path, uint32_t* status = nullptr) {
    CUSharedPtr<CUArray> parts;
    const uint32_t st = CUStringMac(path).PathComponents(&parts);
    if (status) *status = st;
    std::vector<std::string> out;
    if (st != 0 || !parts) return out;
    for (size_t i = 0; i < parts->Count(); ++i) {
        CUSharedPtr<CUStringMac> s = parts->ObjectAtIndex(i);
        out.push_back(s ? s->Utf8() : "<not a string>");
    }
    return out;
}

TEST(CUStringMac, NullDiffersFromEmpty) {
    CUStringMac empty;
    CUStringMac null = CUStringMac::Null();
    EXPECT_FALSE(empty.IsNull());
    EXPECT_TRUE(null.IsNull());
    EXPECT_EQ(empty.Length(), 0);
    EXPECT_EQ(null.Length(), 0);
    ASSERT_NE(static_cast<const char*>(empty), nullptr);
    EXPECT_STREQ(static_cast<const char*>(empty), "");
    EXPECT_EQ(static_cast<const char*>(null), nullptr);

    EXPECT_FALSE(null == null);
    EXPECT_FALSE(null == empty);
    EXPECT_FALSE(null < empty);
    EXPECT_FALSE(empty < null);
    EXPECT_FALSE(empty.Equals(NullS(), kCUStringCompareCaseInsensitive));
    EXPECT_FALSE(empty.Equals(CUSharedPtr<CUStringMac>(), kCUStringCompareExact));

    // Copies and conversions keep the null state.
    EXPECT_TRUE(CUStringMac(null).IsNull());
    EXPECT_TRUE(CUStringMac(NullS()).IsNull());
    EXPECT_TRUE(CUStringMac(static_cast<const char*>(nullptr)).IsNull());
    EXPECT_TRUE(null.Description()->IsNull());
    CUStringMac target("x");
    target = null;
    EXPECT_TRUE(target.IsNull());

    // operator+: a null receiver gives the empty string; a null argument adds nothing.
    CUStringMac sum = null + CUStringMac("a");
    EXPECT_FALSE(sum.IsNull());
    EXPECT_EQ(sum.Utf8(), "");
    EXPECT_EQ((CUStringMac("a") + null).Utf8(), "a");
    EXPECT_EQ((CUStringMac("a") + CUStringMac("bc")).Utf8(), "abc");
}

TEST(CUStringMac, NullStringFailsEveryPathOperationAndLeavesOutputAlone) {
    const CUStringMac null = CUStringMac::Null();
    CUStringMac out("keep");
    EXPECT_EQ(null.PathAppend(S("a"), out), kFail);
    EXPECT_EQ(null.PathRemoveLastComponent(out), kFail);
    EXPECT_EQ(null.PathGetFileName(out), kFail);
    EXPECT_EQ(null.PathGetFileNameNoExtension(out), kFail);
    EXPECT_EQ(null.PathGetExtension(out), kFail);
    EXPECT_EQ(null.PathGetLastComponent(out), kFail);
    CUSharedPtr<CUArray> parts;
    EXPECT_EQ(null.PathComponents(&parts), kFail);
    EXPECT_TRUE(parts.IsNull());
    EXPECT_EQ(out.Utf8(), "keep");
    // A null component fails too.
    EXPECT_EQ(CUStringMac("/a").PathAppend(NullS(), out), kFail);
    EXPECT_EQ(CUStringMac("/a").PathAppend(CUSharedPtr<CUStringMac>(), out), kFail);
    EXPECT_EQ(CUStringMac("/a").PathComponents(nullptr), kFail);
    EXPECT_EQ(out.Utf8(), "keep");
}

// One row per path operation and input; nullptr as result: output left unchanged.
TEST(CUStringMac, PathOperations) {
    using Op = uint32_t (CUStringMac::*)(CUStringMac&) const;
    const struct {
        Op op;
        const char* name;
        const char* input;
        uint32_t status;
        const char* result;
    } rows[] = {
        {&CUStringMac::PathRemoveLastComponent, "RemoveLast", "/", 0, "/"},
        {&CUStringMac::PathRemoveLastComponent, "RemoveLast", "/a", 0, "/"},
        {&CUStringMac::PathRemoveLastComponent, "RemoveLast", "/a/b/", 0, "/a"},
        {&CUStringMac::PathRemoveLastComponent, "RemoveLast", "abc", kFail, ""},
        {&CUStringMac::PathRemoveLastComponent, "RemoveLast", "", kFail, ""},
        {&CUStringMac::PathGetFileName, "FileName", "/a/b.MXF", 0, "b.MXF"},
        {&CUStringMac::PathGetFileName, "FileName", "/a/", 0, ""},
        {&CUStringMac::PathGetFileName, "FileName", "abc", kFail, nullptr},
        {&CUStringMac::PathGetExtension, "Extension", "/v/A001C001.MXF", 0, ".MXF"},
        {&CUStringMac::PathGetExtension, "Extension", "a.b/c", 0, ".b/c"},
        {&CUStringMac::PathGetExtension, "Extension", "abc", kFail, nullptr},
        {&CUStringMac::PathGetFileNameNoExtension, "NoExtension", "/a/x.tar.gz", 0, "x.tar"},
        {&CUStringMac::PathGetFileNameNoExtension, "NoExtension", "/a.b/c", 0, "c"},
        {&CUStringMac::PathGetFileNameNoExtension, "NoExtension", "abc.d", kFail, nullptr},
        {&CUStringMac::PathGetLastComponent, "LastComponent", "/", 0, "/"},
        {&CUStringMac::PathGetLastComponent, "LastComponent", "/a/b/", 0, "b"},
        {&CUStringMac::PathGetLastComponent, "LastComponent", "a/", kFail, nullptr},
        {&CUStringMac::PathGetLastComponent, "LastComponent", "", kFail, nullptr},
    };
    for (const auto& row : rows) {
        CUStringMac out("unchanged");
        EXPECT_EQ((CUStringMac(row.input).*row.op)(out), row.status) << row.name << " '" << row.input << "'";
        EXPECT_EQ(out.Utf8(), row.result ? row.result : "unchanged") << row.name << " '" << row.input << "'";
    }

    CUStringMac out;
    EXPECT_EQ(CUStringMac("/a/").PathAppend(S("b"), out), 0u);
    EXPECT_EQ(out.Utf8(), "/a/b");
    EXPECT_EQ(CUStringMac("").PathAppend(S("b"), out), 0u);
    EXPECT_EQ(out.Utf8(), "/b");

    using V = std::vector<std::string>;
    EXPECT_EQ(Components("/"), V({"/"}));
    EXPECT_EQ(Components(""), V({""}));
    EXPECT_EQ(Components("/Volumes/CARD/"), V({"/", "Volumes", "CARD"}));
    EXPECT_EQ(Components("a//b"), V({"a", "", "b"}));
}

TEST(CUStringMac, ExactAndCaseInsensitiveComparison) {
    EXPECT_TRUE(CUStringMac("clip").Equals(S("CLIP"), kCUStringCompareCaseInsensitive));
    EXPECT_FALSE(CUStringMac("clip").Equals(S("CLIP"), kCUStringCompareExact));
    EXPECT_FALSE(CUStringMac("clip").Equals(S("clip"), static_cast<_CUStringComparison>(7)));

    // Accents are not case: é differs from E, but matches É.
    EXPECT_FALSE(CUStringMac("\u00e9").Equals(S("E"), kCUStringCompareCaseInsensitive));
    EXPECT_TRUE(CUStringMac("\u00e9").Equals(S("\u00c9"), kCUStringCompareCaseInsensitive));
    EXPECT_FALSE(CUStringMac("\u00e9").Equals(S("\u00c9"), kCUStringCompareExact));
    // German: full case folding makes ß match SS; Ä matches ä.
    EXPECT_TRUE(CUStringMac("Stra\u00dfe").Equals(S("STRASSE"), kCUStringCompareCaseInsensitive));
    EXPECT_TRUE(CUStringMac("\u00c4pfel").Equals(S("\u00e4PFEL"), kCUStringCompareCaseInsensitive));
    // Japanese: hiragana and katakana are different letters, not cases.
    EXPECT_FALSE(CUStringMac("\u3042").Equals(S("\u30a2"), kCUStringCompareCaseInsensitive));
    EXPECT_TRUE(CUStringMac("\u65e5\u672c").Equals(S("\u65e5\u672c"), kCUStringCompareExact));
    // Canonically equivalent forms are equal (precomposed vs combining accent).
    EXPECT_TRUE(CUStringMac("\u00e9").Equals(S("e\u0301"), kCUStringCompareExact));
}

TEST(CUStringMac, CollationIsLocaleAwareAndCaseSensitive) {
    // Not code-unit order: "a" < "B" and accented letters sit with their base.
    EXPECT_TRUE(CUStringMac("a") < CUStringMac("B"));
    EXPECT_TRUE(CUStringMac("e") < CUStringMac("\u00e9"));
    EXPECT_TRUE(CUStringMac("\u00e9") < CUStringMac("f"));
    EXPECT_TRUE(CUStringMac("\u00e4") < CUStringMac("b"));
    // Case-sensitive: the two cases differ and are strictly ordered.
    const CUStringMac lower("clip"), upper("CLIP");
    EXPECT_NE(lower < upper, upper < lower);
    EXPECT_FALSE(lower < lower);
    // Kana sort before kanji, in a fixed order.
    EXPECT_TRUE(CUStringMac("\u3042") < CUStringMac("\u65e5"));
    // Distinct texts that collate equal are still strictly ordered one way.
    const CUStringMac pre("\u00e9"), comb("e\u0301");
    EXPECT_NE(pre < comb, comb < pre);
}

// Each thread collates with a collator of its own: from eight threads at
// once every answer stays the right one.
TEST(CUStringMac, ComparisonsAreSafeFromSeveralThreads) {
    const auto answers = qztest::ExpectEightThreadsReadAsOne(
        500,
        [](uint32_t) {
            return std::make_pair(CUStringMac("\u00e4") < CUStringMac("b"),
                                  CUStringMac("clip").Equals(S("CLIP"), kCUStringCompareCaseInsensitive));
        },
        [] {});
    for (const auto& [ordered, equal] : answers) EXPECT_TRUE(ordered && equal);
}

TEST(CUStringMac, Find) {
    CUStringRange r = CUStringMac("Gr\u00fc\u00dfe aus M\u00dcNCHEN")
                          .Find(S("m\u00fcnchen"), kCUStringCompareCaseInsensitive);
    EXPECT_EQ(r.location, 10);
    EXPECT_EQ(r.length, 7);
    r = CUStringMac("Gr\u00fc\u00dfe aus M\u00dcNCHEN").Find(S("m\u00fcnchen"), kCUStringCompareExact);
    EXPECT_EQ(r.location, kCUStringNotFound);
    EXPECT_EQ(r.length, 0);
    // A match found in folded text maps back to the original characters.
    r = CUStringMac("Ma\u00dfe test").Find(S("SSE"), kCUStringCompareCaseInsensitive);
    EXPECT_EQ(r.location, 2);
    EXPECT_EQ(r.length, 2);

    for (CUStringRange n : {CUStringMac::Null().Find(S("a"), kCUStringCompareExact),
                            CUStringMac("abc").Find(NullS(), kCUStringCompareExact),
                            CUStringMac("abc").Find(S("b"), static_cast<_CUStringComparison>(2)),
                            CUStringMac("abc").Find(S(""), kCUStringCompareExact)}) {
        EXPECT_EQ(n.location, kCUStringNotFound);
        EXPECT_EQ(n.length, 0);
    }
}

TEST(CUStringMac, FixedWidthAsciiDecoding) {
    const unsigned char field[] = {'A', 'B', 0, 'C', 'D'};
    EXPECT_EQ(CUStringMac(field, 5, kCUString_ASCII).Utf8(), "AB");
    EXPECT_EQ(CUStringMac(field, 1, kCUString_ASCII).Utf8(), "A");
    CUStringMac none(field, 0, kCUString_ASCII);
    EXPECT_FALSE(none.IsNull());
    EXPECT_EQ(none.Length(), 0);
    const unsigned char full[] = {'C', 'L', 'I', 'P'};
    EXPECT_EQ(CUStringMac(full, 4, kCUString_ASCII).Utf8(), "CLIP");
    // Bytes above 0x7F are not ASCII: the string is null.
    const unsigned char high[] = {'A', 0xC3, 0xA9};
    EXPECT_TRUE(CUStringMac(high, 3, kCUString_ASCII).IsNull());
    EXPECT_TRUE(CUStringMac(static_cast<const unsigned char*>(nullptr), 4, kCUString_ASCII).IsNull());
}

TEST(CUStringMac, Utf8Decoding) {
    EXPECT_EQ(CUStringMac("\xC3\xA9t\xC3\xA9").Length(), 3);
    // Byte-order mark dropped; unknown codes are UTF-8.
    EXPECT_EQ(CUStringMac("\xEF\xBB\xBFok").Utf8(), "ok");
    EXPECT_EQ(CUStringMac("\xC3\xA9", static_cast<_CUString_CharCode>(9)).Length(), 1);
    // Undecodable input: truncated sequence, stray continuation, overlong, surrogate.
    for (const char* bad : {"\xC3", "a\x80", "\xC0\xAF", "\xED\xA0\x80", "\xFF"})
        EXPECT_TRUE(CUStringMac(bad).IsNull()) << bad;
    const unsigned char bytes[] = {'a', 'b', 0, 'c'};
    EXPECT_EQ(CUStringMac(bytes, 4, kCUString_UTF8).Utf8(), "ab");
    EXPECT_EQ(CUStringMac(bytes, 2, kCUString_UTF8).Utf8(), "ab");
}

TEST(CUStringMac, Utf16DecodingHonoursByteOrderMark) {
    const unsigned char le[] = {0xFF, 0xFE, 'A', 0, 0xE9, 0, 0x42, 0x30};
    const unsigned char be[] = {0xFE, 0xFF, 0, 'A', 0, 0xE9, 0x30, 0x42};
    EXPECT_EQ(CUStringMac(le, sizeof le, kCUString_UTF16).Utf8(), "A\u00e9\u3042");
    EXPECT_EQ(CUStringMac(be, sizeof be, kCUString_UTF16).Utf8(), "A\u00e9\u3042");
    // Without a mark the units are in host byte order.
    const char16_t host[] = {u'x', u'y'};
    EXPECT_EQ(CUStringMac(reinterpret_cast<const unsigned char*>(host), 4, kCUString_UTF16).Utf8(), "xy");
    // Exactly maxBytes are decoded, NUL units included.
    const char16_t withNul[] = {u'a', 0, u'b'};
    EXPECT_EQ(CUStringMac(reinterpret_cast<const unsigned char*>(withNul), 6, kCUString_UTF16).Length(), 3);
    // An odd byte count or a lone surrogate cannot be decoded.
    EXPECT_TRUE(CUStringMac(le, 5, kCUString_UTF16).IsNull());
    const unsigned char lone[] = {0xFF, 0xFE, 0x00, 0xD8};
    EXPECT_TRUE(CUStringMac(lone, 4, kCUString_UTF16).IsNull());
    // The code-unit constructor takes half the byte count.
    const char16_t units[] = {u'Q', u'Z', u'!'};
    EXPECT_EQ(CUStringMac(units, 5).Utf8(), "QZ");
    EXPECT_TRUE(CUStringMac(static_cast<const char16_t*>(nullptr), 4).IsNull());
}

TEST(CUStringMac, GetStringSizesAndSmallBuffers) {
    const CUStringMac text("abc");
    unsigned int size = 0;
    EXPECT_EQ(text.GetString(nullptr, kCUString_UTF8, size), 0u);
    EXPECT_EQ(size, 12u);  // (3 + 1) * 3

    // Buffers no larger than one character get only the terminator and
    // nothing is written past them.
    for (unsigned int small : {1u, 2u, 3u}) {
        char buffer[8];
        std::memset(buffer, 'X', sizeof buffer);
        unsigned int n = small;
        EXPECT_EQ(text.GetString(buffer, kCUString_UTF8, n), 0u);
        for (unsigned int i = 0; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], i < small ? 0 : 'X') << small;
    }
    char buffer[16];
    unsigned int n = 0;
    EXPECT_EQ(text.GetString(buffer, kCUString_UTF8, n), kFail);
    n = 4;  // room for one byte plus a three-byte reserve
    EXPECT_EQ(text.GetString(buffer, kCUString_UTF8, n), 0u);
    EXPECT_STREQ(buffer, "a");
    // A multi-byte character is never split; ASCII drops what it cannot encode.
    n = 5;
    EXPECT_EQ(CUStringMac("\u00e9\u00e9").GetString(buffer, kCUString_UTF8, n), 0u);
    EXPECT_STREQ(buffer, "\u00e9");
    n = 16;
    EXPECT_EQ(CUStringMac("a\u00e9b").GetString(buffer, kCUString_ASCII, n), 0u);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(CUStringMac::Null().GetString(buffer, kCUString_UTF8, n), kFail);
}

TEST(CUStringMac, SubString) {
    const CUStringMac s("abcdef");
    EXPECT_EQ(s.SubString(1, 3)->Utf8(), "bcd");
    EXPECT_EQ(s.SubString(6)->Utf8(), "");
    EXPECT_TRUE(s.SubString(4, 3).IsNull());
    EXPECT_TRUE(s.SubString(-1, 1).IsNull());
    EXPECT_TRUE(s.SubString(1, INT64_MAX).IsNull());
    EXPECT_TRUE(CUStringMac::Null().SubString(0, 0).IsNull());
}

TEST(CUStringMac, CreateWithFormat) {
    EXPECT_EQ(CUStringMac::CreateWithFormat(S("%s%02d.MXF"), "C0001", 7)->Utf8(), "C000107.MXF");
    EXPECT_TRUE(CUStringMac::CreateWithFormat(NullS(), 1).IsNull());
    // Formatted bytes that are not UTF-8 give a null string.
    EXPECT_TRUE(CUStringMac::CreateWithFormat(S("%s"), "\xFF")->IsNull());
}

TEST(CUStringMac, UnicodeFileNameRecord) {
    HFSUniStr255 record;
    EXPECT_EQ(CUStringMac::GetUnicodeFileName(S("a:b\u00e9"), &record), 0u);
    EXPECT_EQ(record.length, 4);
    EXPECT_EQ(record.unicode[1], u'/');
    EXPECT_EQ(record.unicode[3], u'\u00e9');
    EXPECT_EQ(CUStringMac::GetUnicodeFileName(S("x"), nullptr), kFail);
    const std::string name256(256, 'n');
    EXPECT_EQ(CUStringMac::GetUnicodeFileName(S(name256.c_str()), &record), kFail);
}

}  // namespace

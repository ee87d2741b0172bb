// Ownership of the property-list values: create/copy counts, containers
// retaining what they hold, value equality, refused input, and counts kept
// exact under eight threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "CFArray.h"
#include "CFBoolean.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFHolder.h"
#include "CFNumber.h"
#include "CFString.h"
#include "CFURL.h"
#include "CFUUID.h"

using namespace ComVantoVantoQZ64RADPlug;

namespace {

CFHolder<CFStringRef> Str(const char* text) {
    return CFHolder<CFStringRef>::Adopt(CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8));
}

template <class T>
CFHolder<CFNumberRef> Number(CFNumberType type, T value) {
    return CFHolder<CFNumberRef>::Adopt(CFNumberCreate(nullptr, type, &value));
}

// Counts its own deletions, to see the last release delete exactly once.
class Probe final : public CFType {
public:
    static inline std::atomic<int> deleted{0};
    ~Probe() override { ++deleted; }
    CFTypeID TypeID() const override { return 1000; }
};

}  // namespace

TEST(CFTypeTest, ContainersRetainWhatTheyHoldAndReleaseItOnce) {
    auto key = Str("key");
    auto value = Number(kCFNumberSInt32Type, int32_t{7});
    EXPECT_EQ(CFGetRetainCount(value.Get()), 1);
    {
        auto dictionary = CFHolder<CFMutableDictionaryRef>::Adopt(CFDictionaryCreateMutable(
            nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
        CFDictionarySetValue(dictionary.Get(), key.Get(), value.Get());
        EXPECT_EQ(CFGetRetainCount(value.Get()), 2);
        auto copy = CFHolder<CFDictionaryRef>::Adopt(CFDictionaryCreateCopy(nullptr, dictionary.Get()));
        EXPECT_EQ(CFGetRetainCount(value.Get()), 3);
        EXPECT_EQ(CFDictionaryAsMutable(copy.Get()), nullptr);
        CFDictionarySetValue(dictionary.Get(), key.Get(), value.Get());  // the same value again
        EXPECT_EQ(CFGetRetainCount(value.Get()), 3);
        CFDictionaryRemoveValue(dictionary.Get(), key.Get());
        EXPECT_EQ(CFGetRetainCount(value.Get()), 2);
        CFTypeRef values[] = {value.Get(), value.Get()};
        auto array = CFHolder<CFArrayRef>::Adopt(CFArrayCreate(nullptr, values, 2, &kCFTypeArrayCallBacks));
        EXPECT_EQ(CFGetRetainCount(value.Get()), 4);
        EXPECT_EQ(CFArrayGetValueAtIndex(array.Get(), 2), nullptr);
    }
    EXPECT_EQ(CFGetRetainCount(value.Get()), 1);
    EXPECT_EQ(CFGetRetainCount(key.Get()), 1);
    // Constants are never counted or deleted.
    CFRelease(kCFBooleanTrue);
    EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
}

TEST(CFTypeTest, ValuesCompareByContent) {
    auto a = Str("Framenumber"), b = Str("Framenumber");
    auto i = Number(kCFNumberSInt32Type, int32_t{2});
    auto f = Number(kCFNumberFloat64Type, 2.0), g = Number(kCFNumberFloat64Type, 2.5);
    auto nMax = Number(kCFNumberSInt64Type, int64_t{INT64_MAX});
    auto fMax = Number(kCFNumberFloat64Type, 9223372036854775808.0);  // INT64_MAX as a double, one above it
    const uint8_t bytes[] = {1, 2, 3};
    auto d1 = CFHolder<CFDataRef>::Adopt(CFDataCreate(nullptr, bytes, 3));
    auto d2 = CFHolder<CFDataRef>::Adopt(CFDataCreate(nullptr, bytes, 2));
    const CFUUIDBytes id = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    auto u = CFHolder<CFUUIDRef>::Adopt(CFUUIDCreateFromUUIDBytes(nullptr, id));
    auto text = CFHolder<CFStringRef>::Adopt(CFUUIDCreateString(nullptr, u.Get()));
    struct Case {
        CFTypeRef x, y;
        bool equal;
    } cases[] = {
        {a.Get(), b.Get(), true},  {i.Get(), f.Get(), true},    {i.Get(), g.Get(), false},
        {a.Get(), i.Get(), false}, {d1.Get(), d2.Get(), false}, {kCFBooleanTrue, kCFBooleanFalse, false},
        {nullptr, nullptr, true},  {a.Get(), nullptr, false},   {nMax.Get(), fMax.Get(), false},
    };
    for (size_t n = 0; n < std::size(cases); ++n) {
        EXPECT_EQ(CFEqual(cases[n].x, cases[n].y), cases[n].equal) << "case " << n;
        if (cases[n].equal && cases[n].x) {
            EXPECT_EQ(CFHash(cases[n].x), CFHash(cases[n].y)) << "case " << n;
        }
    }
    EXPECT_EQ(CFStringGetStdString(text.Get()), "01020304-0506-0708-090A-0B0C0D0E0F10");
}

TEST(CFTypeTest, RefusedInputGivesNoObject) {
    const uint8_t badUTF8[][4] = {{0xC0, 0x80}, {0xED, 0xA0, 0x80}, {0xF4, 0x90, 0x80, 0x80}, {0xE2, 0x82}};
    const size_t lengths[] = {2, 3, 4, 2};
    for (size_t n = 0; n < std::size(lengths); ++n)
        EXPECT_EQ(
            CFStringCreateWithBytes(nullptr, badUTF8[n], CFIndex(lengths[n]), kCFStringEncodingUTF8, false),
            nullptr)
            << "case " << n;
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "caf\xC3\xA9", kCFStringEncodingASCII), nullptr);
    EXPECT_EQ(CFDataCreate(nullptr, nullptr, -1), nullptr);
    EXPECT_EQ(CFArrayCreate(nullptr, nullptr, 1, &kCFTypeArrayCallBacks), nullptr);
    EXPECT_EQ(CFURLCreateWithFileSystemPath(nullptr, nullptr, kCFURLPOSIXPathStyle, false), nullptr);

    auto s = Str("caf\xC3\xA9\xF0\x9F\x8E\xA5");  // 2 UTF-16 units for the last
    EXPECT_EQ(CFStringGetLength(s.Get()), 6);
    char small[9], fits[10];
    EXPECT_FALSE(CFStringGetCString(s.Get(), small, sizeof small, kCFStringEncodingUTF8));
    EXPECT_TRUE(CFStringGetCString(s.Get(), fits, sizeof fits, kCFStringEncodingUTF8));
    EXPECT_FALSE(CFStringGetCString(s.Get(), fits, sizeof fits, kCFStringEncodingASCII));

    // A number read as a narrower or integer type reports the loss.
    const int64_t big = int64_t(1) << 40;
    auto n64 = Number(kCFNumberSInt64Type, big);
    auto real = Number(kCFNumberDoubleType, 0.5);
    int32_t i32;
    int64_t i64;
    EXPECT_FALSE(CFNumberGetValue(n64.Get(), kCFNumberSInt32Type, &i32));
    EXPECT_TRUE(CFNumberGetValue(n64.Get(), kCFNumberSInt64Type, &i64));
    EXPECT_EQ(i64, big);
    EXPECT_FALSE(CFNumberGetValue(real.Get(), kCFNumberSInt64Type, &i64));
}

TEST(CFTypeTest, UrlsKeepTheirPath) {
    auto path = Str("/Volumes/CARD/CONTENTS/CLIPS001/AB0001/AB000101.MXF");
    auto url = CFHolder<CFURLRef>::Adopt(
        CFURLCreateWithFileSystemPath(nullptr, path.Get(), kCFURLPOSIXPathStyle, false));
    auto back = CFHolder<CFStringRef>::Adopt(CFURLCopyFileSystemPath(url.Get(), kCFURLPOSIXPathStyle));
    EXPECT_TRUE(CFEqual(path.Get(), back.Get()));
    EXPECT_FALSE(CFURLHasDirectoryPath(url.Get()));
}

// Eight threads retain, release and store shared objects; the counts end
// where they began and the last release deletes exactly once.
TEST(CFTypeTest, CountsStayExactUnderEightThreads) {
    auto shared = Str("shared");
    auto* probe = new Probe();
    Probe::deleted = 0;
    for (int t = 0; t < 8; ++t) CFRetain(probe);  // one count per thread
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&shared, probe] {
            for (int i = 0; i < 5000; ++i) {
                CFRetain(shared.Get());
                CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
                    nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
                CFDictionarySetValue(dictionary, shared.Get(), probe);
                CFRelease(dictionary);
                CFRelease(shared.Get());
            }
            CFRelease(probe);
        });
    }
    CFRelease(probe);  // the creator's count
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(Probe::deleted, 1);
    EXPECT_EQ(CFGetRetainCount(shared.Get()), 1);
}

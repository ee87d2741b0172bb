// Bundles as a host loads them: information dictionary, strings table,
// image resources and the module's entry point; every malformed part gives
// a reason or the documented default, never a crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CFArray.h"
#include "CFString.h"
#include "HostBundle.h"
#include "HostImage.h"
#include "MIORADPluginRegisterBundle.h"
#include "ScratchFolder.h"

using namespace ComVantoVantoQZ64RADPlug;

namespace {

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string Plist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

std::string InfoBody(const std::string& identifier, const std::string& executable = "test.so") {
    return "<dict>\n  <key>CFBundleIdentifier</key><string>" + identifier +
           "</string>\n  <key>CFBundleExecutable</key><string>" + executable +
           "</string>\n  <key>Count</key><integer>-42</integer>\n  "
           "<key>Flags</key><array><true/><real>2.5</real></array>\n</dict>";
}

// A bundle folder with the test module; parts can be replaced per case.
struct TestBundle {
    qztest::ScratchFolder folder{"bundle"};
    std::filesystem::path root = std::filesystem::path(folder.Path()) / "Test.bundle";
    explicit TestBundle(const std::string& info) {
        WriteFile(root / "Contents/Info.plist", info);
        std::filesystem::create_directories(root / "Contents/Linux");
        std::filesystem::copy_file(QZ_HOST_TEST_MODULE, root / "Contents/Linux/test.so");
    }
};

}  // namespace

TEST(HostBundleTest, LoadsInfoStringsImagesAndTheModulesFactory) {
    TestBundle bundle(Plist(InfoBody("org.qzcard.test.loads")));
    WriteFile(bundle.root / "Contents/Resources/en.lproj/Localizable.strings",
              Plist("<dict><key>HELLO</key><string>Hello &amp; welcome</string></dict>"));
    WriteFile(bundle.root / "Contents/Resources/Icon.ppm", "P3\n# icon\n2 1\n255\n255 0 0  0 0 255\n");
    setenv("LANGUAGE", "en", 1);

    CUFailure why;
    std::shared_ptr<HostBundle> loaded = HostBundle::BundleWithPath(bundle.root.string(), &why);
    ASSERT_TRUE(loaded) << why.Describe();
    EXPECT_EQ(loaded->bundleIdentifier(), "org.qzcard.test.loads");
    EXPECT_EQ(HostBundle::BundleWithIdentifier("org.qzcard.test.loads"), loaded);
    EXPECT_FALSE(HostBundle::BundleWithIdentifier("org.qzcard.test.none"));
    EXPECT_TRUE(CFCast<CFArray>(loaded->objectForInfoDictionaryKey("Flags")));
    EXPECT_EQ(loaded->localizedStringForKey("HELLO", ""), "Hello & welcome");
    EXPECT_EQ(loaded->localizedStringForKey("MISSING", "fallback"), "fallback");

    const std::optional<std::string> icon = loaded->pathForImageResource("Icon");
    ASSERT_TRUE(icon);
    std::shared_ptr<HostImage> image = HostImage::ImageWithContentsOfFile(*icon, &why);
    ASSERT_TRUE(image) << why.Describe();
    EXPECT_EQ(image->rgba(), (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 255, 255}));
    EXPECT_FALSE(loaded->pathForImageResource("../Contents/Info"));
    EXPECT_FALSE(loaded->pathForImageResource("None"));

    std::shared_ptr<MIORADPluginRegisterBundle> factory = loaded->createFactory(&why);
    ASSERT_TRUE(factory) << why.Describe();
    EXPECT_FALSE(factory->pluginForID("anything"));
}

TEST(HostBundleTest, BrokenBundlesGiveAReasonNamingTheFile) {
    const struct {
        const char* name;
        std::string info;      // empty: no Info.plist at all
        const char* expected;  // part of the reason
        bool loads;            // BundleWithPath succeeds, the factory fails
    } cases[] = {
        {"no information dictionary", "", "cannot be opened", false},
        {"not XML", "<plist><dict>", "not well-formed", false},
        {"document type", "<!DOCTYPE plist SYSTEM \"x.dtd\">" + Plist("<dict/>"), "not well-formed", false},
        {"root not plist", "<dict/>", "not <plist>", false},
        {"not a dictionary", Plist("<array/>"), "not a dictionary", false},
        {"key without value", Plist("<dict><key>a</key></dict>"), "without a value", false},
        {"bad integer", Plist("<dict><key>a</key><integer>12x</integer></dict>"), "not a 64-bit", false},
        {"unknown element", Plist("<dict><key>a</key><date>2026</date></dict>"), "unsupported", false},
        {"no executable key", Plist("<dict><key>CFBundleIdentifier</key><string>x</string></dict>"),
         "names no module", true},
        {"executable escapes", Plist(InfoBody("org.qzcard.test.escape", "../Info.plist")), "names no module",
         true},
        {"module missing", Plist(InfoBody("org.qzcard.test.missing", "other.so")), "module file is missing",
         true},
        {"module not a module", Plist(InfoBody("org.qzcard.test.junk", "junk.so")), "does not load", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestBundle bundle(c.info);
        if (c.info.empty()) std::filesystem::remove(bundle.root / "Contents/Info.plist");
        WriteFile(bundle.root / "Contents/Linux/junk.so", "not ELF");  // named by one case
        CUFailure why;
        std::shared_ptr<HostBundle> loaded = HostBundle::BundleWithPath(bundle.root.string(), &why);
        if (loaded) {
            EXPECT_TRUE(c.loads);
            EXPECT_FALSE(loaded->createFactory(&why));
        } else {
            EXPECT_FALSE(c.loads);
            EXPECT_NE(why.File().find("Info.plist"), std::string::npos) << why.Describe();
        }
        EXPECT_NE(why.What().find(c.expected), std::string::npos) << why.Describe();
    }
    CUFailure why;
    EXPECT_FALSE(HostBundle::BundleWithPath("/nonexistent/None.bundle", &why));
    EXPECT_FALSE(why.What().empty());
}

TEST(HostBundleTest, MissingOrMalformedStringsGiveTheDefaults) {
    for (const std::string& strings : {std::string(), std::string("<plist><dict><key>K</key>"),
                                       Plist("<array><string>K</string></array>")}) {
        SCOPED_TRACE(strings);
        TestBundle bundle(Plist(InfoBody("org.qzcard.test.strings")));
        if (!strings.empty())
            WriteFile(bundle.root / "Contents/Resources/en.lproj/Localizable.strings", strings);
        std::shared_ptr<HostBundle> loaded = HostBundle::BundleWithPath(bundle.root.string());
        ASSERT_TRUE(loaded);
        EXPECT_EQ(loaded->localizedStringForKey("K", "default"), "default");
    }
}

TEST(HostBundleTest, MainBundleCarriesTheHostVersion) {
    auto version = [] {
        const std::shared_ptr<HostBundle> main = HostBundle::MainBundle();
        const auto* text = CFCast<CFString>(main->objectForInfoDictionaryKey("CFBundleShortVersionString"));
        return text ? std::optional<std::string>(CFStringGetStdString(text)) : std::nullopt;
    };
    HostBundle::SetMainBundleShortVersionString("10.0.3");
    EXPECT_EQ(version(), "10.0.3");
    HostBundle::SetMainBundleShortVersionString(std::nullopt);
    EXPECT_EQ(version(), std::nullopt);
}

TEST(HostImageTest, MalformedImagesAreRefusedBeforeAllocating) {
    const struct {
        const char* name;
        std::string bytes;
        uint32_t width;  // 0: refused
    } cases[] = {
        {"binary", std::string("P6 1 2 255\n") + std::string("\x01\x02\x03\x04\x05\x06", 6), 1},
        {"text with small maxval", "P3 1 1 1 1 0 1", 1},
        {"binary truncated", "P6 2 2 255\nabc", 0},
        {"text truncated", "P3 2 2 255 1 2 3", 0},
        {"huge size, few bytes", "P6 16384 16384 255\nxyz", 0},
        {"over the side limit", "P3 16385 1 255 0 0 0", 0},
        {"zero width", "P3 0 1 255", 0},
        {"maxval 256", "P3 1 1 256 0 0 0", 0},
        {"number overflows", "P3 99999999999 1 255", 0},
        {"not a PPM", "GIF89a", 0},
        {"empty", "", 0},
    };
    qztest::ScratchFolder folder("image");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.Path() + "/image.ppm";
        WriteFile(path, c.bytes);
        CUFailure why;
        std::shared_ptr<HostImage> image = HostImage::ImageWithContentsOfFile(path, &why);
        EXPECT_EQ(image ? image->width() : 0u, c.width) << why.Describe();
        if (!image) {
            EXPECT_EQ(why.File(), path);
        }
    }
    std::shared_ptr<HostImage> blank = HostImage::Blank(17, 17);
    EXPECT_EQ(blank->rgba().size(), 17u * 17u * 4u);
    EXPECT_TRUE(blank->isBlank());
    // Pixels that do not fill the stated size make an empty image, never one
    // whose readers run past its pixels.
    for (size_t bytes : {size_t{0}, size_t{15}, size_t{17}}) {
        const HostImage image(2, 2, std::vector<uint8_t>(bytes, 255));
        EXPECT_EQ(image.width() + image.height() + image.rgba().size(), 0u) << bytes;
    }
}

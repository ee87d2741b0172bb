// The principal, the factory and the utility class: the host version's
// reading, the transcoding offer, the identifier check, and the nil or
// blank answers of a bundle whose parts are missing or malformed.
#include "CFNumber.h"
#include "FBCFormat.h"
#include "FBCFormatFactory.h"
#include "HostImage.h"
#include "PluginTestSupport.h"

#include <atomic>
#include <thread>

using namespace ComVantoVantoQZ64RADPlug;
using namespace plugin_test;

namespace {

constexpr const char* kPluginID = "6E1F3A52-8C4D-4B7A-9F21-3D5C7A90B4E8";

std::vector<int32_t> OfferedCodes(FBCFormat& plugin) {
    CFHolder<CFArrayRef> offer = plugin.targetFormats();
    EXPECT_EQ(CFArrayGetCount(offer.Get()), 1);
    const auto* entry = CFCast<CFDictionary>(CFArrayGetValueAtIndex(offer.Get(), 0));
    auto value = [&](const char* key) { return CFDictionaryGetValue(entry, String(key).Get()); };
    int32_t preferred = 0;
    CFNumberGetValue(CFCast<CFNumber>(value("preferredTargetFormatIndex")), kCFNumberSInt32Type, &preferred);
    EXPECT_EQ(preferred, 1);
    EXPECT_EQ(CFStringGetStdString(CFCast<CFString>(value("name"))), "Vanto QZ MPEG2");
    std::vector<int32_t> codes;
    const auto* list = CFCast<CFArray>(value("supportedTargetFormats"));
    for (CFIndex i = 0; list && i < CFArrayGetCount(list); ++i) {
        int32_t code = 0;
        CFNumberGetValue(CFCast<CFNumber>(CFArrayGetValueAtIndex(list, i)), kCFNumberSInt32Type, &code);
        codes.push_back(code);
    }
    return codes;
}

}  // namespace

TEST(FBCFormatTest, HostVersionDecidesThePackedVersionTheOfferAndThePrincipal) {
    ASSERT_TRUE(HostBundle::BundleWithPath(QZ_PLUGIN_BUNDLE));
    const int32_t apch = 0x61706368, apcn = 0x6170636E, apcs = 0x61706373, apco = 0x6170636F;
    const std::vector<int32_t> basic = {apch, apcn, -1}, full = {apch, apcn, apcs, apco, -1};
    const struct {
        std::optional<std::string> version;
        uint32_t packed;
        std::vector<int32_t> offer;
        bool served;
    } cases[] = {
        {std::nullopt, 0x60000, basic, false},
        {"6.0.1", 0x60001, basic, false},
        {"7", 0x70000, full, false},
        {"7.0.3", 0x70003, full, false},
        {"10.0.2", 0xA0002, full, false},
        {"10.0.3", 0xA0003, full, true},
        {"10.1", 0xA0100, full, true},
        {"11.0", 0xB0000, full, true},
        {"", 0, basic, false},
    };
    FBCFormatFactory factory;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version.value_or("(none)"));
        HostBundle::SetMainBundleShortVersionString(c.version);
        EXPECT_EQ(FBCFormatUtility::GetAppVersion(), c.packed);
        FBCFormat plugin;
        EXPECT_EQ(OfferedCodes(plugin), c.offer);
        EXPECT_EQ(bool(factory.pluginForID(std::string(kPluginID))), c.served);
        EXPECT_FALSE(factory.pluginForID(std::string("6E1F3A52")));
    }
}

// The host replaces its main bundle on another thread while the version is read.
TEST(FBCFormatTest, VersionReadWhileTheHostReplacesItsMainBundle) {
    std::atomic<bool> done{false};
    std::thread host([&] {
        for (int i = 0; i < 1000000; ++i)
            HostBundle::SetMainBundleShortVersionString(i % 2 ? "7.0.3" : "10.1.2");
        done = true;
    });
    for (bool expected = true; !done && expected;) {
        const uint32_t version = FBCFormatUtility::GetAppVersion();
        expected = version == 0x70003 || version == 0xA0102 || version == 0x60000;
        EXPECT_TRUE(expected) << std::hex << version;
    }
    host.join();
}

namespace {

struct BundleAnswers {
    AlertRecorder recorder;
    FBCFormatFactory factory;
    FBCFormat plugin;
    BundleAnswers() { HostBundle::SetMainBundleShortVersionString(std::string("11.0")); }
    void expectNoIdentity() {
        EXPECT_FALSE(plugin.version() || plugin.name() || plugin.uuid());
        EXPECT_FALSE(factory.pluginForID(std::string(kPluginID)));
    }
    void expectBlankIcon() {
        std::shared_ptr<HostImage> icon = plugin.iconForVolumeWithPath(std::string("/"));
        ASSERT_TRUE(icon);
        EXPECT_TRUE(icon->width() == 17 && icon->height() == 17 && icon->isBlank());
    }
};

}  // namespace

// The registry keeps a bundle for the life of the process, so this case only
// means something in a process where no test has registered one yet (CTest
// runs each test in its own process).
TEST(FBCFormatTest, WithoutARegisteredBundleEveryAnswerIsNilOrBlank) {
    if (HostBundle::BundleWithIdentifier(kFBCPluginBundleIdentifier))
        GTEST_SKIP() << "a bundle was registered earlier in this process";
    BundleAnswers answers;
    answers.expectNoIdentity();
    answers.expectBlankIcon();
    EXPECT_FALSE(FBCFormatUtility::messageForKey("IDS_FCP_CLIP_INVALID"));
    FBCFormatUtility::showMessage("IDS_FCP_CLIP_INVALID");
    // An information dictionary that cannot be read registers nothing.
    for (const char* info :
         {"", "<plist><dict><key>RADPlugins</key>", "<?xml version=\"1.0\"?><plist><array/></plist>"}) {
        BundleCopy copy;
        copy.Write("Contents/Info.plist", info);
        EXPECT_FALSE(copy.Register());
        answers.expectNoIdentity();
    }
    EXPECT_TRUE(answers.recorder.alerts.empty());
}

TEST(FBCFormatTest, MalformedBundlePartsGiveNilAnswersOrABlankIcon) {
    BundleAnswers answers;
    FBCFormat& plugin = answers.plugin;
    const std::string head = "<?xml version=\"1.0\"?><plist><dict><key>CFBundleIdentifier</key><string>" +
                             std::string(kFBCPluginBundleIdentifier) + "</string>";
    for (const char* plugins :
         {"", "<key>RADPlugins</key><array/>", "<key>RADPlugins</key><dict/>",
          "<key>RADPlugins</key><array><string>x</string></array>",
          "<key>RADPlugins</key><array><dict><key>PluginName</key><string>n</string></dict></array>"}) {
        SCOPED_TRACE(plugins);
        BundleCopy copy;
        copy.Write("Contents/Info.plist", head + plugins + "</dict></plist>");
        ASSERT_TRUE(copy.Register());
        EXPECT_FALSE(plugin.uuid() || plugin.version());
        EXPECT_FALSE(answers.factory.pluginForID(std::string(kPluginID)));
    }

    // A bundle without its icon, and one whose icon or strings are malformed.
    const std::string icon = "Contents/Resources/MediaIcon_Cam_n.ppm";
    const std::string strings = "Contents/Resources/en.lproj/Localizable.strings";
    const std::pair<const std::string*, std::optional<std::string>> broken[] = {
        {&icon, std::nullopt},
        {&icon, "P3\n17 17\n255\n1 2"},
        {&strings, std::nullopt},
        {&strings, "<plist><dict><key>IDS_FCP_CLIP_INVALID</key>"}};
    for (const auto& [file, text] : broken) {
        SCOPED_TRACE(*file + ": " + text.value_or("(missing)"));
        BundleCopy copy;
        if (text)
            copy.Write(*file, *text);
        else
            std::filesystem::remove(copy.root / *file);
        ASSERT_TRUE(copy.Register());
        EXPECT_EQ(plugin.uuid(), kPluginID);
        if (file == &icon) {
            answers.expectBlankIcon();
        } else {
            EXPECT_EQ(FBCFormatUtility::messageForKey("IDS_FCP_CLIP_INVALID"), "");
            FBCFormatUtility::showMessage("IDS_FCP_CLIP_INVALID");
        }
    }
    EXPECT_TRUE(answers.recorder.alerts.empty());
}

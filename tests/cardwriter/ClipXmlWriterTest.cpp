// The clip metadata document: well-formed for independent XML parsers, root
// "VideoClip" in our namespace, elements in schema order, text escaped so the
// parser gives back exactly what was described.
#include "ClipXmlWriter.h"

#include "CardTestSupport.h"
#include "XmlTextWriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace ComVantoVantoQZ64RADPlug::CardWriter;
using namespace cardwriter_test;

namespace {

ClipDescription FullMetadataClip() {
    ClipDescription clip;
    clip.xml.title = "Harbour & pier <north>";
    clip.xml.creator = "A. \"Quoted\" O'Brien";
    clip.xml.description = "Line one\nLine two\twith tab\r\nand CR > end ]]>";
    // Altitude, longitude, latitude, source and a place name in UTF-8.
    clip.xml.location =
        ClipLocation{"+123", "E139.69170", "N35.68950", "CAPTURED", "Quay 3 \xE2\x80\x94 \xC3\xA9tage"};
    return clip;
}

std::string Hex(const std::string& text) {
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : text) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

// Writes `document` to `path` and returns the independent parser's dump of
// it (see XmlDumpScript), line by line.
std::vector<std::string> ParsedLines(const std::string& path, const std::string& document) {
    std::ofstream(path, std::ios::binary) << document;
    const auto dump = RunPeer("python3 " + ShellQuote(XmlDumpScript()) + " " + ShellQuote(path));
    EXPECT_EQ(dump.exitCode, 0) << dump.output;
    std::vector<std::string> lines;
    std::istringstream in(dump.output);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(ClipXmlWriterTest, ParserSeesTheSchemaOrderAndExactlyTheDescribedTexts) {
    ScratchFolder folder;
    const ClipDescription clip = FullMetadataClip();
    const std::string document = BuildClipXml(clip);
    ASSERT_EQ(document.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
    const std::string path = folder.Path() + "/clip.xml";
    const std::vector<std::string> expected = {
        "ns=" + clip.xml.namespaceUri,
        "/VideoClip",
        "/VideoClip/Title=" + Hex(*clip.xml.title),
        "/VideoClip/Creator=" + Hex(*clip.xml.creator),
        "/VideoClip/Description=" + Hex(*clip.xml.description),  // CR survives as a reference
        "/VideoClip/Device",
        "/VideoClip/Device/Manufacturer=" + Hex("Vanto"),
        "/VideoClip/Device/SerialNo=" + Hex("QZ64-000417"),
        "/VideoClip/Device/ModelName=" + Hex("QZ64"),
        "/VideoClip/Device/FirmVersion=" + Hex("1.02.03"),
        "/VideoClip/Device/Lens=" + Hex("Vanto Zoom 4.3-86mm"),
        "/VideoClip/Location",
        "/VideoClip/Location/Altitude=" + Hex("+123"),
        "/VideoClip/Location/Longitude=" + Hex("E139.69170"),
        "/VideoClip/Location/Latitude=" + Hex("N35.68950"),
        "/VideoClip/Location/Source=" + Hex("CAPTURED"),
        "/VideoClip/Location/PlaceName=" + Hex(*clip.xml.location->placeName),
    };
    EXPECT_EQ(ParsedLines(path, document), expected);
    if (qztest::HasTool("xmllint")) {  // optional: the parse above is the check
        const auto lint = RunPeer("xmllint --noout " + ShellQuote(path));
        EXPECT_EQ(lint.exitCode, 0) << lint.output;
    }
}

TEST(ClipXmlWriterTest, AbsentElementsAreLeftOutAndOverridesWrittenAsGiven) {
    ScratchFolder folder;
    ClipDescription clip;
    clip.xml.writeDevice = false;
    clip.xml.title = "";
    EXPECT_EQ(ParsedLines(folder.Path() + "/clip.xml", BuildClipXml(clip)),
              (std::vector<std::string>{"ns=urn:vanto:qz:videoclip:1.0", "/VideoClip", "/VideoClip/Title="}));

    clip.xml.rootElement = "AudioClip";
    EXPECT_NE(BuildClipXml(clip).find("<AudioClip "), std::string::npos);
    clip.xml.rawDocument = "<VideoClip><Title>unclosed";
    EXPECT_EQ(BuildClipXml(clip), "<VideoClip><Title>unclosed");
}

TEST(ClipXmlWriterTest, EscapingAndTextsThatCannotBeWritten) {
    EXPECT_EQ(XmlTextWriter::Escape("a&b<c>d\"e", false), "a&amp;b&lt;c&gt;d\"e");
    EXPECT_EQ(XmlTextWriter::Escape("a\"b\nc\td\re", true), "a&quot;b&#10;c&#9;d&#13;e");
    EXPECT_THROW(XmlTextWriter::Escape(std::string("bell\x07"), false), std::invalid_argument);
    EXPECT_THROW(XmlTextWriter::Escape(std::string("nul\0x", 5), false), std::invalid_argument);
    ClipDescription clip;
    clip.xml.title = std::string("form feed \f");
    EXPECT_THROW(BuildClipXml(clip), std::invalid_argument);

    EXPECT_EQ(FirmwareVersionText({1, 2, 3}), "1.02.03");
    EXPECT_EQ(FirmwareVersionText({10, 0, 255, 7}), "10.00");
    EXPECT_EQ(FirmwareVersionText({255}), "");
}

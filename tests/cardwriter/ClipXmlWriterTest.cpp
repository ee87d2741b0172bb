// The clip metadata document: well-formed for an independent XML parser,
// root "VideoClip" in our namespace, elements in schema order, text escaped
// so the parser gives back exactly what was described.
#include "ClipXmlWriter.h"

#include "CardTestSupport.h"
#include "XmlTextWriter.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace ComVantoVantoQZ64RADPlug::CardWriter;
using namespace cardwriter_test;

namespace {

ClipDescription FullMetadataClip() {
    ClipDescription clip;
    clip.xml.title = "Harbour & pier <north>";
    clip.xml.creator = "A. \"Quoted\" O'Brien";
    clip.xml.description = "Line one\nLine two\twith tab\r\nand CR > end";
    ClipLocation location;
    location.altitude = "+123";
    location.longitude = "E139.69170";
    location.latitude = "N35.68950";
    location.source = "CAPTURED";
    location.placeName = "Quay 3 \xE2\x80\x94 \xC3\xA9tage";  // UTF-8 passes through
    clip.xml.location = location;
    return clip;
}

// Runs an XPath expression through xmllint on the document; skips the
// calling test when xmllint is missing.
std::string XPath(const ScratchFolder& folder, const std::string& document, const std::string& expression) {
    const std::string path = folder.Path() + "/clip.xml";
    std::ofstream(path, std::ios::binary) << document;
    const auto result = RunCommand("xmllint --xpath " + Quote(expression) + " " + Quote(path));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::string value = result.output;
    if (!value.empty() && value.back() == '\n') value.pop_back();  // xmllint ends its answer with a line feed
    return value;
}

std::string Local(const std::string& path) {
    // /VideoClip/Device/Lens -> /*[local-name()="VideoClip"]/*[local-name()="Device"]/...
    std::string out, part;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!part.empty()) out += "/*[local-name()=\"" + part + "\"]";
            part.clear();
        } else {
            part += path[i];
        }
    }
    return out;
}

}  // namespace

TEST(ClipXmlWriterTest, DocumentIsWellFormedWithRootVideoClipInOurNamespace) {
    if (!HasTool("xmllint")) GTEST_SKIP() << "xmllint not installed";
    ScratchFolder folder;
    const ClipDescription clip = FullMetadataClip();
    const std::string document = BuildClipXml(clip);
    ASSERT_EQ(document.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);

    const std::string path = folder.Path() + "/clip.xml";
    std::ofstream(path, std::ios::binary) << document;
    const auto lint = RunCommand("xmllint --noout " + Quote(path));
    EXPECT_EQ(lint.exitCode, 0) << lint.output;

    EXPECT_EQ(XPath(folder, document, "name(/*)"), "VideoClip");
    EXPECT_EQ(XPath(folder, document, "namespace-uri(/*)"), clip.xml.namespaceUri);
    // Children in schema order, then the device's and location's children.
    EXPECT_EQ(XPath(folder, document,
                    "concat(name(/*/*[1]),',',name(/*/*[2]),',',name(/*/*[3]),',',"
                    "name(/*/*[4]),',',name(/*/*[5]),',',count(/*/*))"),
              "Title,Creator,Description,Device,Location,5");
    EXPECT_EQ(XPath(folder, document,
                    "concat(name(/*/*[4]/*[1]),',',name(/*/*[4]/*[2]),',',"
                    "name(/*/*[4]/*[3]),',',name(/*/*[4]/*[4]),',',name(/*/*[4]/*[5]))"),
              "Manufacturer,SerialNo,ModelName,FirmVersion,Lens");
    EXPECT_EQ(XPath(folder, document,
                    "concat(name(/*/*[5]/*[1]),',',name(/*/*[5]/*[2]),',',"
                    "name(/*/*[5]/*[3]),',',name(/*/*[5]/*[4]),',',name(/*/*[5]/*[5]))"),
              "Altitude,Longitude,Latitude,Source,PlaceName");
}

TEST(ClipXmlWriterTest, ParserReadsBackExactlyTheDescribedTexts) {
    if (!HasTool("xmllint")) GTEST_SKIP() << "xmllint not installed";
    ScratchFolder folder;
    const ClipDescription clip = FullMetadataClip();
    const std::string document = BuildClipXml(clip);
    auto text = [&](const std::string& path) {
        return XPath(folder, document, "string(" + Local(path) + ")");
    };
    EXPECT_EQ(text("/VideoClip/Title"), *clip.xml.title);
    EXPECT_EQ(text("/VideoClip/Creator"), *clip.xml.creator);
    EXPECT_EQ(text("/VideoClip/Description"), *clip.xml.description);  // CR survives as a reference
    EXPECT_EQ(text("/VideoClip/Device/Manufacturer"), "Vanto");
    EXPECT_EQ(text("/VideoClip/Device/SerialNo"), "QZ64-000417");
    EXPECT_EQ(text("/VideoClip/Device/ModelName"), "QZ64");
    EXPECT_EQ(text("/VideoClip/Device/FirmVersion"), "1.02.03");
    EXPECT_EQ(text("/VideoClip/Device/Lens"), "Vanto Zoom 4.3-86mm");
    EXPECT_EQ(text("/VideoClip/Location/Altitude"), "+123");
    EXPECT_EQ(text("/VideoClip/Location/Longitude"), "E139.69170");
    EXPECT_EQ(text("/VideoClip/Location/PlaceName"), *clip.xml.location->placeName);
}

TEST(ClipXmlWriterTest, AbsentElementsAreLeftOutAndRawDocumentsWrittenAsGiven) {
    ClipDescription clip;
    clip.xml.writeDevice = false;
    std::string document = BuildClipXml(clip);
    EXPECT_EQ(document.find("<Title>"), std::string::npos);
    EXPECT_EQ(document.find("<Device>"), std::string::npos);
    EXPECT_EQ(document.find("<Location>"), std::string::npos);
    EXPECT_NE(document.find("<VideoClip xmlns=\"urn:vanto:qz:videoclip:1.0\">"), std::string::npos);

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

    EXPECT_EQ(FirmwareVersionText({1, 2, 3}), "1.02.03");
    EXPECT_EQ(FirmwareVersionText({10, 0, 255, 7}), "10.00");
    EXPECT_EQ(FirmwareVersionText({255}), "");
}

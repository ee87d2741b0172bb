// The clip metadata document: documents written by the card writer read
// back field by field, display texts, the limits of every value, broken
// documents, and documents written here loading back to the same values
// with unknown elements kept in place.
#include "CFBCAnalyzeClipMetaData.h"

#include "CUMemoryStream.h"
#include "CUNumber.h"
#include "CUStream.h"
#include "CUStringMac.h"
#include "CUXmlDomDocumentNode.h"
#include "CUXmlDomNode.h"

#include "CardWriter.h"
#include "ClipXmlWriter.h"

#include <gtest/gtest.h>
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;
namespace fs = std::filesystem;

namespace {

using Meta = CFBCAnalyzeClipMetaData;
constexpr uint32_t kOk = Meta::kResultSuccess;

CUSharedPtr<CUStringMac> S(const std::string& utf8) {
    return CUStringMac::Create(utf8.c_str());
}

CUSharedPtr<CUStream> MemoryStream(const std::string& bytes) {
    return CUSharedPtr<CUStream>(new CUMemoryStream(const_cast<char*>(bytes.data()), bytes.size(), false));
}

// A stream that collects what is written to it.
class CollectingStream : public CUStream {
public:
    bool CanWrite() const override { return true; }
    uint64_t Write(unsigned char* buffer, uint64_t size, int64_t, CUStream_Seek_Origin) override {
        bytes.append(reinterpret_cast<const char*>(buffer), size);
        return size;
    }
    std::string bytes;
};

CUSharedPtr<Meta> Read(const std::string& document, uint32_t expected = kOk) {
    CUSharedPtr<Meta> meta = Meta::Create();
    EXPECT_TRUE(meta);
    EXPECT_EQ(meta->ReadFromFile(MemoryStream(document)), expected) << document;
    return meta;
}

std::string Written(const CUSharedPtr<Meta>& meta) {
    CUSharedPtr<CollectingStream> out(new CollectingStream());
    EXPECT_EQ(meta->WriteToFile(CUSharedPtr<CUStream>(out)), kOk);
    return out->bytes;
}

// The text of a value (null pointer: "<null>").
std::string Text(const CUSharedPtr<CUObject>& object) {
    CUSharedPtr<CUStringMac> text = CUDynamicCast<CUStringMac>(object);
    return text ? text->Utf8() : std::string("<null>");
}

// What ParsePositionString gives; the fields start at 7 (seconds and value
// at -7) so that one it did not write shows.
struct Position {
    uint32_t status;
    unsigned type = 7, degrees = 7, minutes = 7;
    float seconds = -7;
    double value = -7;
};

Position Parse(const CUSharedPtr<CUStringMac>& text, bool longitude) {
    Position p;
    p.status = Meta::ParsePositionString(text, longitude, p.type, p.degrees, p.minutes, p.seconds, p.value);
    return p;
}

std::string Doc(const std::string& body, const std::string& root = "VideoClip") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + " xmlns=\"urn:vanto:qz:videoclip:1.0\">" +
           body + "</" + root + ">\n";
}

std::string Location(const std::string& body) {
    return Doc("<Location>" + body + "</Location>");
}

cw::ClipDescription FullMetadataClip() {
    cw::ClipDescription clip;
    clip.xml.title = "Harbour & pier <north>";
    clip.xml.creator = "A. \"Quoted\" O'Brien";
    clip.xml.description = "Line one\nLine two\twith tab\r\nand CR > end";
    clip.device.lens = "Vanto Zoom 4.3-86mm";
    cw::ClipLocation location;
    location.altitude = "+123";
    location.longitude = "E139.69170";
    location.latitude = "N35.68950";
    location.source = "CAPTURED";
    location.placeName = "Quay 3 \xE2\x80\x94 \xC3\xA9tage";
    clip.xml.location = location;
    return clip;
}

// Every stored key, for comparing two analysers value by value: the texts,
// then the location's numbers and display texts.
std::vector<CUSharedPtr<CUStringMac>> AllKeys() {
    return {key_TITLE,
            key_CREATOR,
            key_DESCRIPTION,
            key_MANUFACTURER,
            key_SERIAL_NO,
            key_MODELNAME,
            key_FIRM_VERSION,
            key_DEVICE_LENS,
            key_SOURCE,
            key_PLACENAME,
            key_ALTITUDE,
            key_LONGITUDE_TYPE,
            key_LONGITUDE_DEGREES,
            key_LONGITUDE_MINUTES,
            key_LONGITUDE_SECONDS,
            key_LONGITUDE_VALUE,
            key_LATITUDE_TYPE,
            key_LATITUDE_DEGREES,
            key_LATITUDE_MINUTES,
            key_LATITUDE_SECONDS,
            key_LATITUDE_VALUE,
            XML_TAG_LONGITUDE,
            XML_TAG_LATITUDE};
}

// Describes a value with its type so that 1 (int) and 1.0 (double) differ.
std::string Describe(const CUSharedPtr<CUObject>& object) {
    if (!object) return "<null>";
    if (auto text = CUDynamicCast<CUStringMac>(object)) return "text:" + text->Utf8();
    std::ostringstream out;
    out.precision(17);
    if (auto* n = dynamic_cast<CUNumberConcrete<int>*>(object.get())) out << "int:" << n->Value();
    if (auto* n = dynamic_cast<CUNumberConcrete<unsigned int>*>(object.get())) out << "uint:" << n->Value();
    if (auto* n = dynamic_cast<CUNumberConcrete<float>*>(object.get())) out << "float:" << n->Value();
    if (auto* n = dynamic_cast<CUNumberConcrete<double>*>(object.get())) out << "double:" << n->Value();
    return out.str().empty() ? "other" : out.str();
}

void ExpectSameValues(const CUSharedPtr<Meta>& a, const CUSharedPtr<Meta>& b) {
    for (const auto& key : AllKeys()) {
        EXPECT_EQ(Describe(a->ObjectForKey(key)), Describe(b->ObjectForKey(key))) << key->Utf8();
        EXPECT_EQ(Describe(a->ObjectForKeyDefault(key)), Describe(b->ObjectForKeyDefault(key)))
            << key->Utf8();
    }
}

// Names of the element children of a loaded document's root ("/" between
// levels: "Device/Manufacturer").
void ElementNames(const CUXmlDomNode& node, const std::string& prefix, std::vector<std::string>& out) {
    for (const auto& object : node.GetChildNodes()->GetInternalArray()) {
        auto* child = dynamic_cast<CUXmlDomNode*>(object.get());
        if (!child || child->GetNodeType() != kCUXmlDomNode_Element) continue;
        const std::string name = prefix + child->GetNodeName()->Utf8();
        out.push_back(name);
        ElementNames(*child, name + "/", out);
    }
}

std::vector<std::string> ElementNamesOf(const std::string& document) {
    auto doc = CUXmlDomDocumentNode::Create();
    EXPECT_EQ(doc->LoadXml(MemoryStream(document)), 0u) << document;
    std::vector<std::string> names;
    for (const auto& object : doc->GetChildNodes()->GetInternalArray()) {
        auto* root = dynamic_cast<CUXmlDomNode*>(object.get());
        if (root && root->GetNodeType() == kCUXmlDomNode_Element) ElementNames(*root, "", names);
    }
    return names;
}

}  // namespace

// ---------------------------------------------------------------- reading

TEST(CFBCAnalyzeClipMetaDataTest, ReadsEveryFieldOfAWrittenDocument) {
    const cw::ClipDescription clip = FullMetadataClip();
    auto meta = Read(cw::BuildClipXml(clip));

    EXPECT_EQ(Text(meta->ObjectForKey(key_TITLE)), *clip.xml.title);
    EXPECT_EQ(Text(meta->ObjectForKey(key_CREATOR)), *clip.xml.creator);
    EXPECT_EQ(Text(meta->ObjectForKey(key_DESCRIPTION)), *clip.xml.description);  // CR, LF and tab kept
    EXPECT_EQ(Text(meta->ObjectForKey(key_MANUFACTURER)), clip.device.manufacturer);
    EXPECT_EQ(Text(meta->ObjectForKey(key_SERIAL_NO)), clip.device.serialNumber);
    EXPECT_EQ(Text(meta->ObjectForKey(key_MODELNAME)), clip.device.modelName);
    EXPECT_EQ(Text(meta->ObjectForKey(key_FIRM_VERSION)), cw::FirmwareVersionText(clip.device.firmware));
    EXPECT_EQ(Text(meta->ObjectForKey(key_DEVICE_LENS)), clip.device.lens);
    EXPECT_EQ(Text(meta->ObjectForKey(key_SOURCE)), "CAPTURED");
    EXPECT_EQ(Text(meta->ObjectForKey(key_PLACENAME)), *clip.xml.location->placeName);

    // E139.69170: 5028901 tenths of arc-seconds = 139 deg 41 min 30.1 s;
    // N35.68950: 1284822 tenths = 35 deg 41 min 22.2 s.
    const std::pair<CUSharedPtr<CUStringMac>, const char*> numbers[] = {
        {key_ALTITUDE, "int:123"},
        {key_LONGITUDE_TYPE, "uint:2"},
        {key_LONGITUDE_DEGREES, "uint:139"},
        {key_LONGITUDE_MINUTES, "uint:41"},
        {key_LONGITUDE_SECONDS, "float:30.100000381469727"},
        {key_LONGITUDE_VALUE, "double:139.6917"},
        {key_LATITUDE_TYPE, "uint:1"},
        {key_LATITUDE_DEGREES, "uint:35"},
        {key_LATITUDE_MINUTES, "uint:41"},
        {key_LATITUDE_SECONDS, "float:22.200000762939453"},
        {key_LATITUDE_VALUE, "double:35.689500000000002"}};
    for (const auto& [key, text] : numbers) EXPECT_EQ(Describe(meta->ObjectForKey(key)), text) << key->Utf8();
    EXPECT_EQ(Text(meta->ObjectForKeyDefault(key_ALTITUDE)), "+123");
    EXPECT_EQ(Text(meta->ObjectForKeyDefault(XML_TAG_LONGITUDE)), "E139.69170");
    EXPECT_EQ(Text(meta->ObjectForKeyDefault(XML_TAG_LATITUDE)), "N35.68950");
    EXPECT_EQ(Text(meta->ObjectForKey(XML_TAG_LONGITUDE)), "E139.69170");
    // The stored value itself for any other key; nothing for absent or null keys.
    EXPECT_EQ(Text(meta->ObjectForKeyDefault(key_TITLE)), *clip.xml.title);
    EXPECT_FALSE(meta->ObjectForKey(S("Nothing")));
    EXPECT_FALSE(meta->ObjectForKey(nullptr));
    EXPECT_FALSE(meta->ObjectForKeyDefault(nullptr));
}

TEST(CFBCAnalyzeClipMetaDataTest, NamespaceIsNotCheckedAndMissingElementsGiveNoValue) {
    cw::ClipDescription clip;
    clip.xml.namespaceUri = "urn:example:somebody-else";
    clip.xml.title = "Only a title";
    clip.xml.writeDevice = false;
    auto meta = Read(cw::BuildClipXml(clip));
    EXPECT_EQ(Text(meta->ObjectForKey(key_TITLE)), "Only a title");
    for (const auto& key : AllKeys()) {
        if (key != key_TITLE) {
            EXPECT_FALSE(meta->ObjectForKeyDefault(key)) << key->Utf8();
        }
    }
}

// Small documents: the status of the read, and what one key then holds.
TEST(CFBCAnalyzeClipMetaDataTest, SmallDocumentsGiveTheirStatusAndValues) {
    cw::ClipDescription foreign = FullMetadataClip();
    foreign.xml.rootElement = "AudioClip";
    struct Case {
        std::string document;
        uint32_t status;
        CUSharedPtr<CUStringMac> key = nullptr;  // none: only the status
        const char* value = nullptr;             // Describe() of the key's value
        bool shown = false;                      // the display text of ObjectForKeyDefault instead
    };
    const Case cases[] = {
        {"", Meta::kResultFileEmpty},
        {Doc("<!-- a comment --><Title>t</Title>"), Meta::kResultNotXml},
        {Doc("<Title>t</Title"), Meta::kResultNotXml},  // not well-formed
        {"\xEF\xBB\xBF", Meta::kResultNotXml},          // a byte-order mark and nothing else
        // Bytes that are not UTF-8 in a document declared as UTF-8.
        {Doc("<Title>caf\xE9</Title>"), Meta::kResultNotXml},
        // Entities of a document type (and so external files) are never loaded.
        {"<?xml version=\"1.0\"?><!DOCTYPE VideoClip [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
         "<VideoClip><Title>&x;</Title></VideoClip>",
         Meta::kResultNotXml},
        // Documents beyond the size limit are not loaded.
        {Doc("<Title>t</Title>") + std::string(Meta::kMaxDocumentBytes, ' '), Meta::kResultNotXml},
        {Doc("<Title>t</Title>") + std::string(Meta::kMaxDocumentBytes / 2, ' '), kOk},
        {"<q:VideoClip xmlns:q=\"urn:vanto:qz:videoclip:1.0\"/>", Meta::kResultNotClipMetaData},
        {cw::BuildClipXml(foreign), Meta::kResultNotClipMetaData, key_TITLE, "<null>"},
        // No namespace at all, and an empty root.
        {"<VideoClip><Creator>Me</Creator></VideoClip>", kOk, key_CREATOR, "text:Me"},
        {"<VideoClip/>", kOk, key_TITLE, "<null>"},
        // Empty elements are empty texts.
        {Doc("<Title/><Device><Lens></Lens></Device>"), kOk, key_TITLE, "text:"},
        {Doc("<Title/><Device><Lens></Lens></Device>"), kOk, key_DEVICE_LENS, "text:"},
        // A known text element that holds elements is malformed.
        {Doc("<Title><b>x</b></Title><Creator>c</Creator>"), Meta::kResultInvalid, key_TITLE, "<null>"},
        {Doc("<Title><b>x</b></Title><Creator>c</Creator>"), Meta::kResultInvalid, key_CREATOR, "text:c"},
        // The altitude needs a sign and is shown with one from one; 8
        // characters are refused quietly.
        {Location("<Altitude>+123</Altitude>"), kOk, key_ALTITUDE, "text:+123", true},
        {Location("<Altitude>+0</Altitude>"), kOk, key_ALTITUDE, "text:0", true},
        {Location("<Altitude>-0</Altitude>"), kOk, key_ALTITUDE, "text:0", true},
        {Location("<Altitude>+1</Altitude>"), kOk, key_ALTITUDE, "text:+1", true},
        {Location("<Altitude>-45</Altitude>"), kOk, key_ALTITUDE, "text:-45", true},
        {Location("<Altitude>+999999</Altitude>"), kOk, key_ALTITUDE, "text:+999999", true},
        {Location("<Altitude>-999999</Altitude>"), kOk, key_ALTITUDE, "text:-999999", true},
        {Location("<Altitude>+0000001</Altitude>"), kOk, key_ALTITUDE, "<null>"},
        {Location("<Altitude>123</Altitude>"), Meta::kResultInvalid, key_ALTITUDE, "<null>"},
        {Location("<Altitude>+</Altitude>"), Meta::kResultInvalid, key_ALTITUDE, "<null>"},
        {Location("<Altitude>+-1</Altitude>"), Meta::kResultInvalid, key_ALTITUDE, "<null>"},
        {Location("<Altitude>+1.5</Altitude>"), Meta::kResultInvalid, key_ALTITUDE, "<null>"},
        {Location("<Altitude>+ 1</Altitude>"), Meta::kResultInvalid, key_ALTITUDE, "<null>"},
        {Location("<Altitude></Altitude>"), Meta::kResultInvalid, key_ALTITUDE, "<null>"},
        // W181 gives the malformed status and no value; a position text over
        // 10 characters is refused quietly.
        {Location("<Longitude>W181</Longitude><Latitude>N35.1234567</Latitude>"), Meta::kResultInvalid,
         key_LONGITUDE_TYPE, "<null>"},
        {Location("<Longitude>W181</Longitude><Latitude>N35.1234567</Latitude>"), Meta::kResultInvalid,
         key_LATITUDE_TYPE, "<null>"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i));
        auto meta = Read(c.document, c.status);
        if (c.key) {
            EXPECT_EQ(Describe(c.shown ? meta->ObjectForKeyDefault(c.key) : meta->ObjectForKey(c.key)),
                      c.value);
        }
    }
}

TEST(CFBCAnalyzeClipMetaDataTest, DeepNestingIsRefusedOrKeptButNeverOverflows) {
    std::string open, close;
    for (int i = 0; i < 100000; ++i) open += "<X>", close += "</X>";
    Read(Doc(open + close), Meta::kResultNotXml);

    // Nesting the model can carry is kept as an unknown element and written back.
    open.clear(), close.clear();
    for (int i = 0; i < 200; ++i) open += "<X>", close += "</X>";
    auto meta = Read(Doc("<Title>deep</Title>" + open + "core" + close));
    const std::string written = Written(meta);
    EXPECT_NE(written.find("core"), std::string::npos);
    auto again = Read(written);
    EXPECT_EQ(Text(again->ObjectForKey(key_TITLE)), "deep");
    EXPECT_EQ(Written(again), written);
}

TEST(CFBCAnalyzeClipMetaDataTest, AFailedReadLeavesNoValuesOfTheEarlierDocument) {
    auto meta = Read(cw::BuildClipXml(FullMetadataClip()));
    ASSERT_TRUE(meta->ObjectForKey(key_TITLE));
    EXPECT_EQ(meta->ReadFromFile(MemoryStream("")), Meta::kResultFileEmpty);
    for (const auto& key : AllKeys()) EXPECT_FALSE(meta->ObjectForKeyDefault(key)) << key->Utf8();

    meta = Read(cw::BuildClipXml(FullMetadataClip()));
    EXPECT_EQ(meta->ReadFromFile(MemoryStream("<AudioClip/>")), Meta::kResultNotClipMetaData);
    EXPECT_FALSE(meta->ObjectForKey(key_TITLE));
    // A document without unknown elements writes none back from an earlier one.
    meta = Read(Doc("<Extra>old</Extra>"));
    EXPECT_EQ(meta->ReadFromFile(MemoryStream(Doc("<Title>new</Title>"))), kOk);
    EXPECT_EQ(Written(meta).find("Extra"), std::string::npos);

    // Null arguments change nothing.
    EXPECT_EQ(meta->ReadFromFile(CUSharedPtr<CUStream>()), Meta::kResultInvalid);
    EXPECT_EQ(meta->ReadFromFile(CUSharedPtr<CUStringMac>()), Meta::kResultInvalid);
    EXPECT_EQ(Text(meta->ObjectForKey(key_TITLE)), "new");
    // A missing file has nothing to read.
    EXPECT_EQ(meta->ReadFromFile(S("/nonexistent/clip/QZ0001.XML")), Meta::kResultFileEmpty);
    EXPECT_FALSE(meta->ObjectForKey(key_TITLE));
}

TEST(CFBCAnalyzeClipMetaDataTest, AMalformedValueIsSkippedAndTheRestIsRead) {
    cw::ClipDescription clip = FullMetadataClip();
    clip.xml.location->longitude = "E139,69170";
    auto meta = Read(cw::BuildClipXml(clip), Meta::kResultInvalid);
    EXPECT_FALSE(meta->ObjectForKey(key_LONGITUDE_TYPE));
    EXPECT_FALSE(meta->ObjectForKey(key_LONGITUDE_VALUE));
    EXPECT_FALSE(meta->ObjectForKey(XML_TAG_LONGITUDE));
    EXPECT_EQ(Text(meta->ObjectForKeyDefault(XML_TAG_LATITUDE)), "N35.68950");
    EXPECT_EQ(Text(meta->ObjectForKey(key_SOURCE)), "CAPTURED");
    EXPECT_EQ(Text(meta->ObjectForKey(key_PLACENAME)), *clip.xml.location->placeName);
    EXPECT_EQ(Text(meta->ObjectForKey(key_TITLE)), *clip.xml.title);
}

TEST(CFBCAnalyzeClipMetaDataTest, ValuesBeyondTheirLimitsAreDroppedQuietly) {
    cw::ClipDescription clip = FullMetadataClip();
    clip.xml.creator = "First line\nSecond line";
    clip.xml.description = std::string(998, 'd') + "\n\n";  // 1000 units with line feeds
    clip.xml.location->source = "captured";
    clip.xml.lens = std::string(81, 'L');
    clip.xml.manufacturer = std::string(30, 'M');
    auto meta = Read(cw::BuildClipXml(clip));
    EXPECT_FALSE(meta->ObjectForKey(key_CREATOR));
    EXPECT_EQ(Text(meta->ObjectForKey(key_DESCRIPTION)), *clip.xml.description);
    EXPECT_FALSE(meta->ObjectForKey(key_SOURCE));
    EXPECT_FALSE(meta->ObjectForKey(key_DEVICE_LENS));
    EXPECT_EQ(Text(meta->ObjectForKey(key_MANUFACTURER)), *clip.xml.manufacturer);
    EXPECT_EQ(Text(meta->ObjectForKey(key_TITLE)), *clip.xml.title);
}

// ---------------------------------------------------------------- value rules

TEST(CFBCAnalyzeClipMetaDataTest, PositionTextsSplitIntoTenthsOfArcSeconds) {
    struct Case {
        const char* text;
        bool longitude;
        unsigned type, degrees, minutes;
        float seconds;
    };
    const Case good[] = {
        {"E139.5", true, 2, 139, 30, 0.0f},
        {"W0", true, 1, 0, 0, 0.0f},
        {"W180", true, 1, 180, 0, 0.0f},
        {"N35.123456", false, 1, 35, 7, 24.4f},  // .416 of a tenth: not rounded up
        {"S0.00001375", false, 2, 0, 0, 0.1f},   // .495 of a tenth: rounded up
        {"S0.0000125", false, 2, 0, 0, 0.0f},    // .45 of a tenth: not rounded up
        {"E179.9999", true, 2, 179, 59, 59.6f},
        {"E179.99999", true, 2, 180, 0, 0.0f},  // the last tenth carries into the degrees
        {"E+10", true, 2, 10, 0, 0.0f},
        {"E-0", true, 2, 0, 0, 0.0f},
    };
    for (const Case& c : good) {
        SCOPED_TRACE(c.text);
        const Position p = Parse(S(c.text), c.longitude);
        ASSERT_EQ(p.status, kOk);
        EXPECT_EQ(p.type, c.type);
        EXPECT_EQ(p.degrees, c.degrees);
        EXPECT_EQ(p.minutes, c.minutes);
        EXPECT_NEAR(p.seconds, c.seconds, 0.051f);
        EXPECT_EQ(std::round(p.seconds * 10) / 10, std::round(c.seconds * 10) / 10);
        EXPECT_FALSE(std::signbit(p.value));
    }
    const char* bad[] = {
        "W181", "E180.1", "E-1",  "E",    "E.5",  "E10.",
        "E1e2", "E0x10",  "Enan", "Einf", "E 10", "E10 ",
        "N10",  "e10",    "X10",  "",     "E1,5", "E\xEF\xBC\x91\xEF\xBC\x90"};  // full-width digits
    for (const char* text : bad) {
        const Position p = Parse(S(text), true);
        EXPECT_EQ(p.status, Meta::kResultInvalid) << text;
        EXPECT_EQ(p.type, 7u) << text;
    }
    EXPECT_EQ(Parse(S("N10"), false).status, kOk);
    EXPECT_EQ(Parse(S("E10"), false).status, Meta::kResultInvalid);
    EXPECT_EQ(Parse(nullptr, false).status, Meta::kResultInvalid);
}

TEST(CFBCAnalyzeClipMetaDataTest, JoinDegreesAndRoundValueRoundToTheGivenDecimals) {
    EXPECT_DOUBLE_EQ(Meta::JoinDegrees(139, 41, 30.1f), 139.69169);
    EXPECT_DOUBLE_EQ(Meta::JoinDegrees(35, 7, 24.4f), 35.12344);
    EXPECT_DOUBLE_EQ(Meta::JoinDegrees(0, 0, 0.0f), 0.0);
    EXPECT_DOUBLE_EQ(Meta::JoinDegrees(180, 0, 0.0f), 180.0);
    EXPECT_DOUBLE_EQ(Meta::JoinDegrees(10, 30, 15.5f), 10.50431);
    // The threshold moves down by epsilon x 10^decimals.
    EXPECT_DOUBLE_EQ(Meta::RoundValue(1.000004950, 5, 1e-7), 1.00001);
    EXPECT_DOUBLE_EQ(Meta::RoundValue(1.000004950, 5, 1e-10), 1.0);
    EXPECT_DOUBLE_EQ(Meta::RoundValue(2.5, 0, 0), 2.0);  // up only above the threshold
    EXPECT_DOUBLE_EQ(Meta::RoundValue(2.5, 0, 0.01), 3.0);
    EXPECT_DOUBLE_EQ(Meta::RoundValue(2.4, 0, 0), 2.0);
    EXPECT_TRUE(std::isnan(Meta::RoundValue(std::nan(""), 5, 0)));
    EXPECT_DOUBLE_EQ(Meta::RoundValue(1e300, 100, 0), 1e300);  // decimals capped, no overflow
}

TEST(CFBCAnalyzeClipMetaDataTest, CheckNodeValueAppliesEachKeysLimits) {
    using Value = CUSharedPtr<CUObject>;
    const auto T = [](const std::string& t) { return Value(S(t)); };
    const auto I = [](int v) { return Value(CUNumber::Create<int>(v)); };
    const auto U = [](unsigned int v) { return Value(CUNumber::Create<unsigned int>(v)); };
    const auto F = [](float v) { return Value(CUNumber::Create<float>(v)); };
    const auto D = [](double v) { return Value(CUNumber::Create<double>(v)); };
    // Length counts UTF-16 units: 50 characters outside the BMP are 100 units.
    std::string wide;
    for (int i = 0; i < 50; ++i) wide += "\xF0\x9F\x8E\xA5";
    struct Case {
        CUSharedPtr<CUStringMac> key;
        std::vector<Value> accepted, refused;
    };
    const Case cases[] = {
        // Refused too: characters a document cannot carry, a number, no value.
        {key_TITLE,
         {T(std::string(100, 'x')), T("tab\tand\nline"), T(wide)},
         {T(std::string(101, 'x')), T(wide + "x"), T(std::string("a\x01") + "b"),
          Value(new CUStringMac(std::u16string(u"a\xD800"))), I(1), nullptr}},
        {key_PLACENAME, {T(std::string(100, 'p'))}, {T(std::string(101, 'p'))}},
        {key_CREATOR, {}, {T("a\tb"), T("a\rb")}},
        {key_DESCRIPTION, {T(std::string(1000, '\n'))}, {T(std::string(1001, 'd'))}},
        {key_SERIAL_NO, {T(std::string(30, 's'))}, {}},
        {key_FIRM_VERSION, {}, {T(std::string(31, 's'))}},
        {key_DEVICE_LENS, {T(std::string(80, 'l'))}, {T(std::string(81, 'l'))}},
        // Compared unit by unit: an invisible character does not make a look-alike pass.
        {key_SOURCE,
         {T("CAPTURED"), T("CREATED"), T("DIVERSED")},
         {T("captured"), T("CAPTURED "), T("CAPTURED\xE2\x80\x8B"), T("CA\xC2\xADPTURED")}},
        {key_ALTITUDE, {T("+999999"), I(-999999)}, {T("+1000000"), I(1000000), D(1.5)}},
        {XML_TAG_LONGITUDE, {T("E139.69170")}, {T("E139.691700")}},
        {key_LONGITUDE_TYPE, {U(1), I(2)}, {U(0), U(3), T("1")}},
        {key_LATITUDE_TYPE, {U(1), I(2)}, {U(0), U(3)}},
        {key_LATITUDE_DEGREES, {U(180)}, {}},
        {key_LONGITUDE_DEGREES, {}, {U(181), I(-1)}},
        {key_LATITUDE_MINUTES, {U(60)}, {}},
        {key_LONGITUDE_MINUTES, {}, {U(61)}},
        {key_LONGITUDE_SECONDS, {F(60.0f)}, {F(60.1f), F(-0.1f)}},
        {key_LATITUDE_SECONDS, {F(0.0f)}, {F(std::numeric_limits<float>::quiet_NaN())}},
        {key_LATITUDE_VALUE, {}, {D(std::numeric_limits<double>::infinity())}},
        // No key, and keys the document does not hold.
        {nullptr, {}, {T("x")}},
        {S("Comment"), {}, {T("x")}},
        {XML_TAG_DEVICE, {}, {T("x")}},
    };
    auto meta = Meta::Create();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key ? c.key->Utf8() : "no key");
        for (size_t i = 0; i < c.accepted.size(); ++i)
            EXPECT_TRUE(meta->CheckNodeValue(c.accepted[i], c.key)) << "accepted value " << i;
        for (size_t i = 0; i < c.refused.size(); ++i)
            EXPECT_FALSE(meta->CheckNodeValue(c.refused[i], c.key)) << "refused value " << i;
    }

    EXPECT_TRUE(Meta::IsNormalizeString(S(""), 0));
    EXPECT_FALSE(Meta::IsNormalizeString(S("a"), 0));
    EXPECT_FALSE(Meta::IsNormalizeString(nullptr, 10));
    EXPECT_FALSE(Meta::IsNormalizeString(CUSharedPtr<CUStringMac>(new CUStringMac(CUStringMac::Null())), 10));
}

TEST(CFBCAnalyzeClipMetaDataTest, SetObjectForKeyStoresCheckedValuesInTheKeysType) {
    auto meta = Meta::Create();
    EXPECT_EQ(meta->SetObjectForKey(S("A title"), key_TITLE), kOk);
    EXPECT_EQ(meta->SetObjectForKey(S("bad\ncreator"), key_CREATOR), Meta::kResultInvalid);
    EXPECT_FALSE(meta->ObjectForKey(key_CREATOR));
    EXPECT_EQ(meta->SetObjectForKey(nullptr, key_TITLE), Meta::kResultInvalid);
    EXPECT_EQ(Text(meta->ObjectForKey(key_TITLE)), "A title");

    EXPECT_EQ(meta->SetObjectForKey(S("+0"), key_ALTITUDE), kOk);
    EXPECT_EQ(Describe(meta->ObjectForKey(key_ALTITUDE)), "int:0");
    EXPECT_EQ(Text(meta->ObjectForKeyDefault(key_ALTITUDE)), "0");
    EXPECT_EQ(meta->SetObjectForKey(S("12"), key_ALTITUDE), Meta::kResultInvalid);
    EXPECT_EQ(meta->SetObjectForKey(CUNumber::Create<int64_t>(-45), key_ALTITUDE), kOk);
    EXPECT_EQ(Describe(meta->ObjectForKey(key_ALTITUDE)), "int:-45");

    EXPECT_EQ(meta->SetObjectForKey(S("W0.5"), XML_TAG_LONGITUDE), kOk);
    EXPECT_EQ(Describe(meta->ObjectForKey(key_LONGITUDE_TYPE)), "uint:1");
    EXPECT_EQ(Describe(meta->ObjectForKey(key_LONGITUDE_MINUTES)), "uint:30");
    EXPECT_EQ(Text(meta->ObjectForKey(XML_TAG_LONGITUDE)), "W0.50000");
    EXPECT_EQ(meta->SetObjectForKey(S("W999"), XML_TAG_LONGITUDE), Meta::kResultInvalid);
    EXPECT_EQ(Text(meta->ObjectForKey(XML_TAG_LONGITUDE)), "W0.50000");

    // Parts: the decimal value no longer matches and is dropped; the display
    // text then comes from the parts.
    EXPECT_EQ(meta->SetObjectForKey(CUNumber::Create<int>(2), key_LATITUDE_TYPE), kOk);
    EXPECT_FALSE(meta->ObjectForKey(XML_TAG_LATITUDE));  // no degrees yet
    EXPECT_EQ(meta->SetObjectForKey(CUNumber::Create<unsigned int>(10), key_LATITUDE_DEGREES), kOk);
    EXPECT_EQ(meta->SetObjectForKey(CUNumber::Create<unsigned int>(30), key_LATITUDE_MINUTES), kOk);
    EXPECT_EQ(meta->SetObjectForKey(CUNumber::Create<double>(15.5), key_LATITUDE_SECONDS), kOk);
    EXPECT_EQ(Describe(meta->ObjectForKey(key_LATITUDE_TYPE)), "uint:2");
    EXPECT_EQ(Describe(meta->ObjectForKey(key_LATITUDE_SECONDS)), "float:15.5");
    EXPECT_EQ(Text(meta->ObjectForKeyDefault(XML_TAG_LATITUDE)), "S10.50431");
    EXPECT_EQ(meta->SetObjectForKey(CUNumber::Create<unsigned int>(9), key_LONGITUDE_DEGREES), kOk);
    EXPECT_FALSE(meta->ObjectForKey(key_LONGITUDE_VALUE));
    EXPECT_EQ(Text(meta->ObjectForKey(XML_TAG_LONGITUDE)), "W9.50000");

    // A decimal value is rounded to 5 decimals and gives the parts.
    EXPECT_EQ(meta->SetObjectForKey(CUNumber::Create<double>(1.0 / 3.0), key_LATITUDE_VALUE), kOk);
    EXPECT_EQ(Describe(meta->ObjectForKey(key_LATITUDE_VALUE)), "double:0.33333000000000002");
    EXPECT_EQ(Describe(meta->ObjectForKey(key_LATITUDE_MINUTES)), "uint:20");
    EXPECT_EQ(Text(meta->ObjectForKey(XML_TAG_LATITUDE)), "S0.33333");

    // Types other than 1 and 2 never show.
    EXPECT_EQ(meta->SetObjectForKey(CUNumber::Create<int>(3), key_LATITUDE_TYPE), Meta::kResultInvalid);
    EXPECT_EQ(meta->SetObjectForKey(S("captured"), key_SOURCE), Meta::kResultInvalid);
    EXPECT_EQ(meta->SetObjectForKey(S("x"), S("Unknown")), Meta::kResultInvalid);
}

// ---------------------------------------------------------------- writing

TEST(CFBCAnalyzeClipMetaDataTest, WrittenDocumentLoadsBackToTheSameValues) {
    auto original = Read(cw::BuildClipXml(FullMetadataClip()));
    const std::string written = Written(original);
    EXPECT_EQ(written.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << written;
    EXPECT_NE(written.find("<VideoClip xmlns=\"urn:vanto:qz:videoclip:1.0\">"), std::string::npos) << written;
    EXPECT_NE(written.find("<Longitude>E139.69170</Longitude>"), std::string::npos) << written;
    auto back = Read(written);
    ExpectSameValues(original, back);
    EXPECT_EQ(Written(back), written);

    EXPECT_EQ(ElementNamesOf(written),
              (std::vector<std::string>{"Title", "Creator", "Description", "Device", "Device/Manufacturer",
                                        "Device/SerialNo", "Device/ModelName", "Device/FirmVersion",
                                        "Device/Lens", "Location", "Location/Altitude", "Location/Longitude",
                                        "Location/Latitude", "Location/Source", "Location/PlaceName"}));

    // Values set here, the zero altitude and positions with more than five
    // decimals included.
    auto edited = Meta::Create();
    ASSERT_EQ(edited->SetObjectForKey(S("+0"), key_ALTITUDE), kOk);
    ASSERT_EQ(edited->SetObjectForKey(S("E1.1234567"), XML_TAG_LONGITUDE), kOk);
    ASSERT_EQ(edited->SetObjectForKey(CUNumber::Create<int>(2), key_LATITUDE_TYPE), kOk);
    ASSERT_EQ(edited->SetObjectForKey(CUNumber::Create<int>(10), key_LATITUDE_DEGREES), kOk);
    ASSERT_EQ(edited->SetObjectForKey(CUNumber::Create<int>(30), key_LATITUDE_MINUTES), kOk);
    ASSERT_EQ(edited->SetObjectForKey(CUNumber::Create<float>(15.5f), key_LATITUDE_SECONDS), kOk);
    ASSERT_EQ(edited->SetObjectForKey(S("Tab\there & <there>\r\n"), key_DESCRIPTION), kOk);
    const std::string editedText = Written(edited);
    EXPECT_NE(editedText.find("<Altitude>+0</Altitude>"), std::string::npos) << editedText;
    auto reread = Read(editedText);
    EXPECT_EQ(Describe(reread->ObjectForKey(key_ALTITUDE)), "int:0");
    EXPECT_EQ(Describe(reread->ObjectForKey(key_LONGITUDE_VALUE)), "double:1.1234567");
    // The latitude was set by its parts, so only the document read back holds its decimal value.
    for (const auto& key :
         {key_ALTITUDE, key_LONGITUDE_TYPE, key_LONGITUDE_DEGREES, key_LONGITUDE_MINUTES,
          key_LONGITUDE_SECONDS, key_LONGITUDE_VALUE, key_LATITUDE_TYPE, key_LATITUDE_DEGREES,
          key_LATITUDE_MINUTES, key_LATITUDE_SECONDS, key_DESCRIPTION, XML_TAG_LONGITUDE, XML_TAG_LATITUDE})
        EXPECT_EQ(Describe(reread->ObjectForKeyDefault(key)), Describe(edited->ObjectForKeyDefault(key)))
            << key->Utf8();

    // An empty analyser writes an empty root.
    EXPECT_EQ(ElementNamesOf(Written(Meta::Create())), std::vector<std::string>{});
}

TEST(CFBCAnalyzeClipMetaDataTest, UnknownElementsAreKeptAfterTheKnownOnesOfTheirParent) {
    const std::string document =
        "<VideoClip xmlns=\"urn:example:old\" xmlns:x=\"urn:example:ext\">"
        "<First a=\"1\">one</First>"
        "<Location><x:Tag>t</x:Tag><PlaceName>P</PlaceName><Altitude>+5</Altitude></Location>"
        "<Device><Extra><Inner>i</Inner></Extra><Lens>L</Lens></Device>"
        "<Title>T</Title>"
        "<Second/>"
        "</VideoClip>";
    auto meta = Read(document);
    const std::string written = Written(meta);
    EXPECT_EQ(ElementNamesOf(written),
              (std::vector<std::string>{"Title", "Device", "Device/Lens", "Device/Extra",
                                        "Device/Extra/Inner", "Location", "Location/Altitude",
                                        "Location/PlaceName", "Location/x:Tag", "First", "Second"}));
    EXPECT_NE(written.find("<First a=\"1\">one</First>"), std::string::npos) << written;
    EXPECT_NE(written.find("xmlns:x=\"urn:example:ext\""), std::string::npos) << written;
    EXPECT_NE(written.find("xmlns=\"urn:vanto:qz:videoclip:1.0\""), std::string::npos) << written;
    EXPECT_EQ(written.find("urn:example:old"), std::string::npos) << written;
    auto back = Read(written);
    ExpectSameValues(meta, back);
    EXPECT_EQ(Written(back), written);

    // Unknown elements alone still make their parent.
    auto onlyUnknown = Read(Doc("<Device><Battery>80</Battery></Device>"));
    EXPECT_EQ(ElementNamesOf(Written(onlyUnknown)), (std::vector<std::string>{"Device", "Device/Battery"}));
}

TEST(CFBCAnalyzeClipMetaDataTest, CopyHoldsTheSameValuesIndependently) {
    auto meta = Read(cw::BuildClipXml(FullMetadataClip()));
    auto copy = meta->Copy();
    ASSERT_TRUE(copy);
    ExpectSameValues(meta, copy);
    EXPECT_EQ(Written(copy), Written(meta));
    ASSERT_EQ(copy->SetObjectForKey(S("Changed"), key_TITLE), kOk);
    EXPECT_EQ(Text(meta->ObjectForKey(key_TITLE)), *FullMetadataClip().xml.title);
}

TEST(CFBCAnalyzeClipMetaDataTest, WriteToFileReplacesOnlyWhenAskedAndNeverHalfway) {
    qztest::ScratchFolder scratch("clipmeta");
    const fs::path folder = scratch.Path();
    const fs::path path = folder / "QZ0001.XML";
    auto meta = Read(cw::BuildClipXml(FullMetadataClip()));

    EXPECT_EQ(meta->WriteToFile(S(path.string()), false), kOk);
    const std::string before = qztest::ReadText(path);
    const auto timeBefore = fs::last_write_time(path);
    auto back = Meta::Create();
    EXPECT_EQ(back->ReadFromFile(S(path.string())), kOk);
    ExpectSameValues(meta, back);
    // Reading leaves the file as it was.
    EXPECT_EQ(qztest::ReadText(path), before);
    EXPECT_EQ(fs::last_write_time(path), timeBefore);

    ASSERT_EQ(meta->SetObjectForKey(S("Second take"), key_TITLE), kOk);
    EXPECT_EQ(meta->WriteToFile(S(path.string()), false), Meta::kResultFileNotReplaced);
    EXPECT_EQ(qztest::ReadText(path), before);
    EXPECT_EQ(meta->WriteToFile(S(path.string()), true), kOk);
    EXPECT_NE(qztest::ReadText(path).find("Second take"), std::string::npos);

    // A position past 180 degrees cannot be written: the file stays as it was.
    const std::string current = qztest::ReadText(path);
    ASSERT_EQ(meta->SetObjectForKey(CUNumber::Create<int>(180), key_LONGITUDE_DEGREES), kOk);
    ASSERT_EQ(meta->SetObjectForKey(CUNumber::Create<int>(30), key_LONGITUDE_MINUTES), kOk);
    EXPECT_EQ(meta->WriteToFile(S(path.string()), true), Meta::kResultInvalid);
    EXPECT_EQ(qztest::ReadText(path), current);

    // No folder to write into, a folder in the way, no path.
    ASSERT_EQ(meta->SetObjectForKey(CUNumber::Create<int>(0), key_LONGITUDE_MINUTES), kOk);
    ASSERT_EQ(meta->SetObjectForKey(CUNumber::Create<float>(0), key_LONGITUDE_SECONDS), kOk);
    EXPECT_EQ(meta->WriteToFile(S((folder / "missing" / "x.XML").string()), true),
              Meta::kResultFileNotReplaced);
    fs::create_directory(folder / "dir.XML");
    EXPECT_EQ(meta->WriteToFile(S((folder / "dir.XML").string()), true), Meta::kResultFileNotReplaced);
    EXPECT_EQ(meta->WriteToFile(CUSharedPtr<CUStringMac>(), true), Meta::kResultInvalid);
    EXPECT_EQ(meta->WriteToFile(CUSharedPtr<CUStream>()), Meta::kResultInvalid);

    // Nothing but the document and the folder is left behind.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"QZ0001.XML", "dir.XML"}));
}

TEST(CFBCAnalyzeClipMetaDataTest, CheckDicRefusesANullDocument) {
    auto meta = Meta::Create();
    EXPECT_EQ(meta->CheckDic(nullptr), Meta::kResultInvalid);
    auto document = CUXmlDomDocumentNode::Create();
    EXPECT_EQ(meta->CheckDic(document), kOk);
    EXPECT_EQ(document->GetChildNodes()->Count(), 2u);  // declaration and root
}

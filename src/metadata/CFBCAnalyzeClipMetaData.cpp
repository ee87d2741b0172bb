#include "CFBCAnalyzeClipMetaData.h"

#include "CUFailure.h"
#include "CUFile.h"
#include "CUFileStream.h"
#include "CUIdentifierGenerator.h"
#include "CUNumber.h"
#include "CUStream.h"
#include "CUXmlDomDocumentNode.h"
#include "CUXmlDomElementNode.h"
#include "CUXmlDomNode.h"
#include "CUXmlDomProcessingInstructionNode.h"
#include "CUXmlDomTextNode.h"

#include <charconv>
#include <cmath>
#include <new>
#include <string>
#include <system_error>

namespace ComVantoVantoQZ64RADPlug {

const CUSharedPtr<CUStringMac> XML_TAG_XML = CUStringMac::Create("xml");
const CUSharedPtr<CUStringMac> XML_VALUE_XML = CUStringMac::Create("version=\"1.0\" encoding=\"UTF-8\"");
const CUSharedPtr<CUStringMac> XML_TAG_VIDEOCLIP = CUStringMac::Create("VideoClip");
const CUSharedPtr<CUStringMac> XML_VIDEO_ATTRIBUTE_NAME = CUStringMac::Create("xmlns");
const CUSharedPtr<CUStringMac> XML_VIDEO_ATTRIBUTE_VALUE = CUStringMac::Create("urn:vanto:qz:videoclip:1.0");
const CUSharedPtr<CUStringMac> XML_TAG_DEVICE = CUStringMac::Create("Device");
const CUSharedPtr<CUStringMac> XML_TAG_LOCATION = CUStringMac::Create("Location");
const CUSharedPtr<CUStringMac> XML_TAG_LONGITUDE = CUStringMac::Create("Longitude");
const CUSharedPtr<CUStringMac> XML_TAG_LATITUDE = CUStringMac::Create("Latitude");
const CUSharedPtr<CUStringMac> XML_SRC_VALUE_CAPTURED = CUStringMac::Create("CAPTURED");
const CUSharedPtr<CUStringMac> XML_SRC_VALUE_CREATED = CUStringMac::Create("CREATED");
const CUSharedPtr<CUStringMac> XML_SRC_VALUE_DIVERSED = CUStringMac::Create("DIVERSED");

const CUSharedPtr<CUStringMac> key_TITLE = CUStringMac::Create("Title");
const CUSharedPtr<CUStringMac> key_CREATOR = CUStringMac::Create("Creator");
const CUSharedPtr<CUStringMac> key_DESCRIPTION = CUStringMac::Create("Description");
const CUSharedPtr<CUStringMac> key_MANUFACTURER = CUStringMac::Create("Manufacturer");
const CUSharedPtr<CUStringMac> key_SERIAL_NO = CUStringMac::Create("SerialNo");
const CUSharedPtr<CUStringMac> key_MODELNAME = CUStringMac::Create("ModelName");
const CUSharedPtr<CUStringMac> key_FIRM_VERSION = CUStringMac::Create("FirmVersion");
const CUSharedPtr<CUStringMac> key_DEVICE_LENS = CUStringMac::Create("Lens");
const CUSharedPtr<CUStringMac> key_SOURCE = CUStringMac::Create("Source");
const CUSharedPtr<CUStringMac> key_PLACENAME = CUStringMac::Create("PlaceName");
const CUSharedPtr<CUStringMac> key_ALTITUDE = CUStringMac::Create("Altitude");
const CUSharedPtr<CUStringMac> key_LONGITUDE_TYPE = CUStringMac::Create("Longitude_Type");
const CUSharedPtr<CUStringMac> key_LONGITUDE_DEGREES = CUStringMac::Create("Longitude_Degrees");
const CUSharedPtr<CUStringMac> key_LONGITUDE_MINUTES = CUStringMac::Create("Longitude_Minutes");
const CUSharedPtr<CUStringMac> key_LONGITUDE_SECONDS = CUStringMac::Create("Longitude_Seconds");
const CUSharedPtr<CUStringMac> key_LONGITUDE_VALUE = CUStringMac::Create("Longitude_Value");
const CUSharedPtr<CUStringMac> key_LATITUDE_TYPE = CUStringMac::Create("Latitude_Type");
const CUSharedPtr<CUStringMac> key_LATITUDE_DEGREES = CUStringMac::Create("Latitude_Degrees");
const CUSharedPtr<CUStringMac> key_LATITUDE_MINUTES = CUStringMac::Create("Latitude_Minutes");
const CUSharedPtr<CUStringMac> key_LATITUDE_SECONDS = CUStringMac::Create("Latitude_Seconds");
const CUSharedPtr<CUStringMac> key_LATITUDE_VALUE = CUStringMac::Create("Latitude_Value");

namespace {

// Keys are compared by their UTF-16 units: the collation behind
// CUStringMac::Equals would let look-alike texts pass as a key or a source.
bool Is(const CUSharedPtr<CUStringMac>& text, const CUSharedPtr<CUStringMac>& constant) {
    return text && !text->IsNull() && text->Text() == constant->Text();
}

// The keys of one axis of the position.
struct Axis {
    bool longitude;
    const CUSharedPtr<CUStringMac>& text;
    const CUSharedPtr<CUStringMac>& type;
    const CUSharedPtr<CUStringMac>& degrees;
    const CUSharedPtr<CUStringMac>& minutes;
    const CUSharedPtr<CUStringMac>& seconds;
    const CUSharedPtr<CUStringMac>& value;
    char16_t letter1;  // type 1
    char16_t letter2;  // type 2
};

const Axis& LongitudeAxis() {
    static const Axis axis{true,
                           XML_TAG_LONGITUDE,
                           key_LONGITUDE_TYPE,
                           key_LONGITUDE_DEGREES,
                           key_LONGITUDE_MINUTES,
                           key_LONGITUDE_SECONDS,
                           key_LONGITUDE_VALUE,
                           u'W',
                           u'E'};
    return axis;
}

const Axis& LatitudeAxis() {
    static const Axis axis{false,
                           XML_TAG_LATITUDE,
                           key_LATITUDE_TYPE,
                           key_LATITUDE_DEGREES,
                           key_LATITUDE_MINUTES,
                           key_LATITUDE_SECONDS,
                           key_LATITUDE_VALUE,
                           u'N',
                           u'S'};
    return axis;
}

CUSharedPtr<CUStringMac> AsString(const CUSharedPtr<CUObject>& object) {
    CUSharedPtr<CUStringMac> text = CUDynamicCast<CUStringMac>(object);
    return text && !text->IsNull() ? text : nullptr;
}

CUSharedPtr<CUNumber> AsNumber(const CUSharedPtr<CUObject>& object) {
    return CUDynamicCast<CUNumber>(object);
}

// A whole number within [low, high]; floating-point values must be whole.
bool IsWholeInRange(const CUSharedPtr<CUNumber>& number, double low, double high) {
    if (!number) return false;
    const double d = number->doubleValue();
    return std::isfinite(d) && d == std::floor(d) && d >= low && d <= high;
}

bool IsFiniteInRange(const CUSharedPtr<CUNumber>& number, double low, double high) {
    if (!number) return false;
    const double d = number->doubleValue();
    return std::isfinite(d) && d >= low && d <= high;
}

// Characters an XML 1.0 document can carry (written values must load back).
bool IsXmlText(const std::u16string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
            continue;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
        if (unit < 0x20 && unit != 0x9 && unit != 0xA && unit != 0xD) return false;
        if (unit == 0xFFFE || unit == 0xFFFF) return false;
    }
    return true;
}

bool IsTextUpTo(const CUSharedPtr<CUObject>& value, int64_t maxLength) {
    CUSharedPtr<CUStringMac> text = AsString(value);
    return text && text->Length() <= maxLength && IsXmlText(text->Text());
}

bool IsNormalTextUpTo(const CUSharedPtr<CUObject>& value, unsigned int maxLength) {
    CUSharedPtr<CUStringMac> text = AsString(value);
    return text && CFBCAnalyzeClipMetaData::IsNormalizeString(text, maxLength) && IsXmlText(text->Text());
}

// Strict decimal: optional sign, digits, optionally "." and digits. ASCII only.
bool ParseDecimal(const std::u16string& text, size_t start, double& out) {
    std::string ascii;
    for (size_t i = start; i < text.size(); ++i) {
        if (text[i] > 0x7F) return false;
        ascii.push_back(static_cast<char>(text[i]));
    }
    size_t i = 0;
    bool negative = false;
    if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-')) negative = ascii[i++] == '-';
    const size_t numberStart = i;
    size_t digits = 0;
    while (i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9') ++i, ++digits;
    if (digits == 0) return false;
    if (i < ascii.size() && ascii[i] == '.') {
        ++i;
        size_t fraction = 0;
        while (i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9') ++i, ++fraction;
        if (fraction == 0) return false;
    }
    if (i != ascii.size()) return false;
    double magnitude = 0;
    const char* first = ascii.data() + numberStart;
    const char* last = ascii.data() + ascii.size();
    const auto result = std::from_chars(first, last, magnitude, std::chars_format::fixed);
    if (result.ec != std::errc() || result.ptr != last) return false;
    out = negative ? -magnitude : magnitude;
    return true;
}

// Tenths of arc-seconds of a position in [0, 180] degrees.
void SplitDegrees(double value, unsigned int& degrees, unsigned int& minutes, float& seconds) {
    const double tenths = value * 36000.0;
    const double whole = std::floor(tenths);
    const uint32_t t = static_cast<uint32_t>(whole) + (tenths - whole > 0.49 ? 1u : 0u);
    degrees = t / 36000;
    minutes = (t % 36000) / 600;
    seconds = static_cast<float>(t % 600) / 10.0f;
}

std::string FixedText(double value, int precision) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string();
}

double ParseFixed(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return value;
}

// The degrees as the document writes them: five decimals when those give
// the value back exactly, else the shortest text that does (the text read
// from a document was at most nine characters, so it fits).
std::string DegreesText(double value) {
    const std::string five = FixedText(value, 5);
    if (ParseFixed(five) == value) return five;
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc() || result.ptr - buffer > 9) return five;
    return std::string(buffer, result.ptr);
}

CUSharedPtr<CUStringMac> Utf16(const std::u16string& text) {
    return CUSharedPtr<CUStringMac>(new CUStringMac(text));
}

CUSharedPtr<CUStringMac> FromUtf8(const std::string& text) {
    return CUStringMac::Create(text.c_str());
}

// The text of an element that holds text only: its merged text node, or ""
// when empty; null when it holds elements.
CUSharedPtr<CUStringMac> ElementText(const CUXmlDomNode& element) {
    CUSharedPtr<CUMutableArray> children = element.GetChildNodes();
    std::u16string text;
    if (children) {
        for (const CUSharedPtr<CUObject>& object : children->GetInternalArray()) {
            const auto* child = dynamic_cast<const CUXmlDomNode*>(object.get());
            if (!child) continue;
            if (child->GetNodeType() == kCUXmlDomNode_Element) return nullptr;
            if (child->GetNodeType() == kCUXmlDomNode_Text) {
                CUSharedPtr<CUStringMac> value = child->GetNodeValue();
                if (value) text += value->Text();
            }
        }
    }
    return Utf16(text);
}

void AppendTextElement(const CUSharedPtr<CUXmlDomElementNode>& parent, const CUSharedPtr<CUStringMac>& name,
                       const CUSharedPtr<CUStringMac>& text) {
    if (!text) return;
    CUSharedPtr<CUXmlDomElementNode> element = CUXmlDomElementNode::Create(name);
    if (text->Length() > 0) element->GetChildNodes()->AddObject(CUXmlDomTextNode::Create(text));
    parent->GetChildNodes()->AddObject(element);
}

void AppendUnknown(const CUSharedPtr<CUXmlDomElementNode>& parent, const CUSharedPtr<CUArray>& unknown) {
    if (unknown) parent->GetChildNodes()->AddObjectsFromArray(unknown);
}

constexpr const char* kCreateError = "CFBCAnalyzeClipMetaData Create Error";
constexpr const char* kCopyCreateError = "CFBCAnalyzeClipMetaData Copy Create Error";

}  // namespace

CFBCAnalyzeClipMetaData::CFBCAnalyzeClipMetaData() {
    try {
        m_Dictionary = CUMutableDictionary::Create();
        m_UnknownDictionary = CUMutableDictionary::Create();
        m_RootAttributes = CUMutableDictionary::Create();
    } catch (const std::bad_alloc&) {
        m_Dictionary = nullptr;
    }
    if (!m_Dictionary || !m_UnknownDictionary || !m_RootAttributes)
        throw CUError(CUFailure(kResultInvalid, "clip metadata dictionaries cannot be created"),
                      kCreateError);
}

CFBCAnalyzeClipMetaData::CFBCAnalyzeClipMetaData(const CFBCAnalyzeClipMetaData& other, CopyTag) : CUObject() {
    try {
        // Values are immutable texts and numbers, and kept elements are never
        // changed after reading, so sharing the objects is a full copy.
        m_Dictionary = CUSharedPtr<CUMutableDictionary>(new CUMutableDictionary(*other.m_Dictionary));
        m_RootAttributes = CUSharedPtr<CUMutableDictionary>(new CUMutableDictionary(*other.m_RootAttributes));
        m_UnknownDictionary = CUMutableDictionary::Create();
        for (const auto& [parent, object] : other.m_UnknownDictionary->GetInternalMap()) {
            CUSharedPtr<CUMutableArray> elements(new CUMutableArray(CUDynamicCast<CUArray>(object)));
            m_UnknownDictionary->SetObjectForKey(elements, CUSharedPtr<CUStringMac>(new CUStringMac(parent)));
        }
    } catch (const std::bad_alloc&) {
        throw CUError(CUFailure(kResultInvalid, "clip metadata copy cannot be made"), kCopyCreateError);
    }
}

CFBCAnalyzeClipMetaData::~CFBCAnalyzeClipMetaData() = default;

CUSharedPtr<CFBCAnalyzeClipMetaData> CFBCAnalyzeClipMetaData::Create() {
    try {
        return CUSharedPtr<CFBCAnalyzeClipMetaData>(new CFBCAnalyzeClipMetaData());
    } catch (const CUError&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CUSharedPtr<CFBCAnalyzeClipMetaData> CFBCAnalyzeClipMetaData::Copy() const {
    CFBCAnalyzeClipMetaData* copy = nullptr;
    try {
        copy = new CFBCAnalyzeClipMetaData(*this, CopyTag{});
    } catch (const std::bad_alloc&) {
        throw CUError(CUFailure(kResultInvalid, "clip metadata copy cannot be made"), kCopyCreateError);
    }
    return CUSharedPtr<CFBCAnalyzeClipMetaData>(copy);
}

// ---------------------------------------------------------------- reading

void CFBCAnalyzeClipMetaData::RemoveAllValues() {
    m_Dictionary->RemoveAllObjects();
    m_UnknownDictionary->RemoveAllObjects();
    m_RootAttributes->RemoveAllObjects();
}

uint32_t CFBCAnalyzeClipMetaData::ReadFromFile(CUSharedPtr<CUStringMac> path) {
    if (!path || path->IsNull()) return kResultInvalid;
    try {
        CUSharedPtr<CUStream> stream(new CUFileStream(path, kCUStreamModeOpen, kCUStreamAccessRead, true));
        return ReadFromFile(stream);
    } catch (const CUError&) {
        RemoveAllValues();
        return kResultFileEmpty;
    }
}

uint32_t CFBCAnalyzeClipMetaData::ReadFromFile(CUSharedPtr<CUStream> stream) {
    if (!stream) return kResultInvalid;
    // Emptied first whatever follows, so the values never outlive the
    // document they came from (also when the new file is empty).
    RemoveAllValues();
    try {
        const uint64_t length = stream->Length();
        if (length == 0) return kResultFileEmpty;
        if (length > kMaxDocumentBytes) return kResultNotXml;
        CUSharedPtr<CUXmlDomDocumentNode> document = CUXmlDomDocumentNode::Create();
        if (document->LoadXml(stream) != 0) return kResultNotXml;
        return XmlToDic(document);
    } catch (const CUError&) {
        return kResultNotXml;
    }
}

uint32_t CFBCAnalyzeClipMetaData::XmlToDic(const CUSharedPtr<CUXmlDomDocumentNode>& document) {
    const CUXmlDomNode* root = nullptr;
    for (const CUSharedPtr<CUObject>& object : document->GetChildNodes()->GetInternalArray()) {
        const auto* node = dynamic_cast<const CUXmlDomNode*>(object.get());
        if (node && node->GetNodeType() == kCUXmlDomNode_Element) {
            root = node;
            break;
        }
    }
    if (!root || !Is(root->GetNodeName(), XML_TAG_VIDEOCLIP)) return kResultNotClipMetaData;

    if (CUSharedPtr<CUMutableDictionary> attributes = root->GetAttributes()) {
        for (const auto& [name, value] : attributes->GetInternalMap()) {
            if (name.Text() == XML_VIDEO_ATTRIBUTE_NAME->Text()) continue;
            m_RootAttributes->SetObjectForKey(value, CUSharedPtr<CUStringMac>(new CUStringMac(name)));
        }
    }
    return VideoClipChecker(*root);
}

namespace {

// Calls `visit` for each element child of `parent`; keeps the first failure.
template <class Visit>
uint32_t ForEachElement(const CUXmlDomNode& parent, Visit visit) {
    uint32_t status = CFBCAnalyzeClipMetaData::kResultSuccess;
    CUSharedPtr<CUMutableArray> children = parent.GetChildNodes();
    if (!children) return status;
    for (const CUSharedPtr<CUObject>& object : children->GetInternalArray()) {
        const auto* child = dynamic_cast<const CUXmlDomNode*>(object.get());
        if (!child || child->GetNodeType() != kCUXmlDomNode_Element) continue;
        const uint32_t result = visit(*child, object);
        if (status == CFBCAnalyzeClipMetaData::kResultSuccess) status = result;
    }
    return status;
}

}  // namespace

uint32_t CFBCAnalyzeClipMetaData::VideoClipChecker(const CUXmlDomNode& videoClip) {
    return ForEachElement(videoClip, [this](const CUXmlDomNode& child, const CUSharedPtr<CUObject>& object) {
        const CUSharedPtr<CUStringMac> name = child.GetNodeName();
        if (Is(name, key_TITLE)) return StoreText(child, key_TITLE);
        if (Is(name, key_CREATOR)) return StoreText(child, key_CREATOR);
        if (Is(name, key_DESCRIPTION)) return StoreText(child, key_DESCRIPTION);
        if (Is(name, XML_TAG_DEVICE)) return DeviceChecker(child);
        if (Is(name, XML_TAG_LOCATION)) return LocationChecker(child);
        XmlToUnknwonDic(XML_TAG_VIDEOCLIP, object);
        return kResultSuccess;
    });
}

uint32_t CFBCAnalyzeClipMetaData::DeviceChecker(const CUXmlDomNode& device) {
    return ForEachElement(device, [this](const CUXmlDomNode& child, const CUSharedPtr<CUObject>& object) {
        const CUSharedPtr<CUStringMac> name = child.GetNodeName();
        for (const CUSharedPtr<CUStringMac>* key :
             {&key_MANUFACTURER, &key_SERIAL_NO, &key_MODELNAME, &key_FIRM_VERSION, &key_DEVICE_LENS}) {
            if (Is(name, *key)) return StoreText(child, *key);
        }
        XmlToUnknwonDic(XML_TAG_DEVICE, object);
        return kResultSuccess;
    });
}

uint32_t CFBCAnalyzeClipMetaData::LocationChecker(const CUXmlDomNode& location) {
    return ForEachElement(location, [this](const CUXmlDomNode& child, const CUSharedPtr<CUObject>& object) {
        const CUSharedPtr<CUStringMac> name = child.GetNodeName();
        if (Is(name, key_SOURCE)) return StoreText(child, key_SOURCE);
        if (Is(name, key_PLACENAME)) return StoreText(child, key_PLACENAME);
        const bool altitude = Is(name, key_ALTITUDE);
        const bool longitude = Is(name, XML_TAG_LONGITUDE);
        const bool latitude = Is(name, XML_TAG_LATITUDE);
        if (!altitude && !longitude && !latitude) {
            XmlToUnknwonDic(XML_TAG_LOCATION, object);
            return kResultSuccess;
        }
        CUSharedPtr<CUStringMac> text = ElementText(child);
        if (!text) return kResultInvalid;
        if (altitude) return StoreAltitude(text);
        return StorePosition(text, longitude);
    });
}

uint32_t CFBCAnalyzeClipMetaData::StoreText(const CUXmlDomNode& element,
                                            const CUSharedPtr<CUStringMac>& key) {
    CUSharedPtr<CUStringMac> text = ElementText(element);
    if (!text) return kResultInvalid;
    if (CheckNodeValue(text, key)) m_Dictionary->SetObjectForKey(text, key);
    return kResultSuccess;
}

uint32_t CFBCAnalyzeClipMetaData::StoreAltitude(const CUSharedPtr<CUStringMac>& text) {
    if (!CheckNodeValue(text, key_ALTITUDE)) return kResultSuccess;  // refused: dropped quietly
    int metres = 0;
    if (ParseSignValue(text, metres) != kResultSuccess) return kResultInvalid;
    CUSharedPtr<CUObject> number = CUNumber::Create<int>(metres);
    if (CheckNodeValue(number, key_ALTITUDE)) m_Dictionary->SetObjectForKey(number, key_ALTITUDE);
    return kResultSuccess;
}

uint32_t CFBCAnalyzeClipMetaData::StorePosition(const CUSharedPtr<CUStringMac>& text, bool longitude) {
    const Axis& axis = longitude ? LongitudeAxis() : LatitudeAxis();
    if (!CheckNodeValue(text, axis.text)) return kResultSuccess;  // refused: dropped quietly
    unsigned int type = 0, degrees = 0, minutes = 0;
    float seconds = 0;
    double value = 0;
    if (ParsePositionString(text, longitude, type, degrees, minutes, seconds, value) != kResultSuccess)
        return kResultInvalid;
    const CUSharedPtr<CUObject> parts[] = {CUNumber::Create<unsigned int>(type),
                                           CUNumber::Create<unsigned int>(degrees),
                                           CUNumber::Create<unsigned int>(minutes),
                                           CUNumber::Create<float>(seconds), CUNumber::Create<double>(value)};
    const CUSharedPtr<CUStringMac>* keys[] = {&axis.type, &axis.degrees, &axis.minutes, &axis.seconds,
                                              &axis.value};
    for (size_t i = 0; i < 5; ++i) {
        if (!CheckNodeValue(parts[i], *keys[i])) return kResultInvalid;
    }
    for (size_t i = 0; i < 5; ++i) m_Dictionary->SetObjectForKey(parts[i], *keys[i]);
    return kResultSuccess;
}

void CFBCAnalyzeClipMetaData::XmlToUnknwonDic(const CUSharedPtr<CUStringMac>& parent,
                                              const CUSharedPtr<CUObject>& element) {
    CUSharedPtr<CUMutableArray> elements =
        CUDynamicCast<CUMutableArray>(m_UnknownDictionary->ObjectForKey(parent));
    if (!elements) {
        elements = CUMutableArray::Create();
        m_UnknownDictionary->SetObjectForKey(elements, parent);
    }
    elements->AddObject(element);
}

CUSharedPtr<CUArray> CFBCAnalyzeClipMetaData::ReadUnknownTag(const CUSharedPtr<CUStringMac>& parent) const {
    return CUDynamicCast<CUArray>(m_UnknownDictionary->ObjectForKey(parent));
}

// ---------------------------------------------------------------- values

namespace {

// Display text of one axis; null without a type of 1 or 2 or without degrees.
CUSharedPtr<CUStringMac> PositionText(const CUMutableDictionary& values, const Axis& axis, bool forDocument,
                                      bool& outOfRange) {
    outOfRange = false;
    CUSharedPtr<CUNumber> type = AsNumber(values.ObjectForKey(axis.type));
    if (!type) return nullptr;
    char16_t letter = 0;
    if (type->doubleValue() == 1) letter = axis.letter1;
    if (type->doubleValue() == 2) letter = axis.letter2;
    if (letter == 0) return nullptr;

    double degrees = 0;
    bool exact = false;
    if (CUSharedPtr<CUNumber> value = AsNumber(values.ObjectForKey(axis.value))) {
        degrees = value->doubleValue();
        exact = true;
    } else {
        CUSharedPtr<CUNumber> d = AsNumber(values.ObjectForKey(axis.degrees));
        CUSharedPtr<CUNumber> m = AsNumber(values.ObjectForKey(axis.minutes));
        CUSharedPtr<CUNumber> s = AsNumber(values.ObjectForKey(axis.seconds));
        if (!d || !m || !s) return nullptr;
        degrees = CFBCAnalyzeClipMetaData::JoinDegrees(d->UInt32Value(), m->UInt32Value(), s->floatValue());
    }
    if (!std::isfinite(degrees) || degrees < 0 || degrees > 180) {
        outOfRange = true;
        return nullptr;
    }
    std::u16string text(1, letter);
    const std::string number = forDocument && exact ? DegreesText(degrees) : FixedText(degrees, 5);
    text.append(number.begin(), number.end());
    return Utf16(text);
}

CUSharedPtr<CUStringMac> AltitudeText(const CUMutableDictionary& values, bool forDocument) {
    CUSharedPtr<CUNumber> metres = AsNumber(values.ObjectForKey(key_ALTITUDE));
    if (!metres) return nullptr;
    const int value = metres->SInt32Value();
    // The document always carries the sign its reader requires ("+0"); the
    // display form shows 0 without one.
    const bool plus = forDocument ? value >= 0 : value >= 1;
    std::string text = plus ? "+" : "";
    text.append(std::to_string(value));
    return FromUtf8(text);
}

}  // namespace

CUSharedPtr<CUObject> CFBCAnalyzeClipMetaData::ObjectForKey(CUSharedPtr<CUStringMac> key) const {
    if (!key || key->IsNull()) return nullptr;
    bool outOfRange = false;
    if (Is(key, XML_TAG_LONGITUDE)) return PositionText(*m_Dictionary, LongitudeAxis(), false, outOfRange);
    if (Is(key, XML_TAG_LATITUDE)) return PositionText(*m_Dictionary, LatitudeAxis(), false, outOfRange);
    return m_Dictionary->ObjectForKey(key);
}

CUSharedPtr<CUObject> CFBCAnalyzeClipMetaData::ObjectForKeyDefault(CUSharedPtr<CUStringMac> key) const {
    if (Is(key, key_ALTITUDE)) return AltitudeText(*m_Dictionary, false);
    return ObjectForKey(key);
}

uint32_t CFBCAnalyzeClipMetaData::SetObjectForKey(CUSharedPtr<CUObject> value, CUSharedPtr<CUStringMac> key) {
    if (!CheckNodeValue(value, key)) return kResultInvalid;
    CUSharedPtr<CUStringMac> text = AsString(value);
    CUSharedPtr<CUNumber> number = AsNumber(value);

    if (Is(key, key_ALTITUDE)) {
        int metres = 0;
        if (text) {
            if (ParseSignValue(text, metres) != kResultSuccess) return kResultInvalid;
            if (!CheckNodeValue(CUNumber::Create<int>(metres), key_ALTITUDE)) return kResultInvalid;
        } else {
            metres = number->SInt32Value();
        }
        m_Dictionary->SetObjectForKey(CUNumber::Create<int>(metres), key_ALTITUDE);
        return kResultSuccess;
    }
    for (const Axis* axis : {&LongitudeAxis(), &LatitudeAxis()}) {
        if (Is(key, axis->text)) return StorePosition(text, axis->longitude);
        if (Is(key, axis->type)) {
            m_Dictionary->SetObjectForKey(CUNumber::Create<unsigned int>(number->UInt32Value()), key);
            return kResultSuccess;
        }
        if (Is(key, axis->degrees) || Is(key, axis->minutes) || Is(key, axis->seconds)) {
            if (Is(key, axis->seconds))
                m_Dictionary->SetObjectForKey(CUNumber::Create<float>(number->floatValue()), key);
            else
                m_Dictionary->SetObjectForKey(CUNumber::Create<unsigned int>(number->UInt32Value()), key);
            m_Dictionary->RemoveObjectForKey(axis->value);
            return kResultSuccess;
        }
        if (Is(key, axis->value)) {
            const double degrees = number->doubleValue();
            const double rounded = RoundValue(degrees, 5,
                                              degrees < 1     ? 1e-10
                                              : degrees < 10  ? 1e-9
                                              : degrees < 100 ? 1e-8
                                                              : 1e-7);
            if (!(rounded >= 0 && rounded <= 180)) return kResultInvalid;
            unsigned int d = 0, m = 0;
            float s = 0;
            SplitDegrees(rounded, d, m, s);
            m_Dictionary->SetObjectForKey(CUNumber::Create<unsigned int>(d), axis->degrees);
            m_Dictionary->SetObjectForKey(CUNumber::Create<unsigned int>(m), axis->minutes);
            m_Dictionary->SetObjectForKey(CUNumber::Create<float>(s), axis->seconds);
            m_Dictionary->SetObjectForKey(CUNumber::Create<double>(rounded + 0.0), axis->value);
            return kResultSuccess;
        }
    }
    // The remaining keys hold texts.
    m_Dictionary->SetObjectForKey(text, key);
    return kResultSuccess;
}

bool CFBCAnalyzeClipMetaData::CheckNodeValue(CUSharedPtr<CUObject> value,
                                             CUSharedPtr<CUStringMac> key) const {
    if (!value || !key || key->IsNull()) return false;
    if (Is(key, key_TITLE) || Is(key, key_PLACENAME)) return IsTextUpTo(value, 100);
    if (Is(key, key_CREATOR)) return IsNormalTextUpTo(value, 100);
    if (Is(key, key_DESCRIPTION)) return IsTextUpTo(value, 1000);
    if (Is(key, key_MANUFACTURER) || Is(key, key_SERIAL_NO) || Is(key, key_MODELNAME) ||
        Is(key, key_FIRM_VERSION))
        return IsNormalTextUpTo(value, 30);
    if (Is(key, key_DEVICE_LENS)) return IsNormalTextUpTo(value, 80);
    if (Is(key, key_SOURCE)) {
        CUSharedPtr<CUStringMac> text = AsString(value);
        return Is(text, XML_SRC_VALUE_CAPTURED) || Is(text, XML_SRC_VALUE_CREATED) ||
               Is(text, XML_SRC_VALUE_DIVERSED);
    }
    if (Is(key, key_ALTITUDE)) {
        if (CUSharedPtr<CUStringMac> text = AsString(value)) return text->Length() <= 7;
        return IsWholeInRange(AsNumber(value), -999999, 999999);
    }
    for (const Axis* axis : {&LongitudeAxis(), &LatitudeAxis()}) {
        if (Is(key, axis->text)) return IsNormalTextUpTo(value, 10);
        if (Is(key, axis->type)) return IsWholeInRange(AsNumber(value), 1, 2);
        if (Is(key, axis->degrees)) return IsWholeInRange(AsNumber(value), 0, 180);
        if (Is(key, axis->minutes)) return IsWholeInRange(AsNumber(value), 0, 60);
        if (Is(key, axis->seconds)) {
            CUSharedPtr<CUNumber> number = AsNumber(value);
            return number && IsFiniteInRange(number, 0.0, 60.0) && !std::isnan(number->floatValue()) &&
                   number->floatValue() <= 60.0f;
        }
        if (Is(key, axis->value)) return IsFiniteInRange(AsNumber(value), 0, 180);
    }
    return false;
}

bool CFBCAnalyzeClipMetaData::IsNormalizeString(CUSharedPtr<CUStringMac> text, unsigned int maxLength) {
    if (!text || text->IsNull() || text->Length() > static_cast<int64_t>(maxLength)) return false;
    for (char16_t unit : text->Text()) {
        if (unit == u'\t' || unit == u'\r' || unit == u'\n') return false;
    }
    return true;
}

uint32_t CFBCAnalyzeClipMetaData::ParseSignValue(CUSharedPtr<CUStringMac> text, int& value) {
    if (!text || text->IsNull()) return kResultInvalid;
    const std::u16string& units = text->Text();
    if (units.size() < 2 || (units[0] != u'+' && units[0] != u'-')) return kResultInvalid;
    int64_t magnitude = 0;
    for (size_t i = 1; i < units.size(); ++i) {
        if (units[i] < u'0' || units[i] > u'9') return kResultInvalid;
        magnitude = magnitude * 10 + (units[i] - u'0');
        if (magnitude > 999999999) return kResultInvalid;  // far beyond any altitude; keeps int range
    }
    value = static_cast<int>(units[0] == u'-' ? -magnitude : magnitude);
    return kResultSuccess;
}

uint32_t CFBCAnalyzeClipMetaData::ParsePositionString(CUSharedPtr<CUStringMac> text, bool longitude,
                                                      unsigned int& type, unsigned int& degrees,
                                                      unsigned int& minutes, float& seconds, double& value) {
    if (!text || text->IsNull() || text->Length() == 0) return kResultInvalid;
    const std::u16string& units = text->Text();
    unsigned int kind = 0;
    if (longitude) {
        if (units[0] == u'W') kind = 1;
        if (units[0] == u'E') kind = 2;
    } else {
        if (units[0] == u'N') kind = 1;
        if (units[0] == u'S') kind = 2;
    }
    if (kind == 0) return kResultInvalid;
    double number = 0;
    if (!ParseDecimal(units, 1, number)) return kResultInvalid;
    if (!(number >= 0 && number <= 180)) return kResultInvalid;
    number += 0.0;  // "-0" is 0, not a negative zero
    SplitDegrees(number, degrees, minutes, seconds);
    type = kind;
    value = number;
    return kResultSuccess;
}

double CFBCAnalyzeClipMetaData::JoinDegrees(unsigned int degrees, unsigned int minutes, float seconds) {
    const double epsilon = degrees == 0 ? 1e-10 : degrees < 10 ? 1e-9 : degrees < 100 ? 1e-8 : 1e-7;
    const double joined = degrees + minutes / 60.0 + static_cast<double>(seconds) / 3600.0;
    return RoundValue(joined, 5, epsilon);
}

double CFBCAnalyzeClipMetaData::RoundValue(double value, unsigned int decimals, double epsilon) {
    if (!std::isfinite(value)) return value;
    if (decimals > 15) decimals = 15;
    const double scale = std::pow(10.0, static_cast<double>(decimals));
    const double x = value * scale;
    if (!std::isfinite(x)) return value;
    const double whole = std::floor(x);
    const double rounded = whole + (x - whole > 0.5 - epsilon * scale ? 1.0 : 0.0);
    return rounded / scale;
}

// ---------------------------------------------------------------- writing

uint32_t CFBCAnalyzeClipMetaData::CheckDic(CUSharedPtr<CUXmlDomDocumentNode> document) const {
    if (!document) return kResultInvalid;
    try {
        CUSharedPtr<CUXmlDomElementNode> root = CUXmlDomElementNode::Create(XML_TAG_VIDEOCLIP);
        for (const auto& [name, value] : m_RootAttributes->GetInternalMap())
            root->SetAttribute(CUSharedPtr<CUStringMac>(new CUStringMac(name)), AsString(value));
        root->SetAttribute(XML_VIDEO_ATTRIBUTE_NAME, XML_VIDEO_ATTRIBUTE_VALUE);

        auto stored = [this](const CUSharedPtr<CUStringMac>& key) {
            return AsString(m_Dictionary->ObjectForKey(key));
        };
        AppendTextElement(root, key_TITLE, stored(key_TITLE));
        AppendTextElement(root, key_CREATOR, stored(key_CREATOR));
        AppendTextElement(root, key_DESCRIPTION, stored(key_DESCRIPTION));

        CUSharedPtr<CUXmlDomElementNode> device = CUXmlDomElementNode::Create(XML_TAG_DEVICE);
        for (const CUSharedPtr<CUStringMac>* key :
             {&key_MANUFACTURER, &key_SERIAL_NO, &key_MODELNAME, &key_FIRM_VERSION, &key_DEVICE_LENS})
            AppendTextElement(device, *key, stored(*key));
        AppendUnknown(device, ReadUnknownTag(XML_TAG_DEVICE));
        if (device->GetChildNodes()->Count() > 0) root->GetChildNodes()->AddObject(device);

        CUSharedPtr<CUXmlDomElementNode> location = CUXmlDomElementNode::Create(XML_TAG_LOCATION);
        AppendTextElement(location, key_ALTITUDE, AltitudeText(*m_Dictionary, true));
        for (const Axis* axis : {&LongitudeAxis(), &LatitudeAxis()}) {
            bool outOfRange = false;
            CUSharedPtr<CUStringMac> text = PositionText(*m_Dictionary, *axis, true, outOfRange);
            if (outOfRange) return kResultInvalid;
            AppendTextElement(location, axis->text, text);
        }
        AppendTextElement(location, key_SOURCE, stored(key_SOURCE));
        AppendTextElement(location, key_PLACENAME, stored(key_PLACENAME));
        AppendUnknown(location, ReadUnknownTag(XML_TAG_LOCATION));
        if (location->GetChildNodes()->Count() > 0) root->GetChildNodes()->AddObject(location);

        AppendUnknown(root, ReadUnknownTag(XML_TAG_VIDEOCLIP));

        CUSharedPtr<CUMutableArray> top = document->GetChildNodes();
        top->AddObject(CUXmlDomProcessingInstructionNode::Create(XML_TAG_XML, XML_VALUE_XML));
        top->AddObject(root);
        return kResultSuccess;
    } catch (const CUError&) {
        return kResultInvalid;
    }
}

uint32_t CFBCAnalyzeClipMetaData::WriteToFile(CUSharedPtr<CUStream> stream) {
    if (!stream) return kResultInvalid;
    try {
        CUSharedPtr<CUXmlDomDocumentNode> document = CUXmlDomDocumentNode::Create();
        const uint32_t status = CheckDic(document);
        if (status != kResultSuccess) return status;
        return document->WriteXml(stream) == 0 ? kResultSuccess : kResultWriteFailure;
    } catch (const CUError&) {
        return kResultWriteFailure;
    }
}

uint32_t CFBCAnalyzeClipMetaData::WriteToFile(CUSharedPtr<CUStringMac> path, bool replaceExisting) {
    if (!path || path->IsNull() || path->Length() == 0) return kResultInvalid;
    try {
        CUSharedPtr<CUXmlDomDocumentNode> document = CUXmlDomDocumentNode::Create();
        const uint32_t status = CheckDic(document);
        if (status != kResultSuccess) return status;
        if (!replaceExisting && CUFile::Exists(path)) return kResultFileNotReplaced;

        // A new file beside the target (same volume, so the move is a rename).
        const int64_t serial = CUIdentifierGenerator::SharedInstance()->GenerateIdentifier();
        CUSharedPtr<CUStringMac> temporary = FromUtf8(path->Utf8() + ".~" + std::to_string(serial) + ".tmp");
        {
            CUSharedPtr<CUFileStream> stream(
                new CUFileStream(temporary, kCUStreamModeCreateNew, kCUStreamAccessWrite, true));
            if (!stream->IsOSFileHandleValid()) return kResultFileNotReplaced;
            const uint32_t written = document->WriteXml(CUSharedPtr<CUStream>(stream));
            const bool open = stream->IsOSFileHandleValid();
            stream->Close();
            if (written != 0 || !open) {
                try {
                    CUFile::Delete(temporary);
                } catch (const CUError&) {
                    // A leftover temporary file does not change the answer.
                }
                return kResultWriteFailure;
            }
        }
        try {
            CUFile::MoveWithProgress(temporary, path, replaceExisting, nullptr);
        } catch (const CUError&) {
            try {
                CUFile::Delete(temporary);
            } catch (const CUError&) {
                // A leftover temporary file does not change the answer.
            }
            return kResultFileNotReplaced;
        }
        return kResultSuccess;
    } catch (const CUError&) {
        return kResultWriteFailure;
    }
}

}  // namespace ComVantoVantoQZ64RADPlug

#pragma once
// A clip's metadata document (.XML): title, creator, description, recording
// device and shooting location. Reads the document into a dictionary of
// checked, typed values, answers them by key (with display texts for the
// position and the altitude), accepts new values and writes the document
// back on request. Not synchronised: one thread at a time (the owning clip
// serialises its calls with its own lock).
#include "CUMutableArray.h"
#include "CUMutableDictionary.h"
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "CUStringMac.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStream;
class CUXmlDomDocumentNode;
class CUXmlDomNode;

// Names of the document and the keys of its values. Created when the
// library loads and only read afterwards (safe from any thread); do not use
// them from other static initialisers.
extern const CUSharedPtr<CUStringMac> XML_TAG_XML;                // "xml" (the declaration)
extern const CUSharedPtr<CUStringMac> XML_VALUE_XML;              // version="1.0" encoding="UTF-8"
extern const CUSharedPtr<CUStringMac> XML_TAG_VIDEOCLIP;          // "VideoClip", the root
extern const CUSharedPtr<CUStringMac> XML_VIDEO_ATTRIBUTE_NAME;   // "xmlns"
extern const CUSharedPtr<CUStringMac> XML_VIDEO_ATTRIBUTE_VALUE;  // our namespace URI
extern const CUSharedPtr<CUStringMac> XML_TAG_DEVICE;             // "Device"
extern const CUSharedPtr<CUStringMac> XML_TAG_LOCATION;           // "Location"
extern const CUSharedPtr<CUStringMac> XML_TAG_LONGITUDE;          // "Longitude" (text form)
extern const CUSharedPtr<CUStringMac> XML_TAG_LATITUDE;           // "Latitude" (text form)
extern const CUSharedPtr<CUStringMac> XML_SRC_VALUE_CAPTURED;     // "CAPTURED"
extern const CUSharedPtr<CUStringMac> XML_SRC_VALUE_CREATED;      // "CREATED"
extern const CUSharedPtr<CUStringMac> XML_SRC_VALUE_DIVERSED;     // "DIVERSED"

// Texts (CUStringMac), also the element names.
extern const CUSharedPtr<CUStringMac> key_TITLE;         // "Title"
extern const CUSharedPtr<CUStringMac> key_CREATOR;       // "Creator"
extern const CUSharedPtr<CUStringMac> key_DESCRIPTION;   // "Description"
extern const CUSharedPtr<CUStringMac> key_MANUFACTURER;  // "Manufacturer"
extern const CUSharedPtr<CUStringMac> key_SERIAL_NO;     // "SerialNo"
extern const CUSharedPtr<CUStringMac> key_MODELNAME;     // "ModelName"
extern const CUSharedPtr<CUStringMac> key_FIRM_VERSION;  // "FirmVersion"
extern const CUSharedPtr<CUStringMac> key_DEVICE_LENS;   // "Lens"
extern const CUSharedPtr<CUStringMac> key_SOURCE;        // "Source"
extern const CUSharedPtr<CUStringMac> key_PLACENAME;     // "PlaceName"
// Metres, signed (CUNumber holding int).
extern const CUSharedPtr<CUStringMac> key_ALTITUDE;  // "Altitude"
// Position parts: type 1 west / north, 2 east / south (unsigned int); whole
// degrees and minutes (unsigned int); seconds with one decimal (float);
// decimal degrees as written in the file (double).
extern const CUSharedPtr<CUStringMac> key_LONGITUDE_TYPE;     // "Longitude_Type"
extern const CUSharedPtr<CUStringMac> key_LONGITUDE_DEGREES;  // "Longitude_Degrees"
extern const CUSharedPtr<CUStringMac> key_LONGITUDE_MINUTES;  // "Longitude_Minutes"
extern const CUSharedPtr<CUStringMac> key_LONGITUDE_SECONDS;  // "Longitude_Seconds"
extern const CUSharedPtr<CUStringMac> key_LONGITUDE_VALUE;    // "Longitude_Value"
extern const CUSharedPtr<CUStringMac> key_LATITUDE_TYPE;      // "Latitude_Type"
extern const CUSharedPtr<CUStringMac> key_LATITUDE_DEGREES;   // "Latitude_Degrees"
extern const CUSharedPtr<CUStringMac> key_LATITUDE_MINUTES;   // "Latitude_Minutes"
extern const CUSharedPtr<CUStringMac> key_LATITUDE_SECONDS;   // "Latitude_Seconds"
extern const CUSharedPtr<CUStringMac> key_LATITUDE_VALUE;     // "Latitude_Value"

class CFBCAnalyzeClipMetaData : public CUObject {
public:
    // Status values (low 16 bits 0 means success).
    static constexpr uint32_t kResultSuccess = 0x140000;
    static constexpr uint32_t kResultInvalid = 0x140001;          // invalid argument or malformed value
    static constexpr uint32_t kResultFileEmpty = 0x14100B;        // empty, missing or unreadable file
    static constexpr uint32_t kResultFileNotReplaced = 0x14100C;  // the file could not be created or replaced
    static constexpr uint32_t kResultNotXml = 0x14100D;           // not loadable XML (or too big)
    static constexpr uint32_t kResultNotClipMetaData = 0x14100E;  // root is not "VideoClip"
    static constexpr uint32_t kResultWriteFailure = 0x141014;     // the document could not be written out

    // A clip metadata document is a few kilobytes; bigger files are refused
    // unread rather than loaded whole.
    static constexpr uint64_t kMaxDocumentBytes = 1024 * 1024;

    // Throws "CFBCAnalyzeClipMetaData Create Error" (const char*) when its
    // dictionaries cannot be made.
    CFBCAnalyzeClipMetaData();
    CFBCAnalyzeClipMetaData(const CFBCAnalyzeClipMetaData&) = delete;
    CFBCAnalyzeClipMetaData& operator=(const CFBCAnalyzeClipMetaData&) = delete;
    ~CFBCAnalyzeClipMetaData() override;

    // A new, empty analyser; null when it cannot be made.
    static CUSharedPtr<CFBCAnalyzeClipMetaData> Create();
    // A new analyser holding the same values and kept unknown elements.
    // Throws "CFBCAnalyzeClipMetaData Copy Create Error" (const char*) when
    // it cannot be made.
    CUSharedPtr<CFBCAnalyzeClipMetaData> Copy() const;

    // Reads the file at `path` (opened read-only; the file is never changed).
    // kResultInvalid for a null path; otherwise as the stream reader.
    uint32_t ReadFromFile(CUSharedPtr<CUStringMac> path);
    // Replaces every value by those of the document in the stream (pass a
    // CUSharedPtr<CUStream>). kResultInvalid for a null stream (values kept);
    // kResultFileEmpty for length 0, kResultNotXml when longer than
    // kMaxDocumentBytes or not loadable, kResultNotClipMetaData for another
    // root; kResultInvalid when a value was malformed (that value is
    // skipped, the others are read); kResultSuccess otherwise. Values that
    // break the limits of CheckNodeValue are dropped without a status.
    // Never throws.
    uint32_t ReadFromFile(CUSharedPtr<CUStream> stream);

    // The stored value for a key; for "Longitude" and "Latitude", which are
    // not stored, the display text of ObjectForKeyDefault. Null when absent.
    CUSharedPtr<CUObject> ObjectForKey(CUSharedPtr<CUStringMac> key) const;
    // As ObjectForKey, but "Altitude" answers its display text: "%d" below
    // 1, "+%d" from 1 ("0", "+12", "-45"). "Longitude" answers "W%.5f" or
    // "E%.5f" (type 1 or 2), "Latitude" "N%.5f" or "S%.5f", from the
    // decimal degrees as read, or else from the degrees, minutes and seconds.
    CUSharedPtr<CUObject> ObjectForKeyDefault(CUSharedPtr<CUStringMac> key) const;

    // Stores a value after CheckNodeValue; kResultSuccess, or kResultInvalid
    // when it is refused (nothing changes then). Numbers are stored in the
    // key's own type. Texts under "Altitude", "Longitude" and "Latitude" are
    // read as in the document and stored as their parts. Setting a degrees,
    // minutes or seconds part drops that axis' decimal value (it no longer
    // matches); setting a decimal value rounds it to 5 decimals and derives
    // the parts from it.
    uint32_t SetObjectForKey(CUSharedPtr<CUObject> value, CUSharedPtr<CUStringMac> key);

    // Writes the document to `path` through a new file beside it that then
    // takes the path's place, so a failed write leaves any existing file as
    // it was. With replaceExisting false an existing file is kept and the
    // result is kResultFileNotReplaced. kResultInvalid for a null path or a
    // position that cannot be written; kResultFileNotReplaced when the file
    // cannot be created or moved into place; kResultWriteFailure when the
    // document cannot be written out.
    uint32_t WriteToFile(CUSharedPtr<CUStringMac> path, bool replaceExisting);
    // Writes the document at the stream's current position; results as above.
    uint32_t WriteToFile(CUSharedPtr<CUStream> stream);

    // Builds the document from the values into an empty document node: the
    // "xml" declaration, then "VideoClip" with Title, Creator, Description,
    // Device (Manufacturer, SerialNo, ModelName, FirmVersion, Lens),
    // Location (Altitude, Longitude, Latitude, Source, PlaceName), each
    // parent's kept unknown elements after its known ones. Empty parents are
    // left out. kResultInvalid for a null document or a position beyond 180
    // degrees, else kResultSuccess.
    uint32_t CheckDic(CUSharedPtr<CUXmlDomDocumentNode> document) const;

    // True when the value may be stored under the key: the limits of each
    // key (texts by length in UTF-16 units, numbers by range; texts must be
    // characters an XML document can carry). Keys the document does not
    // hold, and null values or keys, are refused.
    bool CheckNodeValue(CUSharedPtr<CUObject> value, CUSharedPtr<CUStringMac> key) const;
    // Not null, at most maxLength UTF-16 units, no tab, CR or LF.
    static bool IsNormalizeString(CUSharedPtr<CUStringMac> text, unsigned int maxLength);

    // "+" or "-" and decimal digits (nothing else) into `value`;
    // kResultSuccess or kResultInvalid (value untouched).
    static uint32_t ParseSignValue(CUSharedPtr<CUStringMac> text, int& value);
    // A position text: "N"/"S" (latitude) or "W"/"E" (longitude), then
    // decimal degrees (optional sign, digits, optional "." and digits) from
    // 0 to 180. Gives the type (1 N/W, 2 S/E), the degrees, minutes and
    // seconds (to the tenth of an arc-second, rounded up only above .49 of a
    // tenth) and the decimal degrees. kResultSuccess or kResultInvalid
    // (outputs untouched).
    static uint32_t ParsePositionString(CUSharedPtr<CUStringMac> text, bool longitude, unsigned int& type,
                                        unsigned int& degrees, unsigned int& minutes, float& seconds,
                                        double& value);
    // degrees + minutes / 60 + seconds / 3600 rounded to 5 decimals; the
    // rounding threshold is lowered by an epsilon that grows with the
    // degrees (1e-10 at 0, 1e-9 to 9, 1e-8 to 99, 1e-7 from 100).
    static double JoinDegrees(unsigned int degrees, unsigned int minutes, float seconds);
    // value rounded to `decimals` decimals (at most 15), up when the
    // fraction exceeds 0.5 - epsilon * 10^decimals. Non-finite values are
    // answered unchanged.
    static double RoundValue(double value, unsigned int decimals, double epsilon);

private:
    struct CopyTag {};
    CFBCAnalyzeClipMetaData(const CFBCAnalyzeClipMetaData& other, CopyTag);

    void RemoveAllValues();
    uint32_t XmlToDic(const CUSharedPtr<CUXmlDomDocumentNode>& document);
    uint32_t VideoClipChecker(const CUXmlDomNode& videoClip);
    uint32_t DeviceChecker(const CUXmlDomNode& device);
    uint32_t LocationChecker(const CUXmlDomNode& location);
    // Stores the element's text under the key when the check allows it.
    uint32_t StoreText(const CUXmlDomNode& element, const CUSharedPtr<CUStringMac>& key);
    uint32_t StoreAltitude(const CUSharedPtr<CUStringMac>& text);
    uint32_t StorePosition(const CUSharedPtr<CUStringMac>& text, bool longitude);
    // Keeps an element the schema does not name, under its parent's name.
    void XmlToUnknwonDic(const CUSharedPtr<CUStringMac>& parent, const CUSharedPtr<CUObject>& element);
    // The kept unknown elements of a parent, in document order; may be null.
    CUSharedPtr<CUArray> ReadUnknownTag(const CUSharedPtr<CUStringMac>& parent) const;

    CUSharedPtr<CUMutableDictionary> m_Dictionary;
    // Parent element name -> CUMutableArray of the unknown child elements.
    CUSharedPtr<CUMutableDictionary> m_UnknownDictionary;
    // Attributes of the root other than "xmlns" (prefix declarations that
    // kept unknown elements may need).
    CUSharedPtr<CUMutableDictionary> m_RootAttributes;
};

}  // namespace ComVantoVantoQZ64RADPlug

#include "ClipXmlWriter.h"

#include "XmlTextWriter.h"

#include <cstdio>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

std::string FirmwareVersionText(const std::vector<uint8_t>& components) {
    std::string text;
    for (size_t i = 0; i < components.size() && components[i] != 0xFF; ++i) {
        char part[8];
        std::snprintf(part, sizeof part, i == 0 ? "%u" : ".%02u", static_cast<unsigned>(components[i]));
        text += part;
    }
    return text;
}

std::string BuildClipXml(const ClipDescription& clip) {
    const ClipXmlMetadata& xml = clip.xml;
    if (xml.rawDocument) return *xml.rawDocument;

    XmlTextWriter writer;
    writer.Open(xml.rootElement, {{"xmlns", xml.namespaceUri}});
    if (xml.title) writer.TextElement("Title", *xml.title);
    if (xml.creator) writer.TextElement("Creator", *xml.creator);
    if (xml.description) writer.TextElement("Description", *xml.description);
    if (xml.writeDevice) {
        writer.Open("Device");
        writer.TextElement("Manufacturer", xml.manufacturer.value_or(clip.device.manufacturer));
        writer.TextElement("SerialNo", xml.serialNumber.value_or(clip.device.serialNumber));
        writer.TextElement("ModelName", xml.modelName.value_or(clip.device.modelName));
        writer.TextElement("FirmVersion",
                           xml.firmVersion.value_or(FirmwareVersionText(clip.device.firmware)));
        writer.TextElement("Lens", xml.lens.value_or(clip.device.lens));
        writer.Close();
    }
    if (xml.location) {
        const ClipLocation& location = *xml.location;
        writer.Open("Location");
        if (location.altitude) writer.TextElement("Altitude", *location.altitude);
        if (location.longitude) writer.TextElement("Longitude", *location.longitude);
        if (location.latitude) writer.TextElement("Latitude", *location.latitude);
        if (location.source) writer.TextElement("Source", *location.source);
        if (location.placeName) writer.TextElement("PlaceName", *location.placeName);
        writer.Close();
    }
    return writer.Finish();
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter

#pragma once
// One clip as the host sees it: identity, name, timing, picture and sound
// properties, device metadata, the files to copy on import, a format reader
// for playback and an ingest object for import.
// Strings are UTF-8 and an empty optional stands for the host's nil. Dates
// are seconds since 1970-01-01 00:00:00 UTC.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "AudioChannelLayout.h"
#include "AudioStreamBasicDescription.h"
#include "CFArray.h"
#include "CFDictionary.h"
#include "CFHolder.h"

namespace ComVantoVantoQZ64RADPlug {

class MIORADFormatReaderProtocol;
class MIORADIngestObject;

class MIORADClipDataSourceProtocol {
public:
    virtual ~MIORADClipDataSourceProtocol();

    // Identity and names.
    virtual std::optional<std::string> clipID() = 0;
    virtual std::optional<std::string> name() = 0;
    virtual std::optional<std::string> format() = 0;
    virtual std::optional<std::string> sourceFormatName() = 0;
    virtual uint32_t sourceFormat() = 0;  // codec FourCC
    virtual uint32_t decodePixelFormat() = 0;
    virtual std::optional<std::string> displayFormat() = 0;

    // Playback and import.
    virtual bool isSupportPreview() = 0;
    // Passed back by the host as the reference constant of every ingest call.
    virtual void* ingestObjectRefCon() = 0;
    virtual std::shared_ptr<MIORADFormatReaderProtocol> formatReader() = 0;
    virtual std::shared_ptr<MIORADIngestObject> ingestObject() = 0;
    // Array of arrays of dictionaries ("MediaSetPath" → path), owned by the caller.
    virtual CFHolder<CFArrayRef> ingestSourceFiles() = 0;

    // Timing.
    virtual bool isDropFrame() = 0;
    virtual uint32_t mediaDuration() = 0;  // frames
    virtual std::optional<std::string> mediaStart() = 0;  // "HH:MM:SS:FF"
    virtual double transportRate() = 0;
    virtual double shootingRate() = 0;
    virtual int32_t pulldown() = 0;
    virtual bool canSetInOut() = 0;

    // Picture and sound.
    virtual uint32_t videoBitrate() = 0;  // Mbps
    virtual uint32_t videoWidth() = 0;
    virtual uint32_t videoHeight() = 0;
    virtual double videoDataSize() = 0;  // bytes
    virtual bool anamorphic() = 0;
    virtual uint32_t sampleRate() = 0;
    virtual uint32_t bitsPerSample() = 0;
    virtual uint32_t numberOfAudioChannels() = 0;
    virtual double dataSizeForAudioChannelIndex(uint32_t channel) = 0;  // bytes
    // Borrowed; valid while the clip object lives. Null when there is none.
    virtual const AudioStreamBasicDescription* audioStreamBasicDescription() = 0;
    virtual const AudioChannelLayout* audioChannelLayout(size_t* size) = 0;
    virtual const void* audioMagicCookie(size_t* size) = 0;
    virtual CFHolder<CFDictionaryRef> stereoMixDown() = 0;

    // Dates and device.
    virtual std::optional<double> creationDate() = 0;
    virtual std::optional<double> lastChangeDate() = 0;
    virtual std::optional<std::string> deviceManufacturer() = 0;
    virtual std::optional<std::string> deviceModelName() = 0;
    virtual std::optional<std::string> deviceSerialNumber() = 0;
    virtual std::optional<std::string> creator() = 0;

    // Logging fields and spanning, as far as the plug-in knows them.
    virtual std::optional<std::string> scene() = 0;
    virtual std::optional<std::string> shot() = 0;
    virtual std::optional<std::string> reelName() = 0;
    virtual std::optional<std::string> logNote() = 0;
    virtual std::optional<std::string> clipDescription() = 0;
    virtual std::optional<std::string> angle() = 0;
    virtual CFHolder<CFDictionaryRef> extendedProperties() = 0;
    virtual CFHolder<CFDictionaryRef> metadata() = 0;
    virtual std::optional<std::string> spannedClipID() = 0;
    virtual std::optional<std::string> nextClipIDInSpannedClip() = 0;
    virtual std::optional<std::string> previousClipIDInSpannedClip() = 0;

    // Clip management, as far as the plug-in offers it.
    virtual bool isDeletable() = 0;
    virtual bool deleteClip() = 0;
    virtual bool isMediaFileCopyable() = 0;
    virtual bool limitedPlayback() = 0;
    virtual void willUnmount() = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug

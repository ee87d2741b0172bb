#pragma once
// One clip as the host sees it: identity, names, timing, picture and sound
// properties, device metadata, the files to copy on import, a format reader
// for playback and an ingest object for import. It owns the clip's host
// sample model, made once with the clip's files closed again at once.
// Thread safety: properties read the clip (its own lock) and the movie (the
// movie lock); the class-wide message token is guarded by the class.
#include "AudioStreamBasicDescription.h"
#include "CFBCClip.h"
#include "CUSharedPtr.h"
#include "FBCMovieSampleForFCPX.h"
#include "MIORADClipDataSourceProtocol.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

class FBCFormatClip : public MIORADClipDataSourceProtocol,
                      public std::enable_shared_from_this<FBCFormatClip> {
public:
    // The clip's coding values as the clip information block stores them
    // (tags 7, 30, 8, 29); empty when absent.
    struct Coding {
        std::optional<uint32_t> videoFormat;    // 1 1920x1080, 2 1280x720, 3 1440x1080
        std::optional<uint32_t> recordingRate;  // 1 25, 2 35, 3 50 Mbps
        std::optional<uint32_t> frameRate;      // _Frame_Rate
        std::optional<uint32_t> cbrFlag;        // 0 VBR, 1 CBR
    };

    // A descriptor of `clip`, or null without a clip information file path
    // or when the clip's movie cannot be made.
    static std::shared_ptr<FBCFormatClip> initWithClip(const CUSharedPtr<CFBCClip>& clip);
    static std::shared_ptr<FBCFormatClip> clipWithClip(const CUSharedPtr<CFBCClip>& clip) {
        return initWithClip(clip);
    }
    // Drops the class-wide message token (the principal's shutdown).
    static void terminateObject();

    ~FBCFormatClip() override;

    // The codec type for the coding values under host version `appVersion`
    // (FBCFormatUtility::GetAppVersion); 'qzz1' for every combination the
    // host has no decoder type for.
    static uint32_t CodecTypeForCoding(const Coding& coding, uint32_t appVersion);
    static uint32_t CodecTypeWithClip(const CUSharedPtr<CFBCClip>& clip);
    // "Vanto QZ 422 50Mbps 1080i59.94" and "50Mbps CBR 4:2:2 1920 x 1080 59.94i".
    static std::string FormatNameForCoding(const Coding& coding);
    static std::string DisplayFormatForCoding(const Coding& coding);
    static Coding CodingWithClip(const CUSharedPtr<CFBCClip>& clip);

    std::optional<std::string> clipID() override;
    std::optional<std::string> name() override;
    std::optional<std::string> format() override;
    std::optional<std::string> sourceFormatName() override;
    uint32_t sourceFormat() override;
    uint32_t decodePixelFormat() override;
    std::optional<std::string> displayFormat() override;

    bool isSupportPreview() override;
    void* ingestObjectRefCon() override;
    std::shared_ptr<MIORADFormatReaderProtocol> formatReader() override;
    // An ingest object when the clip's files are there; otherwise null, and
    // "IDS_FCP_CLIP_INVALID" shown once per host event cycle.
    std::shared_ptr<MIORADIngestObject> ingestObject() override;
    CFHolder<CFArrayRef> ingestSourceFiles() override;

    bool isDropFrame() override;
    uint32_t mediaDuration() override;
    std::optional<std::string> mediaStart() override;
    double transportRate() override;
    double shootingRate() override;
    int32_t pulldown() override;
    bool canSetInOut() override;

    uint32_t videoBitrate() override;
    uint32_t videoWidth() override;
    uint32_t videoHeight() override;
    // The MXF bytes less the audio's share; never below 0 (a member file
    // may be missing while the audio share counts the whole duration).
    double videoDataSize() override;
    bool anamorphic() override;
    uint32_t sampleRate() override;
    uint32_t bitsPerSample() override;
    uint32_t numberOfAudioChannels() override;
    double dataSizeForAudioChannelIndex(uint32_t channel) override;
    const AudioStreamBasicDescription* audioStreamBasicDescription() override;
    const AudioChannelLayout* audioChannelLayout(size_t* size) override;
    const void* audioMagicCookie(size_t* size) override;
    CFHolder<CFDictionaryRef> stereoMixDown() override;

    std::optional<double> creationDate() override;
    std::optional<double> lastChangeDate() override;
    std::optional<std::string> deviceManufacturer() override;
    std::optional<std::string> deviceModelName() override;
    std::optional<std::string> deviceSerialNumber() override;
    std::optional<std::string> creator() override;

    std::optional<std::string> scene() override;
    std::optional<std::string> shot() override;
    std::optional<std::string> reelName() override;
    std::optional<std::string> logNote() override;
    std::optional<std::string> clipDescription() override;
    std::optional<std::string> angle() override;
    CFHolder<CFDictionaryRef> extendedProperties() override;
    CFHolder<CFDictionaryRef> metadata() override;
    std::optional<std::string> spannedClipID() override;
    std::optional<std::string> nextClipIDInSpannedClip() override;
    std::optional<std::string> previousClipIDInSpannedClip() override;

    bool isDeletable() override;
    bool deleteClip() override;
    bool isMediaFileCopyable() override;
    bool limitedPlayback() override;
    // Closes the movie's MXF files; they open again on the next request.
    void willUnmount() override;

    const CUSharedPtr<CFBCClip>& clip() const { return _clip; }
    const CUSharedPtr<FBCMovieSampleForFCPX>& movie() const { return _FBCMovie; }

private:
    FBCFormatClip();

    std::optional<uint64_t> number(_ClipValueTag tag) const;
    std::optional<std::string> trimmed(_ClipValueTag tag) const;

    CUSharedPtr<CFBCClip> _clip;
    std::optional<std::string> _clipID;
    std::string _clipPath;
    CUSharedPtr<FBCMovieSampleForFCPX> _FBCMovie;
    bool _dropFrame = false;
    std::unique_ptr<AudioStreamBasicDescription> _audioDescription;
    uint32_t _cType = kFBCDefaultCodecType;
    bool _isSupportPreview = true;
};

}  // namespace ComVantoVantoQZ64RADPlug

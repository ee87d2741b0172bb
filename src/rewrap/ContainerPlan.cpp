#include "ContainerPlan.h"

#include "ImportError.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <numeric>

namespace qzrewrap {

namespace {

Rational Reduced(int64_t num, int64_t den) {
    const int64_t divisor = std::gcd(num, den);
    return divisor == 0 ? Rational{num, den} : Rational{num / divisor, den / divisor};
}

struct Timecode {
    unsigned hours = 0, minutes = 0, seconds = 0, frames = 0;
};

// "HH:MM:SS:FF" or "HH:MM:SS;FF" (also '.' or ',' before the frames, as
// drop-frame timecode is sometimes written) with every field in range.
bool ParseTimecode(const std::string& text, unsigned labelsPerSecond, Timecode& timecode) {
    char separator = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%2u:%2u:%2u%c%2u%n", &timecode.hours, &timecode.minutes, &timecode.seconds,
                    &separator, &timecode.frames, &used) != 5 ||
        static_cast<size_t>(used) != text.size())
        return false;
    return (separator == ':' || separator == ';' || separator == '.' || separator == ',') &&
           timecode.hours < 24 && timecode.minutes < 60 && timecode.seconds < 60 &&
           timecode.frames < labelsPerSecond;
}

std::string TimecodeText(const Timecode& t, bool dropFrame) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u%c%02u", t.hours % 100, t.minutes % 100, t.seconds % 100,
                  dropFrame ? ';' : ':', t.frames % 100);
    return text;
}

// The sound streams: one mono stream per track, or stereo streams of
// tracks 1+2, 3+4, ... (a last odd track stays mono).
std::vector<SoundStream> SoundStreams(uint32_t tracks, bool stereoPairs) {
    std::vector<SoundStream> streams;
    for (uint32_t t = 0; t < tracks; t += stereoPairs ? 2 : 1)
        streams.push_back({t, stereoPairs && t + 1 < tracks ? 2u : 1u});
    return streams;
}

std::vector<std::pair<std::string, std::string>> Metadata(Container container,
                                                          const qzimport::ExportStreamInfo& stream) {
    std::vector<std::pair<std::string, std::string>> metadata;
    auto add = [&](const std::string& key, const std::string& value) {
        if (!value.empty()) metadata.emplace_back(key, value);
    };
    if (container == Container::kMxf) {
        // What libavformat's MXF writer carries: package names, the reel
        // (a physical source package named after the medium) and the date.
        const std::string title = stream.MetadataValue("title");
        add("material_package_name", title.empty() ? stream.clipId : title);
        add("file_package_name", stream.clipId);
        add("reel_name", stream.MetadataValue("mediumId"));
        add("creation_time", stream.MetadataValue("creationTime"));
        return metadata;
    }
    // Keys a QuickTime 'keys' list stores as they are: libavformat's names
    // where it has one (title, make, model, creation_time, location, which
    // it also writes to the movie header and a 'loci' atom), else ours.
    static const std::pair<const char*, const char*> kMovKeys[] = {
        {"title", "title"},
        {"creator", "creator"},
        {"description", "description"},
        {"clipId", "clip_id"},
        {"mediumId", "medium_id"},
        {"umid", "umid"},
        {"manufacturer", "make"},
        {"model", "model"},
        {"serialNumber", "serial_number"},
        {"creationTime", "creation_time"},
        {"location", "location"},
    };
    for (const auto& [ours, key] : kMovKeys) add(key, stream.MetadataValue(ours));
    if (stream.MetadataValue("clipId").empty()) add("clip_id", stream.clipId);
    return metadata;
}

}  // namespace

std::string ContainerName(Container container) {
    return container == Container::kMxf ? "mxf" : "mov";
}

std::string MovCodecTag(const std::string& codecType) {
    const bool quickTimeMpeg2 =
        codecType.size() == 4 &&
        (codecType.compare(0, 3, "xd5") == 0 || codecType.compare(0, 3, "xdv") == 0 ||
         codecType.compare(0, 3, "hdv") == 0) &&
        ((codecType[3] >= '0' && codecType[3] <= '9') || (codecType[3] >= 'a' && codecType[3] <= 'f'));
    return quickTimeMpeg2 ? codecType : "m2v1";
}

ContainerPlan PlanContainer(Container container, const qzimport::ExportStreamInfo& stream,
                            const qzimport::OutputOptions& options) {
    if (stream.timescale <= 0 || stream.frameDuration <= 0)
        throw qzimport::ImportError("the stream has no picture rate (timescale " +
                                    std::to_string(stream.timescale) + ", frame duration " +
                                    std::to_string(stream.frameDuration) + ")");
    // libavformat keeps times and rates as int fractions.
    if (stream.timescale > INT_MAX || stream.frameDuration > INT_MAX || stream.sampleRate == 0 ||
        stream.sampleRate > INT_MAX)
        throw qzimport::ImportError("the stream's time scale or sound sampling rate is out of range");
    if (stream.width == 0 || stream.height == 0 || stream.displayAspectWidth == 0 ||
        stream.displayAspectHeight == 0)
        throw qzimport::ImportError("the stream has no picture size or display aspect");
    if (stream.bitsPerSample != 16 && stream.bitsPerSample != 24)
        throw qzimport::ImportError(std::to_string(stream.bitsPerSample) +
                                    "-bit sound cannot be written (16 or 24 bits)");
    ContainerPlan plan;
    plan.container = container;
    if (container == Container::kMov) plan.codecTag = MovCodecTag(stream.codecType);
    plan.pixelAspect = Reduced(int64_t{stream.displayAspectWidth} * stream.height,
                               int64_t{stream.displayAspectHeight} * stream.width);
    plan.fieldOrder = !stream.interlaced     ? FieldOrder::kProgressive
                      : stream.topFieldFirst ? FieldOrder::kTopFieldFirst
                                             : FieldOrder::kBottomFieldFirst;
    plan.sound = SoundStreams(stream.soundTracks, options.stereoPairs);
    plan.reelName = stream.MetadataValue("mediumId");
    plan.metadata = Metadata(container, stream);

    if (!stream.startTimecode.empty()) {
        const int64_t perLabel = stream.picturesPerTimecodeFrame == 2 ? 2 : 1;
        const Rational labelRate = Reduced(stream.timescale, stream.frameDuration * perLabel);
        const auto labelsPerSecond =
            static_cast<unsigned>((labelRate.num + labelRate.den - 1) / labelRate.den);
        Timecode start;
        if (!ParseTimecode(stream.startTimecode, labelsPerSecond, start))
            throw qzimport::ImportError("the start timecode \"" + stream.startTimecode +
                                        "\" is no timecode at " + std::to_string(labelsPerSecond) +
                                        " frames per second");
        if (stream.dropFrame && !(labelRate.den == 1001 && (labelsPerSecond == 30 || labelsPerSecond == 60)))
            throw qzimport::ImportError("drop-frame timecode at " + std::to_string(labelsPerSecond) +
                                        " frames per second");
        if (container == Container::kMxf) {
            start.frames = start.frames * static_cast<unsigned>(perLabel) +
                           std::min(stream.pictureInTimecodeFrame, static_cast<uint32_t>(perLabel - 1));
            plan.timecodeRate = Reduced(stream.timescale, stream.frameDuration);
        } else {
            plan.timecodeRate = labelRate;
        }
        plan.timecode = TimecodeText(start, stream.dropFrame);
    }
    return plan;
}

}  // namespace qzrewrap

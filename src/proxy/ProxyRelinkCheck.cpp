#include "ProxyRelinkCheck.h"

#include "ContainerPlan.h"
#include "LibavMessages.h"
#include "ProxyPicture.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/rational.h>
}

#include <filesystem>
#include <memory>
#include <numeric>

namespace qzproxy {

namespace {

struct InputClose {
    void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};

// A movie that says nothing of its fields (no 'fiel') has one field a
// picture, as QuickTime and editors read it.
std::string FieldOrderText(AVFieldOrder order) {
    switch (order) {
        case AV_FIELD_PROGRESSIVE:
        case AV_FIELD_UNKNOWN:
            return "progressive";
        case AV_FIELD_TT:
        case AV_FIELD_TB:
            return "top field first";
        case AV_FIELD_BB:
        case AV_FIELD_BT:
            return "bottom field first";
        default:
            return "unknown";
    }
}

std::string RatioText(int64_t num, int64_t den, const char* between) {
    const int64_t common = std::gcd(num, den);
    if (common == 0) return "none";
    return std::to_string(num / common) + between + std::to_string(den / common);
}

// The first value of `key` in the streams' metadata, the video stream's
// first (libavformat gives the timecode track's values to both).
std::string StreamTag(const AVFormatContext& format, const char* key) {
    for (unsigned s = 0; s < format.nb_streams; ++s)
        if (const AVDictionaryEntry* entry = av_dict_get(format.streams[s]->metadata, key, nullptr, 0))
            return entry->value;
    return std::string();
}

std::string SoundText(const std::vector<int>& channels) {
    int total = 0;
    for (int c : channels) total += c;
    std::string text = std::to_string(total) + (total == 1 ? " channel in " : " channels in ") +
                       std::to_string(channels.size()) + (channels.size() == 1 ? " track" : " tracks");
    return text;
}

}  // namespace

std::vector<std::string> ProxyRelinkCheck::Compare(const std::string& path,
                                                   const qzimport::ExportStreamInfo& stream,
                                                   const qzimport::OutputOptions& options) {
    const std::string name = std::filesystem::path(path).filename().string();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return {name + ": no such proxy"};

    // What the proxy was to keep, decided as its writer decides it.
    const qzrewrap::ContainerPlan plan = qzrewrap::PlanContainer(qzrewrap::Container::kMov, stream, options);
    const ProxyPicture picture = PlanProxyPicture(options, stream);

    qzrewrap::LibavMessages messages;
    AVFormatContext* opened = nullptr;
    // The container's own values, as the file's headers state them: stream
    // information is not probed, so nothing is decoded.
    const int result =
        messages.During([&] { return avformat_open_input(&opened, path.c_str(), nullptr, nullptr); });
    if (result < 0) return {messages.Describe(name + ": cannot be read", result)};
    const std::unique_ptr<AVFormatContext, InputClose> format(opened);
    messages.Listen(opened);

    const AVStream* video = nullptr;
    std::vector<int> soundChannels;
    for (unsigned s = 0; s < format->nb_streams; ++s) {
        const AVStream* st = format->streams[s];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !video) video = st;
        if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            soundChannels.push_back(st->codecpar->ch_layout.nb_channels);
    }
    if (!video) return {name + ": no pictures"};

    std::vector<std::string> differ;
    const auto compare = [&differ](const char* what, const std::string& found, const std::string& original) {
        if (found != original)
            differ.push_back(std::string(what) + ": " + (found.empty() ? "none" : found) + ", the original " +
                             (original.empty() ? "none" : original));
    };
    compare("start timecode", StreamTag(*format, "timecode"), plan.timecode);
    compare("reel", StreamTag(*format, "reel_name"), plan.reelName);
    compare("duration", std::to_string(video->nb_frames) + " pictures",
            std::to_string(stream.frames) + " pictures");
    compare("rate", RatioText(video->avg_frame_rate.num, video->avg_frame_rate.den, "/"),
            RatioText(stream.timescale, stream.frameDuration, "/"));
    const AVFieldOrder fields = !picture.interlaced     ? AV_FIELD_PROGRESSIVE
                                : picture.topFieldFirst ? AV_FIELD_TB
                                                        : AV_FIELD_BT;
    compare("field order", FieldOrderText(video->codecpar->field_order), FieldOrderText(fields));
    std::vector<int> planned;
    for (const qzrewrap::SoundStream& sound : plan.sound) planned.push_back(static_cast<int>(sound.channels));
    compare("sound", SoundText(soundChannels), SoundText(planned));
    // The display aspect: the picture's size times its pixel aspect.
    AVRational pixel = video->sample_aspect_ratio.num > 0 ? video->sample_aspect_ratio
                                                          : video->codecpar->sample_aspect_ratio;
    if (pixel.num <= 0 || pixel.den <= 0) pixel = AVRational{1, 1};
    compare("display aspect",
            RatioText(int64_t{video->codecpar->width} * pixel.num,
                      int64_t{video->codecpar->height} * pixel.den, ":"),
            RatioText(stream.displayAspectWidth, stream.displayAspectHeight, ":"));
    return differ;
}

}  // namespace qzproxy

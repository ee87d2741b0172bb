#pragma once
// Helpers of the plug-in tests: opening written clips (written with
// ScratchClip.h, patched with FileBytes.h) through the host sample model and
// reading back what its sample buffers hold.
#include "CFBoolean.h"
#include "CFHolder.h"
#include "CUArray.h"
#include "CUStringMac.h"
#include "FBCFormatClip.h"
#include "FBCFormatReader.h"
#include "FBCFormatUtility.h"
#include "FBCMovieSampleForFCPX.h"
#include "FBCTrackReader.h"
#include "FileBytes.h"
#include "HostAlert.h"
#include "HostBundle.h"
#include "ScratchClip.h"
#include "ToneGenerator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace plugin_test {

namespace qz = ComVantoVantoQZ64RADPlug;
namespace cw = qz::CardWriter;

using SampleHolder = qz::CFHolder<qz::CMSampleBufferRef>;

inline qz::CUSharedPtr<qz::FBCMovieSampleForFCPX> Open(const std::string& path,
                                                       qz::CFStringRef formatName = nullptr,
                                                       uint32_t codec = qz::kFBCDefaultCodecType) {
    return qz::FBCMovieSampleForFCPX::Create(qz::CUStringMac::Create(path.c_str()), formatName, codec);
}

// The track reader of `mediaType` a format reader offers, or null.
inline std::shared_ptr<qz::FBCTrackReader> TrackOf(qz::MIORADFormatReaderProtocol& reader,
                                                   qz::FourCharCode mediaType) {
    for (const auto& track : reader.trackReaders())
        if (track->mediaType() == mediaType) return std::dynamic_pointer_cast<qz::FBCTrackReader>(track);
    return nullptr;
}

inline qz::CFHolder<qz::CFStringRef> String(const char* text) {
    return qz::CFHolder<qz::CFStringRef>::Adopt(
        qz::CFStringCreateWithCString(nullptr, text, qz::kCFStringEncodingUTF8));
}

// A four-character code as its text.
inline std::string Text(uint32_t code) {
    return {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
}

// The bytes a sample buffer's block buffer holds (empty without one).
inline std::vector<uint8_t> BytesOf(qz::CMSampleBufferRef sample) {
    qz::CMBlockBufferRef block = sample ? qz::CMSampleBufferGetDataBuffer(sample) : nullptr;
    if (!block) return {};
    std::vector<uint8_t> bytes(qz::CMBlockBufferGetDataLength(block));
    if (!bytes.empty()) {
        EXPECT_EQ(qz::CMBlockBufferCopyDataBytes(block, 0, bytes.size(), bytes.data()), 0);
    }
    return bytes;
}

// Interleaved 16-bit samples of tone channels 0 to `channels` - 1 from
// absolute sample `first`, `count` samples, as the card writer generated them.
inline std::vector<uint8_t> Tones(int64_t first, int64_t count, int channels = 2) {
    std::vector<uint8_t> bytes;
    for (int64_t i = 0; i < count; ++i)
        for (int c = 0; c < channels; ++c) {
            const int32_t v = cw::ToneGenerator::Sample(c, first + i, 16);
            bytes.push_back(static_cast<uint8_t>(v));
            bytes.push_back(static_cast<uint8_t>(v >> 8));
        }
    return bytes;
}

// The whole audio of a frame (from its first sample to its end).
inline SampleHolder FrameAudio(qz::FBCMovieSampleForFCPX& movie, int64_t frame) {
    return SampleHolder::Adopt(movie.createAudioSampleBufferAtIndex(frame, 0, qz::kCMTimePositiveInfinity));
}

inline bool BooleanAttachment(qz::CMSampleBufferRef sample, qz::CFStringRef key) {
    qz::CFArrayRef attachments = qz::CMSampleBufferGetSampleAttachmentsArray(sample, false);
    if (!attachments || qz::CFArrayGetCount(attachments) < 1) return false;
    auto dictionary = qz::CFCast<qz::CFDictionary>(qz::CFArrayGetValueAtIndex(attachments, 0));
    auto value = qz::CFCast<qz::CFBoolean>(qz::CFDictionaryGetValue(dictionary, key));
    EXPECT_TRUE(value) << qz::CFStringGetStdString(key);
    return value && value->Value();
}

// The descriptor of the first clip of the card at `root` (the card stays
// open while the descriptor lives through its clip), or null.
inline std::shared_ptr<qz::FBCFormatClip> FirstClipDescriptor(const std::string& root) {
    qz::CUSharedPtr<qz::CFBCContent> media = qz::FBCFormatUtility::FBCMediaWithPath(root);
    if (!media || media->GetClipCnt() == 0) return nullptr;
    return qz::FBCFormatClip::initWithClip(
        qz::CUDynamicCast<qz::CFBCClip>(media->ClipList()->ObjectAtIndex(0)));
}

// The alerts shown while it lives (title, message), in order.
struct AlertRecorder {
    std::vector<std::pair<std::string, std::string>> alerts;
    AlertRecorder() {
        qz::HostAlert::SetPresenter([this](const std::string& title, const std::string& message) {
            alerts.emplace_back(title, message);
        });
    }
    ~AlertRecorder() { qz::HostAlert::SetPresenter(nullptr); }
};

// A copy of the built plug-in bundle in a scratch folder, which tests may
// change before registering it (a later registration replaces an earlier).
struct BundleCopy {
    qztest::ScratchFolder folder{"bundle-copy"};
    std::filesystem::path root = std::filesystem::path(folder.Path()) / "FBCFormatRADPlugin.bundle";
    BundleCopy() { std::filesystem::copy(QZ_PLUGIN_BUNDLE, root, std::filesystem::copy_options::recursive); }
    void Write(const std::string& relative, const std::string& text) const {
        std::ofstream(root / relative, std::ios::binary | std::ios::trunc) << text;
    }
    std::shared_ptr<qz::HostBundle> Register() const { return qz::HostBundle::BundleWithPath(root.string()); }
};

// A strings table of the bundle's three keys, with the texts given.
inline std::string StringsTable(const std::string& invalid, const std::string& title,
                                const std::string& message) {
    auto entry = [](const char* key, const std::string& text) {
        return "<key>" + std::string(key) + "</key><string>" + text + "</string>";
    };
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" +
           entry("IDS_FCP_CLIP_INVALID", invalid) + entry("IDS_FCP_CLIP_ERR_TITLE", title) +
           entry("IDS_FCP_CLIP_ERR_MESSAGE", message) + "</dict></plist>\n";
}

}  // namespace plugin_test

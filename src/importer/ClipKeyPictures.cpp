#include "ClipKeyPictures.h"

#include "ClipIngest.h"
#include "ImportError.h"
#include "Mpeg2Headers.h"

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

ClipKeyPictures::ClipKeyPictures(MIORADClipDataSourceProtocol& descriptor, CFBCClip& clip)
    : m_ingest(std::make_unique<ClipIngest>(descriptor, clip)) {}

ClipKeyPictures::~ClipKeyPictures() = default;

uint32_t ClipKeyPictures::FrameCount() const {
    return m_ingest->FrameCount();
}

int64_t ClipKeyPictures::Timescale() const {
    return m_ingest->Timescale();
}

int64_t ClipKeyPictures::FrameDuration() const {
    return m_ingest->FrameDuration();
}

KeyPicture ClipKeyPictures::At(uint32_t point) {
    if (point >= FrameCount()) throw ImportError("the clip has no picture " + std::to_string(point));
    // The plug-in starts an import at the I picture it decodes the point
    // from; that group's I pictures are looked at for the last one
    // presented at or before the point.
    m_ingest->SetRange(point, point);
    KeyPicture found;
    m_ingest->Run([&](const IngestRecord& record) {
        if (record.pictureType != Mpeg2Headers::kIntraPicture) return true;
        const int64_t shown = record.presentationTime / m_ingest->FrameDuration();
        const bool better =
            found.frame < 0 || (shown <= point && (found.frame > point || shown > found.frame));
        if (!better) return true;
        found.frame = shown;
        found.decodeFrame = record.index;
        found.bytes.assign(record.picture, record.picture + record.pictureSize);
        return true;
    });
    if (found.frame < 0)
        throw ImportError("the plug-in delivers no I picture for picture " + std::to_string(point));
    const std::string timecode = m_ingest->TimecodeOfSlot(static_cast<uint32_t>(found.frame));
    found.timecode = timecode == "-" ? std::string() : timecode;
    if (found.decodeFrame != 0)
        found.bytes = WithSequenceHeaders(std::move(found.bytes), FirstSequenceHeaders());
    return found;
}

std::vector<uint8_t> ClipKeyPictures::WithSequenceHeaders(std::vector<uint8_t> picture,
                                                          const std::vector<uint8_t>& headers) {
    if (Mpeg2Headers::StartsWithSequenceHeader(picture.data(), picture.size())) return picture;
    picture.insert(picture.begin(), headers.begin(), headers.end());
    return picture;
}

const std::vector<uint8_t>& ClipKeyPictures::FirstSequenceHeaders() {
    if (m_firstHeadersRead) return m_firstHeaders;
    m_firstHeadersRead = true;
    m_ingest->SetRange(0, 0);
    bool first = true;
    m_ingest->Run([&](const IngestRecord& record) {
        if (!first || record.index != 0) return true;
        first = false;
        const size_t length = Mpeg2Headers::SequenceHeadersLength(record.picture, record.pictureSize);
        m_firstHeaders.assign(record.picture, record.picture + length);
        return false;  // the first picture's headers are all that is wanted
    });
    return m_firstHeaders;
}

}  // namespace qzimport

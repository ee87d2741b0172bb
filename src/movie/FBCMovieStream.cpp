#include "FBCMovieStream.h"

#include "CIFStream.h"
#include "CUArray.h"
#include "CUAutoLock.h"
#include "CUFile.h"
#include "CUNumber.h"
#include "CUStringMac.h"
#include "FBC_Utl_ClipMemberFilePath.h"
#include "FBC_Utl_Path.h"
#include "HeaderMetadata.h"
#include "MDValue.h"
#include "MXFStream.h"
#include "MemberStreamInfo.h"
#include "MovieValueReading.h"
#include "MxfLabels.h"
#include "STMetadataSets.h"
#include "STTrack.h"

#include <algorithm>
#include <limits>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// Display offsets kept before the map is started afresh (a few bytes each).
constexpr size_t kMaxKeptDisplayOffsets = size_t{1} << 16;

std::string PathText(const CUSharedPtr<CUStringMac>& path) {
    return path ? path->Utf8() : std::string();
}

}  // namespace

FBCMovieStream::FBCMovieStream() = default;

FBCMovieStream::~FBCMovieStream() = default;

CUSharedPtr<FBCMovieStream> FBCMovieStream::Create(const CUSharedPtr<CUStringMac>& path) {
    CUSharedPtr<FBCMovieStream> movie(new FBCMovieStream());
    if (!movie->Init(path)) return CUSharedPtr<FBCMovieStream>();
    return movie;
}

bool FBCMovieStream::Init(const CUSharedPtr<CUStringMac>& path) {
    CUAutoLock lock(&m_lock);
    m_frameCount = 0;
    m_lastAccess = nullptr;
    m_streamInfos.clear();
    m_displayOffsets.clear();
    m_failure = CUFailure();
    CUStringMac extension;
    if (!path || path->PathGetExtension(extension) != 0) {
        SetFailure(CUFailure(kMovieErrReadFailed, "the clip path has no extension", PathText(path)));
        return false;
    }
    bool built = false;
    if (extension.Equals(CUStringMac(".MXF"), kCUStringCompareCaseInsensitive)) {
        built = InitWithMXF(path);
    } else if (extension.Equals(CUStringMac(".CIF"), kCUStringCompareCaseInsensitive)) {
        built = InitWithCIF(path);
    } else {
        SetFailure(CUFailure(kMovieErrReadFailed, "neither a clip information file nor an MXF file",
                             PathText(path)));
    }
    if (!built) {
        m_streamInfos.clear();
        m_frameCount = 0;
        return false;
    }
    if (!UpdateMovieTrack()) return false;
    UpdateTimecodeInfo();
    return true;
}

bool FBCMovieStream::InitWithCIF(const CUSharedPtr<CUStringMac>& path) {
    CUAutoLock lock(&m_lock);
    const std::string file = PathText(path);
    uint32_t result = 0;
    CUSharedPtr<CIFStream> cif = CIFStream::Create(path, &result);
    if (!cif) {
        SetFailure(CUFailure(result ? result : kMovieErrReadFailed,
                             "the clip information file cannot be read", file));
        return false;
    }
    CUSharedPtr<CUNumber> duration = CUDynamicCast<CUNumber>(cif->ValueForTag(kCIFValueDuration));
    CUSharedPtr<CUArray> members = CUDynamicCast<CUArray>(cif->ValueForTag(kCIFValueMemberStreams));
    CUSharedPtr<CUStringMac> name = FBC_Utl_PathGetFileNameNoExtension(path);
    CUSharedPtr<CUStringMac> folder = FBC_Utl_RemoveLastComponent(path);
    CUSharedPtr<CUArray> paths;
    if (members && name && folder)
        paths = FBC_Utl_MakeClipMemberFilePathsFromMemberStreamInfo(folder, CFBCClip_MXFFileNameFormat, name,
                                                                    members);
    if (!duration || !members || !paths || paths->Count() != members->Count() || members->Count() == 0) {
        SetFailure(
            CUFailure(kMovieErrReadFailed, "the clip information gives no duration or member files", file));
        return false;
    }
    // The running total is kept in 64 bits: frame indices of the clip are
    // 32-bit, so members beyond that range cannot be addressed.
    uint64_t total = 0;
    for (size_t i = 0; i < members->Count(); ++i) {
        CUSharedPtr<MemberStreamInfo> member = CUDynamicCast<MemberStreamInfo>(members->ObjectAtIndex(i));
        CUSharedPtr<CUStringMac> memberPath = CUDynamicCast<CUStringMac>(paths->ObjectAtIndex(i));
        if (!member || !memberPath) {
            SetFailure(CUFailure(kMovieErrReadFailed, "member file " + std::to_string(i + 1) + " has no path",
                                 file));
            return false;
        }
        if (total + member->frameCnt > std::numeric_limits<uint32_t>::max()) {
            SetFailure(
                CUFailure(kMovieErrReadFailed, "the member files hold more than 2^32 - 1 frames", file));
            return false;
        }
        _MxfStreamInfo info;
        info.startFrame = static_cast<uint32_t>(total);
        info.frameCount = member->frameCnt;
        info.path = memberPath;
        m_streamInfos.push_back(info);
        total += member->frameCnt;
    }
    // A stored duration beyond what the member files hold would name frames
    // that no file has.
    m_frameCount = static_cast<uint32_t>(std::min<uint64_t>(duration->UInt32Value(), total));
    return true;
}

bool FBCMovieStream::InitWithMXF(const CUSharedPtr<CUStringMac>& path) {
    CUAutoLock lock(&m_lock);
    const std::string file = PathText(path);
    CUSharedPtr<CUStringMac> copy = path ? CUSharedPtr<CUStringMac>(new CUStringMac(*path)) : path;
    CUSharedPtr<MXFStream> stream;
    CUFailure failure = movievalue::Guarded([&] {
        stream = CUSharedPtr<MXFStream>(new MXFStream(copy));
        if (stream->Parse() != 0) stream = nullptr;
    });
    if (!stream || failure.Failed()) {
        SetFailure(CUFailure(kMovieErrReadFailed, "the MXF file cannot be parsed", file));
        return false;
    }
    const int64_t duration = stream->Duration();
    if (duration < 0 || duration > std::numeric_limits<uint32_t>::max()) {
        SetFailure(CUFailure(kMovieErrReadFailed, "the MXF file's duration is out of range", file));
        return false;
    }
    _MxfStreamInfo info;
    info.frameCount = static_cast<uint32_t>(duration);
    info.path = copy;
    info.stream = stream;
    m_streamInfos.push_back(info);
    m_frameCount = info.frameCount;
    return true;
}

bool FBCMovieStream::UpdateMovieTrack() {
    CUAutoLock lock(&m_lock);
    m_trackInfos.clear();
    CUSharedPtr<MXFStream> stream = mxfAtFrameIndex(0);
    CUSharedPtr<HeaderMetadata> header = stream ? stream->GetHeaderMetadata() : CUSharedPtr<HeaderMetadata>();
    if (!header) {
        if (!m_failure.Failed())
            SetFailure(CUFailure(kMovieErrReadFailed, "the clip's first MXF file has no header metadata"));
        return false;
    }
    const uint32_t count = header->TrackCount(0);
    uint32_t counters[4] = {0, 0, 0, 0};
    for (uint32_t i = 0; i < count; ++i) {
        _MxfTrackInfo info;
        movievalue::Guarded([&] { info.track = header->TrackForIndex(i, 0); });
        CUSharedPtr<MxfUUID> definition = info.track ? info.track->DataDefinition() : CUSharedPtr<MxfUUID>();
        if (definition && *definition == FBC_UL_12MTimecodeTrack)
            info.type = kMxfTrackTimecode;
        else if (definition && *definition == FBC_UL_PictureEssenceTrack)
            info.type = kMxfTrackPicture;
        else if (definition && *definition == FBC_UL_SoundEssenceTrack)
            info.type = kMxfTrackSound;
        info.number = counters[info.type]++;
        m_trackInfos.push_back(info);
    }
    return m_trackInfos.size() == count;
}

bool FBCMovieStream::UpdateTimecodeInfo() {
    CUAutoLock lock(&m_lock);
    _MxfTrackInfo* info = MxfTrackInfoFromType(kMxfTrackTimecode, 0);
    if (!info || !info->track) return false;
    const STTrack& track = *info->track;
    const CUFailure failure = movievalue::Guarded([&] {
        movievalue::Read(track, kLocalTag_RoundedTimecodeBase, m_roundedTimecodeBase);
        movievalue::Read(track, kLocalTag_StartTimecode, m_startTimecode);
        uint8_t dropFrame = 0;
        if (movievalue::Read(track, kLocalTag_DropFrame, dropFrame) && dropFrame != 0) m_dropFrame = true;
    });
    return !failure.Failed();
}

uint32_t FBCMovieStream::FrameCountInClip() const {
    CUAutoLock lock(&m_lock);
    return m_frameCount;
}

_MxfStreamInfo* FBCMovieStream::StreamInfoAtIndex(int64_t index) {
    if (index < 0 || static_cast<uint64_t>(index) >= m_streamInfos.size()) return nullptr;
    return &m_streamInfos[static_cast<size_t>(index)];
}

_MxfTrackInfo* FBCMovieStream::MxfTrackInfoFromType(_MxfTrackType type, uint32_t number) {
    for (_MxfTrackInfo& info : m_trackInfos)
        if (info.type == type && info.number == number) return &info;
    return nullptr;
}

uint32_t FBCMovieStream::trackCountFromType(_MxfTrackType type) const {
    CUAutoLock lock(&m_lock);
    return static_cast<uint32_t>(
        std::count_if(m_trackInfos.begin(), m_trackInfos.end(),
                      [type](const _MxfTrackInfo& info) { return info.type == type; }));
}

int32_t FBCMovieStream::trackIndexFromType(_MxfTrackType type, uint32_t number) const {
    CUAutoLock lock(&m_lock);
    for (size_t i = 0; i < m_trackInfos.size(); ++i)
        if (m_trackInfos[i].type == type && m_trackInfos[i].number == number) return static_cast<int32_t>(i);
    return -1;
}

CUSharedPtr<MXFStream> FBCMovieStream::mxfAtFrameIndex(uint32_t frame, uint32_t* local) {
    CUAutoLock lock(&m_lock);
    if (frame >= m_frameCount) return CUSharedPtr<MXFStream>();
    auto holds = [frame](const _MxfStreamInfo& info) {
        return frame >= info.startFrame && frame - info.startFrame < info.frameCount;
    };
    if (!m_lastAccess || !holds(*m_lastAccess)) {
        _MxfStreamInfo* previous = m_lastAccess;
        m_lastAccess = nullptr;
        for (_MxfStreamInfo& info : m_streamInfos) {
            if (holds(info)) {
                m_lastAccess = &info;
                break;
            }
        }
        if (!m_lastAccess) return CUSharedPtr<MXFStream>();
        // Moving on to a later file, as an import does: the file left
        // behind gives its block cache back, so the next file reuses that
        // memory instead of taking a fresh cache of the pool.
        if (previous && previous->stream && previous->startFrame < m_lastAccess->startFrame)
            previous->stream->ReleaseBlockCache();
    }
    _MxfStreamInfo& info = *m_lastAccess;
    const uint32_t edit = frame - info.startFrame;
    if (local) *local = edit;
    if (info.unreadable.Failed()) {
        SetFailure(info.unreadable);
        return CUSharedPtr<MXFStream>();
    }
    if (!info.stream) {
        CUSharedPtr<MXFStream> stream;
        CUFailure why;
        const CUFailure failure = movievalue::Guarded([&] {
            if (!CUFile::Exists(info.path)) return;
            stream = CUSharedPtr<MXFStream>(new MXFStream(info.path));
            if (stream->Parse() != 0) why = stream->LastFailure(), stream = nullptr;
        });
        if (!stream || failure.Failed()) {
            // A file that is not there is missing, not unparsable.
            const bool missing = !failure.Failed() && !why.Failed();
            const CUFailure& reason = failure.Failed() ? failure : why;
            // Parsing it again for every frame would cost a whole parse per
            // lookup and find the same.
            info.unreadable =
                CUFailure(kMovieErrReadFailed,
                          missing ? std::string("the MXF file is missing")
                                  : "the MXF file cannot be parsed: " + reason.What(),
                          PathText(info.path), missing ? CUFailure::kNoOffset : reason.Offset());
            SetFailure(info.unreadable);
            return CUSharedPtr<MXFStream>();
        }
        // Frames are asked for in order: the file is read front to back.
        stream->AdviseSequentialReading();
        info.stream = stream;
    }
    // The member list may promise more frames than the file holds.
    if (edit >= info.stream->Duration()) {
        SetFailure(CUFailure(kMovieErrReadFailed,
                             "frame " + std::to_string(frame) + " lies past the end of the file's " +
                                 std::to_string(info.stream->Duration()) + " edit units",
                             PathText(info.path)));
        return CUSharedPtr<MXFStream>();
    }
    return info.stream;
}

uint32_t FBCMovieStream::ReadSampleData(uint32_t frame, _MxfTrackType type, uint32_t number,
                                        unsigned char* buffer, uint32_t size) {
    CUAutoLock lock(&m_lock);
    if (!buffer || size == 0) return 0;
    const int32_t track = trackIndexFromType(type, number);
    if (track < 0) return 0;
    uint32_t local = 0;
    CUSharedPtr<MXFStream> stream = mxfAtFrameIndex(frame, &local);
    if (!stream) return 0;
    return stream->ReadEssenceData(local, static_cast<uint32_t>(track), buffer, size);
}

uint32_t FBCMovieStream::ReadSampleElements(uint32_t frame, _MxfTrackType type, uint32_t number,
                                            uint32_t count, unsigned char* buffer, uint32_t size,
                                            MXFEssenceRange* values, bool pastCache) {
    CUAutoLock lock(&m_lock);
    if (!buffer || size == 0 || count == 0) return 0;
    const int32_t first = trackIndexFromType(type, number);
    if (first < 0) return 0;
    // The tracks must be consecutive elements of the edit unit.
    for (uint32_t k = 1; k < count; ++k)
        if (trackIndexFromType(type, number + k) != first + static_cast<int32_t>(k)) return 0;
    uint32_t local = 0;
    CUSharedPtr<MXFStream> stream = mxfAtFrameIndex(frame, &local);
    if (!stream) return 0;
    return stream->ReadEssenceElements(local, static_cast<uint32_t>(first), count, buffer, size, values,
                                       pastCache);
}

bool FBCMovieStream::FrameInfoAtIndex(uint32_t frame, int8_t* temporalOffset, int8_t* keyFrameOffset,
                                      uint8_t* flags) {
    CUAutoLock lock(&m_lock);
    if (frame >= m_frameCount) return false;
    uint32_t local = 0;
    CUSharedPtr<MXFStream> stream = mxfAtFrameIndex(frame, &local);
    if (!stream) return false;
    if (temporalOffset && !stream->GetTemporalOffsetAtIndex(local, *temporalOffset)) return false;
    if (keyFrameOffset && !stream->GetKeyOffsetAtIndex(local, *keyFrameOffset)) return false;
    if (flags && !stream->GetFlagsAtIndex(local, *flags)) return false;
    return true;
}

uint32_t FBCMovieStream::keyFrameAtIndex(uint32_t frame) {
    CUAutoLock lock(&m_lock);
    int8_t temporal = 0;
    if (!FrameInfoAtIndex(frame, &temporal)) return 0;
    const int64_t stored = int64_t{frame} + temporal;
    if (stored < 0 || stored >= m_frameCount) return 0;
    int8_t key = 0;
    if (!FrameInfoAtIndex(static_cast<uint32_t>(stored), nullptr, &key)) return 0;
    const int64_t keyFrame = stored + key;
    if (keyFrame < 0) return 0;
    return static_cast<uint32_t>(keyFrame);
}

int32_t FBCMovieStream::DisplayOffsetAtIndex(uint32_t frame) {
    CUAutoLock lock(&m_lock);
    auto found = m_displayOffsets.find(frame);
    if (found != m_displayOffsets.end()) return found->second;
    BuildDisplayOffsets(frame);
    found = m_displayOffsets.find(frame);
    return found != m_displayOffsets.end() ? found->second : 0;
}

void FBCMovieStream::BuildDisplayOffsets(uint32_t frame) {
    uint32_t local = 0;
    CUSharedPtr<MXFStream> stream = mxfAtFrameIndex(frame, &local);
    if (!stream || !m_lastAccess) return;
    const int64_t fileStart = m_lastAccess->startFrame;
    // The walk stays inside this file's part of the clip: the member list may
    // give the file fewer frames than it holds, and entries past them belong
    // to the next file's frames.
    const int64_t end = std::min<int64_t>(m_lastAccess->frameCount, stream->Duration());
    // Entry e names the picture displayed at e, stored at e + t with an 8-bit
    // t: the entry naming stored frame `local` lies within [local - 127,
    // local + 128]. Only that window is read, whatever the key-frame offsets
    // or the picture types say, and what it teaches is kept.
    if (m_displayOffsets.size() > kMaxKeptDisplayOffsets) m_displayOffsets.clear();
    const int64_t last = std::min<int64_t>(int64_t{local} + 128, end - 1);
    const bool reachesEnd = last == end - 1;
    int64_t first = std::max<int64_t>(int64_t{local} - 127, 0);
    // At the end of the file's part, every entry that can name one of its
    // last 128 frames is read, for the pictures cut off there (below).
    if (reachesEnd) first = std::max<int64_t>(std::min<int64_t>(first, end - 256), 0);
    std::vector<bool> named(static_cast<size_t>(std::max<int64_t>(end - first, 0)), false);
    std::vector<int64_t> slotsShowingLater;  // entries whose picture is stored past the end
    for (int64_t l = first; l <= last; ++l) {
        int8_t temporal = 0;
        if (!stream->GetTemporalOffsetAtIndex(l, temporal)) continue;
        const int64_t stored = l + temporal;
        if (stored >= end) slotsShowingLater.push_back(l);
        if (stored < 0 || stored >= end) continue;
        m_displayOffsets[static_cast<uint32_t>(fileStart + stored)] = -temporal;
        if (stored >= first) named[static_cast<size_t>(stored - first)] = true;
    }
    if (!reachesEnd) return;
    // A member that ends inside a group of pictures (a mini-GOP cut after its
    // anchor) leaves anchors whose display position lies past the end, and
    // display positions whose picture lies past it. Each such anchor takes,
    // in order, one of those free positions, so that presentation positions
    // stay one per frame; a frame of the file's last 128 with no entry at all
    // is such an anchor (the entries that could name it were all read).
    const int64_t checkedFrom = first == 0 ? 0 : first + 127;
    size_t next = 0;
    for (int64_t s = checkedFrom; s < end && next < slotsShowingLater.size(); ++s) {
        if (named[static_cast<size_t>(s - first)]) continue;
        m_displayOffsets[static_cast<uint32_t>(fileStart + s)] =
            static_cast<int32_t>(slotsShowingLater[next++] - s);
    }
}

uint32_t FBCMovieStream::GetVideoInfoFromTrack(const CUSharedPtr<STTrack>& track, int32_t* width,
                                               int32_t* height, uint8_t* layout) {
    CUAutoLock lock(&m_lock);
    if (!track) return kMovieErrNoTrack;
    uint32_t result = 0;
    const CUFailure failure = movievalue::Guarded([&] {
        uint8_t frameLayout = 0;
        if (!movievalue::Read(*track, kLocalTag_FrameLayout, frameLayout)) {
            result = kMovieErrPictureFormat;
            return;
        }
        if (layout) *layout = frameLayout;
        if (frameLayout > 1) {
            result = kMovieErrPictureFormat;
            return;
        }
        if (!width || !height) return;
        uint32_t displayWidth = 0;
        uint32_t displayHeight = 0;
        if (!movievalue::Read(*track, kLocalTag_DisplayWidth, displayWidth) ||
            !movievalue::Read(*track, kLocalTag_DisplayHeight, displayHeight)) {
            result = kMovieErrPictureFormat;
            return;
        }
        // A field layout stores the height of one field.
        const uint64_t pictureHeight = frameLayout != 0 ? uint64_t{displayHeight} * 2 : displayHeight;
        constexpr uint64_t kMax = std::numeric_limits<int32_t>::max();
        if (displayWidth < 1 || displayWidth > kMax || pictureHeight < 1 || pictureHeight > kMax) {
            result = kMovieErrPictureFormat;
            return;
        }
        *width = static_cast<int32_t>(displayWidth);
        *height = static_cast<int32_t>(pictureHeight);
    });
    return failure.Failed() ? kMovieErrReadFailed : result;
}

float FBCMovieStream::AudioSampleRateAtIndex(uint32_t number) {
    CUAutoLock lock(&m_lock);
    _MxfTrackInfo* info = MxfTrackInfoFromType(kMxfTrackSound, number);
    if (!info || !info->track) return 0.0f;
    _Rational rate;
    bool present = false;
    movievalue::Guarded([&] { present = movievalue::Read(*info->track, kLocalTag_AudioSamplingRate, rate); });
    if (!present || rate.denominator <= 0) return 0.0f;
    return static_cast<float>(rate.numerator) / static_cast<float>(rate.denominator);
}

uint32_t FBCMovieStream::AudioQuantizationbitsAtIndex(uint32_t number) {
    CUAutoLock lock(&m_lock);
    _MxfTrackInfo* info = MxfTrackInfoFromType(kMxfTrackSound, number);
    if (!info || !info->track) return 0;
    uint32_t bits = 0;
    movievalue::Guarded([&] { movievalue::Read(*info->track, kLocalTag_QuantizationBits, bits); });
    return bits;
}

int64_t FBCMovieStream::StartTimecode() const {
    CUAutoLock lock(&m_lock);
    return m_startTimecode;
}

bool FBCMovieStream::isDropFrame() const {
    CUAutoLock lock(&m_lock);
    return m_dropFrame;
}

uint16_t FBCMovieStream::RoundedTimecodeBase() const {
    CUAutoLock lock(&m_lock);
    return m_roundedTimecodeBase;
}

void FBCMovieStream::ReleaseMXFStream() {
    CUAutoLock lock(&m_lock);
    for (_MxfStreamInfo& info : m_streamInfos) info.stream = nullptr;
}

CUFailure FBCMovieStream::LastFailure() const {
    CUAutoLock lock(&m_lock);
    return m_failure;
}

void FBCMovieStream::SetFailure(CUFailure failure) {
    CUAutoLock lock(&m_lock);
    m_failure = std::move(failure);
}

}  // namespace ComVantoVantoQZ64RADPlug

#include "Mpeg2EssenceStream.h"

#include "CardWriter.h"
#include "Mpeg2FrameRates.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

namespace {

constexpr uint8_t kPictureStart = 0x00;
constexpr uint8_t kLastSliceStart = 0xAF;
constexpr uint8_t kUserData = 0xB2;
constexpr uint8_t kSequenceHeader = 0xB3;
constexpr uint8_t kExtension = 0xB5;
constexpr uint8_t kSequenceEnd = 0xB7;
constexpr uint8_t kGopHeader = 0xB8;
constexpr uint8_t kSequenceExtensionId = 1;
constexpr uint8_t kPictureCodingExtensionId = 8;
constexpr uint8_t kBrokenLinkBit = 0x20;  // in the last byte of the GOP header
constexpr uint8_t kClosedGopBit = 0x40;
constexpr uint64_t kMaxFileSize = uint64_t{4} << 30;
constexpr int kMaxOffset = 127;  // index entry offsets are one signed byte

struct StartCode {
    size_t at = 0;  // of the 00 00 01 prefix
    uint8_t value = 0;
};

std::vector<StartCode> FindStartCodes(const std::vector<uint8_t>& b) {
    std::vector<StartCode> codes;
    for (size_t i = 0; i + 3 < b.size();) {
        if (b[i + 2] > 1) {
            i += 3;
        } else if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1) {
            codes.push_back({i, b[i + 3]});
            i += 4;
        } else {
            ++i;
        }
    }
    return codes;
}

struct SequenceValues {
    int width = 0;
    int height = 0;
    int rateCode = 0;
    int rateN = 0;
    int rateD = 0;
    uint8_t profileAndLevel = 0;
    int chromaFormat = 0;
    bool progressive = false;
    uint32_t bitRateUnits = 0;  // 400 bit/s
    bool operator==(const SequenceValues&) const = default;
};

}  // namespace

std::shared_ptr<const Mpeg2EssenceStream> Mpeg2EssenceStream::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) throw CardWriterError("cannot open essence " + path + ": " + std::strerror(errno));
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > kMaxFileSize)
        throw CardWriterError(path + ": essence file larger than 4 GiB");
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size))
        throw CardWriterError("cannot read essence " + path);
    return Parse(std::move(bytes), path);
}

std::shared_ptr<const Mpeg2EssenceStream> Mpeg2EssenceStream::Parse(std::vector<uint8_t> bytes,
                                                                    const std::string& name) {
    std::shared_ptr<Mpeg2EssenceStream> stream(new Mpeg2EssenceStream);
    stream->mName = name;
    stream->mBytes = std::move(bytes);
    stream->Split();
    stream->Order();
    return stream;
}

// Cuts the stream into pictures and reads the header values they need.
void Mpeg2EssenceStream::Split() {
    const std::vector<uint8_t>& b = mBytes;
    auto fail = [this](const std::string& why, size_t at) {
        throw CardWriterError(mName + ": " + why + " (byte " + std::to_string(at) + ")");
    };
    const std::vector<StartCode> codes = FindStartCodes(b);
    if (codes.empty() || codes[0].value != kSequenceHeader ||
        std::any_of(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(codes[0].at),
                    [](uint8_t v) { return v != 0; }))
        fail("not an MPEG-2 video elementary stream: it does not start with a sequence header", 0);

    std::optional<SequenceValues> first;
    SequenceValues sequence;
    EssencePicture current;
    bool open = false, havePicture = false, haveSlices = false, haveCodingExtension = false;
    size_t unitStart = 0;
    auto close = [&](size_t end) {
        if (!haveSlices) fail("picture without slices (truncated stream?)", end);
        current.offset = unitStart;
        current.size = end - unitStart;
        mPictures.push_back(current);
        current = EssencePicture{};
        open = havePicture = haveSlices = haveCodingExtension = false;
    };

    for (size_t c = 0; c < codes.size(); ++c) {
        const size_t at = codes[c].at;
        const uint8_t value = codes[c].value;
        const size_t payload = at + 4;
        const size_t length = (c + 1 < codes.size() ? codes[c + 1].at : b.size()) - payload;
        const uint8_t* d = b.data() + payload;
        if (value == kSequenceHeader || value == kGopHeader || value == kPictureStart) {
            if (havePicture) close(at);
            if (!open) unitStart = at, open = true;
        }
        if (value == kSequenceHeader) {
            if (length < 8) fail("truncated sequence header", at);
            SequenceValues s;
            s.width = d[0] << 4 | d[1] >> 4;
            s.height = (d[1] & 0x0F) << 8 | d[2];
            s.rateCode = d[3] & 0x0F;
            s.bitRateUnits = uint32_t{d[4]} << 10 | uint32_t{d[5]} << 2 | d[6] >> 6;
            if (c + 1 >= codes.size() || codes[c + 1].value != kExtension ||
                codes[c + 1].at + 10 > b.size() || b[codes[c + 1].at + 4] >> 4 != kSequenceExtensionId)
                fail("not MPEG-2 video: the sequence header has no sequence extension", at);
            const uint8_t* e = b.data() + codes[c + 1].at + 4;
            s.profileAndLevel = static_cast<uint8_t>((e[0] & 0x0F) << 4 | e[1] >> 4);
            s.progressive = (e[1] >> 3 & 1) != 0;
            s.chromaFormat = e[1] >> 1 & 3;
            s.width |= ((e[1] & 1) << 1 | e[2] >> 7) << 12;
            s.height |= (e[2] >> 5 & 3) << 12;
            s.bitRateUnits |= uint32_t((e[2] & 0x1F) << 7 | e[3] >> 1) << 18;
            s.rateN = e[5] >> 5 & 3;
            s.rateD = e[5] & 0x1F;
            if (s.chromaFormat != 2)
                fail("not 4:2:2 video: chroma_format " + std::to_string(s.chromaFormat) + " (1 is 4:2:0)",
                     at);
            if ((s.profileAndLevel & 0x80) == 0 ||
                ((s.profileAndLevel & 0x0F) != 0x02 && (s.profileAndLevel & 0x0F) != 0x05))
                fail("not the 4:2:2 profile: profile_and_level_indication " +
                         std::to_string(s.profileAndLevel),
                     at);
            if (first && !(s == *first)) fail("the sequence header changes within the stream", at);
            if (!first) first = s;
            sequence = s;
            current.sequenceHeader = true;
        } else if (value == kGopHeader) {
            if (length < 4) fail("truncated GOP header", at);
            current.gopHeader = true;
            current.gopFlagsAt = payload + 3;
        } else if (value == kPictureStart) {
            if (length < 2) fail("truncated picture header", at);
            current.temporalReference = d[0] << 2 | d[1] >> 6;
            const int type = d[1] >> 3 & 7;
            if (type < 1 || type > 3) fail("picture coding type " + std::to_string(type), at);
            current.type = "IPB"[type - 1];
            havePicture = true;
        } else if (value == kExtension && havePicture && length >= 1 &&
                   d[0] >> 4 == kPictureCodingExtensionId) {
            if (length < 4) fail("truncated picture coding extension", at);
            if ((d[2] & 3) != 3) fail("field pictures: each picture must code a whole frame", at);
            if (mPictures.empty()) mTopFieldFirst = (d[3] & 0x80) != 0;
            haveCodingExtension = true;
        } else if (value >= 0x01 && value <= kLastSliceStart) {
            if (!havePicture || !haveCodingExtension)
                fail("slice outside an MPEG-2 picture (no picture coding extension)", at);
            haveSlices = true;
        } else if (value == kSequenceEnd) {
            if (havePicture) close(at);
            if (open) fail("headers without a picture before the sequence end", at);
        } else if (value != kExtension && value != kUserData) {
            fail("start code " + std::to_string(value) + " does not belong in a video elementary stream", at);
        }
    }
    if (havePicture) close(b.size());
    if (open) fail("headers without a picture at the end (truncated stream?)", b.size());

    if (sequence.rateCode < 1 || sequence.rateCode > kMpeg2MaxFrameRateCode)
        fail("frame_rate_code " + std::to_string(sequence.rateCode), 0);
    mWidth = sequence.width;
    mHeight = sequence.height;
    mRateNumerator = kMpeg2FrameRates[sequence.rateCode].numerator * (sequence.rateN + 1);
    mRateDenominator = kMpeg2FrameRates[sequence.rateCode].denominator * (sequence.rateD + 1);
    mProgressive = sequence.progressive;
    mProfileAndLevel = sequence.profileAndLevel;
    mBitRate = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{sequence.bitRateUnits} * 400, UINT32_MAX));
}

// Groups the pictures, places each in presentation order and checks that
// every offset an index entry stores fits it.
void Mpeg2EssenceStream::Order() {
    auto fail = [this](const std::string& why, size_t picture) {
        throw CardWriterError(mName + ": " + why + " (picture " + std::to_string(picture) + ")");
    };
    const size_t n = mPictures.size();
    for (size_t k = 0; k < n; ++k) {
        EssencePicture& p = mPictures[k];
        if (p.gopHeader) {
            if (p.type != 'I') fail("a GOP that does not start with an I picture", k);
            const uint8_t flags = mBytes[p.gopFlagsAt];
            mGops.push_back({k, 0, (flags & kClosedGopBit) != 0, (flags & kBrokenLinkBit) != 0, false});
        } else if (mGops.empty()) {
            fail("no GOP header before the first picture", k);
        }
        p.gop = mGops.size() - 1;
        ++mGops.back().pictureCount;
    }
    int64_t displayStart = 0;
    mStoredOfDisplay.assign(n, n);
    for (EssenceGop& g : mGops) {
        const int iReference = mPictures[g.firstPicture].temporalReference;
        for (size_t k = g.firstPicture; k < g.firstPicture + g.pictureCount; ++k) {
            EssencePicture& p = mPictures[k];
            if (static_cast<size_t>(p.temporalReference) >= g.pictureCount)
                fail("temporal reference " + std::to_string(p.temporalReference) + " outside its GOP of " +
                         std::to_string(g.pictureCount) + " pictures (truncated stream?)",
                     k);
            p.displayIndex = displayStart + p.temporalReference;
            if (mStoredOfDisplay[static_cast<size_t>(p.displayIndex)] != n)
                fail("two pictures of a GOP with one temporal reference", k);
            mStoredOfDisplay[static_cast<size_t>(p.displayIndex)] = k;
            p.leading = p.type == 'B' && p.temporalReference < iReference;
            g.leadingPictures = g.leadingPictures || p.leading;
        }
        displayStart += static_cast<int64_t>(g.pictureCount);
        mMaxGop = std::max(mMaxGop, g.pictureCount);
        mAllClosed = mAllClosed && g.closed;
    }

    mLastI.resize(n);
    mClean.assign(n + 1, true);
    int64_t maxDisplay = -1;
    int bRun = 0;
    for (size_t k = 0; k < n; ++k) {
        const EssencePicture& p = mPictures[k];
        mLastI[k] = p.type == 'I' ? k : mLastI[k - 1];
        if (k - mLastI[k] > kMaxOffset) fail("more than 127 pictures after an I picture", k);
        if (std::abs(p.displayIndex - static_cast<int64_t>(k)) > kMaxOffset)
            fail("a picture displayed more than 127 pictures from where it is stored", k);
        bRun = p.type == 'B' ? bRun + 1 : 0;
        mMaxBRun = std::max(mMaxBRun, bRun);
        maxDisplay = std::max(maxDisplay, p.displayIndex);
        mClean[k + 1] = maxDisplay == static_cast<int64_t>(k);
    }
}

size_t Mpeg2EssenceStream::StreamIndex(int64_t clipStored) const {
    return static_cast<size_t>(clipStored % static_cast<int64_t>(mPictures.size()));
}

bool Mpeg2EssenceStream::LoopedOpenGop(int64_t clipStored) const {
    const EssenceGop& g = mGops.front();
    return clipStored >= static_cast<int64_t>(mPictures.size()) &&
           mPictures[StreamIndex(clipStored)].gop == 0 && !g.closed && !g.brokenLink && g.leadingPictures;
}

uint64_t Mpeg2EssenceStream::ClipPictureSize(int64_t clipStored) const {
    return mPictures[StreamIndex(clipStored)].size;
}

void Mpeg2EssenceStream::CopyClipPicture(int64_t clipStored, std::vector<uint8_t>& out) const {
    const EssencePicture& p = mPictures[StreamIndex(clipStored)];
    const auto from = mBytes.begin() + static_cast<std::ptrdiff_t>(p.offset);
    out.assign(from, from + static_cast<std::ptrdiff_t>(p.size));
    if (p.gopHeader && LoopedOpenGop(clipStored)) out[p.gopFlagsAt - p.offset] |= kBrokenLinkBit;
}

char Mpeg2EssenceStream::ClipPictureType(int64_t clipStored) const {
    return mPictures[StreamIndex(clipStored)].type;
}

int8_t Mpeg2EssenceStream::TemporalOffset(int64_t clipStored) const {
    const size_t display = StreamIndex(clipStored);
    return static_cast<int8_t>(static_cast<int64_t>(mStoredOfDisplay[display]) -
                               static_cast<int64_t>(display));
}

int8_t Mpeg2EssenceStream::KeyFrameOffset(int64_t clipStored) const {
    const size_t k = StreamIndex(clipStored);
    return static_cast<int8_t>(static_cast<int64_t>(mLastI[k]) - static_cast<int64_t>(k));
}

int8_t Mpeg2EssenceStream::DisplayOffset(int64_t clipStored) const {
    const size_t k = StreamIndex(clipStored);
    return static_cast<int8_t>(mPictures[k].displayIndex - static_cast<int64_t>(k));
}

uint8_t Mpeg2EssenceStream::Flags(int64_t clipStored) const {
    const EssencePicture& p = mPictures[StreamIndex(clipStored)];
    const EssenceGop& g = mGops[p.gop];
    switch (p.type) {
        case 'I':  // sequence header, random access
            return static_cast<uint8_t>((p.sequenceHeader ? 0x40 : 0) | (g.closed ? 0x80 : 0));
        case 'P':
            return 0x22;
        default:
            // Leading B pictures that cannot use the GOP before them predict
            // only from the I picture after them.
            return p.leading && (g.closed || g.brokenLink || LoopedOpenGop(clipStored)) ? 0x13 : 0x33;
    }
}

bool Mpeg2EssenceStream::IsCleanCut(int64_t clipStored) const {
    return mClean[StreamIndex(clipStored)];
}

std::vector<int64_t> Mpeg2EssenceStream::CutCandidates(int64_t clipFrames) const {
    std::vector<int64_t> open, all;
    const int64_t n = static_cast<int64_t>(mPictures.size());
    for (int64_t pass = 0; pass * n < clipFrames; ++pass)
        for (size_t g = 0; g < mGops.size(); ++g) {
            const int64_t at = pass * n + static_cast<int64_t>(mGops[g].firstPicture);
            if (at <= 0 || at >= clipFrames) continue;
            all.push_back(at);
            if (!mGops[g].closed && !mGops[g].brokenLink && mGops[g].leadingPictures && g != 0)
                open.push_back(at);
        }
    return open.empty() ? all : open;
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter

#include "MxfFileWriter.h"

#include "AudioFramePattern.h"
#include "ClipTimecode.h"
#include "MxfHeaderMetadataWriter.h"
#include "MxfIndexTableWriter.h"
#include "MxfKlvWriter.h"
#include "MxfWriterLabels.h"
#include "ToneGenerator.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

namespace {

// Every partition pack, the header metadata, each index area and each
// element of a content package start on this grid.
constexpr uint64_t kKag = 512;
constexpr uint32_t kIndexSid = 1;
constexpr size_t kSystemMetadataPackSize = 57;
constexpr size_t kPackageMetadataSetSize = 35;
constexpr size_t kSystemItemSize =
    2 * MxfKlvWriter::kKlvHeaderSize + kSystemMetadataPackSize + kPackageMetadataSetSize;
// The system item and its fill take exactly one grid step.
constexpr uint32_t kPictureDelta = static_cast<uint32_t>(kKag);
constexpr size_t kMaxChannels = 16;
constexpr size_t kWriteBufferSize = size_t{8} << 20;
// Sequence information: key, length and four items (80 bytes).
constexpr uint64_t kSequenceInfoSize = MxfKlvWriter::kKlvHeaderSize + 80;

uint64_t Fnv1a(uint64_t hash, uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        hash ^= (value >> (8 * i)) & 0xFF;
        hash *= 0x100000001B3ull;
    }
    return hash;
}

// A basic UMID whose material number is a hash of what distinguishes the file.
MxfUmid DeriveUmid(const MxfFileDescription& d, uint64_t kind) {
    MxfUmid umid = {0x06, 0x0A, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x05,
                    0x01, 0x01, 0x0D, 0x20, 0x13, 0x00, 0x00, 0x00};
    uint64_t h = 0xCBF29CE484222325ull;
    for (uint64_t v : {kind, static_cast<uint64_t>(d.firstFrame), uint64_t{d.frameCount},
                       static_cast<uint64_t>(d.startTimecode), static_cast<uint64_t>(d.video.width),
                       static_cast<uint64_t>(d.video.height), static_cast<uint64_t>(d.video.rateNumerator),
                       static_cast<uint64_t>(d.video.rateDenominator), uint64_t{d.audioChannels},
                       uint64_t{d.video.bitRate}})
        h = Fnv1a(h, v);
    const uint64_t h2 = Fnv1a(h, 0x51A7);
    for (int i = 0; i < 8; ++i) {
        umid[16 + i] = static_cast<uint8_t>(h >> (56 - 8 * i));
        umid[24 + i] = static_cast<uint8_t>(h2 >> (56 - 8 * i));
    }
    return umid;
}

bool IsZero(const MxfUmid& umid) {
    return std::all_of(umid.begin(), umid.end(), [](uint8_t b) { return b == 0; });
}

uint8_t Bcd(uint32_t v) {
    return static_cast<uint8_t>(((v / 10) % 10) << 4 | (v % 10));
}

// SMPTE 12M time address of a frame count in the timecode base, as the
// system item carries it: frames, seconds, minutes, hours (BCD). 50- and
// 60-based counts are coded at 25/30 with the field flag marking the second
// frame of each pair.
std::array<uint8_t, 4> Smpte12mTimecode(uint64_t count, uint32_t base, bool dropFrame) {
    bool field = false;
    if (base >= 50) {
        field = (count & 1) != 0;
        count /= 2;
        base /= 2;
    }
    // The time address carries hours 0 to 23.
    const Timecode label = FrameCountToTimecode(count, base, dropFrame);
    const uint32_t frames = label.frames, seconds = label.seconds, minutes = label.minutes;
    const uint32_t hours = label.hours % 24;
    std::array<uint8_t, 4> tc = {Bcd(frames), Bcd(seconds), Bcd(minutes), Bcd(hours)};
    if (dropFrame) tc[0] |= 0x40;
    if (field) {
        if (base == 25)
            tc[3] |= 0x80;
        else
            tc[1] |= 0x80;
    }
    return tc;
}

// Content package rate of the system item (SMPTE 326M): rate code in bits
// 5..1, bit 0 set for the 1000/1001 rates.
uint8_t ContentPackageRate(int numerator, int denominator) {
    const uint16_t base = MxfRoundedTimecodeBase(numerator, denominator);
    uint8_t code = 0;
    switch (base) {
        case 24:
            code = 1;
            break;
        case 25:
            code = 2;
            break;
        case 30:
            code = 3;
            break;
        case 50:
            code = 5;
            break;
        case 60:
            code = 6;
            break;
        default:
            break;
    }
    return static_cast<uint8_t>(code << 1 | (denominator == 1001 ? 1 : 0));
}

void WritePartitionPack(MxfKlvWriter& out, const MxfKey& key, uint64_t thisPartition,
                        uint64_t previousPartition, uint64_t footerPartition, uint64_t headerByteCount,
                        uint64_t indexByteCount, uint32_t indexSid, uint64_t bodyOffset, uint32_t bodySid,
                        const std::vector<MxfKey>& essenceContainers) {
    const size_t start = out.BeginKlv(key);
    out.U16(1);  // major version
    out.U16(2);  // minor version
    out.U32(static_cast<uint32_t>(kKag));
    out.U64(thisPartition);
    out.U64(previousPartition);
    out.U64(footerPartition);
    out.U64(headerByteCount);
    out.U64(indexByteCount);
    out.U32(indexSid);
    out.U64(bodyOffset);
    out.U32(bodySid);
    out.Raw(MxfLabels::kOp1a);
    out.U32(static_cast<uint32_t>(essenceContainers.size()));
    out.U32(16);
    for (const MxfKey& label : essenceContainers) out.Raw(label);
    out.EndKlv(start);
    // Header metadata and index segments start one grid step after the pack.
    out.Fill(kKag - (out.Size() - start));
}

// One body partition's share of the essence.
struct BodyPlan {
    uint64_t offset = 0;      // of the partition pack
    uint64_t firstFrame = 0;  // file edit unit
    uint64_t frameCount = 0;
    uint64_t streamOffset = 0;    // of its first content package
    uint64_t indexByteCount = 0;  // index of the previous partition, with fill
    uint64_t essenceBytes = 0;
};

class FileWriter {
public:
    FileWriter(const MxfFileDescription& d, const std::string& path);
    MxfFileLayout Write();

private:
    void Validate() const;
    void Plan();
    void WriteHeader(std::ostream& out);
    void WriteBody(std::ostream& out, size_t partition);
    void WriteFooter(std::ostream& out);
    void WriteRandomIndexPack(std::ostream& out);
    void WriteIndexArea(MxfKlvWriter& out, size_t partition, uint64_t byteCount) const;
    MxfIndexSegment SegmentOf(size_t partition) const;
    void Emit(std::ostream& out, const MxfKlvWriter& bytes);

    const MxfFileDescription& mD;
    std::string mPath;
    MxfResolvedValues mValues;
    std::unique_ptr<Mpeg2Encoder> mEncoder;
    std::unique_ptr<MxfHeaderMetadataWriter> mHeader;
    std::vector<MxfKey> mContainers;

    uint32_t mChannels = 0;
    uint32_t mBytesPerSample = 2;
    uint64_t mSoundStride = 0;             // one sound element with its fill
    std::vector<uint64_t> mPictureStride;  // per edit unit: picture element with its fill
    std::vector<MxfIndexEntry> mEntries;   // per edit unit, stream offsets filled by Plan
    std::vector<BodyPlan> mBodies;
    uint64_t mHeaderByteCount = 0;
    bool mInfoAfterPrimer = false;
    uint64_t mFooterOffset = 0;
    uint64_t mFooterIndexByteCount = 0;
    uint64_t mRipOffset = 0;
    uint64_t mWritten = 0;
    MxfFileLayout mLayout;
    MxfKlvWriter mScratch;
};

FileWriter::FileWriter(const MxfFileDescription& d, const std::string& path) : mD(d), mPath(path) {}

void FileWriter::Validate() const {
    if (mD.frameCount == 0) throw MxfWriterError("MXF file needs at least one frame");
    if (mD.audioChannels > kMaxChannels) throw MxfWriterError("MXF file with more than 16 audio channels");
    if (mD.audioBitsPerSample != 16 && mD.audioBitsPerSample != 24)
        throw MxfWriterError("MXF audio must be 16 or 24 bits per sample");
    if (mD.audioChannels > 0 &&
        !AudioFramePattern::IsSupportedRate(mD.video.rateNumerator, mD.video.rateDenominator))
        throw MxfWriterError("MXF audio needs one of the card's picture rates");
    if (mD.firstFrame < 0 || mD.startTimecode < 0)
        throw MxfWriterError("MXF first frame and timecode must be >= 0");
    const uint16_t base = mValues.timecodeBase;
    if (base == 0) throw MxfWriterError("MXF timecode base unknown for this picture rate");
    if (mD.dropFrame && base != 30 && base != 60)
        throw MxfWriterError("MXF drop-frame timecode needs base 30 or 60");
}

MxfFileLayout FileWriter::Write() {
    mValues.timecodeBase = mD.roundedTimecodeBase != 0
                               ? mD.roundedTimecodeBase
                               : MxfRoundedTimecodeBase(mD.video.rateNumerator, mD.video.rateDenominator);
    Validate();
    if (!mD.essence) mEncoder = std::make_unique<Mpeg2Encoder>(mD.video, mD.frameCount, mD.firstFrame);
    mValues.materialUmid = IsZero(mD.materialPackageUmid) ? DeriveUmid(mD, 1) : mD.materialPackageUmid;
    mValues.fileUmid = IsZero(mD.filePackageUmid) ? DeriveUmid(mD, 2) : mD.filePackageUmid;
    mValues.profileAndLevel = mD.essence ? mD.essence->ProfileAndLevel() : mEncoder->ProfileAndLevel();
    mHeader = std::make_unique<MxfHeaderMetadataWriter>(mD, mValues);
    mContainers = mHeader->EssenceContainers();
    mChannels = mD.audioChannels;
    mBytesPerSample = mD.audioBitsPerSample / 8;

    Plan();

    std::ofstream out;
    std::vector<char> buffer(kWriteBufferSize);
    out.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    out.open(mPath, std::ios::binary | std::ios::trunc);
    if (!out) throw MxfWriterError("cannot create MXF file " + mPath);

    WriteHeader(out);
    for (size_t p = 0; p < mBodies.size(); ++p) WriteBody(out, p);
    WriteFooter(out);
    if (!mD.faults.omitRandomIndexPack) WriteRandomIndexPack(out);
    out.flush();
    if (!out) throw MxfWriterError("cannot write MXF file " + mPath);
    out.close();
    if (!out) throw MxfWriterError("cannot close MXF file " + mPath);

    mLayout.fileSize = mWritten;
    if (mD.faults.truncateToBytes != 0 && mD.faults.truncateToBytes < mWritten) {
        std::error_code ec;
        std::filesystem::resize_file(mPath, mD.faults.truncateToBytes, ec);
        if (ec) throw MxfWriterError("cannot truncate MXF file " + mPath);
        mLayout.fileSize = mD.faults.truncateToBytes;
    }
    return mLayout;
}

// Sizes every element and partition before anything is written, so that each
// partition pack can name the footer and the packs before it.
void FileWriter::Plan() {
    const uint32_t frames = mD.frameCount;
    const int rateNum = mD.video.rateNumerator;
    const int rateDen = mD.video.rateDenominator;

    // Sound elements of one channel differ by a sample between frames at the
    // 1000/1001 rates; padding each to one stride keeps every sound element
    // at a fixed delta from the first, so one slice covers them all.
    if (mChannels > 0) {
        const bool varies = (int64_t{48000} * rateDen) % rateNum != 0;
        const int maxSamples = AudioFramePattern::MaxSamplesInFrame(rateNum, rateDen);
        uint64_t base = MxfKlvWriter::kKlvHeaderSize + uint64_t(maxSamples) * mBytesPerSample;
        if (varies) base += MxfKlvWriter::kMinFillSize;  // room for the fill of the shorter elements
        mSoundStride = base + MxfKlvWriter::FillTo(base, kKag);
    }

    mPictureStride.resize(frames);
    mEntries.resize(frames);
    uint64_t streamOffset = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        const uint64_t pictureBytes =
            mD.essence ? mD.essence->ClipPictureSize(mD.firstFrame + int64_t{i}) : mEncoder->PictureSize(i);
        if (pictureBytes > MxfKlvWriter::kMaxBerLength) throw MxfWriterError("MXF picture too large");
        const uint64_t element = MxfKlvWriter::kKlvHeaderSize + pictureBytes;
        mPictureStride[i] = element + MxfKlvWriter::FillTo(element, kKag);

        // Temporal offsets and flags are filled in when the picture is coded.
        MxfIndexEntry& e = mEntries[i];
        e.streamOffset = streamOffset;
        e.sliceOffset = static_cast<uint32_t>(kPictureDelta + mPictureStride[i]);
        streamOffset += kPictureDelta + mPictureStride[i] + uint64_t{mChannels} * mSoundStride;
    }

    const uint32_t perPartition = std::clamp<uint32_t>(
        mD.framesPerBodyPartition != 0 ? mD.framesPerBodyPartition : 4 * std::max(1, mD.video.gopLength), 1,
        static_cast<uint32_t>(MxfIndexTableWriter::kMaxEntries));
    const bool index = !mD.faults.omitIndexTables;
    const size_t deltaCount = 2 + mChannels;
    const uint8_t sliceCount = mChannels > 0 ? 1 : 0;
    auto indexBytes = [&](uint64_t entries) -> uint64_t {
        if (!index) return 0;
        const uint64_t segment =
            MxfIndexTableWriter::SegmentSize(deltaCount, sliceCount, entries, mD.faults.badIndexEntryLength);
        return segment + MxfKlvWriter::FillTo(segment, kKag);
    };

    // Header partition: pack, primer and sets, the sequence information at
    // its fixed offset, fill to the grid.
    mScratch.Clear();
    mHeader->WritePrimer(mScratch);
    const uint64_t primerSize = mScratch.Size();
    mHeader->WriteSets(mScratch);
    const uint64_t setsSize = mScratch.Size() - primerSize;
    uint64_t headerEnd = kKag + primerSize + setsSize;
    if (!mD.faults.omitSequenceInfo) {
        const int64_t target =
            static_cast<int64_t>(MxfSequenceInfoOffset(mD.video.height)) + mD.faults.sequenceInfoOffsetShift;
        const auto fits = [target](uint64_t from) {
            const int64_t gap = target - static_cast<int64_t>(from);
            return gap == 0 || gap >= static_cast<int64_t>(MxfKlvWriter::kMinFillSize);
        };
        if (fits(headerEnd)) {
            headerEnd = static_cast<uint64_t>(target) + kSequenceInfoSize;
        } else if (fits(kKag + primerSize)) {
            // The sets do not fit before the fixed offset: the element goes
            // right after the primer and the sets follow it.
            mInfoAfterPrimer = true;
            headerEnd = static_cast<uint64_t>(target) + kSequenceInfoSize + setsSize;
        } else {
            throw MxfWriterError("MXF sequence information cannot be placed at the requested offset");
        }
        mLayout.sequenceInfo = static_cast<uint64_t>(target);
    }
    mHeaderByteCount = headerEnd - kKag + MxfKlvWriter::FillTo(headerEnd, kKag);
    mLayout.headerByteCount = mHeaderByteCount;

    uint64_t position = kKag + mHeaderByteCount;
    uint64_t previousEntries = 0;
    for (uint32_t first = 0; first < frames; first += perPartition) {
        BodyPlan body;
        body.offset = position;
        body.firstFrame = first;
        body.frameCount = std::min<uint64_t>(perPartition, frames - first);
        body.streamOffset = mEntries[first].streamOffset;
        body.indexByteCount = previousEntries != 0 ? indexBytes(previousEntries) : 0;
        const uint64_t end = first + body.frameCount;
        body.essenceBytes = (end < frames ? mEntries[end].streamOffset : streamOffset) - body.streamOffset;
        position += kKag + body.indexByteCount + body.essenceBytes;
        previousEntries = body.frameCount;
        mBodies.push_back(body);
        mLayout.bodyPartitions.push_back(body.offset);
        mLayout.bodyFirstFrames.push_back(body.firstFrame);
    }
    mFooterOffset = position;
    mFooterIndexByteCount = indexBytes(previousEntries);
    mRipOffset = mFooterOffset + kKag + mFooterIndexByteCount;
    mLayout.footerPartition = mFooterOffset;
    mLayout.randomIndexPack = mD.faults.omitRandomIndexPack ? 0 : mRipOffset;
}

void FileWriter::Emit(std::ostream& out, const MxfKlvWriter& bytes) {
    out.write(reinterpret_cast<const char*>(bytes.Bytes().data()),
              static_cast<std::streamsize>(bytes.Size()));
    mWritten += bytes.Size();
}

void FileWriter::WriteHeader(std::ostream& out) {
    MxfKlvWriter w;
    WritePartitionPack(w, MxfLabels::kHeaderPartition, 0, 0, mFooterOffset, mHeaderByteCount, 0, 0, 0, 0,
                       mContainers);

    MxfKlvWriter primer;
    mHeader->WritePrimer(primer);
    MxfKlvWriter sets;
    mHeader->WriteSets(sets);

    MxfKlvWriter info;
    if (!mD.faults.omitSequenceInfo) {
        const size_t start = info.BeginKlv(MxfLabels::kSequenceInfo);
        info.ItemU64(0x1201, static_cast<uint64_t>(mD.firstFrame));
        info.ItemU64(0x1501, static_cast<uint64_t>(mD.startTimecode));
        info.ItemBytes(0x3C0A, mHeader->InstanceUid(0xB0, 0));
        info.ItemBytes(0x4401, IsZero(mD.relayPackageUmid) ? mValues.materialUmid : mD.relayPackageUmid);
        info.EndKlv(start);
    }

    w.Raw(primer.Bytes());
    if (!mD.faults.omitSequenceInfo && mInfoAfterPrimer) {
        w.Fill(mLayout.sequenceInfo - w.Size());
        w.Raw(info.Bytes());
        w.Raw(sets.Bytes());
    } else {
        w.Raw(sets.Bytes());
        if (!mD.faults.omitSequenceInfo) {
            w.Fill(mLayout.sequenceInfo - w.Size());
            w.Raw(info.Bytes());
        }
    }
    w.Fill(MxfKlvWriter::FillTo(w.Size(), kKag));
    if (w.Size() != kKag + mHeaderByteCount)
        throw MxfWriterError("MXF header partition size differs from its plan");
    Emit(out, w);
}

MxfIndexSegment FileWriter::SegmentOf(size_t partition) const {
    const BodyPlan& body = mBodies[partition];
    MxfIndexSegment s;
    s.instanceUid = mHeader->InstanceUid(0xC0, static_cast<uint16_t>(partition));
    s.editRateNumerator = mD.video.rateNumerator;
    s.editRateDenominator = mD.video.rateDenominator;
    s.startPosition = static_cast<int64_t>(body.firstFrame);
    s.indexSid = kIndexSid;
    s.bodySid = mD.faults.bodySid;
    s.sliceCount = mChannels > 0 ? 1 : 0;
    s.badEntryLength = mD.faults.badIndexEntryLength;
    // System item, picture (reordered when B pictures exist), then each
    // sound element in slice 1 at a fixed stride.
    s.deltas.push_back({0, 0, 0});
    s.deltas.push_back({static_cast<int8_t>(mD.video.bPictures > 0 ? -1 : 0), 0, kPictureDelta});
    for (uint32_t c = 0; c < mChannels; ++c)
        s.deltas.push_back({0, 1, static_cast<uint32_t>(c * mSoundStride)});
    s.entries.assign(mEntries.begin() + static_cast<std::ptrdiff_t>(body.firstFrame),
                     mEntries.begin() + static_cast<std::ptrdiff_t>(body.firstFrame + body.frameCount));
    return s;
}

void FileWriter::WriteIndexArea(MxfKlvWriter& out, size_t partition, uint64_t byteCount) const {
    if (byteCount == 0) return;
    const size_t start = out.Size();
    MxfIndexTableWriter::Write(out, SegmentOf(partition));
    out.Fill(MxfKlvWriter::FillTo(out.Size() - start, kKag));
    if (out.Size() - start != byteCount) throw MxfWriterError("MXF index area size differs from its plan");
}

void FileWriter::WriteBody(std::ostream& out, size_t partition) {
    BodyPlan& body = mBodies[partition];
    MxfKlvWriter w;
    const uint64_t previous = partition == 0 ? 0 : mBodies[partition - 1].offset;
    WritePartitionPack(w, MxfLabels::kBodyPartition, body.offset, previous, mFooterOffset, 0,
                       body.indexByteCount, body.indexByteCount != 0 ? kIndexSid : 0, body.streamOffset,
                       mD.faults.bodySid, mContainers);
    if (partition > 0) WriteIndexArea(w, partition - 1, body.indexByteCount);
    if (mWritten != body.offset) throw MxfWriterError("MXF body partition offset differs from its plan");
    Emit(out, w);

    const int rateNum = mD.video.rateNumerator;
    const int rateDen = mD.video.rateDenominator;
    const uint8_t cpRate = ContentPackageRate(rateNum, rateDen);
    const MxfKey& cpLabel = mChannels > 0 ? MxfLabels::kMultipleWrappings : MxfLabels::kMpeg2FrameWrapped;
    const MxfKey pictureKey =
        MxfLabels::EssenceKey(MxfLabels::kPictureItem, 1, MxfLabels::kMpegFrameWrappedElement, 1);
    const uint8_t soundType = mD.soundWrapping == MxfSoundWrapping::kAes3
                                  ? MxfLabels::kAes3FrameWrappedElement
                                  : MxfLabels::kBwfFrameWrappedElement;
    CodedPicture picture;
    MxfKlvWriter& cp = mScratch;
    for (uint64_t i = body.firstFrame; i < body.firstFrame + body.frameCount; ++i) {
        cp.Clear();
        const int64_t clipFrame = mD.firstFrame + static_cast<int64_t>(i);

        // System item: system metadata pack with the frame's timecode, then
        // the package metadata set naming the file package.
        size_t klv = cp.BeginKlv(MxfLabels::kSystemMetadataPack);
        cp.U8(static_cast<uint8_t>(0x58 | (mChannels > 0 ? 0x04 : 0)));  // label, user stamp, picture, sound
        cp.U8(cpRate);
        cp.U8(0);                                  // content package type
        cp.U16(0);                                 // channel handle
        cp.U16(static_cast<uint16_t>(clipFrame));  // continuity count
        cp.Raw(cpLabel);
        cp.Zeros(17);  // creation date/time stamp: none
        cp.U8(0x81);   // user date/time stamp: SMPTE 12M timecode
        cp.Raw(Smpte12mTimecode(static_cast<uint64_t>(mD.startTimecode) + i, mValues.timecodeBase,
                                mD.dropFrame));
        cp.Zeros(12);
        cp.EndKlv(klv);
        klv = cp.BeginKlv(MxfLabels::kPackageMetadataSet);
        cp.U8(0x83);  // package UMID
        cp.U16(32);
        cp.Raw(mValues.fileUmid);
        cp.EndKlv(klv);
        cp.Fill(kPictureDelta - kSystemItemSize);

        // Picture element.
        MxfIndexEntry& e = mEntries[i];
        MxfFrameRecord record;
        if (mD.essence) {
            const int64_t clipPicture = mD.firstFrame + static_cast<int64_t>(i);
            mD.essence->CopyClipPicture(clipPicture, picture.bytes);
            record.type = mD.essence->ClipPictureType(clipPicture);
            e.flags = mD.essence->Flags(clipPicture);
            e.temporalOffset = mD.essence->TemporalOffset(clipPicture);
            e.keyFrameOffset = mD.essence->KeyFrameOffset(clipPicture);
            record.displayOffset = mD.essence->DisplayOffset(clipPicture);
        } else {
            mEncoder->EncodePicture(static_cast<int64_t>(i), picture);
            record.type = picture.type;
            e.temporalOffset = picture.temporalOffset;
            e.keyFrameOffset = picture.keyFrameOffset;
            record.displayOffset = picture.displayOffset;
            if (picture.type == 'I') {
                e.flags = static_cast<uint8_t>(
                    0x40 | (picture.closedGop ? 0x80 : 0));  // sequence header, random access
            } else if (picture.type == 'P') {
                e.flags = 0x22;
            } else {
                // Leading B pictures of a closed GOP predict only from the I picture after them.
                const bool leading = picture.gopStoredPosition <= mD.video.bPictures;
                e.flags = picture.closedGop && leading ? 0x13 : 0x33;
            }
        }
        if (i < mD.faults.keyFrameOffsets.size()) e.keyFrameOffset = mD.faults.keyFrameOffsets[i];
        const uint64_t element = MxfKlvWriter::kKlvHeaderSize + picture.bytes.size();
        if (element + MxfKlvWriter::FillTo(element, kKag) != mPictureStride[i])
            throw MxfWriterError("MXF picture size differs from its plan");
        record.pictureOffset = mWritten + cp.Size() + MxfKlvWriter::kKlvHeaderSize;
        record.pictureSize = picture.bytes.size();
        cp.Klv(pictureKey, picture.bytes.data(), picture.bytes.size());
        cp.Fill(MxfKlvWriter::FillTo(cp.Size(), kKag));
        record.flags = e.flags;
        record.temporalOffset = e.temporalOffset;
        record.keyFrameOffset = e.keyFrameOffset;
        mLayout.frames.push_back(record);

        // Sound elements, one per channel, each padded to the common stride.
        if (mChannels > 0) {
            const int64_t firstSample = AudioFramePattern::FirstSampleOfFrame(rateNum, rateDen, clipFrame);
            const int samples = AudioFramePattern::SamplesInFrame(rateNum, rateDen, clipFrame);
            const size_t bytes = size_t(samples) * mBytesPerSample;
            for (uint32_t c = 0; c < mChannels; ++c) {
                const size_t start = cp.Size();
                cp.Raw(MxfLabels::EssenceKey(MxfLabels::kSoundItem, static_cast<uint8_t>(mChannels),
                                             soundType, static_cast<uint8_t>(c + 1)));
                cp.Ber4(static_cast<uint32_t>(bytes));
                const size_t at = cp.Size();
                cp.Zeros(bytes);
                ToneGenerator::WriteSamples(static_cast<int>(c), firstSample, samples,
                                            static_cast<int>(mD.audioBitsPerSample), cp.Bytes().data() + at);
                cp.Fill(mSoundStride - (cp.Size() - start));
            }
        }
        if (mWritten - body.offset - kKag - body.indexByteCount + body.streamOffset != e.streamOffset)
            throw MxfWriterError("MXF content package offset differs from its plan");
        Emit(out, cp);
    }
}

void FileWriter::WriteFooter(std::ostream& out) {
    MxfKlvWriter w;
    const uint64_t previous = mBodies.empty() ? 0 : mBodies.back().offset;
    WritePartitionPack(w, MxfLabels::kFooterPartition, mFooterOffset, previous, mFooterOffset, 0,
                       mFooterIndexByteCount, mFooterIndexByteCount != 0 ? kIndexSid : 0, 0, 0, mContainers);
    WriteIndexArea(w, mBodies.size() - 1, mFooterIndexByteCount);
    if (mWritten != mFooterOffset) throw MxfWriterError("MXF footer offset differs from its plan");
    Emit(out, w);
}

void FileWriter::WriteRandomIndexPack(std::ostream& out) {
    MxfKlvWriter w;
    const size_t start = w.BeginKlv(MxfLabels::kRandomIndexPack);
    w.U32(0);
    w.U64(0);
    for (const BodyPlan& body : mBodies) {
        w.U32(mD.faults.bodySid);
        w.U64(body.offset);
    }
    w.U32(0);
    w.U64(mFooterOffset);
    w.U32(static_cast<uint32_t>(w.Size() - start + 4));  // overall length, this field included
    w.EndKlv(start);
    Emit(out, w);
}

}  // namespace

uint64_t MxfSequenceInfoOffset(int pictureHeight) {
    return pictureHeight == 720 ? 6719 : 6724;
}

uint16_t MxfRoundedTimecodeBase(int rateNumerator, int rateDenominator) {
    if (rateNumerator <= 0 || rateDenominator <= 0) return 0;
    const int rounded = (rateNumerator + rateDenominator / 2) / rateDenominator;
    switch (rounded) {
        case 24:
        case 25:
        case 30:
        case 50:
        case 60:
            return static_cast<uint16_t>(rounded);
        default:
            return 0;
    }
}

MxfFileLayout WriteMxfFile(const MxfFileDescription& description, const std::string& path) {
    FileWriter writer(description, path);
    return writer.Write();
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter

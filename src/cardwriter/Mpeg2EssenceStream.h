// Mpeg2EssenceStream: an MPEG-2 4:2:2 elementary stream (as an encoder or a
// camera makes it) split into pictures, so the card writer can carry real
// long-GOP essence instead of its own pictures. Each picture keeps the
// sequence and GOP headers in front of it; the pictures laid end to end are
// the stream without its sequence end code.
//
// A clip longer than the stream loops it from its first GOP: clip picture s
// (stored order) is stream picture s mod PictureCount(). When the first GOP
// is open and has leading B pictures, its looped copies follow the stream's
// last GOP, not what those pictures were predicted from, so their GOP header
// is given broken_link = 1 (the one bit that differs from the stream) and
// their index flags say they predict only backward.
//
// Thread-safety: immutable after Parse; share freely between threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

struct EssencePicture {
    uint64_t offset = 0;  // in the stream, of the first header of the picture
    uint64_t size = 0;    // headers in front of it included
    char type = 'I';      // 'I', 'P' or 'B'
    int temporalReference = 0;
    bool sequenceHeader = false;  // the picture carries a sequence header
    bool gopHeader = false;       // the picture starts a GOP
    uint64_t gopFlagsAt = 0;      // byte of the GOP header holding closed_gop and broken_link
    size_t gop = 0;               // number of the GOP it belongs to
    int64_t displayIndex = 0;     // presentation position in the stream
    bool leading = false;         // a B picture displayed before the I picture of its GOP
};

struct EssenceGop {
    size_t firstPicture = 0;  // stored position of its I picture
    size_t pictureCount = 0;
    bool closed = false;
    bool brokenLink = false;
    bool leadingPictures = false;  // B pictures displayed before its I picture
};

class Mpeg2EssenceStream {
public:
    // Reads and splits a file; throws CardWriterError naming the file and
    // what is wrong with it.
    static std::shared_ptr<const Mpeg2EssenceStream> Load(const std::string& path);
    // Splits the bytes of a stream; `name` is used in error messages.
    static std::shared_ptr<const Mpeg2EssenceStream> Parse(std::vector<uint8_t> bytes,
                                                           const std::string& name);

    const std::string& Name() const { return mName; }
    size_t PictureCount() const { return mPictures.size(); }
    const EssencePicture& Picture(size_t index) const { return mPictures[index]; }
    const std::vector<EssenceGop>& Gops() const { return mGops; }

    // Sequence header and sequence extension values of the stream.
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }
    int RateNumerator() const { return mRateNumerator; }  // frames per second
    int RateDenominator() const { return mRateDenominator; }
    bool Progressive() const { return mProgressive; }
    bool TopFieldFirst() const { return mTopFieldFirst; }  // of the first picture
    uint8_t ProfileAndLevel() const { return mProfileAndLevel; }
    uint32_t BitRate() const { return mBitRate; }  // bits per second
    size_t MaxGopLength() const { return mMaxGop; }
    int MaxBPictures() const { return mMaxBRun; }  // longest run of B pictures in stored order
    bool AllGopsClosed() const { return mAllClosed; }

    // Clip pictures, in stored order, over the looped stream.
    uint64_t ClipPictureSize(int64_t clipStored) const;
    void CopyClipPicture(int64_t clipStored, std::vector<uint8_t>& out) const;
    char ClipPictureType(int64_t clipStored) const;
    // Index entry values of the edit unit at clip stored position s (the
    // temporal offset is the one of display position s).
    int8_t TemporalOffset(int64_t clipStored) const;
    int8_t KeyFrameOffset(int64_t clipStored) const;
    uint8_t Flags(int64_t clipStored) const;
    int8_t DisplayOffset(int64_t clipStored) const;  // display - stored of the picture itself
    // True when clip pictures [0, clipStored) display exactly at [0,
    // clipStored): a file or the clip may end there without separating a
    // picture from the B pictures displayed before it.
    bool IsCleanCut(int64_t clipStored) const;
    // Stored positions in (0, clipFrames) where a GOP starts whose leading
    // pictures reach back into the GOP before it; the clip's GOP starts when
    // there is none.
    std::vector<int64_t> CutCandidates(int64_t clipFrames) const;

private:
    Mpeg2EssenceStream() = default;
    void Split();
    void Order();
    size_t StreamIndex(int64_t clipStored) const;
    bool LoopedOpenGop(int64_t clipStored) const;

    std::string mName;
    std::vector<uint8_t> mBytes;
    std::vector<EssencePicture> mPictures;
    std::vector<EssenceGop> mGops;
    std::vector<size_t> mStoredOfDisplay;  // stream display position -> stored position
    std::vector<size_t> mLastI;  // stored position -> stored position of the I picture at or before it
    std::vector<bool> mClean;    // mClean[k]: pictures [0, k) display at [0, k)
    int mWidth = 0;
    int mHeight = 0;
    int mRateNumerator = 0;
    int mRateDenominator = 1;
    bool mProgressive = false;
    bool mTopFieldFirst = true;
    uint8_t mProfileAndLevel = 0;
    uint32_t mBitRate = 0;
    size_t mMaxGop = 0;
    int mMaxBRun = 0;
    bool mAllClosed = true;
};

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter

// Mpeg2Encoder: writes MPEG-2 4:2:2 long-GOP pictures whose decoded image shows
// the picture's own display frame number, padded to a target bit rate.
// Thread-safety: immutable after construction; every const member may be called
// from any number of threads at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

class Mpeg2BitWriter;

struct Mpeg2Settings {
    int width = 1920;   // 1920, 1440 or 1280 (any multiple of 16 up to 1920 is accepted)
    int height = 1080;  // 1080 (coded as 1088, 68 macroblock rows) or 720
    // Frame rate: pictures per second of the stream (29.97 for 59.94i).
    // Supported: 24000/1001, 24, 25, 30000/1001, 30, 50, 60000/1001, 60.
    int rateNumerator = 30000;
    int rateDenominator = 1001;
    bool interlaced = true;       // interlaced frame pictures (progressive_sequence 0)
    bool topFieldFirst = true;    // only used when interlaced
    uint32_t bitRate = 50000000;  // bits per second; the average of the padded stream
    bool constantBitRate = true;  // CBR: every picture the same size (+-1 byte); VBR: sizes vary
    int gopLength = 15;           // N: pictures per GOP, 1..128
    int bPictures = 2;            // M-1: B pictures between anchors, 0..gopLength-1
    bool closedGop = true;        // closed_gop flag; the first GOP of a stream is always closed
};

// One coded picture, in stored (decode) order.
//
// Group layout: GOP g holds decode indices [g*N, g*N+L) and the same display
// indices [g*N, g*N+L), where L is N except for a shorter last GOP. Within a
// GOP, display positions p = M-1, 2M-1, ... and the GOP's last position are
// anchors (the first one the I picture, later ones P pictures); the others are
// B pictures, stored right after the anchor that follows them in display
// order. Example N=15, M=3, display positions stored as
// I2 B0 B1 P5 B3 B4 P8 B6 B7 P11 B9 B10 P14 B12 B13. So the leading B
// pictures of a GOP display before its I picture; in a closed GOP they
// predict only from it, in an open GOP also from the previous GOP's last
// anchor. Every macroblock is intra coded, so any picture decodes on its own
// once the decoder has started; the stream never ends with a B picture.
struct CodedPicture {
    // The complete picture: for startsGop pictures sequence header, sequence
    // extension, sequence display extension and GOP header first; then picture
    // header, picture coding extension, slices, then zero stuffing bytes.
    std::vector<uint8_t> bytes;
    char type = 'I';            // 'I', 'P' or 'B'
    int temporalReference = 0;  // display position within its GOP (the header field)
    int64_t decodeIndex = 0;    // stored position, 0 = first picture of the stream
    int64_t displayIndex = 0;   // presentation position, 0 = first displayed picture
    bool startsGop = false;     // true exactly for I pictures: carries sequence + GOP headers
    bool closedGop = false;     // the closed_gop flag of the GOP this picture belongs to
    // MXF index entry values for the entry at edit unit e = decodeIndex:
    // temporalOffset: the picture DISPLAYED at position e is stored at
    //   e + temporalOffset (so it describes another picture than this one when
    //   reordering happens). For I2 B0 B1 P5 B3 B4 the entries are
    //   +1 +1 -2 +1 +1 -2.
    // displayOffset: displayIndex - decodeIndex of THIS picture (+2 -1 -1 +2 -1 -1
    //   in the example); the negated temporal offset seen from the display side.
    // keyFrameOffset: decode-order offset from this picture back to the I
    //   picture of its own GOP (0 for the I picture, -1, -2, ... for the
    //   following stored pictures, including the leading B pictures).
    int8_t temporalOffset = 0;
    int8_t displayOffset = 0;
    int8_t keyFrameOffset = 0;
    // Position of the picture within its GOP in stored order (0 = the I picture).
    int gopStoredPosition = 0;
};

class Mpeg2Encoder {
public:
    // frameCount: pictures in the stream. firstDrawnNumber: the number drawn on
    // the picture with display index 0 (display index d draws
    // firstDrawnNumber + d), so a clip split over several files can keep
    // counting. Throws std::invalid_argument for settings it cannot write.
    Mpeg2Encoder(const Mpeg2Settings& settings, int64_t frameCount, int64_t firstDrawnNumber = 0);

    const Mpeg2Settings& Settings() const { return mSettings; }
    int64_t FrameCount() const { return mFrameCount; }
    int64_t FirstDrawnNumber() const { return mFirstDrawnNumber; }

    // The picture stored at decodeIndex (0 <= decodeIndex < FrameCount(), else
    // std::out_of_range). A pure function of the settings and decodeIndex.
    CodedPicture Picture(int64_t decodeIndex) const;
    // Same, reusing out.bytes' capacity (for writers that loop over a file).
    void EncodePicture(int64_t decodeIndex, CodedPicture& out) const;
    // Byte size Picture(decodeIndex).bytes will have, computed without writing the picture.
    uint64_t PictureSize(int64_t decodeIndex) const;

    int64_t DisplayIndexOf(int64_t decodeIndex) const;
    int64_t DecodeIndexOf(int64_t displayIndex) const;
    // Element k: display index of the picture stored at decode index k.
    static std::vector<int64_t> DisplayOrder(const Mpeg2Settings& settings, int64_t frameCount);

    // Header values written, for descriptors that must agree with the stream.
    uint8_t ProfileAndLevel() const;  // 0x82 (4:2:2@High) or 0x85 (4:2:2@Main)
    int FrameRateCode() const;        // 1..8
    uint32_t VbvBufferSizeBits() const;
    // Digits drawn on each picture (zero padded) and the largest number drawable.
    static constexpr int kDigitCount = 6;
    static constexpr int64_t kMaxDrawnNumber = 999999;  // drawn modulo 1000000 beyond

    // Returns an empty string when the settings can be written, else why not.
    static std::string CheckSettings(const Mpeg2Settings& settings);

private:
    struct Layout;  // GOP patterns, shared by copies of the encoder
    struct Position {
        int64_t gopStart = 0;  // decode (and display) index of the GOP's first picture
        int gopLength = 0;
        int storedPos = 0;   // position in stored order within the GOP
        int displayPos = 0;  // position in display order within the GOP
        char type = 'I';
        double weightScale = 1.0;
    };
    void Locate(int64_t decodeIndex, Position& pos) const;
    bool RowInk(int mbRow, int64_t number, uint8_t* colours) const;
    void WriteHeaders(Mpeg2BitWriter& writer, const Position& pos) const;
    uint64_t TargetSize(int64_t decodeIndex, const Position& pos) const;

    Mpeg2Settings mSettings;
    int64_t mFrameCount = 0;
    int64_t mFirstDrawnNumber = 0;
    int mMbWidth = 0;
    int mMbHeight = 0;
    int mFrameRateCode = 0;
    uint32_t mVbvBufferSizeValue = 0;  // in 16384-bit units
    std::shared_ptr<const Layout> mLayout;
    // Per picture kind (0 I, 1 P, 2 B): the coded bytes of one all-background
    // slice after its 4-byte start code, copied for rows without digits.
    std::vector<uint8_t> mBackgroundSlice[3];
};

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter

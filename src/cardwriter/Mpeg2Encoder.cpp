#include "Mpeg2Encoder.h"

#include "Mpeg2FrameRates.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <stdexcept>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

// Big-endian bit writer appending to a byte vector. Holds fewer than 8
// pending bits between calls; bits above those in the accumulator are stale
// and never read.
class Mpeg2BitWriter {
public:
    explicit Mpeg2BitWriter(std::vector<uint8_t>& out) : mOut(out) {}

    void Put(uint32_t value, int bits) {
        mAcc = (mAcc << bits) | (value & ((bits == 32) ? 0xFFFFFFFFu : ((1u << bits) - 1)));
        mCount += bits;
        while (mCount >= 8) {
            mCount -= 8;
            mOut.push_back(static_cast<uint8_t>(mAcc >> mCount));
        }
    }
    // Pads with zero bits to the next byte boundary (next_start_code).
    void Align() {
        if (mCount != 0) Put(0, 8 - mCount);
    }
    void StartCode(uint8_t code) {
        Align();
        mOut.insert(mOut.end(), {0x00, 0x00, 0x01, code});
    }

private:
    std::vector<uint8_t>& mOut;
    uint64_t mAcc = 0;
    int mCount = 0;
};

namespace {

struct Code {
    uint32_t bits = 0;
    int length = 0;
};

// dct_dc_size_luminance / dct_dc_size_chrominance VLCs for sizes 0..11.
constexpr std::array<Code, 12> kLumaDcSize = {{{0b100, 3},
                                               {0b00, 2},
                                               {0b01, 2},
                                               {0b101, 3},
                                               {0b110, 3},
                                               {0b1110, 4},
                                               {0b11110, 5},
                                               {0b111110, 6},
                                               {0b1111110, 7},
                                               {0b11111110, 8},
                                               {0b111111110, 9},
                                               {0b111111111, 9}}};
constexpr std::array<Code, 12> kChromaDcSize = {{{0b00, 2},
                                                 {0b01, 2},
                                                 {0b10, 2},
                                                 {0b110, 3},
                                                 {0b1110, 4},
                                                 {0b11110, 5},
                                                 {0b111110, 6},
                                                 {0b1111110, 7},
                                                 {0b11111110, 8},
                                                 {0b111111110, 9},
                                                 {0b1111111110, 10},
                                                 {0b1111111111, 10}}};

// A DC-only intra block: size VLC, differential, then end of block ("10" in
// the intra_vlc_format 0 table). Indexed by differential + 255.
struct DcTables {
    std::array<Code, 511> luma;
    std::array<Code, 511> chroma;
    DcTables() {
        for (int diff = -255; diff <= 255; ++diff) {
            int magnitude = diff < 0 ? -diff : diff;
            int size = 0;
            while ((1 << size) <= magnitude) ++size;
            uint32_t value =
                diff >= 0 ? static_cast<uint32_t>(diff) : static_cast<uint32_t>(diff + (1 << size) - 1);
            for (int chroma = 0; chroma < 2; ++chroma) {
                const Code& sizeCode = chroma ? kChromaDcSize[size] : kLumaDcSize[size];
                Code code;
                code.bits = (((sizeCode.bits << size) | value) << 2) | 0b10;
                code.length = sizeCode.length + size + 2;
                (chroma ? this->chroma : luma)[diff + 255] = code;
            }
        }
    }
};

const DcTables& Tables() {
    static const DcTables tables;
    return tables;
}

// 5x7 glyphs of the digits 0..9, one row per byte, bit 4 the leftmost cell.
constexpr uint8_t kGlyphs[10][7] = {
    {0b01110, 0b10001, 0b10011, 0b10101, 0b11001, 0b10001, 0b01110},
    {0b00100, 0b01100, 0b00100, 0b00100, 0b00100, 0b00100, 0b01110},
    {0b01110, 0b10001, 0b00001, 0b00010, 0b00100, 0b01000, 0b11111},
    {0b11111, 0b00010, 0b00100, 0b00010, 0b00001, 0b10001, 0b01110},
    {0b00010, 0b00110, 0b01010, 0b10010, 0b11111, 0b00010, 0b00010},
    {0b11111, 0b10000, 0b11110, 0b00001, 0b00001, 0b10001, 0b01110},
    {0b00110, 0b01000, 0b10000, 0b11110, 0b10001, 0b10001, 0b01110},
    {0b11111, 0b00001, 0b00010, 0b00100, 0b01000, 0b01000, 0b01000},
    {0b01110, 0b10001, 0b10001, 0b01110, 0b10001, 0b10001, 0b01110},
    {0b01110, 0b10001, 0b10001, 0b01111, 0b00001, 0b00010, 0b01100},
};
constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kGlyphPitch = kGlyphWidth + 1;  // one empty cell between digits

struct Colour {
    uint8_t y, cb, cr;
};
constexpr Colour kBackground = {160, 112, 140};
constexpr Colour kInk = {32, 128, 128};

// Picture coding types as written in the picture header, indexed by kind.
constexpr int kCodingType[3] = {1, 2, 3};
// macroblock_address_increment "1" followed by macroblock_type intra.
constexpr Code kMacroblockStart[3] = {{0b11, 2}, {0b100011, 6}, {0b100011, 6}};

int KindOf(char type) {
    return type == 'I' ? 0 : (type == 'P' ? 1 : 2);
}

int FrameRateCodeOf(int numerator, int denominator) {
    if (numerator <= 0 || denominator <= 0) return 0;
    int g = std::gcd(numerator, denominator);
    int n = numerator / g, d = denominator / g;
    for (int code = 1; code <= kMpeg2MaxFrameRateCode; ++code) {
        if (kMpeg2FrameRates[code].numerator == n && kMpeg2FrameRates[code].denominator == d) return code;
    }
    return 0;
}

// Macroblock rows: interlaced frame pictures round the height to 32 lines.
int MacroblockRows(const Mpeg2Settings& s) {
    return s.interlaced ? 2 * ((s.height + 31) / 32) : (s.height + 15) / 16;
}

// Digit cell size in macroblocks: 2 where six digits fit, else 1.
int CellMacroblocks(int mbWidth, int mbRows) {
    return (mbWidth >= 2 * (Mpeg2Encoder::kDigitCount * kGlyphPitch - 1) && mbRows >= 2 * kGlyphHeight) ? 2
                                                                                                        : 1;
}

uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Stored-order layout of one GOP of `length` pictures with `m` = B pictures + 1.
struct GopEntry {
    int displayPos;
    char type;
};

std::vector<GopEntry> BuildGop(int length, int m) {
    std::vector<GopEntry> stored;
    stored.reserve(length);
    int previousAnchor = -1;
    for (int p = 0; p < length; ++p) {
        bool anchor = ((p + 1) % m == 0) || p == length - 1;
        if (!anchor) continue;
        stored.push_back({p, previousAnchor < 0 ? 'I' : 'P'});
        for (int b = previousAnchor + 1; b < p; ++b) stored.push_back({b, 'B'});
        previousAnchor = p;
    }
    return stored;
}

// Counts the bits a slice takes without writing them.
struct BitCounter {
    uint64_t bits = 0;
    void Put(uint32_t, int length) { bits += static_cast<uint64_t>(length); }
};

// Slice header after the start code, then every macroblock of the row, each
// intra coded with DC-only blocks. `colours` null means all background.
template <class Writer>
void WriteSlice(Writer& writer, int kind, const uint8_t* colours, int mbWidth) {
    const DcTables& tables = Tables();
    writer.Put(8, 5);                             // quantiser_scale_code (unused: no AC coefficients)
    writer.Put(0, 1);                             // extra_bit_slice
    int predY = 128, predCb = 128, predCr = 128;  // DC predictors reset at each slice (8-bit precision)
    const Code start = kMacroblockStart[kind];
    for (int x = 0; x < mbWidth; ++x) {
        const Colour& c = (colours && colours[x]) ? kInk : kBackground;
        writer.Put(start.bits, start.length);
        const Code& y0 = tables.luma[c.y - predY + 255];
        const Code& same = tables.luma[255];
        writer.Put(y0.bits, y0.length);
        writer.Put((same.bits << (2 * same.length)) | (same.bits << same.length) | same.bits,
                   3 * same.length);
        const Code& cb = tables.chroma[c.cb - predCb + 255];
        const Code& cr = tables.chroma[c.cr - predCr + 255];
        const Code& sameC = tables.chroma[255];
        writer.Put(cb.bits, cb.length);
        writer.Put(cr.bits, cr.length);
        writer.Put((sameC.bits << sameC.length) | sameC.bits, 2 * sameC.length);
        predY = c.y;
        predCb = c.cb;
        predCr = c.cr;
    }
}

}  // namespace

struct Mpeg2Encoder::Layout {
    std::vector<GopEntry> full;  // a GOP of gopLength pictures
    std::vector<GopEntry> last;  // the stream's last GOP when shorter
    std::vector<int> fullDisplayToStored;
    std::vector<int> lastDisplayToStored;
    double fullWeightScale = 1.0;  // VBR: makes the weights of a GOP average 1
    double lastWeightScale = 1.0;
};

namespace {

double TypeWeight(char type) {
    return type == 'I' ? 1.8 : (type == 'P' ? 1.15 : 0.8);
}

void FillLayout(const std::vector<GopEntry>& gop, std::vector<int>& displayToStored, double& scale) {
    displayToStored.assign(gop.size(), 0);
    double sum = 0;
    for (size_t i = 0; i < gop.size(); ++i) {
        displayToStored[gop[i].displayPos] = static_cast<int>(i);
        sum += TypeWeight(gop[i].type);
    }
    scale = gop.empty() ? 1.0 : static_cast<double>(gop.size()) / sum;
}

}  // namespace

std::string Mpeg2Encoder::CheckSettings(const Mpeg2Settings& s) {
    if (s.width % 16 != 0 || s.width < 16 || s.width > 1920)
        return "width must be a multiple of 16 up to 1920";
    if (s.height < 16 || s.height > 1088) return "height must be 16..1088";
    int mbRows = MacroblockRows(s);
    if (s.width / 16 < kDigitCount * kGlyphPitch - 1 || mbRows < kGlyphHeight)
        return "picture too small for the frame number";
    if (FrameRateCodeOf(s.rateNumerator, s.rateDenominator) == 0) return "unsupported frame rate";
    if (s.bitRate == 0 || s.bitRate / 400 >= (1u << 30)) return "bit rate out of range";
    if (s.gopLength < 1 || s.gopLength > 128) return "GOP length must be 1..128";
    if (s.bPictures < 0 || s.bPictures >= s.gopLength || s.bPictures > 30)
        return "B picture count out of range";
    return {};
}

Mpeg2Encoder::Mpeg2Encoder(const Mpeg2Settings& settings, int64_t frameCount, int64_t firstDrawnNumber)
    : mSettings(settings), mFrameCount(frameCount), mFirstDrawnNumber(firstDrawnNumber) {
    std::string problem = CheckSettings(settings);
    if (!problem.empty()) throw std::invalid_argument("Mpeg2Encoder: " + problem);
    if (frameCount < 0) throw std::invalid_argument("Mpeg2Encoder: negative frame count");
    if (firstDrawnNumber < 0) throw std::invalid_argument("Mpeg2Encoder: negative first drawn number");
    mMbWidth = settings.width / 16;
    mMbHeight = MacroblockRows(settings);
    mFrameRateCode = FrameRateCodeOf(settings.rateNumerator, settings.rateDenominator);

    // Half a second of the stream, within the 4:2:2 High Level limit.
    uint64_t vbvBits = std::max<uint64_t>(settings.bitRate / 2, 16384);
    mVbvBufferSizeValue = static_cast<uint32_t>(std::min<uint64_t>((vbvBits + 16383) / 16384, 2880));

    auto layout = std::make_shared<Layout>();
    int m = settings.bPictures + 1;
    layout->full = BuildGop(settings.gopLength, m);
    FillLayout(layout->full, layout->fullDisplayToStored, layout->fullWeightScale);
    int lastLength = frameCount > 0 ? static_cast<int>((frameCount - 1) % settings.gopLength) + 1 : 0;
    layout->last = BuildGop(lastLength, m);
    FillLayout(layout->last, layout->lastDisplayToStored, layout->lastWeightScale);
    mLayout = std::move(layout);

    for (int kind = 0; kind < 3; ++kind) {
        std::vector<uint8_t> slice;
        Mpeg2BitWriter writer(slice);
        WriteSlice(writer, kind, nullptr, mMbWidth);
        writer.Align();
        mBackgroundSlice[kind] = std::move(slice);
    }
}

uint8_t Mpeg2Encoder::ProfileAndLevel() const {
    bool mainLevel = mSettings.width <= 720 && mMbHeight * 16 <= 608 && mFrameRateCode <= 5;
    return mainLevel ? 0x85 : 0x82;
}

int Mpeg2Encoder::FrameRateCode() const {
    return mFrameRateCode;
}

uint32_t Mpeg2Encoder::VbvBufferSizeBits() const {
    return mVbvBufferSizeValue * 16384u;
}

void Mpeg2Encoder::Locate(int64_t decodeIndex, Position& pos) const {
    if (decodeIndex < 0 || decodeIndex >= mFrameCount) throw std::out_of_range("Mpeg2Encoder: picture index");
    const int n = mSettings.gopLength;
    pos.gopStart = decodeIndex - decodeIndex % n;
    bool last = pos.gopStart + n > mFrameCount;
    const std::vector<GopEntry>& gop = last ? mLayout->last : mLayout->full;
    pos.gopLength = static_cast<int>(gop.size());
    pos.storedPos = static_cast<int>(decodeIndex - pos.gopStart);
    pos.displayPos = gop[pos.storedPos].displayPos;
    pos.type = gop[pos.storedPos].type;
    pos.weightScale = last ? mLayout->lastWeightScale : mLayout->fullWeightScale;
}

int64_t Mpeg2Encoder::DisplayIndexOf(int64_t decodeIndex) const {
    Position pos;
    Locate(decodeIndex, pos);
    return pos.gopStart + pos.displayPos;
}

int64_t Mpeg2Encoder::DecodeIndexOf(int64_t displayIndex) const {
    if (displayIndex < 0 || displayIndex >= mFrameCount)
        throw std::out_of_range("Mpeg2Encoder: display index");
    const int n = mSettings.gopLength;
    int64_t gopStart = displayIndex - displayIndex % n;
    bool last = gopStart + n > mFrameCount;
    const std::vector<int>& map = last ? mLayout->lastDisplayToStored : mLayout->fullDisplayToStored;
    return gopStart + map[static_cast<size_t>(displayIndex - gopStart)];
}

std::vector<int64_t> Mpeg2Encoder::DisplayOrder(const Mpeg2Settings& settings, int64_t frameCount) {
    Mpeg2Encoder encoder(settings, frameCount);
    std::vector<int64_t> order(static_cast<size_t>(frameCount));
    for (int64_t k = 0; k < frameCount; ++k) order[static_cast<size_t>(k)] = encoder.DisplayIndexOf(k);
    return order;
}

// Fills `colours` (one byte per macroblock of row mbRow: 0 background, 1 ink)
// for the frame number drawn as kDigitCount zero-padded digits, centred.
// Returns false when the row holds no ink.
bool Mpeg2Encoder::RowInk(int mbRow, int64_t number, uint8_t* colours) const {
    const int cell = CellMacroblocks(mMbWidth, mMbHeight);
    const int visibleRows = mSettings.height / 16;
    const int textWidth = (kDigitCount * kGlyphPitch - 1) * cell;
    const int x0 = (mMbWidth - textWidth) / 2;
    const int y0 = std::max(0, (visibleRows - kGlyphHeight * cell) / 2);
    if (mbRow < y0 || mbRow >= y0 + kGlyphHeight * cell) return false;
    const int glyphRow = (mbRow - y0) / cell;
    std::memset(colours, 0, static_cast<size_t>(mMbWidth));
    int64_t value = number % (kMaxDrawnNumber + 1);
    for (int d = kDigitCount - 1; d >= 0; --d) {
        uint8_t bits = kGlyphs[value % 10][glyphRow];
        value /= 10;
        for (int c = 0; c < kGlyphWidth; ++c) {
            if (!(bits & (0x10 >> c))) continue;
            int x = x0 + (d * kGlyphPitch + c) * cell;
            for (int i = 0; i < cell; ++i) colours[x + i] = 1;
        }
    }
    return true;
}

uint64_t Mpeg2Encoder::TargetSize(int64_t decodeIndex, const Position& pos) const {
    // Bytes per picture = bitRate * den / (8 * num) = whole + fraction / divisor.
    const uint64_t numer =
        static_cast<uint64_t>(mSettings.bitRate) * static_cast<uint64_t>(mSettings.rateDenominator);
    const uint64_t divisor = 8ull * static_cast<uint64_t>(mSettings.rateNumerator);
    const uint64_t whole = numer / divisor, fraction = numer % divisor;
    const uint64_t k = static_cast<uint64_t>(decodeIndex);
    // Cumulative floor difference: the long-run average is exact.
    uint64_t cbr = whole + ((k + 1) * fraction) / divisor - (k * fraction) / divisor;
    if (mSettings.constantBitRate) return cbr;
    double jitter = 0.85 + 0.3 * static_cast<double>(Mix(k) >> 11) / 9007199254740992.0;
    double bytes = static_cast<double>(numer) / static_cast<double>(divisor) * TypeWeight(pos.type) *
                   pos.weightScale * jitter;
    return static_cast<uint64_t>(bytes);
}

CodedPicture Mpeg2Encoder::Picture(int64_t decodeIndex) const {
    CodedPicture picture;
    EncodePicture(decodeIndex, picture);
    return picture;
}

// Sequence, GOP (for the I picture), picture header and picture coding extension.
void Mpeg2Encoder::WriteHeaders(Mpeg2BitWriter& w, const Position& pos) const {
    const int kind = KindOf(pos.type);
    const bool closed = pos.gopStart == 0 || mSettings.closedGop;
    const Mpeg2Settings& s = mSettings;
    const uint32_t bitRateValue = static_cast<uint32_t>((static_cast<uint64_t>(s.bitRate) + 399) / 400);

    if (pos.storedPos == 0) {
        w.StartCode(0xB3);  // sequence_header
        w.Put(static_cast<uint32_t>(s.width) & 0xFFF, 12);
        w.Put(static_cast<uint32_t>(s.height) & 0xFFF, 12);
        w.Put(3, 4);  // aspect_ratio_information: 16:9
        w.Put(static_cast<uint32_t>(mFrameRateCode), 4);
        w.Put(bitRateValue & 0x3FFFF, 18);
        w.Put(1, 1);  // marker
        w.Put(mVbvBufferSizeValue & 0x3FF, 10);
        w.Put(0, 3);  // constrained_parameters_flag, no quantiser matrices

        w.StartCode(0xB5);  // sequence_extension
        w.Put(1, 4);
        w.Put(ProfileAndLevel(), 8);
        w.Put(s.interlaced ? 0 : 1, 1);  // progressive_sequence
        w.Put(2, 2);                     // chroma_format 4:2:2
        w.Put(static_cast<uint32_t>(s.width) >> 12, 2);
        w.Put(static_cast<uint32_t>(s.height) >> 12, 2);
        w.Put(bitRateValue >> 18, 12);
        w.Put(1, 1);  // marker
        w.Put(mVbvBufferSizeValue >> 10, 8);
        w.Put(0, 1);  // low_delay: B pictures may occur
        w.Put(0, 7);  // frame_rate_extension_n, _d

        w.StartCode(0xB5);  // sequence_display_extension
        w.Put(2, 4);
        w.Put(0, 3);  // video_format: component
        w.Put(1, 1);  // colour_description
        w.Put(1, 8);  // colour_primaries: BT.709
        w.Put(1, 8);  // transfer_characteristics: BT.709
        w.Put(1, 8);  // matrix_coefficients: BT.709
        w.Put(static_cast<uint32_t>(s.width), 14);
        w.Put(1, 1);
        w.Put(static_cast<uint32_t>(s.height), 14);

        // group_of_pictures_header: the time code of the GOP's first displayed
        // picture, non-drop at the rounded picture rate.
        w.StartCode(0xB8);
        const int64_t fps = (s.rateNumerator + s.rateDenominator / 2) / s.rateDenominator;
        const int64_t count = mFirstDrawnNumber + pos.gopStart;
        w.Put(0, 1);  // drop_frame_flag
        w.Put(static_cast<uint32_t>((count / (fps * 3600)) % 24), 5);
        w.Put(static_cast<uint32_t>((count / (fps * 60)) % 60), 6);
        w.Put(1, 1);  // marker
        w.Put(static_cast<uint32_t>((count / fps) % 60), 6);
        w.Put(static_cast<uint32_t>(count % fps), 6);
        w.Put(closed ? 1 : 0, 1);
        w.Put(0, 1);  // broken_link
    }

    w.StartCode(0x00);  // picture_header
    w.Put(static_cast<uint32_t>(pos.displayPos), 10);
    w.Put(static_cast<uint32_t>(kCodingType[kind]), 3);
    // vbv_delay: constant for CBR (half the buffer in flight), "unspecified" for VBR.
    uint32_t vbvDelay = 0xFFFF;
    if (s.constantBitRate) {
        uint64_t delay = static_cast<uint64_t>(VbvBufferSizeBits()) / 2 * 90000 / s.bitRate;
        vbvDelay = static_cast<uint32_t>(std::min<uint64_t>(delay, 0xFFFE));
    }
    w.Put(vbvDelay, 16);
    if (kind >= 1) w.Put(0b0111, 4);  // full_pel_forward_vector, forward_f_code
    if (kind == 2) w.Put(0b0111, 4);  // full_pel_backward_vector, backward_f_code
    w.Put(0, 1);                      // extra_bit_picture

    w.StartCode(0xB5);  // picture_coding_extension
    w.Put(8, 4);
    w.Put(kind >= 1 ? 0x11 : 0xFF, 8);  // f_code[0][*]
    w.Put(kind == 2 ? 0x11 : 0xFF, 8);  // f_code[1][*]
    w.Put(0, 2);                        // intra_dc_precision: 8 bits
    w.Put(3, 2);                        // picture_structure: frame
    w.Put(s.interlaced && s.topFieldFirst ? 1 : 0, 1);
    w.Put(1, 1);                     // frame_pred_frame_dct
    w.Put(0, 1);                     // concealment_motion_vectors
    w.Put(0, 1);                     // q_scale_type
    w.Put(0, 1);                     // intra_vlc_format
    w.Put(0, 1);                     // alternate_scan
    w.Put(0, 1);                     // repeat_first_field
    w.Put(0, 1);                     // chroma_420_type (0 for 4:2:2)
    w.Put(s.interlaced ? 0 : 1, 1);  // progressive_frame
    w.Put(0, 1);                     // composite_display_flag
}

// Same arithmetic as EncodePicture, counting instead of writing the slices
// (writers plan their layout from it before writing).
uint64_t Mpeg2Encoder::PictureSize(int64_t decodeIndex) const {
    Position pos;
    Locate(decodeIndex, pos);
    std::vector<uint8_t> headers;
    headers.reserve(128);
    Mpeg2BitWriter w(headers);
    WriteHeaders(w, pos);
    w.Align();
    uint64_t size = headers.size();
    const int kind = KindOf(pos.type);
    const int64_t number = mFirstDrawnNumber + pos.gopStart + pos.displayPos;
    std::vector<uint8_t> colours(static_cast<size_t>(mMbWidth));
    for (int row = 0; row < mMbHeight; ++row) {
        size += 4;  // slice start code
        if (RowInk(row, number, colours.data())) {
            BitCounter counter;
            WriteSlice(counter, kind, colours.data(), mMbWidth);
            size += (counter.bits + 7) / 8;
        } else {
            size += mBackgroundSlice[kind].size();
        }
    }
    return std::max(size, TargetSize(decodeIndex, pos));
}

void Mpeg2Encoder::EncodePicture(int64_t decodeIndex, CodedPicture& out) const {
    Position pos;
    Locate(decodeIndex, pos);
    const int kind = KindOf(pos.type);
    const int64_t displayIndex = pos.gopStart + pos.displayPos;
    const bool closed = pos.gopStart == 0 || mSettings.closedGop;

    out.type = pos.type;
    out.temporalReference = pos.displayPos;
    out.decodeIndex = decodeIndex;
    out.displayIndex = displayIndex;
    out.startsGop = pos.storedPos == 0;
    out.closedGop = closed;
    out.gopStoredPosition = pos.storedPos;
    out.keyFrameOffset = static_cast<int8_t>(-pos.storedPos);
    out.displayOffset = static_cast<int8_t>(displayIndex - decodeIndex);
    out.temporalOffset = static_cast<int8_t>(DecodeIndexOf(decodeIndex) - decodeIndex);

    std::vector<uint8_t>& bytes = out.bytes;
    bytes.clear();
    const uint64_t target = TargetSize(decodeIndex, pos);
    bytes.reserve(std::max<uint64_t>(target, 4096));
    Mpeg2BitWriter w(bytes);

    WriteHeaders(w, pos);

    std::vector<uint8_t> colours(static_cast<size_t>(mMbWidth));
    const int64_t number = mFirstDrawnNumber + displayIndex;
    const std::vector<uint8_t>& background = mBackgroundSlice[kind];
    for (int row = 0; row < mMbHeight; ++row) {
        w.StartCode(static_cast<uint8_t>(row + 1));
        if (RowInk(row, number, colours.data())) {
            WriteSlice(w, kind, colours.data(), mMbWidth);
        } else {
            bytes.insert(bytes.end(), background.begin(), background.end());
        }
    }
    w.Align();
    // Zero stuffing may precede any start code; it pads the picture to its share of the bit rate.
    if (bytes.size() < target) bytes.resize(target, 0);
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter

#include "Mpeg2Headers.h"

namespace qzimport {

namespace {

constexpr uint8_t kPictureStartCode = 0x00;
constexpr uint8_t kGopStartCode = 0xB8;
constexpr uint8_t kSequenceHeaderCode = 0xB3;

// Offset of the first start code 00 00 01 `code` at or after `from`.
std::optional<size_t> FindStartCode(const uint8_t* bytes, size_t size, uint8_t code, size_t from = 0) {
    for (size_t i = from; i + 3 < size; ++i)
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] == code) return i;
    return std::nullopt;
}

// picture_coding_type of the first picture header; nothing when there is none.
std::optional<uint8_t> FirstPictureCodingType(const uint8_t* bytes, size_t size) {
    const std::optional<size_t> at = FindStartCode(bytes, size, kPictureStartCode);
    // temporal_reference (10 bits), then picture_coding_type (3 bits).
    if (!at || *at + 5 >= size) return std::nullopt;
    return static_cast<uint8_t>((bytes[*at + 5] >> 3) & 0x07);
}

}  // namespace

uint8_t Mpeg2Headers::PictureCodingType(const uint8_t* bytes, size_t size) {
    return FirstPictureCodingType(bytes, size).value_or(0);
}

char Mpeg2Headers::PictureTypeLetter(const uint8_t* bytes, size_t size) {
    const std::optional<uint8_t> type = FirstPictureCodingType(bytes, size);
    if (!type) return 0;
    switch (*type) {
        case 1:
            return 'I';
        case 2:
            return 'P';
        case 3:
            return 'B';
        default:
            return '?';
    }
}

std::optional<size_t> Mpeg2Headers::GopFlagsOffset(const uint8_t* bytes, size_t size) {
    const std::optional<size_t> picture = FindStartCode(bytes, size, kPictureStartCode);
    const std::optional<size_t> gop = FindStartCode(bytes, picture ? *picture : size, kGopStartCode);
    // time_code (25 bits), closed_gop, broken_link: bits 6 and 5 of the
    // header's fourth byte.
    if (!gop || *gop + 7 >= size) return std::nullopt;
    return *gop + 7;
}

bool Mpeg2Headers::StartsWithSequenceHeader(const uint8_t* bytes, size_t size) {
    return size >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1 && bytes[3] == kSequenceHeaderCode;
}

size_t Mpeg2Headers::SequenceHeadersLength(const uint8_t* bytes, size_t size) {
    if (!StartsWithSequenceHeader(bytes, size)) return 0;
    for (size_t i = 4; i + 3 < size; ++i)
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 &&
            (bytes[i + 3] == kGopStartCode || bytes[i + 3] == kPictureStartCode))
            return i;
    return 0;
}

}  // namespace qzimport

#pragma once
// Result codes and small value records shared by every MXF reader class.
// Operations that can fail return one of the codes below (0 = success).
#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

constexpr uint32_t kMxfNoErr = 0;
// A required stream, packet or buffer is absent; a UMID of the wrong size.
constexpr uint32_t kMxfErrInvalidArgument = 0x130001;
// An auxiliary object (reader or memory stream) could not be created.
constexpr uint32_t kMxfErrAuxiliaryObject = 0x130002;
// The bytes do not form the expected structure, a required item is missing
// or a lookup failed.
constexpr uint32_t kMxfErrFormat = 0x131001;

// Edit rates, sampling rates, aspect ratios: 8 bytes in a file, numerator first.
struct _Rational {
    int32_t numerator = 0;
    int32_t denominator = 0;
};

// 8 bytes in a file, in field order; qmsec counts quarter-milliseconds.
struct _Timestamp {
    uint16_t year = 0;
    uint8_t month = 0;
    uint8_t day = 0;
    uint8_t hour = 0;
    uint8_t minute = 0;
    uint8_t second = 0;
    uint8_t qmsec = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug

#pragma once
// The host's media time: a rational value ÷ timescale seconds, or one of
// the non-numeric times (positive or negative infinity, indefinite) or an
// invalid time. Plain values, safe to copy between threads.
//
// Arithmetic is exact. Where the framework would rescale a result that does
// not fit (a common timescale above 2^31 − 1, or a value beyond 64 bits),
// these functions answer an invalid time instead: every caller in this
// system checks validity, and a flagged failure is safer than a silently
// rounded time. Rounding happens only in CMTimeConvertScale, which is asked
// for it.
#include <cstdint>

#include "CFType.h"

namespace ComVantoVantoQZ64RADPlug {

using CMTimeValue = int64_t;
using CMTimeScale = int32_t;
using CMTimeEpoch = int64_t;
using CMTimeFlags = uint32_t;

enum : CMTimeFlags {
    kCMTimeFlags_Valid = 1u << 0,
    kCMTimeFlags_HasBeenRounded = 1u << 1,
    kCMTimeFlags_PositiveInfinity = 1u << 2,
    kCMTimeFlags_NegativeInfinity = 1u << 3,
    kCMTimeFlags_Indefinite = 1u << 4,
    kCMTimeFlags_ImpliedValueFlagsMask =
        kCMTimeFlags_PositiveInfinity | kCMTimeFlags_NegativeInfinity | kCMTimeFlags_Indefinite,
};

inline constexpr CMTimeScale kCMTimeMaxTimescale = 0x7fffffff;

struct CMTime {
    CMTimeValue value;
    CMTimeScale timescale;
    CMTimeFlags flags;
    CMTimeEpoch epoch;
};
static_assert(sizeof(CMTime) == 24, "the host's layout is 24 bytes");

using CMTimeRoundingMethod = uint32_t;
enum : CMTimeRoundingMethod {
    kCMTimeRoundingMethod_RoundHalfAwayFromZero = 1,
    kCMTimeRoundingMethod_RoundTowardZero = 2,
    kCMTimeRoundingMethod_RoundAwayFromZero = 3,
    kCMTimeRoundingMethod_RoundTowardPositiveInfinity = 5,
    kCMTimeRoundingMethod_RoundTowardNegativeInfinity = 6,  // the floor
    kCMTimeRoundingMethod_Default = kCMTimeRoundingMethod_RoundHalfAwayFromZero,
};

inline constexpr CMTime kCMTimeInvalid = {0, 0, 0, 0};
inline constexpr CMTime kCMTimeIndefinite = {0, 0, kCMTimeFlags_Valid | kCMTimeFlags_Indefinite, 0};
inline constexpr CMTime kCMTimePositiveInfinity = {0, 0, kCMTimeFlags_Valid | kCMTimeFlags_PositiveInfinity,
                                                   0};
inline constexpr CMTime kCMTimeNegativeInfinity = {0, 0, kCMTimeFlags_Valid | kCMTimeFlags_NegativeInfinity,
                                                   0};
inline constexpr CMTime kCMTimeZero = {0, 1, kCMTimeFlags_Valid, 0};

// Valid: flagged valid, and a numeric time has a positive timescale.
bool CMTIME_IS_VALID(const CMTime& time);
inline bool CMTIME_IS_INVALID(const CMTime& time) {
    return !CMTIME_IS_VALID(time);
}
bool CMTIME_IS_POSITIVE_INFINITY(const CMTime& time);
bool CMTIME_IS_NEGATIVE_INFINITY(const CMTime& time);
bool CMTIME_IS_INDEFINITE(const CMTime& time);
// Valid and none of infinity or indefinite.
bool CMTIME_IS_NUMERIC(const CMTime& time);
bool CMTIME_HAS_BEEN_ROUNDED(const CMTime& time);

// Valid for a positive timescale, invalid otherwise.
CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale);
CMTime CMTimeMakeWithEpoch(CMTimeValue value, CMTimeScale timescale, CMTimeEpoch epoch);

// value × newTimescale ÷ timescale, rounded by `method` (1 to 3, 5 or 6;
// method 4 is not offered and gives an invalid time, as does a value beyond
// 64 bits). Non-numeric times come back as they are; a new timescale below
// 1 gives an invalid time. An inexact result is flagged as rounded.
CMTime CMTimeConvertScale(CMTime time, int32_t newTimescale, CMTimeRoundingMethod method);

// Exact sums in the common timescale (the operands' own when equal, else
// their least common multiple); invalid when that timescale or the value
// does not fit, when the epochs differ, or for +∞ + −∞ (+∞ − +∞ and
// −∞ − −∞). Infinity with a numeric time stays infinite; indefinite with a
// valid time is indefinite; anything with an invalid time is invalid.
CMTime CMTimeAdd(CMTime lhs, CMTime rhs);
CMTime CMTimeSubtract(CMTime lhs, CMTime rhs);
// value × multiplier in the same timescale; invalid when it does not fit.
// Infinity times a positive multiplier keeps its sign, a negative one turns
// it, zero gives an invalid time.
CMTime CMTimeMultiply(CMTime time, int32_t multiplier);

// −1, 0 or 1. Order: negative infinity < numeric times < indefinite <
// positive infinity < invalid (invalid times equal each other). Numeric
// times compare by epoch first, then by exact value.
int32_t CMTimeCompare(CMTime time1, CMTime time2);

}  // namespace ComVantoVantoQZ64RADPlug

#include "CMTime.h"

#include <limits>

namespace ComVantoVantoQZ64RADPlug {

namespace {

using Int128 = __int128;

constexpr Int128 kValueMin = std::numeric_limits<CMTimeValue>::min();
constexpr Int128 kValueMax = std::numeric_limits<CMTimeValue>::max();

bool Fits(Int128 value) {
    return value >= kValueMin && value <= kValueMax;
}

CMTime Numeric(Int128 value, CMTimeScale timescale, CMTimeFlags extraFlags, CMTimeEpoch epoch) {
    if (!Fits(value)) return kCMTimeInvalid;
    return {static_cast<CMTimeValue>(value), timescale, kCMTimeFlags_Valid | extraFlags, epoch};
}

// numerator ÷ denominator (denominator > 0) rounded by `method`; false for
// a method not offered.
bool RoundedQuotient(Int128 numerator, Int128 denominator, CMTimeRoundingMethod method, Int128* result) {
    Int128 quotient = numerator / denominator;         // truncated toward zero
    const Int128 remainder = numerator % denominator;  // the sign of numerator
    const int sign = remainder > 0 ? 1 : (remainder < 0 ? -1 : 0);
    switch (method) {
        case kCMTimeRoundingMethod_RoundHalfAwayFromZero: {
            const Int128 twice = remainder < 0 ? -2 * remainder : 2 * remainder;
            if (twice >= denominator) quotient += sign;
            break;
        }
        case kCMTimeRoundingMethod_RoundTowardZero:
            break;
        case kCMTimeRoundingMethod_RoundAwayFromZero:
            quotient += sign;
            break;
        case kCMTimeRoundingMethod_RoundTowardPositiveInfinity:
            if (sign > 0) ++quotient;
            break;
        case kCMTimeRoundingMethod_RoundTowardNegativeInfinity:
            if (sign < 0) --quotient;
            break;
        default:
            return false;
    }
    *result = quotient;
    return true;
}

Int128 GreatestCommonDivisor(Int128 a, Int128 b) {
    while (b != 0) {
        const Int128 r = a % b;
        a = b;
        b = r;
    }
    return a;
}

// A time's place in the comparison order: 0 −∞, 1 numeric, 2 indefinite,
// 3 +∞, 4 invalid.
int Rank(const CMTime& time) {
    if (!CMTIME_IS_VALID(time)) return 4;
    if (time.flags & kCMTimeFlags_PositiveInfinity) return 3;
    if (time.flags & kCMTimeFlags_Indefinite) return 2;
    if (time.flags & kCMTimeFlags_NegativeInfinity) return 0;
    return 1;
}

CMTime Sum(const CMTime& lhs, const CMTime& rhs, int rhsSign) {
    if (!CMTIME_IS_VALID(lhs) || !CMTIME_IS_VALID(rhs)) return kCMTimeInvalid;
    if (CMTIME_IS_INDEFINITE(lhs) || CMTIME_IS_INDEFINITE(rhs)) return kCMTimeIndefinite;
    // Infinities: +1 for +∞, −1 for −∞, 0 for a numeric time.
    const int a = CMTIME_IS_POSITIVE_INFINITY(lhs) ? 1 : (CMTIME_IS_NEGATIVE_INFINITY(lhs) ? -1 : 0);
    const int b =
        rhsSign * (CMTIME_IS_POSITIVE_INFINITY(rhs) ? 1 : (CMTIME_IS_NEGATIVE_INFINITY(rhs) ? -1 : 0));
    if (a != 0 || b != 0) {
        if (a != 0 && b != 0 && a != b) return kCMTimeInvalid;
        return (a != 0 ? a : b) > 0 ? kCMTimePositiveInfinity : kCMTimeNegativeInfinity;
    }
    if (lhs.epoch != rhs.epoch) return kCMTimeInvalid;
    const CMTimeFlags rounded = (lhs.flags | rhs.flags) & kCMTimeFlags_HasBeenRounded;
    if (lhs.timescale == rhs.timescale)
        return Numeric(Int128(lhs.value) + rhsSign * Int128(rhs.value), lhs.timescale, rounded, lhs.epoch);
    const Int128 common =
        Int128(lhs.timescale) / GreatestCommonDivisor(lhs.timescale, rhs.timescale) * rhs.timescale;
    if (common > kCMTimeMaxTimescale) return kCMTimeInvalid;
    const Int128 value =
        Int128(lhs.value) * (common / lhs.timescale) + rhsSign * Int128(rhs.value) * (common / rhs.timescale);
    return Numeric(value, static_cast<CMTimeScale>(common), rounded, lhs.epoch);
}

}  // namespace

bool CMTIME_IS_VALID(const CMTime& time) {
    if (!(time.flags & kCMTimeFlags_Valid)) return false;
    return (time.flags & kCMTimeFlags_ImpliedValueFlagsMask) != 0 || time.timescale > 0;
}

bool CMTIME_IS_POSITIVE_INFINITY(const CMTime& time) {
    return CMTIME_IS_VALID(time) && (time.flags & kCMTimeFlags_PositiveInfinity);
}

bool CMTIME_IS_NEGATIVE_INFINITY(const CMTime& time) {
    return CMTIME_IS_VALID(time) && (time.flags & kCMTimeFlags_NegativeInfinity);
}

bool CMTIME_IS_INDEFINITE(const CMTime& time) {
    return CMTIME_IS_VALID(time) && (time.flags & kCMTimeFlags_Indefinite);
}

bool CMTIME_IS_NUMERIC(const CMTime& time) {
    return CMTIME_IS_VALID(time) && !(time.flags & kCMTimeFlags_ImpliedValueFlagsMask);
}

bool CMTIME_HAS_BEEN_ROUNDED(const CMTime& time) {
    return CMTIME_IS_NUMERIC(time) && (time.flags & kCMTimeFlags_HasBeenRounded);
}

CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale) {
    return CMTimeMakeWithEpoch(value, timescale, 0);
}

CMTime CMTimeMakeWithEpoch(CMTimeValue value, CMTimeScale timescale, CMTimeEpoch epoch) {
    if (timescale <= 0) return kCMTimeInvalid;
    return {value, timescale, kCMTimeFlags_Valid, epoch};
}

CMTime CMTimeConvertScale(CMTime time, int32_t newTimescale, CMTimeRoundingMethod method) {
    if (!CMTIME_IS_VALID(time) || newTimescale <= 0) return kCMTimeInvalid;
    if (!CMTIME_IS_NUMERIC(time)) return time;
    if (time.timescale == newTimescale) {
        if (method < kCMTimeRoundingMethod_RoundHalfAwayFromZero || method == 4 ||
            method > kCMTimeRoundingMethod_RoundTowardNegativeInfinity)
            return kCMTimeInvalid;
        return time;
    }
    const Int128 numerator = Int128(time.value) * newTimescale;
    Int128 value;
    if (!RoundedQuotient(numerator, time.timescale, method, &value)) return kCMTimeInvalid;
    const bool exact = value * time.timescale == numerator;
    const CMTimeFlags rounded = (time.flags & kCMTimeFlags_HasBeenRounded) |
                                (exact ? CMTimeFlags(0) : CMTimeFlags(kCMTimeFlags_HasBeenRounded));
    return Numeric(value, newTimescale, rounded, time.epoch);
}

CMTime CMTimeAdd(CMTime lhs, CMTime rhs) {
    return Sum(lhs, rhs, 1);
}

CMTime CMTimeSubtract(CMTime lhs, CMTime rhs) {
    return Sum(lhs, rhs, -1);
}

CMTime CMTimeMultiply(CMTime time, int32_t multiplier) {
    if (!CMTIME_IS_VALID(time)) return kCMTimeInvalid;
    if (CMTIME_IS_INDEFINITE(time)) return kCMTimeIndefinite;
    if (!CMTIME_IS_NUMERIC(time)) {
        if (multiplier == 0) return kCMTimeInvalid;
        const bool positive = CMTIME_IS_POSITIVE_INFINITY(time) == (multiplier > 0);
        return positive ? kCMTimePositiveInfinity : kCMTimeNegativeInfinity;
    }
    return Numeric(Int128(time.value) * multiplier, time.timescale, time.flags & kCMTimeFlags_HasBeenRounded,
                   time.epoch);
}

int32_t CMTimeCompare(CMTime time1, CMTime time2) {
    const int rank1 = Rank(time1), rank2 = Rank(time2);
    if (rank1 != rank2) return rank1 < rank2 ? -1 : 1;
    if (rank1 != 1) return 0;
    if (time1.epoch != time2.epoch) return time1.epoch < time2.epoch ? -1 : 1;
    // a/b against c/d with b, d > 0: compare a·d with c·b (each below 2^95).
    const Int128 left = Int128(time1.value) * time2.timescale;
    const Int128 right = Int128(time2.value) * time1.timescale;
    return left < right ? -1 : (left > right ? 1 : 0);
}

}  // namespace ComVantoVantoQZ64RADPlug

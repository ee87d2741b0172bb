#pragma once
// Timecode bases of the recording frame rates and the conversions between
// timecodes and frame counts, with 30-frame drop-frame counting.
#include "CUSharedPtr.h"
#include "FBCClipTypes.h"
#include "TimecodeInfo.h"

#include <cstdint>
#include <utility>

namespace ComVantoVantoQZ64RADPlug {

// Flags of the conversions.
constexpr uint32_t kTimecodeFlagDropFrame = 1u << 0;
// Negative frame counts are converted by their absolute value.
constexpr uint32_t kTimecodeFlagAbsolute = 1u << 1;

// The picture rate rounded to an integer (60 and 50 for 59.94P and 50P);
// 0 for an unknown rate.
uint32_t FBC_Utl_RoundedTimecodeBase(_Frame_Rate rate);
// The rate the recorded timecode counts at (30 and 25 for 59.94P and 50P).
uint32_t FBC_Utl_RecordedTimecodeBase(_Frame_Rate rate);
// Pictures per second as timescale and duration of one picture (30000 and
// 1001 for 59.94i and 29.97P, whose frames are one picture each); 0 and 0
// for an unknown rate.
std::pair<int64_t, int64_t> FBC_Utl_PictureRate(_Frame_Rate rate);

// Frame labels skipped before the start of the timecode's minute; 0 unless
// the base is 30.
uint32_t FBC_Utl_CalculateDropFrameCount(const CUSharedPtr<TimecodeInfo>& timecode, uint32_t base);
// Frame count of a timecode; 0 for a null timecode or base 0.
uint64_t FBC_Utl_TimecodeFromFrame(const CUSharedPtr<TimecodeInfo>& timecode, uint32_t base, uint32_t flags);
// Timecode of a frame count; base 0 gives the zero timecode.
CUSharedPtr<TimecodeInfo> FBC_Utl_FrameFromTimecode(int64_t frameCount, uint32_t base, uint32_t flags);
// b - a field by field, borrowing at the recorded base; zero when b < a.
CUSharedPtr<TimecodeInfo> FBC_Utl_ReductionTimecode(const CUSharedPtr<TimecodeInfo>& a,
                                                    const CUSharedPtr<TimecodeInfo>& b, _Frame_Rate rate);
// a + b field by field, carrying at the recorded base; frames stay 0 unless
// addFrames is set.
CUSharedPtr<TimecodeInfo> FBC_Utl_AddTimecode(const CUSharedPtr<TimecodeInfo>& a,
                                              const CUSharedPtr<TimecodeInfo>& b, _Frame_Rate rate,
                                              bool addFrames);

}  // namespace ComVantoVantoQZ64RADPlug

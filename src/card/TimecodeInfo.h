#pragma once
// SMPTE-style timecode value. Hours are not limited to 23: the conversions
// count on past 24 hours instead of wrapping.
#include "CUObject.h"
#include "CUSharedPtr.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

class TimecodeInfo : public CUObject {
public:
    TimecodeInfo() = default;
    TimecodeInfo(uint8_t hours, uint8_t minutes, uint8_t seconds, uint8_t frames, bool dropFrame = false);
    static CUSharedPtr<TimecodeInfo> Create();
    static CUSharedPtr<TimecodeInfo> Create(uint8_t hours, uint8_t minutes, uint8_t seconds, uint8_t frames,
                                            bool dropFrame = false);

    // "h:m:s:f", no zero padding, then " DF" in drop-frame mode.
    CUSharedPtr<CUStringMac> Description() const override;
    // Hours, then minutes, seconds, frames; the drop-frame field takes no part.
    virtual bool operator<(const TimecodeInfo& other) const;
    bool operator==(const TimecodeInfo& other) const;

    uint8_t frames = 0;
    uint8_t dropFrame = 0;
    uint8_t seconds = 0;
    uint8_t minutes = 0;
    uint8_t hours = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug

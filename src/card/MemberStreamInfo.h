#pragma once
// One member MXF file of a clip, as listed in its clip information block:
// the file's two-digit number ("<clip ID>NN.MXF") and its frame count.
// Plain record; not synchronised.
#include "CUObject.h"
#include "CUSharedPtr.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

class MemberStreamInfo : public CUObject {
public:
    MemberStreamInfo() = default;
    MemberStreamInfo(uint8_t number, uint32_t frames) : streamNumber(number), frameCnt(frames) {}
    static CUSharedPtr<MemberStreamInfo> Create(uint8_t number, uint32_t frames);

    // "01:60" (number, frame count).
    CUSharedPtr<CUStringMac> Description() const override;

    uint8_t streamNumber = 0;
    uint32_t frameCnt = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug

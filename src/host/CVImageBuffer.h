#pragma once
// The image buffer keys and values that video format description
// extensions carry: field layout, pixel aspect ratio and colour.
#include "CFString.h"

namespace ComVantoVantoQZ64RADPlug {

extern const CFStringRef kCVImageBufferFieldCountKey;
extern const CFStringRef kCVImageBufferFieldDetailKey;
extern const CFStringRef kCVImageBufferFieldDetailTemporalTopFirst;
extern const CFStringRef kCVImageBufferFieldDetailTemporalBottomFirst;
extern const CFStringRef kCVImageBufferFieldDetailSpatialFirstLineEarly;
extern const CFStringRef kCVImageBufferFieldDetailSpatialFirstLineLate;
extern const CFStringRef kCVImageBufferPixelAspectRatioKey;
extern const CFStringRef kCVImageBufferPixelAspectRatioHorizontalSpacingKey;
extern const CFStringRef kCVImageBufferPixelAspectRatioVerticalSpacingKey;
extern const CFStringRef kCVImageBufferColorPrimariesKey;
extern const CFStringRef kCVImageBufferColorPrimaries_ITU_R_709_2;
extern const CFStringRef kCVImageBufferTransferFunctionKey;
extern const CFStringRef kCVImageBufferTransferFunction_ITU_R_709_2;
extern const CFStringRef kCVImageBufferYCbCrMatrixKey;
extern const CFStringRef kCVImageBufferYCbCrMatrix_ITU_R_709_2;

}  // namespace ComVantoVantoQZ64RADPlug

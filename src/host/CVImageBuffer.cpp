#include "CVImageBuffer.h"

namespace ComVantoVantoQZ64RADPlug {

namespace {
const CFString sCVImageBufferFieldCountKey("CVFieldCount", CFType::kConstant);
const CFString sCVImageBufferFieldDetailKey("CVFieldDetail", CFType::kConstant);
const CFString sCVImageBufferFieldDetailTemporalTopFirst("TemporalTopFirst", CFType::kConstant);
const CFString sCVImageBufferFieldDetailTemporalBottomFirst("TemporalBottomFirst", CFType::kConstant);
const CFString sCVImageBufferFieldDetailSpatialFirstLineEarly("SpatialFirstLineEarly", CFType::kConstant);
const CFString sCVImageBufferFieldDetailSpatialFirstLineLate("SpatialFirstLineLate", CFType::kConstant);
const CFString sCVImageBufferPixelAspectRatioKey("CVPixelAspectRatio", CFType::kConstant);
const CFString sCVImageBufferPixelAspectRatioHorizontalSpacingKey("HorizontalSpacing", CFType::kConstant);
const CFString sCVImageBufferPixelAspectRatioVerticalSpacingKey("VerticalSpacing", CFType::kConstant);
const CFString sCVImageBufferColorPrimariesKey("CVImageBufferColorPrimaries", CFType::kConstant);
const CFString sCVImageBufferColorPrimaries_ITU_R_709_2("ITU_R_709_2", CFType::kConstant);
const CFString sCVImageBufferTransferFunctionKey("CVImageBufferTransferFunction", CFType::kConstant);
const CFString sCVImageBufferTransferFunction_ITU_R_709_2("ITU_R_709_2", CFType::kConstant);
const CFString sCVImageBufferYCbCrMatrixKey("CVImageBufferYCbCrMatrix", CFType::kConstant);
const CFString sCVImageBufferYCbCrMatrix_ITU_R_709_2("ITU_R_709_2", CFType::kConstant);
}  // namespace

const CFStringRef kCVImageBufferFieldCountKey = &sCVImageBufferFieldCountKey;
const CFStringRef kCVImageBufferFieldDetailKey = &sCVImageBufferFieldDetailKey;
const CFStringRef kCVImageBufferFieldDetailTemporalTopFirst = &sCVImageBufferFieldDetailTemporalTopFirst;
const CFStringRef kCVImageBufferFieldDetailTemporalBottomFirst =
    &sCVImageBufferFieldDetailTemporalBottomFirst;
const CFStringRef kCVImageBufferFieldDetailSpatialFirstLineEarly =
    &sCVImageBufferFieldDetailSpatialFirstLineEarly;
const CFStringRef kCVImageBufferFieldDetailSpatialFirstLineLate =
    &sCVImageBufferFieldDetailSpatialFirstLineLate;
const CFStringRef kCVImageBufferPixelAspectRatioKey = &sCVImageBufferPixelAspectRatioKey;
const CFStringRef kCVImageBufferPixelAspectRatioHorizontalSpacingKey =
    &sCVImageBufferPixelAspectRatioHorizontalSpacingKey;
const CFStringRef kCVImageBufferPixelAspectRatioVerticalSpacingKey =
    &sCVImageBufferPixelAspectRatioVerticalSpacingKey;
const CFStringRef kCVImageBufferColorPrimariesKey = &sCVImageBufferColorPrimariesKey;
const CFStringRef kCVImageBufferColorPrimaries_ITU_R_709_2 = &sCVImageBufferColorPrimaries_ITU_R_709_2;
const CFStringRef kCVImageBufferTransferFunctionKey = &sCVImageBufferTransferFunctionKey;
const CFStringRef kCVImageBufferTransferFunction_ITU_R_709_2 = &sCVImageBufferTransferFunction_ITU_R_709_2;
const CFStringRef kCVImageBufferYCbCrMatrixKey = &sCVImageBufferYCbCrMatrixKey;
const CFStringRef kCVImageBufferYCbCrMatrix_ITU_R_709_2 = &sCVImageBufferYCbCrMatrix_ITU_R_709_2;

}  // namespace ComVantoVantoQZ64RADPlug

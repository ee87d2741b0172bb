// Feeds arbitrary bytes to the media index reader as a whole index image:
// header, clip identifier and clip information tables, media metadata and
// extension word. Every clip the index announces is asked for its values.
// The clips folder does not exist, so clip files are never found.
#include "CFBCClip.h"
#include "CUMemoryStream.h"
#include "CUStringMac.h"
#include "FBCClipValueTag.h"
#include "FBCContentValueTag.h"
#include "MIFStream.h"

#include <cstddef>
#include <cstdint>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

void Touch(const CUSharedPtr<CUObject>& value) {
    if (value) (void)value->Description();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CUSharedPtr<CUStream> stream(new CUMemoryStream(const_cast<uint8_t*>(data), size, /*noCopy=*/true));
    CUSharedPtr<CUStringMac> path(new CUStringMac("/nonexistent-qz-fuzz/CONTENTS/CLIPS001/INDEX.MIF"));
    CUSharedPtr<MIFStream> index(new MIFStream());
    if (index->Init(path, stream) != 0) return 0;
    (void)index->GetState();
    (void)index->FrameRateType();
    Touch(index->Description());
    for (uint32_t tag = 0; tag <= kContentValueTagCount; ++tag)
        Touch(index->ValueForTag(static_cast<_ContentValueTag>(tag)));
    CUSharedPtr<CUMutableArray> clips = index->ClipArray();
    if (!clips) return 0;
    for (size_t i = 0; i < clips->Count(); ++i) {
        CUSharedPtr<CFBCClip> clip = CUDynamicCast<CFBCClip>(clips->ObjectAtIndex(i));
        if (!clip) continue;
        (void)clip->GatClipState();
        for (uint32_t tag = 0; tag <= kClipValueTagCount; ++tag)
            Touch(clip->ValueForTag(static_cast<_ClipValueTag>(tag)));
    }
    return 0;
}

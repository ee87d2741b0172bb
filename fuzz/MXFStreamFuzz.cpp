// Opens arbitrary bytes as an MXF file and walks it edit unit by edit unit
// as the movie does: index look-ups (temporal and key-frame offsets, flags,
// element offsets), essence ranges and reads, and the sequence information
// of the header partition. Nothing may crash, hang or allocate more than
// the input announces and holds.
#include "CUArray.h"
#include "CUFailure.h"
#include "CUMemoryStream.h"
#include "CUStringMac.h"
#include "HeaderMetadata.h"
#include "MXFStream.h"
#include "StreamFileSequenceInfo.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// Edit units walked from the start and from the end: enough for several
// index segments, few enough to stay fast on long files.
constexpr int64_t kWalkedUnits = 48;
constexpr uint32_t kElements = 6;

void WalkUnit(MXFStream& mxf, int64_t unit, std::vector<unsigned char>& buffer) {
    int8_t offset = 0;
    uint8_t flags = 0;
    uint64_t fileOffset = 0;
    (void)mxf.GetTemporalOffsetAtIndex(unit, offset);
    (void)mxf.GetKeyOffsetAtIndex(unit, offset);
    (void)mxf.GetFlagsAtIndex(unit, flags);
    for (uint32_t element = 0; element < kElements; ++element) {
        (void)mxf.GetEssenceOffset(unit, element, fileOffset);
        const MXFEssenceRange range = mxf.RangeEssenceData(unit, element);
        if (range.first != MXFStream::kNoEssenceOffset && range.second <= buffer.size())
            (void)mxf.ReadEssenceData(unit, element, buffer.data(), static_cast<uint32_t>(buffer.size()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CUSharedPtr<CUStream> stream(new CUMemoryStream(const_cast<uint8_t*>(data), size, /*noCopy=*/true));
    MXFStream mxf(stream);
    // Works on an unparsed stream too.
    if (size >= 8)
        (void)mxf.GetStreamFileSequenceInfoAtOffset((uint64_t{data[size - 2]} << 8) | data[size - 1]);
    if (mxf.Parse() != 0) {
        (void)mxf.LastFailure().What();
        return 0;
    }
    if (CUSharedPtr<StreamFileSequenceInfo> info = mxf.GetStreamFileSequenceInfo()) (void)info->Description();
    (void)mxf.GetHeaderMetadata()->MaterialPackageCount();
    std::vector<uint64_t> chain;
    (void)mxf.PartitionChain(chain);
    for (uint64_t offset : chain) (void)mxf.GetIndexFromPartition(offset);

    std::vector<unsigned char> buffer(size < (1u << 20) ? size + 64 : (1u << 20) + 64);
    const int64_t duration = mxf.Duration();
    for (int64_t unit = -1; unit < duration && unit < kWalkedUnits; ++unit) WalkUnit(mxf, unit, buffer);
    for (int64_t unit = duration; unit > kWalkedUnits && unit > duration - 4; --unit)
        WalkUnit(mxf, unit, buffer);
    (void)mxf.LastFailure().What();
    return 0;
}

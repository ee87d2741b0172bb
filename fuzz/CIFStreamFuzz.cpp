// Feeds arbitrary bytes to the clip information reader: as a block at the
// start of the data and, for longer inputs, at an offset taken from the
// first bytes. Every tag of every reader that opens must answer (a value or
// null) and describe itself; copies must answer the same. Then the record
// readers of the clip information cursor at one position.
#include "CIFStream.h"
#include "CUMemoryStream.h"
#include "CUStringMac.h"
#include "MetaDataManager.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

std::string Describe(const CUSharedPtr<CUObject>& value) {
    if (!value) return "<null>";
    CUSharedPtr<CUStringMac> text = value->Description();
    return text ? text->Utf8() : "<no text>";
}

void Exercise(const CUSharedPtr<CUStream>& stream, uint64_t offset) {
    CUSharedPtr<CIFStream> cif = CIFStream::Create(stream, offset);
    if (!cif) return;
    CUSharedPtr<CIFStream> copy = cif->Copy();
    if (!copy || copy->GatState() != cif->GatState()) std::abort();
    for (uint32_t tag = 0; tag <= kCIFValueTagCount; ++tag) {
        const _CIFValueTag t = static_cast<_CIFValueTag>(tag);
        if (Describe(cif->ValueForTag(t)) != Describe(copy->ValueForTag(t))) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CUSharedPtr<CUStream> stream(new CUMemoryStream(const_cast<uint8_t*>(data), size, /*noCopy=*/true));
    Exercise(stream, 0);
    if (size >= 2) Exercise(stream, (uint64_t{data[0]} << 8) | data[1]);

    // The cursor's record readers at one position of the first 64 bytes,
    // taken from the last byte: the fuzzer moves it as it mutates, and one
    // position per input keeps each run cheap enough for millions of inputs.
    if (size == 0) return 0;
    CUSharedPtr<MetaDataManager> cursor = MetaDataManager::Create(stream);
    const uint8_t last = data[size - 1];
    cursor->SetOffset(static_cast<int64_t>(last % (size < 64 ? size : 64)), kCUStreamSeekBegin);
    Describe(cursor->GetMemberStreamArray());
    Describe(cursor->GetRecordTimeandDate());
    Describe(cursor->GetRecordingModeInformation(0x0101));
    Describe(cursor->GetRelayInformation());
    Describe(cursor->GetClipIDInfoArray(last));
    Describe(cursor->GetTimecode(true));
    Describe(cursor->GetFirmVersion());
    return 0;
}

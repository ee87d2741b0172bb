// Feeds arbitrary bytes to the KLV reader and the structures it announces:
// partition packs (and their derived positions), primer, random index pack
// and local sets with every typed getter. Nothing may crash, hang or
// allocate more than the input holds.
#include "CUFailure.h"
#include "CUMemoryStream.h"
#include "CUMutableArray.h"
#include "CUStringMac.h"
#include "KLVPacket.h"
#include "MxfLabels.h"
#include "ParseMetaData.h"
#include "PartitionPack.h"
#include "PrimerPack.h"
#include "RandomIndexPack.h"
#include "STMetadataSets.h"

#include <cstddef>
#include <cstdint>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

const uint32_t kTags[] = {
    0x0102, 0x0201, 0x0202, 0x1001, 0x1101, 0x1102, 0x1201, 0x1501, 0x1502, 0x1503, 0x1901, 0x1902,
    0x2701, 0x3001, 0x3004, 0x3006, 0x3201, 0x3202, 0x3203, 0x3204, 0x3205, 0x3206, 0x3207, 0x3208,
    0x3209, 0x320A, 0x320B, 0x320C, 0x320D, 0x320E, 0x3210, 0x3211, 0x3212, 0x3213, 0x3214, 0x3215,
    0x3216, 0x3217, 0x3301, 0x3302, 0x3303, 0x3304, 0x3305, 0x3306, 0x3307, 0x3308, 0x330B, 0x3B02,
    0x3B03, 0x3B05, 0x3B06, 0x3B09, 0x3B0A, 0x3B0B, 0x3C01, 0x3C02, 0x3C04, 0x3C05, 0x3C06, 0x3C09,
    0x3C0A, 0x3D01, 0x3D02, 0x3D03, 0x3D04, 0x3D07, 0x3D09, 0x3D0A, 0x3D10, 0x3D11, 0x3F01, 0x3F06,
    0x3F07, 0x4401, 0x4403, 0x4404, 0x4405, 0x4701, 0x4801, 0x4803, 0x4804, 0x4B01, 0x4B02,
};

const MxfUUID* const kLabels[] = {
    &FBC_UL_MER_SingleSequence, &FBC_UL_MER_ConstantBframes, &FBC_UL_MER_CodedContentScanning,
    &FBC_UL_MER_LowDelay,       &FBC_UL_MER_ClosedGOP,       &FBC_UL_MER_IdenticalGOPIndicator,
    &FBC_UL_MER_MaxGOP,         &FBC_UL_MER_BPictureCount,   &FBC_UL_MER_ProfileAndLevel,
    &FBC_UL_MER_BitRate,
};

void Touch(const CUSharedPtr<CUObject>& value) {
    if (!value) return;
    try {
        (void)value->Description();
    } catch (const CUError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CUSharedPtr<CUStream> stream(new CUMemoryStream(const_cast<uint8_t*>(data), size, false));
    ParseMetaData reader(stream);
    CUSharedPtr<PrimerPack> primer;

    // A trailing random index pack, as a file's end is read.
    uint32_t ripLength = 0;
    if (reader.SetOffset(-4, 2) && reader.GetUInt32(ripLength) && reader.SetOffset(-int64_t(ripLength), 2)) {
        CUSharedPtr<RandomIndexPack> rip(new RandomIndexPack());
        if (reader.ParsePacket(CUSharedPtr<KLVPacket>(rip))) {
            uint64_t offset = 0;
            uint32_t sid = 0;
            for (uint32_t i = 0; i < rip->Count(); ++i)
                (void)(rip->GetOffsetAtIndex(i, offset) && rip->GetBodySIDAtIndex(i, sid));
        }
    }

    // Consecutive KLVs from the start; each step moves strictly forward.
    reader.SetOffset(0, 0);
    KLVPacket packet;
    for (int steps = 0; steps < 256 && reader.RestLength() > 0; ++steps) {
        if (!reader.ParseKeyAndLength(&packet)) break;
        const uint32_t type = packet.PacketType();
        if (type == kMxfKeyHeaderPartition || type == kMxfKeyBodyPartition ||
            type == kMxfKeyFooterPartition) {
            CUSharedPtr<PartitionPack> pack(new PartitionPack(packet));
            if (reader.ParsePacketValue(CUSharedPtr<KLVPacket>(pack))) {
                (void)pack->HeaderOffset();
                (void)pack->IndexOffset();
                (void)pack->ContentOffset();
                for (uint32_t i = 0; i < pack->EssenceCount(); ++i) (void)pack->EssenceAtIndex(i);
                Touch(pack->Description());
            }
        } else if (type == kMxfKeyPrimerPack) {
            primer = CUSharedPtr<PrimerPack>(new PrimerPack(packet));
            if (reader.ParsePacketValue(CUSharedPtr<KLVPacket>(primer))) (void)primer->UIDAtTag(0x8001);
        } else if ((type & 0xFF000000u) == kMxfKeyLocalSet) {
            CUSharedPtr<STMetadataSets> set(new STMetadataSets(packet));
            if (reader.ParsePacketValue(CUSharedPtr<KLVPacket>(set))) {
                for (uint32_t tag : kTags) Touch(set->ValueForTag(tag));
                for (const MxfUUID* label : kLabels) Touch(set->ValueForUUID(*label, primer));
                Touch(set->EnumArrayForTag(0x320D));
                Touch(set->SInt32ArrayForTag(0x3D10));
                Touch(set->Description());
            }
        }
        if (!reader.SetOffset(int64_t(packet.NextOffset()), 0)) break;
    }
    return 0;
}

#include "BodyPartitionArray.h"

#include "CUStringMac.h"
#include "IndexTableSegment.h"
#include "PartitionPack.h"
#include "RandomIndexPack.h"

#include <cstdio>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

BodyPartitionArray::BodyPartitionArray() = default;
BodyPartitionArray::~BodyPartitionArray() = default;

void BodyPartitionArray::Clear() {
    m_Records.clear();
}

void BodyPartitionArray::AddBack(uint64_t fileOffset) {
    _BodyPartitionInfo info;
    info.flags = kBodyPartitionFileOffsetKnown;
    info.fileOffset = fileOffset;
    m_Records.push_back(info);
}

void BodyPartitionArray::AddFront(uint64_t fileOffset) {
    _BodyPartitionInfo info;
    info.flags = kBodyPartitionFileOffsetKnown;
    info.fileOffset = fileOffset;
    m_Records.insert(m_Records.begin(), info);
}

uint32_t BodyPartitionArray::SetFromRandomIndexPack(const CUSharedPtr<RandomIndexPack>& pack,
                                                    uint32_t bodySID) {
    if (!pack) return 0x130001;
    Clear();
    for (uint32_t i = 0; i < pack->Count(); ++i) {
        uint32_t sid = 0;
        uint64_t offset = 0;
        if (!pack->GetBodySIDAtIndex(i, sid) || !pack->GetOffsetAtIndex(i, offset)) break;
        if (sid == bodySID) AddBack(offset);
    }
    return 0;
}

uint32_t BodyPartitionArray::SetBodyPartitionData(uint32_t index, const CUSharedPtr<PartitionPack>& pack) {
    if (index >= m_Records.size() || !pack) return 1;
    _BodyPartitionInfo& info = m_Records[index];
    if (info.fileOffset != pack->ThisPartition()) return 1;
    // A partition whose essence cannot start inside the file locates nothing.
    const uint64_t content = pack->ContentOffset();
    if (content == PartitionPack::kNoOffset) return 1;
    info.streamOffset = pack->BodyOffset();
    info.essenceOffset = content;
    info.flags |= kBodyPartitionPackRead | kBodyPartitionEssenceOffsetKnown;
    return 0;
}

void BodyPartitionArray::SetIndexTableSegment(uint32_t index, const CUSharedPtr<IndexTableSegment>& segment) {
    if (!segment || index >= m_Records.size()) return;
    m_Records[index].segment = segment;
    m_Records[index].flags |= kBodyPartitionSegmentAttached;
}

bool BodyPartitionArray::InfoFlagAtIndex(uint32_t index, uint8_t& flags) const {
    if (index >= m_Records.size()) return false;
    flags = m_Records[index].flags;
    return true;
}

bool BodyPartitionArray::FileOffsetAtIndex(uint32_t index, uint64_t& fileOffset) const {
    if (index >= m_Records.size()) return false;
    fileOffset = m_Records[index].fileOffset;
    return true;
}

void BodyPartitionArray::EditUnitRangeAtIndex(uint32_t index, int64_t& start, int64_t& count) const {
    start = 0x7FFFFFFFFFFFFFFFll;
    count = 0;
    if (index >= m_Records.size() || !m_Records[index].segment) return;
    start = m_Records[index].segment->IndexStartPosition();
    count = m_Records[index].segment->IndexDuration();
}

bool BodyPartitionArray::GetContainIndex(int64_t editUnit, uint32_t& index) const {
    for (size_t i = 0; i < m_Records.size(); ++i) {
        const CUSharedPtr<IndexTableSegment>& segment = m_Records[i].segment;
        if (segment && segment->isContainIndex(editUnit)) {
            index = static_cast<uint32_t>(i);
            return true;
        }
    }
    return false;
}

const _BodyPartitionInfo* BodyPartitionArray::CompleteRecordFor(int64_t editUnit) const {
    uint32_t index = 0;
    if (!GetContainIndex(editUnit, index)) return nullptr;
    const _BodyPartitionInfo& info = m_Records[index];
    if (info.flags != kBodyPartitionComplete || !info.segment) return nullptr;
    return &info;
}

bool BodyPartitionArray::GetStreamOffset(int64_t editUnit, uint32_t element, uint64_t& fileOffset) const {
    const _BodyPartitionInfo* info = CompleteRecordFor(editUnit);
    if (!info) return false;
    uint64_t streamOffset = 0;
    if (!info->segment->GetStreamOffset(editUnit, element, streamOffset)) return false;
    // essenceOffset - streamOffset + s, in modular arithmetic: a stream offset
    // before the partition's BodyOffset is garbage, refuse it.
    if (streamOffset < info->streamOffset) return false;
    const uint64_t within = streamOffset - info->streamOffset;
    if (within > UINT64_MAX - info->essenceOffset) return false;
    fileOffset = info->essenceOffset + within;
    return true;
}

bool BodyPartitionArray::GetFlags(int64_t editUnit, uint8_t& flags) const {
    const _BodyPartitionInfo* info = CompleteRecordFor(editUnit);
    return info && info->segment->GetFlags(editUnit, flags);
}

bool BodyPartitionArray::GetKeyFrameOffset(int64_t editUnit, int8_t& offset) const {
    const _BodyPartitionInfo* info = CompleteRecordFor(editUnit);
    return info && info->segment->GetKeyFrameOffset(editUnit, offset);
}

bool BodyPartitionArray::GetTemporalOffset(int64_t editUnit, int8_t& offset) const {
    const _BodyPartitionInfo* info = CompleteRecordFor(editUnit);
    return info && info->segment->GetTemporalOffset(editUnit, offset);
}

CUSharedPtr<CUStringMac> BodyPartitionArray::Description() const {
    std::string text = "{\n";
    char line[128];
    for (const _BodyPartitionInfo& info : m_Records) {
        std::snprintf(line, sizeof line,
                      "fileOffset = %016llX, streamOffset = %016llX, essenceOffset = %016llX\n",
                      static_cast<unsigned long long>(info.fileOffset),
                      static_cast<unsigned long long>(info.streamOffset),
                      static_cast<unsigned long long>(info.essenceOffset));
        text += line;
    }
    text += "}";
    return CUStringMac::Create(text.c_str());
}

}  // namespace ComVantoVantoQZ64RADPlug

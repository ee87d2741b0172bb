#include "IndexTableSegment.h"

#include "CUAutoLock.h"
#include "CUFailure.h"
#include "CUMemoryStream.h"
#include "CUStringMac.h"
#include "LocalSets.h"
#include "ParseMetaData.h"
#include "STMetadataSets.h"
#include "ULKey.h"

#include <cinttypes>
#include <cstdio>
#include <new>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

namespace {
constexpr uint32_t kDeltaEntrySize = 6;
// Temporal offset, key-frame offset, flags, stream offset.
constexpr uint32_t kEntryFixedSize = 11;

// Reads a fixed-size item: present, exactly `size` bytes long, positioned.
CUSharedPtr<ParseMetaData> FixedItem(LocalSets& set, uint32_t tag, uint32_t size) {
    if (!set.HasTag(tag) || set.LengthForTag(tag) != size) return CUSharedPtr<ParseMetaData>();
    return set.GetParserForTag(tag);
}
}  // namespace

IndexTableSegment::IndexTableSegment() = default;
IndexTableSegment::IndexTableSegment(const KLVPacket& packet) : KLVPacket(packet) {}
IndexTableSegment::~IndexTableSegment() = default;

bool IndexTableSegment::isImportable() const {
    return PacketType() == kMxfKeyIndexTableSegment;
}

void IndexTableSegment::Reset() {
    m_IndexEditRate = _Rational();
    m_IndexStartPosition = 0;
    m_IndexDuration = 0;
    m_EditUnitByteCount = 0;
    m_IndexSID = 0;
    m_BodySID = 0;
    m_SliceCount = 0;
    m_PosTableCount = 0;
    m_DeltaEntries.clear();
    m_IndexEntryLength = 0;
    m_IndexEntryCount = 0;
    m_IndexEntries = nullptr;
    m_EntryReader = nullptr;
}

uint32_t IndexTableSegment::Import(const CUSharedPtr<CUStream>& stream, uint64_t offset) {
    Reset();
    CUSharedPtr<LocalSets> set;
    try {
        set = CUSharedPtr<LocalSets>(new LocalSets(*this));
    } catch (const CUError&) {
        return kMxfErrAuxiliaryObject;
    } catch (const std::bad_alloc&) {
        return kMxfErrAuxiliaryObject;
    }
    if (set->Import(stream, offset) != 0) return kMxfErrFormat;
    CUAutoLock guard(static_cast<CULockAbstract*>(set.get()));

    bool ok = true;
    if (auto r = FixedItem(*set, kLocalTag_IndexEditRate, 8); ok && r) {
        ok = r->GetRational(m_IndexEditRate);
    } else {
        ok = false;
    }
    if (auto r = FixedItem(*set, kLocalTag_IndexStartPosition, 8); ok && r)
        ok = r->GetInt64(m_IndexStartPosition);
    else
        ok = false;
    if (auto r = FixedItem(*set, kLocalTag_IndexDuration, 8); ok && r)
        ok = r->GetInt64(m_IndexDuration);
    else
        ok = false;
    if (auto r = FixedItem(*set, kLocalTag_EditUnitByteCount, 4); ok && r)
        ok = r->GetUInt32(m_EditUnitByteCount);
    else
        ok = false;
    if (auto r = FixedItem(*set, kLocalTag_IndexSID, 4); ok && r)
        ok = r->GetUInt32(m_IndexSID);
    else
        ok = false;
    if (auto r = FixedItem(*set, kLocalTag_BodySID, 4); ok && r)
        ok = r->GetUInt32(m_BodySID);
    else
        ok = false;
    if (auto r = FixedItem(*set, kLocalTag_SliceCount, 1); ok && r)
        ok = r->GetUInt8(m_SliceCount);
    else
        ok = false;
    m_PosTableCount = 0;
    if (ok && set->HasTag(kLocalTag_PosTableCount)) {
        auto r = FixedItem(*set, kLocalTag_PosTableCount, 1);
        ok = r && r->GetUInt8(m_PosTableCount);
    }
    if (!ok) {
        Reset();
        return kMxfErrFormat;
    }

    // Delta entries are optional: a segment may have none.
    m_DeltaEntries.clear();
    if (set->HasTag(kLocalTag_DeltaEntryArray)) {
        const uint64_t itemLength = set->LengthForTag(kLocalTag_DeltaEntryArray);
        auto r = set->GetParserForTag(kLocalTag_DeltaEntryArray);
        uint32_t count = 0, size = 0;
        // The batch must fit in the item before a single entry is read.
        if (r && itemLength >= 8 && r->GetUInt32(count) && r->GetUInt32(size) && size == kDeltaEntrySize &&
            static_cast<uint64_t>(count) * kDeltaEntrySize <= itemLength - 8) {
            m_DeltaEntries.reserve(count);
            for (uint32_t i = 0; i < count; ++i) {
                _IndexDeltaEntry entry;
                if (!r->GetInt8(entry.posTableIndex) || !r->GetUInt8(entry.slice) ||
                    !r->GetUInt32(entry.elementDelta))
                    break;
                m_DeltaEntries.push_back(entry);
            }
        }
    }

    // Index entries: count, entry length, then the raw entries.
    uint32_t result = kMxfErrFormat;
    if (set->HasTag(kLocalTag_IndexEntryArray)) {
        const uint64_t itemLength = set->LengthForTag(kLocalTag_IndexEntryArray);
        auto r = set->GetParserForTag(kLocalTag_IndexEntryArray);
        uint32_t count = 0, length = 0;
        const uint64_t expected = kEntryFixedSize + 4ull * m_SliceCount + 8ull * m_PosTableCount;
        if (r && itemLength >= 8 && r->GetUInt32(count) && r->GetUInt32(length) && count != 0 &&
            length == expected && static_cast<uint64_t>(count) * length + 8 == itemLength) {
            m_IndexEntries = r->CopyMemoryStream(static_cast<uint64_t>(count) * length);
            if (m_IndexEntries) {
                try {
                    m_EntryReader =
                        CUSharedPtr<ParseMetaData>(new ParseMetaData(CUSharedPtr<CUStream>(m_IndexEntries)));
                } catch (const std::bad_alloc&) {
                    m_EntryReader = nullptr;
                }
            }
            if (m_IndexEntries && m_EntryReader) {
                m_IndexEntryLength = length;
                m_IndexEntryCount = count;
                result = 0;
            }
        }
    }
    if (result != 0) Reset();
    return result;
}

bool IndexTableSegment::isContainIndex(int64_t editUnit) const {
    const __int128 start = m_IndexStartPosition;
    return start <= editUnit && editUnit < start + m_IndexDuration;
}

bool IndexTableSegment::EntryPosition(int64_t editUnit, uint64_t& position) const {
    if (editUnit < 0 || !m_EntryReader || m_IndexEntryLength == 0 || !isContainIndex(editUnit)) return false;
    const __int128 n = static_cast<__int128>(editUnit) - m_IndexStartPosition;
    // IndexDuration may claim more edit units than the entries held.
    if (n < 0 || n >= m_IndexEntryCount) return false;
    position = static_cast<uint64_t>(n) * m_IndexEntryLength;
    return true;
}

bool IndexTableSegment::GetTemporalOffset(int64_t editUnit, int8_t& temporalOffset) {
    uint64_t at;
    if (!EntryPosition(editUnit, at)) return false;
    CUAutoLock guard(static_cast<CULockAbstract*>(m_EntryReader.get()));
    return m_EntryReader->SetOffset(static_cast<int64_t>(at), 0) && m_EntryReader->GetInt8(temporalOffset);
}

bool IndexTableSegment::GetKeyFrameOffset(int64_t editUnit, int8_t& keyFrameOffset) {
    uint64_t at;
    if (!EntryPosition(editUnit, at)) return false;
    CUAutoLock guard(static_cast<CULockAbstract*>(m_EntryReader.get()));
    return m_EntryReader->SetOffset(static_cast<int64_t>(at + 1), 0) &&
           m_EntryReader->GetInt8(keyFrameOffset);
}

bool IndexTableSegment::GetFlags(int64_t editUnit, uint8_t& flags) {
    uint64_t at;
    if (!EntryPosition(editUnit, at)) return false;
    CUAutoLock guard(static_cast<CULockAbstract*>(m_EntryReader.get()));
    return m_EntryReader->SetOffset(static_cast<int64_t>(at + 2), 0) && m_EntryReader->GetUInt8(flags);
}

bool IndexTableSegment::GetStreamOffset(int64_t editUnit, uint32_t element, uint64_t& streamOffset) {
    uint64_t at;
    if (!EntryPosition(editUnit, at)) return false;
    CUAutoLock guard(static_cast<CULockAbstract*>(m_EntryReader.get()));
    uint64_t s = 0;
    if (!m_EntryReader->SetOffset(static_cast<int64_t>(at + 3), 0) || !m_EntryReader->GetUInt64(s))
        return false;
    if (element == 0 && m_DeltaEntries.empty()) {
        streamOffset = s;
        return true;
    }
    if (element >= m_DeltaEntries.size()) return false;
    const _IndexDeltaEntry& delta = m_DeltaEntries[element];
    uint32_t sliceOffset = 0;
    if (delta.slice != 0 && delta.slice <= m_SliceCount) {
        const uint64_t sliceAt = at + kEntryFixedSize + 4ull * (delta.slice - 1);
        if (!m_EntryReader->SetOffset(static_cast<int64_t>(sliceAt), 0) ||
            !m_EntryReader->GetUInt32(sliceOffset))
            return false;
    }
    streamOffset = s + sliceOffset + delta.elementDelta;
    return true;
}

CUSharedPtr<CUStringMac> IndexTableSegment::Description() const {
    std::string text;
    char line[256];
    std::snprintf(
        line, sizeof line,
        "IndexTableSegment\n IndexEditRate = %d/%d\n IndexStartPosition = %lld\n IndexDuration = %lld\n"
        " EditUnitByteCount = %u\n IndexSID = %u\n BodySID = %u\n SliceCount = %u\n"
        " PosTableCount = %u\n DeltaEntryCount = %u\n",
        m_IndexEditRate.numerator, m_IndexEditRate.denominator, static_cast<long long>(m_IndexStartPosition),
        static_cast<long long>(m_IndexDuration), m_EditUnitByteCount, m_IndexSID, m_BodySID, m_SliceCount,
        m_PosTableCount, static_cast<uint32_t>(m_DeltaEntries.size()));
    text += line;
    for (const auto& d : m_DeltaEntries) {
        std::snprintf(line, sizeof line, " DELTA PosTable:%d Slice:%u Delta:%u\n", d.posTableIndex, d.slice,
                      d.elementDelta);
        text += line;
    }
    auto* self = const_cast<IndexTableSegment*>(this);
    for (uint32_t n = 0; n < m_IndexEntryCount; ++n) {
        const int64_t e = m_IndexStartPosition + n;
        int8_t t = 0, k = 0;
        uint8_t f = 0;
        uint64_t s = 0;
        uint64_t at;
        if (!EntryPosition(e, at)) break;
        self->GetTemporalOffset(e, t);
        self->GetKeyFrameOffset(e, k);
        self->GetFlags(e, f);
        {
            CUAutoLock guard(static_cast<CULockAbstract*>(m_EntryReader.get()));
            if (m_EntryReader->SetOffset(static_cast<int64_t>(at + 3), 0)) m_EntryReader->GetUInt64(s);
        }
        std::snprintf(line, sizeof line, "UNIT(%lld) = T:%d K:%d F:%02hhX O:%016" PRIX64,
                      static_cast<long long>(e), t, k, f, s);
        text += line;
        for (uint32_t slice = 0; slice < m_SliceCount; ++slice) {
            uint32_t so = 0;
            CUAutoLock guard(static_cast<CULockAbstract*>(m_EntryReader.get()));
            if (m_EntryReader->SetOffset(static_cast<int64_t>(at + kEntryFixedSize + 4ull * slice), 0))
                m_EntryReader->GetUInt32(so);
            std::snprintf(line, sizeof line, " %08X", so);
            text += line;
        }
        text += "\n";
    }
    return CUStringMac::Create(text.c_str());
}

}  // namespace ComVantoVantoQZ64RADPlug

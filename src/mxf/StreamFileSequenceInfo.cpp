#include "StreamFileSequenceInfo.h"

#include "CUNumber.h"
#include "CUStream.h"
#include "CUStringMac.h"
#include "MxfUUID.h"
#include "ParseMetaData.h"
#include "UMID.h"

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

namespace {
constexpr uint16_t kTagStartPosition = 0x1201;
constexpr uint16_t kTagStartTimecode = 0x1501;
constexpr uint16_t kTagInstanceUID = 0x3C0A;
constexpr uint16_t kTagPackageUID = 0x4401;
}  // namespace

StreamFileSequenceInfo::StreamFileSequenceInfo() = default;
StreamFileSequenceInfo::StreamFileSequenceInfo(const KLVPacket& packet) : KLVPacket(packet) {}
StreamFileSequenceInfo::~StreamFileSequenceInfo() = default;

bool StreamFileSequenceInfo::isImportable() const {
    return PacketType() == kMxfKeySequenceInfoElement;
}

uint32_t StreamFileSequenceInfo::Import(const CUSharedPtr<CUStream>& stream, uint64_t offset) {
    if (!stream) return kMxfErrFormat;
    CUSharedPtr<ParseMetaData> reader(new (std::nothrow) ParseMetaData(stream));
    if (!reader) return kMxfErrFormat;
    if (offset > static_cast<uint64_t>(INT64_MAX) || !reader->SetOffset(static_cast<int64_t>(offset), 0))
        return kMxfErrFormat;
    // The value may claim more than the stream holds: walk only what is there.
    const uint64_t end = offset + std::min<uint64_t>(Length(), reader->RestLength());
    while (reader->offset() + 4 <= end) {
        uint16_t tag = 0, length = 0;
        if (!reader->GetUInt16(tag) || !reader->GetUInt16(length)) break;
        if (reader->offset() + length > end) break;
        if (tag == kTagStartPosition || tag == kTagStartTimecode) {
            int64_t value = 0;
            if (length != 8 || !reader->GetInt64(value)) break;
            (tag == kTagStartPosition ? m_StartPosition : m_StartTimecode) =
                CUNumber::Create<long long>(value);
        } else if (tag == kTagInstanceUID) {
            if (length != 16) break;
            CUSharedPtr<MxfUUID> uid = reader->GetUUID();
            if (!uid) break;
            m_InstanceUID = uid;
        } else if (tag == kTagPackageUID) {
            if (length != 32) break;
            CUSharedPtr<UMID> umid = reader->GetUMID(32);
            if (!umid) break;
            m_PackageUID = umid;
        } else if (!reader->SetOffset(length, 1)) {
            break;
        }
    }
    return 0;
}

CUSharedPtr<CUStringMac> StreamFileSequenceInfo::Description() const {
    std::string text = "StreamFileSequenceInfo\n";
    char line[128];
    if (m_StartPosition) {
        std::snprintf(line, sizeof line, " StartPosition = %lld\n",
                      static_cast<long long>(m_StartPosition->SInt64Value()));
        text += line;
    }
    if (m_StartTimecode) {
        std::snprintf(line, sizeof line, " StartTimecode = %lld\n",
                      static_cast<long long>(m_StartTimecode->SInt64Value()));
        text += line;
    }
    if (m_InstanceUID) text += " InstanceUID = " + m_InstanceUID->Description()->Utf8() + "\n";
    if (m_PackageUID) text += " PackageUID = " + m_PackageUID->Description()->Utf8() + "\n";
    return CUStringMac::Create(text.c_str());
}

}  // namespace ComVantoVantoQZ64RADPlug

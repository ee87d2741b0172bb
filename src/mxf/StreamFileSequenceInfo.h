#pragma once
// The per-file sequence information element of a camera MXF file: start
// position, start timecode, instance UID and the package UID of the
// recording it belongs to. Filled once by Import, then only read.
#include "CUNumber.h"
#include "CUSharedPtr.h"
#include "KLVPacket.h"
#include "MxfUUID.h"
#include "UMID.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

class StreamFileSequenceInfo : public KLVPacket {
public:
    StreamFileSequenceInfo();
    explicit StreamFileSequenceInfo(const KLVPacket& packet);
    ~StreamFileSequenceInfo() override;

    // True for the sequence information element key.
    bool isImportable() const override;
    using KLVPacket::Import;
    // Walks the (tag, length, value) items of the value; 0x131001 without a
    // stream or when the offset cannot be reached, else 0 with the items
    // read so far.
    uint32_t Import(const CUSharedPtr<CUStream>& stream, uint64_t offset) override;

    // Each empty until its item was read.
    CUSharedPtr<CUNumber> StartPosition() const { return m_StartPosition; }  // signed 64-bit
    CUSharedPtr<CUNumber> StartTimecode() const { return m_StartTimecode; }  // signed 64-bit
    CUSharedPtr<MxfUUID> InstanceUID() const { return m_InstanceUID; }
    CUSharedPtr<UMID> PackageUID() const { return m_PackageUID; }

    CUSharedPtr<CUStringMac> Description() const override;

private:
    CUSharedPtr<CUNumber> m_StartPosition;
    CUSharedPtr<CUNumber> m_StartTimecode;
    CUSharedPtr<MxfUUID> m_InstanceUID;
    CUSharedPtr<UMID> m_PackageUID;
};

}  // namespace ComVantoVantoQZ64RADPlug

#include "CUUUID.h"

#include "CUStringMac.h"

#include <uuid/uuid.h>

#include <cstring>

namespace ComVantoVantoQZ64RADPlug {

namespace {

[[noreturn]] void Fail() {
    throw static_cast<uint32_t>(2);
}

std::shared_ptr<const CFUUIDObject> MakeObject(const unsigned char* bytes) {
    if (!bytes) Fail();
    auto object = std::make_shared<CFUUIDObject>();
    std::memcpy(object->bytes.data(), bytes, object->bytes.size());
    return object;
}

}  // namespace

CUUUID::CUUUID() {
    uuid_t bytes;
    uuid_generate_random(bytes);
    m_UUID = MakeObject(bytes);
}

CUUUID::CUUUID(const unsigned char* bytes) : m_UUID(MakeObject(bytes)) {}

CUUUID::CUUUID(const CFUUIDBytes& bytes) : m_UUID(MakeObject(bytes.data())) {}

CUUUID::CUUUID(CFUUIDRef ref) : m_UUID(MakeObject(ref ? ref->bytes.data() : nullptr)) {}

CUUUID::CUUUID(const CUUUID& other) : CUObject(), m_UUID(MakeObject(other.m_UUID->bytes.data())) {}

CUUUID::~CUUUID() = default;

CUSharedPtr<CUUUID> CUUUID::Create() {
    try {
        return CUSharedPtr<CUUUID>(new CUUUID());
    } catch (...) {
        return nullptr;
    }
}

CUSharedPtr<CUUUID> CUUUID::Create(const unsigned char* bytes) {
    try {
        return CUSharedPtr<CUUUID>(new CUUUID(bytes));
    } catch (...) {
        return nullptr;
    }
}

CUSharedPtr<CUUUID> CUUUID::Create(const CFUUIDBytes& bytes) {
    try {
        return CUSharedPtr<CUUUID>(new CUUUID(bytes));
    } catch (...) {
        return nullptr;
    }
}

CUSharedPtr<CUUUID> CUUUID::Create(CFUUIDRef ref) {
    try {
        return CUSharedPtr<CUUUID>(new CUUUID(ref));
    } catch (...) {
        return nullptr;
    }
}

CUSharedPtr<CUUUID> CUUUID::Create(const CUUUID& other) {
    try {
        return CUSharedPtr<CUUUID>(new CUUUID(other));
    } catch (...) {
        return nullptr;
    }
}

CUSharedPtr<CUUUID> CUUUID::CreateNull() {
    return Create(CFUUIDBytes{});
}

CUUUID::operator CFUUIDRef() const {
    return m_UUID.get();
}
CUUUID::operator CFUUIDBytes() const {
    return m_UUID->bytes;
}

bool CUUUID::operator==(const CUUUID& other) const {
    return m_UUID->bytes == other.m_UUID->bytes;
}
bool CUUUID::operator==(CFUUIDRef ref) const {
    return ref && m_UUID->bytes == ref->bytes;
}
bool CUUUID::operator==(const CFUUIDBytes& bytes) const {
    return m_UUID->bytes == bytes;
}

CUUUID& CUUUID::operator=(const CUUUID& other) {
    SetUUIDRef(other.GetUUIDRef());
    return *this;
}

void CUUUID::GetBytes(unsigned char* out) const {
    if (out) std::memcpy(out, m_UUID->bytes.data(), m_UUID->bytes.size());
}

CFUUIDRef CUUUID::GetUUIDRef() const {
    return m_UUID.get();
}

void CUUUID::SetUUIDRef(CFUUIDRef ref) {
    if (ref == m_UUID.get()) return;
    if (!ref) Fail();
    SetUUIDBytes(ref->bytes);
}

CFUUIDBytes CUUUID::GetUUIDBytes() const {
    return m_UUID->bytes;
}

void CUUUID::SetUUIDBytes(const CFUUIDBytes& bytes) {
    m_UUID = MakeObject(bytes.data());
}

CUSharedPtr<CUStringMac> CUUUID::Description() const {
    char text[37];
    uuid_unparse_upper(m_UUID->bytes.data(), text);
    CUSharedPtr<CUStringMac> base = CUObject::Description();
    std::string out = base ? base->Utf8() : std::string();
    out += ' ';
    out += text;
    return CUStringMac::Create(out.c_str());
}

}  // namespace ComVantoVantoQZ64RADPlug

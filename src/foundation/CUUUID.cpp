#include "CUUUID.h"

#include "CUFailure.h"
#include "CUStringMac.h"

#include <uuid/uuid.h>

#include <cstring>
#include <new>
#include <utility>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// Construction failures carry the value 2, the code callers test for.
[[noreturn]] void Fail(const char* what) {
    throw CUError(CUFailure(2, what));
}

std::shared_ptr<const CFUUIDObject> MakeObject(const unsigned char* bytes) {
    if (!bytes) Fail("identifier from absent bytes");
    auto object = std::make_shared<CFUUIDObject>();
    std::memcpy(object->bytes.data(), bytes, object->bytes.size());
    return object;
}

// Construction failures (a CUError, or no memory) give a null pointer.
template <class... Args>
CUSharedPtr<CUUUID> Make(Args&&... args) {
    try {
        return CUSharedPtr<CUUUID>(new CUUUID(std::forward<Args>(args)...));
    } catch (const CUError&) {
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
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
    return Make();
}

CUSharedPtr<CUUUID> CUUUID::Create(const unsigned char* bytes) {
    return Make(bytes);
}

CUSharedPtr<CUUUID> CUUUID::Create(const CFUUIDBytes& bytes) {
    return Make(bytes);
}

CUSharedPtr<CUUUID> CUUUID::Create(CFUUIDRef ref) {
    return Make(ref);
}

CUSharedPtr<CUUUID> CUUUID::Create(const CUUUID& other) {
    return Make(other);
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
    if (!ref) Fail("identifier from an absent identifier");
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

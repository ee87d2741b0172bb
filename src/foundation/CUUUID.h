#pragma once
// A 16-byte universally unique identifier. Immutable except through
// operator=, SetUUIDRef and SetUUIDBytes; may be read from several threads.
#include "CUObject.h"
#include "CUSharedPtr.h"

#include <array>
#include <memory>

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;

// The 16 bytes in the order they appear in the text form.
typedef std::array<unsigned char, 16> CFUUIDBytes;

// The immutable identifier object a CUUUID holds; CFUUIDRef points to one
// and stays valid while a CUUUID holds it.
struct CFUUIDObject {
    CFUUIDBytes bytes{};
};
typedef const CFUUIDObject* CFUUIDRef;

class CUUUID : public virtual CUObject {
public:
    // A new random identifier. Every constructor throws 2 when the
    // identifier cannot be made (a null pointer argument included).
    CUUUID();
    explicit CUUUID(const unsigned char* bytes);
    explicit CUUUID(const CFUUIDBytes& bytes);
    explicit CUUUID(CFUUIDRef ref);
    CUUUID(const CUUUID& other);
    ~CUUUID() override;

    // Null pointer when construction throws.
    static CUSharedPtr<CUUUID> Create();
    static CUSharedPtr<CUUUID> Create(const unsigned char* bytes);
    static CUSharedPtr<CUUUID> Create(const CFUUIDBytes& bytes);
    static CUSharedPtr<CUUUID> Create(CFUUIDRef ref);
    static CUSharedPtr<CUUUID> Create(const CUUUID& other);
    // The identifier of 16 zero bytes.
    static CUSharedPtr<CUUUID> CreateNull();

    virtual operator CFUUIDRef() const;
    virtual operator CFUUIDBytes() const;
    // Byte-by-byte comparisons.
    virtual bool operator==(const CUUUID& other) const;
    virtual bool operator==(CFUUIDRef ref) const;
    virtual bool operator==(const CFUUIDBytes& bytes) const;
    virtual CUUUID& operator=(const CUUUID& other);
    // Writes the 16 bytes to `out`.
    virtual void GetBytes(unsigned char* out) const;
    virtual CFUUIDRef GetUUIDRef() const;
    // Nothing when `ref` is already held; otherwise SetUUIDBytes of its bytes.
    virtual void SetUUIDRef(CFUUIDRef ref);
    virtual CFUUIDBytes GetUUIDBytes() const;
    // Replaces the identifier (throws 2 on failure).
    virtual void SetUUIDBytes(const CFUUIDBytes& bytes);

    // The CUObject description, a blank, then 8-4-4-4-12 upper-case hex digits.
    CUSharedPtr<CUStringMac> Description() const override;

private:
    std::shared_ptr<const CFUUIDObject> m_UUID;
};

}  // namespace ComVantoVantoQZ64RADPlug

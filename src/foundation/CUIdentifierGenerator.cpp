#include "CUIdentifierGenerator.h"

#include "CUAutoLock.h"

namespace ComVantoVantoQZ64RADPlug {

CUIdentifierGenerator::CUIdentifierGenerator() = default;
CUIdentifierGenerator::~CUIdentifierGenerator() = default;

CUSharedPtr<CUIdentifierGenerator> CUIdentifierGenerator::SharedInstance() {
    // A function-local static is initialised exactly once even when several
    // host threads ask at the same time; two generators would hand out the
    // same identifiers. It is released at process exit.
    static const CUSharedPtr<CUIdentifierGenerator> gs_sharedCUIdentifierGenerator(
        new CUIdentifierGenerator());
    return gs_sharedCUIdentifierGenerator;
}

int64_t CUIdentifierGenerator::GenerateIdentifier() {
    CUAutoLock lock(&m_Lock);
    return ++m_LastIdentifier;
}

}  // namespace ComVantoVantoQZ64RADPlug

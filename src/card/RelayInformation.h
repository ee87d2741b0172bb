#pragma once
// Relay information of a clip information block (128 bytes at offset 1012):
// the recording medium and the previous and next clips of a recording split
// across files or cards (medium identifier, clip ID text, basic UMID).
// Absent parts (all zero bytes) are null. Plain record built fresh per
// request; not synchronised.
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "FBCClipTypes.h"

namespace ComVantoVantoQZ64RADPlug {

class CUStringMac;
class CUUUID;
class UMID;

class RelayInformation : public CUObject {
public:
    static CUSharedPtr<RelayInformation> Create();

    // A link is present when any of its medium identifier, clip ID or UMID
    // is: neither link single, only the next first, both middle, only the
    // previous last.
    bool HasPrevious() const;
    bool HasNext() const;
    _RelayRecordType RelayRecordType() const;

    // "medium=... previous=(medium clip umid) next=(...)", "-" for absent.
    CUSharedPtr<CUStringMac> Description() const override;

    CUSharedPtr<CUUUID> mediumID;
    CUSharedPtr<CUUUID> previousMediumID;
    CUSharedPtr<CUStringMac> previousClipID;
    CUSharedPtr<UMID> previousUMID;
    CUSharedPtr<CUUUID> nextMediumID;
    CUSharedPtr<CUStringMac> nextClipID;
    CUSharedPtr<UMID> nextUMID;
};

}  // namespace ComVantoVantoQZ64RADPlug

#include "RelayInformation.h"

#include "CUStringMac.h"
#include "CUUUID.h"
#include "UMID.h"

#include <string>

namespace ComVantoVantoQZ64RADPlug {

namespace {

// The identifier without the object prefix CUUUID::Description puts first.
std::string UUIDText(const CUSharedPtr<CUUUID>& id) {
    if (!id) return "-";
    const std::string text = id->Description()->Utf8();
    const size_t blank = text.rfind(' ');
    return blank == std::string::npos ? text : text.substr(blank + 1);
}

std::string Text(const CUSharedPtr<CUStringMac>& s) {
    return s && !s->IsNull() ? s->Utf8() : "-";
}

std::string UMIDText(const CUSharedPtr<UMID>& umid) {
    return umid ? umid->Description()->Utf8() : "-";
}

}  // namespace

CUSharedPtr<RelayInformation> RelayInformation::Create() {
    return CUSharedPtr<RelayInformation>(new RelayInformation());
}

bool RelayInformation::HasPrevious() const {
    return previousMediumID || previousClipID || previousUMID;
}

bool RelayInformation::HasNext() const {
    return nextMediumID || nextClipID || nextUMID;
}

_RelayRecordType RelayInformation::RelayRecordType() const {
    const bool previous = HasPrevious();
    const bool next = HasNext();
    if (previous && next) return kRelayRecordTypeMiddle;
    if (next) return kRelayRecordTypeFirst;
    if (previous) return kRelayRecordTypeLast;
    return kRelayRecordTypeSingle;
}

CUSharedPtr<CUStringMac> RelayInformation::Description() const {
    const std::string text = "medium=" + UUIDText(mediumID) + " previous=(" + UUIDText(previousMediumID) +
                             " " + Text(previousClipID) + " " + UMIDText(previousUMID) + ") next=(" +
                             UUIDText(nextMediumID) + " " + Text(nextClipID) + " " + UMIDText(nextUMID) + ")";
    return CUStringMac::Create(text.c_str());
}

}  // namespace ComVantoVantoQZ64RADPlug

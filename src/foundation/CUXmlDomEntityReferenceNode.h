#pragma once
// A reference to an entity by name ("amp" for "&amp;"). Loading merges such
// references into the text of their element; the writer accepts only the
// five predefined entities (lt, gt, amp, quot, apos).
#include "CUXmlDomNode.h"

namespace ComVantoVantoQZ64RADPlug {

class CUXmlDomEntityReferenceNode : public CUXmlDomNode {
public:
    explicit CUXmlDomEntityReferenceNode(CUSharedPtr<CUStringMac> entityName);
    ~CUXmlDomEntityReferenceNode() override;

    static CUSharedPtr<CUXmlDomEntityReferenceNode> Create(CUSharedPtr<CUStringMac> entityName);

    // Refused (0x10001): a reference has no value of its own.
    uint32_t SetNodeValue(CUSharedPtr<CUStringMac> value) override;
};

}  // namespace ComVantoVantoQZ64RADPlug

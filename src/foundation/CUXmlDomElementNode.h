#pragma once
// An element: tag name, attributes and child nodes; it has no value of its
// own (its text is a child text node).
#include "CUXmlDomNode.h"

namespace ComVantoVantoQZ64RADPlug {

class CUXmlDomElementNode : public CUXmlDomNode {
public:
    explicit CUXmlDomElementNode(CUSharedPtr<CUStringMac> tagName);
    ~CUXmlDomElementNode() override;

    static CUSharedPtr<CUXmlDomElementNode> Create(CUSharedPtr<CUStringMac> tagName);

    // Refused (0x10001): an element holds its text in child nodes.
    uint32_t SetNodeValue(CUSharedPtr<CUStringMac> value) override;
};

}  // namespace ComVantoVantoQZ64RADPlug

#pragma once
// Base of the nodes that carry character data as their value (the text
// node). The name is fixed by the kind; there are no children or attributes.
#include "CUXmlDomNode.h"

namespace ComVantoVantoQZ64RADPlug {

class CUXmlDomCharacterDataNode : public CUXmlDomNode {
public:
    ~CUXmlDomCharacterDataNode() override;

    // Refused (0x10001): the name is fixed by the node kind.
    uint32_t SetNodeName(CUSharedPtr<CUStringMac> name) override;

protected:
    CUXmlDomCharacterDataNode(_CUXmlDomNodeType type, CUSharedPtr<CUStringMac> name,
                              CUSharedPtr<CUStringMac> data);
};

}  // namespace ComVantoVantoQZ64RADPlug

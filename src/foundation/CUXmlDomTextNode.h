#pragma once
// A text node ("#text"). Its value is the plain text, without entity
// escapes ("&" itself, not "&amp;").
#include "CUXmlDomCharacterDataNode.h"

namespace ComVantoVantoQZ64RADPlug {

class CUXmlDomTextNode : public CUXmlDomCharacterDataNode {
public:
    explicit CUXmlDomTextNode(CUSharedPtr<CUStringMac> text);
    ~CUXmlDomTextNode() override;

    static CUSharedPtr<CUXmlDomTextNode> Create(CUSharedPtr<CUStringMac> text);
};

}  // namespace ComVantoVantoQZ64RADPlug

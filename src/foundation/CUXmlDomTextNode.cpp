#include "CUXmlDomTextNode.h"

namespace ComVantoVantoQZ64RADPlug {

CUXmlDomTextNode::CUXmlDomTextNode(CUSharedPtr<CUStringMac> text)
    : CUXmlDomCharacterDataNode(kCUXmlDomNode_Text, CUStringMac::Create("#text"), std::move(text)) {}

CUXmlDomTextNode::~CUXmlDomTextNode() = default;

CUSharedPtr<CUXmlDomTextNode> CUXmlDomTextNode::Create(CUSharedPtr<CUStringMac> text) {
    return CUSharedPtr<CUXmlDomTextNode>(new CUXmlDomTextNode(std::move(text)));
}

}  // namespace ComVantoVantoQZ64RADPlug

#include "CUXmlDomElementNode.h"

namespace ComVantoVantoQZ64RADPlug {

CUXmlDomElementNode::CUXmlDomElementNode(CUSharedPtr<CUStringMac> tagName)
    : CUXmlDomNode(kCUXmlDomNode_Element, std::move(tagName), nullptr, true, true) {}

CUXmlDomElementNode::~CUXmlDomElementNode() = default;

CUSharedPtr<CUXmlDomElementNode> CUXmlDomElementNode::Create(CUSharedPtr<CUStringMac> tagName) {
    return CUSharedPtr<CUXmlDomElementNode>(new CUXmlDomElementNode(std::move(tagName)));
}

uint32_t CUXmlDomElementNode::SetNodeValue(CUSharedPtr<CUStringMac>) {
    return kCUXmlResultInvalid;
}

}  // namespace ComVantoVantoQZ64RADPlug

#include "CUXmlDomEntityReferenceNode.h"

namespace ComVantoVantoQZ64RADPlug {

CUXmlDomEntityReferenceNode::CUXmlDomEntityReferenceNode(CUSharedPtr<CUStringMac> entityName)
    : CUXmlDomNode(kCUXmlDomNode_EntityReference, std::move(entityName), nullptr, false, false) {}

CUXmlDomEntityReferenceNode::~CUXmlDomEntityReferenceNode() = default;

CUSharedPtr<CUXmlDomEntityReferenceNode> CUXmlDomEntityReferenceNode::Create(
    CUSharedPtr<CUStringMac> entityName) {
    return CUSharedPtr<CUXmlDomEntityReferenceNode>(new CUXmlDomEntityReferenceNode(std::move(entityName)));
}

uint32_t CUXmlDomEntityReferenceNode::SetNodeValue(CUSharedPtr<CUStringMac>) {
    return kCUXmlResultInvalid;
}

}  // namespace ComVantoVantoQZ64RADPlug

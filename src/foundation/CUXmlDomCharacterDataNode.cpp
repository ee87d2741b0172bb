#include "CUXmlDomCharacterDataNode.h"

namespace ComVantoVantoQZ64RADPlug {

CUXmlDomCharacterDataNode::CUXmlDomCharacterDataNode(_CUXmlDomNodeType type, CUSharedPtr<CUStringMac> name,
                                                     CUSharedPtr<CUStringMac> data)
    : CUXmlDomNode(type, std::move(name), std::move(data), false, false) {}

CUXmlDomCharacterDataNode::~CUXmlDomCharacterDataNode() = default;

uint32_t CUXmlDomCharacterDataNode::SetNodeName(CUSharedPtr<CUStringMac>) {
    return kCUXmlResultInvalid;
}

}  // namespace ComVantoVantoQZ64RADPlug

#include "CUXmlDomProcessingInstructionNode.h"

namespace ComVantoVantoQZ64RADPlug {

CUXmlDomProcessingInstructionNode::CUXmlDomProcessingInstructionNode(CUSharedPtr<CUStringMac> target,
                                                                     CUSharedPtr<CUStringMac> data)
    : CUXmlDomNode(kCUXmlDomNode_ProcessingInstruction, std::move(target), std::move(data), false, false) {}

CUXmlDomProcessingInstructionNode::~CUXmlDomProcessingInstructionNode() = default;

CUSharedPtr<CUXmlDomProcessingInstructionNode> CUXmlDomProcessingInstructionNode::Create(
    CUSharedPtr<CUStringMac> target, CUSharedPtr<CUStringMac> data) {
    return CUSharedPtr<CUXmlDomProcessingInstructionNode>(
        new CUXmlDomProcessingInstructionNode(std::move(target), std::move(data)));
}

}  // namespace ComVantoVantoQZ64RADPlug

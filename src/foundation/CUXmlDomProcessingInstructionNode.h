#pragma once
// A processing instruction: the target is the name, the instruction data
// the value. The XML declaration of a loaded file is the instruction "xml";
// an "xml" instruction among a document's children is written as the
// declaration.
#include "CUXmlDomNode.h"

namespace ComVantoVantoQZ64RADPlug {

class CUXmlDomProcessingInstructionNode : public CUXmlDomNode {
public:
    CUXmlDomProcessingInstructionNode(CUSharedPtr<CUStringMac> target, CUSharedPtr<CUStringMac> data);
    ~CUXmlDomProcessingInstructionNode() override;

    static CUSharedPtr<CUXmlDomProcessingInstructionNode> Create(CUSharedPtr<CUStringMac> target,
                                                                 CUSharedPtr<CUStringMac> data);
};

}  // namespace ComVantoVantoQZ64RADPlug

#pragma once
// The document node ("#document"): owns the top-level nodes, makes new nodes
// and loads or writes the whole tree as XML (UTF-8 on output).
// Loading accepts elements, text, the five predefined entities and
// processing instructions only: comments, CDATA sections and document type
// declarations (so also external entities) are refused, nothing is fetched
// from the network or from other files. What WriteXml writes loads back to
// the same document (text and attribute values are escaped as needed).
// Not synchronised: a document is loaded, changed and written by one thread
// at a time; different documents may be used on different threads.
#include "CUXmlDomNode.h"

namespace ComVantoVantoQZ64RADPlug {

class CUStream;
class CUXmlDomElementNode;
class CUXmlDomTextNode;
class CUXmlDomEntityReferenceNode;
class CUXmlDomProcessingInstructionNode;

class CUXmlDomDocumentNode : public CUXmlDomNode {
public:
    CUXmlDomDocumentNode();
    ~CUXmlDomDocumentNode() override;

    static CUSharedPtr<CUXmlDomDocumentNode> Create();

    // Refused (0x10001): a document has a fixed name and no value.
    uint32_t SetNodeName(CUSharedPtr<CUStringMac> name) override;
    uint32_t SetNodeValue(CUSharedPtr<CUStringMac> value) override;

    // New nodes, not attached to any parent (attach them with AddObject on
    // the parent's GetChildNodes()).
    CUSharedPtr<CUXmlDomElementNode> CreateElementNode(CUSharedPtr<CUStringMac> tagName) const;
    CUSharedPtr<CUXmlDomTextNode> CreateTextNode(CUSharedPtr<CUStringMac> text) const;
    CUSharedPtr<CUXmlDomEntityReferenceNode> CreateEntityReferenceNodeNode(
        CUSharedPtr<CUStringMac> entityName) const;
    CUSharedPtr<CUXmlDomProcessingInstructionNode> CreateProcessingInstructionNode(
        CUSharedPtr<CUStringMac> target, CUSharedPtr<CUStringMac> data) const;

    // Parses the whole stream (Length() bytes from offset 0) and appends its
    // top-level nodes to the children; the XML declaration becomes the
    // processing instruction "xml". Whitespace-only text is dropped and the
    // text and entity pieces of each element are merged into one text node
    // at the place of the first piece. Returns 0, or 0x10001 for a null
    // stream, a short read, malformed or unsupported content, an unknown
    // entity or elements nested deeper than kCUXmlMaxNestingDepth; on
    // failure the children are left as they were.
    virtual uint32_t LoadXml(CUSharedPtr<CUStream> stream);

    // Writes the document as UTF-8 at the stream's current position
    // (WriteCFData(data, 0, 1)); attributes in key order, an "xml"
    // instruction among the children as the XML declaration. Returns 0,
    // 0x10001 for a null stream, or 0x10005 when the tree cannot be written
    // as XML that loads back (not exactly one root element, text outside it,
    // a missing or invalid name, characters XML cannot carry, an entity other
    // than the predefined five, nesting too deep) or not all bytes were
    // written.
    virtual uint32_t WriteXml(CUSharedPtr<CUStream> stream);
};

}  // namespace ComVantoVantoQZ64RADPlug

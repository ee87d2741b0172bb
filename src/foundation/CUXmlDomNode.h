#pragma once
// One node of the small XML document model: document, element, text, entity
// reference or processing instruction, with name, value, child nodes and
// attributes. Not synchronised: a tree is used from one thread at a time.
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "CUStringMac.h"

#include <cstdint>

namespace ComVantoVantoQZ64RADPlug {

class CUMutableArray;
class CUMutableDictionary;

// Node kinds, numbered as in the W3C document object model.
enum _CUXmlDomNodeType : uint32_t {
    kCUXmlDomNode_Element = 1,
    kCUXmlDomNode_Attribute = 2,
    kCUXmlDomNode_Text = 3,
    kCUXmlDomNode_CdataSection = 4,
    kCUXmlDomNode_EntityReference = 5,
    kCUXmlDomNode_Entity = 6,
    kCUXmlDomNode_ProcessingInstruction = 7,
    kCUXmlDomNode_Comment = 8,
    kCUXmlDomNode_Document = 9,
    kCUXmlDomNode_DocumentType = 10,
    kCUXmlDomNode_DocumentFragment = 11,
    kCUXmlDomNode_Notation = 12,
};

// Status values of the XML model.
constexpr uint32_t kCUXmlResultInvalid = 0x10001;       // invalid input or unsupported content
constexpr uint32_t kCUXmlResultWriteFailure = 0x10005;  // not converted or not all bytes written

// Loading, writing and dumping recurse once per level, so trees are limited
// to this many levels of nodes with children (elements nested inside each
// other below a document); deeper trees, and trees that contain themselves,
// are refused with kCUXmlResultInvalid (kCUXmlResultWriteFailure on write).
constexpr int kCUXmlMaxNestingDepth = 256;

// "Node_Element", "Node_Text", ... for the values above; "Node_Unknown" otherwise.
CUSharedPtr<CUStringMac> GetXmlDomNodeTypeString(_CUXmlDomNodeType type);

class CUXmlDomNode : public virtual CUObject {
public:
    CUXmlDomNode(const CUXmlDomNode&) = delete;
    CUXmlDomNode& operator=(const CUXmlDomNode&) = delete;
    ~CUXmlDomNode() override;

    virtual CUSharedPtr<CUStringMac> GetNodeName() const;
    virtual _CUXmlDomNodeType GetNodeType() const;
    // Null when the node has no attributes or the name is absent (or null).
    virtual CUSharedPtr<CUStringMac> GetAttribute(CUSharedPtr<CUStringMac> name) const;
    // Null for kinds without attributes.
    virtual CUSharedPtr<CUMutableDictionary> GetAttributes() const;
    virtual CUSharedPtr<CUStringMac> GetNodeValue() const;
    // Each answers 0, or 0x10001 where the node kind refuses the change.
    virtual uint32_t SetNodeName(CUSharedPtr<CUStringMac> name);
    // Stores or replaces; 0x10001 for a null name or a kind without
    // attributes. A null value is stored as a null value.
    virtual uint32_t SetAttribute(CUSharedPtr<CUStringMac> name, CUSharedPtr<CUStringMac> value);
    virtual uint32_t SetNodeValue(CUSharedPtr<CUStringMac> value);
    // The children in document order (attach nodes with AddObject); null for
    // kinds without children.
    virtual CUSharedPtr<CUMutableArray> GetChildNodes() const;
    // The dump of the node and its subtree at depth 0; null when the subtree
    // is nested too deeply to dump.
    CUSharedPtr<CUStringMac> Description() const override;

    // Appends the dump of `node` and its subtree to `out`, each line indented
    // by `depth` tabs. A null node is dumped as a node whose fields are all
    // missing. Returns 0, or 0x10001 (nothing appended) when the subtree is
    // nested deeper than kCUXmlMaxNestingDepth or `depth` exceeds it.
    static uint32_t DumpDOMNode(const CUXmlDomNode* node, int depth, CUStringMac& out);
    // `depth` tab characters (none below 1, at most kCUXmlMaxNestingDepth).
    static CUSharedPtr<CUStringMac> IndentString(int depth);

protected:
    // Kinds with children or attributes pass true to get an empty array or
    // dictionary.
    CUXmlDomNode(_CUXmlDomNodeType type, CUSharedPtr<CUStringMac> name, CUSharedPtr<CUStringMac> value,
                 bool hasChildren, bool hasAttributes);

    CUSharedPtr<CUStringMac> m_NodeName;
    _CUXmlDomNodeType m_NodeType;
    CUSharedPtr<CUStringMac> m_NodeValue;
    CUSharedPtr<CUMutableArray> m_ChildNodes;
    CUSharedPtr<CUMutableDictionary> m_Attributes;
};

}  // namespace ComVantoVantoQZ64RADPlug

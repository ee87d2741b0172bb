#include "CUXmlDomNode.h"

#include "CUMutableArray.h"
#include "CUMutableDictionary.h"

#include <string>

namespace ComVantoVantoQZ64RADPlug {

namespace {

void AppendAscii(std::u16string& out, const char* text) {
    for (; *text; ++text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
}

// One dump line: indent, label, then the text or "Invalid" when missing.
void AppendLine(std::u16string& out, int depth, const char* label, const CUStringMac* value) {
    for (int i = 0; i < depth; ++i) out.push_back(u'\t');
    AppendAscii(out, label);
    if (value && !value->IsNull())
        out += value->Text();
    else
        AppendAscii(out, "Invalid");
    AppendAscii(out, CU_NEWLINE_CHAR);
}

void AppendCountLine(std::u16string& out, int depth, const char* label, long long count) {
    for (int i = 0; i < depth; ++i) out.push_back(u'\t');
    AppendAscii(out, label);
    AppendAscii(out, std::to_string(count).c_str());
    AppendAscii(out, CU_NEWLINE_CHAR);
}

// `nesting` counts the nodes with children on the path from the start of
// the dump (a document at the start is not counted), so a document may hold
// kCUXmlMaxNestingDepth elements nested inside each other.
bool Dump(const CUXmlDomNode* node, int depth, int nesting, std::u16string& out) {
    CUSharedPtr<CUMutableArray> children = node ? node->GetChildNodes() : nullptr;
    if (children && !(nesting == 0 && node->GetNodeType() == kCUXmlDomNode_Document)) ++nesting;
    if (nesting > kCUXmlMaxNestingDepth) return false;

    CUSharedPtr<CUStringMac> name = node ? node->GetNodeName() : nullptr;
    AppendLine(out, depth, "Name:", name.get());
    CUSharedPtr<CUStringMac> type = node ? GetXmlDomNodeTypeString(node->GetNodeType()) : nullptr;
    AppendLine(out, depth, "Type:", type.get());
    CUSharedPtr<CUStringMac> value = node ? node->GetNodeValue() : nullptr;
    AppendLine(out, depth, "Value:", value.get());

    CUSharedPtr<CUMutableDictionary> attributes = node ? node->GetAttributes() : nullptr;
    if (attributes) {
        const auto& map = attributes->GetInternalMap();
        AppendCountLine(out, depth, "Attributes:Num=", static_cast<long long>(map.size()));
        long long i = 0;
        for (const auto& [key, object] : map) {
            std::string label;
            label.reserve(32);
            label.append(1, '[').append(std::to_string(i)).append(1, ']');
            const std::string::size_type prefix = label.size();
            label.append("Key:");
            AppendLine(out, depth, label.c_str(), &key);
            CUSharedPtr<CUStringMac> text = CUDynamicCast<CUStringMac>(object);
            if (!text && object) text = object->Description();
            label.resize(prefix);
            label.append("Attribute:");
            AppendLine(out, depth, label.c_str(), text.get());
            ++i;
        }
    } else {
        AppendLine(out, depth, "Attributes:", nullptr);
    }

    if (children) {
        AppendCountLine(out, depth, "ChildNodes:Num=", static_cast<long long>(children->Count()));
        for (const CUSharedPtr<CUObject>& child : children->GetInternalArray()) {
            if (!Dump(dynamic_cast<const CUXmlDomNode*>(child.get()), depth + 1, nesting, out)) return false;
        }
    } else {
        AppendLine(out, depth, "ChildNodes:", nullptr);
    }
    return true;
}

}  // namespace

CUSharedPtr<CUStringMac> GetXmlDomNodeTypeString(_CUXmlDomNodeType type) {
    const char* text = "Node_Unknown";
    switch (type) {
        case kCUXmlDomNode_Element:
            text = "Node_Element";
            break;
        case kCUXmlDomNode_Attribute:
            text = "Node_Attribute";
            break;
        case kCUXmlDomNode_Text:
            text = "Node_Text";
            break;
        case kCUXmlDomNode_CdataSection:
            text = "Node_Cdata_Section";
            break;
        case kCUXmlDomNode_EntityReference:
            text = "Node_Entity_Reference";
            break;
        case kCUXmlDomNode_Entity:
            text = "Node_Entity";
            break;
        case kCUXmlDomNode_ProcessingInstruction:
            text = "Node_Processing_Instruction";
            break;
        case kCUXmlDomNode_Comment:
            text = "Node_Comment";
            break;
        case kCUXmlDomNode_Document:
            text = "Node_Document";
            break;
        case kCUXmlDomNode_DocumentType:
            text = "Node_Document_Type";
            break;
        case kCUXmlDomNode_DocumentFragment:
            text = "Node_Document_Fragment";
            break;
        case kCUXmlDomNode_Notation:
            text = "Node_Notation";
            break;
    }
    return CUStringMac::Create(text);
}

CUXmlDomNode::CUXmlDomNode(_CUXmlDomNodeType type, CUSharedPtr<CUStringMac> name,
                           CUSharedPtr<CUStringMac> value, bool hasChildren, bool hasAttributes)
    : m_NodeName(std::move(name)), m_NodeType(type), m_NodeValue(std::move(value)) {
    if (hasChildren) m_ChildNodes = CUMutableArray::Create();
    if (hasAttributes) m_Attributes = CUMutableDictionary::Create();
}

CUXmlDomNode::~CUXmlDomNode() = default;

CUSharedPtr<CUStringMac> CUXmlDomNode::GetNodeName() const {
    return m_NodeName;
}

_CUXmlDomNodeType CUXmlDomNode::GetNodeType() const {
    return m_NodeType;
}

CUSharedPtr<CUStringMac> CUXmlDomNode::GetAttribute(CUSharedPtr<CUStringMac> name) const {
    if (!m_Attributes || !name) return nullptr;
    return CUDynamicCast<CUStringMac>(m_Attributes->ObjectForKey(name));
}

CUSharedPtr<CUMutableDictionary> CUXmlDomNode::GetAttributes() const {
    return m_Attributes;
}

CUSharedPtr<CUStringMac> CUXmlDomNode::GetNodeValue() const {
    return m_NodeValue;
}

uint32_t CUXmlDomNode::SetNodeName(CUSharedPtr<CUStringMac> name) {
    m_NodeName = std::move(name);
    return 0;
}

uint32_t CUXmlDomNode::SetAttribute(CUSharedPtr<CUStringMac> name, CUSharedPtr<CUStringMac> value) {
    // A null string as a name cannot be stored either (the dictionary ignores it).
    if (!m_Attributes || !name || name->IsNull()) return kCUXmlResultInvalid;
    m_Attributes->SetObjectForKey(value, name);
    return 0;
}

uint32_t CUXmlDomNode::SetNodeValue(CUSharedPtr<CUStringMac> value) {
    m_NodeValue = std::move(value);
    return 0;
}

CUSharedPtr<CUMutableArray> CUXmlDomNode::GetChildNodes() const {
    return m_ChildNodes;
}

CUSharedPtr<CUStringMac> CUXmlDomNode::Description() const {
    CUStringMac out;
    if (DumpDOMNode(this, 0, out) != 0) return nullptr;
    return CUSharedPtr<CUStringMac>(new CUStringMac(out));
}

uint32_t CUXmlDomNode::DumpDOMNode(const CUXmlDomNode* node, int depth, CUStringMac& out) {
    if (depth > kCUXmlMaxNestingDepth) return kCUXmlResultInvalid;
    std::u16string text;
    if (!Dump(node, depth < 0 ? 0 : depth, 0, text)) return kCUXmlResultInvalid;
    if (out.IsNull())
        out = CUStringMac(text);
    else
        out = CUStringMac(out.Text() + text);
    return 0;
}

CUSharedPtr<CUStringMac> CUXmlDomNode::IndentString(int depth) {
    if (depth < 0) depth = 0;
    if (depth > kCUXmlMaxNestingDepth) depth = kCUXmlMaxNestingDepth;
    return CUSharedPtr<CUStringMac>(new CUStringMac(std::u16string(depth, u'\t')));
}

}  // namespace ComVantoVantoQZ64RADPlug

#include "MhlXml.h"

#include "CUMemoryStream.h"
#include "CUMutableArray.h"
#include "CUStream.h"
#include "CUStringMac.h"
#include "CUXmlDomProcessingInstructionNode.h"
#include "CUXmlDomTextNode.h"
#include "OffloadError.h"

namespace qzoffload {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// A stream that keeps what the document writer writes to it.
class CollectingStream : public CUStream {
public:
    bool CanWrite() const override { return true; }
    uint64_t Write(unsigned char* buffer, uint64_t size, int64_t, CUStream_Seek_Origin) override {
        bytes.insert(bytes.end(), buffer, buffer + size);
        return size;
    }
    std::vector<unsigned char> bytes;
};

CUSharedPtr<CUStringMac> Text16(const std::string& utf8) {
    return CUSharedPtr<CUStringMac>(new CUStringMac(utf8.c_str(), kCUString_UTF8));
}

}  // namespace

MhlXml::Document MhlXml::NewDocument(const std::string& rootName, const std::string& xmlNamespace,
                                     Element* root) {
    Document document = CUXmlDomDocumentNode::Create();
    document->GetChildNodes()->AddObject(CUXmlDomProcessingInstructionNode::Create(
        Text16("xml"), Text16("version=\"1.0\" encoding=\"UTF-8\"")));
    *root = document->CreateElementNode(Text16(rootName));
    SetAttribute(*root, "xmlns", xmlNamespace);
    document->GetChildNodes()->AddObject(*root);
    return document;
}

MhlXml::Element MhlXml::AddElement(const Element& parent, const std::string& name) {
    Element element = CUXmlDomElementNode::Create(Text16(name));
    parent->GetChildNodes()->AddObject(element);
    return element;
}

MhlXml::Element MhlXml::AddTextElement(const Element& parent, const std::string& name,
                                       const std::string& text) {
    Element element = AddElement(parent, name);
    element->GetChildNodes()->AddObject(CUXmlDomTextNode::Create(Text16(text)));
    return element;
}

void MhlXml::SetAttribute(const Element& element, const std::string& name, const std::string& value) {
    element->SetAttribute(Text16(name), Text16(value));
}

std::vector<unsigned char> MhlXml::Bytes(const Document& document, const std::string& what) {
    CUSharedPtr<CollectingStream> stream(new CollectingStream());
    if (document->WriteXml(stream) != 0)
        throw OffloadError("cannot write " + what + " as XML (a path with characters XML cannot carry?)");
    return stream->bytes;
}

MhlXml::Element MhlXml::LoadRoot(const unsigned char* bytes, size_t size, const std::string& rootName,
                                 const std::string& xmlNamespace, const std::string& what) {
    Document document = CUXmlDomDocumentNode::Create();
    CUSharedPtr<CUStream> stream(new CUMemoryStream(const_cast<unsigned char*>(bytes), size, true));
    if (document->LoadXml(stream) != 0) throw OffloadError(what + " is not well-formed XML");
    for (const Node* node : ChildElements(*document)) {
        if (LocalName(*node) != rootName) break;
        const std::optional<std::string> space = Attribute(*node, "xmlns");
        if (!space || *space != xmlNamespace)
            throw OffloadError(what + ": the root element is not in the namespace " + xmlNamespace);
        return Element(const_cast<CUXmlDomElementNode*>(dynamic_cast<const CUXmlDomElementNode*>(node)));
    }
    throw OffloadError(what + ": the root element is not " + rootName);
}

std::vector<const MhlXml::Node*> MhlXml::ChildElements(const Node& node) {
    std::vector<const Node*> elements;
    CUSharedPtr<CUMutableArray> children = node.GetChildNodes();
    if (!children) return elements;
    for (const CUSharedPtr<CUObject>& child : children->GetInternalArray()) {
        const auto* element = dynamic_cast<const Node*>(child.get());
        if (element && element->GetNodeType() == kCUXmlDomNode_Element) elements.push_back(element);
    }
    return elements;
}

const MhlXml::Node* MhlXml::Child(const Node& node, const std::string& localName) {
    for (const Node* child : ChildElements(node))
        if (LocalName(*child) == localName) return child;
    return nullptr;
}

std::string MhlXml::LocalName(const Node& node) {
    CUSharedPtr<CUStringMac> name = node.GetNodeName();
    const std::string text = name ? name->Utf8() : std::string();
    const size_t colon = text.find(':');
    return colon == std::string::npos ? text : text.substr(colon + 1);
}

std::string MhlXml::Text(const Node& node) {
    std::string text;
    CUSharedPtr<CUMutableArray> children = node.GetChildNodes();
    if (!children) return text;
    for (const CUSharedPtr<CUObject>& child : children->GetInternalArray()) {
        const auto* piece = dynamic_cast<const Node*>(child.get());
        if (!piece || piece->GetNodeType() != kCUXmlDomNode_Text) continue;
        if (CUSharedPtr<CUStringMac> value = piece->GetNodeValue()) text += value->Utf8();
    }
    return text;
}

std::optional<std::string> MhlXml::Attribute(const Node& node, const std::string& name) {
    CUSharedPtr<CUStringMac> value = node.GetAttribute(Text16(name));
    if (!value || value->IsNull()) return std::nullopt;
    return value->Utf8();
}

}  // namespace qzoffload

#pragma once
// The few things the ASC MHL files need of the foundation's XML model:
// building a document of elements, attributes and text and writing it to
// bytes; loading bytes and walking the elements by local name (a prefix,
// should a tool write one, is ignored). Failures throw OffloadError naming
// what was wrong. Not synchronised: one document per thread.
#include "CUSharedPtr.h"
#include "CUXmlDomDocumentNode.h"
#include "CUXmlDomElementNode.h"

#include <optional>
#include <string>
#include <vector>

namespace qzoffload {

class MhlXml {
public:
    using Document = ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CUXmlDomDocumentNode>;
    using Element = ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CUXmlDomElementNode>;
    using Node = ComVantoVantoQZ64RADPlug::CUXmlDomNode;

    // A document with the XML declaration (UTF-8) and its root element in
    // the default namespace `xmlNamespace`.
    static Document NewDocument(const std::string& rootName, const std::string& xmlNamespace, Element* root);
    static Element AddElement(const Element& parent, const std::string& name);
    static Element AddTextElement(const Element& parent, const std::string& name, const std::string& text);
    static void SetAttribute(const Element& element, const std::string& name, const std::string& value);
    // The document as UTF-8 bytes; `what` names it in the error.
    static std::vector<unsigned char> Bytes(const Document& document, const std::string& what);

    // Loads `bytes` and answers the root element, which must have the local
    // name `rootName` and the default namespace `xmlNamespace`.
    static Element LoadRoot(const unsigned char* bytes, size_t size, const std::string& rootName,
                            const std::string& xmlNamespace, const std::string& what);
    static std::vector<const Node*> ChildElements(const Node& node);
    // The first child element of that local name, or null.
    static const Node* Child(const Node& node, const std::string& localName);
    static std::string LocalName(const Node& node);
    // The node's text (its text children joined), empty when it has none.
    static std::string Text(const Node& node);
    static std::optional<std::string> Attribute(const Node& node, const std::string& name);
};

}  // namespace qzoffload

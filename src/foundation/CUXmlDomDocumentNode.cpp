#include "CUXmlDomDocumentNode.h"

#include "CUFailure.h"
#include "CUMutableArray.h"
#include "CUMutableDictionary.h"
#include "CUStream.h"
#include "CUXmlDomElementNode.h"
#include "CUXmlDomEntityReferenceNode.h"
#include "CUXmlDomProcessingInstructionNode.h"
#include "CUXmlDomTextNode.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <climits>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

namespace {

void IgnoreXmlMessage(void*, const char*, ...) {}

// libxml2 keeps its error handler per thread; failures are answered with a
// status, so its messages (encoding errors among them) are not printed.
void InitXmlLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
    xmlSetGenericErrorFunc(nullptr, IgnoreXmlMessage);
}

const char* Chars(const xmlChar* text) {
    return reinterpret_cast<const char*>(text);
}
const xmlChar* XmlChars(const std::string& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

// The character a predefined entity stands for; 0 for any other name.
char16_t PredefinedEntity(const std::u16string& name) {
    if (name == u"lt") return u'<';
    if (name == u"gt") return u'>';
    if (name == u"amp") return u'&';
    if (name == u"quot") return u'"';
    if (name == u"apos") return u'\'';
    return 0;
}

// ---------------------------------------------------------------- loading

// Set when the parser meets a document type declaration; the parse is then
// stopped before the internal subset (and any entity in it) is read.
thread_local bool t_SawDoctype = false;

void RefuseDoctype(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    t_SawDoctype = true;
    xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

// Null for text that does not decode (libxml2 hands over UTF-8).
CUSharedPtr<CUStringMac> FromXml(const xmlChar* text) {
    CUSharedPtr<CUStringMac> result(new CUStringMac(text ? Chars(text) : "", kCUString_UTF8));
    return result->IsNull() ? nullptr : result;
}

// "prefix:name", or the name alone without a prefix.
CUSharedPtr<CUStringMac> QualifiedName(const xmlNs* ns, const xmlChar* name) {
    std::string text;
    if (ns && ns->prefix) {
        text = Chars(ns->prefix);
        text += ':';
    }
    text += name ? Chars(name) : "";
    return FromXml(XmlChars(text));
}

uint32_t ConvertChildren(const xmlNode* first, CUMutableArray& into, int nesting);

// Replaces the text and entity-reference children of an element by one text
// node holding their joined text, at the place of the first of them.
uint32_t MergeText(CUMutableArray& children) {
    // One text node alone (an element holding plain text) is merged already.
    if (children.Count() == 1) {
        const auto* only = dynamic_cast<const CUXmlDomNode*>(children.GetInternalArray()[0].get());
        if (only && only->GetNodeType() == kCUXmlDomNode_Text) return 0;
    }
    std::u16string text;
    bool found = false;
    size_t firstIndex = 0;
    std::vector<CUSharedPtr<CUObject>> kept;
    const CUArray::InternalArray& all = children.GetInternalArray();
    for (size_t i = 0; i < all.size(); ++i) {
        const auto* node = dynamic_cast<const CUXmlDomNode*>(all[i].get());
        const _CUXmlDomNodeType type = node ? node->GetNodeType() : kCUXmlDomNode_Element;
        if (type != kCUXmlDomNode_Text && type != kCUXmlDomNode_EntityReference) {
            kept.push_back(all[i]);
            continue;
        }
        if (!found) firstIndex = kept.size();
        found = true;
        if (type == kCUXmlDomNode_Text) {
            CUSharedPtr<CUStringMac> value = node->GetNodeValue();
            if (value) text += value->Text();
        } else {
            CUSharedPtr<CUStringMac> name = node->GetNodeName();
            const char16_t c = name ? PredefinedEntity(name->Text()) : 0;
            if (c == 0) return kCUXmlResultInvalid;
            text.push_back(c);
        }
    }
    if (!found) return 0;
    kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(firstIndex),
                CUXmlDomTextNode::Create(CUSharedPtr<CUStringMac>(new CUStringMac(text))));
    children.RemoveAllObjects();
    for (const auto& object : kept) children.AddObject(object);
    return 0;
}

uint32_t ConvertElement(const xmlNode* source, CUMutableArray& into, int nesting) {
    if (nesting + 1 > kCUXmlMaxNestingDepth) return kCUXmlResultInvalid;
    CUSharedPtr<CUStringMac> name = QualifiedName(source->ns, source->name);
    if (!name) return kCUXmlResultInvalid;
    CUSharedPtr<CUXmlDomElementNode> element = CUXmlDomElementNode::Create(name);

    // Namespace declarations are attributes of the file ("xmlns", "xmlns:p").
    for (const xmlNs* ns = source->nsDef; ns; ns = ns->next) {
        std::string key = "xmlns";
        if (ns->prefix) key.append(1, ':').append(Chars(ns->prefix));
        CUSharedPtr<CUStringMac> value = FromXml(ns->href);
        if (!value) return kCUXmlResultInvalid;
        element->SetAttribute(CUStringMac::Create(key.c_str()), value);
    }
    for (const xmlAttr* attribute = source->properties; attribute; attribute = attribute->next) {
        CUSharedPtr<CUStringMac> key = QualifiedName(attribute->ns, attribute->name);
        xmlChar* raw = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(attribute));
        CUSharedPtr<CUStringMac> value = FromXml(raw);
        xmlFree(raw);
        if (!key || !value) return kCUXmlResultInvalid;
        element->SetAttribute(key, value);
    }

    CUSharedPtr<CUMutableArray> children = element->GetChildNodes();
    uint32_t status = ConvertChildren(source->children, *children, nesting + 1);
    if (status == 0) status = MergeText(*children);
    if (status != 0) return status;
    into.AddObject(element);
    return 0;
}

uint32_t ConvertChildren(const xmlNode* first, CUMutableArray& into, int nesting) {
    for (const xmlNode* node = first; node; node = node->next) {
        switch (node->type) {
            case XML_ELEMENT_NODE: {
                const uint32_t status = ConvertElement(node, into, nesting);
                if (status != 0) return status;
                break;
            }
            case XML_TEXT_NODE: {
                if (xmlIsBlankNode(node)) break;
                CUSharedPtr<CUStringMac> text = FromXml(node->content);
                if (!text) return kCUXmlResultInvalid;
                into.AddObject(CUXmlDomTextNode::Create(text));
                break;
            }
            case XML_ENTITY_REF_NODE: {
                CUSharedPtr<CUStringMac> name = FromXml(node->name);
                if (!name) return kCUXmlResultInvalid;
                into.AddObject(CUXmlDomEntityReferenceNode::Create(name));
                break;
            }
            case XML_PI_NODE: {
                CUSharedPtr<CUStringMac> target = FromXml(node->name);
                CUSharedPtr<CUStringMac> data = node->content ? FromXml(node->content) : nullptr;
                if (!target || (node->content && !data)) return kCUXmlResultInvalid;
                into.AddObject(CUXmlDomProcessingInstructionNode::Create(target, data));
                break;
            }
            default:  // comments, CDATA sections, document types and anything else
                return kCUXmlResultInvalid;
        }
    }
    return 0;
}

// The data of the XML declaration, rebuilt from what the parser kept of it
// (version, declared encoding, standalone).
CUSharedPtr<CUStringMac> DeclarationData(const xmlDoc& doc) {
    std::string data = "version=\"";
    data += doc.version ? Chars(doc.version) : "1.0";
    data += '"';
    if (doc.encoding) data.append(" encoding=\"").append(Chars(doc.encoding)).append(1, '"');
    if (doc.standalone == 1) data += " standalone=\"yes\"";
    if (doc.standalone == 0) data += " standalone=\"no\"";
    return FromXml(XmlChars(data));
}

// ---------------------------------------------------------------- writing

// Walks a UTF-16 text by code point; false at an unpaired surrogate.
bool NextCodePoint(const std::u16string& text, size_t& i, char32_t& cp) {
    const char16_t unit = text[i++];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        if (i >= text.size() || text[i] < 0xDC00 || text[i] > 0xDFFF) return false;
        cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i++] - 0xDC00);
        return true;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
    cp = unit;
    return true;
}

// XML 1.0 Char: what a document may carry at all.
bool IsXmlText(const std::u16string& text) {
    for (size_t i = 0; i < text.size();) {
        char32_t c;
        if (!NextCodePoint(text, i, c)) return false;
        const bool ok = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                        (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
        if (!ok) return false;
    }
    return true;
}

bool IsNameStartChar(char32_t c) {
    return c == ':' || (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z') ||
           (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(char32_t c) {
    return IsNameStartChar(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// XML 1.0 (fifth edition) Name, the rule the parser applies when loading.
bool IsXmlName(const CUSharedPtr<CUStringMac>& name) {
    if (!name || name->IsNull() || name->Length() == 0) return false;
    const std::u16string& text = name->Text();
    bool first = true;
    for (size_t i = 0; i < text.size();) {
        char32_t c;
        if (!NextCodePoint(text, i, c)) return false;
        if (!(first ? IsNameStartChar(c) : IsNameChar(c))) return false;
        first = false;
    }
    return true;
}

bool IsText(const CUSharedPtr<CUStringMac>& text) {
    return !text || IsXmlText(text->Text());
}

std::string Utf8(const CUSharedPtr<CUStringMac>& text) {
    return text ? text->Utf8() : std::string();
}

bool IsDeclarationTarget(const CUSharedPtr<CUStringMac>& target) {
    return target && target->Text() == u"xml";
}

// Any case of "xml" is reserved; the exact one only as the declaration.
bool IsReservedTarget(const CUSharedPtr<CUStringMac>& target) {
    const std::u16string& t = target->Text();
    return t.size() == 3 && (t[0] == u'x' || t[0] == u'X') && (t[1] == u'm' || t[1] == u'M') &&
           (t[2] == u'l' || t[2] == u'L');
}

class Writer {
public:
    explicit Writer(xmlDocPtr doc) : m_Doc(doc) {}

    // Appends the model node to `parent`; false when it cannot be written as
    // XML that loads back. `nesting` counts the elements around the node.
    bool Convert(const CUSharedPtr<CUObject>& object, xmlNodePtr parent, int nesting) {
        const auto* node = dynamic_cast<const CUXmlDomNode*>(object.get());
        if (!node) return false;
        switch (node->GetNodeType()) {
            case kCUXmlDomNode_Element:
                return ConvertElement(*node, parent, nesting);
            case kCUXmlDomNode_Text: {
                CUSharedPtr<CUStringMac> value = node->GetNodeValue();
                if (!IsText(value)) return false;
                return Attach(parent, xmlNewDocText(m_Doc, XmlChars(Utf8(value))));
            }
            case kCUXmlDomNode_EntityReference: {
                CUSharedPtr<CUStringMac> name = node->GetNodeName();
                if (!name || PredefinedEntity(name->Text()) == 0) return false;
                return Attach(parent, xmlNewReference(m_Doc, XmlChars(Utf8(name))));
            }
            case kCUXmlDomNode_ProcessingInstruction: {
                CUSharedPtr<CUStringMac> target = node->GetNodeName();
                CUSharedPtr<CUStringMac> data = node->GetNodeValue();
                if (!IsXmlName(target) || IsReservedTarget(target) || !IsText(data)) return false;
                const std::string dataText = Utf8(data);
                if (dataText.find("?>") != std::string::npos) return false;
                return Attach(parent, xmlNewDocPI(m_Doc, XmlChars(Utf8(target)),
                                                  dataText.empty() ? nullptr : XmlChars(dataText)));
            }
            default:
                return false;
        }
    }

private:
    bool ConvertElement(const CUXmlDomNode& node, xmlNodePtr parent, int nesting) {
        if (nesting + 1 > kCUXmlMaxNestingDepth) return false;
        CUSharedPtr<CUStringMac> name = node.GetNodeName();
        if (!IsXmlName(name)) return false;
        xmlNodePtr element = xmlNewDocNode(m_Doc, nullptr, XmlChars(Utf8(name)), nullptr);
        if (!Attach(parent, element)) return false;
        // Attributes in key order (the order of AllKeys).
        if (CUSharedPtr<CUMutableDictionary> attributes = node.GetAttributes()) {
            for (const auto& [key, object] : attributes->GetInternalMap()) {
                CUSharedPtr<CUStringMac> value = CUDynamicCast<CUStringMac>(object);
                if (object && !value) return false;
                const CUSharedPtr<CUStringMac> keyPtr(new CUStringMac(key));
                if (!IsXmlName(keyPtr) || !IsText(value)) return false;
                if (!xmlNewProp(element, XmlChars(Utf8(keyPtr)), XmlChars(Utf8(value)))) return false;
            }
        }
        if (CUSharedPtr<CUMutableArray> children = node.GetChildNodes()) {
            for (const CUSharedPtr<CUObject>& child : children->GetInternalArray()) {
                if (!Convert(child, element, nesting + 1)) return false;
            }
        }
        return true;
    }

    // Hands `child` to the tree (which then frees it with the document).
    static bool Attach(xmlNodePtr parent, xmlNodePtr child) {
        if (!child) return false;
        if (!xmlAddChild(parent, child)) {
            xmlFreeNode(child);
            return false;
        }
        return true;
    }

    xmlDocPtr m_Doc;
};

struct DocFree {
    void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
struct ParserFree {
    void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};
struct BufferFree {
    void operator()(xmlBufferPtr buffer) const { xmlBufferFree(buffer); }
};

}  // namespace

CUXmlDomDocumentNode::CUXmlDomDocumentNode()
    : CUXmlDomNode(kCUXmlDomNode_Document, CUStringMac::Create("#document"), nullptr, true, false) {}

CUXmlDomDocumentNode::~CUXmlDomDocumentNode() = default;

CUSharedPtr<CUXmlDomDocumentNode> CUXmlDomDocumentNode::Create() {
    return CUSharedPtr<CUXmlDomDocumentNode>(new CUXmlDomDocumentNode());
}

uint32_t CUXmlDomDocumentNode::SetNodeName(CUSharedPtr<CUStringMac>) {
    return kCUXmlResultInvalid;
}

uint32_t CUXmlDomDocumentNode::SetNodeValue(CUSharedPtr<CUStringMac>) {
    return kCUXmlResultInvalid;
}

CUSharedPtr<CUXmlDomElementNode> CUXmlDomDocumentNode::CreateElementNode(
    CUSharedPtr<CUStringMac> tagName) const {
    return CUXmlDomElementNode::Create(std::move(tagName));
}

CUSharedPtr<CUXmlDomTextNode> CUXmlDomDocumentNode::CreateTextNode(CUSharedPtr<CUStringMac> text) const {
    return CUXmlDomTextNode::Create(std::move(text));
}

CUSharedPtr<CUXmlDomEntityReferenceNode> CUXmlDomDocumentNode::CreateEntityReferenceNodeNode(
    CUSharedPtr<CUStringMac> entityName) const {
    return CUXmlDomEntityReferenceNode::Create(std::move(entityName));
}

CUSharedPtr<CUXmlDomProcessingInstructionNode> CUXmlDomDocumentNode::CreateProcessingInstructionNode(
    CUSharedPtr<CUStringMac> target, CUSharedPtr<CUStringMac> data) const {
    return CUXmlDomProcessingInstructionNode::Create(std::move(target), std::move(data));
}

uint32_t CUXmlDomDocumentNode::LoadXml(CUSharedPtr<CUStream> stream) {
    if (!stream) return kCUXmlResultInvalid;
    try {
        // libxml2 takes an int size.
        const uint64_t length = stream->Length();
        if (length == 0 || length > static_cast<uint64_t>(INT_MAX)) return kCUXmlResultInvalid;
        std::vector<unsigned char> bytes(length);
        if (stream->Read(bytes.data(), length, 0, kCUStreamSeekBegin) != length) return kCUXmlResultInvalid;

        InitXmlLibrary();
        std::unique_ptr<xmlParserCtxt, ParserFree> context(xmlNewParserCtxt());
        if (!context || !context->sax) return kCUXmlResultInvalid;
        context->sax->internalSubset = RefuseDoctype;
        t_SawDoctype = false;
        // No network, no DTD loading and no entity substitution; errors are
        // answered with a status, not printed.
        const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
        std::unique_ptr<xmlDoc, DocFree> doc(
            xmlCtxtReadMemory(context.get(), reinterpret_cast<const char*>(bytes.data()),
                              static_cast<int>(length), nullptr, nullptr, options));
        if (!doc || t_SawDoctype || doc->intSubset || doc->extSubset || !context->wellFormed)
            return kCUXmlResultInvalid;

        CUSharedPtr<CUMutableArray> parsed = CUMutableArray::Create();
        // doc->standalone is -1 only when the file has no XML declaration.
        if (doc->standalone != -1) {
            CUSharedPtr<CUStringMac> data = DeclarationData(*doc);
            if (!data) return kCUXmlResultInvalid;
            parsed->AddObject(CUXmlDomProcessingInstructionNode::Create(CUStringMac::Create("xml"), data));
        }
        const uint32_t status = ConvertChildren(doc->children, *parsed, 0);
        if (status != 0) return status;
        m_ChildNodes->AddObjectsFromArray(parsed);
        return 0;
    } catch (const CUError&) {
        return kCUXmlResultInvalid;  // the stream could not be read
    } catch (const std::bad_alloc&) {
        return kCUXmlResultInvalid;  // a document too big to hold
    }
}

uint32_t CUXmlDomDocumentNode::WriteXml(CUSharedPtr<CUStream> stream) {
    if (!stream) return kCUXmlResultInvalid;
    try {
        InitXmlLibrary();
        std::unique_ptr<xmlDoc, DocFree> doc(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
        if (!doc) return kCUXmlResultWriteFailure;
        Writer writer(doc.get());
        bool declaration = false;
        int roots = 0;
        for (const CUSharedPtr<CUObject>& child : m_ChildNodes->GetInternalArray()) {
            const auto* node = dynamic_cast<const CUXmlDomNode*>(child.get());
            if (!node) return kCUXmlResultWriteFailure;
            const _CUXmlDomNodeType type = node->GetNodeType();
            if (type == kCUXmlDomNode_ProcessingInstruction && IsDeclarationTarget(node->GetNodeName())) {
                declaration = true;  // written by the serializer, for the bytes it writes
                continue;
            }
            // Outside the root element a document holds processing instructions only.
            if (type == kCUXmlDomNode_Element)
                ++roots;
            else if (type != kCUXmlDomNode_ProcessingInstruction)
                return kCUXmlResultWriteFailure;
            if (!writer.Convert(child, reinterpret_cast<xmlNodePtr>(doc.get()), 0))
                return kCUXmlResultWriteFailure;
        }
        if (roots != 1) return kCUXmlResultWriteFailure;

        std::unique_ptr<xmlBuffer, BufferFree> buffer(xmlBufferCreate());
        if (!buffer) return kCUXmlResultWriteFailure;
        xmlSaveCtxtPtr save =
            xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_FORMAT | (declaration ? 0 : XML_SAVE_NO_DECL));
        if (!save) return kCUXmlResultWriteFailure;
        const long saved = xmlSaveDoc(save, doc.get());
        if (xmlSaveClose(save) < 0 || saved < 0) return kCUXmlResultWriteFailure;

        const xmlChar* content = xmlBufferContent(buffer.get());
        const std::vector<unsigned char> data(content, content + xmlBufferLength(buffer.get()));
        if (stream->WriteCFData(&data, 0, kCUStreamSeekCurrent) != data.size())
            return kCUXmlResultWriteFailure;
        return 0;
    } catch (const CUError&) {
        return kCUXmlResultWriteFailure;
    }
}

}  // namespace ComVantoVantoQZ64RADPlug

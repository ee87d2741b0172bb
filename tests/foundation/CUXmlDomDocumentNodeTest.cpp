// XML documents: node kinds, setters that refuse and the dump format;
// loading with entity merging and refused content, writing with escapes and
// attribute order; the nesting limit of all three.
#include "CUFileStream.h"
#include "CUMutableArray.h"
#include "CUMutableDictionary.h"
#include "CUStringMac.h"
#include "CUXmlDomDocumentNode.h"
#include "CUXmlDomElementNode.h"
#include "CUXmlDomEntityReferenceNode.h"
#include "CUXmlDomNode.h"
#include "CUXmlDomProcessingInstructionNode.h"
#include "CUXmlDomTextNode.h"

#include <gtest/gtest.h>

#include "FoundationTestSupport.h"

#include "TestFiles.h"

#include <filesystem>
#include <functional>
#include <string>
#include <utility>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;

namespace {

uint32_t Load(const CUSharedPtr<CUXmlDomDocumentNode>& doc, const std::string& bytes) {
    return doc->LoadXml(Memory(bytes));
}

CUSharedPtr<CUXmlDomNode> Child(const CUSharedPtr<CUXmlDomNode>& node, size_t index) {
    return CUDynamicCast<CUXmlDomNode>(node->GetChildNodes()->ObjectAtIndex(index));
}

// The tree below `node` on one line: each node's name, "=" and its value
// when it has one, its attributes in key order in brackets and its children
// in parentheses, e.g. "#document(r[a=1](#text=x,b))".
std::string Outline(const CUXmlDomNode* node) {
    if (!node) return "<null>";
    std::string out = Str(node->GetNodeName());
    if (auto value = node->GetNodeValue()) out += "=" + value->Utf8();
    if (auto attributes = node->GetAttributes(); attributes && attributes->Count()) {
        std::string list;
        for (const auto& entry : attributes->GetInternalMap()) {
            const CUSharedPtr<CUStringMac> key(new CUStringMac(entry.first));
            list += (list.empty() ? "" : ",") + key->Utf8() + "=" + Str(node->GetAttribute(key));
        }
        out += "[" + list + "]";
    }
    if (auto children = node->GetChildNodes(); children && children->Count()) {
        out += "(";
        for (size_t i = 0; i < children->Count(); ++i)
            out +=
                (i ? "," : "") + Outline(dynamic_cast<const CUXmlDomNode*>(children->ObjectAtIndex(i).get()));
        out += ")";
    }
    return out;
}

class CUXmlDomDocumentNodeWriteTest : public ScratchTest {
protected:
    // Writes the document into a new file and returns the file's bytes.
    uint32_t Write(const CUSharedPtr<CUXmlDomDocumentNode>& doc, std::string& bytes) {
        const std::string path = Path("out.xml");
        std::filesystem::remove(path);
        CUSharedPtr<CUStream> stream(
            new CUFileStream(S(path), kCUStreamModeCreate, kCUStreamAccessWrite, true));
        const uint32_t status = doc->WriteXml(stream);
        stream = nullptr;
        bytes = qztest::ReadText(path);
        return status;
    }
};

// A document of `levels` elements nested inside each other, the innermost
// holding `leaf` as text when given.
CUSharedPtr<CUXmlDomDocumentNode> NestedDocument(int levels, const char* leaf = nullptr) {
    auto doc = CUXmlDomDocumentNode::Create();
    CUSharedPtr<CUMutableArray> parent = doc->GetChildNodes();
    for (int i = 0; i < levels; ++i) {
        auto e = CUXmlDomElementNode::Create(S("e"));
        parent->AddObject(e);
        parent = e->GetChildNodes();
    }
    if (leaf) parent->AddObject(CUXmlDomTextNode::Create(S(leaf)));
    return doc;
}

std::string Nested(int levels, const std::string& inner = "") {
    std::string s;
    for (int i = 0; i < levels; ++i) s += "<e>";
    s += inner;
    for (int i = 0; i < levels; ++i) s += "</e>";
    return s;
}

}  // namespace

TEST(CUXmlDomNodeTest, KindsAndRefusingSetters) {
    auto doc = CUXmlDomDocumentNode::Create();
    const struct {
        CUSharedPtr<CUXmlDomNode> node;
        _CUXmlDomNodeType type;
        const char* name;
        bool nameSettable, valueSettable, hasAttributes, hasChildren;
    } kinds[] = {
        {doc, kCUXmlDomNode_Document, "#document", false, false, false, true},
        {doc->CreateElementNode(S("Clip")), kCUXmlDomNode_Element, "Clip", true, false, true, true},
        {doc->CreateTextNode(S("a & b")), kCUXmlDomNode_Text, "#text", false, true, false, false},
        {doc->CreateEntityReferenceNodeNode(S("amp")), kCUXmlDomNode_EntityReference, "amp", true, false,
         false, false},
        {doc->CreateProcessingInstructionNode(S("t"), S("d")), kCUXmlDomNode_ProcessingInstruction, "t", true,
         true, false, false},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(k.node->GetNodeType(), k.type);
        EXPECT_EQ(Str(k.node->GetNodeName()), k.name);
        EXPECT_EQ(k.node->GetChildNodes().IsNull(), !k.hasChildren);
        const std::string value = Str(k.node->GetNodeValue());
        EXPECT_EQ(k.node->SetNodeName(S("n2")), k.nameSettable ? 0u : 0x10001u);
        EXPECT_EQ(Str(k.node->GetNodeName()), k.nameSettable ? "n2" : k.name);
        EXPECT_EQ(k.node->SetNodeValue(S("v2")), k.valueSettable ? 0u : 0x10001u);
        EXPECT_EQ(Str(k.node->GetNodeValue()), k.valueSettable ? "v2" : value);
        EXPECT_EQ(k.node->SetAttribute(S("a"), S("1")), k.hasAttributes ? 0u : 0x10001u);
        EXPECT_EQ(k.node->GetAttribute(S("a")).IsNull(), !k.hasAttributes);
    }
    // Factory nodes are not attached anywhere.
    EXPECT_EQ(doc->GetChildNodes()->Count(), 0u);

    auto element = doc->CreateElementNode(S("e"));
    EXPECT_EQ(element->SetAttribute(CUSharedPtr<CUStringMac>(new CUStringMac(CUStringMac::Null())), S("1")),
              0x10001u);
    EXPECT_EQ(element->SetAttribute(S("a"), S("2")), 0u);   // replaces
    EXPECT_EQ(element->SetAttribute(S("n"), nullptr), 0u);  // a null value is stored as such
    EXPECT_EQ(element->GetAttributes()->Count(), 2u);
    EXPECT_TRUE(element->GetAttribute(S("n")).IsNull());
    EXPECT_TRUE(element->GetAttribute(nullptr).IsNull());
}

TEST(CUXmlDomNodeTest, DumpFormat) {
    auto doc = CUXmlDomDocumentNode::Create();
    auto root = doc->CreateElementNode(S("r"));
    root->SetAttribute(S("b"), S("2"));
    root->SetAttribute(S("a"), S("1"));
    root->GetChildNodes()->AddObject(doc->CreateTextNode(S("hi")));
    doc->GetChildNodes()->AddObject(root);

    const std::string expected =
        "Name:#document\n"
        "Type:Node_Document\n"
        "Value:Invalid\n"
        "Attributes:Invalid\n"
        "ChildNodes:Num=1\n"
        "\tName:r\n"
        "\tType:Node_Element\n"
        "\tValue:Invalid\n"
        "\tAttributes:Num=2\n"
        "\t[0]Key:a\n"
        "\t[0]Attribute:1\n"
        "\t[1]Key:b\n"
        "\t[1]Attribute:2\n"
        "\tChildNodes:Num=1\n"
        "\t\tName:#text\n"
        "\t\tType:Node_Text\n"
        "\t\tValue:hi\n"
        "\t\tAttributes:Invalid\n"
        "\t\tChildNodes:Invalid\n";
    EXPECT_EQ(Str(doc->Description()), expected);

    // DumpDOMNode appends at the given depth; a null child dumps as all-invalid.
    CUStringMac out("prefix\n");
    root->GetChildNodes()->AddObject(CUSharedPtr<CUObject>());
    ASSERT_EQ(CUXmlDomNode::DumpDOMNode(root.get(), 2, out), 0u);
    const std::string dumped = out.Utf8();
    EXPECT_EQ(dumped.rfind("prefix\n\t\tName:r\n", 0), 0u);
    EXPECT_NE(dumped.find("\t\t\tName:Invalid\n\t\t\tType:Invalid\n"), std::string::npos);
}

// Nesting: a document may hold 256 elements nested inside each other; one
// more, or a tree that contains itself, is refused instead of recursing
// without bound.
TEST(CUXmlDomNodeTest, DumpRefusesTooDeepAndCyclicTrees) {
    auto ok = NestedDocument(kCUXmlMaxNestingDepth, "leaf");
    EXPECT_FALSE(ok->Description().IsNull());
    auto deep = NestedDocument(kCUXmlMaxNestingDepth + 1, "leaf");
    EXPECT_TRUE(deep->Description().IsNull());
    CUStringMac out("keep");
    EXPECT_EQ(CUXmlDomNode::DumpDOMNode(deep.get(), 0, out), 0x10001u);
    EXPECT_EQ(out.Utf8(), "keep");

    auto loop = CUXmlDomElementNode::Create(S("loop"));
    loop->GetChildNodes()->AddObject(loop);
    EXPECT_TRUE(loop->Description().IsNull());
    loop->GetChildNodes()->RemoveAllObjects();  // break the cycle so the node is freed

    EXPECT_EQ(CUXmlDomNode::DumpDOMNode(ok.get(), kCUXmlMaxNestingDepth + 1, out), 0x10001u);
}

TEST(CUXmlDomDocumentNodeTest, LoadMergesTextAndReadsDeclarationsAttributesAndNamespaces) {
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("<r>\xE9</r>")) utf16 += std::string{c, '\0'};
    const struct {
        std::string xml;
        const char* outline;
    } cases[] = {
        {"<a>a &amp; b</a>", "#document(a(#text=a & b))"},
        {"<a>&lt;&gt;&amp;&quot;&apos;&#38;&#x20AC;</a>", "#document(a(#text=<>&\"'&\xE2\x82\xAC))"},
        // Text pieces around a child element are joined at the first piece's place.
        {"<a><b/>x<c/>y</a>", "#document(a(b,#text=xy,c))"},
        // Whitespace-only text is dropped; other text keeps its blanks.
        {"<a>\n  <b> x </b>\n\t</a>\n", "#document(a(b(#text= x )))"},
        // Declaration and instructions; namespace declarations are attributes.
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<?style sheet?>"
         "<r xmlns=\"urn:a\" xmlns:p=\"urn:p\" b=\"&lt;2&gt;\" a='1' p:c=\"3\"><p:s/></r>",
         "#document(xml=version=\"1.0\" encoding=\"UTF-8\",style=sheet,"
         "r[a=1,b=<2>,p:c=3,xmlns=urn:a,xmlns:p=urn:p](p:s))"},
        // No declaration, no "xml" instruction.
        {"<r/>", "#document(r)"},
        // UTF-16 with a byte-order mark.
        {utf16, "#document(r(#text=\xC3\xA9))"},
    };
    for (const auto& c : cases) {
        auto doc = CUXmlDomDocumentNode::Create();
        ASSERT_EQ(Load(doc, c.xml), 0u) << c.xml;
        EXPECT_EQ(Outline(doc.get()), c.outline);
    }
    // The kinds of the loaded nodes.
    auto doc = CUXmlDomDocumentNode::Create();
    ASSERT_EQ(Load(doc, "<?p d?><a>t<b/></a>"), 0u);
    EXPECT_EQ(Child(doc, 0)->GetNodeType(), kCUXmlDomNode_ProcessingInstruction);
    EXPECT_EQ(Child(doc, 1)->GetNodeType(), kCUXmlDomNode_Element);
    EXPECT_EQ(Child(Child(doc, 1), 0)->GetNodeType(), kCUXmlDomNode_Text);
    // Loading appends; it replaces nothing.
    ASSERT_EQ(Load(doc, "<s/>"), 0u);
    EXPECT_EQ(Outline(doc.get()), "#document(p=d,a(#text=t,b),s)");
}

TEST(CUXmlDomDocumentNodeTest, LoadRefusesUnsupportedAndMalformedContent) {
    const char* refused[] = {
        "<a>&foo;</a>",                                          // entity other than the predefined five
        "<a><!-- note --></a>",                                  // comment
        "<!-- note --><a/>",                                     // comment outside the root
        "<a><![CDATA[x]]></a>",                                  // CDATA section
        "<!DOCTYPE a><a/>",                                      // document type
        "<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>",            // internal entity
        "<!DOCTYPE a SYSTEM \"http://127.0.0.1:9/a.dtd\"><a/>",  // external DTD
        "<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><a>&e;</a>",  // external entity
        "<a>",                                                                 // malformed
        "<a></b>",
        "",
        "<?xml version=\"1.0\"?><a/><?xml version=\"1.0\"?>",
    };
    for (const char* xml : refused) {
        auto doc = CUXmlDomDocumentNode::Create();
        ASSERT_EQ(Load(doc, "<keep/>"), 0u);
        EXPECT_EQ(Load(doc, xml), 0x10001u) << xml;
        // A refused load leaves the document as it was.
        EXPECT_EQ(doc->GetChildNodes()->Count(), 1u) << xml;
    }
    EXPECT_EQ(CUXmlDomDocumentNode::Create()->LoadXml(nullptr), 0x10001u);
}

TEST(CUXmlDomDocumentNodeTest, LoadNestingLimit) {
    auto ok = CUXmlDomDocumentNode::Create();
    EXPECT_EQ(Load(ok, Nested(kCUXmlMaxNestingDepth, "t")), 0u);
    EXPECT_FALSE(ok->Description().IsNull());
    auto deep = CUXmlDomDocumentNode::Create();
    EXPECT_EQ(Load(deep, Nested(kCUXmlMaxNestingDepth + 1)), 0x10001u);
    EXPECT_EQ(deep->GetChildNodes()->Count(), 0u);
    auto deeper = CUXmlDomDocumentNode::Create();
    EXPECT_EQ(Load(deeper, Nested(100000)), 0x10001u);
}

TEST_F(CUXmlDomDocumentNodeWriteTest, WriteEscapesAndLoadsBackTheSameDocument) {
    // A document read from a file with escapes is written back so that it
    // loads to the same tree (a bare "&" would make the file unreadable).
    const std::string source =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<Meta xmlns=\"urn:x\" note=\"q&quot;&lt;&amp;&gt;'&#10;&#9;end\">"
        "<Title>a &amp; b &lt;c&gt; ]]&gt; &quot;d&quot; &apos;e&apos;&#13;</Title>"
        "<Empty/><?keep it?><Uni>\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xA5</Uni></Meta>";
    auto first = CUXmlDomDocumentNode::Create();
    ASSERT_EQ(Load(first, source), 0u);
    auto title = Child(Child(first, 1), 0);
    ASSERT_EQ(title->GetChildNodes()->Count(), 1u);
    EXPECT_EQ(Str(Child(title, 0)->GetNodeValue()), "a & b <c> ]]> \"d\" 'e'\r");

    std::string bytes;
    ASSERT_EQ(Write(first, bytes), 0u);
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << bytes;
    EXPECT_NE(bytes.find("a &amp; b &lt;c&gt;"), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("a & b"), std::string::npos) << bytes;

    auto second = CUXmlDomDocumentNode::Create();
    ASSERT_EQ(Load(second, bytes), 0u) << bytes;
    EXPECT_EQ(Outline(second.get()), Outline(first.get()));
}

TEST_F(CUXmlDomDocumentNodeWriteTest, WriteModelBuiltInMemory) {
    auto doc = CUXmlDomDocumentNode::Create();
    doc->GetChildNodes()->AddObject(
        doc->CreateProcessingInstructionNode(S("xml"), S("version=\"1.0\" encoding=\"UTF-8\"")));
    auto root = doc->CreateElementNode(S("root"));
    root->SetAttribute(S("b"), S("x\"y&z<"));
    root->SetAttribute(S("a"), S("1"));
    doc->GetChildNodes()->AddObject(root);
    auto title = doc->CreateElementNode(S("t"));
    title->GetChildNodes()->AddObject(doc->CreateTextNode(S("x ")));
    title->GetChildNodes()->AddObject(doc->CreateEntityReferenceNodeNode(S("amp")));
    title->GetChildNodes()->AddObject(doc->CreateTextNode(S(" <y>")));
    root->GetChildNodes()->AddObject(title);

    std::string bytes;
    ASSERT_EQ(Write(doc, bytes), 0u);
    // Attributes are written in key order: "a" before "b".
    const size_t a = bytes.find(" a=\"1\"");
    const size_t b = bytes.find(" b=\"x&quot;y&amp;z&lt;\"");
    ASSERT_NE(a, std::string::npos) << bytes;
    ASSERT_NE(b, std::string::npos) << bytes;
    EXPECT_LT(a, b);
    EXPECT_NE(bytes.find("x &amp; &lt;y&gt;"), std::string::npos) << bytes;

    auto back = CUXmlDomDocumentNode::Create();
    ASSERT_EQ(Load(back, bytes), 0u);
    EXPECT_EQ(Outline(back.get()),
              "#document(xml=version=\"1.0\" encoding=\"UTF-8\",root[a=1,b=x\"y&z<](t(#text=x & <y>)))");

    // Without an "xml" instruction no declaration is written.
    doc->GetChildNodes()->RemoveObjectAtIndex(0);
    ASSERT_EQ(Write(doc, bytes), 0u);
    EXPECT_EQ(bytes.rfind("<root", 0), 0u) << bytes;
}

TEST_F(CUXmlDomDocumentNodeWriteTest, WriteRefusesTreesThatWouldNotLoadBack) {
    std::string bytes;
    auto make = [] {
        auto doc = CUXmlDomDocumentNode::Create();
        auto root = CUXmlDomElementNode::Create(S("r"));
        doc->GetChildNodes()->AddObject(root);
        return std::make_pair(doc, root);
    };
    {
        auto [doc, root] = make();
        EXPECT_EQ(Write(doc, bytes), 0u);
        EXPECT_EQ(doc->WriteXml(nullptr), 0x10001u);
        // A stream that cannot write.
        EXPECT_EQ(doc->WriteXml(Memory("x")), 0x10005u);
    }
    using D = CUSharedPtr<CUXmlDomDocumentNode>;
    using E = CUSharedPtr<CUXmlDomElementNode>;
    auto add = [](const E& r, CUSharedPtr<CUObject> child) { r->GetChildNodes()->AddObject(child); };
    const CUSharedPtr<CUStringMac> lone(new CUStringMac(std::u16string(1, u'\xD800')));
    const std::pair<const char*, std::function<void(D, E)>> changes[] = {
        {"no root", [](D d, E) { d->GetChildNodes()->RemoveAllObjects(); }},
        {"two roots", [](D d, E) { d->GetChildNodes()->AddObject(CUXmlDomElementNode::Create(S("s"))); }},
        {"text outside", [](D d, E) { d->GetChildNodes()->AddObject(CUXmlDomTextNode::Create(S("t"))); }},
        {"invalid name", [](D, E r) { r->SetNodeName(S("a b")); }},
        {"null name", [](D, E r) { r->SetNodeName(nullptr); }},
        {"invalid attribute name", [](D, E r) { r->SetAttribute(S("1a"), S("v")); }},
        {"control char", [&](D, E r) { add(r, CUXmlDomTextNode::Create(S("bell\a"))); }},
        {"lone surrogate", [&](D, E r) { add(r, CUXmlDomTextNode::Create(lone)); }},
        {"entity", [&](D, E r) { add(r, CUXmlDomEntityReferenceNode::Create(S("nbsp"))); }},
        {"PI end", [&](D, E r) { add(r, CUXmlDomProcessingInstructionNode::Create(S("p"), S("a?>b"))); }},
        {"nested xml PI",
         [&](D, E r) { add(r, CUXmlDomProcessingInstructionNode::Create(S("xml"), S("v"))); }},
        {"document inside", [&](D, E r) { add(r, CUXmlDomDocumentNode::Create()); }},
        {"null child", [&](D, E r) { add(r, CUSharedPtr<CUObject>()); }},
        {"non-string attribute",
         [](D, E r) { r->GetAttributes()->SetObjectForKey(CUXmlDomTextNode::Create(S("x")), S("a")); }},
    };
    for (const auto& [what, change] : changes) {
        auto [doc, root] = make();
        change(doc, root);
        EXPECT_EQ(Write(doc, bytes), 0x10005u) << what;
    }
}

TEST_F(CUXmlDomDocumentNodeWriteTest, WriteNestingLimit) {
    std::string bytes;
    auto ok = NestedDocument(kCUXmlMaxNestingDepth);
    ASSERT_EQ(Write(ok, bytes), 0u);
    auto back = CUXmlDomDocumentNode::Create();
    EXPECT_EQ(Load(back, bytes), 0u);
    EXPECT_EQ(Write(NestedDocument(kCUXmlMaxNestingDepth + 1), bytes), 0x10005u);

    auto cyclic = CUXmlDomDocumentNode::Create();
    auto loop = CUXmlDomElementNode::Create(S("loop"));
    loop->GetChildNodes()->AddObject(loop);
    cyclic->GetChildNodes()->AddObject(loop);
    EXPECT_EQ(Write(cyclic, bytes), 0x10005u);
    loop->GetChildNodes()->RemoveAllObjects();
}

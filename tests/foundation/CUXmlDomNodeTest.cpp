// Node kinds, setters that refuse, and the dump format.
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

#include <string>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

CUSharedPtr<CUStringMac> S(const char* text) {
    return CUStringMac::Create(text);
}

std::string Str(const CUSharedPtr<CUStringMac>& s) {
    return s ? s->Utf8() : std::string("<null>");
}

}  // namespace

TEST(CUXmlDomNodeTest, KindsAndRefusingSetters) {
    auto doc = CUXmlDomDocumentNode::Create();
    EXPECT_EQ(doc->GetNodeType(), kCUXmlDomNode_Document);
    EXPECT_EQ(Str(doc->GetNodeName()), "#document");
    EXPECT_TRUE(doc->GetNodeValue().IsNull());
    EXPECT_FALSE(doc->GetChildNodes().IsNull());
    EXPECT_TRUE(doc->GetAttributes().IsNull());
    EXPECT_EQ(doc->SetNodeName(S("x")), 0x10001u);
    EXPECT_EQ(doc->SetNodeValue(S("x")), 0x10001u);
    EXPECT_EQ(doc->SetAttribute(S("a"), S("1")), 0x10001u);
    EXPECT_EQ(Str(doc->GetNodeName()), "#document");
    EXPECT_TRUE(doc->GetNodeValue().IsNull());

    auto element = doc->CreateElementNode(S("Clip"));
    EXPECT_EQ(element->GetNodeType(), kCUXmlDomNode_Element);
    EXPECT_EQ(Str(element->GetNodeName()), "Clip");
    EXPECT_EQ(element->SetNodeValue(S("v")), 0x10001u);
    EXPECT_TRUE(element->GetNodeValue().IsNull());
    EXPECT_EQ(element->SetNodeName(S("Other")), 0u);
    EXPECT_EQ(Str(element->GetNodeName()), "Other");
    EXPECT_EQ(element->SetAttribute(nullptr, S("1")), 0x10001u);
    EXPECT_EQ(element->SetAttribute(CUSharedPtr<CUStringMac>(new CUStringMac(CUStringMac::Null())), S("1")),
              0x10001u);
    EXPECT_EQ(element->SetAttribute(S("a"), S("1")), 0u);
    EXPECT_EQ(element->SetAttribute(S("a"), S("2")), 0u);  // replaces
    EXPECT_EQ(Str(element->GetAttribute(S("a"))), "2");
    EXPECT_EQ(element->SetAttribute(S("n"), nullptr), 0u);  // a null value is stored as such
    EXPECT_EQ(element->GetAttributes()->Count(), 2u);
    EXPECT_TRUE(element->GetAttribute(S("n")).IsNull());
    EXPECT_TRUE(element->GetAttribute(S("missing")).IsNull());
    EXPECT_TRUE(element->GetAttribute(nullptr).IsNull());

    auto text = doc->CreateTextNode(S("a & b"));
    EXPECT_EQ(text->GetNodeType(), kCUXmlDomNode_Text);
    EXPECT_EQ(Str(text->GetNodeName()), "#text");
    EXPECT_EQ(Str(text->GetNodeValue()), "a & b");
    EXPECT_EQ(text->SetNodeName(S("x")), 0x10001u);
    EXPECT_EQ(text->SetAttribute(S("a"), S("1")), 0x10001u);
    EXPECT_TRUE(text->GetAttribute(S("a")).IsNull());
    EXPECT_TRUE(text->GetChildNodes().IsNull());
    EXPECT_EQ(text->SetNodeValue(S("new")), 0u);
    EXPECT_EQ(Str(text->GetNodeValue()), "new");

    auto entity = doc->CreateEntityReferenceNodeNode(S("amp"));
    EXPECT_EQ(entity->GetNodeType(), kCUXmlDomNode_EntityReference);
    EXPECT_EQ(Str(entity->GetNodeName()), "amp");
    EXPECT_EQ(entity->SetNodeValue(S("&")), 0x10001u);
    EXPECT_EQ(entity->SetAttribute(S("a"), S("1")), 0x10001u);
    EXPECT_EQ(entity->SetNodeName(S("lt")), 0u);
    EXPECT_TRUE(entity->GetChildNodes().IsNull());

    auto pi = doc->CreateProcessingInstructionNode(S("target"), S("data"));
    EXPECT_EQ(pi->GetNodeType(), kCUXmlDomNode_ProcessingInstruction);
    EXPECT_EQ(Str(pi->GetNodeName()), "target");
    EXPECT_EQ(Str(pi->GetNodeValue()), "data");
    EXPECT_EQ(pi->SetAttribute(S("a"), S("1")), 0x10001u);
    EXPECT_EQ(pi->SetNodeName(S("t2")), 0u);
    EXPECT_EQ(pi->SetNodeValue(S("d2")), 0u);
    EXPECT_EQ(Str(pi->GetNodeValue()), "d2");

    // Factory nodes are not attached anywhere.
    EXPECT_EQ(doc->GetChildNodes()->Count(), 0u);
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
    EXPECT_NE(dumped.find("\t\tChildNodes:Num=2\n"), std::string::npos);
    EXPECT_NE(dumped.find("\t\t\tName:Invalid\n\t\t\tType:Invalid\n\t\t\tValue:Invalid\n"
                          "\t\t\tAttributes:Invalid\n\t\t\tChildNodes:Invalid\n"),
              std::string::npos);

    EXPECT_EQ(Str(CUXmlDomNode::IndentString(3)), "\t\t\t");
    EXPECT_EQ(Str(CUXmlDomNode::IndentString(-1)), "");
}

// Nesting: a document may hold 256 elements nested inside each other; one
// more, or a tree that contains itself, is refused instead of recursing
// without bound.
TEST(CUXmlDomNodeTest, DumpRefusesTooDeepAndCyclicTrees) {
    auto build = [](int levels) {
        auto doc = CUXmlDomDocumentNode::Create();
        CUSharedPtr<CUMutableArray> parent = doc->GetChildNodes();
        for (int i = 0; i < levels; ++i) {
            auto e = CUXmlDomElementNode::Create(S("e"));
            parent->AddObject(e);
            parent = e->GetChildNodes();
        }
        parent->AddObject(CUXmlDomTextNode::Create(S("leaf")));
        return doc;
    };
    auto ok = build(kCUXmlMaxNestingDepth);
    EXPECT_FALSE(ok->Description().IsNull());
    auto deep = build(kCUXmlMaxNestingDepth + 1);
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

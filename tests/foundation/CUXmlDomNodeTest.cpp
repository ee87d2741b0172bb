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

#include "FoundationTestSupport.h"

#include <string>

using namespace ComVantoVantoQZ64RADPlug;
using namespace foundation_test;

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

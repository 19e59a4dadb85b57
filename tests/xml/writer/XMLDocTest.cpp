#include "xml/writer/XMLDoc.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

std::shared_ptr<TXMLDocument> activeDocument()
{
    auto document = TXMLDocument::Create();
    document->SetActive(true);
    return document;
}

TEST(XMLDeclaration, ItemsAreRebuiltInOrderWhateverOrderTheyAreSet)
{
    auto versionFirst = activeDocument();
    versionFirst->SetVersion("1.0");
    versionFirst->SetEncoding("UTF-8");
    auto encodingFirst = activeDocument();
    encodingFirst->SetEncoding("UTF-8");
    for (auto& document : {versionFirst, encodingFirst}) {
        ASSERT_EQ(document->Node()->ChildCount(), 1u);
        TDOMNode* declaration = document->Node()->ChildNode(0)->DOMNode();
        EXPECT_EQ(declaration->nodeName(), "xml");
        EXPECT_EQ(declaration->nodeValue(), "version=\"1.0\" encoding=\"UTF-8\"");
    }
    auto standalone = activeDocument();
    standalone->SetStandAlone("yes");
    EXPECT_EQ(standalone->Node()->ChildNode(0)->DOMNode()->nodeValue(), "version=\"1.0\" standalone=\"yes\"");
    EXPECT_EQ(standalone->Encoding(), "");
}

TEST(XMLDeclaration, StaysTheFirstChildWhenSetAgainAfterElements)
{
    auto document = activeDocument();
    document->SetVersion("1.0");
    document->AppendChildElement("ROOT");
    document->SetEncoding("UTF-8");
    ASSERT_EQ(document->Node()->ChildCount(), 2u);
    EXPECT_EQ(document->Node()->ChildNode(0)->NodeName(), "xml");
    EXPECT_EQ(document->Node()->ChildNode(1)->NodeName(), "ROOT");
    EXPECT_EQ(document->SaveToXML(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ROOT/>");
}

TEST(XMLDeclaration, OnlyXml10InUtf8IsWritten)
{
    auto document = activeDocument();
    document->AppendChildElement("R");
    EXPECT_EQ(document->SaveToXML(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<R/>");
    document->SetEncoding("utf-8");
    EXPECT_NO_THROW(document->SaveToXML());
    document->SetEncoding("ISO-8859-1");
    EXPECT_THROW(document->SaveToXML(), EXMLDocError);
    document->SetEncoding("UTF-8");
    document->SetVersion("1.1");
    EXPECT_THROW(document->SaveToXML(), EXMLDocError);
    document->SetVersion("1.0");
    document->SetStandAlone("maybe");
    EXPECT_THROW(document->SaveToXML(), EXMLDocError);
}

TEST(XMLDocument, RefusesWorkWhileInactive)
{
    auto document = TXMLDocument::Create();
    TStringStream out;
    try {
        document->WriteToStream(out);
        FAIL();
    } catch (const EXMLDocError& e) {
        EXPECT_EQ(e.Message(), "No active document");
    }
    EXPECT_THROW(document->AppendChildElement("R"), EXMLDocError);
    EXPECT_THROW(document->SetVersion("1.0"), EXMLDocError);
    try {
        TXMLNode node(nullptr, document.get());
        FAIL();
    } catch (const EXMLDocError& e) {
        EXPECT_EQ(e.Message(), "IDOMNode required");
    }
}

TEST(XMLDocument, ActivatingTwiceKeepsTheDomAndEventsFireAroundChanges)
{
    auto document = TXMLDocument::Create();
    int opens = 0, before = 0, after = 0;
    document->AfterOpen = [&](TXMLDocument&) { ++opens; };
    document->BeforeNodeChange = [&](TXMLNode&) { ++before; };
    document->AfterNodeChange = [&](TXMLNode&) { ++after; };
    document->SetActive(true);
    IXMLNode root = document->AppendChildElement("R");
    document->SetActive(true);
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(document->DocumentElement(), root);
    EXPECT_FALSE(document->Modified() && before == 0);
    root->SetAttribute("a", std::string("1"));
    EXPECT_EQ(before, 2);
    EXPECT_EQ(after, 2);
    EXPECT_TRUE(document->Modified());
}

TEST(XMLDocument, NodeHandlesKeepTheDocumentAlive)
{
    std::weak_ptr<TXMLDocument> weak;
    IXMLNode child;
    {
        auto document = activeDocument();
        weak = document;
        child = document->AppendChildElement("R")->AppendChildElement("C");
    }
    ASSERT_FALSE(weak.expired());
    EXPECT_EQ(child->ParentNode()->NodeName(), "R");
    child.reset();
    EXPECT_TRUE(weak.expired());
}

TEST(XMLNode, AttributesAreReplacedInPlaceAndRemovedByNull)
{
    auto document = activeDocument();
    IXMLNode root = document->AppendChildElement("R");
    root->SetAttribute("a", std::string("1"));
    root->SetAttribute("b", std::string("2"));
    root->SetAttribute("a", std::string("3"));
    ASSERT_EQ(root->AttributeNodes().size(), 2u);
    EXPECT_EQ(root->AttributeNodes()[0].name, "a");
    EXPECT_EQ(*root->Attribute("a"), "3");
    root->SetAttribute("a", std::nullopt);
    EXPECT_FALSE(root->Attribute("a").has_value());
    root->SetAttribute("never-set", std::nullopt);
    EXPECT_EQ(document->SaveToXML(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<R b=\"2\"/>");
}

TEST(XMLNode, ChildrenKeepTheirOrderWithoutWhitespaceAndCanBeInsertedBefore)
{
    auto document = activeDocument();
    IXMLNode root = document->AppendChildElement("R");
    root->AppendChildElement("A");
    root->AppendChildElement("C")->AppendChildElement("D");
    root->AppendChildElement("B", 1);
    EXPECT_EQ(document->SaveToXML(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<R><A/><B/><C><D/></C></R>");
}

TEST(XMLNode, PrefixAndNamespaceFollowTheParent)
{
    auto document = activeDocument();
    IXMLNode root = document->AppendChildElement("R");
    root->SetAttribute("xmlns:p", std::string("urn:p"));
    IXMLNode prefixed = root->AppendChildElement("p:x");
    EXPECT_EQ(prefixed->NamespaceURI(), "urn:p");
    IXMLNode inherited = prefixed->AppendChildElement("y");
    EXPECT_EQ(inherited->NodeName(), "p:y");
    EXPECT_EQ(inherited->NamespaceURI(), "urn:p");
    IXMLNode undeclared = root->AppendChildElement("q:z");
    EXPECT_EQ(undeclared->NamespaceURI(), "");
    EXPECT_EQ(document->SaveToXML(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<R xmlns:p=\"urn:p\"><p:x><p:y/></p:x><q:z/></R>");
}

TEST(XMLSerialisation, AttributeValuesSurviveAReadersNormalisation)
{
    auto document = activeDocument();
    IXMLNode root = document->AppendChildElement("R");
    root->SetAttribute("v", std::string("a&b<c>d\"e'f\tg\nh\ri \xC3\xA7 \xF0\x9F\x98\x80"));
    EXPECT_EQ(document->SaveToXML(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<R v=\"a&amp;b&lt;c&gt;d&quot;e'f&#9;g&#10;h&#13;i \xC3\xA7 \xF0\x9F\x98\x80\"/>");
}

TEST(XMLSerialisation, RefusesTextThatWouldMakeAMalformedFile)
{
    auto document = activeDocument();
    IXMLNode root = document->AppendChildElement("R");
    const std::string badValues[] = {
        std::string("\x01", 1), std::string("a\0b", 3), "\xC3",         "\xC0\xAF",
        "\xED\xA0\x80",         "\xF4\x90\x80\x80",     "\xEF\xBF\xBE", "\xFF",
    };
    for (const auto& value : badValues)
        EXPECT_THROW(root->SetAttribute("v", value), DOMException) << testing::PrintToString(value);
    const std::string badNames[] = {"", "1a", "a b", "a<b", "-x", "\xC3"};
    for (const auto& name : badNames) {
        EXPECT_THROW(root->AppendChildElement(name), DOMException) << name;
        EXPECT_THROW(root->SetAttribute(name, std::string("1")), DOMException) << name;
    }
    EXPECT_THROW(document->SetEncoding("?>"), DOMException);
    EXPECT_EQ(document->SaveToXML(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<R/>");
}

TEST(XMLSerialisation, WritesAtTheStreamsPositionWithoutTruncating)
{
    auto document = activeDocument();
    document->AppendChildElement("R");
    const std::string before = "HEADER" + std::string(100, '.');
    TStringStream out(before);
    out.SetPosition(6);
    document->WriteToStream(out);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<R/>";
    EXPECT_EQ(out.Position(), static_cast<int64_t>(6 + xml.size()));
    EXPECT_EQ(out.DataString().substr(0, 6 + xml.size()), "HEADER" + xml);
    EXPECT_EQ(out.DataString().size(), before.size());
    EXPECT_EQ(out.DataString().substr(6 + xml.size()), before.substr(6 + xml.size()));
}

}  // namespace
}  // namespace velmora

// The object model: loading, reference counting and navigation over the tree.
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace velmora {
namespace {

using test::ScratchDir;

class ObjModel : public ::testing::Test {
protected:
    TXpNode* Load(const std::string& doc)
    {
        if (!model.LoadDocumentFile(dir.Write("doc.xml", doc)))
            ADD_FAILURE() << test::ErrorMessage(model);
        return model.documentElement();
    }
    ScratchDir dir;
    TXpObjModel model;
};

std::vector<std::u16string> names(const TXpNodeList& list)
{
    std::vector<std::u16string> out;
    for (int i = 0; i < list.length(); ++i)
        out.push_back(list.item(i)->nodeName() + u"=" + list.item(i)->getAttribute(u"n"));
    return out;
}

TEST_F(ObjModel, FindFirstElementSearchesBelowTheNodeOnly)
{
    TXpNode* root = Load("<MENUS><x><MENUS n='deep'/></x><MENUS n='second'/></MENUS>");
    EXPECT_EQ(root->FindFirstElement(u"MENUS")->getAttribute(u"n"), u"deep");
    TXpNode* onlyRoot = Load("<MENUS/>");
    EXPECT_EQ(onlyRoot->FindFirstElement(u"MENUS"), nullptr);
    EXPECT_EQ(Load("<MENUS><menus/></MENUS>")->FindFirstElement(u"menus")->nodeName(), u"menus");
    model.SetIgnoreCase(true);
    EXPECT_EQ(Load("<r><MENUS/></r>")->FindFirstElement(u"menus")->nodeName(), u"MENUS");
}

TEST_F(ObjModel, ElementsByTagNameMatchLocalNamesInDocumentOrder)
{
    TXpNode* root = Load("<M><MENU n='1'><MENU n='2'/></MENU><p:MENU n='3' xmlns:p='urn:p'/><MENU n='4'/><menu/></M>");
    auto list = root->getElementsByTagName(u"MENU");
    EXPECT_EQ(names(*list), (std::vector<std::u16string>{u"MENU=1", u"MENU=2", u"p:MENU=3", u"MENU=4"}));
    auto ns = root->getElementsByTagNameNS(u"urn:p", u"MENU");
    EXPECT_EQ(names(*ns), (std::vector<std::u16string>{u"p:MENU=3"}));
    auto prefixed = root->getElementsByTagName(u"p:*");
    EXPECT_EQ(names(*prefixed), (std::vector<std::u16string>{u"p:MENU=3"}));
    EXPECT_EQ(list->item(-1), nullptr);
    EXPECT_EQ(list->item(list->length()), nullptr);
}

TEST_F(ObjModel, AttributeMapsAnswerByNameInOrder)
{
    TXpNode* root = Load("<r b='2' a='1'/>");
    TXpNamedNodeMap* attributes = root->attributes();
    EXPECT_EQ(attributes->getNamedItem(u"*")->nodeName(), u"b");
    EXPECT_EQ(attributes->getNamedItem(u"a")->nodeValue(), u"1");
    EXPECT_EQ(attributes->getNamedItem(u"A"), nullptr);
    EXPECT_EQ(attributes->item(-1), nullptr);
    EXPECT_EQ(attributes->item(2), nullptr);

    auto replacement = model.Document()->createAttribute(u"b");
    replacement->setNodeValue(u"new");
    TXpRef<TXpNode> old = root->setAttributeNode(replacement.get());
    ASSERT_TRUE(old);
    EXPECT_EQ(old->nodeValue(), u"2");
    EXPECT_EQ(attributes->length(), 2);
    EXPECT_EQ(attributes->item(1)->nodeValue(), u"new");
    TXpRef<TXpNode> removed = attributes->removeNamedItem(u"a");
    EXPECT_EQ(removed->nodeValue(), u"1");
    EXPECT_EQ(attributes->length(), 1);
    EXPECT_FALSE(Load("<r/>")->hasAttributes());
}

TEST_F(ObjModel, NamespacesResolveUpwards)
{
    TXpNode* root = Load("<r xmlns='urn:d' xmlns:p='urn:p'><p:a x='1'/><b/></r>");
    TXpNode* a = root->firstChild();
    EXPECT_EQ(a->namespaceURI(), u"urn:p");
    EXPECT_EQ(a->prefix(), u"p");
    EXPECT_EQ(a->localName(), u"a");
    EXPECT_EQ(a->attributes()->item(0)->namespaceURI(), u"urn:d");
    EXPECT_EQ(a->nextSibling()->namespaceURI(), u"urn:d");
    EXPECT_EQ(a->nextSibling()->previousSibling(), a);
    EXPECT_EQ(a->nextSibling()->nextSibling(), nullptr);
}

TEST_F(ObjModel, TextPathsTypesAndClones)
{
    TXpNode* root = Load("<r>a<x>b<![CDATA[c]]></x><!-- no --><y/><y>d</y></r>");
    EXPECT_EQ(root->Text(), u"abcd");
    TXpNode* secondY = root->childNodes().item(4);
    EXPECT_EQ(secondY->NodePath(), u"/r[1]/y[5]");
    EXPECT_EQ(model.Document()->NodePath(), u"/");
    EXPECT_EQ(root->childNodes().item(2)->TypeName(), u"COMMENT_NODE");
    auto texts = root->NodesByType(TEXT_NODE, u"");
    EXPECT_EQ(texts->length(), 3);
    TXpRef<TXpNode> deep = root->cloneNode(true);
    EXPECT_EQ(deep->Text(), u"abcd");
    EXPECT_EQ(deep->parentNode(), nullptr);
    EXPECT_EQ(root->cloneNode(false)->childNodes().length(), 0);
}

TEST_F(ObjModel, LoadsReplaceTheTreeAndFailuresEmptyIt)
{
    TXpRef<TXpNode> kept(TXpRef<TXpNode>::Adopt(Load("<first><child/></first>")));
    kept->AddRef();  // the reference the Adopt above took over
    Load("<second/>");
    EXPECT_EQ(kept->nodeName(), u"first");
    EXPECT_EQ(kept->firstChild()->nodeName(), u"child");
    EXPECT_EQ(model.documentElement()->nodeName(), u"second");
    EXPECT_FALSE(model.LoadDocumentFile(dir.Write("bad.xml", "<r><open></r>")));
    EXPECT_EQ(model.documentElement(), nullptr);
    EXPECT_FALSE(model.Document()->hasChildNodes());
    EXPECT_EQ(model.Errors().size(), 1u);
    Load("<again/>");
    EXPECT_TRUE(model.Errors().empty());
}

TEST_F(ObjModel, RaiseErrorsPassesTheFailureOn)
{
    model.RaiseErrors = true;
    EXPECT_THROW(model.LoadDocumentFile(dir.Write("bad.xml", "<r>")), EXpParserError);
    EXPECT_EQ(model.Errors().size(), 1u);
    EXPECT_THROW(model.LoadDocumentFile(dir.Path() + "/absent.xml"), EXpParserError);
}

TEST_F(ObjModel, TreeOperationsRaiseTheirCodes)
{
    TXpDocument* doc = model.Document();
    auto code = [](auto action) {
        try {
            action();
        } catch (const TXpDOMException& e) {
            return static_cast<int>(e.Code());
        }
        return 0;
    };
    EXPECT_EQ(code([&] { doc->createElement(u""); }), 5);
    EXPECT_EQ(code([&] { doc->createElement(u"1a"); }), 5);
    EXPECT_EQ(code([&] { doc->createAttribute(u"a b"); }), 5);
    EXPECT_EQ(code([&] { doc->createProcessingInstruction(u"", u"x"); }), 5);
    EXPECT_EQ(code([&] { doc->createDTDEntity(u""); }), 5);
    EXPECT_EQ(code([&] { doc->createDTDElement(u"e", 5); }), 11);
    auto text = doc->createTextNode(u"t");
    auto element = doc->createElement(u"e");
    EXPECT_EQ(code([&] { text->appendChild(element.get()); }), 3);
    EXPECT_EQ(code([&] { element->appendChild(nullptr); }), 11);
    TXpObjModel other;
    auto foreign = other.Document()->createElement(u"f");
    EXPECT_EQ(code([&] { element->appendChild(foreign.get()); }), 4);
}

TEST_F(ObjModel, TracksNamesAndStyleSheetsWhenAsked)
{
    model.TrackAttributes = true;
    model.TrackElements = true;
    Load("<?xml-stylesheet href='s.xsl'?><r b='1' a='2'><s a='3'/></r>");
    EXPECT_EQ(model.TrackedAttributes(), (std::set<std::string>{"a", "b"}));
    EXPECT_EQ(model.TrackedElements(), (std::set<std::string>{"r", "s"}));
    EXPECT_EQ(model.StyleSheets().length(), 1);
}

TEST_F(ObjModel, DeepTreesAreFreedWithoutRecursion)
{
    std::string doc;
    for (int i = 0; i < 50000; ++i)
        doc += "<a>";
    for (int i = 0; i < 50000; ++i)
        doc += "</a>";
    TXpNode* root = Load(doc);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->getElementsByTagName(u"a")->length(), 49999);
    TXpRef<TXpNode> copy = root->cloneNode(true);
    EXPECT_EQ(copy->getElementsByTagName(u"a")->length(), 49999);
    Load("<small/>");
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

TEST(ObjModelMemory, LoadsFromMemoryAndCanLeaveExternalsUnread)
{
    test::ScratchDir dir;
    dir.Write("x.dtd", "<!ATTLIST r a CDATA 'from-file'>");
    TXpObjModel model;
    std::string doc = "<!DOCTYPE r SYSTEM 'x.dtd'><r/>";
    ASSERT_TRUE(model.LoadMemory(doc, dir.Path() + "/doc.xml"));
    EXPECT_EQ(test::Canonical(model), "<r a=\"from-file\"></r>");
    model.SetReadExternals(false);
    ASSERT_TRUE(model.LoadMemory(doc, dir.Path() + "/doc.xml"));
    EXPECT_EQ(test::Canonical(model), "<r></r>");
}

// Found by fuzzing: a namespace prefix that is not a name made the load fail without a reason.
TEST(ObjModelMemory, OddNamespacePrefixesStillLoad)
{
    TXpObjModel model;
    ASSERT_TRUE(model.LoadMemory("<r xmlns:1='urn:one'/>", "/nonexistent/doc.xml"));
    EXPECT_EQ(model.documentElement()->namespaces()->getNamedItem(u"1")->nodeValue(), u"urn:one");
}

}  // namespace
}  // namespace velmora

// Document type declarations: subsets, declarations, defaults, types and their rules.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "xml/reader/XpParser.h"

namespace velmora {
namespace {

using test::ScratchDir;

struct Result {
    bool ok;
    std::string canonical;
    std::string error;
};

Result parse(const ScratchDir& dir, const std::string& doc, bool normalize = true)
{
    TXpObjModel model;
    model.NormalizeData = normalize;
    bool ok = model.LoadDocumentFile(dir.Write("doc.xml", doc));
    return {ok, test::Canonical(model), test::ErrorMessage(model)};
}

Result parse(const std::string& doc, bool normalize = true)
{
    ScratchDir dir;
    return parse(dir, doc, normalize);
}

TEST(DTD, DefaultsAndTypesSteerAttributes)
{
    struct Row {
        const char* doc;
        const char* canonical;
    } rows[] = {
        // A default comes after the given attributes.
        {"<!DOCTYPE r [<!ATTLIST r z CDATA \"dz\" a CDATA #IMPLIED m CDATA #REQUIRED>]><r b=\"1\"/>",
         "<r b=\"1\" z=\"dz\"></r>"},
        {"<!DOCTYPE r [<!ATTLIST r t NMTOKENS #IMPLIED>]><r t=\"p\tq\nr\"/>", "<r t=\"p q r\"></r>"},
        {"<!DOCTYPE r [<!ATTLIST r t CDATA #IMPLIED>]><r t=\" p  q \"/>", "<r t=\" p  q \"></r>"},
        {"<!DOCTYPE r [<!ATTLIST r t (a|b) \"  a \">]><r/>", "<r t=\"a\"></r>"},
        {"<!DOCTYPE r [<!ATTLIST r f CDATA #FIXED \"x &amp; y\">]><r><r/></r>",
         "<r f=\"x &amp; y\"><r f=\"x &amp; y\"></r></r>"},
        // Element and attribute names of the DTD ignore letter case.
        {"<!DOCTYPE MENU [<!ATTLIST Menu Cor CDATA \"1\">]><MENU/>", "<MENU Cor=\"1\"></MENU>"},
        {"<!DOCTYPE r [<!ATTLIST r a CDATA \"1\"><!ATTLIST r a CDATA \"2\">]><r/>", "<r a=\"2\"></r>"},
        {"<!DOCTYPE r [<!ENTITY e \"first\"><!ENTITY e \"second\">]><r>&e;</r>", "<r>first</r>"},
        {"<!DOCTYPE r [<!ELEMENT r (a,b)*><!ELEMENT a EMPTY>]><r>\n <a/> <b/>\n</r>", "<r><a></a><b></b></r>"},
        {"<!DOCTYPE r [<!ENTITY % p \"<!ENTITY e 'from pe'>\"> %p; ]><r>&e;</r>", "<r>from pe</r>"},
        {"<!DOCTYPE r [<!NOTATION gif SYSTEM \"image/gif\"><!NOTATION png PUBLIC \"-//png\">"
         "<!NOTATION jpg PUBLIC \"-//jpg\" \"j.exe\">]><r/>",
         "<!DOCTYPE r [\n<!NOTATION gif SYSTEM 'image/gif'>\n<!NOTATION jpg PUBLIC '-//jpg' 'j.exe'>\n"
         "<!NOTATION png PUBLIC '-//png'>\n]>\n<r></r>"},
    };
    for (const auto& row : rows) {
        Result result = parse(row.doc);
        EXPECT_TRUE(result.ok) << row.doc << ": " << result.error;
        EXPECT_EQ(result.canonical, row.canonical) << row.doc;
    }
}

TEST(DTD, ElementContentDropsWhitespaceEvenWithoutNormalising)
{
    Result result = parse("<!DOCTYPE r [<!ELEMENT r (a)*>]><r>\n <a> x </a>\n</r>", false);
    EXPECT_EQ(result.canonical, "<r><a> x </a></r>");
    Result empty = parse("<!DOCTYPE r [<!ELEMENT r EMPTY>]><r>text</r>");
    EXPECT_EQ(empty.error, SExpectedElement);
}

TEST(DTD, DefaultsAreReportedAsNotSpecified)
{
    ScratchDir dir;
    TXpObjModel model;
    ASSERT_TRUE(model.LoadDocumentFile(dir.Write("d.xml", "<!DOCTYPE r [<!ATTLIST r d CDATA 'v'>]><r g='1'/>")));
    TXpNamedNodeMap* attributes = model.documentElement()->attributes();
    ASSERT_EQ(attributes->length(), 2);
    EXPECT_TRUE(attributes->item(0)->Specified());
    EXPECT_FALSE(attributes->item(1)->Specified());
}

TEST(DTD, DeclarationErrorsHaveTheirMessages)
{
    struct Row {
        const char* doc;
        std::string message;
    } rows[] = {
        {"<!DOCTYPE r PUBLIC \"a{b\" \"x\"><r/>", std::string(SInvalidPublicIdChar) + "'{'"},
        {"<!DOCTYPE r [<!FOO>]><r/>", std::string(SExpectedMarkupDecl) + "<!FOO>]><r/>"},
        {"<!DOCTYPE r [<![INCLUDE[]]>]><r/>", SConditionalInInternal},
        {"<!DOCTYPE r [<!ELEMENT r (a;b)>]><r/>", std::string(SBadSeparator) + ";"},
        {"<!DOCTYPE r [<!ELEMENT r (a,b|c)>]><r/>", std::string(SBadSeparator) + "|"},
        {"<!DOCTYPE r [<!ATTLIST r a STRING #IMPLIED>]><r/>", std::string(SIllegalAttrType) + "(STRING) in element r"},
        {"<!DOCTYPE r [<!ATTLIST r a CDATA #DEFAULT>]><r/>", std::string(SIllegalDefaultKeyword) + "DEFAULT"},
        {"<!DOCTYPE r [<!ENTITY e \"50%\">]><r/>", std::string(SInvalidEntityValueChar) + "'%'"},
        {"<!DOCTYPE r [<!ENTITY e >]><r/>", std::string(SSystemIdMissing) + "'e'"},
        {"<!DOCTYPE r [<!ENTITY % e SYSTEM \"x\" NDATA gif>]><r/>", SNDataInPE},
        {"<!DOCTYPE r [<!NOTATION n >]><r/>", std::string(SExternalModifierMissing) + "n"},
        {"<!DOCTYPE r [%undeclared;]><r/>", std::string(SUndeclaredEntity) + "undeclared"},
        {"<!DOCTYPE r [<!ENTITY % p \"a\"><!ELEMENT r (%p;)>]><r/>", SPEInInternalSubset},
        {"<!DOCTYPE r [<!ENTITY % p \"(a\"><!ELEMENT r %p;)>]><r/>", std::string(SPENotNested) + "(a"},
    };
    for (const auto& row : rows) {
        Result result = parse(row.doc);
        EXPECT_FALSE(result.ok) << row.doc;
        EXPECT_EQ(result.error, row.message) << row.doc;
    }
}

TEST(DTD, ContentModelNestingHasALimit)
{
    auto model = [](size_t depth) {
        return "<!DOCTYPE r [<!ELEMENT r " + std::string(depth, '(') + "a" + std::string(depth, ')') + ">]><r/>";
    };
    EXPECT_TRUE(parse(model(MaxDeclarationDepth)).ok);
    EXPECT_EQ(parse(model(MaxDeclarationDepth + 1)).error,
              FormatMessage(SDeclarationsTooDeep, {std::to_string(MaxDeclarationDepth)}));
}

TEST(DTD, ExternalSubsetReadsAfterTheInternalOne)
{
    ScratchDir dir;
    dir.Write("screen.dtd",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!ENTITY e \"external\"><!ENTITY only \"ext-only\">\n"
              "<!ATTLIST r a CDATA \"from-external\">\n"
              "<![INCLUDE[ <!ATTLIST r inc CDATA \"yes\"> ]]>\n"
              "<![IGNORE[ <!ATTLIST r ign CDATA \"no\"> <![ nested ]]> ]]>\n");
    Result result =
        parse(dir,
              "<!DOCTYPE r SYSTEM \"screen.dtd\" [<!ENTITY e \"internal\"><!ATTLIST r a CDATA \"from-internal\">]>"
              "<r>&e; &only;</r>");
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.canonical, "<r a=\"from-external\" inc=\"yes\">internal ext-only</r>");

    TXpObjModel model;
    ASSERT_TRUE(model.LoadDocumentFile(dir.Path() + "/doc.xml"));
    auto* doctype = static_cast<TXpDocumentType*>(model.Document()->firstChild());
    ASSERT_EQ(doctype->nodeType(), DOCUMENT_TYPE_NODE);
    ASSERT_NE(doctype->ExternalDTD(), nullptr);
    EXPECT_EQ(doctype->ExternalDTD()->nodeName(), u"screen.dtd");
    EXPECT_EQ(doctype->ExternalDTD()->baseURI(), FromUtf8(dir.Path() + "/"));
    auto ignored = model.Document()->NodesByType(DTD_CONDITIONAL_NODE, u"");
    ASSERT_EQ(ignored->length(), 2);
    EXPECT_EQ(ignored->item(1)->Text(), u"<!ATTLIST r ign CDATA \"no\"> <![ nested ]]> ]]>");
}

TEST(DTD, MissingExternalSubsetEndsTheParse)
{
    Result result = parse("<!DOCTYPE r SYSTEM \"absent.dtd\"><r/>");
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("could not be found"), std::string::npos) << result.error;
}

TEST(DTD, ExternalEntitiesResolveAgainstTheFileThatDeclaresThem)
{
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path() + "/parts");
    std::filesystem::create_directories(dir.Path() + "/dtd");
    dir.Write("parts/a.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>&b;</a>");
    dir.Write("b.txt", "b beside the document");
    dir.Write("parts/b.txt", "b beside the reference");
    // Declared in the external subset: beside the subset, whoever refers to it.
    dir.Write("dtd/screen.dtd", "<!ENTITY c SYSTEM \"c.txt\">");
    dir.Write("dtd/c.txt", "c beside the subset");
    Result result = parse(dir,
                          "<!DOCTYPE r SYSTEM \"dtd/screen.dtd\" [<!ENTITY a SYSTEM \"parts/a.xml\">"
                          "<!ENTITY b SYSTEM \"b.txt\">]><r>&a; &c;</r>");
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.canonical, "<r><a>b beside the document</a>c beside the subset</r>");
}

TEST(DTD, WindowsSystemIdentifiersFindTheirFiles)
{
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path() + "/dtd/sub");
    dir.Write("dtd/screen.dtd", "<!ENTITY where \"in dtd\"><!ENTITY % more SYSTEM \"sub\\more.ent\">%more;");
    dir.Write("dtd/sub/more.ent", "<!ENTITY deeper \"in sub\">");
    dir.Write("beside.dtd", "<!ENTITY where \"beside the document\"><!ENTITY deeper \"\">");
    struct Row {
        const char* systemId;
        const char* canonical;
    } rows[] = {
        {"dtd\\screen.dtd", "<r>in dtd in sub</r>"},
        {".\\dtd\\screen.dtd", "<r>in dtd in sub</r>"},
        // Paths of the machine the project was made on, missing on this one: the file of that name
        // beside the document.
        {"C:\\VelmScreen\\beside.dtd", "<r>beside the document</r>"},
        {"c:/VelmScreen/beside.dtd", "<r>beside the document</r>"},
        {"D:beside.dtd", "<r>beside the document</r>"},
        {"\\\\server\\share\\beside.dtd", "<r>beside the document</r>"},
        {"\\beside.dtd", "<r>beside the document</r>"},
        {"file:///C:/VelmScreen/beside.dtd", "<r>beside the document</r>"},
    };
    for (const auto& row : rows) {
        Result result = parse(dir, std::string("<!DOCTYPE r SYSTEM \"") + row.systemId + "\"><r>&where; &deeper;</r>");
        EXPECT_TRUE(result.ok) << row.systemId << ": " << result.error;
        EXPECT_EQ(result.canonical, row.canonical) << row.systemId;
    }
    TXpObjModel model;
    EXPECT_FALSE(
        model.LoadDocumentFile(dir.Write("missing.xml", "<!DOCTYPE r SYSTEM \"C:\\VelmScreen\\absent.dtd\"><r/>")));
    ASSERT_EQ(model.Errors().size(), 2u);
    EXPECT_EQ(model.Errors()[0], "File C:\\VelmScreen\\absent.dtd could not be found");
    EXPECT_NE(model.Errors()[1].find("File '" + dir.Path() + "/absent.dtd' could not be found"), std::string::npos);
}

// Each row a small valid document (external subset or entities in files of their own) that
// an XML 1.0 reader must accept.
TEST(DTD, ParameterEntitiesBetweenDeclarationPartsAreRead)
{
    struct Row {
        const char* what;
        const char* dtd;  // the external subset "d.dtd"
        const char* internal;  // the internal subset
        const char* body;
        const char* canonical;
    } rows[] = {
        {"reference right after the keyword", "<!ENTITY % e \"r a CDATA 'x'\"><!ATTLIST%e;>", "", "<r/>",
         "<r a=\"x\"></r>"},
        {"reference right after a type", "<!ENTITY % d \"'dv'\"><!ATTLIST r a CDATA%d;>", "", "<r/>",
         "<r a=\"dv\"></r>"},
        {"references in an entity value", "<!ENTITY % a \"do\"><!ENTITY % b \"c\"><!ENTITY g \"%a;%b;!\">", "",
         "<r>&g;</r>", "<r>doc!</r>"},
        {"a name from several references in a row",
         "<!ENTITY % p1 \"it\"><!ENTITY % p2 \"em\"><!ENTITY % item \"%p1;%p2;\">"
         "<!ELEMENT %item; EMPTY><!ATTLIST %item; k CDATA 'v'>",
         "", "<r><item/></r>", "<r><item k=\"v\"></item></r>"},
        {"#PCDATA from nested references",
         "<!ENTITY % pc \"#PCDATA\"><!ENTITY % pcref \"%pc;\"><!ELEMENT r (%pcref;|a)*>", "", "<r>t<a/>u</r>",
         "<r>t<a></a>u</r>"},
        {"references where | and ) are expected",
         "<!ENTITY % alts \"|a|b\"><!ENTITY % close \")*\"><!ELEMENT r (#PCDATA%alts;%close;>", "", "<r>t<b/></r>",
         "<r>t<b></b></r>"},
        {"an external entity in an entity value", "<!ENTITY % ext SYSTEM \"value.ent\"><!ENTITY g \"[%ext;]\">", "",
         "<r>&g;</r>", "<r>[from a fil\xC3\xA9]</r>"},
        {"NOTATION in any letter case", "<!NOTATION n SYSTEM \"n\"><!ATTLIST r a notation (n) 'n'>", "", "<r/>",
         "<!DOCTYPE r [\n<!NOTATION n SYSTEM 'n'>\n]>\n<r a=\"n\"></r>"},
        {"an external parameter entity from the internal subset", "", "<!ENTITY % cond SYSTEM \"cond.ent\">%cond;",
         "<r/>", "<r a=\"included\"></r>"},
        {"an empty system literal of an unused entity", "", "<!ENTITY unused SYSTEM \"\">", "<r/>", "<r></r>"},
    };
    for (const auto& row : rows) {
        ScratchDir dir;
        dir.Write("d.dtd", row.dtd);
        dir.Write("value.ent", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>from a fil\xE9");
        dir.Write("cond.ent",
                  "<![INCLUDE[ <!ATTLIST r a CDATA 'included'> ]]><![IGNORE[ <!ATTLIST r b CDATA 'no'> ]]>");
        std::string doc =
            std::string("<!DOCTYPE r SYSTEM \"") + (*row.dtd ? "d.dtd" : "") + "\" [" + row.internal + "]>" + row.body;
        Result result = parse(dir, doc);
        EXPECT_TRUE(result.ok) << row.what << ": " << result.error;
        EXPECT_EQ(result.canonical, row.canonical) << row.what;
    }
}

TEST(DTD, DeclarationsEndInTheEntityTheyBeganIn)
{
    struct Row {
        const char* dtd;
        const char* internal;
        std::string message;
    } rows[] = {
        {"<!ENTITY % open \"<!ELEMENT r\"> %open; ANY>", "", SDeclarationAcrossEntities},
        {"<!ENTITY % close \"ANY>\"> <!ELEMENT r %close;", "", SDeclarationAcrossEntities},
        {"<!ENTITY % half \"<!ATTLIST r a CDATA 'x'\"> %half; >", "", SDeclarationAcrossEntities},
        {"", "<!ENTITY % half \"<!ENTITY e 'x'\"> %half; >", SDeclarationAcrossEntities},
        // A content model from a parameter entity is still checked for nesting.
        {"<!ENTITY % p \"(a\"><!ELEMENT r %p;)>", "", std::string(SPENotNested) + "(a"},
        {"<!NOTATION n SYSTEM \"n\"><!ENTITY e SYSTEM \"e.gif\"NDATA n>", "",
         std::string(SWhitespaceExpected) + "Line: 1 Position: 50"},
    };
    for (const auto& row : rows) {
        ScratchDir dir;
        dir.Write("d.dtd", row.dtd);
        std::string doc =
            std::string("<!DOCTYPE r SYSTEM \"") + (*row.dtd ? "d.dtd" : "") + "\" [" + row.internal + "]><r/>";
        Result result = parse(dir, doc);
        EXPECT_FALSE(result.ok) << row.dtd << row.internal;
        EXPECT_EQ(result.error, row.message) << row.dtd << row.internal;
    }
}

TEST(DTD, AnUndeclaredParameterEntityIsReportedAtItsName)
{
    TXpObjModel model;
    ScratchDir dir;
    EXPECT_FALSE(model.LoadDocumentFile(dir.Write("d.xml", "<!DOCTYPE r [%undeclared;]><r/>")));
    EXPECT_EQ(test::ErrorMessage(model), std::string(SUndeclaredEntity) + "undeclared");
    EXPECT_EQ(test::ErrorPosition(model), "Line: 1 Col: 23");
}

}  // namespace
}  // namespace velmora

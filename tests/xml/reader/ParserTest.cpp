// The parser's documents, errors, normalisation, references and limits.
#include <chrono>
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
    std::string position;
    size_t errorCount;
};

Result parse(const std::string& doc, bool normalize = true)
{
    ScratchDir dir;
    TXpObjModel model;
    model.NormalizeData = normalize;
    bool ok = model.LoadDocumentFile(dir.Write("doc.xml", doc));
    return {ok, test::Canonical(model), test::ErrorMessage(model), test::ErrorPosition(model), model.Errors().size()};
}

TEST(Parser, EachErrorHasItsMessageAndPosition)
{
    struct Row {
        const char* doc;
        std::string message;
        const char* position;
    } rows[] = {
        {"<r a=\"1\"/", std::string(SExpectedString) + "'>'", "Line: 1 Col: 10"},
        {"<?xml version=\"1.0\"encoding=\"UTF-8\"?><r/>", std::string(SWhitespaceExpected) + "Line: 1 Position: 20",
         "Line: 1 Col: 20"},
        {"<r>\n<a(/></r>", std::string(SInvalidName) + "'('", "Line: 2 Col: 3"},
        {"<r><></r>", std::string(SInvalidElementName) + "''", "Line: 1 Col: 5"},
        {"<r/><s/>", SDataAfterDocument, "Line: 1 Col: 5"},
        {"<r/>text", SDataAfterDocument, "Line: 1 Col: 5"},
        {"<r><!-- open", std::string(SEndOfInputDelimiter) + "'-->'", "Line: 1 Col: 13"},
        {"<r><![CDATA[ open", std::string(SEndOfInputDelimiter) + "']]>'", "Line: 1 Col: 18"},
        {"<r><?pi open", std::string(SEndOfInputDelimiter) + "'?>'", "Line: 1 Col: 13"},
        {"<!-- c --><?xml version=\"1.0\"?><r/>", SXmlDeclPosition, "Line: 1 Col: 16"},
        {"<r/><?xml version=\"1.0\"?>", SXmlDeclPosition, "Line: 1 Col: 10"},
        {"<?xml version=\"1.0#\"?><r/>", std::string(SInvalidVersion) + "'1.0#'", "Line: 1 Col: 21"},
        {"<?xml version=\"1.1\"?><r/>", "Dornel does not support XML specification greater than 1.0",
         "Line: 1 Col: 20"},
        {"<?xml version=\"1.0\" encoding=\"8bit\"?><r/>", std::string(SInvalidEncoding) + "'8bit'", "Line: 1 Col: 36"},
        {"<?xml version=\"1.0\" standalone=\"maybe\"?><r/>", SInvalidStandalone, "Line: 1 Col: 39"},
        {"<r x=\"1\" X=\"2\"/>", SAttributeRedefined, "Line: 1 Col: 11"},
        {"<r x=\"a<b\"/>", std::string(SInvalidAttrChar) + "'<'", "Line: 1 Col: 9"},
        {"<r x=\"a&b\"/>", std::string(SInvalidAttrChar) + "'&'", "Line: 1 Col: 10"},
        {"<r x=\"&amp;&b c\"/>", std::string(SInvalidAttrChar) + "'&'", "Line: 1 Col: 14"},
        {"<r>\n<a>", SUnexpectedEof, "Line: 2 Col: 4"},
        {"<r><!x></r>", std::string(SExpectedCommentOrCData) + "(x)", "Line: 1 Col: 6"},
        {"<r><a></b></r>", std::string(SMismatchedEndTag) + "Start tag = \"a\" End tag = \"b\"", "Line: 1 Col: 10"},
        {"<r>a]]>b</r>", std::string(SInvalidCharData) + "']]>'", "Line: 1 Col: 5"},
        {"<r><a/>x]]></r>", std::string(SInvalidCharData) + "']]>'", "Line: 1 Col: 9"},
        {"<r><!-- a--b --></r>", SInvalidComment, "Line: 1 Col: 17"},
        {"<r><!-- a---></r>", SInvalidComment, "Line: 1 Col: 14"},
        {"<r a=1/>", SExpectedQuote, "Line: 1 Col: 6"},
        {"<r a=\"1/>", std::string(SExpectedDelimiter) + "\"", "Line: 1 Col: 10"},
        {"<r>&#x4G;</r>", "Illegal character in reference: G (71)", "Line: 1 Col: 8"},
        {"<r>&nope;</r>", std::string(SUndeclaredEntity) + "'nope'", "Line: 1 Col: 10"},
        {"<r a=\"&nope;\"/>", std::string(SUndeclaredEntity) + "'nope'", "Line: 1 Col: 13"},
        {"<r><? x?></r>", std::string(SInvalidPITarget) + "''", "Line: 1 Col: 6"},
        {"<r =\"1\"/>", std::string(SInvalidAttributeName) + "''", "Line: 1 Col: 4"},
        // At the end of input a start tag still lacks its next attribute's "=".
        {"<r a=\"1\"", std::string(SExpectedString) + "'='", "Line: 1 Col: 9"},
        {"<r a=\"1\" ", std::string(SExpectedString) + "'='", "Line: 1 Col: 10"},
        {"<r", std::string(SExpectedString) + "'='", "Line: 1 Col: 3"},
        {"", std::string(SExpectedString) + "'<'", "Line: 1 Col: 1"},
    };
    for (const auto& row : rows) {
        Result result = parse(row.doc);
        EXPECT_FALSE(result.ok) << row.doc;
        EXPECT_EQ(result.errorCount, 1u) << row.doc;
        EXPECT_EQ(result.error, row.message) << row.doc;
        EXPECT_EQ(result.position, row.position) << row.doc;
        EXPECT_EQ(result.canonical, "") << "no partial tree for " << row.doc;
    }
}

TEST(Parser, ErrorLineNamesTheFile)
{
    ScratchDir dir;
    TXpObjModel model;
    std::string path = dir.Write("bad.xml", "<r>\n</s>");
    EXPECT_FALSE(model.LoadDocumentFile(path));
    ASSERT_EQ(model.Errors().size(), 1u);
    EXPECT_EQ(model.Errors()[0],
              "File: " + path + ". Line: 2 Col: 4 Error: Mismatched end tag: Start tag = \"r\" End tag = \"s\"");
    // A decoding error names its file too.
    std::string bytes = dir.Write("bytes.xml", "<r>\xFF</r>");
    EXPECT_FALSE(model.LoadDocumentFile(bytes));
    EXPECT_EQ(model.Errors()[0], "File: " + bytes + ". Line: 1 Col: 4 Error: Badly formed UTF-8 character in stream");
    // An error in an entity's text points just after the reference, in the file that holds it.
    std::string entity = dir.Write("entity.xml", "<!DOCTYPE r [<!ENTITY e \"<a x='1' X='2'/>\">]>\n<r> &e; </r>");
    EXPECT_FALSE(model.LoadDocumentFile(entity));
    EXPECT_EQ(model.Errors()[0], "File: " + entity + ". Line: 2 Col: 8 Error: " + SAttributeRedefined);
    // An error in the external subset names the subset's file, a decoding error included.
    dir.Write("bad.dtd", "<!ENTITY e \"\xE9\">");
    std::string subset = dir.Write("subset.xml", "<!DOCTYPE r SYSTEM \"bad.dtd\"><r/>");
    EXPECT_FALSE(model.LoadDocumentFile(subset));
    EXPECT_EQ(model.Errors()[0],
              "File: " + dir.Path() + "/bad.dtd. Line: 1 Col: 13 Error: Badly formed UTF-8 character in stream");
}

TEST(Parser, CharacterDataIsNormalisedOnlyWhenAsked)
{
    struct Row {
        const char* doc;
        const char* normalized;
        const char* raw;
    } rows[] = {
        {"<r>   x   \n\t  y   </r>", "<r>x y</r>", "<r>   x   &#10;&#9;  y   </r>"},
        {"<r>\n  <a/>\n  <b/>\n</r>", "<r><a></a><b></b></r>", "<r>&#10;  <a></a>&#10;  <b></b>&#10;</r>"},
        {"<r xml:space=\"preserve\">\n  <a/>\n</r>", "<r xml:space=\"preserve\">&#10;  <a></a>&#10;</r>",
         "<r xml:space=\"preserve\">&#10;  <a></a>&#10;</r>"},
        {"<r xml:space=\"preserve\"><a xml:space=\"default\"> x </a> y </r>",
         "<r xml:space=\"preserve\"><a xml:space=\"default\">x</a> y </r>",
         "<r xml:space=\"preserve\"><a xml:space=\"default\"> x </a> y </r>"},
        {"<r>1 &amp; 2</r>", "<r>1 &amp; 2</r>", "<r>1 &amp; 2</r>"},
        {"<r>&#60;a b&#62;</r>", "<r>&lt;a b&gt;</r>", "<r>&lt;a b&gt;</r>"},
        {"<r><![CDATA[  a  ]]></r>", "<r>  a  </r>", "<r>  a  </r>"},
        {"<r a=\"p\tq\nr\"/>", "<r a=\"p&#9;q r\"></r>", "<r a=\"p&#9;q r\"></r>"},
        {"<r a=\"&#9;&#10;&#13;\"/>", "<r a=\"&#9;&#10;&#13;\"></r>", "<r a=\"&#9;&#10;&#13;\"></r>"},
    };
    for (const auto& row : rows) {
        Result normalized = parse(row.doc, true);
        Result raw = parse(row.doc, false);
        EXPECT_TRUE(normalized.ok) << row.doc << ": " << normalized.error;
        EXPECT_EQ(normalized.canonical, row.normalized) << row.doc;
        EXPECT_EQ(raw.canonical, row.raw) << row.doc;
    }
}

TEST(Parser, DocumentChildrenKeepTheDeclarationFirst)
{
    ScratchDir dir;
    TXpObjModel model;
    ASSERT_TRUE(model.LoadDocumentFile(
        dir.Write("d.xml", "  <?xml version = '1.0' encoding='utf-8' ?>\n<!-- c --><?pi  data ?><r/><?after x?>")));
    const TXpNodeList& children = model.Document()->childNodes();
    ASSERT_EQ(children.length(), 5);
    EXPECT_EQ(children.item(0)->nodeName(), u"xml");
    EXPECT_EQ(children.item(0)->nodeValue(), u"version=\"1.0\" encoding=\"utf-8\"");
    EXPECT_EQ(children.item(1)->nodeType(), COMMENT_NODE);
    EXPECT_EQ(children.item(2)->nodeValue(), u"data ");
    EXPECT_EQ(model.documentElement()->nodeName(), u"r");
    EXPECT_EQ(test::Canonical(model), "<?pi data ?><r></r><?after x?>");
}

TEST(Parser, ReferencesExpandInPlace)
{
    struct Row {
        const char* doc;
        const char* canonical;
    } rows[] = {
        {"<!DOCTYPE r [<!ENTITY e \"<b>bold</b> &amp; more\">]><r>x &e; y</r>", "<r>x<b>bold</b>&amp; more y</r>"},
        {"<!DOCTYPE r [<!ENTITY e \"ab\">]><r a=\"&e;&e;\">&e;&e;</r>", "<r a=\"abab\">abab</r>"},
        {"<!DOCTYPE r [<!ENTITY q '\"'>]><r a=\"x&q;y&q;z\"/>", "<r a=\"x&quot;y&quot;z\"></r>"},
        {"<!DOCTYPE r [<!ENTITY q \"'&#34;'\">]><r a=\"&q;\"/>", "<r a=\"'&quot;'\"></r>"},
        {"<r a=\"&#x1F600;\">&#128512;</r>", "<r a=\"\xF0\x9F\x98\x80\">\xF0\x9F\x98\x80</r>"},
        {"<!DOCTYPE r [<!ENTITY a \"&b;\"><!ENTITY b \"B\">]><r>&a;</r>", "<r>B</r>"},
    };
    for (const auto& row : rows) {
        Result result = parse(row.doc);
        EXPECT_TRUE(result.ok) << row.doc << ": " << result.error;
        EXPECT_EQ(result.canonical, row.canonical) << row.doc;
    }
}

TEST(Parser, BadReferencesAreRefused)
{
    struct Row {
        const char* doc;
        std::string message;
    } rows[] = {
        {"<!DOCTYPE r [<!ENTITY e \"x&e;\">]><r>&e;</r>", std::string(SCircularReference) + "e"},
        {"<!DOCTYPE r [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]><r a=\"&a;\"/>", std::string(SCircularReference) + "a"},
        {"<r>&#0;</r>", FormatMessage(SInvalidCharRef, {"&#0;"})},
        {"<r>&#;</r>", FormatMessage(SInvalidCharRef, {"&#;"})},
        {"<r>&#xD800;</r>", FormatMessage(SInvalidCharRef, {"&#xD800;"})},
        {"<r>&#x110000;</r>", FormatMessage(SInvalidCharRef, {"&#x110000;"})},
        {"<r>&#99999999999999999999;</r>", FormatMessage(SInvalidCharRef, {"&#99999999999999999999;"})},
        {"<r a=\"&#1;\"/>", FormatMessage(SInvalidCharRef, {"&#1;"})},
        {"<!DOCTYPE r [<!ENTITY e SYSTEM \"e.txt\">]><r a=\"&e;\"/>", std::string(SExternalEntityInAttribute) + "'e'"},
    };
    for (const auto& row : rows) {
        Result result = parse(row.doc);
        EXPECT_FALSE(result.ok) << row.doc;
        EXPECT_EQ(result.error, row.message) << row.doc;
    }
}

TEST(Parser, EntityExpansionStopsEarly)
{
    std::string laughs = "<!DOCTYPE r [<!ENTITY l0 \"lollollollollollollollollollol\">";
    for (int i = 1; i <= 10; ++i)
        laughs += "<!ENTITY l" + std::to_string(i) + " \"" +
            [&] {
                std::string refs;
                for (int k = 0; k < 10; ++k)
                    refs += "&l" + std::to_string(i - 1) + ";";
                return refs;
            }() +
            "\">";
    std::string quadratic = "<!DOCTYPE r [<!ENTITY big \"" + std::string(100000, 'x') + "\">]><r>";
    for (int i = 0; i < 2000; ++i)
        quadratic += "&big;";
    quadratic += "</r>";
    for (const std::string& doc : {laughs + "]><r>&l10;</r>", laughs + "]><r a=\"&l10;\"/>", quadratic}) {
        auto start = std::chrono::steady_clock::now();
        Result result = parse(doc);
        auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, SEntityExpansionLimit);
        EXPECT_LT(seconds, 10.0);  // generous: sanitizer builds on a shared machine
    }
    // Below the limit a large expansion is fine.
    std::string fine = "<!DOCTYPE r [<!ENTITY e \"" + std::string(1000, 'y') + "\">]><r>";
    for (int i = 0; i < 1000; ++i)
        fine += "&e;";
    EXPECT_TRUE(parse(fine + "</r>").ok);
}

std::string nested(size_t depth)
{
    std::string doc;
    for (size_t i = 0; i < depth; ++i)
        doc += "<a>";
    for (size_t i = 0; i < depth; ++i)
        doc += "</a>";
    return doc;
}

TEST(Parser, NestingDepthHasALimit)
{
    EXPECT_TRUE(parse(nested(1000)).ok);
    Result atLimit = parse(nested(MaxElementDepth));
    EXPECT_TRUE(atLimit.ok) << atLimit.error;
    Result past = parse(nested(MaxElementDepth + 1));
    EXPECT_FALSE(past.ok);
    EXPECT_EQ(past.error, FormatMessage(SNestingTooDeep, {std::to_string(MaxElementDepth)}));
}

TEST(Parser, EntityNestingHasALimit)
{
    auto chain = [](size_t length) {
        std::string doc = "<!DOCTYPE r [<!ENTITY e0 \"x\">";
        for (size_t i = 1; i < length; ++i)
            doc += "<!ENTITY e" + std::to_string(i) + " \"&e" + std::to_string(i - 1) + ";\">";
        return doc + "]><r>&e" + std::to_string(length - 1) + ";</r>";
    };
    EXPECT_TRUE(parse(chain(MaxEntityDepth)).ok);
    Result past = parse(chain(MaxEntityDepth + 1));
    EXPECT_EQ(past.error, FormatMessage(SEntityNestingTooDeep, {std::to_string(MaxEntityDepth)}));
}

TEST(Parser, EveryPrefixOfADocumentFailsCleanly)
{
    const std::string doc = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e \"v\"><!ATTLIST r a CDATA \"d\">]>"
                            "<r x=\"1 &amp; &e;\"><!-- c --><![CDATA[c]]><?p d?>t&#65;<s/></r>";
    ASSERT_TRUE(parse(doc).ok);
    for (size_t n = 0; n < doc.size(); ++n) {
        Result result = parse(doc.substr(0, n));
        EXPECT_FALSE(result.ok) << n;
        EXPECT_EQ(result.errorCount, 1u) << n;
    }
}

}  // namespace
}  // namespace velmora

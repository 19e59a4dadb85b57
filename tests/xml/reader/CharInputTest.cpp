// Decoding, line ends, the Char test and line and column counting of the character input.
#include <cstring>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "base/FileSystem.h"
#include "xml/reader/XpChrFlt.h"
#include "xml/reader/XpParser.h"

namespace velmora {
namespace {

using test::ScratchDir;

struct Loaded {
    bool ok;
    std::string canonical;
    std::string error;
    std::string position;
};

Loaded load(const std::string& bytes, size_t bufferSize = DefaultBufferSize)
{
    ScratchDir dir;
    TXpObjModel model;
    model.NormalizeData = false;
    model.SetBufferSize(bufferSize);
    bool ok = model.LoadDocumentFile(dir.Write("doc.xml", bytes));
    return {ok, test::Canonical(model), test::ErrorMessage(model), test::ErrorPosition(model)};
}

std::string utf16(const std::u16string& text, bool little)
{
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t c : text) {
        char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        bytes += little ? std::string{lo, hi} : std::string{hi, lo};
    }
    return bytes;
}

TEST(CharInput, EncodingsReadTheSameDocument)
{
    const std::string expected = "<r a=\"\xC3\xA9\">\xE2\x82\xAC</r>";
    struct Row {
        const char* name;
        std::string bytes;
        TXpCharEncoding encoding;
    } rows[] = {
        {"utf-8", "<r a=\"\xC3\xA9\">\xE2\x82\xAC</r>", TXpCharEncoding::ceUTF8},
        {"utf-8 with mark", "\xEF\xBB\xBF<r a=\"\xC3\xA9\">\xE2\x82\xAC</r>", TXpCharEncoding::ceUTF8},
        {"utf-16le", utf16(u"<r a=\"\u00E9\">\u20AC</r>", true), TXpCharEncoding::ceUTF16LE},
        {"utf-16be", utf16(u"<r a=\"\u00E9\">\u20AC</r>", false), TXpCharEncoding::ceUTF16BE},
        {"utf-16le whatever the declaration says",
         utf16(u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r a=\"\u00E9\">\u20AC</r>", true),
         TXpCharEncoding::ceUTF16LE},
    };
    for (const auto& row : rows) {
        ScratchDir dir;
        TXpObjModel model;
        ASSERT_TRUE(model.LoadDocumentFile(dir.Write("d.xml", row.bytes))) << row.name;
        EXPECT_EQ(test::Canonical(model), expected) << row.name;
        EXPECT_EQ(model.OutCharSet, row.encoding) << row.name;
    }
}

TEST(CharInput, TheEncodingDeclarationDecidesWithoutAMark)
{
    const std::string decl = "<?xml version=\"1.0\" encoding=\"";
    struct Row {
        std::string bytes;
        const char* text;  // UTF-8
        TXpCharEncoding encoding;
    } rows[] = {
        {decl + "ISO-8859-1\"?><r>caf\xE9</r>", "caf\xC3\xA9", TXpCharEncoding::ceISO88591},
        // A file from Windows labelled Latin-1 holds Windows-1252: en dash, curly quotes, euro.
        {decl +
             "iso-8859-1\"?><r>a\x96"
             "b \x93q\x94 \x80</r>",
         "a\xE2\x80\x93"
         "b \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC",
         TXpCharEncoding::ceISO88591},
        {decl + "windows-1252\"?><r>T\xE9rreo \x85</r>", "T\xC3\xA9rreo \xE2\x80\xA6", TXpCharEncoding::ceWindows1252},
        {decl + "CP1252\"?><r>\x8C\x9F</r>", "\xC5\x92\xC5\xB8", TXpCharEncoding::ceWindows1252},
        {decl + "latin1\"?><r>\xE7</r>", "\xC3\xA7", TXpCharEncoding::ceISO88591},
        {decl + "us-ascii\"?><r>\xE3</r>", "\xC3\xA3", TXpCharEncoding::ceISO88591},
        // The bytes Windows-1252 leaves undefined keep their C1 characters.
        {decl + "windows-1252\"?><r>\x81\x8D\x8F\x90\x9D</r>", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D",
         TXpCharEncoding::ceWindows1252},
        {decl + "ISO-8859-15\"?><r>\xA4\xBD\xE9</r>", "\xE2\x82\xAC\xC5\x93\xC3\xA9", TXpCharEncoding::ceISO885915},
        {decl + "utf-8\"?><r>\xC3\xA9</r>", "\xC3\xA9", TXpCharEncoding::ceUTF8},
        {decl + "UTF8\"?><r>\xC3\xA9</r>", "\xC3\xA9", TXpCharEncoding::ceUTF8},
        // A UTF-16 label on a file read byte by byte: the bytes already told.
        {decl + "UTF-16\"?><r>\xC3\xA9</r>", "\xC3\xA9", TXpCharEncoding::ceUTF8},
        // Line ends and the markup after the declaration decode in the code page too.
        {decl + "windows-1252\"?>\r\n<r a=\"\xE9\">\r\xE9</r>", "\n\xC3\xA9", TXpCharEncoding::ceWindows1252},
    };
    for (const auto& row : rows) {
        ScratchDir dir;
        TXpObjModel model;
        model.NormalizeData = false;
        ASSERT_TRUE(model.LoadDocumentFile(dir.Write("d.xml", row.bytes)))
            << row.bytes << ": " << test::ErrorMessage(model);
        EXPECT_EQ(ToUtf8(model.documentElement()->Text()), row.text) << row.bytes;
        EXPECT_EQ(model.OutCharSet, row.encoding) << row.bytes;
    }

    Loaded undeclared = load("<r>\ncaf\xE9</r>");
    EXPECT_FALSE(undeclared.ok);
    EXPECT_EQ(undeclared.error, SBadUtf8);
    EXPECT_EQ(undeclared.position, "Line: 2 Col: 4");
}

TEST(CharInput, AMarkDecidesOverAnyDeclaration)
{
    const std::u16string latin1Declared = u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>T\u00E9rreo</r>";
    struct Row {
        const char* name;
        std::string bytes;
        TXpCharEncoding encoding;
    } rows[] = {
        {"utf-8 mark, Latin-1 declaration",
         "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>T\xC3\xA9rreo</r>", TXpCharEncoding::ceUTF8},
        {"utf-8 mark, unknown label", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"KOI8-R\"?><r>T\xC3\xA9rreo</r>",
         TXpCharEncoding::ceUTF8},
        {"utf-16le mark", utf16(latin1Declared, true), TXpCharEncoding::ceUTF16LE},
        {"utf-16be mark", utf16(latin1Declared, false), TXpCharEncoding::ceUTF16BE},
        // Without a mark, a document that begins with "<?" in two-byte units is UTF-16.
        {"utf-16le without mark", utf16(latin1Declared, true).substr(2), TXpCharEncoding::ceUTF16LE},
        {"utf-16be without mark", utf16(latin1Declared, false).substr(2), TXpCharEncoding::ceUTF16BE},
    };
    for (const auto& row : rows) {
        ScratchDir dir;
        TXpObjModel model;
        ASSERT_TRUE(model.LoadDocumentFile(dir.Write("d.xml", row.bytes)))
            << row.name << ": " << test::ErrorMessage(model);
        EXPECT_EQ(test::Canonical(model), "<r>T\xC3\xA9rreo</r>") << row.name;
        EXPECT_EQ(model.OutCharSet, row.encoding) << row.name;
    }
    // Only "<?" tells UTF-16 without a mark; any other start is read byte by byte.
    EXPECT_EQ(load(utf16(u"<r/>", true).substr(2)).error, SInvalidXmlChar);
}

TEST(CharInput, ALabelTheReaderCannotDecodeFailsAtTheDeclaration)
{
    for (const char* label : {"KOI8-R", "EBCDIC-CP-US", "windows-1250", "Shift_JIS", "UTF-32"}) {
        Loaded result = load(std::string("<?xml version=\"1.0\" encoding=\"") + label + "\"?>\n<r>\xE9</r>");
        EXPECT_FALSE(result.ok) << label;
        EXPECT_EQ(result.error, std::string(SUnsupportedEncoding) + "'" + label + "'");
        EXPECT_EQ(result.position, "Line: 1 Col: " + std::to_string(32 + std::strlen(label))) << label;
    }
}

TEST(CharInput, BadUtf8IsRefused)
{
    const char* rows[] = {
        "<r>\xC0\xAF</r>",  // over-long "/"
        "<r>\xE0\x80\xAF</r>",  // over-long, three bytes
        "<r>\xF0\x80\x80\xAF</r>",  // over-long, four bytes
        "<r>\xF8\x88\x80\x80\x80</r>",  // five bytes
        "<r>\xFC\x84\x80\x80\x80\x80</r>",  // six bytes
        "<r>\xED\xA0\x80</r>",  // encoded surrogate
        "<r>\xF4\x90\x80\x80</r>",  // above U+10FFFF
        "<r>\x80</r>",  // continuation byte first
        "<r>\xC3(</r>",  // bad continuation
        "<r/>\xE2\x82",  // cut off at the end
    };
    for (const char* bytes : rows) {
        Loaded result = load(bytes);
        EXPECT_FALSE(result.ok) << bytes;
        EXPECT_EQ(result.error, SBadUtf8) << bytes;
    }
}

TEST(CharInput, InvalidCharactersFailAtTheirPosition)
{
    struct Row {
        std::string bytes;
        std::string position;
    } rows[] = {
        {std::string("<r>\n ab\x07</r>"), "Line: 2 Col: 4"},
        // A byte 01 is an invalid character, not the end of the document.
        {std::string("<r>a\x01</r>"), "Line: 1 Col: 5"},
        {std::string("<r>\0</r>", 8), "Line: 1 Col: 4"},
        {std::string("<r>\xEF\xBF\xBE</r>"), "Line: 1 Col: 4"},  // U+FFFE
    };
    for (const auto& row : rows) {
        Loaded result = load(row.bytes);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, SInvalidXmlChar);
        EXPECT_EQ(result.position, row.position);
    }
}

TEST(CharInput, Utf16SurrogatesAreChecked)
{
    Loaded pair = load(utf16(u"<r>\U0001F600</r>", true));
    EXPECT_TRUE(pair.ok);
    EXPECT_EQ(pair.canonical, "<r>\xF0\x9F\x98\x80</r>");

    std::u16string lone = u"<r>x</r>";
    lone[3] = 0xDC00;
    EXPECT_EQ(load(utf16(lone, true)).error, SBadUtf16LE);
    lone[3] = 0xD800;
    EXPECT_EQ(load(utf16(lone, false)).error, SBadUtf16BE);
    EXPECT_EQ(load(utf16(u"<r/>", true) + "<").error, SBadUtf16LE);
}

TEST(CharInput, FourByteUtf8BecomesASurrogatePair)
{
    ScratchDir dir;
    TXpObjModel model;
    ASSERT_TRUE(model.LoadDocumentFile(dir.Write("d.xml", "<r a=\"\xF0\x9F\x98\x80\">\xF0\x90\x80\x80</r>")));
    EXPECT_EQ(model.documentElement()->getAttribute(u"a"), u"\U0001F600");
    EXPECT_EQ(model.documentElement()->Text(), u"\U00010000");
}

TEST(CharInput, LineEndsBecomeOneLineFeedAndCountOnce)
{
    for (const char* end : {"\r\n", "\r", "\n"}) {
        std::string doc = std::string("<r>a") + end + "b" + end + end + "<x></y></r>";
        Loaded result = load(doc);
        EXPECT_EQ(result.error.rfind("Mismatched end tag: ", 0), 0u);
        EXPECT_EQ(result.position, "Line: 4 Col: 7") << "line end " << static_cast<int>(end[0]);
        Loaded text = load(std::string("<r>a") + end + "b</r>");
        EXPECT_EQ(text.canonical, "<r>a&#10;b</r>");
    }
    // A carriage return at the end of a buffer still pairs with the line feed after it.
    std::string doc = "<r>" + std::string(MinBufferSize - 4, 'a') + "\r\nb</r>";
    EXPECT_EQ(load(doc, MinBufferSize).canonical, "<r>" + std::string(MinBufferSize - 4, 'a') + "&#10;b</r>");
}

TEST(CharInput, SmallAndLargeBuffersReadIdentically)
{
    std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE root [<!ENTITY e \"entity &#233; text\">]>\n<root>";
    for (int i = 0; doc.size() < 20000; ++i)
        doc += "<item n=\"" + std::to_string(i) + "\" t=\"caf\xC3\xA9 &amp; \xF0\x9F\x98\x80\">text &e; " +
            std::to_string(i) + "<![CDATA[ <cdata> ]]><!-- c --><?pi x?></item>\r\n";
    doc += "</root>";
    Loaded small = load(doc, 8192);
    Loaded tiny = load(doc, MinBufferSize);
    Loaded large = load(doc, doc.size() * 2);
    ASSERT_TRUE(small.ok) << small.error;
    EXPECT_EQ(small.canonical, large.canonical);
    EXPECT_EQ(tiny.canonical, large.canonical);
    // An error far into the file reports the same place whatever the buffer.
    std::string broken = doc.substr(0, doc.size() - 7) + "</rooT>";
    EXPECT_EQ(load(broken, 8192).position, load(broken, broken.size() * 2).position);
}

TEST(CharInput, MissingSourceGivesOneLine)
{
    ScratchDir dir;
    TXpObjModel model;
    std::string name = dir.Path() + "/absent.xml";
    EXPECT_FALSE(model.LoadDocumentFile(name));
    ASSERT_EQ(model.Errors().size(), 1u);
    EXPECT_EQ(model.Errors()[0], "File " + name + " could not be found");
    EXPECT_EQ(model.documentElement(), nullptr);
    // A folder is not a source either.
    EXPECT_FALSE(model.LoadDocumentFile(dir.Path()));
    EXPECT_EQ(model.Errors()[0], "File " + dir.Path() + " could not be found");
}

TEST(CharInput, NamesResolveAgainstTheParentLocation)
{
    TXpDirContext local;
    local.Directory = "/srv/project/";
    local.FileName = "screen.xml";
    TXpDirContext web;
    web.Kind = TXpDirKind::Http;
    web.Directory = "host:8080/dir/";
    web.FileName = "doc.xml";
    struct Row {
        const TXpDirContext* parent;
        const char* name;
        TXpDirKind kind;
        const char* directory;
        const char* file;
        const char* onDrives = nullptr;
    } rows[] = {
        {&local, "a.dtd", TXpDirKind::Local, "/srv/project/", "a.dtd"},
        {&local, "sub/a.dtd", TXpDirKind::Local, "/srv/project/sub/", "a.dtd"},
        {&local, "/etc/a.dtd", TXpDirKind::Local, "/etc/", "a.dtd"},
        {&local, "file:///etc/a.dtd", TXpDirKind::Local, "/etc/", "a.dtd"},
        {&local, "HTTP://h/x/y.dtd", TXpDirKind::Http, "h/x/", "y.dtd"},
        {&local, "ftp://h/y.dtd", TXpDirKind::Ftp, "h/", "y.dtd"},
        {&web, "a.dtd", TXpDirKind::Http, "host:8080/dir/", "a.dtd"},
        {&web, "../a.dtd", TXpDirKind::Http, "host:8080/dir/../", "a.dtd"},
        {&web, "/top/a.dtd", TXpDirKind::Http, "host:8080/top/", "a.dtd"},
        // Names written on Windows: "\\" separates, and a drive or share path names itself where
        // the system has drives, else the file of that name beside the referencing document.
        {&local, "dtd\\a.dtd", TXpDirKind::Local, "/srv/project/dtd/", "a.dtd"},
        {&local, "..\\shared\\a.dtd", TXpDirKind::Local, "/srv/project/../shared/", "a.dtd"},
        {&local, "C:\\VelmScreen\\a.dtd", TXpDirKind::Local, "/srv/project/", "a.dtd", "C:/VelmScreen/"},
        {&local, "\\\\server\\share\\a.dtd", TXpDirKind::Local, "/srv/project/", "a.dtd", "//server/share/"},
        {&local, "file:///C:/VelmScreen/a.dtd", TXpDirKind::Local, "/srv/project/", "a.dtd", "C:/VelmScreen/"},
        {&web, "sub\\a.dtd", TXpDirKind::Http, "host:8080/dir/sub/", "a.dtd"},
    };
    const bool drives = IsAbsolutePath("C:\\");
    for (const auto& row : rows) {
        TXpDirContext loc = TXpDirContext::Resolve(row.parent, row.name);
        EXPECT_EQ(loc.Kind, row.kind) << row.name;
        EXPECT_EQ(loc.Directory, drives && row.onDrives ? row.onDrives : row.directory) << row.name;
        EXPECT_EQ(loc.FileName, row.file) << row.name;
    }
    EXPECT_THROW(TXpDirContext::Resolve(&web, "file:///etc/passwd"), EXpException);
    EXPECT_THROW(TXpDirContext::Resolve(&web, "C:\\x.dtd"), EXpException);
    // Without a parent a relative name is taken from the current directory.
    TXpDirContext bare = TXpDirContext::Resolve(nullptr, "screen.xml");
    EXPECT_EQ(bare.Directory, std::filesystem::current_path().generic_string() + "/");
}

}  // namespace
}  // namespace velmora

#include "xml/reader/XpParser.h"

#include <algorithm>
#include <cstdio>

#include "xml/reader/XpExcept.h"

namespace velmora {

namespace {

// ASCII characters that end a name without being part of it.
struct NameTerminators {
    bool table[128] = {};
    NameTerminators()
    {
        for (int c : {0x00, 0x01, 0x09, 0x0A, 0x0D, 0x20, 0x22, 0x25, 0x26, 0x27, 0x29,
                      0x2A, 0x2B, 0x2C, 0x2F, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x5B, 0x7C})
            table[c] = true;
    }
};
const NameTerminators kTerminators;

std::string quotedChar(uint32_t c)
{
    WideString text;
    AppendCodePoint(text, c);
    return XpQuoted(text);
}

std::string formatErrorLine(const std::string& file, int line, int column, const std::string& message)
{
    return "File: " + file + ". Line: " + std::to_string(line) + " Col: " + std::to_string(column) +
        " Error: " + message;
}

}  // namespace

TXpParser::TXpParser()
{
    m_data.reserve(1024);
    m_literal.reserve(256);
    m_name.reserve(20);
}

TXpParser::~TXpParser()
{
    for (const auto& file : m_tempFiles)
        std::remove(file.c_str());
}

TXpCharEncoding TXpParser::InputEncoding() const
{
    return m_inputs.empty() ? m_lastEncoding : m_inputs.front().input->Encoding();
}

// ---------------------------------------------------------------------------------------------
// Parsing a source

bool TXpParser::ParseSource(const std::string& name)
{
    m_errors.clear();
    return ParseInput(XpOpenSource(nullptr, name, BufferSize, m_errors, Password, UserName, m_tempFiles));
}

bool TXpParser::ParseMemory(const std::string& bytes, const std::string& name)
{
    m_errors.clear();
    auto location = std::make_unique<TXpDirContext>(TXpDirContext::Resolve(nullptr, name));
    return ParseInput(
        std::make_unique<TXpInCharFilter>(std::make_unique<TXpMemoryStream>(bytes), BufferSize, std::move(location)));
}

bool TXpParser::ParseInput(std::unique_ptr<TXpInCharFilter> input)
{
    m_docLocation = input->Location()->Directory;
    m_docName = input->Location()->FileName;
    ResetState();
    PushInput(std::move(input), WideString());

    struct Guard {
        TXpParser& parser;
        ~Guard() { parser.Cleanup(); }
    } guard{*this};

    if (OnStartDocument)
        OnStartDocument();
    try {
        ParseDocument();
    } catch (const EXpParserError& e) {
        RecordError(e.FileLocation(), e.Line(), e.Column(), e.Message());
        if (RaiseErrors) {
            if (OnEndDocument)
                OnEndDocument();
            throw;
        }
    } catch (const EXpFilterError& e) {
        RecordError(ErrorLocation(), e.Line(), e.Column(), e.Message());
        if (RaiseErrors) {
            if (OnEndDocument)
                OnEndDocument();
            throw;
        }
    }
    if (OnEndDocument)
        OnEndDocument();
    return m_errors.empty();
}

void TXpParser::RecordError(const std::string& file, int line, int column, const std::string& message)
{
    m_errors.push_back(formatErrorLine(file, line, column, message));
}

void TXpParser::ResetState()
{
    m_dtd.Clear();
    m_inputs.clear();
    m_cur = nullptr;
    m_floor = 0;
    m_closedBytes = 0;
    m_expandedBytes = 0;
    m_data.clear();
    m_literal.clear();
    m_depth = 0;
    m_attrCount = 0;
    m_markupSeen = false;
    m_rootSeen = false;
    m_inCData = false;
    m_inDTD = false;
    m_preserve = false;
    m_contentType = ctAny;
    m_declDepth = 0;
    static const std::pair<const char16_t*, const char16_t*> kPredefined[] = {{u"amp", u"&#38;"},
                                                                              {u"lt", u"&#60;"},
                                                                              {u"gt", u"&#62;"},
                                                                              {u"apos", u"&#39;"},
                                                                              {u"quot", u"&#34;"}};
    for (auto [entityName, text] : kPredefined) {
        TXpEntityInfo info;
        info.Name = entityName;
        info.Kind = ekInternal;
        info.Value = std::make_shared<const WideString>(text);
        m_dtd.DeclareEntity(std::move(info));
    }
}

void TXpParser::Cleanup()
{
    if (!m_inputs.empty())
        m_lastEncoding = m_inputs.front().input->Encoding();
    m_inputs.clear();
    m_cur = nullptr;
    m_dtd.Clear();
    m_data.clear();
    m_literal.clear();
    m_depth = 0;
}

// ---------------------------------------------------------------------------------------------
// Inputs

void TXpParser::PushInput(std::unique_ptr<TXpInCharFilter> input, const WideString& entityName)
{
    if (m_inputs.size() > MaxEntityDepth)
        Fail(FormatMessage(SEntityNestingTooDeep, {std::to_string(MaxEntityDepth)}));
    m_inputs.push_back({std::move(input), entityName, ++m_inputSerial});
    m_cur = m_inputs.back().input.get();
}

void TXpParser::PopInput()
{
    if (!m_cur->IsText())
        m_closedBytes += m_cur->BytesRead();
    m_inputs.pop_back();
    m_cur = m_inputs.back().input.get();
}

int64_t TXpParser::InputBytesRead() const
{
    int64_t total = m_closedBytes;
    for (const auto& frame : m_inputs)
        if (!frame.input->IsText())
            total += frame.input->BytesRead();
    return total;
}

void TXpParser::CheckCircular(const WideString& name)
{
    for (const auto& frame : m_inputs)
        if (!frame.entityName.empty() && frame.entityName == name)
            Fail(SCircularReference + ToUtf8(name));
}

void TXpParser::PushEntityText(const TXpEntityInfo& entity, bool padded)
{
    CheckCircular(entity.Name);
    const WideString& text = *entity.Value;
    m_expandedBytes += static_cast<int64_t>(text.size() * sizeof(WideChar));
    if (m_expandedBytes > EntityExpansionMinBytes && m_expandedBytes > EntityExpansionMaxRatio * InputBytesRead())
        Fail(SEntityExpansionLimit);
    PushInput(TXpInCharFilter::FromText(padded ? u" " + text + u" " : text), entity.Name);
}

void TXpParser::PushExternal(const WideString& systemId, const WideString& entityName, const TXpDirContext* parent,
                             bool padded)
{
    if (!entityName.empty())
        CheckCircular(entityName);
    std::unique_ptr<TXpInCharFilter> input;
    if (!parent)
        parent = FileInput().Location();
    try {
        input = XpOpenSource(parent, ToUtf8(systemId), BufferSize, m_errors, Password, UserName, m_tempFiles);
    } catch (const EXpParserError& e) {
        Fail(e.Message());
    }
    if (padded)
        PushInput(TXpInCharFilter::FromText(u" "), WideString());
    PushInput(std::move(input), entityName);
    SkipTextDeclaration();
    if (padded)
        PushInput(TXpInCharFilter::FromText(u" "), WideString());
}

// An external entity or subset may begin with a text declaration, which only sets its encoding.
void TXpParser::SkipTextDeclaration()
{
    if (!m_cur->Fill(6))
        return;
    const WideChar* p = m_cur->Chars() + m_cur->Pos();
    if (WideView(p, 5) != u"<?xml" || !xpchar::IsWhitespace(p[5]))
        return;
    m_cur->SetPos(m_cur->Pos() + 5);
    ParseXmlDeclaration(true);
}

int TXpParser::PeekSlow()
{
    for (;;) {
        if (m_cur->Fill())
            return m_cur->Chars()[m_cur->Pos()];
        if (m_inputs.size() <= m_floor + 1)
            return -1;
        PopInput();
    }
}

// ---------------------------------------------------------------------------------------------
// Primitives

// Inside an entity's replacement text, errors point into the file that the reference stood in,
// just after the reference, so that every error line names a file and a place in it.
TXpInCharFilter& TXpParser::FileInput() const
{
    for (auto it = m_inputs.rbegin(); it != m_inputs.rend(); ++it)
        if (it->input->Location())
            return *it->input;
    return *m_cur;
}

std::string TXpParser::ErrorLocation() const
{
    const TXpDirContext* location = FileInput().Location();
    return location ? location->FullLocation() : std::string();
}

void TXpParser::Fail(const std::string& message, int columnOffset)
{
    TXpInCharFilter& input = FileInput();
    throw EXpParserError(message, ErrorLocation(), input.Line(), std::max(1, input.Column() + columnOffset));
}

bool TXpParser::TryMatch(WideView text)
{
    if (Peek() < 0)
        return false;
    return m_cur->TryMatch(text);
}

bool TXpParser::LookingAt(WideView text)
{
    return Peek() >= 0 && m_cur->Fill(text.size()) && WideView(m_cur->Chars() + m_cur->Pos(), text.size()) == text;
}

void TXpParser::Require(WideView text)
{
    if (TryMatch(text))
        return;
    if (text.size() == 1 && TryMatch(u"&#")) {
        if (ReadCharRef() == text[0])
            return;
    }
    Fail(SExpectedString + XpQuoted(text));
}

bool TXpParser::SkipWhitespace()
{
    bool skipped = false;
    for (;;) {
        int c = Peek();
        if (c < 0 || !xpchar::IsWhitespace(static_cast<uint32_t>(c)))
            return skipped;
        const WideChar* chars = m_cur->Chars();
        size_t p = m_cur->Pos();
        const size_t e = m_cur->End();
        while (p < e && xpchar::IsWhitespace(chars[p]))
            ++p;
        m_cur->SetPos(p);
        skipped = true;
    }
}

void TXpParser::RequireWhitespace()
{
    int c = Peek();
    if (c < 0 || !xpchar::IsWhitespace(static_cast<uint32_t>(c)))
        Fail(std::string(SWhitespaceExpected) + "Line: " + std::to_string(FileInput().Line()) +
             " Position: " + std::to_string(FileInput().Column()));
    SkipWhitespace();
}

void TXpParser::Eq()
{
    if (Peek() == '=') {
        Consume();
    } else {
        SkipWhitespace();
        Require(u"=");
    }
    int c = Peek();
    if (c >= 0 && xpchar::IsWhitespace(static_cast<uint32_t>(c)))
        SkipWhitespace();
}

void TXpParser::ReadName(WideString& out, bool first)
{
    out.clear();
    if (m_inDTD && Peek() == '%') {
        Consume();
        ExpandParameterEntity();
        SkipWhitespace();
    }
    const uint8_t* ascii = xpchar::detail::kAsciiClass;
    for (;;) {
        if (Peek() < 0)
            return;
        const WideChar* chars = m_cur->Chars();
        const size_t start = m_cur->Pos();
        const size_t e = m_cur->End();
        size_t p = start;
        if (first && out.empty()) {
            WideChar c = chars[p];
            bool ok = c < 128 ? (ascii[c] & xpchar::kNameStart) != 0 : xpchar::IsNameStart(c);
            if (!ok) {
                if (c < 128 && kTerminators.table[c])
                    return;
                Fail(SInvalidName + quotedChar(c));
            }
            ++p;
        }
        while (p < e) {
            WideChar c = chars[p];
            if (c < 128 ? (ascii[c] & xpchar::kNameChar) != 0 : xpchar::IsNameChar(c))
                ++p;
            else
                break;
        }
        out.append(chars + start, p - start);
        m_cur->SetPos(p);
        if (p < e) {
            WideChar c = chars[p];
            if (c < 128 && kTerminators.table[c])
                return;
            Fail(SInvalidName + quotedChar(c));
        }
    }
}

WideString TXpParser::ReadName(bool first)
{
    WideString name;
    ReadName(name, first);
    return name;
}

// ---------------------------------------------------------------------------------------------
// The document

void TXpParser::ParseDocument()
{
    m_markupSeen = false;
    ParseMisc();
    if (TryMatch(u"<!DOCTYPE")) {
        m_markupSeen = true;
        ParseDocTypeDecl();
        ParseMisc();
    }
    Require(u"<");
    m_rootSeen = true;
    ParseStartTag();
    ParseContent();
    ParseMisc();
    SkipWhitespace();
    if (Peek() >= 0)
        Fail(SDataAfterDocument);
}

void TXpParser::ParseMisc()
{
    for (;;) {
        SkipWhitespace();
        if (TryMatch(u"<?")) {
            ParseProcessingInstruction();
            m_markupSeen = true;
        } else if (TryMatch(u"<!--")) {
            ParseComment();
            m_markupSeen = true;
        } else {
            return;
        }
    }
}

void TXpParser::ParseProcessingInstruction()
{
    WideString target = ReadName(true);
    if (target == u"xml") {
        ParseXmlDeclaration(false);
        return;
    }
    if (target.empty())
        Fail(SInvalidPITarget + XpQuoted(target));
    m_markupSeen = true;
    WideString data;
    if (!TryMatch(u"?>")) {
        RequireWhitespace();
        ScanUntil(u"?>", data);
    }
    if (OnProcessingInstruction)
        OnProcessingInstruction(target, data);
}

void TXpParser::ParseXmlDeclaration(bool textDeclaration)
{
    if (!textDeclaration && (m_markupSeen || m_rootSeen || m_inputs.size() > 1))
        Fail(SXmlDeclPosition);
    SkipWhitespace();
    WideString version, encoding, standalone;
    bool hasVersion = false, hasEncoding = false, hasStandalone = false;
    if (!textDeclaration || TryMatch(u"version")) {
        if (!textDeclaration)
            Require(u"version");
        Eq();
        ReadLiteral(lkPlain);
        version = m_literal;
        hasVersion = true;
        for (WideChar c : version)
            if (!((c >= u'A' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u':'))
                Fail(SInvalidVersion + XpQuoted(version));
        if (version != u"1.0")
            Fail(FormatMessage(SUnsupportedVersion, {"1.0"}));
        if (Peek() == '?')
            SkipWhitespace();
        else
            RequireWhitespace();
    }
    if (TryMatch(u"encoding")) {
        Eq();
        ReadLiteral(lkCDataAttribute);
        encoding = m_literal;
        hasEncoding = true;
        auto letter = [](WideChar c) { return c >= u'A' && c <= u'z'; };
        bool valid = !encoding.empty() && letter(encoding[0]);
        for (WideChar c : encoding)
            valid =
                valid && (letter(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u'=' || c == u'_');
        if (!valid)
            Fail(SInvalidEncoding + XpQuoted(encoding));
        ApplyEncodingDeclaration(encoding);
        SkipWhitespace();
    }
    if (!textDeclaration && TryMatch(u"standalone")) {
        Eq();
        ReadLiteral(lkCDataAttribute);
        standalone = m_literal;
        hasStandalone = true;
        if (standalone != u"yes" && standalone != u"no")
            Fail(SInvalidStandalone);
        SkipWhitespace();
    }
    Require(u"?>");
    m_literal.clear();
    if (textDeclaration)
        return;
    WideString data;
    auto add = [&](bool present, const char16_t* pseudo, const WideString& value) {
        if (!present)
            return;
        if (!data.empty())
            data += u' ';
        data += pseudo;
        data += u"=\"";
        data += value;
        data += u'"';
    };
    add(hasVersion, u"version", version);
    add(hasEncoding, u"encoding", encoding);
    add(hasStandalone, u"standalone", standalone);
    if (OnProcessingInstruction)
        OnProcessingInstruction(u"xml", data);
}

// A byte-order mark or a UTF-16 start has the last word; otherwise the declared label decides how
// the rest of the input is decoded, and a label the reader cannot decode ends the parse here
// rather than with a decoding error further on.
void TXpParser::ApplyEncodingDeclaration(const WideString& label)
{
    if (m_cur->EncodingFixed())
        return;
    TXpCharEncoding encoding = XpEncodingOfLabel(label);
    if (encoding == TXpCharEncoding::ceUnknown)
        Fail(SUnsupportedEncoding + XpQuoted(label));
    m_cur->SetEncoding(encoding);
}

// Reads up to the delimiter within the current input, which must hold it.
void TXpParser::ScanUntil(WideView delimiter, WideString& out)
{
    out.clear();
    for (;;) {
        if (!m_cur->Fill()) {
            Fail(SEndOfInputDelimiter + XpQuoted(delimiter));
        }
        const WideChar* chars = m_cur->Chars();
        size_t p = m_cur->Pos();
        const size_t e = m_cur->End();
        const WideChar first = delimiter[0];
        size_t start = p;
        while (p < e && chars[p] != first)
            ++p;
        out.append(chars + start, p - start);
        m_cur->SetPos(p);
        if (p < e) {
            if (m_cur->TryMatch(delimiter))
                return;
            out.push_back(first);
            m_cur->Consume();
        }
    }
}

void TXpParser::ParseComment()
{
    WideString text;
    ScanUntil(u"-->", text);
    if (text.find(u"--") != WideString::npos || (!text.empty() && text.back() == u'-'))
        Fail(SInvalidComment);
    if (OnComment)
        OnComment(text);
}

void TXpParser::ParseCData()
{
    m_inCData = true;
    ScanUntil(u"]]>", m_data);
    Flush();
    m_inCData = false;
}

// ---------------------------------------------------------------------------------------------
// Elements

void TXpParser::ParseStartTag()
{
    ReadName(m_name, true);
    if (m_name.empty())
        Fail(SInvalidElementName + XpQuoted(m_name));
    TXpElementInfo* info = m_dtd.FindElement(m_name);
    int contentType = info ? info->ContentType : ctUndeclared;
    if (contentType == ctUndeclared)
        contentType = ctAny;

    XmlSpace xmlSpace;
    ReadAttributes(info, xmlSpace);
    if (info)
        ReportDefaultAttributes(*info, xmlSpace);
    bool preserve = PreserveSpaceFor(xmlSpace);

    int c = Peek();
    Consume();
    if (c == '/') {
        Require(u">");
        if (OnStartElement)
            OnStartElement(m_name);
        if (OnEndElement)
            OnEndElement(m_name);
        return;
    }
    OpenElement(contentType, preserve);
}

// Attributes up to the "/" or ">" that ends the tag.
void TXpParser::ReadAttributes(const TXpElementInfo* info, XmlSpace& xmlSpace)
{
    m_attrCount = 0;
    SkipWhitespace();
    for (;;) {
        int c = Peek();
        if (c == '/' || c == '>')
            return;
        // At the end of input the tag still lacks an attribute's "=".
        if (c < 0)
            Fail(SExpectedString + XpQuoted(u"="));
        ReadAttribute(info, xmlSpace);
        SkipWhitespace();
    }
}

void TXpParser::ReadAttribute(const TXpElementInfo* info, XmlSpace& xmlSpace)
{
    if (m_attrNames.size() <= m_attrCount) {
        m_attrNames.emplace_back();
        m_attrHashes.push_back(0);
    }
    WideString& name = m_attrNames[m_attrCount];
    ReadName(name, true);
    if (name.empty())
        Fail(SInvalidAttributeName + XpQuoted(name));
    size_t hash = XpCaseFoldHash(name);
    for (size_t i = 0; i < m_attrCount; ++i)
        if (m_attrHashes[i] == hash && XpSameTextIgnoringCase(m_attrNames[i], name))
            Fail(SAttributeRedefined);
    m_attrHashes[m_attrCount] = hash;
    ++m_attrCount;
    int type = atNone;
    if (info) {
        if (auto* definition = const_cast<TXpElementInfo*>(info)->FindAttribute(name))
            type = definition->AttrType;
    }
    Eq();
    ReadLiteral(type <= atCDATA ? lkCDataAttribute : lkAttribute);
    if (name == u"xml:space") {
        xmlSpace.value = m_literal;
        xmlSpace.present = true;
    }
    if (OnAttribute)
        OnAttribute(name, m_literal, true);
    m_literal.clear();
}

// The DTD's defaults of the attributes that the tag does not give, in the definitions' order.
void TXpParser::ReportDefaultAttributes(TXpElementInfo& info, XmlSpace& xmlSpace)
{
    for (auto& definition : info.Attributes) {
        bool given = false;
        for (size_t i = 0; i < m_attrCount && !given; ++i)
            given = m_attrNames[i] == definition.Name;
        if (given)
            continue;
        const WideString& value = DefaultValue(definition);
        if (value.empty())
            continue;
        if (!xmlSpace.present && definition.Name == u"xml:space") {
            xmlSpace.value = value;
            xmlSpace.present = true;
        }
        if (OnAttribute)
            OnAttribute(definition.Name, value, false);
    }
}

// The element's preserve-space flag: inherited, set by xml:space, and last the owner's say.
bool TXpParser::PreserveSpaceFor(const XmlSpace& xmlSpace)
{
    bool preserve = m_preserve;
    if (xmlSpace.present) {
        if (xmlSpace.value == u"preserve")
            preserve = true;
        else if (xmlSpace.value == u"default")
            preserve = !NormalizeData;
    }
    if (OnPreserveSpace)
        OnPreserveSpace(m_name, preserve);
    return preserve;
}

void TXpParser::OpenElement(int contentType, bool preserve)
{
    if (m_depth >= MaxElementDepth)
        Fail(FormatMessage(SNestingTooDeep, {std::to_string(MaxElementDepth)}));
    if (m_elements.size() <= m_depth)
        m_elements.emplace_back();
    ElementFrame& frame = m_elements[m_depth++];
    frame.name = m_name;
    frame.contentType = contentType;
    frame.preserve = preserve;
    m_contentType = contentType;
    m_preserve = preserve;
    if (OnStartElement)
        OnStartElement(frame.name);
}

void TXpParser::ParseEndTag()
{
    ReadName(m_name, true);
    const ElementFrame& frame = m_elements[m_depth - 1];
    if (m_name != frame.name)
        Fail(std::string(SMismatchedEndTag) + "Start tag = \"" + ToUtf8(frame.name) + "\" End tag = \"" +
             ToUtf8(m_name) + "\"");
    SkipWhitespace();
    Require(u">");
    --m_depth;
    if (m_depth > 0) {
        m_contentType = m_elements[m_depth - 1].contentType;
        m_preserve = m_elements[m_depth - 1].preserve;
    } else {
        m_contentType = ctAny;
        m_preserve = false;
    }
    if (OnEndElement)
        OnEndElement(m_name);
}

void TXpParser::ParseContent()
{
    while (m_depth > 0) {
        if (m_contentType == ctAny || m_contentType == ctMixed)
            ReadCharData();
        else if (m_contentType == ctElements)
            ReadWhitespaceData();
        int c = Peek();
        if (c < 0)
            Fail(SUnexpectedEof);
        if (c == '&') {
            Consume();
            if (TryMatch(u"#"))
                AppendCharRef(m_data);
            else
                ExpandEntityInContent();
            continue;
        }
        if (c != '<')
            Fail(SExpectedElement);
        Consume();
        int next = Peek();
        Flush();
        if (next == '!') {
            Consume();
            int kind = Peek();
            if (kind == '-') {
                Consume();
                Require(u"-");
                ParseComment();
            } else if (kind == '[') {
                Consume();
                Require(u"CDATA[");
                ParseCData();
            } else {
                WideString shown;
                if (kind >= 0)
                    shown.push_back(static_cast<WideChar>(kind));
                Fail(SExpectedCommentOrCData + ("(" + ToUtf8(shown) + ")"));
            }
        } else if (next == '?') {
            Consume();
            ParseProcessingInstruction();
        } else if (next == '/') {
            Consume();
            ParseEndTag();
        } else {
            ParseStartTag();
        }
    }
}

void TXpParser::ReadCharData()
{
    const bool trimLeading = NormalizeData && !m_preserve;
    for (;;) {
        if (Peek() < 0)
            return;
        const WideChar* chars = m_cur->Chars();
        size_t p = m_cur->Pos();
        const size_t e = m_cur->End();
        if (trimLeading && m_data.empty()) {
            while (p < e && xpchar::IsWhitespace(chars[p]))
                ++p;
        }
        size_t start = p;
        p = static_cast<size_t>(XpFindAny(chars + p, chars + e, u'<', u'&', u']', u'<') - chars);
        m_data.append(chars + start, p - start);
        m_cur->SetPos(p);
        if (p == e)
            continue;
        if (chars[p] != u']')
            return;
        if (m_cur->Fill(3) && WideView(m_cur->Chars() + m_cur->Pos(), 3) == u"]]>")
            Fail(SInvalidCharData + XpQuoted(u"]]>"));
        m_data.push_back(u']');
        m_cur->Consume();
    }
}

void TXpParser::ReadWhitespaceData()
{
    for (;;) {
        int c = Peek();
        if (c < 0 || !xpchar::IsWhitespace(static_cast<uint32_t>(c)))
            return;
        m_data.push_back(static_cast<WideChar>(c));
        Consume();
    }
}

void TXpParser::NormalizeBuffer(WideString& text) const
{
    size_t out = 0;
    bool pendingSpace = false;
    for (WideChar c : text) {
        if (xpchar::IsWhitespace(c)) {
            pendingSpace = out > 0;
            continue;
        }
        if (pendingSpace) {
            text[out++] = u' ';
            pendingSpace = false;
        }
        text[out++] = c;
    }
    text.resize(out);
}

void TXpParser::Flush()
{
    if (m_data.empty())
        return;
    if (NormalizeData && !m_inCData && !m_preserve)
        NormalizeBuffer(m_data);
    if (!m_data.empty()) {
        if (m_contentType == ctAny || m_contentType == ctMixed) {
            if (m_inCData) {
                if (OnCDATASection)
                    OnCDATASection(m_data);
            } else if (OnCharData) {
                OnCharData(m_data);
            }
        } else if (m_contentType == ctElements && OnIgnorableWhitespace) {
            OnIgnorableWhitespace(m_data);
        }
    }
    m_data.clear();
}

}  // namespace velmora

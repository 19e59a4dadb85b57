// The document type declaration side of TXpParser: the internal and external subsets, the
// markup declarations in them and the tables they fill.
#include "xml/reader/XpExcept.h"
#include "xml/reader/XpParser.h"

namespace velmora {

// One name or group of a content model.
struct TXpParser::Particle {
    bool isGroup = false;
    WideString name;
    int occurrence = 0;
    int relation = 1;
    std::vector<std::unique_ptr<Particle>> children;

    WideString Text() const
    {
        static const char16_t* kOccurrence[] = {u"", u"?", u"*", u"+"};
        if (!isGroup)
            return name + kOccurrence[occurrence];
        WideString text = u"(";
        for (size_t i = 0; i < children.size(); ++i) {
            if (i > 0)
                text += relation == 1 ? u',' : u'|';
            text += children[i]->Text();
        }
        return text + u")" + kOccurrence[occurrence];
    }
};

namespace {

struct DepthGuard {
    size_t& depth;
    ~DepthGuard() { --depth; }
};

}  // namespace

void TXpParser::ParseDocTypeDecl()
{
    m_inDTD = true;
    m_declInternal = true;
    RequireWhitespace();
    WideString name = ReadName(true);
    SkipWhitespace();
    WideString publicId, systemId;
    ParseExternalId(publicId, systemId, false);
    SkipWhitespace();
    if (OnDTDStart)
        OnDTDStart(name, publicId, systemId);
    if (TryMatch(u"["))
        ReadDeclarations(u"]");
    if (!systemId.empty() && ReadExternals)
        ParseExternalSubset(systemId);
    if (!systemId.empty()) {
        // With an external subset, further declarations are taken before the ">".
        ReadDeclarations(u">");
    } else {
        SkipWhitespace();
        Require(u">");
    }
    m_inDTD = false;
    if (OnDTDEnd)
        OnDTDEnd();
    if (OnDocTypeDecl)
        OnDocTypeDecl(name, publicId, systemId);
}

void TXpParser::ParseExternalSubset(const WideString& systemId)
{
    WideString file = systemId;
    if (OnDTDExternalStart)
        OnDTDExternalStart(file);
    m_markupSeen = false;
    const size_t savedFloor = m_floor;
    PushExternal(file, WideString(), m_inputs.front().input->Location());
    const size_t subset = m_inputs.size() - 1;
    m_floor = subset;
    if (OnDTDExternalOpened)
        OnDTDExternalOpened(m_cur->Location()->Directory);
    ReadDeclarations(u"");
    while (m_inputs.size() > subset)
        PopInput();
    m_floor = savedFloor;
    m_markupSeen = true;
    if (OnDTDExternalEnd)
        OnDTDExternalEnd();
}

void TXpParser::ReadDeclarations(WideView end)
{
    for (;;) {
        SkipWhitespace();
        if (Peek() == '%') {
            Consume();
            ExpandParameterEntity();
            continue;
        }
        if (end.empty() ? Peek() < 0 : TryMatch(end))
            return;
        ParseMarkupDecl();
    }
}

// Declarations read from the document itself follow the internal subset's rules; those read
// from the external subset or an external parameter entity (also one that the internal subset
// references) follow the external rules.
bool TXpParser::InInternalSubset() const
{
    return &FileInput() == m_inputs.front().input.get();
}

void TXpParser::ParseMarkupDecl()
{
    if (++m_declDepth > MaxDeclarationDepth)
        Fail(FormatMessage(SDeclarationsTooDeep, {std::to_string(MaxDeclarationDepth)}));
    DepthGuard guard{m_declDepth};
    if (Peek() >= 0) {
        m_declInput = m_inputs.back().serial;
        m_declInternal = InInternalSubset();
    }
    if (TryMatch(u"<!ELEMENT")) {
        ParseElementDecl();
    } else if (TryMatch(u"<!ATTLIST")) {
        ParseAttlistDecl();
    } else if (TryMatch(u"<!ENTITY")) {
        ParseEntityDecl();
    } else if (TryMatch(u"<!NOTATION")) {
        ParseNotationDecl();
    } else if (TryMatch(u"<?")) {
        ParseProcessingInstruction();
    } else if (TryMatch(u"<!--")) {
        ParseComment();
    } else if (TryMatch(u"<![")) {
        if (m_declInternal)
            Fail(SConditionalInInternal);
        ParseConditional();
    } else {
        WideString found;
        while (found.size() < 32) {
            int c = Peek();
            if (c < 0 || xpchar::IsWhitespace(static_cast<uint32_t>(c)))
                break;
            found.push_back(static_cast<WideChar>(c));
            Consume();
        }
        Fail(SExpectedMarkupDecl + ToUtf8(found));
    }
}

// Whitespace between the parts of a declaration; outside the internal subset also the
// parameter-entity references that may stand there, each read with a space on either side.
// A "%" before whitespace (a parameter entity's declaration) is no reference.
bool TXpParser::SkipDeclSpace()
{
    bool skipped = SkipWhitespace();
    while (AtPEReferenceInDeclaration()) {
        Consume();
        ExpandParameterEntity();
        SkipWhitespace();
        skipped = true;
    }
    return skipped;
}

bool TXpParser::AtPEReferenceInDeclaration()
{
    return !m_declInternal && Peek() == '%' && m_cur->Fill(2) && xpchar::IsNameStart(m_cur->Chars()[m_cur->Pos() + 1]);
}

void TXpParser::RequireDeclSpace()
{
    if (!SkipDeclSpace())
        RequireWhitespace();
}

// The ">" of a declaration, which must come from the entity that the declaration began in.
void TXpParser::EndDeclaration()
{
    if (Peek() == '>' && m_inputs.back().serial != m_declInput)
        Fail(SDeclarationAcrossEntities);
    Require(u">");
}

void TXpParser::SkipPEReferences(bool checkNesting)
{
    while (Peek() == '%') {
        Consume();
        ExpandParameterEntity(checkNesting);
        SkipWhitespace();
    }
}

// Answers whether there was an external identifier ("PUBLIC" or "SYSTEM") at all.
bool TXpParser::ParseExternalId(WideString& publicId, WideString& systemId, bool notation)
{
    if (TryMatch(u"PUBLIC")) {
        RequireDeclSpace();
        ReadLiteral(lkPublicId);
        publicId = m_literal;
        for (WideChar c : publicId)
            if (!xpchar::IsPubidChar(c))
                Fail(SInvalidPublicIdChar + XpQuoted(WideString(1, c)));
        if (notation) {
            SkipDeclSpace();
            if (Peek() == '"' || Peek() == '\'') {
                ReadLiteral(lkPlain);
                systemId = m_literal;
            }
        } else {
            RequireDeclSpace();
            ReadLiteral(lkPlain);
            systemId = m_literal;
        }
    } else if (TryMatch(u"SYSTEM")) {
        RequireDeclSpace();
        ReadLiteral(lkPlain);
        systemId = m_literal;
    } else {
        return false;
    }
    m_literal.clear();
    return true;
}

int TXpParser::ReadOccurrence()
{
    if (TryMatch(u"?"))
        return 1;
    if (TryMatch(u"*"))
        return 2;
    if (TryMatch(u"+"))
        return 3;
    return 0;
}

void TXpParser::ParseElementDecl()
{
    RequireDeclSpace();
    WideString name = ReadName(true);
    if (name.empty())
        Fail(SInvalidName + XpQuoted(name));
    // A parameter entity that supplies the element's content model stands for the space before it;
    // it is expanded where the model begins, which checks its nesting.
    if (!AtPEReferenceInDeclaration())
        RequireWhitespace();
    int contentType = ctAny;
    std::unique_ptr<Particle> model;
    ParseContentSpec(contentType, model);
    SkipDeclSpace();
    SkipPEReferences(false);
    EndDeclaration();
    TXpElementInfo& entry = m_dtd.ElementEntry(name);
    entry.ContentType = contentType;
    entry.ContentModel = model ? model->Text() : contentType == ctEmpty ? u"EMPTY" : u"ANY";
    if (OnDTDElementStart)
        OnDTDElementStart(name, contentType);
    if (model)
        ReportParticle(*model);
    if (OnDTDElementEnd)
        OnDTDElementEnd(name);
}

// EMPTY, ANY, a mixed model "(#PCDATA ...)" or a model of element content; "#PCDATA" is also
// found when parameter entities supply it.
void TXpParser::ParseContentSpec(int& contentType, std::unique_ptr<Particle>& model)
{
    SkipPEReferences(true);
    if (TryMatch(u"EMPTY")) {
        contentType = ctEmpty;
        return;
    }
    if (TryMatch(u"ANY")) {
        contentType = ctAny;
        return;
    }
    Require(u"(");
    SkipSpaceInModel();
    if (TryMatch(u"#PCDATA")) {
        contentType = ctMixed;
        model = ParseMixedContent();
        return;
    }
    contentType = ctElements;
    model = ParseContentGroup(1);
    model->occurrence = ReadOccurrence();
}

// Whitespace in a content model, and the parameter-entity references that may stand there
// outside the internal subset.
void TXpParser::SkipSpaceInModel()
{
    SkipWhitespace();
    if (Peek() != '%')
        return;
    if (m_declInternal)
        Fail(SPEInInternalSubset);
    SkipPEReferences(false);
}

// After "(#PCDATA": names each after a "|", up to ")" and an optional "*".
std::unique_ptr<TXpParser::Particle> TXpParser::ParseMixedContent()
{
    auto model = std::make_unique<Particle>();
    model->isGroup = true;
    model->relation = 0;
    auto pcdata = std::make_unique<Particle>();
    pcdata->name = u"#PCDATA";
    model->children.push_back(std::move(pcdata));
    for (;;) {
        SkipSpaceInModel();
        if (TryMatch(u")"))
            break;
        Require(u"|");
        SkipSpaceInModel();
        auto child = std::make_unique<Particle>();
        child->name = ReadName(true);
        if (child->name.empty())
            Fail(SInvalidName + XpQuoted(child->name));
        model->children.push_back(std::move(child));
    }
    if (TryMatch(u"*"))
        model->occurrence = 2;
    return model;
}

// After "(": particles up to the matching ")".
std::unique_ptr<TXpParser::Particle> TXpParser::ParseContentGroup(size_t depth)
{
    if (depth > MaxDeclarationDepth)
        Fail(FormatMessage(SDeclarationsTooDeep, {std::to_string(MaxDeclarationDepth)}));
    auto group = std::make_unique<Particle>();
    group->isGroup = true;
    int relation = -1;
    for (;;) {
        SkipSpaceInModel();
        std::unique_ptr<Particle> child;
        if (TryMatch(u"(")) {
            child = ParseContentGroup(depth + 1);
        } else {
            child = std::make_unique<Particle>();
            child->name = ReadName(true);
            if (child->name.empty()) {
                int c = Peek();
                Fail(SInvalidName + XpQuoted(c < 0 ? WideString() : WideString(1, static_cast<WideChar>(c))));
            }
        }
        child->occurrence = ReadOccurrence();
        group->children.push_back(std::move(child));
        SkipSpaceInModel();
        int c = Peek();
        if (c == ')') {
            Consume();
            break;
        }
        int separator = c == ',' ? 1 : c == '|' ? 0 : -1;
        if (separator < 0 || (relation >= 0 && separator != relation)) {
            WideString shown;
            if (c >= 0)
                shown.push_back(static_cast<WideChar>(c));
            Fail(SBadSeparator + ToUtf8(shown));
        }
        relation = separator;
        Consume();
    }
    group->relation = relation < 0 ? 1 : relation;
    return group;
}

void TXpParser::ReportParticle(const Particle& group)
{
    if (OnDTDElementGroupStart)
        OnDTDElementGroupStart();
    for (const auto& child : group.children) {
        if (child->isGroup)
            ReportParticle(*child);
        else if (OnDTDElementContent)
            OnDTDElementContent(child->name, child->occurrence, group.relation);
    }
    if (OnDTDElementGroupEnd)
        OnDTDElementGroupEnd(group.occurrence, group.relation);
}

void TXpParser::ParseAttlistDecl()
{
    RequireDeclSpace();
    WideString element = ReadName(true);
    if (element.empty())
        Fail(SInvalidName + XpQuoted(element));
    if (OnDTDAttlistStart)
        OnDTDAttlistStart(element);
    for (;;) {
        SkipDeclSpace();
        SkipPEReferences(false);
        int c = Peek();
        if (c == '>')
            break;
        if (c < 0)
            Fail(SUnexpectedEof);
        TXpAttributeInfo& stored = m_dtd.ElementEntry(element).SetAttribute(ParseAttributeDefinition(element));
        if (OnDTDAttDefinition)
            OnDTDAttDefinition(stored.Name, stored.AttrType, stored.Enumeration, stored.ValueType, stored.DefaultText);
    }
    EndDeclaration();
    if (OnDTDAttlistEnd)
        OnDTDAttlistEnd();
}

TXpAttributeInfo TXpParser::ParseAttributeDefinition(const WideString& element)
{
    TXpAttributeInfo info;
    int first = Peek();
    info.Name = ReadName(true);
    if (info.Name.empty())
        Fail(SInvalidName + XpQuoted(WideString(1, static_cast<WideChar>(first))));
    RequireDeclSpace();
    ParseAttributeType(info, element);
    RequireDeclSpace();
    SkipPEReferences(false);
    ParseAttributeDefault(info);
    return info;
}

// An enumeration, NOTATION with its enumeration, or a type keyword, all ignoring letter case.
void TXpParser::ParseAttributeType(TXpAttributeInfo& info, const WideString& element)
{
    if (TryMatch(u"(")) {
        ParseEnumeration(info.Enumeration);
        info.AttrType = atEnumeration;
        return;
    }
    WideString keyword = ReadName(true);
    info.AttrType = TXpDTD::AttributeType(keyword);
    if (info.AttrType == atNone)
        Fail(std::string(SIllegalAttrType) + "(" + ToUtf8(keyword) + ") in element " + ToUtf8(element));
    if (info.AttrType == atNOTATION) {
        RequireDeclSpace();
        Require(u"(");
        ParseEnumeration(info.Enumeration);
    }
}

void TXpParser::ParseAttributeDefault(TXpAttributeInfo& info)
{
    if (Peek() != '#') {
        ReadLiteral(lkPlain);
        info.DefaultText = m_literal;
        info.ValueType = dkValue;
    } else {
        Consume();
        WideString keyword = ReadName(true);
        if (keyword == u"FIXED") {
            RequireDeclSpace();
            ReadLiteral(lkPlain);
            info.DefaultText = m_literal;
            info.ValueType = dkFixed;
        } else if (keyword == u"REQUIRED") {
            info.ValueType = dkRequired;
        } else if (keyword == u"IMPLIED") {
            info.ValueType = dkImplied;
        } else {
            Fail(SIllegalDefaultKeyword + ToUtf8(keyword));
        }
    }
    m_literal.clear();
}

void TXpParser::ParseEnumeration(std::vector<WideString>& names)
{
    for (;;) {
        SkipDeclSpace();
        WideString name = ReadName(false);
        if (name.empty())
            Fail(SInvalidName + XpQuoted(name));
        names.push_back(std::move(name));
        SkipDeclSpace();
        if (TryMatch(u")"))
            return;
        Require(u"|");
    }
}

void TXpParser::ParseEntityDecl()
{
    // A relative system identifier resolves against the file that the declaration began in.
    const TXpDirContext* file = FileInput().Location();
    TXpDirContext declaredIn = file ? *file : TXpDirContext();
    RequireDeclSpace();
    TXpEntityInfo info;
    if (Peek() == '%') {
        Consume();
        RequireDeclSpace();
        info.IsParameter = true;
    }
    info.Name = ReadName(true);
    if (info.Name.empty())
        Fail(SInvalidName + XpQuoted(info.Name));
    RequireDeclSpace();
    int c = Peek();
    if (c == '"' || c == '\'') {
        ParseEntityValue(info);
    } else {
        info.Base = std::make_shared<const TXpDirContext>(std::move(declaredIn));
        ParseExternalEntity(info);
    }
    SkipDeclSpace();
    EndDeclaration();
}

void TXpParser::ParseEntityValue(TXpEntityInfo& info)
{
    bool sawReference = ReadLiteral(m_declInternal ? lkEntityValue : lkExternalEntityValue);
    if (!info.IsParameter && !sawReference && m_literal.find(u'%') != WideString::npos)
        Fail(SInvalidEntityValueChar + XpQuoted(u"%"));
    info.Kind = ekInternal;
    info.Value = std::make_shared<const WideString>(m_literal);
    m_literal.clear();
    WideString name = info.Name;
    WideString value = *info.Value;
    bool peFlag = info.IsParameter;
    m_dtd.DeclareEntity(std::move(info));
    if (OnDTDEntityInternal)
        OnDTDEntityInternal(peFlag, name, value);
}

// An external identifier (whose system literal may be empty), then for a general entity an
// optional "NDATA" and notation name, which make it unparsed.
void TXpParser::ParseExternalEntity(TXpEntityInfo& info)
{
    if (!ParseExternalId(info.PublicId, info.SystemId, false))
        Fail(SSystemIdMissing + XpQuoted(info.Name));
    info.Kind = ekExternal;
    if (!SkipDeclSpace() && LookingAt(u"NDATA"))
        RequireWhitespace();
    if (TryMatch(u"NDATA")) {
        if (info.IsParameter)
            Fail(SNDataInPE);
        RequireDeclSpace();
        info.NotationName = ReadName(true);
        info.Kind = ekUnparsed;
    }
    TXpEntityInfo copy = info;
    m_dtd.DeclareEntity(std::move(info));
    if (OnDTDEntityExternal)
        OnDTDEntityExternal(copy.IsParameter, copy.Name, copy.PublicId, copy.SystemId, copy.NotationName);
}

void TXpParser::ParseNotationDecl()
{
    RequireDeclSpace();
    TXpNotationInfo info;
    info.Name = ReadName(true);
    if (info.Name.empty())
        Fail(SInvalidName + XpQuoted(info.Name));
    RequireDeclSpace();
    ParseExternalId(info.PublicId, info.SystemId, true);
    if (info.PublicId.empty() && info.SystemId.empty())
        Fail(SExternalModifierMissing + ToUtf8(info.Name));
    TXpNotationInfo copy = info;
    if (m_dtd.DeclareNotation(std::move(info)) && OnDTDNotation)
        OnDTDNotation(copy.Name, copy.PublicId, copy.SystemId);
    SkipDeclSpace();
    EndDeclaration();
}

void TXpParser::ParseConditional()
{
    SkipDeclSpace();
    SkipPEReferences(false);
    int kind;
    if (TryMatch(u"INCLUDE"))
        kind = 0;
    else if (TryMatch(u"IGNORE"))
        kind = 1;
    else
        Fail(SConditionalKeyword);
    SkipDeclSpace();
    Require(u"[");
    SkipWhitespace();
    if (OnDTDConditionalStart)
        OnDTDConditionalStart(kind);
    if (kind == 0)
        ReadDeclarations(u"]]>");
    else
        ReadIgnoredSection();
    if (OnDTDConditionalEnd)
        OnDTDConditionalEnd();
}

// The text of an IGNORE section up to its matching "]]>" (nested sections counted), reported
// as character data with that "]]>".
void TXpParser::ReadIgnoredSection()
{
    WideString text;
    size_t depth = 1;
    while (depth > 0) {
        if (TryMatch(u"<![")) {
            ++depth;
            text += u"<![";
        } else if (TryMatch(u"]]>")) {
            --depth;
            text += u"]]>";
        } else {
            int c = Peek();
            if (c < 0)
                Fail(SMalformedIgnore);
            text.push_back(static_cast<WideChar>(c));
            Consume();
        }
    }
    if (OnCharData)
        OnCharData(text);
}

}  // namespace velmora

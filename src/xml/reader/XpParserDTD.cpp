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
    RequireWhitespace();
    WideString name = ReadName(true);
    SkipWhitespace();
    WideString publicId, systemId;
    ParseExternalId(publicId, systemId, false);
    SkipWhitespace();
    if (OnDTDStart)
        OnDTDStart(name, publicId, systemId);
    if (TryMatch(u"[")) {
        for (;;) {
            SkipWhitespace();
            if (Peek() == '%') {
                Consume();
                ExpandParameterEntity();
                continue;
            }
            if (TryMatch(u"]"))
                break;
            ParseMarkupDecl(true);
        }
    }
    if (!systemId.empty() && ReadExternals)
        ParseExternalSubset(systemId);
    for (;;) {
        SkipWhitespace();
        if (systemId.empty() || Peek() == '>')
            break;
        ParseMarkupDecl(true);
    }
    Require(u">");
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
    for (;;) {
        SkipWhitespace();
        if (Peek() == '%') {
            Consume();
            ExpandParameterEntity();
            continue;
        }
        if (Peek() < 0)
            break;
        ParseMarkupDecl(false);
    }
    while (m_inputs.size() > subset)
        PopInput();
    m_floor = savedFloor;
    m_markupSeen = true;
    if (OnDTDExternalEnd)
        OnDTDExternalEnd();
}

void TXpParser::ParseExternalId(WideString& publicId, WideString& systemId, bool notation)
{
    if (TryMatch(u"PUBLIC")) {
        RequireWhitespace();
        ReadLiteral(lkPublicId);
        publicId = m_literal;
        for (WideChar c : publicId)
            if (!xpchar::IsPubidChar(c))
                Fail(SInvalidPublicIdChar + XpQuoted(WideString(1, c)));
        if (notation) {
            SkipWhitespace();
            if (Peek() == '"' || Peek() == '\'') {
                ReadLiteral(lkPlain);
                systemId = m_literal;
            }
        } else {
            RequireWhitespace();
            ReadLiteral(lkPlain);
            systemId = m_literal;
        }
    } else if (TryMatch(u"SYSTEM")) {
        RequireWhitespace();
        ReadLiteral(lkPlain);
        systemId = m_literal;
    }
    m_literal.clear();
}

void TXpParser::ParseMarkupDecl(bool internal)
{
    if (++m_declDepth > MaxDeclarationDepth)
        Fail(FormatMessage(SDeclarationsTooDeep, {std::to_string(MaxDeclarationDepth)}));
    DepthGuard guard{m_declDepth};
    if (TryMatch(u"<!ELEMENT")) {
        ParseElementDecl(internal);
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
        if (internal)
            Fail(SConditionalInInternal);
        ParseConditional(internal);
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

void TXpParser::SkipPEReferences(bool checkNesting)
{
    while (Peek() == '%') {
        Consume();
        ExpandParameterEntity(checkNesting);
        SkipWhitespace();
    }
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

void TXpParser::ParseElementDecl(bool internal)
{
    RequireWhitespace();
    WideString name = ReadName(true);
    if (name.empty())
        Fail(SInvalidName + XpQuoted(name));
    RequireWhitespace();
    SkipPEReferences(true);
    int contentType;
    std::unique_ptr<Particle> model;
    WideString modelText;
    if (TryMatch(u"EMPTY")) {
        contentType = ctEmpty;
        modelText = u"EMPTY";
    } else if (TryMatch(u"ANY")) {
        contentType = ctAny;
        modelText = u"ANY";
    } else {
        Require(u"(");
        SkipWhitespace();
        if (internal && Peek() == '%')
            Fail(SPEInInternalSubset);
        if (TryMatch(u"#PCDATA")) {
            contentType = ctMixed;
            model = std::make_unique<Particle>();
            model->isGroup = true;
            model->relation = 0;
            auto pcdata = std::make_unique<Particle>();
            pcdata->name = u"#PCDATA";
            model->children.push_back(std::move(pcdata));
            for (;;) {
                SkipWhitespace();
                if (TryMatch(u")"))
                    break;
                if (internal && Peek() == '%')
                    Fail(SPEInInternalSubset);
                Require(u"|");
                SkipWhitespace();
                auto child = std::make_unique<Particle>();
                child->name = ReadName(true);
                if (child->name.empty())
                    Fail(SInvalidName + XpQuoted(child->name));
                model->children.push_back(std::move(child));
            }
            if (TryMatch(u"*"))
                model->occurrence = 2;
        } else {
            contentType = ctElements;
            model = ParseContentGroup(internal, 1);
            model->occurrence = ReadOccurrence();
        }
        modelText = model->Text();
    }
    SkipWhitespace();
    if (Peek() == '%') {
        Consume();
        ExpandParameterEntity();
        SkipWhitespace();
    }
    Require(u">");
    TXpElementInfo& entry = m_dtd.ElementEntry(name);
    entry.ContentType = contentType;
    entry.ContentModel = modelText;
    if (OnDTDElementStart)
        OnDTDElementStart(name, contentType);
    if (model)
        ReportParticle(*model);
    if (OnDTDElementEnd)
        OnDTDElementEnd(name);
}

// After "(": particles up to the matching ")".
std::unique_ptr<TXpParser::Particle> TXpParser::ParseContentGroup(bool internal, size_t depth)
{
    if (depth > MaxDeclarationDepth)
        Fail(FormatMessage(SDeclarationsTooDeep, {std::to_string(MaxDeclarationDepth)}));
    auto group = std::make_unique<Particle>();
    group->isGroup = true;
    int relation = -1;
    auto skip = [&] {
        SkipWhitespace();
        if (Peek() == '%') {
            if (internal)
                Fail(SPEInInternalSubset);
            SkipPEReferences(false);
        }
    };
    for (;;) {
        skip();
        std::unique_ptr<Particle> child;
        if (TryMatch(u"(")) {
            child = ParseContentGroup(internal, depth + 1);
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
        skip();
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

void TXpParser::ParseEnumeration(std::vector<WideString>& names)
{
    for (;;) {
        SkipWhitespace();
        WideString name = ReadName(false);
        if (name.empty())
            Fail(SInvalidName + XpQuoted(name));
        names.push_back(std::move(name));
        SkipWhitespace();
        if (TryMatch(u")"))
            return;
        Require(u"|");
    }
}

void TXpParser::ParseAttlistDecl()
{
    RequireWhitespace();
    WideString element = ReadName(true);
    if (element.empty())
        Fail(SInvalidName + XpQuoted(element));
    SkipWhitespace();
    if (OnDTDAttlistStart)
        OnDTDAttlistStart(element);
    for (;;) {
        SkipWhitespace();
        SkipPEReferences(false);
        int c = Peek();
        if (c == '>') {
            Consume();
            break;
        }
        if (c < 0)
            Fail(SUnexpectedEof);
        TXpAttributeInfo info;
        info.Name = ReadName(true);
        if (info.Name.empty())
            Fail(SInvalidName + XpQuoted(WideString(1, static_cast<WideChar>(c))));
        RequireWhitespace();
        if (TryMatch(u"(")) {
            ParseEnumeration(info.Enumeration);
            info.AttrType = atEnumeration;
        } else {
            WideString keyword = ReadName(true);
            if (keyword == u"NOTATION") {
                RequireWhitespace();
                Require(u"(");
                ParseEnumeration(info.Enumeration);
                info.AttrType = atNOTATION;
            } else {
                info.AttrType = TXpDTD::AttributeType(keyword);
                if (info.AttrType == atNone || info.AttrType == atNOTATION)
                    Fail(std::string(SIllegalAttrType) + "(" + ToUtf8(keyword) + ") in element " + ToUtf8(element));
            }
        }
        RequireWhitespace();
        SkipPEReferences(false);
        if (Peek() != '#') {
            ReadLiteral(lkPlain);
            info.DefaultText = m_literal;
            info.ValueType = dkValue;
        } else {
            Consume();
            WideString keyword = ReadName(true);
            if (keyword == u"FIXED") {
                RequireWhitespace();
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
        TXpAttributeInfo& stored = m_dtd.ElementEntry(element).SetAttribute(std::move(info));
        if (OnDTDAttDefinition)
            OnDTDAttDefinition(stored.Name, stored.AttrType, stored.Enumeration, stored.ValueType, stored.DefaultText);
    }
    if (OnDTDAttlistEnd)
        OnDTDAttlistEnd();
}

void TXpParser::ParseEntityDecl()
{
    RequireWhitespace();
    TXpEntityInfo info;
    if (Peek() == '%') {
        Consume();
        RequireWhitespace();
        info.IsParameter = true;
    }
    info.Name = ReadName(true);
    if (info.Name.empty())
        Fail(SInvalidName + XpQuoted(info.Name));
    RequireWhitespace();
    int c = Peek();
    if (c == '"' || c == '\'') {
        bool sawReference = ReadLiteral(lkEntityValue);
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
    } else {
        ParseExternalId(info.PublicId, info.SystemId, false);
        if (info.SystemId.empty())
            Fail(SSystemIdMissing + XpQuoted(info.Name));
        SkipWhitespace();
        info.Kind = ekExternal;
        if (TryMatch(u"NDATA")) {
            if (info.IsParameter)
                Fail(SNDataInPE);
            RequireWhitespace();
            info.NotationName = ReadName(true);
            info.Kind = ekUnparsed;
        }
        TXpEntityInfo copy = info;
        m_dtd.DeclareEntity(std::move(info));
        if (OnDTDEntityExternal)
            OnDTDEntityExternal(copy.IsParameter, copy.Name, copy.PublicId, copy.SystemId, copy.NotationName);
    }
    SkipWhitespace();
    Require(u">");
}

void TXpParser::ParseNotationDecl()
{
    RequireWhitespace();
    TXpNotationInfo info;
    info.Name = ReadName(true);
    if (info.Name.empty())
        Fail(SInvalidName + XpQuoted(info.Name));
    RequireWhitespace();
    ParseExternalId(info.PublicId, info.SystemId, true);
    if (info.PublicId.empty() && info.SystemId.empty())
        Fail(SExternalModifierMissing + ToUtf8(info.Name));
    TXpNotationInfo copy = info;
    if (m_dtd.DeclareNotation(std::move(info)) && OnDTDNotation)
        OnDTDNotation(copy.Name, copy.PublicId, copy.SystemId);
    SkipWhitespace();
    Require(u">");
}

void TXpParser::ParseConditional(bool internal)
{
    SkipWhitespace();
    SkipPEReferences(false);
    int kind;
    if (TryMatch(u"INCLUDE"))
        kind = 0;
    else if (TryMatch(u"IGNORE"))
        kind = 1;
    else
        Fail(SConditionalKeyword);
    SkipWhitespace();
    Require(u"[");
    SkipWhitespace();
    if (OnDTDConditionalStart)
        OnDTDConditionalStart(kind);
    if (kind == 0) {
        for (;;) {
            SkipWhitespace();
            if (Peek() == '%') {
                Consume();
                ExpandParameterEntity();
                continue;
            }
            if (TryMatch(u"]]>"))
                break;
            if (Peek() < 0)
                Fail(SUnexpectedEof);
            ParseMarkupDecl(internal);
        }
    } else {
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
    if (OnDTDConditionalEnd)
        OnDTDConditionalEnd();
}

}  // namespace velmora

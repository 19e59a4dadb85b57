// The literals side of TXpParser: quoted attribute values, entity values and identifiers, the
// references read inside them, and the default values of declared attributes.
#include "xml/reader/XpParser.h"

namespace velmora {

bool TXpParser::ReadLiteral(LiteralKind kind)
{
    int delimiter = Peek();
    if (delimiter != '"' && delimiter != '\'' && delimiter != '~')
        Fail(SExpectedQuote);
    Consume();
    m_literal.clear();
    return ReadLiteralBody(kind, delimiter, m_inputs.size());
}

// Reads up to the delimiter in the input at baseDepth (or, without delimiter, to that input's
// end); quotation marks that come out of entity texts never close the literal.
bool TXpParser::ReadLiteralBody(LiteralKind kind, int delimiter, size_t baseDepth)
{
    bool sawReference = false;
    const size_t savedFloor = m_floor;
    m_floor = baseDepth - 1;
    const WideChar quote = delimiter < 0 ? u'&' : static_cast<WideChar>(delimiter);
    // Where a run of plain characters ends: the quote, a reference, a line end, and "<" (refused
    // in attribute values) or, in entity values, "%".
    const WideChar third = kind == lkEntityValue || kind == lkExternalEntityValue ? u'%' : u'<';
    for (;;) {
        if (!m_cur->Fill()) {
            if (m_inputs.size() > baseDepth) {
                PopInput();
                continue;
            }
            if (delimiter < 0)
                break;
            m_floor = savedFloor;
            WideString shown(1, static_cast<WideChar>(delimiter));
            Fail(SExpectedDelimiter + ToUtf8(shown));
        }
        const WideChar* chars = m_cur->Chars();
        size_t p = m_cur->Pos();
        const size_t e = m_cur->End();
        size_t start = p;
        p = static_cast<size_t>(XpFindAny(chars + p, chars + e, quote, u'&', third, u'\n') - chars);
        m_literal.append(chars + start, p - start);
        m_cur->SetPos(p);
        if (p == e)
            continue;
        WideChar c = chars[p];
        m_cur->Consume();
        if (c == delimiter && m_inputs.size() == baseDepth)
            break;
        if (AppendLiteralSpecial(kind, c))
            sawReference = true;
    }
    m_floor = savedFloor;
    if (kind == lkPublicId || kind == lkAttribute)
        NormalizeBuffer(m_literal);
    return sawReference;
}

// A character of a literal that stops the plain run, already consumed; answers whether it
// began a reference.
bool TXpParser::AppendLiteralSpecial(LiteralKind kind, WideChar c)
{
    const bool attribute = kind == lkCDataAttribute || kind == lkAttribute;
    const bool entityValue = kind == lkEntityValue || kind == lkExternalEntityValue;
    if (c == u'\n') {
        m_literal.push_back(u' ');
        return false;
    }
    if (c == u'<' && attribute)
        Fail(SInvalidAttrChar + XpQuoted(u"<"));
    if (c == u'%' && kind == lkExternalEntityValue) {
        ExpandParameterEntityInLiteral();
        return true;
    }
    if (c != u'&' || !(attribute || entityValue)) {
        m_literal.push_back(c);
        return false;
    }
    if (TryMatch(u"#"))
        AppendCharRef(m_literal);
    else if (attribute)
        ExpandEntityInAttribute();
    else
        m_literal.push_back(c);  // entity values keep general-entity references as written
    return true;
}

// After "&" in an attribute value: the entity's text is read in place.
void TXpParser::ExpandEntityInAttribute()
{
    int next = Peek();
    if (next < 0 || !xpchar::IsNameStart(static_cast<uint32_t>(next)))
        Fail(SInvalidAttrChar + XpQuoted(u"&"));
    WideString name = ReadName(true);
    if (Peek() != ';')
        Fail(SInvalidAttrChar + XpQuoted(u"&"));
    Consume();
    const TXpEntityInfo* entity = m_dtd.FindGeneralEntity(name);
    if (!entity)
        Fail(SUndeclaredEntity + XpQuoted(name));
    if (m_dtd.IsPredefined(entity))
        m_literal.push_back(m_dtd.PredefinedChar(entity));
    else if (entity->Kind == ekInternal)
        PushEntityText(*entity);
    else
        Fail(SExternalEntityInAttribute + XpQuoted(name));
}

// After "%" in an entity value outside the internal subset: the parameter entity's text becomes
// part of the value, without the spaces it gets between declaration parts.
void TXpParser::ExpandParameterEntityInLiteral()
{
    int next = Peek();
    if (next < 0 || !xpchar::IsNameStart(static_cast<uint32_t>(next)))
        Fail(SInvalidEntityValueChar + XpQuoted(u"%"));
    // An external entity's text declaration is read as a literal of its own.
    WideString value = std::move(m_literal);
    ExpandParameterEntity(false, false);
    m_literal = std::move(value);
}

const WideString& TXpParser::DefaultValue(TXpAttributeInfo& info)
{
    if (!info.Computed) {
        info.Computed = true;
        if (info.ValueType == dkValue || info.ValueType == dkFixed) {
            WideString saved = std::move(m_literal);
            m_literal.clear();
            PushInput(TXpInCharFilter::FromText(info.DefaultText), WideString());
            ReadLiteralBody(lkAttribute, -1, m_inputs.size());
            PopInput();
            info.Value = std::move(m_literal);
            m_literal = std::move(saved);
        }
    }
    return info.Value;
}

}  // namespace velmora

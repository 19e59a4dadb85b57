// The references side of TXpParser: character references, and general and parameter entity
// references expanded in content and between declarations.
#include "xml/reader/XpExcept.h"
#include "xml/reader/XpParser.h"

namespace velmora {

uint32_t TXpParser::ReadCharRef()
{
    bool hex = TryMatch(u"x");
    uint64_t value = 0;
    WideString digits;
    for (;;) {
        int c = Peek();
        if (c == ';') {
            Consume();
            break;
        }
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0) {
            if (c < 0)
                Fail(SUnexpectedEof);
            WideString shown(1, static_cast<WideChar>(c));
            std::string message = FormatMessage(SIllegalRefChar, {ToUtf8(shown)});
            auto at = message.find("%d");
            message.replace(at, 2, std::to_string(c));
            Fail(message);
        }
        Consume();
        digits.push_back(static_cast<WideChar>(c));
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
        if (value > 0x10FFFF)
            value = 0x110000;
    }
    if (!xpchar::IsXmlChar(static_cast<uint32_t>(value)))
        Fail(FormatMessage(SInvalidCharRef, {"&#" + std::string(hex ? "x" : "") + ToUtf8(digits) + ";"}));
    return static_cast<uint32_t>(value);
}

void TXpParser::AppendCharRef(WideString& out)
{
    AppendCodePoint(out, ReadCharRef());
}

void TXpParser::ExpandEntityInContent()
{
    WideString name = ReadName(true);
    Require(u";");
    const TXpEntityInfo* entity = m_dtd.FindGeneralEntity(name);
    if (!entity)
        Fail(SUndeclaredEntity + XpQuoted(name));
    if (m_dtd.IsPredefined(entity)) {
        // Their texts are single character references: the character itself, never markup.
        m_data.push_back(m_dtd.PredefinedChar(entity));
        return;
    }
    switch (entity->Kind) {
    case ekInternal:
        PushEntityText(*entity);
        break;
    case ekUnparsed:
        Flush();
        if (OnNonXMLEntity)
            OnNonXMLEntity(entity->Name, entity->PublicId, entity->SystemId, entity->NotationName);
        break;
    default: {
        Flush();
        WideString value;
        if (OnResolveEntity)
            OnResolveEntity(entity->Name, entity->PublicId, entity->SystemId, value);
        if (!entity->SystemId.empty() && ReadExternals)
            PushExternal(entity->SystemId, entity->Name, entity->Base.get());
        break;
    }
    }
}

void TXpParser::ExpandParameterEntity(bool checkNesting, bool padded)
{
    WideString name = ReadName(true);
    Require(u";");
    const TXpEntityInfo* entity = m_dtd.FindAnyEntity(name);
    if (!entity)
        Fail(SUndeclaredEntity + ToUtf8(name), -3);
    if (checkNesting && entity->Kind == ekInternal) {
        bool opens = entity->Value->find(u'(') != WideString::npos;
        bool closes = entity->Value->find(u')') != WideString::npos;
        if (opens != closes)
            Fail(SPENotNested + ToUtf8(*entity->Value));
    }
    switch (entity->Kind) {
    case ekInternal:
        PushEntityText(*entity, padded);
        break;
    case ekUnparsed:
        if (OnNonXMLEntity)
            OnNonXMLEntity(entity->Name, entity->PublicId, entity->SystemId, entity->NotationName);
        break;
    default:
        if (!entity->SystemId.empty() && ReadExternals)
            PushExternal(entity->SystemId, entity->Name, entity->Base.get(), padded);
        break;
    }
}

}  // namespace velmora

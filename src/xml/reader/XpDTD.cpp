#include "xml/reader/XpDTD.h"

#include <algorithm>

namespace velmora {

namespace {

bool lessIgnoringCase(WideView a, WideView b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](WideChar x, WideChar y) { return XpUpCase(x) < XpUpCase(y); });
}

}  // namespace

TXpAttributeInfo* TXpElementInfo::FindAttribute(WideView name)
{
    for (auto& attribute : Attributes)
        if (XpSameTextIgnoringCase(attribute.Name, name))
            return &attribute;
    return nullptr;
}

TXpAttributeInfo& TXpElementInfo::SetAttribute(TXpAttributeInfo info)
{
    if (auto* existing = FindAttribute(info.Name)) {
        *existing = std::move(info);
        return *existing;
    }
    auto at = std::upper_bound(
        Attributes.begin(), Attributes.end(), info.Name,
        [](const WideString& name, const TXpAttributeInfo& a) { return lessIgnoringCase(name, a.Name); });
    return *Attributes.insert(at, std::move(info));
}

void TXpDTD::Clear()
{
    m_elements.clear();
    m_entities.clear();
    m_general.clear();
    m_any.clear();
    m_notations.clear();
    m_notationKeys.clear();
}

TXpElementInfo* TXpDTD::FindElement(WideView name)
{
    if (m_elements.empty())
        return nullptr;
    m_fold.assign(name);
    for (auto& c : m_fold)
        c = XpUpCase(c);
    auto it = m_elements.find(m_fold);
    return it == m_elements.end() ? nullptr : it->second.get();
}

TXpElementInfo& TXpDTD::ElementEntry(WideView name)
{
    if (auto* found = FindElement(name))
        return *found;
    auto info = std::make_unique<TXpElementInfo>();
    info->Name = WideString(name);
    auto& slot = m_elements[XpUpperCase(name)];
    slot = std::move(info);
    return *slot;
}

bool TXpDTD::DeclareEntity(TXpEntityInfo info)
{
    if (info.IsParameter ? m_any.count(info.Name) != 0 : m_general.count(info.Name) != 0)
        return false;
    m_entities.push_back(std::make_unique<TXpEntityInfo>(std::move(info)));
    const TXpEntityInfo* entity = m_entities.back().get();
    if (!entity->IsParameter)
        m_general.emplace(entity->Name, entity);
    m_any.emplace(entity->Name, entity);
    return true;
}

const TXpEntityInfo* TXpDTD::FindGeneralEntity(WideView name) const
{
    auto it = m_general.find(WideString(name));
    return it == m_general.end() ? nullptr : it->second;
}

const TXpEntityInfo* TXpDTD::FindAnyEntity(WideView name) const
{
    auto it = m_any.find(WideString(name));
    return it == m_any.end() ? nullptr : it->second;
}

bool TXpDTD::IsPredefined(const TXpEntityInfo* entity) const
{
    for (size_t i = 0; i < 5 && i < m_entities.size(); ++i)
        if (m_entities[i].get() == entity)
            return true;
    return false;
}

WideChar TXpDTD::PredefinedChar(const TXpEntityInfo* entity) const
{
    static const WideChar kChars[] = {u'&', u'<', u'>', u'\'', u'"'};
    for (size_t i = 0; i < 5 && i < m_entities.size(); ++i)
        if (m_entities[i].get() == entity)
            return kChars[i];
    return 0;
}

bool TXpDTD::DeclareNotation(TXpNotationInfo info)
{
    WideString key = XpUpperCase(info.Name);
    if (m_notationKeys.count(key))
        return false;
    m_notationKeys.emplace(key, info.Name);
    m_notations.emplace(info.Name, std::move(info));
    return true;
}

int TXpDTD::AttributeType(WideView keyword)
{
    static const std::pair<const char16_t*, int> kTypes[] = {
        {u"CDATA", atCDATA},       {u"ID", atID},
        {u"IDREF", atIDREF},       {u"IDREFS", atIDREFS},
        {u"ENTITY", atENTITY},     {u"ENTITIES", atENTITIES},
        {u"NMTOKEN", atNMTOKEN},   {u"NMTOKENS", atNMTOKENS},
        {u"NOTATION", atNOTATION},
    };
    for (auto [name, type] : kTypes)
        if (XpSameTextIgnoringCase(keyword, name))
            return type;
    return atNone;
}

}  // namespace velmora

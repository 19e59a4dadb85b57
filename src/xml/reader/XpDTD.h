#pragma once
// The tables of a document type declaration that steer the parser: element content types,
// attribute types and defaults, entities and notations. Element, attribute and notation names
// are matched ignoring letter case, entity names exactly.

#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "xml/reader/XpBase.h"

namespace velmora {

class TXpDirContext;

// Content types of an element declaration.
enum : int { ctUndeclared = 0, ctAny = 1, ctEmpty = 2, ctMixed = 3, ctElements = 4 };
// Attribute types; 0 for an attribute without definition.
enum : int {
    atNone = 0,
    atCDATA = 1,
    atID,
    atIDREF,
    atIDREFS,
    atENTITY,
    atENTITIES,
    atNMTOKEN,
    atNMTOKENS,
    atEnumeration,
    atNOTATION
};
// Kinds of attribute default.
enum : int { dkValue = 1, dkImplied = 2, dkRequired = 3, dkFixed = 4 };
// Kinds of entity.
enum : int { ekNone = 0, ekInternal = 1, ekUnparsed = 2, ekExternal = 3 };

struct TXpAttributeInfo {
    WideString Name;
    int AttrType = atCDATA;
    int ValueType = dkImplied;
    WideString DefaultText;
    std::vector<WideString> Enumeration;
    bool Computed = false;
    WideString Value;
};

struct TXpElementInfo {
    WideString Name;
    int ContentType = ctUndeclared;
    WideString ContentModel;
    // Sorted by name ignoring letter case.
    std::vector<TXpAttributeInfo> Attributes;

    // Answers none when the attribute has no definition.
    TXpAttributeInfo* FindAttribute(WideView name);
    // Adds the definition, replacing an earlier one of the same name.
    TXpAttributeInfo& SetAttribute(TXpAttributeInfo info);
};

struct TXpEntityInfo {
    WideString Name;
    int Kind = ekNone;
    bool IsParameter = false;
    std::shared_ptr<const WideString> Value;
    WideString PublicId;
    WideString SystemId;
    WideString NotationName;
    // Where the declaration began: a relative system identifier resolves against it.
    std::shared_ptr<const TXpDirContext> Base;
};

struct TXpNotationInfo {
    WideString Name;
    WideString PublicId;
    WideString SystemId;
};

class TXpDTD {
public:
    void Clear();
    bool HasElements() const { return !m_elements.empty(); }

    // Answers none when the element has no entry.
    TXpElementInfo* FindElement(WideView name);
    TXpElementInfo& ElementEntry(WideView name);

    // Declares an entity unless the rules keep an earlier one; answers whether it was added.
    bool DeclareEntity(TXpEntityInfo info);
    // The first general entity of that name, or none.
    const TXpEntityInfo* FindGeneralEntity(WideView name) const;
    // The first entity of that name of either sort, or none.
    const TXpEntityInfo* FindAnyEntity(WideView name) const;
    // True for the five entities every document has.
    bool IsPredefined(const TXpEntityInfo* entity) const;
    // The character a predefined entity stands for.
    WideChar PredefinedChar(const TXpEntityInfo* entity) const;

    // Stores the first declaration of a notation; answers whether it was new.
    bool DeclareNotation(TXpNotationInfo info);
    // Notations sorted by name.
    const std::map<WideString, TXpNotationInfo>& Notations() const { return m_notations; }

    // The attribute type of a type keyword (ignoring case), 0 when it is not one.
    static int AttributeType(WideView keyword);

private:
    std::unordered_map<WideString, std::unique_ptr<TXpElementInfo>> m_elements;
    std::vector<std::unique_ptr<TXpEntityInfo>> m_entities;
    std::unordered_map<WideString, const TXpEntityInfo*> m_general;
    std::unordered_map<WideString, const TXpEntityInfo*> m_any;
    std::map<WideString, TXpNotationInfo> m_notations;
    std::map<WideString, WideString> m_notationKeys;
    WideString m_fold;
};

}  // namespace velmora

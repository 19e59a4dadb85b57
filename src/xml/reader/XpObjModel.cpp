#include "xml/reader/XpObjModel.h"

#include <algorithm>
#include <cstring>

namespace velmora {

TXpObjModel::TXpObjModel()
    : m_parser(std::make_unique<TXpParser>()), m_document(TXpRef<TXpDocument>::Adopt(new TXpDocument))
{
    m_parser->RaiseErrors = true;
    ConnectParser();
}

TXpObjModel::~TXpObjModel()
{
    DiscardLoad();
    m_styleSheets.Clear();
}

void TXpObjModel::Append(TXpNode* node)
{
    try {
        Top()->appendChild(node);
    } catch (...) {
        node->Release();
        throw;
    }
    node->Release();
}

void TXpObjModel::AppendAndPush(TXpNode* node)
{
    try {
        Top()->appendChild(node);
    } catch (...) {
        node->Release();
        throw;
    }
    m_stack.push_back(node);
}

void TXpObjModel::Pop()
{
    if (m_stack.size() <= 1)
        return;
    TXpNode* node = m_stack.back();
    m_stack.pop_back();
    node->Release();
}

void TXpObjModel::DiscardLoad()
{
    for (TXpAttribute* attribute : m_pending)
        attribute->Release();
    m_pending.clear();
    while (m_stack.size() > 1)
        Pop();
    m_stack.clear();
    m_document->ReleaseChildren();
}

bool TXpObjModel::LoadDocumentFile(const std::string& name)
{
    return Load([&] { return m_parser->ParseSource(name); });
}

bool TXpObjModel::LoadMemory(const std::string& bytes, const std::string& name)
{
    return Load([&] { return m_parser->ParseMemory(bytes, name); });
}

bool TXpObjModel::Load(const std::function<bool()>& parse)
{
    DiscardLoad();
    m_styleSheets.Clear();
    std::fill(m_nameCache.begin(), m_nameCache.end(), nullptr);
    m_document->PruneNames();
    m_stack.push_back(m_document.get());
    m_errors.clear();
    m_parser->NormalizeData = NormalizeData;
    try {
        bool ok = parse();
        OutCharSet = m_parser->InputEncoding();
        if (!ok)
            m_errors = m_parser->Errors();
        m_document->DocLocation = m_parser->DocLocation();
        m_stack.clear();
        return ok;
    } catch (const std::exception& e) {
        m_errors = m_parser->Errors();
        bool recorded = dynamic_cast<const EXpFilterError*>(&e) != nullptr;
        bool domError = dynamic_cast<const TXpDOMException*>(&e) != nullptr;
        if (!recorded && !domError)
            m_errors.push_back(e.what());
        DiscardLoad();
        if (RaiseErrors)
            throw;
        return false;
    }
}

TXpName* TXpObjModel::ParsedName(const WideString& text, size_t hint)
{
    size_t slot = hint * 37 + text.size() * 11;
    if (!text.empty())
        slot += text.front() * 3u + text.back() + text[text.size() / 2] * 5u;
    slot &= NameCacheSize - 1;
    TXpName* name = m_nameCache[slot];
    if (name && name->text.size() == text.size() &&
        std::memcmp(name->text.data(), text.data(), text.size() * sizeof(WideChar)) == 0) {
        ++name->refs;
        return name;
    }
    name = m_document->InternName(text);
    m_nameCache[slot] = name;
    return name;
}

void TXpObjModel::ConnectParser()
{
    connectContentEvents();
    connectDtdEvents();
}

void TXpObjModel::connectContentEvents()
{
    TXpParser& p = *m_parser;
    TXpDocument* doc = m_document.get();
    p.OnAttribute = [this, doc](const WideString& sName, const WideString& sValue, bool bSpecified) {
        if (sName.empty())
            return;
        if (TrackAttributes)
            m_trackedAttributes.insert(ToUtf8(sName));
        auto* attribute = new TXpAttribute(doc, ParsedName(sName, m_pending.size()));
        attribute->setNodeValue(sValue);
        attribute->SetSpecified(bSpecified);
        m_pending.push_back(attribute);
    };
    p.OnStartElement = [this, doc](const WideString& sValue) {
        if (TrackElements)
            m_trackedElements.insert(ToUtf8(sValue));
        auto element = TXpRef<TXpElement>::Adopt(new TXpElement(doc, ParsedName(sValue, NameCacheSize - 1)));
        // A start tag never repeats a name exactly, so only a name-folding document needs the
        // replacing search.
        for (TXpAttribute* attribute : m_pending) {
            if (doc->IgnoreCase)
                element->setAttributeNode(attribute);
            else
                element->AddNewAttribute(attribute, m_pending.size());
        }
        for (TXpAttribute* attribute : m_pending)
            attribute->Release();
        m_pending.clear();
        AppendAndPush(element.Detach());
    };
    p.OnEndElement = [this](const WideString&) { Pop(); };
    p.OnCharData = [this, doc](const WideString& sValue) { Append(doc->createTextNode(sValue).Detach()); };
    p.OnCDATASection = [this, doc](const WideString& sValue) { Append(doc->createCDATASection(sValue).Detach()); };
    p.OnComment = [this, doc](const WideString& sValue) { Append(doc->createComment(sValue).Detach()); };
    p.OnProcessingInstruction = [this, doc](const WideString& sName, const WideString& sValue) {
        TXpNode* pi = doc->createProcessingInstruction(sName, sValue).Detach();
        bool styleSheet = pi->nodeName() == u"xml-stylesheet" ||
            (doc->IgnoreCase && XpSameTextIgnoringCase(pi->nodeName(), u"xml-stylesheet"));
        if (styleSheet)
            m_styleSheets.Add(pi);
        Append(pi);
    };
    p.OnNonXMLEntity = [this, doc](const WideString& sEntityName, const WideString&, const WideString&,
                                   const WideString&) { Append(doc->createEntityReference(sEntityName).Detach()); };
    p.OnPreserveSpace = [this](const WideString& sElementName, bool& bPreserve) {
        if (sElementName == u"xsl:text")
            bPreserve = true;
        else if (OnPreserveSpace)
            OnPreserveSpace(sElementName, bPreserve);
    };
}

void TXpObjModel::connectDtdEvents()
{
    TXpParser& p = *m_parser;
    TXpDocument* doc = m_document.get();
    p.OnDTDStart = [this, doc](const WideString& sDecl, const WideString&, const WideString&) {
        AppendAndPush(doc->createDocumentType(sDecl, false).Detach());
    };
    p.OnDTDEnd = [this] { Pop(); };
    p.OnDTDExternalStart = [this, doc](WideString& sFile) {
        if (OnDTDExternal)
            OnDTDExternal(sFile);
        TXpDocumentType* subset = doc->createDocumentType(sFile, true).Detach();
        for (int i = 0; i < doc->childNodes().length(); ++i) {
            TXpNode* child = doc->childNodes().item(i);
            if (child->nodeType() == DOCUMENT_TYPE_NODE) {
                static_cast<TXpDocumentType*>(child)->SetExternalDTD(subset);
                break;
            }
        }
        m_stack.push_back(subset);
    };
    p.OnDTDExternalOpened = [this](const std::string& sDirectory) { Top()->setBaseURI(FromUtf8(sDirectory)); };
    p.OnDTDExternalEnd = [this] { Pop(); };
    p.OnDTDElementStart = [this, doc](const WideString& sName, int wContentType) {
        AppendAndPush(doc->createDTDElement(sName, wContentType).Detach());
    };
    p.OnDTDElementGroupStart = [this, doc] { AppendAndPush(doc->createDTDElementGroup().Detach()); };
    p.OnDTDElementContent = [this, doc](const WideString& sName, int wOccurrence, int wRelation) {
        TXpDTDElementContent* content = doc->createDTDElementContent(sName).Detach();
        content->Occurrence = wOccurrence;
        content->Relation = wRelation;
        Append(content);
    };
    p.OnDTDElementGroupEnd = [this](int wOccurrence, int wRelation) {
        if (Top()->nodeType() == DTD_ELEMENT_GROUP_NODE) {
            auto* group = static_cast<TXpDTDElementGroup*>(Top());
            group->Occurrence = wOccurrence;
            group->Relation = wRelation;
        }
        Pop();
    };
    p.OnDTDElementEnd = [this](const WideString&) { Pop(); };
    p.OnDTDAttlistStart = [this, doc](const WideString& sValue) {
        AppendAndPush(doc->createDTDAttlist(sValue).Detach());
    };
    p.OnDTDAttDefinition = [this, doc](const WideString& sName, int wAttrType,
                                       const std::vector<WideString>& oEnumeration, int wValueType,
                                       const WideString& sValue) {
        TXpDTDAttDefinition* definition = doc->createDTDAttDefinition(sName).Detach();
        definition->AttrType = wAttrType;
        definition->DefaultKind = wValueType;
        definition->Enumeration = oEnumeration;
        definition->setNodeValue(sValue);
        Append(definition);
    };
    p.OnDTDAttlistEnd = [this] { Pop(); };
    p.OnDTDEntityInternal = [this, doc](bool bPeFlag, const WideString& sName, const WideString& sValue) {
        TXpDTDEntity* entity = doc->createDTDEntity(sName).Detach();
        entity->IsParameterEntity = bPeFlag;
        entity->setNodeValue(sValue);
        Append(entity);
    };
    p.OnDTDEntityExternal = [this, doc](bool bPeFlag, const WideString& sName, const WideString& sPublicId,
                                        const WideString& sSystemId, const WideString& sNotationName) {
        TXpDTDEntity* entity = doc->createDTDEntity(sName).Detach();
        entity->IsParameterEntity = bPeFlag;
        entity->PublicId = sPublicId;
        entity->SystemId = sSystemId;
        entity->NotationName = sNotationName;
        Append(entity);
    };
    p.OnDTDNotation = [this, doc](const WideString& sNotationName, const WideString& sPublicId,
                                  const WideString& sSystemId) {
        TXpDTDNotation* notation = doc->createDTDNotation(sNotationName).Detach();
        notation->PublicId = sPublicId;
        notation->SystemId = sSystemId;
        Append(notation);
    };
    p.OnDTDConditionalStart = [this, doc](int wType) { AppendAndPush(doc->createDTDConditional(wType).Detach()); };
    p.OnDTDConditionalEnd = [this] { Pop(); };
}

}  // namespace velmora

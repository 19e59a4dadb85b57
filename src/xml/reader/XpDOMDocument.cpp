// TXpDocument: the root of a tree, which creates its nodes and keeps the one shared copy of each
// name they carry.
#include "xml/reader/XpDOM.h"

namespace velmora {

TXpDocument::TXpDocument() : TXpNode(this, DOCUMENT_NODE, nullptr)
{
}

TXpDocument::~TXpDocument()
{
    ReleaseChildren();
    for (auto& entry : m_names)
        XpReleaseName(entry.second);
}

TXpNode* TXpDocument::CloneShallow() const
{
    auto* copy = new TXpDocument();
    copy->DocLocation = DocLocation;
    copy->IdAttribute = IdAttribute;
    copy->IgnoreCase = IgnoreCase;
    return copy;
}

TXpNode* TXpDocument::documentElement() const
{
    for (int i = 0; i < childNodes().length(); ++i)
        if (childNodes().item(i)->nodeType() == ELEMENT_NODE)
            return childNodes().item(i);
    return nullptr;
}

TXpName* TXpDocument::InternName(WideView text)
{
    auto it = m_names.find(text);
    if (it == m_names.end()) {
        auto* name = new TXpName;
        name->text.assign(text);
        it = m_names.emplace(WideView(name->text), name).first;
    }
    it->second->refs++;
    return it->second;
}

void TXpDocument::PruneNames()
{
    for (auto it = m_names.begin(); it != m_names.end();) {
        if (it->second->refs == 1) {
            TXpName* name = it->second;
            it = m_names.erase(it);
            XpReleaseName(name);
        } else {
            ++it;
        }
    }
}

TXpName* TXpDocument::DTDName(WideView name)
{
    if (name.empty())
        throw TXpDOMException(TXpDOMException::INVALID_CHARACTER_ERR);
    return InternName(name);
}

namespace {

template <class T, class... Args>
TXpRef<T> make(Args&&... args)
{
    return TXpRef<T>::Adopt(new T(std::forward<Args>(args)...));
}

void requireName(WideView name)
{
    if (!XpIsName(name))
        throw TXpDOMException(TXpDOMException::INVALID_CHARACTER_ERR);
}

}  // namespace

TXpRef<TXpElement> TXpDocument::createElement(WideView name)
{
    requireName(name);
    return make<TXpElement>(this, InternName(name));
}

TXpRef<TXpAttribute> TXpDocument::createAttribute(WideView name)
{
    requireName(name);
    return make<TXpAttribute>(this, InternName(name));
}

TXpRef<TXpEntityReference> TXpDocument::createEntityReference(WideView name)
{
    requireName(name);
    return make<TXpEntityReference>(this, InternName(name));
}

TXpRef<TXpProcessingInstruction> TXpDocument::createProcessingInstruction(WideView target, WideView data)
{
    if (target.empty())
        throw TXpDOMException(TXpDOMException::INVALID_CHARACTER_ERR);
    auto node = make<TXpProcessingInstruction>(this, InternName(target));
    node->setNodeValue(data);
    return node;
}

TXpRef<TXpText> TXpDocument::createTextNode(WideView text)
{
    auto node = make<TXpText>(this);
    node->setNodeValue(text);
    return node;
}

TXpRef<TXpCDataSection> TXpDocument::createCDATASection(WideView text)
{
    auto node = make<TXpCDataSection>(this);
    node->setNodeValue(text);
    return node;
}

TXpRef<TXpComment> TXpDocument::createComment(WideView text)
{
    auto node = make<TXpComment>(this);
    node->setNodeValue(text);
    return node;
}

TXpRef<TXpDocumentType> TXpDocument::createDocumentType(WideView name, bool external)
{
    auto node = make<TXpDocumentType>(this, name.empty() ? nullptr : InternName(name));
    node->IsExternal = external;
    return node;
}

TXpRef<TXpDTDConditional> TXpDocument::createDTDConditional(int kind)
{
    return make<TXpDTDConditional>(this, kind);
}

TXpRef<TXpDTDElement> TXpDocument::createDTDElement(WideView name, int contentType)
{
    if (contentType < 0 || contentType > 4)
        throw TXpDOMException(TXpDOMException::INVALID_ACCESS_ERR);
    return make<TXpDTDElement>(this, DTDName(name), contentType);
}

TXpRef<TXpDTDElementGroup> TXpDocument::createDTDElementGroup()
{
    return make<TXpDTDElementGroup>(this);
}

TXpRef<TXpDTDElementContent> TXpDocument::createDTDElementContent(WideView name)
{
    return make<TXpDTDElementContent>(this, DTDName(name));
}

TXpRef<TXpDTDAttlist> TXpDocument::createDTDAttlist(WideView name)
{
    return make<TXpDTDAttlist>(this, DTDName(name));
}

TXpRef<TXpDTDAttDefinition> TXpDocument::createDTDAttDefinition(WideView name)
{
    return make<TXpDTDAttDefinition>(this, DTDName(name));
}

TXpRef<TXpDTDEntity> TXpDocument::createDTDEntity(WideView name)
{
    return make<TXpDTDEntity>(this, DTDName(name));
}

TXpRef<TXpDTDNotation> TXpDocument::createDTDNotation(WideView name)
{
    return make<TXpDTDNotation>(this, DTDName(name));
}

}  // namespace velmora

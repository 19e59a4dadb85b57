#include "xml/reader/XpDOM.h"

#include <algorithm>

namespace velmora {

namespace {

const WideString kEmpty;

bool upperEqual(WideView a, WideView b)
{
    return XpSameTextIgnoringCase(a, b);
}

bool isXmlnsPrefixed(const WideString& name)
{
    return name.size() > 6 && name.compare(0, 6, u"xmlns:") == 0;
}

}  // namespace

void XpReleaseName(TXpName* name)
{
    if (name && --name->refs == 0)
        delete name;
}

// ---------------------------------------------------------------------------------------------
// Lists

void TXpNodeArray::reserve(size_t count)
{
    if (count <= m_capacity)
        return;
    if (count > UINT32_MAX)
        throw std::bad_alloc();
    // An array of node pointers, grown in place.
    auto* grown =
        static_cast<TXpNode**>(std::realloc(m_data, count * sizeof *m_data));  // NOLINT(bugprone-sizeof-expression)
    if (!grown)
        throw std::bad_alloc();
    m_data = grown;
    m_capacity = static_cast<uint32_t>(count);
}

void TXpNodeArray::insert(size_t index, TXpNode* node)
{
    push_back(node);
    std::rotate(m_data + index, m_data + m_size - 1, m_data + m_size);
}

void TXpNodeArray::erase(size_t index)
{
    std::move(m_data + index + 1, m_data + m_size, m_data + index);
    --m_size;
}

TXpNodeList::~TXpNodeList()
{
    Clear();
}

void TXpNodeList::Add(TXpNode* node)
{
    node->AddRef();
    m_items.push_back(node);
}

void TXpNodeList::Insert(int index, TXpNode* node)
{
    node->AddRef();
    m_items.insert(static_cast<size_t>(index), node);
}

void TXpNodeList::Delete(int index)
{
    TXpNode* node = m_items[static_cast<size_t>(index)];
    m_items.erase(static_cast<size_t>(index));
    node->Release();
}

void TXpNodeList::Clear()
{
    TXpNodeArray items;
    items.swap(m_items);
    for (TXpNode* node : items)
        node->Release();
}

int TXpNodeList::IndexOf(const TXpNode* node) const
{
    auto it = std::find(m_items.begin(), m_items.end(), node);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

TXpNode* TXpNamedNodeMap::getNamedItem(WideView name) const
{
    if (m_items.empty())
        return nullptr;
    if (name == u"*")
        return m_items[0];
    bool ignoreCase = m_owner && m_owner->IgnoreCase;
    for (TXpNode* node : m_items) {
        const WideString& nodeName = node->nodeName();
        if (nodeName == name || (ignoreCase && upperEqual(nodeName, name)))
            return node;
    }
    return nullptr;
}

TXpRef<TXpNode> TXpNamedNodeMap::removeNamedItem(WideView name)
{
    bool ignoreCase = m_owner && m_owner->IgnoreCase;
    for (size_t i = 0; i < m_items.size(); ++i) {
        TXpNode* node = m_items[i];
        if (node->nodeName() == name || (ignoreCase && upperEqual(node->nodeName(), name))) {
            node->AddRef();
            Delete(static_cast<int>(i));
            return TXpRef<TXpNode>::Adopt(node);
        }
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Nodes

TXpNode::TXpNode(TXpDocument* owner, int type, TXpName* name)
    : m_type(static_cast<uint8_t>(type)), m_owner(owner), m_name(name)
{
}

TXpNode::~TXpNode()
{
    XpReleaseName(m_name);
}

const WideString& TXpNode::nodeName() const
{
    return m_name ? m_name->text : kEmpty;
}

TXpNode::Extra& TXpNode::extra()
{
    if (!m_extra)
        m_extra = std::make_unique<Extra>();
    return *m_extra;
}

TXpNamedNodeMap* TXpNode::namespaces() const
{
    return m_extra ? m_extra->namespaces.get() : nullptr;
}

const WideString& TXpNode::defaultNamespaceURI() const
{
    return m_extra ? m_extra->defaultNamespace : kEmpty;
}

void TXpNode::setBaseURI(WideView uri)
{
    extra().baseURI.assign(uri);
}

TXpNode* TXpNode::nextSibling() const
{
    if (!m_parent)
        return nullptr;
    int index = m_parent->m_children.IndexOf(this);
    return index < 0 ? nullptr : m_parent->m_children.item(index + 1);
}

TXpNode* TXpNode::previousSibling() const
{
    if (!m_parent)
        return nullptr;
    int index = m_parent->m_children.IndexOf(this);
    return index <= 0 ? nullptr : m_parent->m_children.item(index - 1);
}

WideString TXpNode::localName() const
{
    const WideString& name = nodeName();
    auto colon = name.find(u':');
    return colon == WideString::npos ? name : name.substr(colon + 1);
}

WideString TXpNode::prefix() const
{
    const WideString& name = nodeName();
    auto colon = name.find(u':');
    return colon == WideString::npos ? WideString() : name.substr(0, colon);
}

WideString TXpNode::namespaceURI() const
{
    WideString own = prefix();
    for (const TXpNode* node = this; node && (node->m_type == ELEMENT_NODE || node->m_type == ATTRIBUTE_NODE);
         node = node->m_parent) {
        if (!node->m_extra)
            continue;
        if (own.empty()) {
            if (!node->m_extra->defaultNamespace.empty())
                return node->m_extra->defaultNamespace;
        } else if (node->m_extra->namespaces) {
            if (TXpNode* declaration = node->m_extra->namespaces->getNamedItem(own))
                return declaration->nodeValue();
        }
    }
    return WideString();
}

WideString TXpNode::baseURI() const
{
    if (m_extra && !m_extra->baseURI.empty())
        return m_extra->baseURI;
    return m_owner ? FromUtf8(m_owner->DocLocation) : WideString();
}

WideString TXpElement::baseURI() const
{
    WideString base = getAttribute(u"xml:base");
    return base.empty() ? TXpNode::baseURI() : base;
}

WideString TXpNode::TypeName() const
{
    static const char16_t* kNames[] = {u"ELEMENT_NODE",
                                       u"ATTRIBUTE_NODE",
                                       u"TEXT_NODE",
                                       u"CDATA_SECTION_NODE",
                                       u"ENTITY_REFERENCE_NODE",
                                       u"ENTITY_NODE",
                                       u"PROCESSING_INSTRUCTION_NODE",
                                       u"COMMENT_NODE",
                                       u"DOCUMENT_NODE",
                                       u"DOCUMENT_TYPE_NODE",
                                       u"DOCUMENT_FRAGMENT_NODE",
                                       u"NOTATION_NODE"};
    return m_type >= 1 && m_type <= 12 ? kNames[m_type - 1] : u"UNKNOWN";
}

WideString TXpNode::Text() const
{
    switch (m_type) {
    case TEXT_NODE:
    case CDATA_SECTION_NODE:
    case COMMENT_NODE:
    case PROCESSING_INSTRUCTION_NODE:
    case ATTRIBUTE_NODE:
        return m_value;
    default:
        break;
    }
    WideString text;
    std::vector<std::pair<const TXpNode*, int>> stack{{this, 0}};
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        if (next >= node->m_children.length()) {
            stack.pop_back();
            continue;
        }
        const TXpNode* child = node->m_children.item(next++);
        if (child->m_type == TEXT_NODE || child->m_type == CDATA_SECTION_NODE)
            text += child->m_value;
        stack.emplace_back(child, 0);
    }
    return text;
}

WideString TXpNode::NodePath() const
{
    if (m_type == DOCUMENT_NODE)
        return u"/";
    if (!m_parent)
        return nodeName();
    std::vector<WideString> steps;
    const TXpNode* node = this;
    for (; node->m_parent; node = node->m_parent) {
        int position = node->m_parent->m_children.IndexOf(node) + 1;
        steps.push_back(node->nodeName() + u"[" + FromUtf8(std::to_string(position)) + u"]");
    }
    WideString path = node->m_type == DOCUMENT_NODE ? WideString() : node->nodeName();
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        path += u"/" + *it;
    return path;
}

bool TXpNode::NameMatches(WideView name) const
{
    const WideString& own = nodeName();
    return own == name || (m_owner && m_owner->IgnoreCase && upperEqual(own, name));
}

namespace {

// Visits the descendants of root in document order (pre-order), root itself excluded;
// the visitor answers false to stop.
template <class Visit>
void forEachDescendant(const TXpNode* root, Visit visit)
{
    std::vector<std::pair<const TXpNode*, int>> stack{{root, 0}};
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        if (next >= node->childNodes().length()) {
            stack.pop_back();
            continue;
        }
        const TXpNode* child = node->childNodes().item(next++);
        if (!visit(child))
            return;
        if (child->hasChildNodes())
            stack.emplace_back(child, 0);
    }
}

}  // namespace

TXpNode* TXpNode::FindFirstElement(WideView name) const
{
    const TXpNode* found = nullptr;
    forEachDescendant(this, [&](const TXpNode* node) {
        if (node->m_type == ELEMENT_NODE && node->NameMatches(name))
            found = node;
        return found == nullptr;
    });
    return const_cast<TXpNode*>(found);
}

std::unique_ptr<TXpNodeList> TXpNode::getElementsByTagName(WideView name) const
{
    return getElementsByTagNameNS(u"*", name);
}

std::unique_ptr<TXpNodeList> TXpNode::getElementsByTagNameNS(WideView namespaceURI, WideView local) const
{
    auto list = std::make_unique<TXpNodeList>();
    const bool ignoreCase = m_owner && m_owner->IgnoreCase;
    const bool anyLocal = local == u"*";
    const bool anyNamespace = namespaceURI == u"*";
    auto prefixWildcard = local.find(u":*");
    forEachDescendant(this, [&](const TXpNode* node) {
        bool add = false;
        if (node->m_type == ELEMENT_NODE) {
            const WideString& name = node->nodeName();
            auto colon = name.find(u':');
            WideView nodeLocal = colon == WideString::npos ? WideView(name) : WideView(name).substr(colon + 1);
            add = (anyLocal || nodeLocal == local) && (anyNamespace || node->namespaceURI() == namespaceURI);
        }
        if (!add && ignoreCase)
            add = upperEqual(node->localName(), local);
        if (!add && prefixWildcard != WideView::npos)
            add = node->prefix() == local.substr(0, prefixWildcard);
        if (add)
            list->Add(const_cast<TXpNode*>(node));
        return true;
    });
    return list;
}

std::unique_ptr<TXpNodeList> TXpNode::NodesByType(int type, WideView name) const
{
    auto list = std::make_unique<TXpNodeList>();
    std::vector<const TXpNode*> roots{this};
    for (size_t r = 0; r < roots.size(); ++r) {
        auto collect = [&](const TXpNode* node) {
            if (type == ATTRIBUTE_NODE) {
                if (TXpNamedNodeMap* map = node->m_type == ELEMENT_NODE ? node->attributes() : nullptr)
                    for (int i = 0; i < map->length(); ++i)
                        if (map->item(i)->NameMatches(name))
                            list->Add(map->item(i));
            } else if ((type == 0 || node->m_type == type) && node->NameMatches(name)) {
                list->Add(const_cast<TXpNode*>(node));
            }
            if (node->m_type == DOCUMENT_TYPE_NODE) {
                if (auto* subset = static_cast<const TXpDocumentType*>(node)->ExternalDTD())
                    roots.push_back(subset);
            }
            return true;
        };
        if (r > 0)
            collect(roots[r]);
        forEachDescendant(roots[r], collect);
    }
    return list;
}

void TXpNode::appendChild(TXpNode* child)
{
    if (!child)
        throw TXpDOMException(TXpDOMException::INVALID_ACCESS_ERR);
    if (child->m_owner != m_owner && !(m_type == DOCUMENT_NODE && child->m_owner == this))
        throw TXpDOMException(TXpDOMException::WRONG_DOCUMENT_ERR);
    switch (m_type) {
    case TEXT_NODE:
    case CDATA_SECTION_NODE:
    case ENTITY_NODE:
    case PROCESSING_INSTRUCTION_NODE:
    case COMMENT_NODE:
    case NOTATION_NODE:
        throw TXpDOMException(TXpDOMException::HIERARCHY_REQUEST_ERR);
    default:
        break;
    }
    if (child->m_type == DOCUMENT_FRAGMENT_NODE) {
        for (int i = 0; i < child->m_children.length(); ++i) {
            TXpRef<TXpNode> clone = child->m_children.item(i)->cloneNode(true);
            clone->m_parent = this;
            m_children.Add(clone.get());
        }
        return;
    }
    child->m_parent = this;
    m_children.Add(child);
}

TXpRef<TXpNode> TXpNode::setAttributeNode(TXpNode* attribute)
{
    if (!attribute)
        throw TXpDOMException(TXpDOMException::INVALID_ACCESS_ERR);
    if (!extra().attributes)
        m_extra->attributes = std::make_unique<TXpNamedNodeMap>(m_owner);
    TXpNamedNodeMap* map = m_extra->attributes.get();
    TXpRef<TXpNode> replaced;
    if (map->length() > 0) {
        const bool ignoreCase = m_owner && m_owner->IgnoreCase;
        for (int i = 0; i < map->length(); ++i) {
            TXpNode* existing = map->item(i);
            // Names of one document are shared, so equal names are the same object.
            bool same = existing->m_name == attribute->m_name ||
                (existing->m_owner != attribute->m_owner && existing->nodeName() == attribute->nodeName()) ||
                (ignoreCase && upperEqual(existing->nodeName(), attribute->nodeName()));
            if (same) {
                existing->AddRef();
                replaced = TXpRef<TXpNode>::Adopt(existing);
                map->Delete(i);
                break;
            }
        }
    }
    attribute->m_parent = this;
    attribute->m_owner = m_owner;
    map->Add(attribute);
    NoteNamespace(attribute);
    return replaced;
}

void TXpNode::AddNewAttribute(TXpNode* attribute, size_t expectedCount)
{
    if (!extra().attributes) {
        m_extra->attributes = std::make_unique<TXpNamedNodeMap>(m_owner);
        m_extra->attributes->Reserve(expectedCount);
    }
    attribute->m_parent = this;
    attribute->m_owner = m_owner;
    m_extra->attributes->Add(attribute);
    NoteNamespace(attribute);
}

void TXpNode::NoteNamespace(TXpNode* attribute)
{
    const WideString& name = attribute->nodeName();
    if (name.size() >= 5 && name.compare(0, 5, u"xmlns") == 0) {
        if (isXmlnsPrefixed(name)) {
            Extra& ex = extra();
            if (!ex.namespaces)
                ex.namespaces = std::make_unique<TXpNamedNodeMap>(m_owner);
            auto declaration =
                TXpRef<TXpAttribute>::Adopt(new TXpAttribute(m_owner, m_owner->InternName(attribute->localName())));
            declaration->setNodeValue(attribute->nodeValue());
            ex.namespaces->Add(declaration.get());
        } else if (name.size() == 5) {
            extra().defaultNamespace = attribute->nodeValue();
        }
    }
}

WideString TXpNode::getAttribute(WideView name) const
{
    TXpNode* attribute = attributes() ? attributes()->getNamedItem(name) : nullptr;
    return attribute ? attribute->nodeValue() : WideString();
}

void TXpNode::CopyBaseInto(TXpNode& clone) const
{
    clone.m_value = m_value;
    clone.m_specified = m_specified;
    clone.m_escaping = m_escaping;
    if (m_extra) {
        clone.extra().baseURI = m_extra->baseURI;
        clone.extra().defaultNamespace = m_extra->defaultNamespace;
        if (m_extra->namespaces) {
            clone.extra().namespaces = std::make_unique<TXpNamedNodeMap>(m_owner);
            for (int i = 0; i < m_extra->namespaces->length(); ++i) {
                TXpRef<TXpNode> copy = m_extra->namespaces->item(i)->cloneNode(false);
                clone.m_extra->namespaces->Add(copy.get());
            }
        }
    }
    if (TXpNamedNodeMap* own = attributes()) {
        clone.extra().attributes = std::make_unique<TXpNamedNodeMap>(m_owner);
        for (int i = 0; i < own->length(); ++i) {
            TXpRef<TXpNode> copy = own->item(i)->cloneNode(false);
            copy->m_parent = &clone;
            clone.m_extra->attributes->Add(copy.get());
        }
    }
}

TXpRef<TXpNode> TXpNode::cloneNode(bool deep) const
{
    auto cloneOne = [](const TXpNode* node) {
        TXpNode* copy = node->CloneShallow();
        if (copy->m_name)
            copy->m_name->refs++;
        node->CopyBaseInto(*copy);
        return copy;
    };
    TXpRef<TXpNode> root = TXpRef<TXpNode>::Adopt(cloneOne(this));
    if (!deep)
        return root;
    std::vector<std::pair<const TXpNode*, TXpNode*>> work{{this, root.get()}};
    while (!work.empty()) {
        auto [source, target] = work.back();
        work.pop_back();
        for (int i = 0; i < source->m_children.length(); ++i) {
            const TXpNode* child = source->m_children.item(i);
            TXpNode* copy = cloneOne(child);
            copy->m_parent = target;
            target->m_children.Add(copy);
            copy->Release();
            work.emplace_back(child, copy);
        }
    }
    return root;
}

// Shallow copies: the class's own fields; the name is shared.
TXpNode* TXpElement::CloneShallow() const
{
    return new TXpElement(ownerDocument(), NameRef());
}
TXpNode* TXpAttribute::CloneShallow() const
{
    return new TXpAttribute(ownerDocument(), NameRef());
}
TXpNode* TXpText::CloneShallow() const
{
    return new TXpText(ownerDocument());
}
TXpNode* TXpCDataSection::CloneShallow() const
{
    return new TXpCDataSection(ownerDocument());
}
TXpNode* TXpComment::CloneShallow() const
{
    return new TXpComment(ownerDocument());
}
TXpNode* TXpEntityReference::CloneShallow() const
{
    return new TXpEntityReference(ownerDocument(), NameRef());
}
TXpNode* TXpProcessingInstruction::CloneShallow() const
{
    return new TXpProcessingInstruction(ownerDocument(), NameRef());
}

TXpDocumentType::~TXpDocumentType()
{
    if (m_external)
        m_external->Release();
}

void TXpDocumentType::SetExternalDTD(TXpDocumentType* subset)
{
    if (subset)
        subset->AddRef();
    if (m_external)
        m_external->Release();
    m_external = subset;
}

TXpNode* TXpDocumentType::CloneShallow() const
{
    auto* copy = new TXpDocumentType(ownerDocument(), NameRef());
    copy->IsExternal = IsExternal;
    if (m_external)
        copy->SetExternalDTD(static_cast<TXpDocumentType*>(m_external->cloneNode(true).get()));
    return copy;
}

TXpNode* TXpDTDConditional::CloneShallow() const
{
    return new TXpDTDConditional(ownerDocument(), Kind);
}

TXpNode* TXpDTDElement::CloneShallow() const
{
    return new TXpDTDElement(ownerDocument(), NameRef(), ContentType);
}

TXpNode* TXpDTDElementGroup::CloneShallow() const
{
    auto* copy = new TXpDTDElementGroup(ownerDocument());
    copy->Occurrence = Occurrence;
    copy->Relation = Relation;
    return copy;
}

TXpNode* TXpDTDElementContent::CloneShallow() const
{
    auto* copy = new TXpDTDElementContent(ownerDocument(), NameRef());
    copy->Occurrence = Occurrence;
    copy->Relation = Relation;
    return copy;
}

TXpNode* TXpDTDAttlist::CloneShallow() const
{
    return new TXpDTDAttlist(ownerDocument(), NameRef());
}

TXpNode* TXpDTDAttDefinition::CloneShallow() const
{
    auto* copy = new TXpDTDAttDefinition(ownerDocument(), NameRef());
    copy->AttrType = AttrType;
    copy->DefaultKind = DefaultKind;
    copy->Enumeration = Enumeration;
    return copy;
}

TXpNode* TXpDTDEntity::CloneShallow() const
{
    auto* copy = new TXpDTDEntity(ownerDocument(), NameRef());
    copy->IsParameterEntity = IsParameterEntity;
    copy->PublicId = PublicId;
    copy->SystemId = SystemId;
    copy->NotationName = NotationName;
    return copy;
}

TXpNode* TXpDTDNotation::CloneShallow() const
{
    auto* copy = new TXpDTDNotation(ownerDocument(), NameRef());
    copy->PublicId = PublicId;
    copy->SystemId = SystemId;
    return copy;
}

}  // namespace velmora

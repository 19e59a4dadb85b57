#pragma once
// The node tree of the XML object model: reference-counted nodes, node lists and attribute
// maps, and the document that creates them and answers DOM-style navigation.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "xml/reader/XpBase.h"
#include "xml/reader/XpExcept.h"

namespace velmora {

class TXpDocument;
class TXpNamedNodeMap;
class TXpNode;

// Node types.
enum : int {
    ELEMENT_NODE = 1,
    ATTRIBUTE_NODE = 2,
    TEXT_NODE = 3,
    CDATA_SECTION_NODE = 4,
    ENTITY_REFERENCE_NODE = 5,
    ENTITY_NODE = 6,
    PROCESSING_INSTRUCTION_NODE = 7,
    COMMENT_NODE = 8,
    DOCUMENT_NODE = 9,
    DOCUMENT_TYPE_NODE = 10,
    DOCUMENT_FRAGMENT_NODE = 11,
    NOTATION_NODE = 12,
    DTD_ELEMENT_NODE = 50,
    DTD_ELEMENT_GROUP_NODE = 51,
    DTD_ELEMENT_CONTENT_NODE = 52,
    DTD_ATTLIST_NODE = 53,
    DTD_ATT_DEFINITION_NODE = 54,
    DTD_ENTITY_NODE = 55,
    DTD_NOTATION_NODE = 56,
    DTD_CONDITIONAL_NODE = 57
};

// A name shared by every node of a document that carries it.
struct TXpName {
    uint32_t refs = 1;
    WideString text;
};

// A reference that releases its node when it goes.
template <class T>
class TXpRef {
public:
    TXpRef() = default;
    // Takes over the creation reference of a new node.
    static TXpRef Adopt(T* node)
    {
        TXpRef ref;
        ref.m_node = node;
        return ref;
    }
    TXpRef(const TXpRef& other) : m_node(other.m_node)
    {
        if (m_node)
            m_node->AddRef();
    }
    TXpRef(TXpRef&& other) noexcept : m_node(other.m_node) { other.m_node = nullptr; }
    TXpRef& operator=(TXpRef other) noexcept
    {
        std::swap(m_node, other.m_node);
        return *this;
    }
    ~TXpRef()
    {
        if (m_node)
            m_node->Release();
    }
    T* get() const { return m_node; }
    // Hands the reference over to the caller.
    T* Detach()
    {
        T* node = m_node;
        m_node = nullptr;
        return node;
    }
    T* operator->() const { return m_node; }
    explicit operator bool() const { return m_node != nullptr; }

private:
    T* m_node = nullptr;
};

// A growable array of node pointers that takes 16 bytes, since every node has one.
class TXpNodeArray {
public:
    TXpNodeArray() = default;
    ~TXpNodeArray() { std::free(m_data); }
    TXpNodeArray(const TXpNodeArray&) = delete;
    TXpNodeArray& operator=(const TXpNodeArray&) = delete;

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    TXpNode* operator[](size_t i) const { return m_data[i]; }
    TXpNode* const* begin() const { return m_data; }
    TXpNode* const* end() const { return m_data + m_size; }
    void push_back(TXpNode* node)
    {
        if (m_size == m_capacity)
            reserve(m_capacity ? size_t{m_capacity} * 2 : 4);
        m_data[m_size++] = node;
    }
    void insert(size_t index, TXpNode* node);
    void erase(size_t index);
    void reserve(size_t count);
    void swap(TXpNodeArray& other) noexcept
    {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }

private:
    TXpNode** m_data = nullptr;
    uint32_t m_size = 0;
    uint32_t m_capacity = 0;
};

// An ordered sequence of node references; each entry holds one reference.
class TXpNodeList {
public:
    TXpNodeList() = default;
    ~TXpNodeList();
    TXpNodeList(const TXpNodeList&) = delete;
    TXpNodeList& operator=(const TXpNodeList&) = delete;

    int length() const { return static_cast<int>(m_items.size()); }
    // Answers none when i is below 0 or not below length.
    TXpNode* item(int i) const
    {
        return i >= 0 && static_cast<size_t>(i) < m_items.size() ? m_items[static_cast<size_t>(i)] : nullptr;
    }
    void Add(TXpNode* node);
    void Insert(int index, TXpNode* node);
    void Delete(int index);
    void Clear();
    int IndexOf(const TXpNode* node) const;
    void Reserve(size_t count) { m_items.reserve(count); }

protected:
    TXpNodeArray m_items;
};

// The attributes of an element, or its namespace declarations, in insertion order.
class TXpNamedNodeMap : public TXpNodeList {
public:
    explicit TXpNamedNodeMap(TXpDocument* owner) : m_owner(owner) {}
    // The first entry whose name matches, the first entry at all for "*"; none otherwise.
    TXpNode* getNamedItem(WideView name) const;
    // Removes the first matching entry; the caller gets a reference to it (none when absent).
    TXpRef<TXpNode> removeNamedItem(WideView name);
    TXpDocument* ownerDocument() const { return m_owner; }
    void SetOwnerDocument(TXpDocument* owner) { m_owner = owner; }

private:
    TXpDocument* m_owner;
};

class TXpNode {
public:
    virtual ~TXpNode();
    TXpNode(const TXpNode&) = delete;
    TXpNode& operator=(const TXpNode&) = delete;

    // Nodes come from pools of fixed-size blocks: a tree is many small objects.
    static void* operator new(size_t size);
    static void operator delete(void* block, size_t size);

    void AddRef() { ++m_refs; }
    // Destroys the node when the last reference goes; children go with it without recursion.
    void Release();
    uint32_t RefCount() const { return m_refs; }

    int nodeType() const { return m_type; }
    const WideString& nodeName() const;
    const WideString& nodeValue() const { return m_value; }
    void setNodeValue(WideView value) { m_value.assign(value); }
    TXpNode* parentNode() const { return m_parent; }
    TXpDocument* ownerDocument() const { return m_owner; }
    TXpNodeList& childNodes() { return m_children; }
    const TXpNodeList& childNodes() const { return m_children; }
    // None for a node without attributes.
    TXpNamedNodeMap* attributes() const { return m_extra ? m_extra->attributes.get() : nullptr; }
    // The element's namespace declarations (prefix to URI), none when it declares none.
    TXpNamedNodeMap* namespaces() const;
    const WideString& defaultNamespaceURI() const;

    TXpNode* firstChild() const { return m_children.item(0); }
    TXpNode* nextSibling() const;
    TXpNode* previousSibling() const;
    bool hasAttributes() const { return attributes() && attributes()->length() > 0; }
    bool hasChildNodes() const { return m_children.length() > 0; }
    WideString localName() const;
    WideString prefix() const;
    // The URI bound to the node's prefix (or the default one) on the way up; empty when none.
    WideString namespaceURI() const;
    virtual WideString baseURI() const;
    void setBaseURI(WideView uri);
    // Output only: whether a writer escapes the node's text.
    bool Escaping() const { return m_escaping; }
    void SetEscaping(bool escaping) { m_escaping = escaping; }

    virtual WideString TypeName() const;
    // The text of a character-data node or attribute, else all text below in document order.
    WideString Text() const;
    // "/" for the document; the parent's path, "/" and name[position] otherwise.
    WideString NodePath() const;
    // A new node (the caller's reference) copying this one, and its descendants when deep.
    TXpRef<TXpNode> cloneNode(bool deep) const;

    // Descendants of a type (0 any) and name; attributes of descendant elements for type 2.
    std::unique_ptr<TXpNodeList> NodesByType(int type, WideView name) const;
    // The first descendant element whose name matches, in document order; none when none does.
    TXpNode* FindFirstElement(WideView name) const;
    std::unique_ptr<TXpNodeList> getElementsByTagName(WideView name) const;
    std::unique_ptr<TXpNodeList> getElementsByTagNameNS(WideView namespaceURI, WideView localName) const;
    // Appends child (not taken out of an earlier parent); throws TXpDOMException 3, 4 or 11.
    void appendChild(TXpNode* child);
    void ReleaseChildren() { m_children.Clear(); }
    // Puts an attribute on an element; answers the attribute of the same name that it replaced.
    TXpRef<TXpNode> setAttributeNode(TXpNode* attribute);
    // For tree builders whose attributes never repeat a name: setAttributeNode without the
    // search for an attribute to replace.
    void AddNewAttribute(TXpNode* attribute, size_t expectedCount);
    // The value of the named attribute, empty when there is none.
    WideString getAttribute(WideView name) const;

    // Attributes only: False for one added from a DTD default.
    bool Specified() const { return m_specified; }
    void SetSpecified(bool specified) { m_specified = specified; }

protected:
    TXpNode(TXpDocument* owner, int type, TXpName* name);
    // Copies the fields of the class into a new node of the same class.
    virtual TXpNode* CloneShallow() const = 0;
    void CopyBaseInto(TXpNode& clone) const;
    TXpName* NameRef() const { return m_name; }
    bool NameMatches(WideView name) const;

private:
    friend class TXpDocument;
    // What few nodes have, kept aside so that the many attributes and texts stay small.
    struct Extra {
        std::unique_ptr<TXpNamedNodeMap> attributes;
        WideString baseURI;
        WideString defaultNamespace;
        std::unique_ptr<TXpNamedNodeMap> namespaces;
    };
    Extra& extra();
    void NoteNamespace(TXpNode* attribute);

    uint32_t m_refs = 1;
    uint8_t m_type;
    bool m_specified = true;
    bool m_escaping = true;
    TXpNode* m_parent = nullptr;
    TXpDocument* m_owner;
    TXpName* m_name;
    WideString m_value;
    TXpNodeList m_children;
    std::unique_ptr<Extra> m_extra;
};

class TXpElement : public TXpNode {
public:
    TXpElement(TXpDocument* owner, TXpName* name) : TXpNode(owner, ELEMENT_NODE, name) {}
    WideString baseURI() const override;

protected:
    TXpNode* CloneShallow() const override;
};

class TXpAttribute : public TXpNode {
public:
    TXpAttribute(TXpDocument* owner, TXpName* name) : TXpNode(owner, ATTRIBUTE_NODE, name) {}

protected:
    TXpNode* CloneShallow() const override;
};

class TXpCharacterData : public TXpNode {
protected:
    using TXpNode::TXpNode;
};

class TXpText : public TXpCharacterData {
public:
    explicit TXpText(TXpDocument* owner, int type = TEXT_NODE) : TXpCharacterData(owner, type, nullptr) {}

protected:
    TXpNode* CloneShallow() const override;
};

class TXpCDataSection : public TXpText {
public:
    explicit TXpCDataSection(TXpDocument* owner) : TXpText(owner, CDATA_SECTION_NODE) {}

protected:
    TXpNode* CloneShallow() const override;
};

class TXpComment : public TXpCharacterData {
public:
    explicit TXpComment(TXpDocument* owner) : TXpCharacterData(owner, COMMENT_NODE, nullptr) {}

protected:
    TXpNode* CloneShallow() const override;
};

class TXpEntityReference : public TXpNode {
public:
    TXpEntityReference(TXpDocument* owner, TXpName* name) : TXpNode(owner, ENTITY_REFERENCE_NODE, name) {}

protected:
    TXpNode* CloneShallow() const override;
};

class TXpProcessingInstruction : public TXpNode {
public:
    TXpProcessingInstruction(TXpDocument* owner, TXpName* target) : TXpNode(owner, PROCESSING_INSTRUCTION_NODE, target)
    {
    }

protected:
    TXpNode* CloneShallow() const override;
};

class TXpDocumentType : public TXpNode {
public:
    TXpDocumentType(TXpDocument* owner, TXpName* name, int type = DOCUMENT_TYPE_NODE) : TXpNode(owner, type, name) {}
    ~TXpDocumentType() override;
    // The external subset node, none when there is none.
    TXpDocumentType* ExternalDTD() const { return m_external; }
    void SetExternalDTD(TXpDocumentType* subset);
    bool IsExternal = false;

protected:
    TXpNode* CloneShallow() const override;

private:
    TXpDocumentType* m_external = nullptr;
};

class TXpDTDConditional : public TXpDocumentType {
public:
    TXpDTDConditional(TXpDocument* owner, int kind) : TXpDocumentType(owner, nullptr, DTD_CONDITIONAL_NODE), Kind(kind)
    {
    }
    int Kind;  // 0 INCLUDE, 1 IGNORE

protected:
    TXpNode* CloneShallow() const override;
};

class TXpDTDElement : public TXpNode {
public:
    TXpDTDElement(TXpDocument* owner, TXpName* name, int contentType)
        : TXpNode(owner, DTD_ELEMENT_NODE, name), ContentType(contentType)
    {
    }
    int ContentType;

protected:
    TXpNode* CloneShallow() const override;
};

class TXpDTDElementGroup : public TXpNode {
public:
    explicit TXpDTDElementGroup(TXpDocument* owner) : TXpNode(owner, DTD_ELEMENT_GROUP_NODE, nullptr) {}
    int Occurrence = 0;
    int Relation = 1;

protected:
    TXpNode* CloneShallow() const override;
};

class TXpDTDElementContent : public TXpNode {
public:
    TXpDTDElementContent(TXpDocument* owner, TXpName* name) : TXpNode(owner, DTD_ELEMENT_CONTENT_NODE, name) {}
    int Occurrence = 0;
    int Relation = 1;

protected:
    TXpNode* CloneShallow() const override;
};

class TXpDTDAttlist : public TXpNode {
public:
    TXpDTDAttlist(TXpDocument* owner, TXpName* name) : TXpNode(owner, DTD_ATTLIST_NODE, name) {}

protected:
    TXpNode* CloneShallow() const override;
};

class TXpDTDAttDefinition : public TXpNode {
public:
    TXpDTDAttDefinition(TXpDocument* owner, TXpName* name) : TXpNode(owner, DTD_ATT_DEFINITION_NODE, name) {}
    int AttrType = 0;
    int DefaultKind = 0;
    std::vector<WideString> Enumeration;

protected:
    TXpNode* CloneShallow() const override;
};

class TXpDTDEntity : public TXpNode {
public:
    TXpDTDEntity(TXpDocument* owner, TXpName* name) : TXpNode(owner, DTD_ENTITY_NODE, name) {}
    bool IsParameterEntity = false;
    WideString PublicId;
    WideString SystemId;
    WideString NotationName;

protected:
    TXpNode* CloneShallow() const override;
};

class TXpDTDNotation : public TXpNode {
public:
    TXpDTDNotation(TXpDocument* owner, TXpName* name) : TXpNode(owner, DTD_NOTATION_NODE, name) {}
    WideString PublicId;
    WideString SystemId;

protected:
    TXpNode* CloneShallow() const override;
};

// The root of a tree; it creates every node of the tree and shares their names.
class TXpDocument : public TXpNode {
public:
    TXpDocument();
    ~TXpDocument() override;

    // The first child element, or none.
    TXpNode* documentElement() const;
    std::string DocLocation;
    WideString IdAttribute = u"id";
    bool IgnoreCase = false;

    // Factory operations; each answers a new node (the caller's reference) outside the tree.
    // Names must be XML names (TXpDOMException 5 otherwise).
    TXpRef<TXpElement> createElement(WideView name);
    TXpRef<TXpAttribute> createAttribute(WideView name);
    TXpRef<TXpEntityReference> createEntityReference(WideView name);
    TXpRef<TXpProcessingInstruction> createProcessingInstruction(WideView target, WideView data);
    TXpRef<TXpText> createTextNode(WideView text);
    TXpRef<TXpCDataSection> createCDATASection(WideView text);
    TXpRef<TXpComment> createComment(WideView text);
    TXpRef<TXpDocumentType> createDocumentType(WideView name, bool external);
    TXpRef<TXpDTDConditional> createDTDConditional(int kind);
    // DTD nodes: an empty name fails with code 5.
    TXpRef<TXpDTDElement> createDTDElement(WideView name, int contentType);
    TXpRef<TXpDTDElementGroup> createDTDElementGroup();
    TXpRef<TXpDTDElementContent> createDTDElementContent(WideView name);
    TXpRef<TXpDTDAttlist> createDTDAttlist(WideView name);
    TXpRef<TXpDTDAttDefinition> createDTDAttDefinition(WideView name);
    TXpRef<TXpDTDEntity> createDTDEntity(WideView name);
    TXpRef<TXpDTDNotation> createDTDNotation(WideView name);

    // The shared name of that text (the caller's reference).
    TXpName* InternName(WideView text);
    // Forgets names that no node uses any more.
    void PruneNames();

protected:
    TXpNode* CloneShallow() const override;

private:
    TXpName* DTDName(WideView name);
    std::unordered_map<WideView, TXpName*> m_names;
};

void XpReleaseName(TXpName* name);

}  // namespace velmora

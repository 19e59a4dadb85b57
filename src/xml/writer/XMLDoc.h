#pragma once
// The XML document component: a tree of TXMLNode wrappers over our DOM, with the XML
// declaration's items, element creation with prefix and namespace rules, and saving to a stream.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/Stream.h"
#include "xml/writer/xmldom.h"

namespace velmora {

class EXMLDocError : public Exception {
public:
    using Exception::Exception;
};

inline constexpr const char* SMissingNode = "IDOMNode required";
inline constexpr const char* SNotActive = "No active document";
inline constexpr const char* SUnwritableDeclaration =
    "Only XML version 1.0 in UTF-8 can be written (version \"%s\", encoding \"%s\")";
inline constexpr const char* SInvalidStandalone = "The standalone item must be \"yes\" or \"no\", not \"%s\"";

class TXMLDocument;
class TXMLNode;

// A node handed out by the document. It shares the document's lifetime: while any node handle
// or document handle lives, the whole document lives.
using IXMLNode = std::shared_ptr<TXMLNode>;

// Wraps one DOM node; knows its document, and its parent and children through the DOM.
class TXMLNode {
public:
    // A wrapper for no DOM node raises EXMLDocError.
    TXMLNode(TDOMNode* domNode, TXMLDocument* document);
    TXMLNode(const TXMLNode&) = delete;
    TXMLNode& operator=(const TXMLNode&) = delete;

    std::string NodeName() const { return m_dom->nodeName(); }
    std::string Prefix() const { return m_dom->prefix(); }
    std::string NamespaceURI() const { return m_dom->namespaceURI(); }
    TDOMNodeType NodeType() const { return m_dom->nodeType(); }
    TDOMNode* DOMNode() const { return m_dom; }
    IXMLNode ParentNode() const;

    size_t ChildCount() const { return m_dom->childCount(); }
    IXMLNode ChildNode(size_t index) const;

    // A new child element after the existing children (position -1), or before the child at
    // the given position. Raises "No active document" on an inactive document.
    IXMLNode AppendChildElement(const std::string& tagName, int position = -1);

    // Answers none when the element has no attribute of that name.
    std::optional<std::string> Attribute(const std::string& name) const;
    const std::vector<TDOMAttr>& AttributeNodes() const { return m_dom->attributes(); }
    // A null value removes the attribute; text replaces an earlier value of the same name.
    void SetAttribute(const std::string& name, const std::optional<std::string>& value);

private:
    // The value of xmlns:prefix on this node or its nearest ancestor that has one.
    std::string namespaceForPrefix(const std::string& prefix) const;

    TDOMNode* m_dom;
    TXMLDocument* m_document;
};

class TXMLDocument : public std::enable_shared_from_this<TXMLDocument> {
public:
    using TNotifyEvent = std::function<void(TXMLDocument&)>;
    using TNodeChangeEvent = std::function<void(TXMLNode&)>;

    // A document without owner: it lives as long as a handle to it or to one of its nodes.
    static std::shared_ptr<TXMLDocument> Create();

    bool Active() const { return m_dom != nullptr; }
    // Activating creates the DOM document once; deactivating drops it and every node.
    void SetActive(bool active);
    bool Modified() const { return m_modified; }

    // The declaration's items; a missing version reads as "1.0".
    std::string Version() const { return declarationItem("version"); }
    std::string Encoding() const { return declarationItem("encoding"); }
    std::string StandAlone() const { return declarationItem("standalone"); }
    void SetVersion(const std::string& value) { setDeclarationItem("version", value); }
    void SetEncoding(const std::string& value) { setDeclarationItem("encoding", value); }
    void SetStandAlone(const std::string& value) { setDeclarationItem("standalone", value); }

    // The node wrapping the DOM document itself.
    IXMLNode Node();
    // Answers none before a document element was added.
    IXMLNode DocumentElement();
    IXMLNode AppendChildElement(const std::string& tagName) { return Node()->AppendChildElement(tagName); }

    // Writes the whole document at the stream's current position, neither rewinding nor
    // truncating it. Raises "No active document", or EXMLDocError for a declaration that
    // names another version or encoding than XML 1.0 in UTF-8.
    void WriteToStream(TStream& stream);
    std::string SaveToXML();

    TNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TNodeChangeEvent BeforeNodeChange, AfterNodeChange;

private:
    TXMLDocument() = default;
    friend class TXMLNode;
    void checkActive() const;
    // The handle of the wrapper of a DOM node of this document, made on first use.
    IXMLNode wrap(TDOMNode* domNode);
    void nodeChanging(TXMLNode& node);
    void nodeChanged(TXMLNode& node);
    TDOMNode* declarationNode() const;
    std::string declarationItem(const std::string& name) const;
    void setDeclarationItem(const std::string& name, const std::string& value);

    std::unique_ptr<TDOMDocument> m_dom;
    std::unordered_map<TDOMNode*, std::unique_ptr<TXMLNode>> m_wrappers;
    bool m_modified = false;
};

}  // namespace velmora

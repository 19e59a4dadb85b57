#pragma once
// Our built-in DOM: the document, element and processing-instruction nodes that the XML
// document writer keeps its tree in, and the serialiser that writes them as UTF-8 XML 1.0.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Exception.h"

namespace velmora {

class DOMException : public Exception {
public:
    using Exception::Exception;
};

inline constexpr const char* SNodeCannotBeNull = "Node cannot be null";
inline constexpr const char* SNotAChild = "The node is not a child of this node";
inline constexpr const char* SInvalidName = "Invalid XML name \"%s\"";
inline constexpr const char* SInvalidText =
    "%s is not valid UTF-8 or holds a character that XML 1.0 forbids (at byte %s)";
inline constexpr const char* SMisplacedDeclaration = "An XML declaration can only be the document's first node";
inline constexpr const char* SInvalidPIData = "Processing instruction data may not contain \"?>\"";

enum class TDOMNodeType { ELEMENT_NODE = 1, PROCESSING_INSTRUCTION_NODE = 7, DOCUMENT_NODE = 9 };

struct TDOMAttr {
    std::string name;
    std::string value;
};

class TDOMDocument;

class TDOMNode {
public:
    virtual ~TDOMNode() = default;
    TDOMNode(const TDOMNode&) = delete;
    TDOMNode& operator=(const TDOMNode&) = delete;

    TDOMNodeType nodeType() const { return m_type; }
    const std::string& nodeName() const { return m_name; }
    const std::string& nodeValue() const { return m_value; }
    const std::string& namespaceURI() const { return m_namespaceURI; }
    // The part before the colon of a qualified name, empty without one.
    std::string prefix() const;
    TDOMNode* parentNode() const { return m_parent; }
    TDOMDocument* ownerDocument() const { return m_owner; }

    size_t childCount() const { return m_children.size(); }
    TDOMNode* childAt(size_t index) const { return m_children.at(index).get(); }
    TDOMNode* firstChild() const { return m_children.empty() ? nullptr : m_children.front().get(); }

    // Each answers the inserted node; a null node raises DOMException.
    TDOMNode* appendChild(std::unique_ptr<TDOMNode> child);
    TDOMNode* insertBefore(std::unique_ptr<TDOMNode> child, TDOMNode* reference);
    // Answers the removed node; a node that is not a child raises DOMException.
    std::unique_ptr<TDOMNode> removeChild(TDOMNode* child);

    const std::vector<TDOMAttr>& attributes() const { return m_attributes; }
    // Answers none when the element has no attribute of that name.
    std::optional<std::string> getAttribute(const std::string& name) const;
    // Replaces an earlier value of the same name in place; the value must be valid XML text.
    void setAttribute(const std::string& name, const std::string& value);
    void removeAttribute(const std::string& name);

protected:
    TDOMNode(TDOMNodeType type, TDOMDocument* owner, std::string name, std::string value, std::string namespaceURI);

private:
    TDOMNodeType m_type;
    TDOMDocument* m_owner;
    TDOMNode* m_parent = nullptr;
    std::string m_name;
    std::string m_value;
    std::string m_namespaceURI;
    std::vector<std::unique_ptr<TDOMNode>> m_children;
    std::vector<TDOMAttr> m_attributes;
};

class TDOMDocument : public TDOMNode {
public:
    TDOMDocument();

    // Raise DOMException for a name that is not an XML name.
    std::unique_ptr<TDOMNode> createElement(const std::string& tagName);
    std::unique_ptr<TDOMNode> createElementNS(const std::string& namespaceURI, const std::string& qualifiedName);
    std::unique_ptr<TDOMNode> createProcessingInstruction(const std::string& target, const std::string& data);

    // Answers none when the document has no element child.
    TDOMNode* documentElement() const;

    // The whole document as UTF-8 XML 1.0 without byte-order mark: the declaration
    // <?xml version="1.0" encoding="UTF-8"?> (with standalone when not empty) in place of an
    // "xml" processing instruction that is the first child, a line feed, then the other nodes.
    std::string save(const std::string& standalone) const;
};

// Raises DOMException naming what the text is when it is not valid UTF-8 or holds a character
// outside the XML 1.0 Char production.
void CheckXmlText(const std::string& text, const char* what);

}  // namespace velmora

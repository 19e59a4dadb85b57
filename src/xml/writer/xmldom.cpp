#include "xml/writer/xmldom.h"

#include <algorithm>
#include <map>

namespace velmora {

namespace {

// Decodes one UTF-8 sequence at text[pos]; answers the code point and advances pos, or answers
// -1 for an ill-formed, over-long or surrogate sequence.
long decodeUtf8(const std::string& text, size_t& pos)
{
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(pos);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || pos + length > text.size())
        return -1;
    static constexpr long minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    long code = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80)
            return -1;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return -1;
    pos += length;
    return code;
}

bool isXmlChar(long c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
        (c >= 0x10000 && c <= 0x10FFFF);
}

bool isNameStartChar(long c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || (c >= 0xC0 && c <= 0xD6) ||
        (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
        (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
        (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
        (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(long c)
{
    return isNameStartChar(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
        (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

bool isAsciiNameChar(unsigned char c, bool first)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' ||
        (!first && ((c >= '0' && c <= '9') || c == '-' || c == '.'));
}

void checkName(const std::string& name)
{
    bool valid = !name.empty();
    for (size_t pos = 0; valid && pos < name.size();) {
        bool first = pos == 0;
        auto byte = static_cast<unsigned char>(name[pos]);
        if (byte < 0x80) {
            valid = isAsciiNameChar(byte, first);
            ++pos;
            continue;
        }
        long c = decodeUtf8(name, pos);
        valid = c >= 0 && (first ? isNameStartChar(c) : isNameChar(c));
    }
    if (!valid)
        throw DOMException(FormatMessage(SInvalidName, {name}));
}

// The offset of the first byte that is not valid UTF-8 or starts a character XML 1.0 forbids,
// or npos when the whole text may be written.
size_t firstInvalidTextByte(const std::string& text)
{
    for (size_t pos = 0; pos < text.size();) {
        auto byte = static_cast<unsigned char>(text[pos]);
        if (byte >= 0x20 && byte < 0x80) {
            ++pos;
            continue;
        }
        size_t start = pos;
        long c = decodeUtf8(text, pos);
        if (c < 0 || !isXmlChar(c))
            return start;
    }
    return std::string::npos;
}

const char* attributeEscape(char c)
{
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    case '\t':
        return "&#9;";
    case '\n':
        return "&#10;";
    case '\r':
        return "&#13;";
    default:
        return nullptr;
    }
}

// Copies runs of plain characters whole: attribute values are mostly names and URLs.
void escapeAttributeValue(const std::string& value, std::string& out)
{
    size_t plainFrom = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        if (const char* escaped = attributeEscape(value[i])) {
            out.append(value, plainFrom, i - plainFrom);
            out += escaped;
            plainFrom = i + 1;
        }
    }
    out.append(value, plainFrom, std::string::npos);
}

bool isReservedTarget(const std::string& target)
{
    return target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' && (target[2] | 0x20) == 'l';
}

// Namespace bindings in scope while writing; an element created with a namespace gets the
// declaration it needs when no ancestor made it.
using Bindings = std::map<std::string, std::string>;

void writeNode(const TDOMNode& node, const Bindings& inScope, std::string& out);

bool declaresNamespace(const TDOMAttr& attr)
{
    return attr.name == "xmlns" || attr.name.rfind("xmlns:", 0) == 0;
}

// The bindings for an element's children, copied only when the element changes them.
const Bindings& writeStartTag(const TDOMNode& element, const Bindings& inScope, Bindings& changed, std::string& out)
{
    const Bindings* bindings = &inScope;
    auto bind = [&](const std::string& prefix, const std::string& uri) {
        if (bindings != &changed) {
            changed = inScope;
            bindings = &changed;
        }
        changed[prefix] = uri;
    };
    out += '<';
    out += element.nodeName();
    for (const auto& attr : element.attributes()) {
        if (declaresNamespace(attr))
            bind(attr.name.size() > 5 ? attr.name.substr(6) : std::string(), attr.value);
        out += ' ';
        out += attr.name;
        out += "=\"";
        escapeAttributeValue(attr.value, out);
        out += '"';
    }
    const std::string& uri = element.namespaceURI();
    if (!uri.empty()) {
        std::string prefix = element.prefix();
        auto bound = bindings->find(prefix);
        if (bound == bindings->end() || bound->second != uri) {
            out += prefix.empty() ? " xmlns=\"" : " xmlns:" + prefix + "=\"";
            escapeAttributeValue(uri, out);
            out += '"';
            bind(prefix, uri);
        }
    }
    return *bindings;
}

void writeElement(const TDOMNode& element, const Bindings& inScope, std::string& out)
{
    Bindings changed;
    const Bindings& bindings = writeStartTag(element, inScope, changed, out);
    if (element.childCount() == 0) {
        out += "/>";
        return;
    }
    out += '>';
    for (size_t i = 0; i < element.childCount(); ++i)
        writeNode(*element.childAt(i), bindings, out);
    out += "</";
    out += element.nodeName();
    out += '>';
}

void writeNode(const TDOMNode& node, const Bindings& inScope, std::string& out)
{
    if (node.nodeType() == TDOMNodeType::ELEMENT_NODE) {
        writeElement(node, inScope, out);
        return;
    }
    if (isReservedTarget(node.nodeName()))
        throw DOMException(SMisplacedDeclaration);
    out += "<?";
    out += node.nodeName();
    if (!node.nodeValue().empty()) {
        out += ' ';
        out += node.nodeValue();
    }
    out += "?>";
}

bool isDeclaration(const TDOMNode* node)
{
    return node && node->nodeType() == TDOMNodeType::PROCESSING_INSTRUCTION_NODE && node->nodeName() == "xml";
}

}  // namespace

void CheckXmlText(const std::string& text, const char* what)
{
    if (size_t at = firstInvalidTextByte(text); at != std::string::npos)
        throw DOMException(FormatMessage(SInvalidText, {what, std::to_string(at)}));
}

TDOMNode::TDOMNode(TDOMNodeType type, TDOMDocument* owner, std::string name, std::string value,
                   std::string namespaceURI)
    : m_type(type), m_owner(owner), m_name(std::move(name)), m_value(std::move(value)),
      m_namespaceURI(std::move(namespaceURI))
{
}

std::string TDOMNode::prefix() const
{
    size_t colon = m_name.find(':');
    return colon == std::string::npos ? std::string() : m_name.substr(0, colon);
}

TDOMNode* TDOMNode::appendChild(std::unique_ptr<TDOMNode> child)
{
    return insertBefore(std::move(child), nullptr);
}

TDOMNode* TDOMNode::insertBefore(std::unique_ptr<TDOMNode> child, TDOMNode* reference)
{
    if (!child)
        throw DOMException(SNodeCannotBeNull);
    auto at = reference
        ? std::find_if(m_children.begin(), m_children.end(), [&](const auto& c) { return c.get() == reference; })
        : m_children.end();
    if (reference && at == m_children.end())
        throw DOMException(SNotAChild);
    child->m_parent = this;
    return m_children.insert(at, std::move(child))->get();
}

std::unique_ptr<TDOMNode> TDOMNode::removeChild(TDOMNode* child)
{
    auto at = std::find_if(m_children.begin(), m_children.end(), [&](const auto& c) { return c.get() == child; });
    if (!child || at == m_children.end())
        throw DOMException(child ? SNotAChild : SNodeCannotBeNull);
    std::unique_ptr<TDOMNode> removed = std::move(*at);
    m_children.erase(at);
    removed->m_parent = nullptr;
    return removed;
}

std::optional<std::string> TDOMNode::getAttribute(const std::string& name) const
{
    for (const auto& attr : m_attributes)
        if (attr.name == name)
            return attr.value;
    return std::nullopt;
}

void TDOMNode::setAttribute(const std::string& name, const std::string& value)
{
    checkName(name);
    if (size_t at = firstInvalidTextByte(value); at != std::string::npos)
        throw DOMException(
            FormatMessage(SInvalidText, {"The value of attribute \"" + name + "\"", std::to_string(at)}));
    for (auto& attr : m_attributes) {
        if (attr.name == name) {
            attr.value = value;
            return;
        }
    }
    m_attributes.push_back({name, value});
}

void TDOMNode::removeAttribute(const std::string& name)
{
    std::erase_if(m_attributes, [&](const TDOMAttr& attr) { return attr.name == name; });
}

TDOMDocument::TDOMDocument() : TDOMNode(TDOMNodeType::DOCUMENT_NODE, this, "#document", "", "")
{
}

namespace {

// Gives the node classes' protected constructor to the document's factory functions.
struct TDOMNodeOf : TDOMNode {
    TDOMNodeOf(TDOMNodeType type, TDOMDocument* owner, std::string name, std::string value, std::string uri)
        : TDOMNode(type, owner, std::move(name), std::move(value), std::move(uri))
    {
    }
};

}  // namespace

std::unique_ptr<TDOMNode> TDOMDocument::createElement(const std::string& tagName)
{
    return createElementNS("", tagName);
}

std::unique_ptr<TDOMNode> TDOMDocument::createElementNS(const std::string& namespaceURI,
                                                        const std::string& qualifiedName)
{
    checkName(qualifiedName);
    CheckXmlText(namespaceURI, "The namespace URI");
    return std::make_unique<TDOMNodeOf>(TDOMNodeType::ELEMENT_NODE, this, qualifiedName, "", namespaceURI);
}

std::unique_ptr<TDOMNode> TDOMDocument::createProcessingInstruction(const std::string& target, const std::string& data)
{
    checkName(target);
    CheckXmlText(data, "The processing instruction's data");
    if (data.find("?>") != std::string::npos)
        throw DOMException(SInvalidPIData);
    return std::make_unique<TDOMNodeOf>(TDOMNodeType::PROCESSING_INSTRUCTION_NODE, this, target, data, "");
}

TDOMNode* TDOMDocument::documentElement() const
{
    for (size_t i = 0; i < childCount(); ++i)
        if (childAt(i)->nodeType() == TDOMNodeType::ELEMENT_NODE)
            return childAt(i);
    return nullptr;
}

std::string TDOMDocument::save(const std::string& standalone) const
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"";
    if (!standalone.empty())
        out += " standalone=\"" + standalone + "\"";
    out += "?>\n";
    for (size_t i = isDeclaration(firstChild()) ? 1 : 0; i < childCount(); ++i)
        writeNode(*childAt(i), {}, out);
    return out;
}

}  // namespace velmora

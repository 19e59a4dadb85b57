#include "xml/writer/XMLDoc.h"

#include <cctype>

namespace velmora {

namespace {

bool isDeclaration(const TDOMNode* node)
{
    return node && node->nodeType() == TDOMNodeType::PROCESSING_INSTRUCTION_NODE && node->nodeName() == "xml";
}

// The text between the first quote after the item's name and the next quote.
std::string readItem(const std::string& declaration, const std::string& name)
{
    size_t at = declaration.find(name);
    if (at == std::string::npos)
        return "";
    size_t open = declaration.find_first_of("\"'", at + name.size());
    if (open == std::string::npos)
        return "";
    size_t close = declaration.find_first_of("\"'", open + 1);
    return declaration.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
}

bool equalsIgnoringCase(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

}  // namespace

TXMLNode::TXMLNode(TDOMNode* domNode, TXMLDocument* document) : m_dom(domNode), m_document(document)
{
    if (!m_dom)
        throw EXMLDocError(SMissingNode);
}

IXMLNode TXMLNode::ParentNode() const
{
    return m_dom->parentNode() ? m_document->wrap(m_dom->parentNode()) : nullptr;
}

IXMLNode TXMLNode::ChildNode(size_t index) const
{
    return m_document->wrap(m_dom->childAt(index));
}

std::string TXMLNode::namespaceForPrefix(const std::string& prefix) const
{
    for (const TDOMNode* node = m_dom; node; node = node->parentNode())
        if (auto uri = node->getAttribute("xmlns:" + prefix))
            return *uri;
    return "";
}

IXMLNode TXMLNode::AppendChildElement(const std::string& tagName, int position)
{
    m_document->checkActive();
    std::string nodeName = tagName;
    std::string namespaceURI;
    if (size_t colon = tagName.find(':'); colon != std::string::npos) {
        namespaceURI = namespaceForPrefix(tagName.substr(0, colon));
    } else {
        if (!Prefix().empty())
            nodeName = Prefix() + ":" + tagName;
        namespaceURI = NamespaceURI();
    }
    TDOMDocument& dom = *m_dom->ownerDocument();
    auto element = namespaceURI.empty() ? dom.createElement(nodeName) : dom.createElementNS(namespaceURI, nodeName);
    m_document->nodeChanging(*this);
    bool before = position >= 0 && static_cast<size_t>(position) < m_dom->childCount();
    TDOMNode* added = before ? m_dom->insertBefore(std::move(element), m_dom->childAt(static_cast<size_t>(position)))
                             : m_dom->appendChild(std::move(element));
    m_document->nodeChanged(*this);
    return m_document->wrap(added);
}

std::optional<std::string> TXMLNode::Attribute(const std::string& name) const
{
    return m_dom->getAttribute(name);
}

void TXMLNode::SetAttribute(const std::string& name, const std::optional<std::string>& value)
{
    m_document->nodeChanging(*this);
    if (value)
        m_dom->setAttribute(name, *value);
    else
        m_dom->removeAttribute(name);
    m_document->nodeChanged(*this);
}

std::shared_ptr<TXMLDocument> TXMLDocument::Create()
{
    return std::shared_ptr<TXMLDocument>(new TXMLDocument);
}

void TXMLDocument::SetActive(bool active)
{
    if (active == Active())
        return;
    if (active) {
        if (BeforeOpen)
            BeforeOpen(*this);
        m_dom = std::make_unique<TDOMDocument>();
        m_modified = false;
        if (AfterOpen)
            AfterOpen(*this);
    } else {
        if (BeforeClose)
            BeforeClose(*this);
        m_wrappers.clear();
        m_dom.reset();
        if (AfterClose)
            AfterClose(*this);
    }
}

void TXMLDocument::checkActive() const
{
    if (!Active())
        throw EXMLDocError(SNotActive);
}

IXMLNode TXMLDocument::wrap(TDOMNode* domNode)
{
    auto& wrapper = m_wrappers[domNode];
    if (!wrapper)
        wrapper = std::make_unique<TXMLNode>(domNode, this);
    return IXMLNode(shared_from_this(), wrapper.get());
}

IXMLNode TXMLDocument::Node()
{
    checkActive();
    return wrap(m_dom.get());
}

IXMLNode TXMLDocument::DocumentElement()
{
    checkActive();
    TDOMNode* element = m_dom->documentElement();
    return element ? wrap(element) : nullptr;
}

void TXMLDocument::nodeChanging(TXMLNode& node)
{
    if (BeforeNodeChange)
        BeforeNodeChange(node);
    m_modified = true;
}

void TXMLDocument::nodeChanged(TXMLNode& node)
{
    if (AfterNodeChange)
        AfterNodeChange(node);
}

TDOMNode* TXMLDocument::declarationNode() const
{
    TDOMNode* first = m_dom ? m_dom->firstChild() : nullptr;
    return isDeclaration(first) ? first : nullptr;
}

std::string TXMLDocument::declarationItem(const std::string& name) const
{
    TDOMNode* declaration = declarationNode();
    std::string value = declaration ? readItem(declaration->nodeValue(), name) : "";
    return value.empty() && name == "version" ? "1.0" : value;
}

void TXMLDocument::setDeclarationItem(const std::string& name, const std::string& value)
{
    checkActive();
    std::string items[] = {Version(), Encoding(), StandAlone()};
    const char* names[] = {"version", "encoding", "standalone"};
    std::string composed;
    for (int i = 0; i < 3; ++i) {
        const std::string& item = names[i] == name ? value : items[i];
        if (item.empty())
            continue;
        if (!composed.empty())
            composed += ' ';
        composed += std::string(names[i]) + "=\"" + item + "\"";
    }
    auto replacement = m_dom->createProcessingInstruction("xml", composed);
    Node();  // the document node exists before its children change
    nodeChanging(*m_wrappers[m_dom.get()]);
    if (TDOMNode* old = declarationNode()) {
        TDOMNode* next = m_dom->childCount() > 1 ? m_dom->childAt(1) : nullptr;
        m_wrappers.erase(old);
        m_dom->removeChild(old);
        m_dom->insertBefore(std::move(replacement), next);
    } else {
        m_dom->insertBefore(std::move(replacement), m_dom->firstChild());
    }
    nodeChanged(*m_wrappers[m_dom.get()]);
}

std::string TXMLDocument::SaveToXML()
{
    checkActive();
    std::string version = Version(), encoding = Encoding(), standalone = StandAlone();
    if (version != "1.0" || !(encoding.empty() || equalsIgnoringCase(encoding, "UTF-8")))
        throw EXMLDocError(FormatMessage(SUnwritableDeclaration, {version, encoding}));
    if (!standalone.empty() && standalone != "yes" && standalone != "no")
        throw EXMLDocError(FormatMessage(SInvalidStandalone, {standalone}));
    return m_dom->save(standalone);
}

void TXMLDocument::WriteToStream(TStream& stream)
{
    stream.WriteString(SaveToXML());
}

}  // namespace velmora

#include "operator/ManifestIndex.h"

#include "http/IdURI.h"
#include "operator/OperatorTexts.h"
#include "screen/ManifestBuilder.h"
#include "xml/reader/XpObjModel.h"

namespace velmora {

namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string attributeText(const TXpNode& element, WideView name)
{
    TXpNamedNodeMap* attributes = element.attributes();
    TXpNode* attribute = attributes ? attributes->getNamedItem(name) : nullptr;
    return attribute ? ToUtf8(attribute->nodeValue()) : std::string();
}

}  // namespace

TManifestIndex::TManifestIndex(const std::vector<TManifestEntry>& listed)
{
    for (const TManifestEntry& entry : listed)
        if (m_byKey.emplace(RequestPathKey(entry.RequestPath), m_entries.size()).second)
            m_entries.push_back(entry);
}

std::optional<size_t> TManifestIndex::FindKey(const std::string& key) const
{
    auto found = m_byKey.find(key);
    return found == m_byKey.end() ? std::nullopt : std::optional<size_t>(found->second);
}

std::string RequestPathOf(const std::string& url)
{
    // The same steps as the server's reading of a request target.
    std::string target = url.find("://") == std::string::npos ? "/" + url : url;
    size_t question = target.find('?');
    if (question != std::string::npos)
        target.erase(question);
    TIdURIParts parts = TIdURI::split(target);
    return TIdURI::URLDecode(parts.Path) + TIdURI::URLDecode(parts.Document) + parts.Params;
}

std::string RequestPathKey(std::string_view requestPath)
{
    // One pass, written in place without the segments' own strings: connection threads key every
    // request. The key is never longer than the path.
    std::string key(requestPath.size(), '\0');
    char* end = key.data();
    bool separatorPending = false;
    for (char c : requestPath) {
        if (c == '/' || c == '\\') {
            separatorPending = end != key.data();
            continue;
        }
        if (separatorPending)
            *end++ = '/';
        separatorPending = false;
        *end++ = lowerAscii(c);
    }
    key.resize(static_cast<size_t>(end - key.data()));
    return key;
}

bool IsManifestRequest(std::string_view requestPath)
{
    return IsManifestRequest(requestPath, RequestPathKey(requestPath));
}

bool IsManifestRequest(std::string_view requestPath, std::string_view key)
{
    return requestPath == "/" || key == ManifestFileName;
}

std::vector<TManifestEntry> ReadManifestEntries(const std::string& bytes)
{
    TXpObjModel model;
    model.SetReadExternals(false);
    if (!model.LoadMemory(bytes, ManifestFileName))
        throw EManifestUnreadable(
            FormatMessage(SManifestoIlegivel, {model.Errors().empty() ? std::string() : model.Errors().front()}));
    std::vector<TManifestEntry> entries;
    const TXpNode* root = model.documentElement();
    if (!root)
        return entries;
    const TXpNodeList& children = root->childNodes();
    for (int i = 0; i < children.length(); ++i) {
        const TXpNode* child = children.item(i);
        if (child->nodeType() != ELEMENT_NODE || child->nodeName() != u"ARQUIVO")
            continue;
        std::string url = attributeText(*child, u"arquivo_caminho");
        std::string path = RequestPathOf(url);
        entries.push_back({attributeText(*child, u"arquivo_nome"), std::move(url), std::move(path)});
    }
    return entries;
}

}  // namespace velmora

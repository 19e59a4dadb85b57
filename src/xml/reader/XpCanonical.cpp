#include "xml/reader/XpCanonical.h"

#include <algorithm>
#include <map>

namespace velmora {

namespace {

void writeEscaped(std::ostream& out, const WideString& text)
{
    std::string utf8 = ToUtf8(text);
    size_t start = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const char* replacement = nullptr;
        switch (utf8[i]) {
        case '&':
            replacement = "&amp;";
            break;
        case '<':
            replacement = "&lt;";
            break;
        case '>':
            replacement = "&gt;";
            break;
        case '"':
            replacement = "&quot;";
            break;
        case '\t':
            replacement = "&#9;";
            break;
        case '\n':
            replacement = "&#10;";
            break;
        case '\r':
            replacement = "&#13;";
            break;
        default:
            continue;
        }
        out.write(utf8.data() + start, static_cast<std::streamsize>(i - start));
        out << replacement;
        start = i + 1;
    }
    out.write(utf8.data() + start, static_cast<std::streamsize>(utf8.size() - start));
}

// Notations of the internal and external subsets, by name in code-point order.
void collectNotations(const TXpNode* node, std::map<std::string, const TXpDTDNotation*>& notations)
{
    std::vector<const TXpNode*> work{node};
    while (!work.empty()) {
        const TXpNode* current = work.back();
        work.pop_back();
        if (current->nodeType() == DTD_NOTATION_NODE)
            notations.emplace(ToUtf8(current->nodeName()), static_cast<const TXpDTDNotation*>(current));
        if (current->nodeType() == DOCUMENT_TYPE_NODE) {
            if (auto* subset = static_cast<const TXpDocumentType*>(current)->ExternalDTD())
                work.push_back(subset);
        }
        for (int i = current->childNodes().length() - 1; i >= 0; --i)
            work.push_back(current->childNodes().item(i));
    }
}

void writeNotations(const TXpDocument& document, const TXpNode* root, std::ostream& out)
{
    std::map<std::string, const TXpDTDNotation*> notations;
    for (int i = 0; i < document.childNodes().length(); ++i)
        if (document.childNodes().item(i)->nodeType() == DOCUMENT_TYPE_NODE)
            collectNotations(document.childNodes().item(i), notations);
    if (notations.empty())
        return;
    out << "<!DOCTYPE " << ToUtf8(root->nodeName()) << " [\n";
    for (const auto& [name, notation] : notations) {
        out << "<!NOTATION " << name;
        if (!notation->PublicId.empty()) {
            out << " PUBLIC '" << ToUtf8(notation->PublicId) << "'";
            if (!notation->SystemId.empty())
                out << " '" << ToUtf8(notation->SystemId) << "'";
        } else {
            out << " SYSTEM '" << ToUtf8(notation->SystemId) << "'";
        }
        out << ">\n";
    }
    out << "]>\n";
}

void writeStartTag(const TXpNode* element, std::ostream& out)
{
    out << '<' << ToUtf8(element->nodeName());
    if (TXpNamedNodeMap* attributes = element->attributes()) {
        std::vector<std::pair<std::string, const TXpNode*>> sorted;
        for (int i = 0; i < attributes->length(); ++i)
            sorted.emplace_back(ToUtf8(attributes->item(i)->nodeName()), attributes->item(i));
        std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [name, attribute] : sorted) {
            out << ' ' << name << "=\"";
            writeEscaped(out, attribute->nodeValue());
            out << '"';
        }
    }
    out << '>';
}

void writeProcessingInstruction(const TXpNode* node, std::ostream& out)
{
    out << "<?" << ToUtf8(node->nodeName()) << ' ' << ToUtf8(node->nodeValue()) << "?>";
}

// Elements, text and processing instructions below the root, without recursion.
void writeElement(const TXpNode* root, std::ostream& out)
{
    std::vector<std::pair<const TXpNode*, int>> stack{{root, 0}};
    writeStartTag(root, out);
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        if (next >= node->childNodes().length()) {
            out << "</" << ToUtf8(node->nodeName()) << '>';
            stack.pop_back();
            continue;
        }
        const TXpNode* child = node->childNodes().item(next++);
        switch (child->nodeType()) {
        case ELEMENT_NODE:
            writeStartTag(child, out);
            stack.emplace_back(child, 0);
            break;
        case TEXT_NODE:
        case CDATA_SECTION_NODE:
            writeEscaped(out, child->nodeValue());
            break;
        case PROCESSING_INSTRUCTION_NODE:
            writeProcessingInstruction(child, out);
            break;
        default:
            break;
        }
    }
}

}  // namespace

void XpWriteCanonical(const TXpDocument& document, std::ostream& out)
{
    const TXpNode* root = document.documentElement();
    for (int i = 0; i < document.childNodes().length(); ++i) {
        const TXpNode* child = document.childNodes().item(i);
        if (child == root) {
            writeNotations(document, root, out);
            writeElement(root, out);
        } else if (child->nodeType() == PROCESSING_INSTRUCTION_NODE && child->nodeName() != u"xml") {
            writeProcessingInstruction(child, out);
        }
    }
}

}  // namespace velmora

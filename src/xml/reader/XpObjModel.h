#pragma once
// TXpObjModel: loads an XML source into a node tree rooted in its document, building the tree
// from the parser's events, and keeps the reason of the last failed load in Errors.

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "xml/reader/XpDOM.h"
#include "xml/reader/XpParser.h"

namespace velmora {

enum class TXpLineBreakMode { lbmDefault, lbmCR, lbmCRLF, lbmLF };

class TXpObjModel {
public:
    TXpObjModel();
    ~TXpObjModel();
    TXpObjModel(const TXpObjModel&) = delete;
    TXpObjModel& operator=(const TXpObjModel&) = delete;

    // Loads a local path, "file://" path, "http://" or "ftp://" location. False when the source
    // could not be read or parsed: Errors says why and Document is left empty. With RaiseErrors
    // the failure is thrown after that.
    bool LoadDocumentFile(const std::string& name);
    // The same for a document held in memory, read as if from the named location.
    bool LoadMemory(const std::string& bytes, const std::string& name);
    // When off, external subsets and entities are not read.
    void SetReadExternals(bool read) { m_parser->ReadExternals = read; }

    TXpDocument* Document() const { return m_document.get(); }
    // The first child element of Document, or none.
    TXpNode* documentElement() const { return m_document->documentElement(); }
    const std::vector<std::string>& Errors() const { return m_errors; }
    const TXpNodeList& StyleSheets() const { return m_styleSheets; }
    const std::set<std::string>& TrackedAttributes() const { return m_trackedAttributes; }
    const std::set<std::string>& TrackedElements() const { return m_trackedElements; }
    const TXpParser& Parser() const { return *m_parser; }

    size_t BufferSize() const { return m_parser->BufferSize; }
    void SetBufferSize(size_t size) { m_parser->BufferSize = size; }
    bool IgnoreCase() const { return m_document->IgnoreCase; }
    void SetIgnoreCase(bool ignore) { m_document->IgnoreCase = ignore; }
    const WideString& IdAttribute() const { return m_document->IdAttribute; }
    void SetIdAttribute(WideView name) { m_document->IdAttribute.assign(name); }
    const std::string& Password() const { return m_parser->Password; }
    void SetPassword(const std::string& password) { m_parser->Password = password; }
    const std::string& UserName() const { return m_parser->UserName; }
    void SetUserName(const std::string& name) { m_parser->UserName = name; }

    bool NormalizeData = true;
    bool RaiseErrors = false;
    bool TrackAttributes = false;
    bool TrackElements = false;
    TXpCharEncoding OutCharSet = TXpCharEncoding::ceUnknown;
    // Output settings, kept for writers of the tree.
    bool FormattedOutput = false;
    TXpLineBreakMode LineBreakMode = TXpLineBreakMode::lbmDefault;
    bool LineBreakCharReplace = false;
    bool WriteUTF8Signature = true;
    int Tag = 0;

    std::function<void(WideString& sFile)> OnDTDExternal;
    std::function<void(const WideString& sElementName, bool& bPreserve)> OnPreserveSpace;

private:
    void ConnectParser();
    // The parser's events that build the document's content, and those that build its DTD nodes.
    void connectContentEvents();
    void connectDtdEvents();
    TXpNode* Top() const { return m_stack.back(); }
    // Adds a new node to the top node and drops the creation reference.
    void Append(TXpNode* node);
    // Adds a new node to the top node and makes it the top.
    void AppendAndPush(TXpNode* node);
    void Pop();
    void DiscardLoad();
    // The shared name of a parsed name (the caller's reference), through a small cache.
    TXpName* ParsedName(const WideString& text, size_t hint);
    bool Load(const std::function<bool()>& parse);

    std::unique_ptr<TXpParser> m_parser;
    TXpRef<TXpDocument> m_document;
    // The nodes being filled; each but the document holds its creation reference here.
    std::vector<TXpNode*> m_stack;
    std::vector<TXpAttribute*> m_pending;
    static constexpr size_t NameCacheSize = 1024;
    std::vector<TXpName*> m_nameCache = std::vector<TXpName*>(NameCacheSize);
    std::vector<std::string> m_errors;
    TXpNodeList m_styleSheets;
    std::set<std::string> m_trackedAttributes;
    std::set<std::string> m_trackedElements;
};

}  // namespace velmora

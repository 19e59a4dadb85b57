#pragma once
// TXpParser: the event-driven, non-validating XML 1.0 parser. It reads a source through the
// character input, applies what the document type declaration declares, normalises character
// data and reports what it finds through its events; the first error ends the parse.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "xml/reader/Limits.h"
#include "xml/reader/XpBase.h"
#include "xml/reader/XpChrFlt.h"
#include "xml/reader/XpDTD.h"

namespace velmora {

inline constexpr const char* SExpectedString = "Expected String: ";
inline constexpr const char* SWhitespaceExpected = "Whitespace expected at ";
inline constexpr const char* SInvalidName = "Invalid XML name: ";
inline constexpr const char* SInvalidElementName = "Invalid element name: ";
inline constexpr const char* SInvalidAttributeName = "Invalid attribute name: ";
inline constexpr const char* SInvalidPITarget = "Invalid processing instruction target: ";
inline constexpr const char* SDataAfterDocument = "There is invalid data after valid XML document";
inline constexpr const char* SEndOfInputDelimiter = "End of input while looking for delimiter: ";
inline constexpr const char* SXmlDeclPosition = "The XML declaration must appear before the first element";
inline constexpr const char* SInvalidVersion = "Invalid XML version number: ";
inline constexpr const char* SUnsupportedVersion = "Dornel does not support XML specification greater than %s";
inline constexpr const char* SInvalidEncoding = "Invalid encoding declaration: ";
inline constexpr const char* SUnsupportedEncoding = "Unsupported encoding: ";
inline constexpr const char* SInvalidStandalone = "Standalone value must equal 'yes' or 'no'";
inline constexpr const char* SAttributeRedefined = "Attributes cannot be redefined in a start tag";
inline constexpr const char* SInvalidAttrChar = "Invalid character in attribute value: ";
inline constexpr const char* SUnexpectedEof = "Unexpected end of file ";
inline constexpr const char* SExpectedCommentOrCData = "Expected comment or CDATA section ";
inline constexpr const char* SMismatchedEndTag = "Mismatched end tag: ";
inline constexpr const char* SExpectedElement = "Expected start of new element.";
inline constexpr const char* SInvalidCharData = "Invalid characters in element's character data: ";
inline constexpr const char* SInvalidComment = "Invalid comment text";
inline constexpr const char* SExpectedQuote = "Expected \" or '";
inline constexpr const char* SExpectedDelimiter = "Expected: ";
inline constexpr const char* SIllegalRefChar = "Illegal character in reference: %s (%d)";
inline constexpr const char* SInvalidCharRef = "Character reference to a character that is not allowed in XML: %s";
inline constexpr const char* SUndeclaredEntity = "Reference to undeclared entity: ";
inline constexpr const char* SCircularReference = "Circular reference to: ";
inline constexpr const char* SExternalEntityInAttribute = "Reference to an external entity in attribute value: ";
inline constexpr const char* SNestingTooDeep = "Elements nested deeper than %s levels";
inline constexpr const char* SEntityNestingTooDeep = "Entity references nested deeper than %s levels";
inline constexpr const char* SEntityExpansionLimit = "Entity expansion exceeds the allowed size";
inline constexpr const char* SErrorLine = "File: %s. Line: %d Col: %d Error: %s";
// Document type declarations.
inline constexpr const char* SInvalidPublicIdChar = "Invalid PublicID character: ";
inline constexpr const char* SExpectedMarkupDecl = "Expected markup declaration, but found: ";
inline constexpr const char* SConditionalInInternal =
    "Conditional sections not allowed in internal subset of document type declaration";
inline constexpr const char* SConditionalKeyword = "Conditional section must begin with INCLUDE or IGNORE";
inline constexpr const char* SMalformedIgnore = "Encountered malformed IGNORE section.";
inline constexpr const char* SPENotNested = "Parameter-entity text must be properly nested: ";
inline constexpr const char* SPEInInternalSubset = "Parameter entities not allowed in DTD internal subset";
inline constexpr const char* SBadSeparator = "Bad separator in content model: ";
inline constexpr const char* SIllegalAttrType = "Illegal attribute type: ";
inline constexpr const char* SIllegalDefaultKeyword = "Illegal keyword for attribute default value: ";
inline constexpr const char* SInvalidEntityValueChar = "Invalid character in entity value: ";
inline constexpr const char* SSystemIdMissing = "System identifier missing ";
inline constexpr const char* SNDataInPE = "NDATA not allowed in parameter entity declaration";
inline constexpr const char* SExternalModifierMissing = "External modifier missing: ";
inline constexpr const char* SDeclarationsTooDeep = "Declarations nested deeper than %s levels";
inline constexpr const char* SDeclarationAcrossEntities =
    "A markup declaration must end in the entity in which it began";

class TXpParser {
public:
    TXpParser();
    ~TXpParser();
    TXpParser(const TXpParser&) = delete;
    TXpParser& operator=(const TXpParser&) = delete;

    // Parses the named source; true when Errors is empty at the end. A source that cannot be
    // opened throws EXpParserError whatever RaiseErrors says.
    bool ParseSource(const std::string& name);
    // Parses a document held in memory as if it had been read from the named location, against
    // which its relative references resolve.
    bool ParseMemory(const std::string& bytes, const std::string& name);

    TXpCharEncoding InputEncoding() const;
    const std::vector<std::string>& Errors() const { return m_errors; }
    const std::string& DocLocation() const { return m_docLocation; }
    const std::string& DocName() const { return m_docName; }
    const TXpDTD& DTD() const { return m_dtd; }

    size_t BufferSize = DefaultBufferSize;
    bool NormalizeData = true;
    bool RaiseErrors = false;
    std::string Password = "user@localhost";
    std::string UserName = "anonymous";
    // When off, external subsets and external entities are not read (as without system id).
    bool ReadExternals = true;

    std::function<void()> OnStartDocument;
    std::function<void()> OnEndDocument;
    std::function<void(const WideString& sValue)> OnStartElement;
    std::function<void(const WideString& sValue)> OnEndElement;
    std::function<void(const WideString& sName, const WideString& sValue, bool bSpecified)> OnAttribute;
    std::function<void(const WideString& sValue)> OnCharData;
    std::function<void(const WideString& sValue)> OnCDATASection;
    std::function<void(const WideString& sValue)> OnComment;
    std::function<void(const WideString& sName, const WideString& sValue)> OnProcessingInstruction;
    std::function<void(const WideString& sElementName, bool& bPreserve)> OnPreserveSpace;
    std::function<void(const WideString& sEntityName, const WideString& sPublicId, const WideString& sSystemId,
                       const WideString& sNotationName)>
        OnNonXMLEntity;
    std::function<void(const WideString& sName, const WideString& sPublicId, const WideString& sSystemId,
                       WideString& sValue)>
        OnResolveEntity;
    std::function<void(const WideString& sValue)> OnIgnorableWhitespace;
    // The external subset has been opened; the text is the directory it is read from.
    std::function<void(const std::string& sDirectory)> OnDTDExternalOpened;

    std::function<void(const WideString& sDecl, const WideString& sId0, const WideString& sId1)> OnDocTypeDecl;
    std::function<void(const WideString& sDecl, const WideString& sId0, const WideString& sId1)> OnDTDStart;
    std::function<void()> OnDTDEnd;
    std::function<void(WideString& sFile)> OnDTDExternalStart;
    std::function<void()> OnDTDExternalEnd;
    std::function<void(const WideString& sName, int wContentType)> OnDTDElementStart;
    std::function<void()> OnDTDElementGroupStart;
    std::function<void(const WideString& sName, int wOccurrence, int wRelation)> OnDTDElementContent;
    std::function<void(int wOccurrence, int wRelation)> OnDTDElementGroupEnd;
    std::function<void(const WideString& sName)> OnDTDElementEnd;
    std::function<void(const WideString& sValue)> OnDTDAttlistStart;
    std::function<void()> OnDTDAttlistEnd;
    std::function<void(const WideString& sName, int wAttrType, const std::vector<WideString>& oEnumeration,
                       int wValueType, const WideString& sValue)>
        OnDTDAttDefinition;
    std::function<void(bool bPeFlag, const WideString& sName, const WideString& sValue)> OnDTDEntityInternal;
    std::function<void(bool bPeFlag, const WideString& sName, const WideString& sPublicId, const WideString& sSystemId,
                       const WideString& sNotationName)>
        OnDTDEntityExternal;
    std::function<void(const WideString& sNotationName, const WideString& sPublicId, const WideString& sSystemId)>
        OnDTDNotation;
    std::function<void(int wType)> OnDTDConditionalStart;
    std::function<void()> OnDTDConditionalEnd;

private:
    // lkExternalEntityValue: an entity value outside the internal subset, where parameter-entity
    // references in it are expanded.
    enum LiteralKind { lkPlain, lkPublicId, lkEntityValue, lkExternalEntityValue, lkCDataAttribute, lkAttribute };

    struct InputFrame {
        std::unique_ptr<TXpInCharFilter> input;
        WideString entityName;
        // Tells inputs apart over a parse, also one freed and one made later at the same address.
        uint64_t serial = 0;
    };
    // The xml:space value of a start tag, given or defaulted.
    struct XmlSpace {
        WideString value;
        bool present = false;
    };
    struct ElementFrame {
        WideString name;
        int contentType = ctAny;
        bool preserve = false;
    };
    struct Particle;

    // Inputs.
    void PushInput(std::unique_ptr<TXpInCharFilter> input, const WideString& entityName);
    // padded: the text gets a space on either side, as a parameter entity between the parts of
    // the document type declaration does.
    void PushEntityText(const TXpEntityInfo& entity, bool padded = false);
    // parent: the location a relative system identifier resolves against, by default the file
    // being read.
    void PushExternal(const WideString& systemId, const WideString& entityName, const TXpDirContext* parent = nullptr,
                      bool padded = false);
    void PopInput();
    void SkipTextDeclaration();
    void CheckCircular(const WideString& name);

    // Reading primitives; they pass into the input below when an entity's text is exhausted.
    int Peek()
    {
        TXpInCharFilter* in = m_cur;
        return in->Pos() < in->End() ? in->Chars()[in->Pos()] : PeekSlow();
    }
    int PeekSlow();
    void Consume() { m_cur->Consume(); }
    bool TryMatch(WideView text);
    // Whether the current input continues with the text; nothing is consumed.
    bool LookingAt(WideView text);
    void Require(WideView text);
    void RequireWhitespace();
    bool SkipWhitespace();
    void Eq();
    void ReadName(WideString& out, bool first);
    WideString ReadName(bool first);

    // Errors.
    // Throws the syntax error at the current place; columnOffset moves the reported column.
    [[noreturn]] void Fail(const std::string& message, int columnOffset = 0);
    // The innermost input read from a file (the document, a subset, an external entity).
    TXpInCharFilter& FileInput() const;
    std::string ErrorLocation() const;
    void RecordError(const std::string& file, int line, int column, const std::string& message);

    // The document.
    void ParseDocument();
    void ParseMisc();
    void ParseProcessingInstruction();
    void ParseXmlDeclaration(bool textDeclaration);
    void ApplyEncodingDeclaration(const WideString& label);
    void ParseComment();
    void ParseCData();
    void ParseContent();
    void ParseStartTag();
    void ReadAttributes(const TXpElementInfo* info, XmlSpace& xmlSpace);
    void ReadAttribute(const TXpElementInfo* info, XmlSpace& xmlSpace);
    void ReportDefaultAttributes(TXpElementInfo& info, XmlSpace& xmlSpace);
    bool PreserveSpaceFor(const XmlSpace& xmlSpace);
    void OpenElement(int contentType, bool preserve);
    void ParseEndTag();
    void ReadCharData();
    void ReadWhitespaceData();
    void Flush();
    void NormalizeBuffer(WideString& text) const;
    void ScanUntil(WideView delimiter, WideString& out);

    // References.
    uint32_t ReadCharRef();
    void AppendCharRef(WideString& out);
    void ExpandEntityInContent();
    // padded: a space on either side of the replacement text, as between declaration parts.
    void ExpandParameterEntity(bool checkNesting = false, bool padded = true);

    // Literals: the value is left in m_literal; answers whether a reference was met.
    bool ReadLiteral(LiteralKind kind);
    bool ReadLiteralBody(LiteralKind kind, int delimiter, size_t baseDepth);
    bool AppendLiteralSpecial(LiteralKind kind, WideChar c);
    void ExpandEntityInAttribute();
    void ExpandParameterEntityInLiteral();
    const WideString& DefaultValue(TXpAttributeInfo& info);

    // Document type declarations.
    void ParseDocTypeDecl();
    void ParseExternalSubset(const WideString& systemId);
    // Markup declarations and the parameter-entity references between them, up to `end`
    // (consumed), or with an empty `end` until the input beneath them is exhausted.
    void ReadDeclarations(WideView end);
    void ParseMarkupDecl();
    bool InInternalSubset() const;
    bool SkipDeclSpace();
    bool AtPEReferenceInDeclaration();
    void RequireDeclSpace();
    void EndDeclaration();
    void SkipPEReferences(bool checkNesting);
    bool ParseExternalId(WideString& publicId, WideString& systemId, bool notation);
    void ParseElementDecl();
    void ParseContentSpec(int& contentType, std::unique_ptr<Particle>& model);
    std::unique_ptr<Particle> ParseMixedContent();
    std::unique_ptr<Particle> ParseContentGroup(size_t depth);
    void SkipSpaceInModel();
    void ReportParticle(const Particle& particle);
    int ReadOccurrence();
    void ParseAttlistDecl();
    TXpAttributeInfo ParseAttributeDefinition(const WideString& element);
    void ParseAttributeType(TXpAttributeInfo& info, const WideString& element);
    void ParseAttributeDefault(TXpAttributeInfo& info);
    void ParseEnumeration(std::vector<WideString>& names);
    void ParseEntityDecl();
    void ParseEntityValue(TXpEntityInfo& info);
    void ParseExternalEntity(TXpEntityInfo& info);
    void ParseNotationDecl();
    void ParseConditional();
    void ReadIgnoredSection();

    bool ParseInput(std::unique_ptr<TXpInCharFilter> input);
    void ResetState();
    void Cleanup();
    int64_t InputBytesRead() const;

    std::vector<InputFrame> m_inputs;
    TXpInCharFilter* m_cur = nullptr;
    size_t m_floor = 0;
    int64_t m_closedBytes = 0;
    int64_t m_expandedBytes = 0;

    std::vector<std::string> m_errors;
    std::vector<std::string> m_tempFiles;
    std::string m_docLocation;
    std::string m_docName;
    TXpCharEncoding m_lastEncoding = TXpCharEncoding::ceUnknown;
    TXpDTD m_dtd;

    WideString m_data;
    WideString m_literal;
    WideString m_name;
    std::vector<ElementFrame> m_elements;
    size_t m_depth = 0;
    std::vector<WideString> m_attrNames;
    std::vector<size_t> m_attrHashes;
    size_t m_attrCount = 0;
    bool m_markupSeen = false;
    bool m_rootSeen = false;
    bool m_inCData = false;
    bool m_inDTD = false;
    bool m_preserve = false;
    int m_contentType = ctAny;
    size_t m_declDepth = 0;
    uint64_t m_inputSerial = 0;
    // The declaration being read: the input it began in, and whether it is read with the rules
    // of the internal subset (no parameter-entity references between its parts).
    uint64_t m_declInput = 0;
    bool m_declInternal = true;
};

}  // namespace velmora

#pragma once
// Character input of the XML reader: resolves a source name to a location, opens it, decodes
// its bytes (UTF-8, UTF-16, Windows-1252, ISO-8859-15) into UTF-16 with line ends normalised and non-XML
// characters refused, and counts lines and columns for error lines.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Stream.h"
#include "xml/reader/XpBase.h"
#include "xml/reader/XpExcept.h"

namespace velmora {

inline constexpr const char* SInvalidXmlChar = "Invalid XML Character found";
inline constexpr const char* SBadUtf8 = "Badly formed UTF-8 character in stream";
inline constexpr const char* SBadUtf16BE = "Invalid (big-endian) UTF-16 character encoding";
inline constexpr const char* SBadUtf16LE = "Invalid (little-endian) UTF-16 character encoding";
inline constexpr const char* SFileNotFound = "File %s could not be found";
inline constexpr const char* SCannotMixPaths = "Cannot mix absolute local path %s with internet path %s";

// The encoding that an encoding declaration's label names: UTF-8, UTF-16, Windows-1252,
// ISO-8859-15, and the Latin-1 and ASCII labels, which are read as Windows-1252 like browsers
// read them (a file from Windows labelled ISO-8859-1 holds Windows-1252 bytes such as the en
// dash 0x96). Answers ceUnknown for a label the reader cannot decode.
TXpCharEncoding XpEncodingOfLabel(WideView label);

// The smallest byte buffer an input accepts: above the look-ahead that markup matches need.
inline constexpr size_t MinBufferSize = 128;
inline constexpr size_t DefaultBufferSize = 8192;

enum class TXpDirKind { Local = 0, Http = 1, Ftp = 2 };

// Where a source lives: a kind, a directory (ending with "/") and a file name.
class TXpBaseDirContext {
public:
    TXpDirKind Kind = TXpDirKind::Local;
    std::string Directory;
    std::string FileName;

    std::string FullLocation() const { return Directory + FileName; }
    bool IsRemote() const { return Kind != TXpDirKind::Local; }
};

class TXpDirContext : public TXpBaseDirContext {
public:
    // Resolves a name against the location of the source that referenced it (none for the
    // document itself, whose relative names resolve against the current directory).
    // Throws EXpException when a remote document names an absolute local file.
    static TXpDirContext Resolve(const TXpDirContext* parent, const std::string& name);
};

// A file stream that remembers the name it was opened with.
class TXpFileStream : public TFileStream {
public:
    explicit TXpFileStream(const std::string& path) : TFileStream(path, fmOpenRead) {}
};

// The bytes of a text held in memory.
class TXpMemoryStream : public TStringStream {
public:
    using TStringStream::TStringStream;
};

// One source being read: a byte stream decoded into a window of UTF-16 code units that the
// parser scans in place, or a text held in memory (an entity's replacement text).
class TXpInCharFilter {
public:
    TXpInCharFilter(std::unique_ptr<TStream> stream, size_t bufferSize, std::unique_ptr<TXpDirContext> location);
    // An input over a replacement text; carriage returns are read as line feeds.
    static std::unique_ptr<TXpInCharFilter> FromText(WideView text);

    TXpInCharFilter(const TXpInCharFilter&) = delete;
    TXpInCharFilter& operator=(const TXpInCharFilter&) = delete;

    // The units decoded and not yet consumed are Chars()[Pos() .. End()).
    const WideChar* Chars() const { return m_chars; }
    size_t Pos() const { return m_pos; }
    size_t End() const { return m_end; }
    void SetPos(size_t pos) { m_pos = pos; }
    size_t Avail() const { return m_end - m_pos; }

    // Makes at least `need` units available when the input has them; answers whether it did.
    // When nothing is left and the next bytes do not decode, throws their EXpFilterError.
    bool Fill(size_t need = 1) { return m_end - m_pos >= need || FillSlow(need); }
    // The next unit, or -1 at the end of this input.
    int Peek() { return m_pos < m_end || FillSlow(1) ? m_chars[m_pos] : -1; }
    void Consume() { ++m_pos; }
    // Consumes the text when the next units equal it; otherwise consumes nothing.
    bool TryMatch(WideView text);

    // Switches to the encoding an encoding declaration names, unless a byte-order mark or a
    // UTF-16 start ("<?" in two-byte units) has already decided it; a UTF-16 label changes nothing.
    void SetEncoding(TXpCharEncoding encoding);
    TXpCharEncoding Encoding() const;
    bool EncodingFixed() const { return m_encodingFixed; }
    bool EndOfInput() { return m_pos >= m_end && !FillSlow(1); }
    // Line and column (from 1) of the next unit to be consumed.
    int Line();
    int Column();
    const TXpDirContext* Location() const { return m_location.get(); }
    bool IsText() const { return m_isText; }
    // Bytes taken from the stream so far (0 for a text input).
    int64_t BytesRead() const { return m_bytesBefore + static_cast<int64_t>(m_bytePos); }
    // An exception for a decoding error at the next unit.
    EXpFilterError MakeError(const std::string& message);

private:
    enum Decoder { dUTF8, dUTF16LE, dUTF16BE, dSingleByte };

    TXpInCharFilter() = default;
    bool FillSlow(size_t need);
    void ShiftWindow();
    bool RefillBytes();
    // Decodes into the window until it is full, the bytes end or a decoding error is met.
    void Decode();
    void DecodeUtf8(WideChar*& out, WideChar* outEnd);
    void DecodeSingleByte(WideChar*& out, WideChar* outEnd);
    void DecodeUtf16(WideChar*& out, WideChar* outEnd);
    // Emits a decoded code point (surrogate pairs included) after the CR and Char rules;
    // false when it was refused.
    bool Emit(uint32_t c, WideChar*& out, size_t byteStart);
    void SetPending(const char* message, size_t byteStart);
    void Advance(size_t upTo, int& line, int& column) const;

    std::unique_ptr<TStream> m_stream;
    std::unique_ptr<TXpDirContext> m_location;
    std::vector<uint8_t> m_bytes;
    size_t m_bytePos = 0;
    size_t m_byteEnd = 0;
    int64_t m_bytesBefore = 0;
    bool m_streamDone = false;
    Decoder m_decoder = dUTF8;
    // Set when a byte-order mark or the UTF-16 form of "<?" decided the encoding.
    bool m_encodingFixed = false;
    bool m_encodingOpen = true;
    TXpCharEncoding m_declared = TXpCharEncoding::ceUTF8;
    // The characters of the bytes when a single-byte code page decodes.
    const char16_t* m_codePage = nullptr;
    bool m_skipLF = false;
    const char* m_pending = nullptr;
    int64_t m_pendingPosition = 0;
    bool m_isText = false;

    std::vector<WideChar> m_window;
    WideChar* m_chars = nullptr;
    size_t m_pos = 0;
    size_t m_end = 0;
    int m_baseLine = 1;
    int m_baseColumn = 1;
};

// Opens a source named as a local path, "file://" path, "http://" or "ftp://" location,
// relative to the parent's location. A missing or unreadable source adds its line to errors
// and throws EXpParserError; the names of temporary files of fetches go to tempFiles.
std::unique_ptr<TXpInCharFilter> XpOpenSource(const TXpDirContext* parent, const std::string& name, size_t bufferSize,
                                              std::vector<std::string>& errors, const std::string& password,
                                              const std::string& userName, std::vector<std::string>& tempFiles);

}  // namespace velmora

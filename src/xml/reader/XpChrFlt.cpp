#include "xml/reader/XpChrFlt.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "xml/reader/XpExcept.h"

namespace velmora {

namespace {

// Bytes that stand for themselves in UTF-8: tab, line feed and U+0020 to U+007F. In the
// single-byte code pages every byte from 0x20 on, tab and line feed are characters of XML.
struct PlainTables {
    bool utf8[256] = {};
    bool singleByte[256] = {};
    PlainTables()
    {
        for (int b = 0x20; b < 0x80; ++b)
            utf8[b] = true;
        for (int b = 0x20; b < 0x100; ++b)
            singleByte[b] = true;
        utf8[0x9] = utf8[0xA] = singleByte[0x9] = singleByte[0xA] = true;
    }
};
const PlainTables kPlain;

// The characters of the bytes of a single-byte code page.
struct CodePage {
    char16_t chars[256];
    constexpr CodePage(std::initializer_list<std::pair<uint8_t, char16_t>> changes) : chars{}
    {
        for (int b = 0; b < 256; ++b)
            chars[b] = static_cast<char16_t>(b);
        for (auto [byte, c] : changes)
            chars[byte] = c;
    }
};

// Windows-1252: ISO-8859-1 but for 0x80 to 0x9F; the five bytes the code page leaves undefined
// keep their C1 values.
constexpr CodePage kWindows1252 = {
    {0x80, 0x20AC}, {0x82, 0x201A}, {0x83, 0x0192}, {0x84, 0x201E}, {0x85, 0x2026}, {0x86, 0x2020}, {0x87, 0x2021},
    {0x88, 0x02C6}, {0x89, 0x2030}, {0x8A, 0x0160}, {0x8B, 0x2039}, {0x8C, 0x0152}, {0x8E, 0x017D}, {0x91, 0x2018},
    {0x92, 0x2019}, {0x93, 0x201C}, {0x94, 0x201D}, {0x95, 0x2022}, {0x96, 0x2013}, {0x97, 0x2014}, {0x98, 0x02DC},
    {0x99, 0x2122}, {0x9A, 0x0161}, {0x9B, 0x203A}, {0x9C, 0x0153}, {0x9E, 0x017E}, {0x9F, 0x0178},
};

// ISO-8859-15 (Latin-9): ISO-8859-1 with the euro sign and seven letters in place.
constexpr CodePage kIso885915 = {
    {0xA4, 0x20AC}, {0xA6, 0x0160}, {0xA8, 0x0161}, {0xB4, 0x017D},
    {0xB8, 0x017E}, {0xBC, 0x0152}, {0xBD, 0x0153}, {0xBE, 0x0178},
};

bool sameLabel(WideView label, std::string_view name)
{
    if (label.size() != name.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        WideChar c = label[i];
        if (c >= u'A' && c <= u'Z')
            c = static_cast<WideChar>(c + (u'a' - u'A'));
        if (c != static_cast<unsigned char>(name[i]))
            return false;
    }
    return true;
}

// Widens runs of printable ASCII sixteen bytes at a time; stops before the first byte that
// needs a closer look (a control character, tab and line ends included, or a non-ASCII byte).
size_t CopyPlainAscii(const uint8_t* b, size_t p, size_t e, WideChar*& out, WideChar* outEnd)
{
#if defined(__SSE2__)
    const __m128i space = _mm_set1_epi8(0x20);
    const __m128i zero = _mm_setzero_si128();
    while (p + 16 <= e && out + 16 <= outEnd) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + p));
        // Signed comparison: bytes from 0x80 on are negative, so they count as below 0x20 too.
        int special = _mm_movemask_epi8(_mm_cmplt_epi8(bytes, space));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
        if (special != 0) {
            int plainCount = __builtin_ctz(static_cast<unsigned>(special));
            out += plainCount;
            return p + static_cast<size_t>(plainCount);
        }
        out += 16;
        p += 16;
    }
#else
    (void)outEnd;
    (void)b;
    (void)e;
#endif
    return p;
}

}  // namespace

TXpInCharFilter::TXpInCharFilter(std::unique_ptr<TStream> stream, size_t bufferSize,
                                 std::unique_ptr<TXpDirContext> location)
    : m_stream(std::move(stream)), m_location(std::move(location))
{
    bufferSize = std::max(bufferSize, MinBufferSize);
    m_bytes.resize(bufferSize);
    m_window.resize(bufferSize);
    m_chars = m_window.data();
    RefillBytes();
    const uint8_t* b = m_bytes.data();
    if (m_byteEnd >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        m_decoder = dUTF16BE;
        m_bytePos = 2;
    } else if (m_byteEnd >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        m_decoder = dUTF16LE;
        m_bytePos = 2;
    } else if (m_byteEnd >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        m_bytePos = 3;
        m_encodingFixed = true;
    } else if (m_byteEnd >= 4 && b[0] == '<' && b[1] == 0 && b[2] == '?' && b[3] == 0) {
        // UTF-16 without a mark, recognised by the "<?" that begins its declaration.
        m_decoder = dUTF16LE;
    } else if (m_byteEnd >= 4 && b[0] == 0 && b[1] == '<' && b[2] == 0 && b[3] == '?') {
        m_decoder = dUTF16BE;
    }
    m_encodingFixed = m_encodingFixed || m_decoder != dUTF8;
    m_encodingOpen = !m_encodingFixed;
}

std::unique_ptr<TXpInCharFilter> TXpInCharFilter::FromText(WideView text)
{
    std::unique_ptr<TXpInCharFilter> input(new TXpInCharFilter);
    input->m_isText = true;
    input->m_streamDone = true;
    input->m_encodingOpen = false;
    input->m_decoder = dUTF16LE;
    input->m_window.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            input->m_window.push_back(u'\n');
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            input->m_window.push_back(text[i]);
        }
    }
    input->m_chars = input->m_window.data();
    input->m_end = input->m_window.size();
    return input;
}

bool TXpInCharFilter::FillSlow(size_t need)
{
    while (!m_isText && m_end - m_pos < need && !m_pending) {
        if (m_bytePos >= m_byteEnd && !RefillBytes())
            break;
        if (m_pos > 0 || m_end + 2 > m_window.size())
            ShiftWindow();
        Decode();
    }
    if (m_pos >= m_end && m_pending)
        throw EXpFilterError(m_pending, m_pendingPosition, Line(), Column());
    return m_end - m_pos >= need;
}

void TXpInCharFilter::ShiftWindow()
{
    Advance(m_pos, m_baseLine, m_baseColumn);
    std::memmove(m_chars, m_chars + m_pos, (m_end - m_pos) * sizeof(WideChar));
    m_end -= m_pos;
    m_pos = 0;
}

void TXpInCharFilter::Advance(size_t upTo, int& line, int& column) const
{
    const WideChar* begin = m_chars;
    const WideChar* end = m_chars + upTo;
    auto lineFeeds = std::count(begin, end, u'\n');
    const WideChar* lineStart = begin;
    if (lineFeeds > 0) {
        line += static_cast<int>(lineFeeds);
        column = 1;
        lineStart = std::find(std::make_reverse_iterator(end), std::make_reverse_iterator(begin), u'\n').base();
    }
    // Columns count characters: the second unit of a surrogate pair adds nothing.
    auto units = end - lineStart;
    auto seconds = std::count_if(lineStart, end, [](WideChar c) { return xpchar::IsLowSurrogate(c); });
    column += static_cast<int>(units - seconds);
}

int TXpInCharFilter::Line()
{
    int line = m_baseLine, column = m_baseColumn;
    Advance(m_pos, line, column);
    return line;
}

int TXpInCharFilter::Column()
{
    int line = m_baseLine, column = m_baseColumn;
    Advance(m_pos, line, column);
    return column;
}

EXpFilterError TXpInCharFilter::MakeError(const std::string& message)
{
    return EXpFilterError(message, BytesRead(), Line(), Column());
}

bool TXpInCharFilter::RefillBytes()
{
    if (m_streamDone)
        return false;
    size_t tail = m_byteEnd - m_bytePos;
    std::memmove(m_bytes.data(), m_bytes.data() + m_bytePos, tail);
    m_bytesBefore += static_cast<int64_t>(m_bytePos);
    m_bytePos = 0;
    m_byteEnd = tail;
    size_t before = m_byteEnd;
    while (m_byteEnd < m_bytes.size()) {
        size_t got = m_stream->Read(m_bytes.data() + m_byteEnd, m_bytes.size() - m_byteEnd);
        if (got == 0) {
            m_streamDone = true;
            break;
        }
        m_byteEnd += got;
    }
    return m_byteEnd > before;
}

void TXpInCharFilter::SetPending(const char* message, size_t byteStart)
{
    m_pending = message;
    m_pendingPosition = m_bytesBefore + static_cast<int64_t>(byteStart);
}

void TXpInCharFilter::Decode()
{
    WideChar* out = m_chars + m_end;
    WideChar* outEnd = m_chars + m_window.size();
    if (m_encodingOpen) {
        // Until the first ">" (the end of an XML declaration) the encoding may still change,
        // so nothing beyond it is decoded yet.
        outEnd = std::min(outEnd, out + 2);
    }
    switch (m_decoder) {
    case dUTF8:
        DecodeUtf8(out, outEnd);
        break;
    case dSingleByte:
        DecodeSingleByte(out, outEnd);
        break;
    default:
        DecodeUtf16(out, outEnd);
        break;
    }
    size_t oldEnd = m_end;
    m_end = static_cast<size_t>(out - m_chars);
    if (m_encodingOpen && std::find(m_chars + oldEnd, m_chars + m_end, u'>') != m_chars + m_end)
        m_encodingOpen = false;
}

bool TXpInCharFilter::Emit(uint32_t c, WideChar*& out, size_t byteStart)
{
    if (m_skipLF) {
        m_skipLF = false;
        if (c == '\n')
            return true;
    }
    if (c == '\r') {
        *out++ = u'\n';
        m_skipLF = true;
        return true;
    }
    if (!xpchar::IsXmlChar(c)) {
        SetPending(SInvalidXmlChar, byteStart);
        return false;
    }
    if (c < 0x10000) {
        *out++ = static_cast<WideChar>(c);
    } else {
        c -= 0x10000;
        *out++ = static_cast<WideChar>(0xD800 + (c >> 10));
        *out++ = static_cast<WideChar>(0xDC00 + (c & 0x3FF));
    }
    return true;
}

void TXpInCharFilter::DecodeUtf8(WideChar*& out, WideChar* outEnd)
{
    const bool* plain = kPlain.utf8;
    while (out < outEnd) {
        if (m_bytePos >= m_byteEnd && !RefillBytes())
            return;
        const uint8_t* b = m_bytes.data();
        size_t p = m_bytePos;
        const size_t e = m_byteEnd;
        if (!m_skipLF) {
            p = CopyPlainAscii(b, p, e, out, outEnd);
            while (p < e && out < outEnd && plain[b[p]])
                *out++ = b[p++];
            m_bytePos = p;
            if (p >= e || out >= outEnd)
                continue;
        }
        uint8_t c = b[p];
        if (c < 0x80) {
            ++m_bytePos;
            if (!Emit(c, out, p))
                return;
            continue;
        }
        if (out + 2 > outEnd)
            return;
        int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        if (c < 0xC2 || c > 0xF4) {
            SetPending(SBadUtf8, p);
            return;
        }
        while (m_byteEnd - m_bytePos < static_cast<size_t>(length) && RefillBytes()) {}
        b = m_bytes.data();
        p = m_bytePos;
        if (m_byteEnd - p < static_cast<size_t>(length)) {
            SetPending(SBadUtf8, p);
            return;
        }
        uint32_t value = c & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
        for (int k = 1; k < length; ++k) {
            uint8_t next = b[p + k];
            if ((next & 0xC0) != 0x80) {
                SetPending(SBadUtf8, p);
                return;
            }
            value = (value << 6) | (next & 0x3F);
        }
        bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
        if (overlong || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
            SetPending(SBadUtf8, p);
            return;
        }
        m_bytePos = p + length;
        if (!Emit(value, out, p))
            return;
    }
}

void TXpInCharFilter::DecodeSingleByte(WideChar*& out, WideChar* outEnd)
{
    const bool* plain = kPlain.singleByte;
    const char16_t* chars = m_codePage;
    while (out + 2 <= outEnd) {
        if (m_bytePos >= m_byteEnd && !RefillBytes())
            return;
        const uint8_t* b = m_bytes.data();
        size_t p = m_bytePos;
        if (!m_skipLF) {
            p = CopyPlainAscii(b, p, m_byteEnd, out, outEnd);
            while (p < m_byteEnd && out < outEnd && plain[b[p]])
                *out++ = chars[b[p++]];
            m_bytePos = p;
            if (p >= m_byteEnd || out + 2 > outEnd)
                continue;
        }
        ++m_bytePos;
        if (!Emit(chars[b[p]], out, p))
            return;
    }
}

void TXpInCharFilter::DecodeUtf16(WideChar*& out, WideChar* outEnd)
{
    const bool little = m_decoder == dUTF16LE;
    const char* bad = little ? SBadUtf16LE : SBadUtf16BE;
    auto unitAt = [&](size_t p) -> uint32_t {
        const uint8_t* b = m_bytes.data() + p;
        return little ? (b[0] | (b[1] << 8)) : ((b[0] << 8) | b[1]);
    };
    while (out + 2 <= outEnd) {
        while (m_byteEnd - m_bytePos < 4 && RefillBytes()) {}
        size_t p = m_bytePos;
        size_t left = m_byteEnd - p;
        if (left == 0)
            return;
        if (left < 2) {
            SetPending(bad, p);
            return;
        }
        uint32_t unit = unitAt(p);
        size_t length = 2;
        if (xpchar::IsLowSurrogate(unit)) {
            SetPending(bad, p);
            return;
        }
        if (xpchar::IsHighSurrogate(unit)) {
            if (left < 4 || !xpchar::IsLowSurrogate(unitAt(p + 2))) {
                SetPending(bad, p);
                return;
            }
            unit = 0x10000 + ((unit - 0xD800) << 10) + (unitAt(p + 2) - 0xDC00);
            length = 4;
        }
        m_bytePos = p + length;
        if (!Emit(unit, out, p))
            return;
    }
}

bool TXpInCharFilter::TryMatch(WideView text)
{
    if (!Fill(text.size())) {
        size_t avail = Avail();
        if (std::equal(m_chars + m_pos, m_chars + m_end, text.begin(),
                       text.begin() + static_cast<std::ptrdiff_t>(avail)) &&
            m_pending)
            throw EXpFilterError(m_pending, m_pendingPosition, Line(), Column() + static_cast<int>(avail));
        return false;
    }
    if (!std::equal(text.begin(), text.end(), m_chars + m_pos))
        return false;
    m_pos += text.size();
    return true;
}

void TXpInCharFilter::SetEncoding(TXpCharEncoding encoding)
{
    if (m_encodingFixed || m_isText)
        return;
    if (encoding == TXpCharEncoding::ceISO88591 || encoding == TXpCharEncoding::ceWindows1252 ||
        encoding == TXpCharEncoding::ceISO885915) {
        m_decoder = dSingleByte;
        m_codePage = encoding == TXpCharEncoding::ceISO885915 ? kIso885915.chars : kWindows1252.chars;
        m_declared = encoding;
    } else if (encoding == TXpCharEncoding::ceUTF8) {
        m_decoder = dUTF8;
    }
    m_encodingOpen = false;
}

TXpCharEncoding XpEncodingOfLabel(WideView label)
{
    static const std::pair<const char*, TXpCharEncoding> kLabels[] = {
        {"utf-8", TXpCharEncoding::ceUTF8},
        {"utf8", TXpCharEncoding::ceUTF8},
        {"unicode-1-1-utf-8", TXpCharEncoding::ceUTF8},
        {"utf-16", TXpCharEncoding::ceUTF16LE},
        {"utf-16le", TXpCharEncoding::ceUTF16LE},
        {"utf-16be", TXpCharEncoding::ceUTF16BE},
        {"ucs-2", TXpCharEncoding::ceUTF16LE},
        {"iso-10646-ucs-2", TXpCharEncoding::ceUTF16LE},
        {"windows-1252", TXpCharEncoding::ceWindows1252},
        {"cp1252", TXpCharEncoding::ceWindows1252},
        {"x-cp1252", TXpCharEncoding::ceWindows1252},
        {"iso-8859-1", TXpCharEncoding::ceISO88591},
        {"iso8859-1", TXpCharEncoding::ceISO88591},
        {"iso88591", TXpCharEncoding::ceISO88591},
        {"iso_8859-1", TXpCharEncoding::ceISO88591},
        {"iso-ir-100", TXpCharEncoding::ceISO88591},
        {"latin1", TXpCharEncoding::ceISO88591},
        {"l1", TXpCharEncoding::ceISO88591},
        {"csisolatin1", TXpCharEncoding::ceISO88591},
        {"ibm819", TXpCharEncoding::ceISO88591},
        {"cp819", TXpCharEncoding::ceISO88591},
        {"us-ascii", TXpCharEncoding::ceISO88591},
        {"ascii", TXpCharEncoding::ceISO88591},
        {"ansi_x3.4-1968", TXpCharEncoding::ceISO88591},
        {"iso-8859-15", TXpCharEncoding::ceISO885915},
        {"iso8859-15", TXpCharEncoding::ceISO885915},
        {"iso885915", TXpCharEncoding::ceISO885915},
        {"iso_8859-15", TXpCharEncoding::ceISO885915},
        {"latin9", TXpCharEncoding::ceISO885915},
        {"l9", TXpCharEncoding::ceISO885915},
        {"csisolatin9", TXpCharEncoding::ceISO885915},
    };
    for (auto [name, encoding] : kLabels)
        if (sameLabel(label, name))
            return encoding;
    return TXpCharEncoding::ceUnknown;
}

TXpCharEncoding TXpInCharFilter::Encoding() const
{
    switch (m_decoder) {
    case dUTF8:
        return TXpCharEncoding::ceUTF8;
    case dUTF16LE:
        return TXpCharEncoding::ceUTF16LE;
    case dUTF16BE:
        return TXpCharEncoding::ceUTF16BE;
    case dSingleByte:
        return m_declared;
    }
    return TXpCharEncoding::ceUnknown;
}

}  // namespace velmora

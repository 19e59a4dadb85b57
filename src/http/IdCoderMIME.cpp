#include "http/IdCoderMIME.h"

namespace velmora {

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// A character outside the alphabet counts as 0, as a fill does.
unsigned sextet(char c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned>(c - 'A');
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned>(c - 'a' + 26);
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0' + 52);
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return 0;
}

}  // namespace

std::string TIdDecoderMIME::DecodeString(const std::string& text)
{
    if (text.size() % 4 != 0)
        throw EIdException(RSUnevenSizeInDecodeStream);
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        unsigned group =
            sextet(text[i]) << 18 | sextet(text[i + 1]) << 12 | sextet(text[i + 2]) << 6 | sextet(text[i + 3]);
        bytes += static_cast<char>(group >> 16);
        if (text[i + 2] == '=')
            continue;
        bytes += static_cast<char>(group >> 8 & 0xFF);
        if (text[i + 3] == '=')
            continue;
        bytes += static_cast<char>(group & 0xFF);
    }
    return bytes;
}

std::string TIdEncoderMIME::EncodeString(const std::string& bytes)
{
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        size_t left = bytes.size() - i;
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
        if (left > 1)
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (left > 2)
            group |= static_cast<unsigned char>(bytes[i + 2]);
        text += kAlphabet[group >> 18 & 63];
        text += kAlphabet[group >> 12 & 63];
        text += left > 1 ? kAlphabet[group >> 6 & 63] : '=';
        text += left > 2 ? kAlphabet[group & 63] : '=';
    }
    return text;
}

}  // namespace velmora

#include "handlers/HtmlEscape.h"

namespace velmora {

std::string HtmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string LogLineEscape(std::string_view text)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            out += '%';
            out += Digits[byte >> 4];
            out += Digits[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace velmora

#pragma once
// One screen file with Portuguese names, written the ways design tools on Windows and elsewhere
// write it: code pages, UTF-16 with and without a byte-order mark, a UTF-8 mark with a Latin-1
// label; and the manifest its images give, byte for byte.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xml/reader/XpBase.h"

namespace velmora::test {

// The images the screen file names (UTF-8, composed).
inline const std::vector<std::string> kAccentedImages = {
    "sala\xE2\x80\x93noite.png",  // an en dash: 0x96 in Windows-1252
    "ILUMINA\xC3\x87\xC3\x83O.PNG",  // upper case beyond ASCII
    "Cortina \xE2\x80\x9CSul\xE2\x80\x9D.png",  // curly quotes: 0x93 and 0x94
};

// The screen file in UTF-8 under an encoding label; doctype goes between declaration and root.
inline std::string AccentedScreenText(const std::string& label, const std::string& doctype = "")
{
    return "<?xml version=\"1.0\" encoding=\"" + label + "\"?>\r\n" + doctype +
        "<SCREEN>\r\n <MENUS>\r\n  <MENU menu_nome=\"T\xC3\xA9rreo\">\r\n"
        "   <JANELA j_nome=\"Ilumina\xC3\xA7\xC3\xA3o\" j_imagem=\"" +
        kAccentedImages[0] +
        "\" j_numero=\"1\">\r\n"
        "    <BOTAO b_caption=\"\xE2\x80\x9CSala\xE2\x80\x9D \xE2\x82\xAC 5\" b_imagem=\"" +
        kAccentedImages[1] +
        "\"/>\r\n"
        "    <BOTAOFB bfb_caption=\"Cortina\" bfb_imagemon=\"" +
        kAccentedImages[2] +
        "\"/>\r\n"
        "   </JANELA>\r\n  </MENU>\r\n </MENUS>\r\n</SCREEN>\r\n";
}

// UTF-8 text in Windows-1252; every character of it must have a byte there.
inline std::string EncodeWindows1252(std::string_view utf8)
{
    static const std::pair<char16_t, char> kHigh[] = {{u'\u20AC', '\x80'},
                                                      {u'\u2013', '\x96'},
                                                      {u'\u201C', '\x93'},
                                                      {u'\u201D', '\x94'}};
    std::string bytes;
    for (char16_t c : FromUtf8(utf8)) {
        char byte = static_cast<char>(c);
        for (auto [unit, code] : kHigh)
            if (c == unit)
                byte = code;
        bytes.push_back(byte);
    }
    return bytes;
}

inline std::string EncodeUtf16(std::string_view utf8, bool little, bool mark)
{
    std::string bytes = mark ? (little ? "\xFF\xFE" : "\xFE\xFF") : "";
    for (char16_t c : FromUtf8(utf8)) {
        char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        bytes += little ? std::string{lo, hi} : std::string{hi, lo};
    }
    return bytes;
}

struct ScreenVariant {
    const char* name;
    std::string bytes;
};

inline std::vector<ScreenVariant> AccentedScreenVariants(const std::string& doctype = "")
{
    return {
        {"UTF-8", AccentedScreenText("UTF-8", doctype)},
        {"Windows-1252", EncodeWindows1252(AccentedScreenText("windows-1252", doctype))},
        {"ISO-8859-1 holding Windows-1252 bytes", EncodeWindows1252(AccentedScreenText("ISO-8859-1", doctype))},
        {"UTF-8 mark with a Latin-1 label", "\xEF\xBB\xBF" + AccentedScreenText("ISO-8859-1", doctype)},
        {"UTF-16LE with mark", EncodeUtf16(AccentedScreenText("UTF-16", doctype), true, true)},
        {"UTF-16BE with mark", EncodeUtf16(AccentedScreenText("UTF-16", doctype), false, true)},
        {"UTF-16LE without mark", EncodeUtf16(AccentedScreenText("UTF-16", doctype), true, false)},
        {"UTF-16BE without mark", EncodeUtf16(AccentedScreenText("UTF-16", doctype), false, false)},
    };
}

// The manifest of that screen file, the URLs under serverUrl.
inline std::string AccentedManifest(const std::string& serverUrl)
{
    std::string manifest = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ARQUIVOS>"
                           "<ARQUIVO arquivo_nome=\"screen.xml\" arquivo_caminho=\"" +
        serverUrl + "screen.xml\"/>";
    for (const auto& image : kAccentedImages)
        manifest +=
            "<ARQUIVO arquivo_nome=\"" + image + "\" arquivo_caminho=\"" + serverUrl + "Images/" + image + "\"/>";
    return manifest + "</ARQUIVOS>";
}

}  // namespace velmora::test

#pragma once
// The page that the QR code opens in the phone's browser: proof that the network lets the phone
// reach this computer, the address to type into iVelmora and the next step, as small static HTML
// without scripts or outside resources, which Safari on old iPhones and iPod Touches shows well.

#include <string>
#include <string_view>

namespace velmora {

inline constexpr const char* ConnectionPagePath = "/velmora";
inline constexpr const char* SPaginaDeConexaoAberta =
    "Aparelho %s abriu a página de conexão: a rede deixa este aparelho alcançar o computador.";

// The page, with the address to type escaped for HTML.
std::string ConnectionPageHtml(const std::string& serverAddress);

// Whether a browser asks for the path by itself, around any page it opens: "/favicon.ico" and
// "/apple-touch-icon*.png", in any letter case.
bool IsBrowserOwnRequest(std::string_view path);

// The URL that the QR code opens: serverUrl followed by the page's name, or serverUrl itself when
// a file of the project folder answers the page's path. Empty without a serverUrl.
std::string ConnectionPageUrl(const std::string& serverUrl, const std::string& projectFolder);

}  // namespace velmora

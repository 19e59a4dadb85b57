#include "handlers/ConnectionPage.h"

#include "base/StrUtils.h"
#include "handlers/HtmlEscape.h"
#include "handlers/ProjectFiles.h"

namespace velmora {

namespace {

// Styles that Safari has understood since the first iPhone (the "-webkit-" corner radius of
// iOS 3 included); the icons are data: URLs, so that the page names no file the server lacks.
constexpr const char* PageHead = R"(<!DOCTYPE html>
<html lang="pt-BR">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Velmora: conexão</title>
<link rel="icon" href="data:,">
<link rel="apple-touch-icon" href="data:,">
<style>
body { margin: 0; padding: 16px; font-family: Helvetica, Arial, sans-serif; font-size: 18px; color: #222;
       background: #fff; }
h1 { margin: 0 0 20px; font-size: 24px; color: #080; }
.endereco { margin: 8px 0 20px; padding: 12px 2px; font-size: 26px; font-weight: bold; text-align: center;
            word-wrap: break-word; background: #eee; }
.abrir { display: block; padding: 14px; font-size: 20px; text-align: center; text-decoration: none; color: #fff;
         background: #06c; -webkit-border-radius: 8px; border-radius: 8px; }
</style>
</head>
<body>
<h1>Este aparelho alcançou o computador.</h1>
<p>No iVelmora, escreva no campo “Endereço do Servidor”:</p>
<p class="endereco">)";

constexpr const char* PageTail = R"(</p>
<p>Depois toque em “Importar Telas”.</p>
<p><a class="abrir" href="imodule://">Abrir o iVelmora</a></p>
</body>
</html>
)";

bool startsWithText(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

bool endsWithText(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && SameText(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace

std::string ConnectionPageHtml(const std::string& serverAddress)
{
    return PageHead + HtmlEscape(serverAddress) + PageTail;
}

bool IsBrowserOwnRequest(std::string_view path)
{
    return SameText(path, "/favicon.ico") || (startsWithText(path, "/apple-touch-icon") && endsWithText(path, ".png"));
}

std::string ConnectionPageUrl(const std::string& serverUrl, const std::string& projectFolder)
{
    if (serverUrl.empty())
        return {};
    const bool projectAnswers = !projectFolder.empty() && FindProjectFile(projectFolder, ConnectionPagePath);
    // The URL ends in "/": the page's name follows without its own.
    return projectAnswers ? serverUrl : serverUrl + (ConnectionPagePath + 1);
}

}  // namespace velmora

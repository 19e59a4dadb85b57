#pragma once
// What the main window needs beyond its toolkit, kept free of it so that tests reach it without a
// display: the program's title, where the window opens, the file dialog's filter and the shell's
// "open".

#include <string>
#include <vector>

namespace velmora {

// The main window's stored description that both windows build from (Qt's on Linux, the Windows
// API's on Windows): caption, the stored area's size and place, the file dialog's filter and the
// instructions' lines, blanks at their ends included.
inline constexpr const char* SFormCaption = "Velmora - Servidor Screen para Apple";
inline constexpr const char* SScreenFilter = "Referência Module Screen|screen.xml";
inline constexpr int StoredClientWidth = 486;
inline constexpr int StoredClientHeight = 382;
inline constexpr int StoredLeft = 472;
inline constexpr int StoredTop = 190;
inline constexpr const char* Memo2Lines[] = {
    "Garanta que seu iPhone ou iPod Touch esteja na mesma rede do seu computador ",
    "rodando este aplicativo.",
    "",
    "1) Clique no botão Iniciar.",
    "",
    "2) Selecione o arquivo SCREEN.XML dentro da pasta \"OUTPUT\" do projeto do ",
    "VelmScreen ",
    "desejado.",
    "",
    "3) Escreva no iPhone ou iPod Touch no campo \"Endereço do Servidor\" o endereço ",
    "exatamente como mostrada na tela deste software quando o servidor estiver ATIVO. ",
    "",
    "4) Toque no botão \"Importar Telas\" do seu iPhone ou IPod Touch.",
    "",
    "5) Depois de completa a importação da interface reinicie a tela.",
    "",
    "Para substituição de uma interface rodando no iPhone ou iPod Touch. ",
    "- Abra o navegador de internet SAFARI do iPhone ou iPod Touch.",
    "- Escreva no campo de endereço esatamente o seguinte: \"imodule://\"",
    "- Pressione IR ou GO.",
    "- O navegador chamará o iVelmora em tela de importação de interface.",
    "- Repita os mesmos procedimentos de 1 a 5.",
};

// The executable's file name without its folder, cut before its first ".", lower-cased (ASCII) from
// its second character on: the caption of the window's message boxes.
std::string ProgramTitle(const std::string& executablePath);

// The left edge the window opens at: the stored one when the window fits on the screen from there,
// else far enough left that it fits (the operator's panel makes it wider than the stored area), but
// never left of the screen.
int FittedLeft(int storedLeft, int windowWidth, int screenLeft, int screenWidth);

// A glob that matches the same names as pattern in any letter case ("a.x" -> "[aA].[xX]"); bracket
// expressions already in the pattern are kept as they stand.
std::string CaseInsensitiveGlob(const std::string& pattern);

// A file dialog's filter of "description|patterns" pairs (patterns separated by ";") as name
// filters "description (glob glob)", each glob matching in any letter case: projects come from
// Windows, where SCREEN.XML and screen.xml are the same file.
std::vector<std::string> NameFiltersOf(const std::string& filter);

// Asks the desktop to open target ("open" of the shell: a browser for an address), or the program
// opener to open it, with the launched window hidden where the system allows it, detached from this
// process, its output discarded and with no signal blocked; waits only for the launch. Answers
// whether the launch could be made; what the opener does is not examined. One implementation per
// platform: ShellOpenPosix.cpp (xdg-open by default), ShellOpenWindows.cpp.
bool ShellOpen(const std::string& target, const std::string& opener = {});

}  // namespace velmora

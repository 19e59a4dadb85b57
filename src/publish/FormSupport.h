#pragma once
// What the main window needs beyond its toolkit, kept free of it so that tests reach it without a
// display: the program's title, where the window opens, the file dialog's filter and the shell's
// "open".

#include <string>
#include <vector>

namespace velmora {

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

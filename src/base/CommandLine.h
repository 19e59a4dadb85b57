#pragma once
// A console program's command line and text as UTF-8: on Windows the arguments are read from the
// wide command line, never through the ANSI code page, so that a path like
// "C:\Users\João\Projeto Łódź" arrives whole, and the console shows UTF-8 as such. One
// implementation per platform: CommandLinePosix.cpp, CommandLineWindows.cpp.

#include <string>
#include <vector>

namespace velmora {

// The arguments after the program's own name.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Has the console show and read UTF-8 (Windows consoles default to an OEM code page) and the
// standard streams pass "\n" unchanged, as everywhere else.
void UseUtf8Console();

}  // namespace velmora

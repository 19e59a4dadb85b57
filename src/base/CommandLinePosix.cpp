#include "base/CommandLine.h"

namespace velmora {

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

// Terminals here take the program's UTF-8 as it is.
void UseUtf8Console()
{
}

}  // namespace velmora

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "base/CommandLine.h"
#include "base/Utf16.h"

namespace velmora {

std::vector<std::string> ProgramArguments(int, char**)
{
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(Utf8OfWide(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

void UseUtf8Console()
{
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCP(CP_UTF8);
    for (std::FILE* stream : {stdin, stdout, stderr})
        ::_setmode(::_fileno(stream), _O_BINARY);
}

}  // namespace velmora

// Feeds arbitrary bytes to the screen file loader: it must fill a model, leave it empty with a
// reason, or refuse an integer with the conversion error, and nothing else.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

#include "base/StrToInt.h"
#include "screen/ScreenLoader.h"

namespace {

// One scratch file per fuzzing process, removed at exit.
const std::string& scratchFile()
{
    static const std::string path = [] {
        std::string name = "/tmp/velmora-fuzz-screen-" + std::to_string(::getpid()) + ".xml";
        std::atexit([] { std::remove(scratchFile().c_str()); });
        return name;
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace velmora;
    {
        std::ofstream out(scratchFile(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TXpObjModel model;
    model.SetReadExternals(false);
    TMenu_Geral menus;
    try {
        LoadScreen(model, scratchFile(), menus);
        if (!model.Errors().empty() && !menus.empty())
            __builtin_trap();
    } catch (const EConvertError&) {
        if (!menus.empty())
            __builtin_trap();
    }
    return 0;
}

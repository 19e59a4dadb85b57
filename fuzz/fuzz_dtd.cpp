// Feeds arbitrary bytes as a subset of a document whose body uses what a subset typically
// declares, so that declarations, defaults and entity expansion get exercised: the internal
// subset, or (for every other input) the external subset read from a file, where parameter
// entities may stand between the parts of a declaration and inside entity values.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "xml/reader/XpObjModel.h"

namespace {

// The external subset's file, one per fuzzing process, removed at exit.
const std::string& subsetFile()
{
    static const std::string path = [] {
        std::string name = "/tmp/velmora-fuzz-dtd-" + std::to_string(::getpid()) + ".dtd";
        std::atexit([] { std::remove(subsetFile().c_str()); });
        return name;
    }();
    return path;
}

// Other files should stay unread: a subset that could name one in plain words or through
// character references is fuzzed as an internal subset.
bool namesOtherSources(const std::string& subset)
{
    for (const char* word : {"SYSTEM", "PUBLIC", "&#"})
        if (subset.find(word) != std::string::npos)
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Should a fetch still be reached, it fails at once instead of waiting for the network.
    for (const char* variable : {"http_proxy", "ftp_proxy", "all_proxy", "ALL_PROXY"})
        ::setenv(variable, "http://127.0.0.1:9", 1);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace velmora;
    std::string subset(reinterpret_cast<const char*>(data), size);
    const std::string body = "<r a=\"&e;\" b=' x  y '><e>&e;</e><MENU t=\"1\"/> <x xml:space='preserve'> </x></r>";
    const bool external = size % 4 >= 2 && !namesOtherSources(subset);
    TXpObjModel model;
    model.NormalizeData = size % 2 == 0;
    bool ok;
    if (external) {
        {
            std::ofstream out(subsetFile(), std::ios::binary | std::ios::trunc);
            out.write(subset.data(), static_cast<std::streamsize>(subset.size()));
        }
        ok = model.LoadMemory("<!DOCTYPE r SYSTEM \"" + subsetFile() + "\">" + body, "/nonexistent/fuzz.xml");
    } else {
        model.SetReadExternals(false);
        ok = model.LoadMemory("<!DOCTYPE r [" + subset + "]>" + body, "/nonexistent/fuzz.xml");
    }
    if (ok != model.Errors().empty())
        __builtin_trap();
    if (ok)
        model.Document()->NodesByType(0, u"");
    return 0;
}

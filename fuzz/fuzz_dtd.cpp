// Feeds arbitrary bytes as the internal subset of a document whose body uses what a subset
// typically declares, so that declarations, defaults and entity expansion get exercised.
#include <cstddef>
#include <cstdint>
#include <string>

#include "xml/reader/XpObjModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace velmora;
    std::string subset(reinterpret_cast<const char*>(data), size);
    std::string doc = "<!DOCTYPE r [" + subset +
                      "]><r a=\"&e;\" b=' x  y '><e>&e;</e><MENU t=\"1\"/> <x xml:space='preserve'> </x></r>";
    TXpObjModel model;
    model.SetReadExternals(false);
    model.NormalizeData = size % 2 == 0;
    bool ok = model.LoadMemory(doc, "/nonexistent/fuzz.xml");
    if (ok != model.Errors().empty())
        __builtin_trap();
    if (ok)
        model.Document()->NodesByType(0, u"");
    return 0;
}

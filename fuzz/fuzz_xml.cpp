// Feeds arbitrary bytes to the XML reader from memory: every input must load or fail with one
// error line, never crash, and a loaded tree must survive the tree walks.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "xml/reader/XpCanonical.h"
#include "xml/reader/XpObjModel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace velmora;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    TXpObjModel model;
    model.SetReadExternals(false);
    model.NormalizeData = size % 2 == 0;
    model.SetBufferSize(size % 3 == 0 ? MinBufferSize : DefaultBufferSize);
    if (model.LoadMemory(bytes, "/nonexistent/fuzz.xml")) {
        if (!model.Errors().empty())
            __builtin_trap();
        std::ostringstream out;
        XpWriteCanonical(*model.Document(), out);
        if (TXpNode* root = model.documentElement()) {
            root->getElementsByTagName(u"*");
            root->Text();
            root->cloneNode(true);
        }
    } else if (model.Errors().size() != 1 || model.documentElement() != nullptr) {
        __builtin_trap();
    }
    return 0;
}

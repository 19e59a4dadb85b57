#include <cstdio>

#include "IndependentParser.h"

namespace velmora::test {

std::optional<bool> IndependentParserAccepts(const std::string& xml)
{
    FILE* lint = ::popen("xmllint --noout - 2>&1", "w");
    if (!lint)
        return false;
    std::fwrite(xml.data(), 1, xml.size(), lint);
    return ::pclose(lint) == 0;
}

}  // namespace velmora::test

#include "http/IdStrings.h"

namespace velmora {

long TIdStringList::indexOfName(const std::string& name) const
{
    for (size_t i = 0; i < m_lines.size(); ++i) {
        std::string_view line = m_lines[i];
        size_t equals = line.find('=');
        if (equals != std::string_view::npos && SameText(line.substr(0, equals), name))
            return static_cast<long>(i);
    }
    return -1;
}

std::string TIdStringList::value(const std::string& name) const
{
    long index = indexOfName(name);
    return index < 0 ? std::string() : m_lines[static_cast<size_t>(index)].substr(name.size() + 1);
}

}  // namespace velmora

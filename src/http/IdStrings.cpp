#include "http/IdStrings.h"

namespace velmora {

namespace {

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

}  // namespace

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

std::string UpperCase(std::string text)
{
    for (char& c : text)
        c = upper(c);
    return text;
}

std::string LowerCase(std::string text)
{
    for (char& c : text)
        c = lower(c);
    return text;
}

std::string Trim(std::string_view text)
{
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32)
        --last;
    return std::string(text.substr(first, last - first));
}

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

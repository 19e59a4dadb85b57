#include "base/StrUtils.h"

namespace velmora {

namespace {

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
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

std::string_view TrimmedView(std::string_view text)
{
    size_t first = 0, last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::string Trim(std::string_view text)
{
    return std::string(TrimmedView(text));
}

}  // namespace velmora

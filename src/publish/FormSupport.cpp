#include "publish/FormSupport.h"

#include <algorithm>
#include <cctype>

#include "base/FileSystem.h"

namespace velmora {

namespace {

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

}  // namespace

std::string ProgramTitle(const std::string& executablePath)
{
    size_t start = executablePath.size();
    while (start > 0 && !IsPathSeparator(executablePath[start - 1]))
        --start;
    std::string name = executablePath.substr(start);
    name = name.substr(0, name.find('.'));
    for (size_t i = 1; i < name.size(); ++i)
        name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    return name;
}

int FittedLeft(int storedLeft, int windowWidth, int screenLeft, int screenWidth)
{
    const int rightmost = screenLeft + screenWidth - windowWidth;
    return std::max(screenLeft, std::min(storedLeft, rightmost));
}

std::string CaseInsensitiveGlob(const std::string& pattern)
{
    std::string glob;
    bool inBracket = false;
    for (char c : pattern) {
        const auto byte = static_cast<unsigned char>(c);
        if (inBracket || c == '[') {
            inBracket = c != ']';
            glob += c;
        } else if (byte < 0x80 && std::isalpha(byte)) {
            glob += '[';
            glob += static_cast<char>(std::tolower(byte));
            glob += static_cast<char>(std::toupper(byte));
            glob += ']';
        } else {
            glob += c;
        }
    }
    return glob;
}

std::vector<std::string> NameFiltersOf(const std::string& filter)
{
    std::vector<std::string> parts = split(filter, '|');
    std::vector<std::string> filters;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string globs;
        for (const std::string& pattern : split(parts[i + 1], ';')) {
            if (pattern.empty())
                continue;
            if (!globs.empty())
                globs += ' ';
            globs += CaseInsensitiveGlob(pattern);
        }
        filters.push_back(parts[i] + " (" + globs + ")");
    }
    return filters;
}

}  // namespace velmora

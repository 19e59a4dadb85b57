#include "http/IdHeaderList.h"

namespace velmora {

namespace {

bool namesMatch(std::string_view line, std::string_view name, bool caseSensitive)
{
    if (line.size() <= name.size() || line[name.size()] != ':')
        return false;
    std::string_view head = line.substr(0, name.size());
    return caseSensitive ? head == name : SameText(head, name);
}

}  // namespace

bool TIdHeaderList::isContinuation(size_t index) const
{
    const std::string& line = (*this)[index];
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

std::string TIdHeaderList::name(size_t index) const
{
    const std::string& line = (*this)[index];
    size_t colon = line.find(':');
    if (colon == std::string::npos)
        return {};
    std::string result = line.substr(0, colon);
    return CaseSensitive ? result : UpperCase(std::move(result));
}

std::string TIdHeaderList::value(size_t index) const
{
    if (index >= count())
        return {};
    const std::string& line = (*this)[index];
    size_t colon = line.find(':');
    std::string_view first =
        colon == std::string::npos ? std::string_view() : TrimmedView(std::string_view(line).substr(colon + 1));
    size_t next = index + 1;
    // Most headers have no continuation: their value is a view of the line, copied once.
    if (!UnfoldLines || next >= count() || !isContinuation(next))
        return std::string(first);
    std::string result(first);
    for (; next < count() && isContinuation(next); ++next)
        result.append(1, ' ').append(TrimmedView((*this)[next]));
    return std::string(TrimmedView(result));
}

long TIdHeaderList::indexOfName(std::string_view name) const
{
    for (size_t i = 0; i < count(); ++i)
        if (namesMatch((*this)[i], name, CaseSensitive))
            return static_cast<long>(i);
    return -1;
}

std::string TIdHeaderList::values(std::string_view name) const
{
    long index = indexOfName(name);
    return index < 0 ? std::string() : value(static_cast<size_t>(index));
}

void TIdHeaderList::extract(std::string_view name, TIdStringList& target) const
{
    for (size_t i = 0; i < count(); ++i)
        if (namesMatch((*this)[i], name, CaseSensitive))
            target.add(value(i));
}

void TIdHeaderList::eraseWithContinuations(size_t index)
{
    erase(index);
    while (index < count() && isContinuation(index))
        erase(index);
}

void TIdHeaderList::insertFolded(size_t index, const std::string& line)
{
    if (!FoldLines || line.size() <= FoldLength) {
        insert(index, line);
        return;
    }
    // Breaks at the last blank within the fold length; a continuation line starts with that blank.
    std::string_view rest = line;
    while (!rest.empty()) {
        size_t cut = rest.size();
        if (rest.size() > FoldLength) {
            size_t blank = rest.rfind(' ', FoldLength);
            cut = blank == std::string_view::npos || blank == 0 ? rest.size() : blank;
        }
        insert(index++, std::string(rest.substr(0, cut)));
        rest.remove_prefix(cut);
    }
}

void TIdHeaderList::setValue(std::string_view name, std::string_view value)
{
    long index = indexOfName(name);
    if (value.empty()) {
        if (index >= 0)
            eraseWithContinuations(static_cast<size_t>(index));
        return;
    }
    std::string line;
    line.reserve(name.size() + NameValueSeparator.size() + value.size());
    line.append(name).append(NameValueSeparator).append(value);
    if (index < 0) {
        insertFolded(count(), line);
        return;
    }
    if (FoldLines) {
        eraseWithContinuations(static_cast<size_t>(index));
        insertFolded(static_cast<size_t>(index), line);
    } else {
        (*this)[static_cast<size_t>(index)] = std::move(line);
    }
}

}  // namespace velmora

#pragma once
// Header lines (name, ": ", value) with lookups by name in any letter case; continuation lines (a
// leading space or tab) join the value on lookup, and long values may be folded when set.

#include <string>
#include <string_view>

#include "http/IdStrings.h"

namespace velmora {

class TIdHeaderList : public TIdStringList {
public:
    std::string NameValueSeparator = ": ";
    bool CaseSensitive = false;
    bool UnfoldLines = true;
    bool FoldLines = true;
    size_t FoldLength = 78;

    // The text before the first ":" (upper-cased unless CaseSensitive); empty for a line without one.
    std::string name(size_t index) const;
    // The trimmed value of the line, continuation lines joined by one space; empty outside the list.
    std::string value(size_t index) const;
    // The first line of that name in any letter case, or -1.
    long indexOfName(std::string_view name) const;
    std::string values(std::string_view name) const;
    // Adds the value of every line of that name, in order.
    void extract(std::string_view name, TIdStringList& target) const;
    // A non-empty value replaces the line of that name in its place, or appends one; an empty value
    // removes the line and its continuation lines.
    void setValue(std::string_view name, std::string_view value);

private:
    bool isContinuation(size_t index) const;
    void eraseWithContinuations(size_t index);
    void insertFolded(size_t index, const std::string& line);
};

}  // namespace velmora

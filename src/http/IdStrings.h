#pragma once
// An ordered list of text lines, some of the form name=value: the request's parameters, and the
// base of the header list. Names are looked up without regard to letter case.

#include <string>
#include <vector>

#include "base/StrUtils.h"

namespace velmora {

class TIdStringList {
public:
    void add(std::string line) { m_lines.push_back(std::move(line)); }
    void insert(size_t index, std::string line)
    {
        m_lines.insert(m_lines.begin() + static_cast<long>(index), std::move(line));
    }
    void erase(size_t index) { m_lines.erase(m_lines.begin() + static_cast<long>(index)); }
    void clear() { m_lines.clear(); }
    void reserve(size_t lines) { m_lines.reserve(lines); }
    size_t count() const { return m_lines.size(); }
    bool empty() const { return m_lines.empty(); }
    const std::string& operator[](size_t index) const { return m_lines[index]; }
    std::string& operator[](size_t index) { return m_lines[index]; }
    const std::vector<std::string>& lines() const { return m_lines; }
    auto begin() const { return m_lines.begin(); }
    auto end() const { return m_lines.end(); }

    // The index of the first line whose name (the text before "=") equals name in any letter case; -1 if none.
    long indexOfName(const std::string& name) const;
    // The value of the first line of that name; empty when there is none.
    std::string value(const std::string& name) const;

private:
    std::vector<std::string> m_lines;
};

}  // namespace velmora

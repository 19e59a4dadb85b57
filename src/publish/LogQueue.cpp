#include "publish/LogQueue.h"

#include <algorithm>

#include "base/Exception.h"

namespace velmora {

namespace {

bool isControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

std::string LogLineEscape(std::string line)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    if (std::none_of(line.begin(), line.end(), isControl))
        return line;
    std::string out;
    out.reserve(line.size() + 8);
    for (char c : line) {
        if (isControl(c)) {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += Digits[byte >> 4];
            out += Digits[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

void TLogQueue::Append(std::string line)
{
    queue(LogLineEscape(std::move(line)));
}

void TLogQueue::AppendDrawn(std::string line)
{
    queue(std::move(line));
}

void TLogQueue::queue(std::string line)
{
    bool wasEmpty;
    {
        std::lock_guard lock(m_linesMutex);
        wasEmpty = m_lines.empty() && m_omitted == 0;
        if (m_lines.size() < m_bound && line.size() <= m_byteBound - m_bytes) {
            m_bytes += line.size();
            m_lines.push_back(std::move(line));
        } else {
            ++m_omitted;
        }
    }
    if (wasEmpty && OnPending)
        OnPending();
}

std::vector<std::string> TLogQueue::Take()
{
    std::vector<std::string> lines;
    size_t omitted;
    {
        std::lock_guard lock(m_linesMutex);
        lines.swap(m_lines);
        m_bytes = 0;
        omitted = m_omitted;
        m_omitted = 0;
    }
    if (omitted > 0)
        lines.push_back(FormatMessage(SLinhasOmitidas, {std::to_string(omitted)}));
    return lines;
}

}  // namespace velmora

#include "publish/LogQueue.h"

#include "base/Exception.h"

namespace velmora {

void TLogQueue::Append(std::string line)
{
    bool wasEmpty;
    {
        std::lock_guard lock(m_linesMutex);
        wasEmpty = m_lines.empty() && m_omitted == 0;
        if (m_lines.size() < m_bound)
            m_lines.push_back(std::move(line));
        else
            ++m_omitted;
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
        omitted = m_omitted;
        m_omitted = 0;
    }
    if (omitted > 0)
        lines.push_back(FormatMessage(SLinhasOmitidas, {std::to_string(omitted)}));
    return lines;
}

}  // namespace velmora

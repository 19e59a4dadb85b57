#pragma once
// The operator's log between the threads that write it and the view that shows it: appending never
// waits for the view, and when the view falls behind, the lines beyond a bound are counted and
// reported as one line instead of being kept.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/Limits.h"

namespace velmora {

inline constexpr const char* SLinhasOmitidas = "(%s linhas omitidas)";

class TLogQueue {
public:
    explicit TLogQueue(size_t bound = MaxPendingLogLines) : m_bound(bound) {}

    // Called on the appending thread when the queue turns from empty to holding lines; it must
    // only schedule the reader, never wait for it. Set it before any thread appends.
    std::function<void()> OnPending;

    // Any thread: queues one whole line, or counts it as omitted when the bound is reached.
    void Append(std::string line);

    // Reader side: every line queued so far in the order appended, followed by the omitted-lines
    // report when lines were dropped; empty when nothing is waiting.
    std::vector<std::string> Take();

private:
    const size_t m_bound;
    // Guards m_lines and m_omitted; held only to move lines in or out, never while calling out.
    std::mutex m_linesMutex;
    std::vector<std::string> m_lines;
    size_t m_omitted = 0;
};

}  // namespace velmora

#pragma once
// The operator's log between the threads that write it and the views that show it: appending never
// waits for a view, each line is made one visible line as it enters, and when the view falls
// behind, the lines beyond a bound of lines or of bytes are counted and reported as one line instead
// of being kept.

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "publish/Limits.h"

namespace velmora {

inline constexpr const char* SLinhasOmitidas = "(%s linhas omitidas)";

// Control characters (below 0x20, and 0x7F), which a requested path may carry, as "%" and two
// upper-case hexadecimal digits ("%0A"), so that no line can end early or forge another; every
// other byte unchanged. The console and every window show the same text.
std::string LogLineEscape(std::string line);

class TLogQueue {
public:
    explicit TLogQueue(size_t bound = MaxPendingLogLines, size_t byteBound = MaxPendingLogBytes)
        : m_bound(bound), m_byteBound(byteBound)
    {
    }

    // Called on the appending thread when the queue turns from empty to holding lines; it must
    // only schedule the reader, never wait for it. Set it before any thread appends.
    std::function<void()> OnPending;

    // Any thread: queues one whole line with its control characters escaped, or counts it as
    // omitted when it would pass either bound.
    void Append(std::string line);
    // The same for a line this program drew itself for a terminal (the QR code in its colours),
    // queued as it stands; never for text that came from a request.
    void AppendDrawn(std::string line);

    // Reader side: every line queued so far in the order appended, followed by the omitted-lines
    // report when lines were dropped; empty when nothing is waiting.
    std::vector<std::string> Take();

private:
    void queue(std::string line);

    const size_t m_bound;
    const size_t m_byteBound;
    // Guards m_lines, m_bytes and m_omitted; held only to move lines in or out, never while calling
    // out.
    std::mutex m_linesMutex;
    std::vector<std::string> m_lines;
    size_t m_bytes = 0;
    size_t m_omitted = 0;
};

}  // namespace velmora

#pragma once
// Helpers of the HTTP tests: a clock the test advances, a predictable random source, a request loop
// run on bytes in memory, and a loopback client.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "Loopback.h"
#include "http/IdHTTPServer.h"
#include "http/IdIOHandlerStream.h"

namespace velmora::test {

class ManualClock : public TClock {
public:
    time_point now() const override { return time_point(std::chrono::milliseconds(m_ms.load())); }
    wall_time wallNow() const override
    {
        return wall_time(std::chrono::seconds(784111777)) + std::chrono::milliseconds(m_ms.load());
    }
    void advance(std::chrono::milliseconds by) { m_ms += by.count(); }

private:
    std::atomic<long long> m_ms{1000000};
};

// Hands out 0, 1, 2, ... so that identifiers follow the alphabet.
class CountingRandom : public TIdRandomSource {
public:
    void fill(void* buffer, size_t size) override
    {
        auto* out = static_cast<unsigned char*>(buffer);
        for (size_t i = 0; i < size; ++i)
            out[i] = static_cast<unsigned char>(m_next++ % 61);
    }

private:
    std::atomic<unsigned> m_next{0};
};

struct Exchange {
    std::string output;
    std::string error;  // what escaped the request loop, empty when nothing did
    std::vector<size_t> sends;
};

// Runs the server's request loop over one connection whose peer sends input (chunk bytes at a time,
// 0 = all at once) and then closes, or fails with failAtEndWith (Id_WSAECONNRESET, say) when not 0.
Exchange runRequest(TIdCustomHTTPServer& server, const std::string& input, size_t chunk = 0,
                    const std::string& peer = "127.0.0.1", int failAtEndWith = 0);

// Connects to 127.0.0.1:port (from the source address from, when not empty), sends the bytes, and
// answers everything received until the server closes; empty when nothing listens on the port.
std::string rawRequest(int port, const std::string& bytes, const std::string& from = {});

// A server on port that answers as another copy of this program does: "Server: Talvo Web", 404 to
// every path. It stops when destroyed.
std::unique_ptr<TIdHTTPServer> startAnotherCopy(int port);

// Runs a shell command and answers its standard output.
std::string commandOutput(const std::string& command);
// Whether a Linux tool the tests call as an independent peer (curl, python3, zbarimg) runs here:
// the Windows build's tests run under Wine, which cannot start them.
bool ToolAvailable(const std::string& tool);

// Waits, checking every few milliseconds, until the condition holds; false when the limit passed first.
template <class Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    auto until = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace velmora::test

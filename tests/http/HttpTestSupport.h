#pragma once
// Helpers of the HTTP tests: a clock the test advances, a predictable random source, a request loop
// run on bytes in memory, and a loopback client.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "http/IdHTTPServer.h"
#include "http/IdIOHandlerStream.h"

namespace velmora::test {

class ManualClock : public TIdClock {
public:
    time_point now() const override { return time_point(std::chrono::milliseconds(m_ms.load())); }
    wall_time wallNow() const override { return wall_time(std::chrono::seconds(784111777)) + std::chrono::milliseconds(m_ms.load()); }
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
// 0 = all at once) and then closes.
Exchange runRequest(TIdCustomHTTPServer& server, const std::string& input, size_t chunk = 0,
                    const std::string& peer = "127.0.0.1");

// Connects to 127.0.0.1:port, sends the bytes, and answers everything received until the server closes.
std::string rawRequest(int port, const std::string& bytes);

// Runs a shell command and answers its standard output.
std::string commandOutput(const std::string& command);

}  // namespace velmora::test

#pragma once
// A connection's transport over bytes in memory: what the peer sends is given up front (and arrives
// at most ChunkSize bytes per receive), what the connection writes is collected. For tests and fuzzing.

#include <atomic>
#include <string>
#include <vector>

#include "http/IdIOHandler.h"

namespace velmora {

class TIdIOHandlerStream : public TIdIOHandler {
public:
    explicit TIdIOHandlerStream(std::string input, size_t chunkSize = 0)
        : m_input(std::move(input)), m_chunkSize(chunkSize)
    {
    }

    // After the input, a receive fails with this code (an Id_WSAE value) instead of reporting the
    // end (0 = the end).
    int FailAtEndWith = 0;
    // Sends fail as on a reset connection once this many bytes went out (-1 = never).
    long FailSendsAfter = -1;
    std::string PeerIP = "127.0.0.1";

    const std::string& output() const { return m_output; }
    // The size of each send, in order.
    const std::vector<size_t>& sends() const { return m_sends; }
    size_t consumed() const { return m_position; }

    bool connected() const override { return m_open.load(); }
    int waitReadable(int timeoutMs) override;
    int waitWritable(int) override { return 1; }
    int64_t receiveReady(void* buffer, size_t length) override;
    int64_t send(const void* buffer, size_t length, bool moreFollows) override;
    bool canSendFile() const override { return false; }
    int64_t sendFile(std::intptr_t, size_t) override { return -1; }
    std::string peerAddress() const override { return PeerIP; }
    void close() override { m_open.store(false); }
    void closeFromOutside() override { m_open.store(false); }

private:
    std::string m_input;
    size_t m_chunkSize;
    size_t m_position = 0;
    std::string m_output;
    std::vector<size_t> m_sends;
    std::atomic<bool> m_open{true};
};

}  // namespace velmora

#include "HttpTestSupport.h"

#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velmora::test {

Exchange runRequest(TIdCustomHTTPServer& server, const std::string& input, size_t chunk, const std::string& peer)
{
    TIdPeerThread thread(server);
    auto connection = std::make_unique<TIdTCPServerConnection>(server);
    auto io = std::make_unique<TIdIOHandlerStream>(input, chunk);
    io->PeerIP = peer;
    TIdIOHandlerStream* stream = io.get();
    connection->setIOHandler(std::move(io));
    thread.setConnection(std::move(connection));
    Exchange result;
    try {
        server.DoExecute(thread);
    } catch (const std::exception& error) {
        result.error = error.what();
    }
    result.output = stream->output();
    result.sends = stream->sends();
    return result;
}

std::string rawRequest(int port, const std::string& bytes)
{
    int handle = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string received;
    timeval limit{10, 0};
    ::setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (::connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        ::send(handle, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        char buffer[65536];
        ssize_t got;
        while ((got = ::recv(handle, buffer, sizeof buffer, 0)) > 0)
            received.append(buffer, static_cast<size_t>(got));
    }
    ::close(handle);
    return received;
}

std::string commandOutput(const std::string& command)
{
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    ::pclose(pipe);
    return output;
}

}  // namespace velmora::test

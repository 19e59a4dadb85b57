#include "HttpTestSupport.h"

#include <cstdio>

#include "Loopback.h"

namespace velmora::test {

Exchange runRequest(TIdCustomHTTPServer& server, const std::string& input, size_t chunk, const std::string& peer,
                    int failAtEndWith)
{
    TIdPeerThread thread(server);
    auto connection = std::make_unique<TIdTCPServerConnection>(server);
    auto io = std::make_unique<TIdIOHandlerStream>(input, chunk);
    io->PeerIP = peer;
    io->FailAtEndWith = failAtEndWith;
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

std::string rawRequest(int port, const std::string& bytes, const std::string& from)
{
    std::optional<Socket> client = tryConnectLoopback(port, from);
    if (!client)
        return {};
    client->sendAll(bytes);
    return client->receiveAll();
}

std::unique_ptr<TIdHTTPServer> startAnotherCopy(int port)
{
    auto server = std::make_unique<TIdHTTPServer>();
    server->SetDefaultPort(port);
    server->ServerSoftware = "Talvo Web";
    server->OnCommandGet = [](TIdPeerThread&, TIdHTTPRequestInfo&, TIdHTTPResponseInfo& response) {
        response.SetStatusCode(404);
    };
    server->SetActive(true);
    return server;
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

bool ToolAvailable(const std::string& tool)
{
    return !commandOutput(tool + " --version").empty();
}

}  // namespace velmora::test

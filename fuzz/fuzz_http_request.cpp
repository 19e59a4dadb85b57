// Feeds bytes to the HTTP server's request loop as one client connection: request line, headers,
// body, parameters, cookies, credentials, sessions and the reply, all in memory. The connection ends
// with a close or with a reset.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/IdHTTPServer.h"
#include "http/IdIOHandlerStream.h"

using namespace velmora;

namespace {

TIdHTTPServer& server()
{
    static TIdHTTPServer* instance = [] {
        auto* made = new TIdHTTPServer;
        made->SetSessionState(true);
        made->AutoStartSession = true;
        made->SessionTimeOut = 600000;
        made->ServerSoftware = "Talvo Web";
        made->SessionList().SessionTimeout = made->SessionTimeOut;
        made->OnCommandGet = [](TIdPeerThread&, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response) {
            if (request.ParamList.value("fail") == "1")
                throw Exception("handler failed");
            if (request.Path.size() % 3 == 0)
                response.SetStatusCode(404);
            response.BodyText = request.Path + request.ParamList.value("Thought");
        };
        return made;
    }();
    return *instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the arrival pace and how the connection ends; the rest is what the client
    // sends. The session list keeps itself within its limit.
    size_t chunk = data[0] % 8;
    TIdHTTPServer& http = server();
    TIdPeerThread thread(http);
    auto connection = std::make_unique<TIdTCPServerConnection>(http);
    auto io =
        std::make_unique<TIdIOHandlerStream>(std::string(reinterpret_cast<const char*>(data) + 1, size - 1), chunk);
    if (data[0] & 8)
        io->FailAtEndWith = Id_WSAECONNRESET;
    connection->setIOHandler(std::move(io));
    thread.setConnection(std::move(connection));
    try {
        http.DoExecute(thread);
    } catch (const EIdException&) {
        // Malformed requests end the connection without reply; that is the expected outcome.
    }
    return 0;
}

#pragma once
// What the publish controller tells whoever follows a publication beside the window (the operator's
// panel): the address it composes with, each step of a publish, and every request its server
// answered. Every call but ConnectionPageOpened and RequestDone comes on the main thread.

#include <exception>
#include <optional>
#include <string>

#include "http/IdHTTPRequestInfo.h"
#include "http/IdHTTPResponseInfo.h"

namespace velmora {

class IPublishListener {
public:
    virtual ~IPublishListener() = default;
    // The local address that composes ServerAddress in place of the watch's lookup; none keeps the
    // lookup's.
    virtual std::optional<std::string> AddressToCompose() = 0;
    // ServerAddress, ServerUrl and ImagesUrl were composed again (perhaps to the same values).
    virtual void AddressesComposed() = 0;
    // A publish has written the manifest and read it back; the server starts next.
    virtual void BeforeServerStart() = 0;
    // A publish ran to its end.
    virtual void Published() = 0;
    // The server could not start on the port; the error goes on to the publish's caller after it.
    virtual void ServerStartFailed(int port, const std::exception& error) = 0;
    // On a connection thread, before the reply: the client at peer is served the connection page.
    virtual void ConnectionPageOpened(const std::string& peer) = 0;
    // On a connection thread, after a request's reply: completed tells whether all of it was sent.
    virtual void RequestDone(const TIdHTTPRequestInfo& request, const TIdHTTPResponseInfo& response,
                             bool completed) = 0;
};

}  // namespace velmora

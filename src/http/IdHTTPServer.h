#pragma once
// The HTTP server component the application places: the custom server with its events in reach.

#include "http/IdCustomHTTPServer.h"

namespace velmora {

class TIdHTTPServer : public TIdCustomHTTPServer {
public:
    using TIdCustomHTTPServer::TIdCustomHTTPServer;
    ~TIdHTTPServer() override { stopForDestruction(); }
};

}  // namespace velmora

// A small file server on the HTTP classes, configured as the application's server is (sessions
// started for every client without a cookie, 600 s time-out, "Talvo Web"): any path is a file below
// the folder, 200 or 404. Prints the port it listens on, and the live sessions when told to stop.
// Usage: velmora_bench_http_server FOLDER [PORT]

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "http/IdHTTPServer.h"
#include "http/Limits.h"

using namespace velmora;

namespace {

bool climbsOut(const std::string& path)
{
    return path.find("..") != std::string::npos || path.find('\0') != std::string::npos;
}

void serveFile(const std::string& folder, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response)
{
    if (!climbsOut(request.Path)) {
        try {
            auto file = std::make_unique<TFileStream>(folder + request.Path, TFileStream::fmOpenRead);
            struct stat status {};
            if (::fstat(file->Handle(), &status) == 0 && S_ISREG(status.st_mode)) {
                response.BodyStream = std::move(file);
                return;
            }
        } catch (const EFOpenError&) {
            // Answered as missing below.
        }
    }
    response.SetStatusCode(404);
    response.BodyText = "The requested URL " + request.Path + " was not found on this server.";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [PORT]\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    TIdHTTPServer server;
    server.SetDefaultPort(argc > 2 ? std::stoi(argv[2]) : 0);
    server.ListenQueue = IdListenQueueForBursts;
    server.SetSessionState(true);
    server.AutoStartSession = true;
    server.SessionTimeOut = 600000;
    server.ServerSoftware = "Talvo Web";
    server.OnCommandGet = [&](TIdPeerThread&, TIdHTTPRequestInfo& request, TIdHTTPResponseInfo& response) {
        serveFile(folder, request, response);
    };
    server.SetActive(true);
    std::printf("port %d\n", server.Bindings()[0].Port);
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    std::printf("sessions %zu\n", server.SessionList().count());
    std::fflush(stdout);
    server.SetActive(false);
    return 0;
}

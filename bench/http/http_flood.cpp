// Sends COUNT requests for PATH without cookies, each on a new connection with "Connection: close",
// from CONCURRENCY threads, and reads every reply to its end. Prints the replies that began with a
// 200 status line and the elapsed seconds.
// Usage: velmora_bench_http_flood PORT PATH COUNT CONCURRENCY

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

bool fetch(int port, const std::string& request)
{
    int handle = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = false;
    if (::connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(handle, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        char buffer[65536];
        ssize_t got;
        bool first = true;
        while ((got = ::recv(handle, buffer, sizeof buffer, 0)) > 0) {
            if (first)
                ok = got >= 12 && std::memcmp(buffer, "HTTP/1.1 200", 12) == 0;
            first = false;
        }
    }
    ::close(handle);
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s PORT PATH COUNT CONCURRENCY\n", argv[0]);
        return 2;
    }
    int port = std::stoi(argv[1]);
    std::string request = std::string("GET ") + argv[2] + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    long count = std::stol(argv[3]);
    int concurrency = std::stoi(argv[4]);
    std::atomic<long> next{0}, succeeded{0};
    auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int i = 0; i < concurrency; ++i)
        workers.emplace_back([&] {
            while (next.fetch_add(1) < count)
                if (fetch(port, request))
                    succeeded.fetch_add(1);
        });
    for (auto& worker : workers)
        worker.join();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("ok %ld of %ld in %.2f s\n", succeeded.load(), count, seconds);
    return succeeded.load() == count ? 0 : 1;
}

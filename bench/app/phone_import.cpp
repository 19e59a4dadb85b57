// Does what the phone app does: GET "/", read the manifest, then GET every listed URL on a new
// connection each, checking every length. Prints the seconds one import took, as the median of the
// rounds, with CLIENTS imports running in parallel in each round.
// Usage: velmora_bench_phone_import PORT CLIENTS ROUNDS

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "common/ManifestPaths.h"

namespace {

using velmora::bench::listedPaths;

std::string fetch(int port, const std::string& path)
{
    int handle = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot connect");
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    ::send(handle, request.data(), request.size(), MSG_NOSIGNAL);
    std::string reply;
    char buffer[65536];
    ssize_t got;
    while ((got = ::recv(handle, buffer, sizeof buffer, 0)) > 0)
        reply.append(buffer, static_cast<size_t>(got));
    ::close(handle);

    size_t end = reply.find("\r\n\r\n");
    if (reply.compare(0, 12, "HTTP/1.1 200") != 0 || end == std::string::npos)
        throw std::runtime_error("no 200 reply for " + path);
    std::string head = reply.substr(0, end);
    size_t length = head.find("Content-Length: ");
    std::string body = reply.substr(end + 4);
    if (length == std::string::npos || std::stoul(head.substr(length + 16)) != body.size())
        throw std::runtime_error("short reply for " + path);
    return body;
}

size_t import(int port)
{
    size_t bytes = 0;
    for (const auto& path : listedPaths(fetch(port, "/")))
        bytes += fetch(port, path).size();
    return bytes;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PORT CLIENTS ROUNDS\n", argv[0]);
        return 2;
    }
    const int port = std::atoi(argv[1]), clients = std::atoi(argv[2]), rounds = std::atoi(argv[3]);
    std::vector<double> seconds;
    size_t files = listedPaths(fetch(port, "/")).size(), bytes = 0;
    try {
        for (int round = 0; round < rounds; ++round) {
            auto start = std::chrono::steady_clock::now();
            std::vector<std::thread> threads;
            std::vector<size_t> got(static_cast<size_t>(clients));
            std::exception_ptr failure;
            for (int c = 0; c < clients; ++c)
                threads.emplace_back([&, c] {
                    try {
                        got[static_cast<size_t>(c)] = import(port);
                    } catch (...) {
                        failure = std::current_exception();
                    }
                });
            for (auto& t : threads)
                t.join();
            if (failure)
                std::rethrow_exception(failure);
            seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            bytes = got[0];
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "import failed: %s\n", e.what());
        return 1;
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%.4f %zu %zu\n", seconds[seconds.size() / 2], files, bytes);
    return 0;
}

// The least that a server with one fresh thread per connection can do per request: accept, start
// a detached thread, read up to the blank line, send a fixed head and the file with sendfile,
// close. No parsing, sessions or logging. A peer for the benchmark: it shows how much of the gap
// to an event-driven server like nginx comes from the threading model itself.
// Given a folder instead of a file, it serves the requested path below it ("/" the manifest), so
// that a phone's import can be measured against the same floor; the path is taken as sent.
// Usage: velmora_bench_thread_floor PORT FILE|FOLDER
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* g_file = nullptr;
bool g_folder = false;

bool readRequestHead(int fd, std::string& head)
{
    char chunk[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            return false;
        head.append(chunk, static_cast<size_t>(got));
    }
    return true;
}

// The file a request names: the one file, or the path of "GET /path HTTP/1.1" below the folder.
std::string requestedFile(const std::string& head)
{
    if (!g_folder)
        return g_file;
    const size_t start = head.find(' ') + 1, end = head.find(' ', start);
    const std::string path = head.substr(start, end - start);
    return std::string(g_file) + (path == "/" ? "/arquivos.xml" : path);
}

void sendFile(int fd, const std::string& name)
{
    int file = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (file < 0 || ::fstat(file, &info) != 0) {
        if (file >= 0)
            ::close(file);
        return;
    }
    std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: application/octet-stream\r\n"
                       "Content-Length: " +
        std::to_string(info.st_size) + "\r\n\r\n";
    if (::send(fd, head.data(), head.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(head.size())) {
        off_t offset = 0;
        while (offset < info.st_size) {
            const size_t left = static_cast<size_t>(info.st_size - offset);
            if (::sendfile(fd, file, &offset, left) <= 0)
                break;
        }
    }
    ::close(file);
}

void* serveConnection(void* argument)
{
    int fd = static_cast<int>(reinterpret_cast<intptr_t>(argument));
    std::string head;
    if (readRequestHead(fd, head))
        sendFile(fd, requestedFile(head));
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
    return nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PORT FILE\n", argv[0]);
        return 2;
    }
    g_file = argv[2];
    struct stat given {};
    g_folder = ::stat(g_file, &given) == 0 && S_ISDIR(given.st_mode);
    // sendfile has no MSG_NOSIGNAL: a client that leaves mid-file must not end the server.
    std::signal(SIGPIPE, SIG_IGN);
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[1])));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener, 1024) != 0) {
        std::perror("listen");
        return 1;
    }
    std::printf("port %s\n", argv[1]);
    std::fflush(stdout);
    // The same stack size as the project's connection threads.
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    for (;;) {
        int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        pthread_t thread;
        if (pthread_create(&thread, &attributes, serveConnection,
                           reinterpret_cast<void*>(static_cast<intptr_t>(client))) != 0)
            ::close(client);
    }
}

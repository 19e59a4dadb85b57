// A soak run of velmora-server: phones that import the project in a loop (checking every file's
// length and the manifest's integrity), a cookie-less flood, hosts that hold all the idle
// connections they may, a conversation that keeps its cookie, one client that stops reading in the
// middle of a large file, and a republish (SIGHUP) every few seconds that switches the project
// between two versions. The phones start once the idle hosts hold their connections. Prints what
// held: imports done and failed, short or mixed manifests, the conversation, the server's peak
// memory and threads, and whether the server's "OK." log lines match the files it served. Exits 1
// when an import failed, a manifest was short or mixed, the conversation lost its session, a log
// line was lost, or the server did not exit with status 0.
//
// Usage: velmora_soak SERVER_PROGRAM [--seconds N | --imports N] [--idle N] [--hogs N] [--phones N]
//                     [--republish-ms N] [--stall-seconds N]
//   --seconds N       run for N seconds (default 600)
//   --imports N       instead, stop once every phone has imported N times (a short run for CI)
//   --idle N          idle connections each idle host tries to hold (default 256, all one address may)
//   --hogs N          idle hosts, each its own address (default 8: together more than the server's
//                     1024 connections)
//   --republish-ms N  milliseconds between republishes (default 2000)
//   --stall-seconds N how long the stalled reader waits before it looks whether the server let it go
//                     (default 70; the server gives up a send after 60 s without progress)

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "common/ManifestPaths.h"

extern char** environ;

namespace {

using velmora::bench::listedPaths;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Options {
    std::string server;
    int seconds = 600;
    int imports = 0;
    int idle = 256;
    int hogs = 8;
    int phones = 4;
    int republishMs = 2000;
    int stallSeconds = 70;
};

// --- the project: two versions that list different images --------------------------------------

constexpr int ImagesPerVersion = 12;
constexpr size_t StallFileSize = 32u << 20;
const char* const StallPath = "/Images/stall.bin";

struct Project {
    fs::path folder;
    std::string versions[2];  // the screen file of each version
    std::map<std::string, size_t> imageSizes;  // by name, every image of both versions
};

std::string imageName(int version, int index)
{
    return std::string(version == 0 ? "a_" : "b_") + std::to_string(index) + ".png";
}

std::string screenFile(int version)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SCREEN><MENUS><MENU menu_nome=\"Soak\">\n"
                      "<JANELA j_nome=\"Sala\" j_imagem=\"fundo.png\" j_numero=\"1\">\n";
    for (int i = 0; i < ImagesPerVersion; ++i)
        xml += "<BOTAO b_caption=\"B" + std::to_string(i) + "\" b_imagem=\"" + imageName(version, i) + "\" b_left=\"" +
            std::to_string(i * 50) + "\" b_top=\"40\"/>\n";
    return xml + "</JANELA></MENU></MENUS></SCREEN>\n";
}

void writeBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

// Written next to the target and renamed over it, so that a publish never reads half a file.
void replaceFile(const fs::path& path, const std::string& bytes)
{
    fs::path sibling = path;
    sibling += ".new";
    writeBytes(sibling, bytes);
    fs::rename(sibling, path);
}

Project makeProject(const fs::path& folder)
{
    Project project;
    project.folder = folder;
    fs::create_directories(folder / "Images");
    std::mt19937 random(7);
    auto image = [&](const std::string& name, size_t size) {
        std::string bytes(size, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        writeBytes(folder / "Images" / name, bytes);
        project.imageSizes[name] = size;
    };
    image("fundo.png", 300000);
    for (int version = 0; version < 2; ++version) {
        for (int i = 0; i < ImagesPerVersion; ++i)
            image(imageName(version, i), 10000 + random() % 190000);
        project.versions[version] = screenFile(version);
    }
    writeBytes(folder / "Images" / "stall.bin", std::string(StallFileSize, 's'));
    writeBytes(folder / "screen.xml", project.versions[0]);
    return project;
}

// --- a client from a chosen loopback address -----------------------------------------------------

class Connection {
public:
    // receiveBuffer, when not 0, fixes the receive buffer, so that not reading soon stops the sender.
    Connection(int port, const std::string& from, int receiveTimeoutMs, int receiveBuffer = 0)
    {
        m_handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_handle < 0)
            throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
        // The port is chosen at connect time, per destination, so that many connections from one
        // address do not run out of ports.
        int on = 1;
        ::setsockopt(m_handle, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
        sockaddr_in source{};
        source.sin_family = AF_INET;
        ::inet_pton(AF_INET, from.c_str(), &source.sin_addr);
        timeval limit{receiveTimeoutMs / 1000, static_cast<suseconds_t>(receiveTimeoutMs % 1000) * 1000};
        ::setsockopt(m_handle, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        if (receiveBuffer > 0)
            ::setsockopt(m_handle, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(static_cast<uint16_t>(port));
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(m_handle, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0 ||
            ::connect(m_handle, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
            std::string error = std::strerror(errno);
            ::close(m_handle);
            throw std::runtime_error("connect from " + from + ": " + error);
        }
    }
    ~Connection()
    {
        if (m_handle >= 0)
            ::close(m_handle);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int handle() const { return m_handle; }
    void send(const std::string& bytes)
    {
        for (size_t done = 0; done < bytes.size();) {
            ssize_t sent = ::send(m_handle, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (sent <= 0)
                throw std::runtime_error(std::string("send: ") + std::strerror(errno));
            done += static_cast<size_t>(sent);
        }
    }
    // Appends what arrives; answers false at the end of the stream or when the time-out passed.
    bool receive(std::string& into, size_t most = 65536)
    {
        char buffer[65536];
        ssize_t got = ::recv(m_handle, buffer, std::min(most, sizeof buffer), 0);
        if (got <= 0)
            return false;
        into.append(buffer, static_cast<size_t>(got));
        return true;
    }

private:
    int m_handle = -1;
};

struct Reply {
    int status = 0;
    long contentLength = -1;
    std::string cookie;  // the session a Set-Cookie line started, empty without one
    std::string body;
    bool headComplete = false;
};

// Splits the head off what was received so far; answers whether the head is complete.
bool parseHead(std::string& received, Reply& reply)
{
    size_t end = received.find("\r\n\r\n");
    if (end == std::string::npos)
        return false;
    std::string head = received.substr(0, end);
    if (head.rfind("HTTP/1.1 ", 0) == 0 && head.size() >= 12)
        reply.status = std::atoi(head.c_str() + 9);
    size_t length = head.find("Content-Length: ");
    if (length != std::string::npos)
        reply.contentLength = std::atol(head.c_str() + length + 16);
    const std::string cookieKey = "Set-Cookie: IDHTTPSESSIONID=";
    size_t cookie = head.find(cookieKey);
    if (cookie != std::string::npos)
        reply.cookie = head.substr(cookie + cookieKey.size(), head.find(';', cookie) - cookie - cookieKey.size());
    reply.body = received.substr(end + 4);
    reply.headComplete = true;
    return true;
}

Reply fetch(int port, const std::string& from, const std::string& path, const std::string& cookie = {})
{
    Connection connection(port, from, 30000);
    connection.send("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                    (cookie.empty() ? "" : "Cookie: IDHTTPSESSIONID=" + cookie + "\r\n") + "\r\n");
    std::string received;
    while (connection.receive(received)) {}
    Reply reply;
    parseHead(received, reply);
    return reply;
}

bool isFile(const std::string& path)
{
    return path.rfind("/talvo.html", 0) != 0;
}

// --- the server process and what it prints --------------------------------------------------------

class ServerProcess {
public:
    ServerProcess(const std::string& program, int port, const fs::path& screen)
    {
        int out[2], err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        std::string portText = std::to_string(port), screenText = screen.string();
        std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>("--port"), portText.data(),
                                screenText.data(), nullptr};
        int failed = ::posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        if (failed)
            throw std::runtime_error("cannot start " + program);
        m_stdoutReader = std::thread([this, fd = out[0]] {
            readLines(fd, [this](const std::string& line) { onLine(line); });
            std::lock_guard lock(m_linesMutex);
            m_ended = true;
            m_linesChanged.notify_all();
        });
        m_stderrReader = std::thread([this, fd = err[0]] {
            readLines(fd, [this](const std::string& line) {
                std::lock_guard lock(m_linesMutex);
                m_errors += line + "\n";
            });
        });
    }
    ~ServerProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_stdoutReader.joinable())
            m_stdoutReader.join();
        if (m_stderrReader.joinable())
            m_stderrReader.join();
    }

    pid_t pid() const { return m_pid; }
    bool waitForPublishes(long count, std::chrono::seconds limit)
    {
        std::unique_lock lock(m_linesMutex);
        return m_linesChanged.wait_for(lock, limit, [&] { return m_publishes >= count || m_ended; });
    }
    long publishes()
    {
        std::lock_guard lock(m_linesMutex);
        return m_publishes;
    }
    // SIGTERM, then the exit status once the process and its output have ended (-1 after the limit).
    int stop(std::chrono::seconds limit)
    {
        ::kill(m_pid, SIGTERM);
        auto until = Clock::now() + limit;
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (Clock::now() > until)
                return -1;
            std::this_thread::sleep_for(20ms);
        }
        m_pid = -1;
        m_stdoutReader.join();
        m_stderrReader.join();
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    long okLines() const { return m_okLines; }
    long omittedLines() const { return m_omitted; }
    // The server's own reachability checks that reached it; they log no "OK." line of their own.
    long probes() const { return m_probes; }
    std::string errors()
    {
        std::lock_guard lock(m_linesMutex);
        return m_errors;
    }

private:
    static void readLines(int fd, const std::function<void(const std::string&)>& onLine)
    {
        std::string pending;
        char buffer[65536];
        ssize_t got;
        while ((got = ::read(fd, buffer, sizeof buffer)) > 0) {
            pending.append(buffer, static_cast<size_t>(got));
            size_t start = 0;
            for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
                onLine(pending.substr(start, end - start));
            pending.erase(0, start);
        }
        ::close(fd);
    }
    void onLine(const std::string& line)
    {
        static const std::string omitted = " linhas omitidas)";
        if (line.rfind("Arquivo ", 0) == 0 && line.size() > 4 && line.compare(line.size() - 4, 4, " OK.") == 0)
            ++m_okLines;
        else if (line.rfind("Servidor acessível em ", 0) == 0)
            ++m_probes;
        else if (line.size() > omitted.size() &&
                 line.compare(line.size() - omitted.size(), omitted.size(), omitted) == 0)
            m_omitted += std::atol(line.c_str() + line.rfind('(') + 1);
        std::lock_guard lock(m_linesMutex);
        if (line == "Servidor Ativo!")
            ++m_publishes;
        m_linesChanged.notify_all();
    }

    pid_t m_pid = -1;
    std::thread m_stdoutReader, m_stderrReader;
    std::atomic<long> m_okLines{0}, m_omitted{0}, m_probes{0};
    // Guards m_publishes, m_ended and m_errors; m_linesChanged signals a new line.
    std::mutex m_linesMutex;
    std::condition_variable m_linesChanged;
    long m_publishes = 0;
    bool m_ended = false;
    std::string m_errors;
};

// A port kept bound (with address reuse, not listening) until the run ends, so nobody else takes
// it while velmora-server, which reuses addresses too, binds and listens on it.
class ReservedPort {
public:
    ReservedPort()
    {
        m_handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int on = 1;
        ::setsockopt(m_handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        socklen_t length = sizeof address;
        if (::bind(m_handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::getsockname(m_handle, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error(std::string("cannot reserve a port: ") + std::strerror(errno));
        m_port = ntohs(address.sin_port);
    }
    ~ReservedPort() { ::close(m_handle); }
    int port() const { return m_port; }

private:
    int m_handle = -1;
    int m_port = 0;
};

// --- the clients -------------------------------------------------------------------------------------

struct Tally {
    std::atomic<long> importsDone{0}, importsFailed{0}, shortManifests{0}, mixedManifests{0};
    std::atomic<long> filesServed{0}, floodRequests{0}, floodFailures{0};
    // Requests of files the server may have served, and logged, whose reply never reached the client.
    std::atomic<long> unsure{0};
    std::atomic<long> idleHeld{0}, idlePeak{0}, idleClosedByServer{0};
    std::atomic<int> hogsHolding{0};
    std::atomic<long> exchanges{0}, conversationLost{0};
    std::atomic<long> stalls{0}, stallsEndedByServer{0};
    std::atomic<long> slowestPhoneRequestMs{0};
    // Guards firstFailure.
    std::mutex firstFailureMutex;
    std::string firstFailure;

    void fail(const std::string& what)
    {
        ++importsFailed;
        remember(what);
    }
    void loseConversation(const std::string& what)
    {
        ++conversationLost;
        remember("conversation: " + what);
    }
    void remember(const std::string& what)
    {
        std::lock_guard lock(firstFailureMutex);
        if (firstFailure.empty())
            firstFailure = what;
    }
};

void raiseTo(std::atomic<long>& peak, long value)
{
    for (long seen = peak; value > seen && !peak.compare_exchange_weak(seen, value);) {}
}

enum class ManifestCheck { Whole, Short, Mixed };

ManifestCheck checkManifest(const Reply& reply, const std::vector<std::string>& paths)
{
    if (reply.status != 200 || reply.contentLength != static_cast<long>(reply.body.size()) ||
        reply.body.rfind("<?xml", 0) != 0 || reply.body.size() < 11 ||
        reply.body.compare(reply.body.size() - 11, 11, "</ARQUIVOS>") != 0)
        return ManifestCheck::Short;
    int listed[2] = {0, 0};
    for (const auto& path : paths)
        for (int version = 0; version < 2; ++version)
            for (int i = 0; i < ImagesPerVersion; ++i)
                if (path == "/Images/" + imageName(version, i))
                    ++listed[version];
    if (listed[0] > 0 && listed[1] > 0)
        return ManifestCheck::Mixed;
    return listed[0] == ImagesPerVersion || listed[1] == ImagesPerVersion ? ManifestCheck::Whole : ManifestCheck::Short;
}

// A phone's request, its time taken into the tally's slowest.
Reply phoneFetch(int port, const std::string& from, const std::string& path, Tally& tally)
{
    auto start = Clock::now();
    Reply reply = fetch(port, from, path);
    raiseTo(tally.slowestPhoneRequestMs,
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    return reply;
}

void importOnce(int port, const std::string& from, const Project& project, Tally& tally)
{
    Reply manifest = phoneFetch(port, from, "/", tally);
    if (manifest.status == 200)
        ++tally.filesServed;
    std::vector<std::string> paths = listedPaths(manifest.body);
    switch (checkManifest(manifest, paths)) {
    case ManifestCheck::Short:
        ++tally.shortManifests;
        throw std::runtime_error("short manifest of " + std::to_string(manifest.body.size()) + " bytes");
    case ManifestCheck::Mixed:
        ++tally.mixedManifests;
        throw std::runtime_error("mixed manifest");
    case ManifestCheck::Whole:
        break;
    }
    for (const auto& path : paths) {
        Reply file = phoneFetch(port, from, path, tally);
        if (file.status == 200)
            ++tally.filesServed;
        if (file.status != 200 || file.contentLength != static_cast<long>(file.body.size()))
            throw std::runtime_error("short reply (" + std::to_string(file.status) + ") for " + path);
        if (path == "/screen.xml") {
            if (file.body != project.versions[0] && file.body != project.versions[1])
                throw std::runtime_error("a screen file of neither version");
            continue;
        }
        auto known = project.imageSizes.find(path.substr(path.rfind('/') + 1));
        if (known == project.imageSizes.end() || known->second != file.body.size())
            throw std::runtime_error("wrong length for " + path);
    }
    ++tally.importsDone;
}

void phone(int port, const std::string& from, const Project& project, int imports, const std::atomic<bool>& stop,
           Tally& tally)
{
    for (int done = 0; !stop && (imports == 0 || done < imports); ++done) {
        try {
            importOnce(port, from, project, tally);
        } catch (const std::exception& e) {
            tally.fail(from + ": " + e.what());
        }
    }
}

void flood(int port, const std::string& from, const std::atomic<bool>& stop, Tally& tally)
{
    const char* paths[] = {"/talvo.html?Personality=Brovick", "/"};
    for (long i = 0; !stop; ++i) {
        const char* path = paths[i % 2];
        try {
            Reply reply = fetch(port, from, path);
            ++tally.floodRequests;
            if (reply.status == 200 && isFile(path))
                ++tally.filesServed;
            if (reply.status != 200)
                ++tally.floodFailures;
            if (reply.status == 0 && isFile(path))
                ++tally.unsure;
        } catch (const std::exception&) {
            ++tally.floodFailures;
        }
    }
}

// Keeps up to count connections open without a request, opening new ones for those the server closes
// (or refuses); counts itself holding once it has tried them all.
void holdIdle(int port, const std::string& from, int count, const std::atomic<bool>& stop, Tally& tally)
{
    std::vector<std::unique_ptr<Connection>> held;
    long lastOpen = 0;
    for (bool first = true; !stop; first = false) {
        while (static_cast<int>(held.size()) < count && !stop) {
            try {
                held.push_back(std::make_unique<Connection>(port, from, 1000));
            } catch (const std::exception&) {
                break;
            }
        }
        std::this_thread::sleep_for(1s);
        std::vector<pollfd> ready;
        for (auto& connection : held)
            ready.push_back({connection->handle(), POLLIN | POLLRDHUP, 0});
        ::poll(ready.data(), ready.size(), 0);
        long open = 0;
        std::vector<std::unique_ptr<Connection>> still;
        for (size_t i = 0; i < held.size(); ++i) {
            if (ready[i].revents != 0) {
                ++tally.idleClosedByServer;
                continue;
            }
            ++open;
            still.push_back(std::move(held[i]));
        }
        held.swap(still);
        raiseTo(tally.idlePeak, tally.idleHeld += open - lastOpen);
        lastOpen = open;
        if (first)
            ++tally.hogsHolding;
    }
}

// One conversation that keeps its cookie, a thought every few hundred milliseconds: every reply must
// come from the session it started, however many sessions the flood starts meanwhile.
void converse(int port, const std::string& from, const std::atomic<bool>& stop, Tally& tally)
{
    std::string cookie;
    while (!stop) {
        try {
            if (cookie.empty()) {
                cookie = fetch(port, from, "/talvo.html?Personality=Brovick").cookie;
            } else {
                Reply reply = fetch(port, from, "/talvo.html?Thought=ola", cookie);
                ++tally.exchanges;
                if (reply.status != 200 || !reply.cookie.empty())
                    tally.loseConversation("status " + std::to_string(reply.status) +
                                           (reply.cookie.empty() ? "" : " with a new session"));
            }
        } catch (const std::exception& e) {
            tally.loseConversation(e.what());
        }
        std::this_thread::sleep_for(200ms);
    }
}

// Asks for a large file, takes its head and a little, then reads nothing until stallSeconds passed;
// then looks whether the server ended the connection short of the whole body.
void stallReading(int port, const std::string& from, int stallSeconds, const std::atomic<bool>& stop, Tally& tally)
{
    while (!stop) {
        try {
            Connection connection(port, from, 1000, 65536);
            connection.send(std::string("GET ") + StallPath + " HTTP/1.1\r\n\r\n");
            std::string received;
            Reply reply;
            while (!parseHead(received, reply) && connection.receive(received)) {}
            if (reply.status == 200)
                ++tally.filesServed;
            else if (reply.status == 0)
                ++tally.unsure;
            ++tally.stalls;
            auto until = Clock::now() + std::chrono::seconds(stallSeconds);
            while (!stop && Clock::now() < until)
                std::this_thread::sleep_for(100ms);
            if (stop)
                return;
            size_t body = reply.body.size();
            std::string rest;
            while (connection.receive(rest)) {
                body += rest.size();
                rest.clear();
            }
            if (body < StallFileSize)
                ++tally.stallsEndedByServer;
        } catch (const std::exception&) {
            std::this_thread::sleep_for(100ms);
        }
    }
}

void republish(ServerProcess& server, const Project& project, int intervalMs, const std::atomic<bool>& stop)
{
    for (int version = 1; !stop; version = 1 - version) {
        auto until = Clock::now() + std::chrono::milliseconds(intervalMs);
        while (!stop && Clock::now() < until)
            std::this_thread::sleep_for(10ms);
        if (stop)
            return;
        replaceFile(project.folder / "screen.xml", project.versions[version]);
        ::kill(server.pid(), SIGHUP);
    }
}

struct Peaks {
    std::atomic<long> residentKiB{0}, threads{0};
};

long statusField(pid_t pid, const std::string& key)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key + ":", 0) == 0)
            return std::atol(line.c_str() + key.size() + 1);
    return 0;
}

void monitor(pid_t pid, const std::atomic<bool>& stop, Peaks& peaks)
{
    while (!stop) {
        long resident = statusField(pid, "VmRSS"), threads = statusField(pid, "Threads");
        if (resident > peaks.residentKiB)
            peaks.residentKiB = resident;
        if (threads > peaks.threads)
            peaks.threads = threads;
        std::this_thread::sleep_for(250ms);
    }
}

bool parseOptions(int argc, char** argv, Options& options)
{
    if (argc < 2)
        return false;
    options.server = argv[1];
    for (int i = 2; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        int value = std::atoi(argv[i + 1]);
        if (name == "--seconds")
            options.seconds = value;
        else if (name == "--imports")
            options.imports = value;
        else if (name == "--idle")
            options.idle = value;
        else if (name == "--hogs")
            options.hogs = value;
        else if (name == "--phones")
            options.phones = value;
        else if (name == "--republish-ms")
            options.republishMs = value;
        else if (name == "--stall-seconds")
            options.stallSeconds = value;
        else
            return false;
    }
    return argc % 2 == 0;
}

// The soft limit of open files, raised to the hard one: the idle client needs one per connection.
void allowDescriptors()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s SERVER_PROGRAM [--seconds N | --imports N] [--idle N] [--hogs N] [--phones N] "
                     "[--republish-ms N] [--stall-seconds N]\n",
                     argv[0]);
        return 2;
    }
    allowDescriptors();
    fs::path work = fs::temp_directory_path() / ("velmora-soak-" + std::to_string(::getpid()));
    fs::remove_all(work);
    Project project = makeProject(work);
    ReservedPort reserved;
    const int port = reserved.port();
    ServerProcess server(options.server, port, work / "screen.xml");
    if (!server.waitForPublishes(1, 30s)) {
        std::fprintf(stderr, "velmora-server did not start:\n%s", server.errors().c_str());
        return 1;
    }

    Tally tally;
    Peaks peaks;
    std::atomic<bool> stop{false}, phonesDone{false};
    std::vector<std::thread> phones, others;
    for (int i = 0; i < options.hogs; ++i)
        others.emplace_back(holdIdle, port, "127.0.0." + std::to_string(100 + i), options.idle, std::cref(stop),
                            std::ref(tally));
    // The phones come to a server whose every place the idle hosts already hold.
    for (auto until = Clock::now() + 60s; tally.hogsHolding < options.hogs && Clock::now() < until;)
        std::this_thread::sleep_for(10ms);
    for (int i = 0; i < options.phones; ++i)
        phones.emplace_back(phone, port, "127.0.0." + std::to_string(10 + i), std::cref(project), options.imports,
                            std::cref(stop), std::ref(tally));
    others.emplace_back(flood, port, "127.0.0.30", std::cref(stop), std::ref(tally));
    others.emplace_back(converse, port, "127.0.0.60", std::cref(stop), std::ref(tally));
    others.emplace_back(stallReading, port, "127.0.0.50", options.stallSeconds, std::cref(stop), std::ref(tally));
    others.emplace_back(republish, std::ref(server), std::cref(project), options.republishMs, std::cref(stop));
    others.emplace_back(monitor, server.pid(), std::cref(stop), std::ref(peaks));

    const auto started = Clock::now();
    if (options.imports > 0) {
        for (auto& t : phones)
            t.join();
    } else {
        while (Clock::now() - started < std::chrono::seconds(options.seconds))
            std::this_thread::sleep_for(200ms);
    }
    stop = true;
    for (auto& t : phones)
        if (t.joinable())
            t.join();
    for (auto& t : others)
        t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    const long publishes = server.publishes();
    const long peakThreadsSeen = peaks.threads;
    const int exitStatus = server.stop(120s);

    const long okLines = server.okLines(), omitted = server.omittedLines(), served = tally.filesServed;
    const long probes = server.probes();
    const long unsure = tally.unsure;
    // A request whose reply never reached its client may have been logged or not; the server's own
    // reachability checks log no "OK." line.
    const bool linesMatch = okLines >= served && okLines <= served + unsure;
    std::printf("soak of %.0f s against %s\n", seconds, options.server.c_str());
    std::printf("imports done %ld, failed %ld; slowest phone request %ld ms\n", tally.importsDone.load(),
                tally.importsFailed.load(), tally.slowestPhoneRequestMs.load());
    std::printf("manifests short %ld, mixed %ld\n", tally.shortManifests.load(), tally.mixedManifests.load());
    std::printf("flood requests %ld, not answered 200: %ld\n", tally.floodRequests.load(), tally.floodFailures.load());
    std::printf("conversation: %ld thoughts, %ld answered from another session or not at all\n", tally.exchanges.load(),
                tally.conversationLost.load());
    std::printf("idle connections of %d hosts held at most %ld together, closed or refused by the server %ld\n",
                options.hogs, tally.idlePeak.load(), tally.idleClosedByServer.load());
    std::printf("stalled readers %ld, let go by the server %ld\n", tally.stalls.load(),
                tally.stallsEndedByServer.load());
    std::printf("republished %ld times\n", publishes - 1);
    std::printf("server peak resident %ld MB, peak threads %ld\n", peaks.residentKiB.load() / 1024, peakThreadsSeen);
    std::printf("log lines \"OK.\" %ld, files served %ld (beside the server's own reachability checks %ld, and %ld "
                "requests whose reply never arrived), lines reported omitted %ld: %s\n",
                okLines, served, probes, unsure, omitted, linesMatch ? "equal" : "NOT equal");
    std::printf("server exit status %d\n", exitStatus);
    if (!tally.firstFailure.empty())
        std::printf("first failure: %s\n", tally.firstFailure.c_str());
    std::string errors = server.errors();
    if (!errors.empty())
        std::printf("server stderr:\n%s", errors.c_str());
    fs::remove_all(work);
    const bool held = tally.importsFailed == 0 && tally.shortManifests == 0 && tally.mixedManifests == 0 &&
        linesMatch && exitStatus == 0 && tally.importsDone > 0 && tally.exchanges > 0 && tally.conversationLost == 0;
    return held ? 0 : 1;
}

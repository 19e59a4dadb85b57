#include <cerrno>
#include <climits>
#include <poll.h>
#include <unistd.h>

#include "publish/ConsoleOutput.h"

namespace velmora {

namespace {

// How long one wait for the descriptor lasts before the writer asks for the deadline again.
constexpr int WritablePollMs = 100;

// Writes never block: a pipe that nobody reads holds up only the wait, which the deadline ends.
class TDescriptorOutput : public TConsoleOutput {
public:
    explicit TDescriptorOutput(int fd) : m_fd(fd) {}

    bool WriteAll(const std::string& bytes, const TDeadline& deadline) override
    {
        size_t done = 0;
        std::chrono::steady_clock::time_point until = deadline();
        while (done < bytes.size()) {
            if (std::chrono::steady_clock::now() >= until)
                return false;
            pollfd ready{m_fd, POLLOUT, 0};
            int polled = ::poll(&ready, 1, WritablePollMs);
            if (polled < 0 && errno != EINTR)
                return false;
            if (polled <= 0) {
                until = std::min(until, deadline());
                continue;
            }
            if (ready.revents & (POLLERR | POLLHUP | POLLNVAL))
                return false;
            // At most PIPE_BUF at a time: a pipe that polls writable takes that much without blocking.
            size_t chunk = std::min<size_t>(bytes.size() - done, PIPE_BUF);
            ssize_t put = ::write(m_fd, bytes.data() + done, chunk);
            if (put < 0 && errno != EINTR && errno != EAGAIN)
                return false;
            if (put > 0)
                done += static_cast<size_t>(put);
        }
        return true;
    }

    // A write never waits past one poll slice, after which it asks for the deadline again.
    void Cancel() override {}

private:
    const int m_fd;
};

}  // namespace

std::unique_ptr<TConsoleOutput> OpenConsoleOutput(int descriptor)
{
    return std::make_unique<TDescriptorOutput>(descriptor);
}

bool ConsoleShowsColours(int descriptor)
{
    return ::isatty(descriptor) == 1;
}

}  // namespace velmora

#include <sys/inotify.h>
#include <unistd.h>

#include "operator/FolderWatch.h"

namespace velmora {

namespace {

// Writes that end, saves that replace a file by renaming another onto it, removals; and the
// folder itself going away.
constexpr uint32_t WatchedEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF;

class TInotifyWatch : public TFolderWatch {
public:
    explicit TInotifyWatch(int fd) : m_fd(fd) {}
    ~TInotifyWatch() override { ::close(m_fd); }
    TInotifyWatch(const TInotifyWatch&) = delete;
    TInotifyWatch& operator=(const TInotifyWatch&) = delete;

    int Add(const std::string& folder) override { return ::inotify_add_watch(m_fd, folder.c_str(), WatchedEvents); }

    std::vector<TFolderChange> Read() override
    {
        std::vector<TFolderChange> changes;
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got <= 0)
                return changes;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                changes.push_back(changeOf(*event));
            }
        }
    }

private:
    TFolderChange changeOf(const inotify_event& event)
    {
        if (event.mask & IN_Q_OVERFLOW)
            return {TFolderChange::TKind::Overflow, -1, {}};
        if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
            if (!(event.mask & IN_IGNORED))
                ::inotify_rm_watch(m_fd, event.wd);
            return {TFolderChange::TKind::FolderGone, event.wd, {}};
        }
        return {TFolderChange::TKind::File, event.wd, event.len > 0 ? std::string(event.name) : std::string()};
    }

    const int m_fd;
};

}  // namespace

std::unique_ptr<TFolderWatch> NewFolderWatch()
{
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return nullptr;
    return std::make_unique<TInotifyWatch>(fd);
}

}  // namespace velmora

#include "platform/locale/zone_watcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

namespace locale {

std::optional<std::string> zoneFile(const char* tz) {
    if (!tz) return std::string("/etc/localtime");
    std::string_view value = tz;
    if (value.starts_with(':')) value.remove_prefix(1);
    // A name is looked up in the zone database, and anything else not a path is a rule.
    if (!value.starts_with('/') || value.ends_with('/')) return std::nullopt;
    return std::string(value);
}

void reloadZone() {
    const char* tz = std::getenv("TZ");
    if (!tz) {
        // With TZ unset the C library looks at /etc/localtime again on each tzset() and
        // reads it when it is another file or has another modification time. Setting TZ
        // here would add a variable, which may move the environment array under a
        // getenv() on another thread; a rewrite in place within the second of the last
        // read is missed, which system tools (they rename or re-link) never do.
        tzset();
        return;
    }
    if (!zoneFile(tz)) return;
    // With TZ set, tzset() looks again only when TZ's text changed, and then skips the
    // file when it seems the same one (inode, device, modification second). Going by a
    // zone that is no file and back makes it read the file afresh. TZ exists already, so
    // setenv() only swaps the string in its slot (the C library keeps the old one alive)
    // and the environment array stays put. We run on the UI thread, the only one here
    // that converts times; another thread reading TZ in between would see "UTC0".
    const std::string original = tz;
    setenv("TZ", "UTC0", 1);
    tzset();
    setenv("TZ", original.c_str(), 1);
    tzset();
}

ZoneWatcher::ZoneWatcher(std::function<void()> onChange) : onChange_(std::move(onChange)) {
    const std::optional<std::string> file = zoneFile(std::getenv("TZ"));
    if (!file) return;
    const std::size_t slash = file->rfind('/');
    const std::string folder = slash == 0 ? std::string("/") : file->substr(0, slash);
    name_ = file->substr(slash + 1);
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // The folder, not the file: the file is usually replaced by a rename or a new link,
    // and a watch on the file itself would stay on the old one.
    if (fd_ < 0 ||
        inotify_add_watch(fd_, folder.c_str(),
                          IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR) < 0) {
        std::fprintf(stderr, "tolvane: time zone changes in %s will not be seen: %s\n", folder.c_str(),
                     std::strerror(errno));
        stop();
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { readEvents(); });
}

ZoneWatcher::~ZoneWatcher() { stop(); }

bool ZoneWatcher::watching() const { return fd_ >= 0; }

void ZoneWatcher::stop() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void ZoneWatcher::readEvents() {
    bool changed = false;
    bool gone = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof event;
            // Events were lost: the file may have changed among them.
            if (event.mask & IN_Q_OVERFLOW) changed = true;
            // The folder went away (deleted, unmounted): nothing more will come.
            if (event.mask & IN_IGNORED) gone = true;
            if (event.len > 0 && name_ == std::string_view(name, strnlen(name, event.len))) changed = true;
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
    if (gone) {
        // Not stop(): this runs inside the notifier's own signal.
        notifier_->setEnabled(false);
        ::close(fd_);
        fd_ = -1;
    }
    if (!changed) return;
    reloadZone();
    if (onChange_) onChange_();
}

}  // namespace locale

// Noticing that the machine's time zone changed while the program runs.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;

namespace locale {

// The file the C library takes the local zone from, given TZ's value (null: unset):
// /etc/localtime, or the absolute path TZ gives (":/path" or "/path"). None when TZ
// names a zone or spells out a rule: the user fixed that zone, it does not move.
std::optional<std::string> zoneFile(const char* tz);

// Makes the C library take up the zone file again; it reads it once and keeps it.
// TZ reads the same afterwards as before.
void reloadZone();

// Calls `onChange` after the zone file was replaced, re-pointed (a symbolic link) or
// rewritten, once the C library has read it again. An inotify watch on the file's
// folder, read in the Qt event loop: it costs no wake-ups while nothing happens. Make
// it on the UI thread, once the application exists. A change inside the file a link
// points to (a zone database update) is not seen; it hardly ever moves the clock.
class ZoneWatcher {
public:
    explicit ZoneWatcher(std::function<void()> onChange);
    ~ZoneWatcher();
    ZoneWatcher(const ZoneWatcher&) = delete;
    ZoneWatcher& operator=(const ZoneWatcher&) = delete;

    // False for a zone fixed by TZ, and when the file's folder cannot be watched.
    bool watching() const;

private:
    void readEvents();
    void stop();

    std::function<void()> onChange_;
    std::string name_;
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace locale

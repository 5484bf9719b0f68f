// Start-up time and memory of any X program, seen from the display server's side: the
// program's own code is not in the loop, so every program is measured the same way.
//
//   startup_probe [--idle SECONDS] [--timeout SECONDS] -- program [arguments...]
//
// Watches the root window, starts the program and prints one line,
//   <ms to the first mapped window> <ms to its first paint> <VmRSS kB> <PSS kB>
// the memory read after the program has idled for --idle seconds (3) past its first
// paint; then ends the program. Needs a display without a window manager, where a
// top-level window maps on the root itself. The first paint is the first drawing the
// server reports inside the window after it mapped; a window with a background of its
// own counts as painted once the server has filled it.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

double nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The first number on the line of `file` that starts with `key`, in kB; -1 if none.
long procKb(const std::string& file, const char* key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + std::strlen(key), nullptr, 10);
    }
    return -1;
}

int usage() {
    std::fprintf(stderr, "usage: startup_probe [--idle SECONDS] [--timeout SECONDS] -- program [arguments...]\n");
    return 2;
}

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool meets(const xcb_rectangle_t& r) const {
        return r.x < x + w && x < r.x + r.width && r.y < y + h && y < r.y + r.height;
    }
};

// Damage is watched on the root window, which takes in every window on it: it is in
// place before the program starts, so no draw can come before it.
class Probe {
public:
    explicit Probe(xcb_connection_t* c) : c_(c) {}

    bool start() {
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c_, &xcb_damage_id);
        if (ext == nullptr || !ext->present) {
            std::fprintf(stderr, "startup_probe: the display has no DAMAGE extension\n");
            return false;
        }
        damageEvent_ = ext->first_event + XCB_DAMAGE_NOTIFY;
        std::free(xcb_damage_query_version_reply(c_, xcb_damage_query_version(c_, 1, 1), nullptr));
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
        xcb_damage_create(c_, xcb_generate_id(c_), root_, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
        // A round trip: both are in force before the program starts.
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
        return true;
    }

    // Handles the events at hand; true once the mapped window has been painted.
    bool drain() {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(c_)) {
            const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(raw, &std::free);
            const double t = nowMs();
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_CREATE_NOTIFY) {
                const auto* e = reinterpret_cast<const xcb_create_notify_event_t*>(raw);
                if (e->parent == root_ && !e->override_redirect)
                    windows_[e->window] = {e->x, e->y, e->width + 2 * e->border_width, e->height + 2 * e->border_width};
            } else if (type == XCB_CONFIGURE_NOTIFY) {
                const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(raw);
                if (const auto it = windows_.find(e->window); it != windows_.end())
                    it->second = {e->x, e->y, e->width + 2 * e->border_width, e->height + 2 * e->border_width};
            } else if (type == XCB_MAP_NOTIFY) {
                const auto* e = reinterpret_cast<const xcb_map_notify_event_t*>(raw);
                if (mapped_ == 0 && !e->override_redirect && windows_.count(e->window) != 0) {
                    mapped_ = e->window;
                    mappedMs_ = t;
                }
            } else if (type == damageEvent_) {
                const auto* e = reinterpret_cast<const xcb_damage_notify_event_t*>(raw);
                if (mapped_ != 0 && paintedMs_ < 0 && windows_[mapped_].meets(e->area)) paintedMs_ = t;
            }
        }
        return paintedMs_ >= 0;
    }

    double mappedMs() const { return mappedMs_; }
    double paintedMs() const { return paintedMs_; }

private:
    xcb_connection_t* c_;
    xcb_window_t root_ = 0;
    uint8_t damageEvent_ = 0;
    std::map<xcb_window_t, Rect> windows_;  // top-level windows, where they are
    xcb_window_t mapped_ = 0;
    double mappedMs_ = -1;
    double paintedMs_ = -1;
};

// Waits for X events until `until` (monotonic ms) or, with stopOnPaint, the first paint.
void pump(xcb_connection_t* c, Probe& probe, double until, bool stopOnPaint) {
    pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
    while (!xcb_connection_has_error(c)) {
        if (probe.drain() && stopOnPaint) return;
        const double left = until - nowMs();
        if (left <= 0) return;
        poll(&fd, 1, static_cast<int>(left) + 1);
    }
}

void stop(pid_t pid) {
    kill(-pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        usleep(10000);
    }
    kill(-pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
    double idleS = 3, timeoutS = 20;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (i + 1 >= argc) return usage();
        if (std::strcmp(argv[i], "--idle") == 0) {
            idleS = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--timeout") == 0) {
            timeoutS = std::atof(argv[++i]);
        } else {
            return usage();
        }
    }
    if (i + 1 >= argc) return usage();
    char** command = argv + i + 1;

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "startup_probe: cannot open the display\n");
        return 1;
    }
    Probe probe(c);
    if (!probe.start()) return 1;

    const double start = nowMs();
    const pid_t pid = fork();
    if (pid < 0) return 1;
    if (pid == 0) {
        setpgid(0, 0);  // its own group, so whatever it starts ends with it
        close(xcb_get_file_descriptor(c));
        execvp(command[0], command);
        std::fprintf(stderr, "startup_probe: cannot run %s: %s\n", command[0], std::strerror(errno));
        _exit(127);
    }
    setpgid(pid, pid);

    pump(c, probe, start + timeoutS * 1000, true);
    if (probe.paintedMs() < 0) {
        std::fprintf(stderr, "startup_probe: %s painted no window in %.0f s\n", command[0], timeoutS);
        stop(pid);
        return 1;
    }
    pump(c, probe, nowMs() + idleS * 1000, false);
    const std::string proc = "/proc/" + std::to_string(pid) + "/";
    const long rss = procKb(proc + "status", "VmRSS:");
    const long pss = procKb(proc + "smaps_rollup", "Pss:");
    const bool alive = waitpid(pid, nullptr, WNOHANG) == 0;
    stop(pid);
    xcb_disconnect(c);
    if (!alive || rss < 0) {
        std::fprintf(stderr, "startup_probe: %s ended before its memory was read\n", command[0]);
        return 1;
    }
    std::printf("%.1f %.1f %ld %ld\n", probe.mappedMs() - start, probe.paintedMs() - start, rss, pss);
    return 0;
}

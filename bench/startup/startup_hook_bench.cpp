// Start-up time from exec to the first paint of the main window as the program itself
// sees it (a paint event, before the image reaches the display), and the resident
// memory of the idle program. Runs the whole program in a child process several times
// (the first run is cold, the others warm) with its settings in a scratch folder. The
// display server's view of the same is startup_bench.sh's.
//
//   startup_hook_bench [runs]   prints startup_hook_first_paint_ms_* and startup_hook_idle_rss_mb
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "app/tolvane_app.h"

namespace {

double monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

class FirstPaint : public QObject {
public:
    FirstPaint(double startMs, int resultFd) : startMs_(startMs), fd_(resultFd) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            const double paintMs = monotonicMs() - startMs_;
            // Idle for a while, then read the resident set and leave.
            QTimer::singleShot(3000, [this, paintMs] {
                const std::string line = std::to_string(paintMs) + " " + std::to_string(residentKb()) + "\n";
                if (write(fd_, line.data(), line.size()) < 0) std::perror("write");
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    double startMs_;
    int fd_;
    bool seen_ = false;
};

// The main window is the only one shown at start-up: the first paint of any widget is
// its first paint.
int child(int argc, char** argv, double startMs, int fd) {
    FirstPaint watcher(startMs, fd);
    app::StartupHooks hooks;
    hooks.windowsCreated = [&watcher] { QCoreApplication::instance()->installEventFilter(&watcher); };
    return app::runTolvane(argc, argv, hooks);
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "--child") {
        const double start = std::atof(argv[2]);
        const int fd = std::atoi(argv[3]);
        int childArgc = 1;
        return child(childArgc, argv, start, fd);
    }
    const int runs = argc > 1 ? std::max(2, std::atoi(argv[1])) : 8;
    char scratch[] = "/tmp/tolvane-bench-XXXXXX";
    if (!mkdtemp(scratch)) return 1;
    setenv("XDG_CONFIG_HOME", scratch, 1);

    std::vector<double> warm;
    double cold = 0;
    long rssKb = 0;
    for (int run = 0; run < runs; ++run) {
        int pipeFd[2];
        if (pipe(pipeFd) != 0) return 1;
        const std::string start = std::to_string(monotonicMs());
        const pid_t pid = fork();
        if (pid == 0) {
            close(pipeFd[0]);
            const std::string fd = std::to_string(pipeFd[1]);
            execl("/proc/self/exe", argv[0], "--child", start.c_str(), fd.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeFd[1]);
        char buffer[128] = {};
        const ssize_t n = read(pipeFd[0], buffer, sizeof buffer - 1);
        close(pipeFd[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        if (n <= 0) {
            std::fprintf(stderr, "run %d: no result (exit status %d)\n", run, status);
            return 1;
        }
        double ms = 0;
        long kb = 0;
        std::sscanf(buffer, "%lf %ld", &ms, &kb);
        if (run == 0) {
            cold = ms;
        } else {
            warm.push_back(ms);
        }
        rssKb = std::max(rssKb, kb);
    }
    std::printf("startup_hook_first_paint_ms_cold: %.1f ms\n", cold);
    std::printf("startup_hook_first_paint_ms_p50: %.1f ms\n", percentile(warm, 0.5));
    std::printf("startup_hook_first_paint_ms_max: %.1f ms\n", percentile(warm, 1.0));
    std::printf("startup_hook_idle_rss_mb: %.1f MB\n", static_cast<double>(rssKb) / 1024.0);
    std::string cleanup = std::string("rm -rf ") + scratch;
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}

// How closely the one-second tick follows the wall clock's seconds, on the real Qt
// event loop: the offset of each expiry from the whole second before it, and seconds
// left out or shown twice. The program's wall-clock timer runs beside plain repeating
// 1000 ms QTimers started at the same moment.
//
//   tick_bench [--short | --seconds N] [--load THREADS]
//
// --short runs 15 s (for CI); the default is 600 s. --load keeps THREADS busy threads
// spinning meanwhile.
#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/qt/qt_event_loop.h"

namespace {

using namespace std::chrono;

struct Series {
    std::vector<double> offsetsMs;
    long skipped = 0;
    long repeated = 0;
    std::optional<seconds> last;

    void tick() {
        const auto now = system_clock::now().time_since_epoch();
        const auto second = floor<seconds>(now);
        offsetsMs.push_back(duration<double, std::milli>(now - second).count());
        if (last) {
            const long step = static_cast<long>((second - *last).count());
            if (step <= 0)
                ++repeated;
            else
                skipped += step - 1;
        }
        last = second;
    }

    double percentile(double p) const {
        if (offsetsMs.empty()) return 0;
        std::vector<double> sorted = offsetsMs;
        std::sort(sorted.begin(), sorted.end());
        const auto index = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
        return sorted[std::min(index, sorted.size() - 1)];
    }

    void print(const char* prefix) const {
        std::printf("%stick_offset_p50_ms: %.2f ms\n", prefix, percentile(0.50));
        std::printf("%stick_offset_p99_ms: %.2f ms\n", prefix, percentile(0.99));
        std::printf("%stick_offset_max_ms: %.2f ms\n", prefix, percentile(1.0));
        std::printf("%sseconds_skipped: %ld count\n", prefix, skipped);
        std::printf("%sseconds_repeated: %ld count\n", prefix, repeated);
        std::printf("%sticks: %zu count\n", prefix, offsetsMs.size());
    }
};

}  // namespace

int main(int argc, char** argv) {
    int seconds = 600;
    int loadThreads = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--short") == 0) {
            seconds = 15;
        } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::max(2, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--load") == 0 && i + 1 < argc) {
            loadThreads = std::max(0, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--short | --seconds N] [--load THREADS]\n", argv[0]);
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::atomic<bool> stop{false};
    std::vector<std::thread> load;
    for (int i = 0; i < loadThreads; ++i) {
        load.emplace_back([&stop] {
            volatile unsigned long spin = 0;
            while (!stop.load(std::memory_order_relaxed)) spin = spin + 1;
        });
    }

    qt::QtEventLoop loop;
    Series wall;     // the program's clock timer
    Series coarse;   // a plain QTimer (the default, coarse kind)
    Series precise;  // a plain QTimer of the precise kind

    loop.startTimer(milliseconds(1000), sys::TimerPhase::WallClockSecond, [&] { wall.tick(); });
    QTimer plain;
    plain.setInterval(1000);
    QObject::connect(&plain, &QTimer::timeout, [&] { coarse.tick(); });
    QTimer plainPrecise;
    plainPrecise.setInterval(1000);
    plainPrecise.setTimerType(Qt::PreciseTimer);
    QObject::connect(&plainPrecise, &QTimer::timeout, [&] { precise.tick(); });
    plain.start();
    plainPrecise.start();
    QTimer::singleShot(seconds * 1000 + 500, [&] { loop.quit(0); });
    loop.run();

    stop = true;
    for (std::thread& t : load) t.join();

    std::printf("run_seconds: %d s\n", seconds);
    wall.print("");
    coarse.print("qtimer_");
    precise.print("qtimer_precise_");
    return 0;
}

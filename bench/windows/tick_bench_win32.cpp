// How closely the Windows message loop's one-second tick follows the wall clock's
// seconds, and how often the loop wakes while it waits: the offset of each expiry from
// the whole second before it (p50, p99, max), seconds left out or shown twice, and the
// loop's wake-ups a second.
//
//   tick_bench_win32 [--seconds N]     (default 60)
#include "platform/win32/win32_event_loop.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The wall clock in 100 ns units since 1601, to the system's finest grain.
std::uint64_t wallTicks() {
    FILETIME ft{};
    GetSystemTimePreciseAsFileTime(&ft);
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::max(3, std::atoi(argv[i + 1]));

    win32::Win32EventLoop loop;
    std::vector<double> offsets;
    std::uint64_t lastSecond = 0;
    int skipped = 0;
    int repeated = 0;
    std::uint64_t wakeUpsAtFirst = 0;
    std::uint64_t firstTicks = 0;
    loop.startTimer(std::chrono::milliseconds(1000), sys::TimerPhase::WallClockSecond, [&] {
        const std::uint64_t now = wallTicks();
        const std::uint64_t second = now / 10'000'000;
        if (lastSecond != 0) {
            if (second == lastSecond) ++repeated;
            if (second > lastSecond + 1) skipped += static_cast<int>(second - lastSecond - 1);
        } else {
            wakeUpsAtFirst = loop.wakeUps();
            firstTicks = now;
        }
        lastSecond = second;
        offsets.push_back(static_cast<double>(now % 10'000'000) / 10'000.0);
        if (static_cast<int>(offsets.size()) > seconds) loop.quit(0);
    });
    loop.run();

    // The first expiry comes whenever the timer was started; it is left out.
    offsets.erase(offsets.begin());
    const double span = static_cast<double>(wallTicks() - firstTicks) / 1e7;
    std::printf("windows_tick_offset_p50: %.2f ms\n", percentile(offsets, 0.5));
    std::printf("windows_tick_offset_p99: %.2f ms\n", percentile(offsets, 0.99));
    std::printf("windows_tick_offset_max: %.2f ms\n", percentile(offsets, 1.0));
    std::printf("windows_tick_seconds_skipped: %d\n", skipped);
    std::printf("windows_tick_seconds_repeated: %d\n", repeated);
    std::printf("windows_loop_wakeups_per_s: %.2f /s\n",
                static_cast<double>(loop.wakeUps() - wakeUpsAtFirst) / std::max(span, 1.0));
    return 0;
}

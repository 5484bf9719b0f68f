// The Windows message loop, run under Wine in the cross build: the wall-clock timer,
// tasks and ticks inside the system's own modal loops, and quitting.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "platform/win32/win32_event_loop.h"
#include "sys/message_queue.h"

namespace {

using namespace std::chrono_literals;

double secondsNow() {
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    const auto units = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<double>(units % 864'000'000'000ull) / 1e7;
}

// How far past the whole second it is, in milliseconds.
double offsetPastSecond() {
    const double s = secondsNow();
    return (s - static_cast<long long>(s)) * 1000.0;
}

// What the system's own modal loops do: get and dispatch until told to stop.
void modalLoop(const bool& done) {
    MSG msg;
    while (!done && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

class Loop : public testing::Test {
protected:
    win32::Win32EventLoop loop;
    std::vector<double> offsets;
};

// Expiries land just after each whole second, one wake-up each, and a clock change
// runs the timer at once; an error escaping the callback reaches the queue.
TEST_F(Loop, WallClockTimerFiresJustAfterTheSecond) {
    int errors = 0;
    loop.queue().setDispatcher([&errors](const sys::MessageQueue::Task& task) {
        try {
            task();
        } catch (const std::runtime_error&) {
            ++errors;
        }
    });
    loop.startTimer(1000ms, sys::TimerPhase::WallClockSecond, [this] {
        offsets.push_back(offsetPastSecond());
        if (offsets.size() == 3) loop.quit(7);
        throw std::runtime_error("from a tick");
    });
    const auto wakeUpsBefore = loop.wakeUps();
    EXPECT_EQ(loop.run(), 7);
    ASSERT_EQ(offsets.size(), 3u);
    for (const double ms : offsets) EXPECT_LT(ms, 50.0) << "an expiry well after the second";
    EXPECT_LE(loop.wakeUps() - wakeUpsBefore, 3u + 3u) << "more than one wake-up a tick";
    EXPECT_EQ(errors, 3);
}

// Posted tasks and the wall-clock tick keep going inside a modal loop the program does
// not run, and quit() ends it and then run().
TEST_F(Loop, TasksAndTicksRunInsideAModalLoop) {
    bool done = false;
    int ticks = 0;
    std::vector<int> order;
    loop.startTimer(1000ms, sys::TimerPhase::WallClockSecond, [&] {
        if (++ticks == 1) {
            loop.modalLoop(true);
            loop.queue().post([&order] { order.push_back(1); });
            modalLoop(done);
            loop.modalLoop(false);
            order.push_back(3);
        } else if (ticks == 2) {
            order.push_back(2);
            done = true;
            loop.quit(0);
        }
    });
    EXPECT_EQ(loop.run(), 0);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

// A quit before run() makes the next run() return at once; free timers tick.
TEST_F(Loop, FreeTimerTicksAndEarlyQuitReturnsAtOnce) {
    loop.quit(3);
    EXPECT_EQ(loop.run(), 3);
    int ticks = 0;
    const sys::TimerId id = loop.startTimer(20ms, sys::TimerPhase::Free, [&] {
        if (++ticks == 3) loop.quit(1);
    });
    EXPECT_EQ(loop.run(), 1);
    loop.stopTimer(id);
    EXPECT_EQ(ticks, 3);
}

// Not run by default: tools for the measurements (--gtest_also_run_disabled_tests).
TEST_F(Loop, DISABLED_MeasureTickOffsetAndIdleWakeUps) {
    const int ticks = 60;
    loop.startTimer(1000ms, sys::TimerPhase::WallClockSecond, [&] {
        offsets.push_back(offsetPastSecond());
        if (static_cast<int>(offsets.size()) == ticks) loop.quit(0);
    });
    loop.run();
    std::vector<double> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    std::printf("tick offset over %d ticks: p50 %.3f ms, p99 %.3f ms, max %.3f ms; wake-ups %.2f/s\n", ticks,
                sorted[sorted.size() / 2], sorted[sorted.size() * 99 / 100], sorted.back(),
                static_cast<double>(loop.wakeUps()) / ticks);
}

}  // namespace

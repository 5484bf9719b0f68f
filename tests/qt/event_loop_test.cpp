#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/qt/qt_event_loop.h"
#include "tests/qt/qt_app.h"

namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

class QtLoop : public qttest::WithApplication, public ::testing::Test {
protected:
    // Ends the loop whatever happens, so a failing test cannot hang.
    QtLoop() { QTimer::singleShot(6000, &guard_, [this] { loop.quit(99); }); }
    qtui::QtEventLoop loop;
    QObject guard_;
};

TEST_F(QtLoop, TaskPostedFromAnotherThreadRunsOnTheLoop) {
    const auto uiThread = std::this_thread::get_id();
    std::thread::id ranOn;
    std::thread poster([&] { loop.queue().post([&] { ranOn = std::this_thread::get_id(); loop.quit(7); }); });
    EXPECT_EQ(loop.run(), 7);
    poster.join();
    EXPECT_EQ(ranOn, uiThread);
}

TEST_F(QtLoop, TasksPostedWhileTheQueueDrainsRunInOrder) {
    std::vector<int> order;
    loop.queue().post([&] {
        order.push_back(1);
        loop.queue().post([&] {
            order.push_back(3);
            loop.quit(0);
        });
    });
    loop.queue().post([&] { order.push_back(2); });
    loop.run();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(QtLoop, WallClockTimerFiresJustAfterEachWholeSecond) {
    std::vector<system_clock::time_point> ticks;
    loop.startTimer(1000ms, ui::TimerPhase::WallClockSecond, [&] {
        ticks.push_back(system_clock::now());
        if (ticks.size() == 2)
            loop.quit(0);
    });
    ASSERT_EQ(loop.run(), 0);
    ASSERT_EQ(ticks.size(), 2u);
    const auto first = floor<seconds>(ticks[0]);
    const auto second = floor<seconds>(ticks[1]);
    EXPECT_EQ(second - first, 1s) << "a second was skipped or repeated";
}

TEST_F(QtLoop, FreeTimerRepeatsUntilStopped) {
    int count = 0;
    ui::TimerId id = 0;
    id = loop.startTimer(20ms, ui::TimerPhase::Free, [&] {
        if (++count == 3) {
            loop.stopTimer(id);  // its own expiry is running
            QTimer::singleShot(100, &guard_, [this] { loop.quit(0); });
        }
    });
    EXPECT_EQ(loop.run(), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(loop.activeTimers(), 0u);
}

TEST_F(QtLoop, TimersAndTasksKeepRunningInsideAHandlersNestedWait) {
    int outer = 0, during = 0;
    bool inside = false;
    loop.startTimer(15ms, ui::TimerPhase::Free, [&] {
        if (inside) {
            ++during;
            return;
        }
        if (++outer > 1)
            return;
        inside = true;
        loop.queue().post([&] { ++during; });
        QEventLoop nested;
        QTimer::singleShot(200, &nested, &QEventLoop::quit);
        nested.exec();
        inside = false;
        loop.quit(0);
    });
    EXPECT_EQ(loop.run(), 0);
    EXPECT_GE(during, 4);
}

TEST_F(QtLoop, QuitEndsTheRunFromBeforeItAndFromANestedWaitAndItRunsAgain) {
    loop.quit(3);
    EXPECT_EQ(loop.run(), 3);
    bool nestedEnded = false;
    loop.queue().post([&] {
        QEventLoop nested;
        QTimer::singleShot(20, &guard_, [this] { loop.quit(5); });
        nested.exec();
        nestedEnded = true;
    });
    EXPECT_EQ(loop.run(), 5);
    EXPECT_TRUE(nestedEnded);
    loop.queue().post([&] { loop.quit(1); });
    EXPECT_EQ(loop.run(), 1);
}

}  // namespace

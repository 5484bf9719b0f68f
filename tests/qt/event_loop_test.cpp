// What only the real Qt loop does: waking from other threads, the wall-clock phase,
// re-arming timers before their callbacks run, quitting from nested waits.
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <thread>
#include <vector>

#include "tests/qt/qt_app.h"
#include "ui/exception.h"
#include "ui/message_queue.h"

namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

class QtLoop : public qttest::QtTest {
protected:
    // Ends the loop whatever happens, so a failing test cannot hang.
    QtLoop() {
        QTimer::singleShot(6000, &guard_, [this] { loop.quit(99); });
    }
    // A wait inside a handler, as a modal box makes one.
    static void nestedWait(int ms) {
        QEventLoop nested;
        QTimer::singleShot(ms, &nested, &QEventLoop::quit);
        nested.exec();
    }
    QObject guard_;
};

// A quit before the run ends it at once, and the next run goes on.
TEST_F(QtLoop, TasksPostedFromAnotherThreadRunOnTheLoopInOrder) {
    loop.quit(3);
    EXPECT_EQ(loop.run(), 3);
    const auto uiThread = std::this_thread::get_id();
    std::vector<int> order;
    std::thread poster([&] {
        loop.queue().post([&] {
            order.push_back(1);
            loop.queue().post([&] { order.push_back(3), loop.quit(7); });
        });
        loop.queue().post([&] { order.push_back(std::this_thread::get_id() == uiThread ? 2 : -2); });
    });
    poster.join();
    EXPECT_EQ(loop.run(), 7);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(QtLoop, WallClockTimerFiresJustAfterEachWholeSecond) {
    std::vector<system_clock::time_point> ticks;
    loop.startTimer(1000ms, ui::TimerPhase::WallClockSecond, [&] {
        ticks.push_back(system_clock::now());
        if (ticks.size() == 2) loop.quit(0);
    });
    ASSERT_EQ(loop.run(), 0);
    ASSERT_EQ(ticks.size(), 2u);
    EXPECT_EQ(floor<seconds>(ticks[1]) - floor<seconds>(ticks[0]), 1s) << "a second was skipped or repeated";
    for (const auto tick : ticks) EXPECT_LT(tick - floor<seconds>(tick), 250ms);
}

// Each expiry is armed again before its callback runs, so a box opened by one does not
// hold back the next; a quit ends the box's wait too. An error that escapes a callback
// is reported, once.
TEST_F(QtLoop, TimersKeepRunningInsideANestedWaitAndReportWhatEscapes) {
    int count = 0, during = 0;
    ui::TimerId id = 0;
    id = loop.startTimer(15ms, ui::TimerPhase::Free, [&] {
        if (++count > 1) return;
        QTimer::singleShot(150, &guard_, [this] { loop.quit(5); });
        nestedWait(3000);
        during = count - 1;
        loop.stopTimer(id);  // its own expiry is running
        throw ui::Error("Tick failed");
    });
    EXPECT_EQ(loop.run(), 5);
    EXPECT_GE(during, 4);
    EXPECT_EQ(count, during + 1);
    loop.queue().post([&] { loop.quit(0); });
    EXPECT_EQ(loop.run(), 0);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, "Tick failed.");
}

}  // namespace

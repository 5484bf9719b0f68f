// What only the real Qt platform does: the loop (waking from other threads, the
// wall-clock phase, timers inside nested waits), message boxes and the file dialog.
#include <QApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "platform/qt/qt_view.h"
#include "platform/qt/qt_window_services.h"
#include "tests/platform/qt/qt_app.h"
#include "sys/exception.h"
#include "sys/message_queue.h"

namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

// What this thread has cost so far: how often it waited for something (each wait ends
// in a wake-up), and its processor time.
struct ThreadCost {
    long waits;
    microseconds cpu;
};
ThreadCost threadCost() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    const auto time = [](const timeval& t) { return seconds(t.tv_sec) + microseconds(t.tv_usec); };
    return {usage.ru_nvcsw, time(usage.ru_utime) + time(usage.ru_stime)};
}

class QtLoop : public qttest::QtTest {
protected:
    // Ends the loop whatever happens, so a failing test cannot hang.
    QtLoop() {
        QTimer::singleShot(6000, &guard_, [this] { loop.quit(99); });
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

// The clock's tick is the only thing that wakes an idle program: the loop waits once
// before each tick, and the work a tick posts runs in the same wake-up.
TEST_F(QtLoop, WallClockTimerWakesTheLoopJustAfterEachWholeSecondAndOnlyThen) {
    std::vector<system_clock::time_point> ticks;
    const ThreadCost before = threadCost();
    loop.startTimer(1000ms, sys::TimerPhase::WallClockSecond, [&] {
        ticks.push_back(system_clock::now());
        loop.queue().post([&] {
            if (ticks.size() == 3) loop.quit(0);
        });
    });
    ASSERT_EQ(loop.run(), 0);
    ASSERT_EQ(ticks.size(), 3u);
    EXPECT_EQ(floor<seconds>(ticks[2]) - floor<seconds>(ticks[0]), 2s) << "a second was skipped or repeated";
    for (const auto tick : ticks) EXPECT_LT(tick - floor<seconds>(tick), 250ms);
    const ThreadCost after = threadCost();
    EXPECT_LE(after.waits - before.waits, 4) << "the loop woke for something besides the ticks";
    EXPECT_LT(after.cpu - before.cpu, 200ms) << "the loop kept running between the ticks";
}

// Each expiry is armed again before its callback runs, so a box opened by one does not
// hold back the next; a quit (here from the fifth expiry) ends the box's wait too. An
// error that escapes a callback is reported, once.
TEST_F(QtLoop, TimersKeepRunningInsideANestedWaitAndReportWhatEscapes) {
    int count = 0, during = 0;
    bool boxTimedOut = false;
    sys::TimerId id = 0;
    id = loop.startTimer(15ms, sys::TimerPhase::Free, [&] {
        if (++count == 5) loop.quit(5);
        if (count > 1) return;
        QEventLoop nested;
        QTimer::singleShot(5000, &nested, [&] { boxTimedOut = true, nested.quit(); });
        nested.exec();
        during = count - 1;
        loop.stopTimer(id);  // its own expiry is running
        throw sys::Error("Tick failed");
    });
    EXPECT_EQ(loop.run(), 5);
    EXPECT_FALSE(boxTimedOut);
    EXPECT_GE(during, 4);
    EXPECT_EQ(count, during + 1);
    loop.queue().post([&] { loop.quit(0); });
    EXPECT_EQ(loop.run(), 0);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, "Tick failed.");
}

// A quit asked for while a box shown before the run is open (a log-out during a box at
// start-up) closes the box, and the run then ends at once; a box after the run, as at
// shutdown, still waits for its answer.
TEST_F(QtLoop, QuitBeforeTheRunClosesTheBoxThatIsOpen) {
    qt::QtView view;
    qt::QtWindowServices real{view};
    QTimer::singleShot(100, &guard_, [this] { loop.quit(4); });
    QObject failSafe;  // closes a box the quit left open, so that the test fails rather than hangs
    QTimer::singleShot(4000, &failSafe, [] {
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    auto opened = steady_clock::now();
    real.messageBox("Could not open the sound", "Tolvane", sys::mb::ok | sys::mb::iconExclamation);
    EXPECT_LT(steady_clock::now() - opened, 3s);
    EXPECT_EQ(loop.run(), 4);

    QTimer::singleShot(300, &guard_, [] {
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    opened = steady_clock::now();
    real.messageBox("Unable to write", "Tolvane", sys::mb::ok | sys::mb::iconExclamation);
    EXPECT_GE(steady_clock::now() - opened, 250ms);
}

class Services : public qttest::WithApplication, public ::testing::Test {
protected:
    // Runs `inspect` on the modal window once it is up; `inspect` closes it.
    template <class W>
    void whenModalOpens(std::function<void(W*)> inspect) {
        auto* poll = new QTimer(&owner_);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, inspect] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                poll->stop();
                inspect(qobject_cast<W*>(w));
            }
        });
        poll->start(10);
    }

    QObject owner_;
    qt::QtView view;
    qt::QtWindowServices services{view};
};

// A box shows its text as it is, its caption and its icon; a system-modal one stays on
// top. An error, and only an error, is also written to standard error.
TEST_F(Services, MessageBoxFollowsItsFlags) {
    testing::internal::CaptureStderr();
    whenModalOpens<QMessageBox>([&](QMessageBox* box) {
        EXPECT_EQ(box->text(), QStringLiteral("Wake <b>up</b>."));
        EXPECT_EQ(box->windowTitle(), QStringLiteral("REMINDER!"));
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_TRUE(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        box->accept();
    });
    services.messageBox("Wake <b>up</b>.", "REMINDER!", 0x1030);
    whenModalOpens<QMessageBox>([&](QMessageBox* box) {
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        box->accept();
    });
    services.messageBox("The sound could not be played.", "Tolvane @7:05AM", 0x10);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("tolvane: The sound could not be played.\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Wake"), std::string::npos) << log;
}

// The dialog takes its patterns from the parentheses at the end of a filter. A typed
// name is taken even of a file that does not exist yet; a cancel gives nothing.
TEST_F(Services, OpenDialogTakesATypedNameAndGivesNothingWhenCancelled) {
    QTemporaryDir dir;
    whenModalOpens<QFileDialog>([](QFileDialog* dialog) {
        EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("Music files (*.mid *.midi *.rmi)")});
        auto* typed = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        EXPECT_EQ(typed->text(), QStringLiteral("old.mid"));
        typed->setText(QStringLiteral("new alarm.mid"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const auto chosen =
        services.openFileDialog("Music files|*.mid;*.midi;*.rmi", dir.filePath("old.mid").toStdString());
    EXPECT_EQ(chosen, dir.filePath(QStringLiteral("new alarm.mid")).toStdString());
    whenModalOpens<QDialog>([](QDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(services.openFileDialog("Wave files (*.wav)|*.wav", ""), std::nullopt);
}

}  // namespace

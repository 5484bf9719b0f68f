// The application object, forms, timers on the virtual loop and the message queue.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "tests/fakes/virtual_platform.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/exception.h"
#include "ui/form.h"
#include "ui/message_queue.h"

using namespace std::chrono_literals;

namespace {

class ApplicationTest : public ::testing::Test {
protected:
    fakes::VirtualLoop loop{{2026, 12, 7, 7, 4, 59, 400}};
    fakes::ScriptedServices services;
    ui::Application app{loop, services};
    ui::Form main{app, "Main"};
};

// The report adds a full stop, even after one, and is captioned with the title, which
// reads back at most 255 characters.
TEST_F(ApplicationTest, ErrorReport) {
    app.setTitle(std::string(300, 'x'));
    EXPECT_EQ(app.title().size(), 255u);
    app.setTitle("Tolvane @7:05AM");
    app.dispatch([] { throw ui::Error("Ends."); });
    EXPECT_EQ(services.boxes, (std::vector<fakes::BoxRecord>{{"Ends..", "Tolvane @7:05AM", 0x10}}));
}

TEST_F(ApplicationTest, MessageBoxDisablesVisibleFormsAndGivesTheActiveOneBack) {
    ui::Form about{app, "About"};
    ui::Form hidden{app, "Hidden"};
    ui::Form disabled{app, "Disabled"};
    main.show();
    disabled.show();
    disabled.setEnabled(false);
    about.show();  // the active one
    std::vector<bool> during;
    services.onMessageBox = [&](const fakes::BoxRecord&) {
        during = {main.enabled(), about.enabled(), hidden.enabled(), disabled.enabled()};
        main.activate();  // the user clicks elsewhere while the box is open
    };
    app.messageBox("Hello", "WARNING!", 0x30);
    EXPECT_EQ(during, (std::vector<bool>{false, false, true, false}));
    EXPECT_TRUE(main.enabled() && about.enabled());
    EXPECT_FALSE(disabled.enabled());  // it was not enabled before, so it stays off
    EXPECT_TRUE(about.active());
}

// A wall-clock timer fires just after each whole second. A box opened by one tick keeps
// the loop running, so later ticks run in full inside it; an error in a tick is reported
// and the timer goes on.
TEST_F(ApplicationTest, TimerTicksNestInBoxesAndSurviveErrors) {
    auto* timer = main.add<ui::Timer>("Timer");
    timer->setPhase(ui::TimerPhase::WallClockSecond);
    std::vector<int> ticks;  // ms past 7:05:00
    timer->setOnTimer([&](ui::Component*) {
        ticks.push_back(loop.now().second * 1000 + loop.now().millisecond);
        if (ticks.size() == 1) app.messageBox("first", "", 0);
        if (ticks.size() == 2) throw ui::Error("tick failed");
    });
    services.onMessageBox = [&](const fakes::BoxRecord& box) {
        if (box.text == "first") loop.advance(2s);
    };
    loop.advance(3s);
    EXPECT_EQ(ticks, (std::vector<int>{2, 1002, 2002}));
    EXPECT_EQ(services.boxes.size(), 2u);
    EXPECT_EQ(services.boxes.back().text, "tick failed.");
}

// Closing the main form ends the program; any other form only hides. The create and
// destroy handlers are guarded; the destroy handler runs once, after the form is hidden.
TEST_F(ApplicationTest, FormCloseCreateAndDestroy) {
    ui::Form about{app, "About"};
    about.show();
    about.close();
    EXPECT_FALSE(about.visible() || loop.quitRequested());
    main.close();
    EXPECT_TRUE(loop.quitRequested());
    EXPECT_EQ(loop.exitCode(), 0);

    std::vector<bool> visibleAtDestroy;
    main.onCreate = [](ui::Component*) { throw ui::Error("restore failed"); };
    main.onDestroy = [&](ui::Component*) { visibleAtDestroy.push_back(main.visible()); };
    main.doCreate();
    main.show();
    main.doDestroy();
    main.doDestroy();
    EXPECT_EQ(visibleAtDestroy, std::vector<bool>{false});
    EXPECT_EQ(services.boxes.at(0).text, "restore failed.");
}

// ---- The message queue

struct Recorder : ui::MessageReceiver {
    std::vector<std::uint32_t> got;
    void handleMessage(const ui::Message& m) override { got.push_back(m.id); }
};

TEST(MessageQueueTest, MessagesToAWindowThatHasGoneAreDroppedAndHandlesAreNotReused) {
    ui::MessageQueue queue;
    Recorder first, second;
    const auto h1 = queue.registerWindow(first);
    queue.postMessage(h1, {1, 0, 0});
    queue.unregisterWindow(h1);
    const auto h2 = queue.registerWindow(second);
    EXPECT_NE(h1, h2);
    queue.postMessage(h2, {2, 0, 0});
    queue.drain();
    EXPECT_TRUE(first.got.empty());
    EXPECT_EQ(second.got, std::vector<std::uint32_t>{2});
}

// Tasks run in posting order, each drain only what was queued when it began; the loop
// is woken only when the queue stops being empty. Other threads may post.
TEST(MessageQueueTest, RunsTasksInOrderAndWakesTheLoopWhenTheyArrive) {
    ui::MessageQueue queue;
    int wakes = 0;
    queue.setWaker([&] { ++wakes; });
    std::vector<int> ran;
    queue.post([&] {
        ran.push_back(1);
        queue.post([&] { ran.push_back(3); });
    });
    queue.post([&] { ran.push_back(2); });
    EXPECT_EQ(queue.drain(), 2u);
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    queue.drain();
    EXPECT_EQ(wakes, 1);

    queue.setWaker(nullptr);
    std::vector<int> fromThread;
    std::thread poster([&] {
        for (int i = 0; i < 1000; ++i) queue.post([&fromThread, i] { fromThread.push_back(i); });
    });
    while (fromThread.size() < 1000) queue.drain();  // while the thread posts
    poster.join();
    EXPECT_TRUE(std::is_sorted(fromThread.begin(), fromThread.end()));
}

}  // namespace

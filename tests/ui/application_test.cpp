#include <gtest/gtest.h>

#include <atomic>
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
    fakes::VirtualLoop loop;
    fakes::ScriptedServices services;
    ui::Application app{loop, services};
};

TEST_F(ApplicationTest, ErrorReportAddsAFullStopEvenAfterOne) {
    app.setTitle("Tolvane @7:05AM");
    app.dispatch([] { throw ui::Error("No MCI device open"); });
    app.dispatch([] { throw ui::Error("Already ends."); });
    ASSERT_EQ(services.boxes.size(), 2u);
    EXPECT_EQ(services.boxes[0].text, "No MCI device open.");
    EXPECT_EQ(services.boxes[1].text, "Already ends..");
    EXPECT_EQ(services.boxes[1].caption, "Tolvane @7:05AM");
    EXPECT_EQ(services.boxes[1].flags, 0x10u);
}

TEST_F(ApplicationTest, TitleReadsBackAtMost255Characters) {
    app.setTitle(std::string(300, 'x'));
    EXPECT_EQ(app.title().size(), 255u);
    EXPECT_EQ(services.titles.back().size(), 255u);
}

TEST_F(ApplicationTest, MessageBoxDisablesVisibleFormsAndGivesTheActiveOneBack) {
    ui::Form main{app, "Main"};
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
    EXPECT_TRUE(main.enabled());
    EXPECT_TRUE(about.enabled());
    EXPECT_FALSE(disabled.enabled());  // it was not enabled before, so it stays off
    EXPECT_TRUE(about.active());
}

TEST_F(ApplicationTest, TimersKeepRunningInsideAModalBox) {
    ui::Form form{app, "Main"};
    auto* timer = form.add<ui::Timer>("Timer");
    int ticks = 0;
    int nestedBoxes = 0;
    timer->setOnTimer([&](ui::Component*) {
        ++ticks;
        if (ticks == 1) app.messageBox("first", "", 0);
    });
    services.onMessageBox = [&](const fakes::BoxRecord& box) {
        if (box.text == "first") {
            ++nestedBoxes;
            loop.advance(3s);  // the box stays open for three seconds
        }
    };
    loop.advance(1s);
    EXPECT_EQ(nestedBoxes, 1);
    EXPECT_EQ(ticks, 4);
}

TEST_F(ApplicationTest, AnErrorInATimerHandlerIsReportedAndTheTimerGoesOn) {
    ui::Form form{app, "Main"};
    auto* timer = form.add<ui::Timer>("Timer");
    int ticks = 0;
    timer->setOnTimer([&](ui::Component*) {
        ++ticks;
        throw ui::Error("tick failed");
    });
    loop.advance(3s);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(services.boxes.size(), 3u);
}

TEST_F(ApplicationTest, WallClockTimerFiresJustAfterEachWholeSecond) {
    fakes::VirtualLoop late{{2026, 12, 7, 7, 4, 59, 400}};
    ui::Application lateApp{late, services};
    ui::Form form{lateApp, "Main"};
    auto* timer = form.add<ui::Timer>("Timer");
    timer->setPhase(ui::TimerPhase::WallClockSecond);
    std::vector<ui::LocalTime> at;
    timer->setOnTimer([&](ui::Component*) { at.push_back(late.now()); });
    late.advance(2s);
    ASSERT_EQ(at.size(), 2u);
    EXPECT_EQ(at[0], (ui::LocalTime{2026, 12, 7, 7, 5, 0, 2}));
    EXPECT_EQ(at[1], (ui::LocalTime{2026, 12, 7, 7, 5, 1, 2}));
}

TEST_F(ApplicationTest, ClosingTheMainFormTerminatesOtherFormsHide) {
    ui::Form main{app, "Main"};
    ui::Form about{app, "About"};
    about.show();
    about.close();
    EXPECT_FALSE(about.visible());
    EXPECT_FALSE(loop.quitRequested());
    main.close();
    EXPECT_TRUE(loop.quitRequested());
    EXPECT_EQ(loop.exitCode(), 0);
}

TEST_F(ApplicationTest, CreateAndDestroyHandlersAreGuarded) {
    ui::Form form{app, "Main"};
    std::vector<std::string> order;
    form.onCreate = [&](ui::Component*) { throw ui::Error("restore failed"); };
    form.onDestroy = [&](ui::Component*) { order.push_back(form.visible() ? "visible" : "hidden"); };
    form.doCreate();
    form.show();
    form.doDestroy();
    form.doDestroy();
    EXPECT_EQ(services.boxes.at(0).text, "restore failed.");
    EXPECT_EQ(order, std::vector<std::string>{"hidden"});
}

// ---- message queue ----------------------------------------------------------------

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

TEST(MessageQueueTest, TasksPostedFromManyThreadsAllRunInPostingOrderPerThread) {
    ui::MessageQueue queue;
    std::atomic<int> wakes{0};
    queue.setWaker([&] { ++wakes; });
    std::vector<std::vector<int>> seen(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 1000; ++i) queue.post([&seen, t, i] { seen[t].push_back(i); });
        });
    }
    for (auto& th : threads) th.join();
    while (!queue.empty()) queue.drain();
    for (const auto& s : seen) {
        ASSERT_EQ(s.size(), 1000u);
        for (int i = 0; i < 1000; ++i) EXPECT_EQ(s[static_cast<std::size_t>(i)], i);
    }
    EXPECT_GE(wakes.load(), 1);
}

TEST(MessageQueueTest, DrainRunsOnlyWhatWasQueuedWhenCalled) {
    ui::MessageQueue queue;
    int runs = 0;
    std::function<void()> again = [&] {
        ++runs;
        queue.post(again);
    };
    queue.post(again);
    EXPECT_EQ(queue.drain(), 1u);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(queue.empty());
}

}  // namespace

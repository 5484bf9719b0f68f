// The window framework: the application and its forms, timers, the message queue, the
// controls' event rules, number conversion and the time display.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/fakes/virtual_platform.h"
#include "ui/application.h"
#include "ui/clock.h"
#include "ui/controls.h"
#include "ui/exception.h"
#include "ui/form.h"
#include "ui/message_queue.h"

namespace {

using Texts = std::vector<std::string>;

class FrameworkTest : public ::testing::Test {
protected:
    fakes::VirtualLoop loop{{2026, 12, 7, 7, 4, 59, 400}};
    fakes::ScriptedServices services;
    ui::Application app{loop, services};
    ui::Form main{app, "Main"};
    Texts log;
};

// The report adds a full stop, even after one, and is captioned with the title, which
// reads back at most 255 characters.
TEST_F(FrameworkTest, ErrorReport) {
    app.setTitle(std::string(300, 'x'));
    EXPECT_EQ(app.title().size(), 255u);
    app.setTitle("Tolvane @7:05AM");
    app.dispatch([] { throw ui::Error("Ends."); });
    EXPECT_EQ(services.boxes, (std::vector<fakes::BoxRecord>{{"Ends..", "Tolvane @7:05AM", 0x10}}));
}

TEST_F(FrameworkTest, MessageBoxDisablesVisibleFormsAndGivesTheActiveOneBack) {
    ui::Form about{app, "About"};
    ui::Form hidden{app, "Hidden"};
    ui::Form disabled{app, "Disabled"};
    main.show();
    disabled.show();
    disabled.setEnabled(false);
    about.show();  // the active one
    auto enabled = [&] { return std::vector{main.enabled(), about.enabled(), hidden.enabled(), disabled.enabled()}; };
    std::vector<bool> during;
    services.onMessageBox = [&](const fakes::BoxRecord&) {
        during = enabled();
        main.activate();  // the user clicks elsewhere while the box is open
    };
    app.messageBox("Hello", "WARNING!", 0x30);
    EXPECT_EQ(during, (std::vector<bool>{false, false, true, false}));
    EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, false}));
    EXPECT_TRUE(about.active());
}

// The run shows the main form and closing it ends the run; closing another form hides it.
// The create and destroy handlers are guarded; destroy runs once, after the form hides.
TEST_F(FrameworkTest, FormLifecycle) {
    ui::Form about{app, "About"};
    about.show();
    about.close();
    EXPECT_FALSE(about.visible() || loop.quitRequested());
    loop.queue().post([&] {
        log.push_back(main.visible() ? "shown" : "hidden");
        main.close();
    });
    EXPECT_EQ(app.run(), 0);
    main.onCreate = [](ui::Component*) { throw ui::Error("restore failed"); };
    main.onDestroy = [&](ui::Component*) { log.push_back(main.visible() ? "destroyed shown" : "destroyed hidden"); };
    main.doCreate();
    main.doDestroy();
    main.doDestroy();
    EXPECT_EQ(log, (Texts{"shown", "destroyed hidden"}));
    EXPECT_EQ(services.boxes.at(0).text, "restore failed.");
}

// A wall-clock timer fires just after each whole second; the ticks due while one of them
// shows a box run in full inside it; an error in a tick is reported and the timer goes on.
TEST_F(FrameworkTest, TimerTicksNestInBoxesAndSurviveErrors) {
    auto* timer = main.add<ui::Timer>("Timer");
    timer->setPhase(ui::TimerPhase::WallClockSecond);
    std::vector<int> ticks;  // ms past 7:05:00
    timer->setOnTimer([&](ui::Component*) {
        ticks.push_back(loop.now().second * 1000 + loop.now().millisecond);
        if (ticks.size() == 1) app.messageBox("first", "", 0);
        if (ticks.size() == 2) throw ui::Error("tick failed");
    });
    services.onMessageBox = [&](const fakes::BoxRecord& box) {
        if (box.text == "first") loop.advance(std::chrono::seconds(2));
    };
    loop.advance(std::chrono::seconds(3));
    EXPECT_EQ(ticks, (std::vector<int>{2, 1002, 2002}));
    EXPECT_EQ(services.boxes.back().text, "tick failed.");
}

// Tasks run in order, each drain only those queued when it began; the loop is woken when
// the queue stops being empty. A window's handle is not reused, messages to it are dropped.
TEST(MessageQueueTest, OrderWakingAndWindowsThatHaveGone) {
    ui::MessageQueue queue;
    int wakes = 0;
    queue.setWaker([&] { ++wakes; });
    Texts ran;
    queue.post([&] {
        ran.push_back("1");
        queue.post([&] { ran.push_back("3"); });
    });
    queue.post([&] { ran.push_back("2"); });
    EXPECT_EQ(queue.drain(), 2u);
    queue.drain();
    EXPECT_EQ(wakes, 1);
    struct Window : ui::MessageReceiver {
        Texts& ran;
        explicit Window(Texts& r) : ran(r) {}
        void handleMessage(const ui::Message& m) override { ran.push_back("message " + std::to_string(m.id)); }
    } first{ran}, second{ran};
    const auto gone = queue.registerWindow(first);
    queue.postMessage(gone, {4, 0, 0});
    queue.unregisterWindow(gone);
    const auto handle = queue.registerWindow(second);
    queue.postMessage(handle, {5, 0, 0});
    queue.drain();
    EXPECT_NE(handle, gone);
    EXPECT_EQ(ran, (Texts{"1", "2", "3", "message 5"}));
}

// A change is raised before the setter returns, and one raised inside it runs to its
// end first; an equal text raises nothing.
TEST_F(FrameworkTest, TextChangesNestAndAnEqualTextRaisesNothing) {
    auto* a = main.add<ui::Edit>("A");
    auto* b = main.add<ui::Edit>("B");
    a->onChange = [&](ui::Component*) {
        b->setText("x");
        log.push_back("a sees b=" + b->text());
    };
    b->onChange = [&](ui::Component*) {
        log.push_back("b=" + b->text());
        b->setText("y");
    };
    a->setText("1");
    a->setText("1");
    EXPECT_EQ(log, (Texts{"b=x", "b=y", "a sees b=y"}));
}

// The key press may cancel or replace a character; Backspace takes one off, a blank goes
// in, other control characters not; a read-only box takes no key. Exit comes on leaving.
TEST_F(FrameworkTest, EditTypingAndLeaving) {
    auto* edit = main.add<ui::Edit>("Edit");
    edit->onKeyPress = [](ui::Component*, char& key) { key = key == 'x' ? 0 : key == 'u' ? 'U' : key; };
    for (char k : std::string("a xu\bu\x01")) edit->type(k);
    EXPECT_EQ(edit->text(), "a U");
    edit->setReadOnly(true);
    edit->type('b');
    EXPECT_EQ(edit->text(), "a U");
    int exits = 0;
    edit->onExit = [&](ui::Component*) { ++exits; };
    for (bool focus : {false, true, true, false}) edit->focusChanged(focus);
    EXPECT_EQ(exits, 1);
}

// A radio button clicks only from unchecked to checked, after unchecking the other
// buttons of its parent; a double click raises its own event. A check box click toggles.
TEST_F(FrameworkTest, RadioButtonsAndCheckBoxes) {
    auto* outsider = main.add<ui::Panel>("Other")->add<ui::RadioButton>("Outsider");
    auto* group = main.add<ui::Panel>("Group");
    auto* a = group->add<ui::RadioButton>("A");
    auto* b = group->add<ui::RadioButton>("B");
    for (ui::RadioButton* r : {a, b}) {
        r->onClick = [&, r](ui::Component*) { log.push_back(r->name() + (a->checked() ? " A on" : " A off")); };
        r->onDblClick = [&, r](ui::Component*) { log.push_back(r->name() + " double"); };
    }
    outsider->setChecked(true);
    a->click();
    a->click();
    a->setChecked(false);
    a->setChecked(true);
    b->click();
    b->doubleClick();
    EXPECT_EQ(log, (Texts{"A A on", "A A on", "B A off", "B double"}));
    EXPECT_TRUE(outsider->checked());
    auto* box = main.add<ui::CheckBox>("Box");
    box->click();
    box->click();
    EXPECT_FALSE(box->checked());
}

// Set by code, a position keeps its low 16 bits and is moved into the range; a click moves
// it by one, wrapping or stopping at an end. Paired with a box, the buttons step from its
// number (or their position if none), write it back; the box's Up and Down keys step them.
TEST_F(FrameworkTest, SpinButtons) {
    auto* spin = main.add<ui::UpDown>("Spin");
    spin->setRange(1, 12);
    for (int set : {0, 99, 65536 + 7, 65535}) {
        spin->setPosition(set);
        log.push_back(std::to_string(spin->position()));
    }
    EXPECT_EQ(log, (Texts{"1", "12", "7", "1"}));
    int clicks = 0;
    spin->onClick = [&](ui::Component*, ui::UpDownButton) { ++clicks; };
    using B = ui::UpDownButton;
    using Step = std::tuple<int, int, int, B, bool, int>;  // range, from, button, wrap, to
    for (auto [min, max, from, button, wrap, to] : std::initializer_list<Step>{{0, 59, 30, B::Up, true, 31},
                                                                               {1, 12, 12, B::Up, true, 1},
                                                                               {1, 12, 1, B::Down, true, 12},
                                                                               {0, 59, 59, B::Up, false, 59},
                                                                               {0, 59, 0, B::Down, false, 0}}) {
        spin->setRange(min, max);
        spin->setWrap(wrap);
        spin->setPosition(from);
        spin->step(button);
        EXPECT_EQ(spin->position(), to) << from << (button == B::Up ? " up" : " down") << (wrap ? " wrapping" : "");
    }
    EXPECT_EQ(clicks, 5);

    auto* edit = main.add<ui::Edit>("Edit");
    spin->setAssociate(edit);
    EXPECT_EQ(edit->text(), "0");
    edit->setText("7");
    spin->step(ui::UpDownButton::Up);
    EXPECT_EQ(edit->text(), "8");
    EXPECT_TRUE(edit->keyDown(ui::Key::Down));
    EXPECT_FALSE(edit->keyDown(ui::Key::Left));
    EXPECT_EQ(spin->position(), 7);
    edit->setText("");
    spin->step(ui::UpDownButton::Up);
    EXPECT_EQ(edit->text(), "8");
}

TEST_F(FrameworkTest, NotebookIgnoresPagesOutOfRange) {
    auto* notebook = main.add<ui::TabbedNotebook>("Notebook");
    for (const char* caption : {"One", "Two"}) notebook->addPage(caption);
    for (int index : {1, 2, -1}) notebook->setPageIndex(index);
    EXPECT_EQ(notebook->pageIndex(), 1);
}

TEST(StrToIntTest, ConvertsNumbersAndNamesAnyOtherText) {
    using Number = std::pair<std::string, int>;
    for (auto [text, value] :
         std::initializer_list<Number>{{"07", 7}, {"-3", -3}, {"$1A", 26}, {"0x1a", 26}, {"2147483647", 2147483647}})
        EXPECT_EQ(ui::strToInt(text), value) << text;
    for (std::string text : {"", "1 2", "-", "99999999999"}) {
        try {
            ui::strToInt(text);
            ADD_FAILURE() << "'" << text << "' converted";
        } catch (const ui::ConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + text + "' is not a valid integer value");
        }
    }
}

// A 12- or 24-hour clock, a leading zero or not, the designator after or before (am and
// pm when none is set), any separator.
TEST(LongTimeTest, WritesTheRegionalLongTimeFormat) {
    const ui::TimeFormatSettings us = ui::TimeFormatSettings::unitedStates();
    using Case = std::tuple<ui::TimeFormatSettings, int, int, int, const char*>;
    for (const auto& [settings, hour, minute, second, shows] :
         std::initializer_list<Case>{{us, 0, 30, 5, "12:30:05 AM"},
                                     {us, 12, 30, 0, "12:30:00 PM"},
                                     {{false, true, false, "am", "pm", ":"}, 0, 30, 5, "00:30:05"},
                                     {{true, true, false, "", "", ":"}, 9, 30, 0, "09:30:00 am"},
                                     {{true, true, false, "", "", ":"}, 21, 30, 0, "09:30:00 pm"},
                                     {{true, false, true, "a.m.", "p.m.", ":"}, 7, 5, 9, "a.m. 7:05:09"},
                                     {{false, false, true, "a", "p", "."}, 7, 5, 9, "7.05.09"}})
        EXPECT_EQ(ui::formatLongTime(settings, {2026, 12, 7, hour, minute, second, 0}), shows);
}

}  // namespace

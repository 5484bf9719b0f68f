// The window framework: the application, timers, the message queue, the controls' event
// rules, number conversion and the time display.
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

// A box disables the forms and enables them again, giving the active one back wherever
// the user clicked meanwhile.
TEST_F(FrameworkTest, MessageBoxDisablesTheFormsAndGivesTheActiveOneBack) {
    ui::Form about{app, "About"};
    main.show();
    about.show();
    std::vector<bool> during;
    services.onMessageBox = [&](const fakes::BoxRecord&) {
        during = {main.enabled(), about.enabled()};
        main.activate();
    };
    app.messageBox("Hello", "WARNING!", 0x30);
    EXPECT_EQ(during, (std::vector<bool>{false, false}));
    EXPECT_TRUE(main.enabled() && about.enabled() && about.active());
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
    EXPECT_EQ(ran, (Texts{"1", "2", "3", "message 5"}));
    EXPECT_EQ(wakes, 1);
}

// A typed character goes through the key press, which may cancel or replace it;
// Backspace takes one off, a blank goes in, other control characters not; a read-only
// box takes no key. Each new text raises a change, an equal one none.
TEST_F(FrameworkTest, EditTypingAndChanges) {
    auto* edit = main.add<ui::Edit>("Edit");
    edit->onKeyPress = [](ui::Component*, char& key) { key = key == 'x' ? 0 : key == 'u' ? 'U' : key; };
    edit->onChange = [&](ui::Component*) { log.push_back(edit->text()); };
    for (char k : std::string("a xu\bu\x01")) edit->type(k);
    edit->setText("a U");
    edit->setReadOnly(true);
    edit->type('b');
    EXPECT_EQ(log, (Texts{"a", "a ", "a U", "a ", "a U"}));
}

// Set by code, a position keeps its low 16 bits and is moved into the range. Paired
// with a box, the buttons step from its number and write it back; the box's Up and Down
// keys step them.
TEST_F(FrameworkTest, SpinButtons) {
    auto* spin = main.add<ui::UpDown>("Spin");
    spin->setRange(1, 12);
    for (int set : {0, 99, 65536 + 7, 65535}) {
        spin->setPosition(set);
        log.push_back(std::to_string(spin->position()));
    }
    EXPECT_EQ(log, (Texts{"1", "12", "7", "1"}));
    auto* edit = main.add<ui::Edit>("Edit");
    spin->setAssociate(edit);
    edit->setText("7");
    spin->step(ui::UpDownButton::Up);
    EXPECT_TRUE(edit->keyDown(ui::Key::Up) && !edit->keyDown(ui::Key::Left));
    EXPECT_EQ(edit->text() + " " + std::to_string(spin->position()), "9 9");
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

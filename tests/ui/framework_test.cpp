// The window framework: the application, its error reports, boxes and timers, and the
// controls' event rules.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/fakes/virtual_platform.h"
#include "ui/application.h"
#include "sys/clock.h"
#include "ui/controls.h"
#include "sys/exception.h"
#include "ui/form.h"

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
    app.dispatch([] { throw sys::Error("Ends."); });
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
    timer->setPhase(sys::TimerPhase::WallClockSecond);
    std::vector<int> ticks;  // ms past 7:05:00
    timer->setOnTimer([&](ui::Component*) {
        ticks.push_back(loop.now().second * 1000 + loop.now().millisecond);
        if (ticks.size() == 1) app.messageBox("first", "", 0);
        if (ticks.size() == 2) throw sys::Error("tick failed");
    });
    services.onMessageBox = [&](const fakes::BoxRecord& box) {
        if (box.text == "first") loop.advance(std::chrono::seconds(2));
    };
    loop.advance(std::chrono::seconds(3));
    EXPECT_EQ(ticks, (std::vector<int>{2, 1002, 2002}));
    EXPECT_EQ(services.boxes.back().text, "tick failed.");
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

// Spin buttons that only take a box's arrow keys step from their own position and
// leave the box to their click event, wrapping at the ends; pairing another box later
// takes the keys from the first. A box that goes away lets go of its buttons.
TEST_F(FrameworkTest, ArrowKeysOfAnUnpairedBoxClickTheSpinButtons) {
    auto* spin = main.add<ui::UpDown>("Spin");
    spin->setRange(0, 59);
    spin->setWrap(true);
    auto* box = main.add<ui::Edit>("Box");
    spin->setArrowKeyBox(box);
    spin->onClick = [&](ui::Component*, ui::UpDownButton b) {
        log.push_back((b == ui::UpDownButton::Up ? "up " : "down ") + std::to_string(spin->position()));
    };
    box->setText("33");
    EXPECT_TRUE(box->keyDown(ui::Key::Down));
    EXPECT_TRUE(box->keyDown(ui::Key::Up));
    EXPECT_TRUE(box->keyDown(ui::Key::Up));
    EXPECT_EQ(log, (Texts{"down 59", "up 0", "up 1"}));
    EXPECT_EQ(box->text(), "33");

    auto* other = main.add<ui::Edit>("Other");
    spin->setAssociate(other);
    EXPECT_FALSE(box->keyDown(ui::Key::Up));
    EXPECT_EQ(other->arrowKeySpin(), spin);
    auto temporary = std::make_unique<ui::Edit>(&main, "Temporary");
    spin->setArrowKeyBox(temporary.get());
    EXPECT_EQ(spin->associate(), nullptr);
    temporary.reset();
    EXPECT_EQ(spin->arrowKeyBox(), nullptr);
}

// Putting away the page that holds the focus gives it to the notebook's tabs; a page
// change with the focus elsewhere leaves it where it is.
TEST_F(FrameworkTest, TheFocusLeavesAPagePutAway) {
    struct FocusAsked : ui::ComponentPeer {
        int times = 0;
        void componentChanged(ui::Component&, ui::Change what) override { times += what == ui::Change::Focus; }
    } asked;
    auto* nb = main.add<ui::TabbedNotebook>("Notebook");
    auto* box = nb->addPage("&One")->add<ui::Panel>("Panel")->add<ui::Edit>("Box");
    nb->addPage("&Two");
    nb->setPeer(&asked);
    nb->setPageIndex(1);
    nb->setPageIndex(0);
    EXPECT_EQ(asked.times, 0);
    box->focusChanged(true);
    nb->setPageIndex(1);
    EXPECT_EQ(asked.times, 1);
    nb->setPeer(nullptr);
}

}  // namespace

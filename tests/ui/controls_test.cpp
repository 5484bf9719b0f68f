// The event rules of the controls, the text-to-number conversion and the time display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/virtual_platform.h"
#include "ui/application.h"
#include "ui/clock.h"
#include "ui/controls.h"
#include "ui/exception.h"
#include "ui/form.h"

namespace {

using Texts = std::vector<std::string>;

class ControlsTest : public ::testing::Test {
protected:
    fakes::VirtualLoop loop;
    fakes::ScriptedServices services;
    ui::Application app{loop, services};
    ui::Form form{app, "Form"};
    Texts log;
};

// A change is raised before the setter returns, and one raised inside it runs to its
// end first; an equal text raises nothing.
TEST_F(ControlsTest, TextChangesNestAndAnEqualTextRaisesNothing) {
    auto* a = form.add<ui::Edit>("A");
    auto* b = form.add<ui::Edit>("B");
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

// The key press may cancel or replace a character; Backspace takes one off, other
// control characters nothing; a read-only box takes no key. Exit comes only when the
// box loses the focus.
TEST_F(ControlsTest, EditTypingAndLeaving) {
    auto* edit = form.add<ui::Edit>("Edit");
    edit->onKeyPress = [](ui::Component*, char& key) { key = key == 'x' ? 0 : key == 'u' ? 'U' : key; };
    for (char k : std::string("axu\bu\x01")) edit->type(k);
    EXPECT_EQ(edit->text(), "aU");
    edit->setReadOnly(true);
    edit->type('b');
    EXPECT_EQ(edit->text(), "aU");
    int exits = 0;
    edit->onExit = [&](ui::Component*) { ++exits; };
    for (bool focus : {false, true, true, false}) edit->focusChanged(focus);
    EXPECT_EQ(exits, 1);
}

// A radio button clicks only from unchecked to checked, after unchecking the other
// buttons of its parent; a double click raises its own event.
TEST_F(ControlsTest, RadioGroup) {
    auto* group = form.add<ui::Panel>("Group");
    auto* outsider = form.add<ui::Panel>("Other")->add<ui::RadioButton>("Outsider");
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
}

struct SpinCase {
    int min, max, start;
    ui::UpDownButton button;
    bool wrap;
    int expected;
};
std::ostream& operator<<(std::ostream& out, const SpinCase& c) {
    return out << (c.button == ui::UpDownButton::Up ? "Up" : "Down") << "_from_" << c.start << "_in_" << c.min << "_"
               << c.max << (c.wrap ? "_wrapping" : "") << "_gives_" << c.expected;
}

class SpinStepTest : public ControlsTest, public ::testing::WithParamInterface<SpinCase> {};

TEST_P(SpinStepTest, StepsByOneAndWrapsOrStops) {
    const SpinCase c = GetParam();
    auto* spin = form.add<ui::UpDown>("Spin");
    spin->setRange(c.min, c.max);
    spin->setWrap(c.wrap);
    spin->setPosition(c.start);
    int clicks = 0;
    spin->onClick = [&](ui::Component*, ui::UpDownButton b) { clicks += b == c.button; };
    spin->step(c.button);
    EXPECT_EQ(spin->position(), c.expected);
    EXPECT_EQ(clicks, 1);
}

INSTANTIATE_TEST_SUITE_P(Spin, SpinStepTest,
                         ::testing::Values(SpinCase{0, 59, 30, ui::UpDownButton::Up, true, 31},
                                           SpinCase{0, 59, 59, ui::UpDownButton::Up, true, 0},
                                           SpinCase{1, 12, 1, ui::UpDownButton::Down, true, 12},
                                           SpinCase{0, 59, 59, ui::UpDownButton::Up, false, 59},
                                           SpinCase{0, 59, 0, ui::UpDownButton::Down, false, 0}),
                         ::testing::PrintToStringParamName());

// A position set by code keeps the low 16 bits and is moved into the range. Paired with
// a box, the spin buttons step from the box's number (their own position when it holds
// none), write the position back, and the box's Up and Down keys step them.
TEST_F(ControlsTest, SpinPositionAndPairing) {
    auto* spin = form.add<ui::UpDown>("Spin");
    auto* edit = form.add<ui::Edit>("Edit");
    spin->setRange(1, 12);
    for (int set : {0, 99, 65536 + 7, 65535}) {
        spin->setPosition(set);
        log.push_back(std::to_string(spin->position()));
    }
    EXPECT_EQ(log, (Texts{"1", "12", "7", "1"}));
    spin->setAssociate(edit);
    EXPECT_EQ(edit->text(), "1");
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

TEST_F(ControlsTest, NotebookIgnoresPagesOutOfRange) {
    auto* notebook = form.add<ui::TabbedNotebook>("Notebook");
    notebook->addPage("One");
    notebook->addPage("Two");
    for (int index : {1, 2, -1}) notebook->setPageIndex(index);
    EXPECT_EQ(notebook->pageIndex(), 1);
}

// ---- Conversion and the time display

struct ConvertCase {
    const char* name;
    std::string text;
    int value;  // 0 for a text that is no number
};
std::ostream& operator<<(std::ostream& out, const ConvertCase& c) { return out << c.name; }

class StrToIntTest : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(StrToIntTest, ConvertsOrNamesTheText) {
    const ConvertCase& c = GetParam();
    try {
        EXPECT_EQ(ui::strToInt(c.text), c.value);
        EXPECT_NE(c.value, 0);
    } catch (const ui::ConvertError& e) {
        EXPECT_EQ(c.value, 0);
        EXPECT_EQ(std::string(e.what()), "'" + c.text + "' is not a valid integer value");
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, StrToIntTest,
                         ::testing::Values(ConvertCase{"LeadingZero", "07", 7}, ConvertCase{"Negative", "-3", -3},
                                           ConvertCase{"Dollar", "$1A", 26}, ConvertCase{"Hex", "0x1a", 26},
                                           ConvertCase{"Largest", "2147483647", 2147483647},
                                           ConvertCase{"Empty", "", 0}, ConvertCase{"Blank", "1 2", 0},
                                           ConvertCase{"Sign", "-", 0}, ConvertCase{"TooBig", "99999999999", 0}),
                         ::testing::PrintToStringParamName());

struct DisplayCase {
    const char* name;
    ui::TimeFormatSettings settings;
    int hour, minute, second;
    const char* shows;
};
std::ostream& operator<<(std::ostream& out, const DisplayCase& c) { return out << c.name; }

class LongTimeTest : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(LongTimeTest, WritesTheRegionalLongTimeFormat) {
    const DisplayCase& c = GetParam();
    EXPECT_EQ(ui::formatLongTime(c.settings, {2026, 12, 7, c.hour, c.minute, c.second, 0}), c.shows);
}

const ui::TimeFormatSettings kUs = ui::TimeFormatSettings::unitedStates();

INSTANTIATE_TEST_SUITE_P(
    Clock, LongTimeTest,
    ::testing::Values(DisplayCase{"UsMidnight", kUs, 0, 30, 5, "12:30:05 AM"},
                      DisplayCase{"UsMorning", kUs, 7, 5, 9, "7:05:09 AM"},
                      DisplayCase{"UsNoon", kUs, 12, 30, 0, "12:30:00 PM"},
                      DisplayCase{"UsEvening", kUs, 23, 59, 59, "11:59:59 PM"},
                      DisplayCase{"TwentyFourHours", {false, true, false, "am", "pm", ":"}, 0, 30, 5, "00:30:05"},
                      DisplayCase{"NoDesignators", {true, true, false, "", "", ":"}, 12, 30, 0, "12:30:00 pm"},
                      DisplayCase{"DesignatorFirst", {true, false, true, "a.m.", "p.m.", ":"}, 7, 5, 9, "a.m. 7:05:09"},
                      DisplayCase{"DotsAndNoDesignator", {false, false, true, "a", "p", "."}, 7, 5, 9, "7.05.09"}),
    ::testing::PrintToStringParamName());

}  // namespace

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/fakes/virtual_platform.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/exception.h"
#include "ui/form.h"

namespace {

class ControlsTest : public ::testing::Test {
protected:
    fakes::VirtualLoop loop;
    fakes::ScriptedServices services;
    ui::Application app{loop, services};
    ui::Form form{app, "Form"};
    std::vector<std::string> log;
};

TEST_F(ControlsTest, SettingTheSameTextRaisesNothing) {
    auto* edit = form.add<ui::Edit>("Edit");
    edit->onChange = [&](ui::Component*) { log.push_back(edit->text()); };
    edit->setText("5");
    edit->setText("5");
    edit->setText("");
    EXPECT_EQ(log, (std::vector<std::string>{"5", ""}));
}

TEST_F(ControlsTest, NestedChangeRunsToItsEndBeforeTheSetterReturns) {
    auto* a = form.add<ui::Edit>("A");
    auto* b = form.add<ui::Edit>("B");
    a->onChange = [&](ui::Component*) {
        log.push_back("a begins");
        b->setText("x");
        log.push_back("a ends with b=" + b->text());
    };
    b->onChange = [&](ui::Component*) {
        log.push_back("b");
        b->setText("y");  // nested change of the same box
    };
    a->setText("1");
    EXPECT_EQ(log, (std::vector<std::string>{"a begins", "b", "b", "a ends with b=y"}));
}

TEST_F(ControlsTest, ExceptionsUnwindThroughNestedSettersToTheDispatcher) {
    auto* a = form.add<ui::Edit>("A");
    auto* b = form.add<ui::Edit>("B");
    a->onChange = [&](ui::Component*) {
        b->setText("boom");
        log.push_back("after nested setter");  // skipped
    };
    b->onChange = [&](ui::Component*) { throw ui::Error("Broken"); };
    app.setTitle("Tolvane Off");
    app.dispatch([&] { a->setText("1"); });
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(a->text(), "1");  // what was done stays done
    EXPECT_EQ(b->text(), "boom");
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, "Broken.");
    EXPECT_EQ(services.boxes[0].caption, "Tolvane Off");
    EXPECT_EQ(services.boxes[0].flags, ui::mb::iconStop);
}

TEST_F(ControlsTest, KeyPressMayCancelOrReplaceATypedCharacter) {
    auto* edit = form.add<ui::Edit>("Edit");
    edit->onKeyPress = [](ui::Component*, char& key) {
        if (key == 'x') key = 0;
        if (key == 'u') key = 'U';
    };
    edit->type('a');
    edit->type('x');
    edit->type('u');
    EXPECT_EQ(edit->text(), "aU");
    edit->type('\b');
    EXPECT_EQ(edit->text(), "a");
    edit->setReadOnly(true);
    edit->type('b');
    EXPECT_EQ(edit->text(), "a");
}

TEST_F(ControlsTest, EditRaisesExitOnlyWhenItLosesTheFocus) {
    auto* edit = form.add<ui::Edit>("Edit");
    int exits = 0;
    edit->onExit = [&](ui::Component*) { ++exits; };
    edit->focusChanged(false);
    edit->focusChanged(true);
    edit->focusChanged(true);
    edit->focusChanged(false);
    EXPECT_EQ(exits, 1);
}

// ---- radio buttons ----------------------------------------------------------------

class RadioTest : public ControlsTest {
protected:
    void SetUp() override {
        group = form.add<ui::Panel>("Group");
        other = form.add<ui::Panel>("Other");
        for (const char* name : {"A", "B", "C"}) {
            auto* r = group->add<ui::RadioButton>(name);
            r->onClick = [this, r](ui::Component*) { log.push_back(r->name() + " click"); };
            r->onDblClick = [this, r](ui::Component*) { log.push_back(r->name() + " dbl"); };
            radios.push_back(r);
        }
        outsider = other->add<ui::RadioButton>("Outsider");
    }
    ui::Panel* group = nullptr;
    ui::Panel* other = nullptr;
    std::vector<ui::RadioButton*> radios;
    ui::RadioButton* outsider = nullptr;
};

TEST_F(RadioTest, ClickRaisedOnlyFromUncheckedToChecked) {
    radios[0]->click();
    radios[0]->click();
    radios[0]->setChecked(true);
    radios[0]->setChecked(false);
    EXPECT_EQ(log, (std::vector<std::string>{"A click"}));
}

TEST_F(RadioTest, CheckingUnchecksSiblingsOfTheSameParentOnly) {
    outsider->setChecked(true);
    radios[0]->setChecked(true);
    radios[2]->click();
    EXPECT_FALSE(radios[0]->checked());
    EXPECT_FALSE(radios[1]->checked());
    EXPECT_TRUE(radios[2]->checked());
    EXPECT_TRUE(outsider->checked());
}

TEST_F(RadioTest, DoubleClickOnAnUncheckedButtonClicksThenDoubleClicks) {
    radios[1]->click();
    radios[1]->doubleClick();
    radios[1]->click();
    radios[1]->doubleClick();
    EXPECT_EQ(log, (std::vector<std::string>{"B click", "B dbl", "B dbl"}));
}

TEST_F(RadioTest, SiblingsSeeTheNewStateInsideTheClickHandler) {
    radios[0]->setChecked(true);
    radios[1]->onClick = [&](ui::Component*) { log.push_back(radios[0]->checked() ? "A still on" : "A off"); };
    radios[1]->click();
    EXPECT_EQ(log.back(), "A off");
}

// ---- spin buttons -----------------------------------------------------------------

struct SpinCase {
    int min, max, start;
    ui::UpDownButton button;
    bool wrap;
    int expected;
};

class SpinStepTest : public ControlsTest, public ::testing::WithParamInterface<SpinCase> {};

TEST_P(SpinStepTest, StepsByOneAndWrapsOrStops) {
    const SpinCase c = GetParam();
    auto* spin = form.add<ui::UpDown>("Spin");
    spin->setRange(c.min, c.max);
    spin->setWrap(c.wrap);
    spin->setPosition(c.start);
    std::vector<ui::UpDownButton> clicks;
    spin->onClick = [&](ui::Component*, ui::UpDownButton b) { clicks.push_back(b); };
    spin->step(c.button);
    EXPECT_EQ(spin->position(), c.expected);
    EXPECT_EQ(clicks, std::vector<ui::UpDownButton>{c.button});
}

INSTANTIATE_TEST_SUITE_P(Ranges, SpinStepTest,
                         ::testing::Values(SpinCase{0, 59, 59, ui::UpDownButton::Up, true, 0},
                                           SpinCase{0, 59, 0, ui::UpDownButton::Down, true, 59},
                                           SpinCase{1, 12, 12, ui::UpDownButton::Up, true, 1},
                                           SpinCase{1, 12, 1, ui::UpDownButton::Down, true, 12},
                                           SpinCase{0, 1, 1, ui::UpDownButton::Up, true, 0},
                                           SpinCase{0, 1, 0, ui::UpDownButton::Down, true, 1},
                                           SpinCase{0, 59, 30, ui::UpDownButton::Up, true, 31},
                                           SpinCase{0, 59, 59, ui::UpDownButton::Up, false, 59},
                                           SpinCase{0, 59, 0, ui::UpDownButton::Down, false, 0}));

TEST_F(ControlsTest, SpinPositionSetByCodeIsMovedIntoRangeAsA16BitValue) {
    auto* spin = form.add<ui::UpDown>("Spin");
    spin->setRange(1, 12);
    spin->setPosition(0);
    EXPECT_EQ(spin->position(), 1);
    spin->setPosition(99);
    EXPECT_EQ(spin->position(), 12);
    spin->setPosition(65536 + 7);  // only the low 16 bits reach the control
    EXPECT_EQ(spin->position(), 7);
    spin->setPosition(65535);  // -1 as a 16-bit value
    EXPECT_EQ(spin->position(), 1);
}

TEST_F(ControlsTest, PairedSpinTakesTheBoxNumberBeforeAStepAndWritesItAfter) {
    auto* spin = form.add<ui::UpDown>("Spin");
    auto* edit = form.add<ui::Edit>("Edit");
    spin->setRange(1, 12);
    spin->setWrap(true);
    spin->setPosition(12);
    spin->setAssociate(edit);
    EXPECT_EQ(edit->text(), "12");
    edit->onChange = [&](ui::Component*) { log.push_back(edit->text()); };

    edit->setText("7");
    spin->step(ui::UpDownButton::Up);
    EXPECT_EQ(spin->position(), 8);
    EXPECT_EQ(edit->text(), "8");

    EXPECT_TRUE(edit->keyDown(ui::Key::Down));
    EXPECT_TRUE(edit->keyDown(ui::Key::Down));
    EXPECT_EQ(edit->text(), "6");
    EXPECT_FALSE(edit->keyDown(ui::Key::Left));

    spin->setPosition(3);
    EXPECT_EQ(edit->text(), "3");
    EXPECT_EQ(log, (std::vector<std::string>{"7", "8", "7", "6", "3"}));
}

TEST_F(ControlsTest, PairedSpinKeepsItsPositionWhenTheBoxHoldsNoNumber) {
    auto* spin = form.add<ui::UpDown>("Spin");
    auto* edit = form.add<ui::Edit>("Edit");
    spin->setRange(1, 12);
    spin->setPosition(5);
    spin->setAssociate(edit);
    edit->setText("");
    spin->step(ui::UpDownButton::Up);
    EXPECT_EQ(edit->text(), "6");
}

TEST_F(ControlsTest, CheckBoxClickToggles) {
    auto* box = form.add<ui::CheckBox>("Box");
    int clicks = 0;
    box->onClick = [&](ui::Component*) { ++clicks; };
    box->click();
    EXPECT_TRUE(box->checked());
    box->setChecked(true);
    box->click();
    EXPECT_FALSE(box->checked());
    EXPECT_EQ(clicks, 2);
}

TEST_F(ControlsTest, NotebookIgnoresOutOfRangePages) {
    auto* notebook = form.add<ui::TabbedNotebook>("Notebook");
    notebook->addPage("One");
    notebook->addPage("Two");
    notebook->setPageIndex(1);
    notebook->setPageIndex(5);
    notebook->setPageIndex(-1);
    EXPECT_EQ(notebook->pageIndex(), 1);
}

// ---- conversion -------------------------------------------------------------------

struct ConvertCase {
    std::string text;
    bool ok;
    int value;
};

class StrToIntTest : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(StrToIntTest, Converts) {
    const ConvertCase c = GetParam();
    if (c.ok) {
        EXPECT_EQ(ui::strToInt(c.text), c.value);
    } else {
        try {
            ui::strToInt(c.text);
            FAIL() << "no error for '" << c.text << "'";
        } catch (const ui::ConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + c.text + "' is not a valid integer value");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, StrToIntTest,
                         ::testing::Values(ConvertCase{"0", true, 0}, ConvertCase{"07", true, 7},
                                           ConvertCase{"75", true, 75}, ConvertCase{"-3", true, -3},
                                           ConvertCase{"$1A", true, 26}, ConvertCase{"0x1a", true, 26},
                                           ConvertCase{"2147483647", true, 2147483647},
                                           ConvertCase{"", false, 0}, ConvertCase{"1 2", false, 0},
                                           ConvertCase{"abc", false, 0}, ConvertCase{"-", false, 0},
                                           ConvertCase{"99999999999", false, 0}));

}  // namespace

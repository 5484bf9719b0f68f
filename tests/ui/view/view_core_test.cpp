// The view rules both desktops share, against a desktop that writes down what it is
// asked: the order a form is bound and read in, where each change goes, menu check
// marks, and letting go.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/fakes/virtual_platform.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/view/form_binding.h"
#include "ui/view/keyboard.h"

namespace {

using ui::Change;

std::string nameOf(Change c) {
    switch (c) {
    case Change::Text: return "Text";
    case Change::Checked: return "Checked";
    case Change::Alignment: return "Alignment";
    case Change::ReadOnly: return "ReadOnly";
    case Change::Color: return "Color";
    case Change::Position: return "Position";
    case Change::PageIndex: return "PageIndex";
    case Change::Bounds: return "Bounds";
    case Change::Font: return "Font";
    default: return "other";
    }
}

class Desktop;

class LoggingPeer : public ui::view::ControlPeer {
public:
    LoggingPeer(ui::Control& c, ui::view::FormContext& ctx, std::string& log) : ControlPeer(c, ctx), log_(log) {}
    void childGeometryChanged() override { note("children"); }

protected:
    void apply(Change c) override { note(nameOf(c)); }
    void applyVisible() override { note("visible"); }
    void applyEnabled() override { note("enabled"); }
    void applyGeometry() override { note("geometry"); }
    void applyFont() override { note("font"); }
    void applyHint() override { note("hint"); }
    void takeFocus() override { note("focus"); }
    void repaint() override { note("repaint"); }

private:
    void note(const std::string& what) { log_ += control().name() + "." + what + (updating() ? " " : "! "); }
    std::string& log_;
};

class LoggingMenu : public ui::view::MenuPeer {
public:
    LoggingMenu(ui::MenuItem& item, std::string& log) : MenuPeer(item), log_(log) {}
    void sync() override { log_ += item().name() + (item().checked() ? ".ticked " : ".unticked "); }

private:
    std::string& log_;
};

class Desktop : public ui::view::FormBinding, public ui::view::FormContext {
public:
    explicit Desktop(ui::Form& form) : FormBinding(form) {}
    ~Desktop() override {
        if (!detaching()) release();
    }
    void attach() {
        for (ui::MenuItem* item : form().menu()->items()) addMenu(std::make_unique<LoggingMenu>(*item, log));
        bind(std::make_unique<LoggingPeer>(form(), *this, log), [this] {
            log += "gone ";
            release();
        });
    }
    ui::Application& application() override { return form().application(); }
    void dispatch(const std::function<void()>& event) override { FormBinding::dispatch(event); }
    ui::view::ControlPeer* peerOf(const ui::Component& c) override { return peer(c); }

    std::string log;

protected:
    std::unique_ptr<ui::view::ControlPeer> makePeer(ui::Control& c, ui::view::ControlPeer&) override {
        log += "made " + c.name() + " ";
        return std::make_unique<LoggingPeer>(c, *this, log);
    }
    void orderTabs() override { log += "tabs "; }
    void showTitle() override { log += "title "; }
    void destroyWindow() override { log += std::string("destroyed") + (peer(form()) ? " " : "-late "); }
};

class ViewCore : public ::testing::Test {
protected:
    ViewCore() {
        auto* menu = form->add<ui::MainMenu>("Menu");
        menu->addItem("Ring", "&Ring")->setChecked(true);
        menu->addItem("Quiet", "&Quiet");
        form->setMenu(menu);
        panel = form->add<ui::Panel>("Panel");
        box = panel->add<ui::CheckBox>("Box");
    }
    fakes::VirtualLoop loop{{2026, 12, 7, 7, 4, 59, 0}};
    fakes::ScriptedServices services;
    ui::Application app{loop, services};
    std::unique_ptr<ui::Form> form = std::make_unique<ui::Form>(app, "Main");
    ui::Panel* panel;
    ui::CheckBox* box;
    Desktop desktop{*form};
};

// Menu items show their state when taken; the peers are made parents first, each read
// whole (check marks included) with every change marked as the desktop's own update;
// then the keyboard order, the title of the main form, and the form itself last.
TEST_F(ViewCore, AFormIsBoundInItsOrder) {
    desktop.attach();
    const auto whole = [](const std::string& n) {
        std::string s;
        for (const char* what : {"geometry", "font", "enabled", "hint", "Text", "Checked", "Alignment", "ReadOnly",
                                 "Color", "Position", "PageIndex", "visible", "children"})
            s += n + "." + what + " ";
        return s;
    };
    EXPECT_EQ(desktop.log, "Ring.ticked Quiet.unticked made Panel made Box " + whole("Panel") + whole("Box") +
                               "tabs title " + whole("Main"));
}

// Each change goes to its part, as the desktop's own update; a move also tells the
// parent, whose children moved (the parent then acts as for any layout of its own).
TEST_F(ViewCore, EachChangeReachesItsPart) {
    desktop.attach();
    for (const auto& [change, asked] :
         std::vector<std::pair<Change, std::string>>{{Change::Bounds, "Box.geometry Panel.children! Box.Bounds "},
                                                     {Change::Font, "Box.font Box.Font "},
                                                     {Change::Visible, "Box.visible "},
                                                     {Change::Enabled, "Box.enabled "},
                                                     {Change::Focus, "Box.focus "},
                                                     {Change::Repaint, "Box.repaint "},
                                                     {Change::Checked, "Box.Checked "}}) {
        desktop.log.clear();
        desktop.peerOf(*box)->componentChanged(*box, change);
        EXPECT_EQ(desktop.log, asked) << static_cast<int>(change);
    }
}

// A chosen item is clicked and shows its new state; once released, the window goes
// while the peers still exist, no control keeps its peer, and input is not delivered.
TEST_F(ViewCore, MenusAndReleasing) {
    desktop.attach();
    ui::MenuItem& quiet = *form->menu()->items()[1];
    quiet.onClick = [&](ui::Component*) { quiet.setChecked(true); };
    desktop.log.clear();
    desktop.menuChosen(static_cast<ui::view::MenuPeer&>(*desktop.menus()[1]));
    EXPECT_EQ(desktop.log, "Quiet.ticked Quiet.ticked ");

    desktop.release();
    EXPECT_EQ(desktop.log, "Quiet.ticked Quiet.ticked destroyed ");
    EXPECT_EQ(desktop.peerOf(*box), nullptr);
    EXPECT_TRUE(desktop.detaching());
    bool delivered = false;
    desktop.dispatch([&] { delivered = true; });
    EXPECT_FALSE(delivered);
    form.reset();  // a released binding is not told of the form going away
    EXPECT_EQ(desktop.log.find("gone"), std::string::npos);
}

// The form going away while bound is heard while its controls still exist, so the
// window can go first.
TEST_F(ViewCore, TheFormGoingAwayIsHeard) {
    desktop.attach();
    desktop.log.clear();
    form.reset();
    EXPECT_EQ(desktop.log, "gone destroyed ");
}

// ---- Keys -------------------------------------------------------------------------

// A drawn control that writes down the keys it is given.
class KeyLog : public ui::CustomControl {
public:
    KeyLog(ui::Component* parent, std::string name, std::string& log, bool arrows)
        : CustomControl(parent, std::move(name)), log_(log), arrows_(arrows) {}
    void paint(ui::Canvas&) override {}
    void keyDown(ui::Key k) override { log_ += name() + ".key" + std::to_string(static_cast<int>(k)) + " "; }
    bool wantsArrows() const override { return arrows_; }

private:
    std::string& log_;
    bool arrows_;
};

// A form of one of each control a key rule names, on the first page of a notebook but
// for the buttons; every event writes to `log`.
class Keys : public ::testing::Test {
protected:
    Keys() {
        auto* page = nb->addPage("&One");
        auto* second = nb->addPage("&Two");
        nb->setTabStop(true);
        bar = page->add<KeyLog>("Bar", log, true);
        plain = page->add<KeyLog>("Plain", log, false);
        spun = page->add<ui::Edit>("Spun");
        loose = page->add<ui::Edit>("Loose");
        auto* spin = page->add<ui::UpDown>("Spin");
        spin->setArrowKeyBox(spun);
        spin->onClick = [this](ui::Component*, ui::UpDownButton) { log += "Spin.click "; };
        for (auto** r : {&radio, &other}) {
            *r = page->add<ui::RadioButton>(r == &radio ? "Radio" : "Other");
            (*r)->onClick = [this, r](ui::Component*) { log += (*r)->name() + ".click "; };
            (*r)->onDblClick = [this, r](ui::Component*) { log += (*r)->name() + ".dblclick "; };
        }
        second->add<ui::Memo>("Later");
        for (auto** b : {&ok, &cancel, &plainButton}) {
            *b = form->add<ui::Button>(b == &ok ? "Ok" : b == &cancel ? "Cancel" : "Button");
            (*b)->setTabStop(true);
            (*b)->onClick = [this, b](ui::Component*) { log += (*b)->name() + ".click "; };
        }
        ok->setDefault(true);
        cancel->setCancel(true);
        radio->setChecked(true);
        form->show();
        log.clear();
    }

    ui::view::KeyStroke key(ui::Key k, bool ctrl = false, bool alt = false, bool repeat = false) {
        return {k, ctrl, alt, repeat};
    }
    // What pressing the key does with `focused` holding the focus; "-" when the rules
    // leave it to the desktop.
    std::string press(ui::Control* focused, ui::view::KeyStroke stroke) {
        log.clear();
        if (!desktop.keyPressed(focused, stroke)) return "-";
        return log;
    }

    fakes::VirtualLoop loop{{2026, 12, 7, 7, 4, 59, 0}};
    fakes::ScriptedServices services;
    ui::Application app{loop, services};
    std::unique_ptr<ui::Form> main = std::make_unique<ui::Form>(app, "Main");
    std::unique_ptr<ui::Form> form = std::make_unique<ui::Form>(app, "About");
    std::string log;
    ui::TabbedNotebook* nb = form->add<ui::TabbedNotebook>("Notebook");
    KeyLog* bar;
    KeyLog* plain;
    ui::Edit* spun;
    ui::Edit* loose;
    ui::RadioButton* radio;
    ui::RadioButton* other;
    ui::Button* ok;
    ui::Button* cancel;
    ui::Button* plainButton;
    Desktop desktop{*form};
};

// Each rule once, and the keys each leaves to the desktop. Key numbers: Left 0,
// Right 1, Up 2, Down 3, Space 4.
TEST_F(Keys, EachRuleActsWhereItApplies) {
    using ui::Key;
    EXPECT_EQ(press(bar, key(Key::Space)), "Bar.key4 ");
    EXPECT_EQ(press(bar, key(Key::Left)), "Bar.key0 ");
    EXPECT_EQ(press(bar, key(Key::Down)), "Bar.key3 ");
    EXPECT_EQ(press(bar, key(Key::Space, true)), "-");
    EXPECT_EQ(press(plain, key(Key::Right)), "-");
    EXPECT_EQ(press(plain, key(Key::Space)), "Plain.key4 ");
    EXPECT_EQ(press(spun, key(Key::Up)), "Spin.click ");
    EXPECT_EQ(press(spun, key(Key::Left)), "-");
    EXPECT_EQ(press(loose, key(Key::Up)), "-");
    EXPECT_EQ(press(radio, key(Key::Space)), "Radio.dblclick ");
    EXPECT_EQ(press(radio, key(Key::Return)), "Radio.dblclick ");
    EXPECT_EQ(press(other, key(Key::Space)), "-");  // the desktop checks it
    EXPECT_EQ(press(plainButton, key(Key::Return)), "Button.click ");
    EXPECT_EQ(press(loose, key(Key::Return)), "Ok.click ");
    EXPECT_EQ(press(nullptr, key(Key::Return)), "Ok.click ");
    EXPECT_EQ(press(nb->pages()[1]->children()[0], key(Key::Return)), "-");  // the memo's new line
    EXPECT_EQ(press(loose, key(Key::Escape)), "Cancel.click ");
    EXPECT_EQ(press(loose, key(Key::Escape, false, true)), "-");
    EXPECT_EQ(press(loose, key(Key::Other)), "-");
    EXPECT_EQ(press(loose, key(Key::F4)), "-");
    EXPECT_TRUE(form->visible());
    EXPECT_EQ(press(loose, key(Key::F4, false, true)), "");
    EXPECT_FALSE(form->visible());
}

// Return and Escape press only a button the user could press: not a disabled one, nor
// one hidden or on a page put away.
TEST_F(Keys, DefaultAndCancelButtonsMustBeReachable) {
    ok->setEnabled(false);
    cancel->setVisible(false);
    EXPECT_EQ(press(loose, key(ui::Key::Return)), "-");
    EXPECT_EQ(press(loose, key(ui::Key::Escape)), "-");
    auto* later = nb->pages()[1]->add<ui::Button>("Later");
    later->setDefault(true);
    later->onClick = [this](ui::Component*) { log += "Later.click "; };
    EXPECT_EQ(press(loose, key(ui::Key::Return)), "-");
    nb->setPageIndex(1);
    EXPECT_EQ(press(loose, key(ui::Key::Return)), "Later.click ");
}

// A used key held down acts once, but an arrow steps on; its release goes no further,
// another key's release does, and so does the release of a press the desktop handled
// after a used press whose release went elsewhere (to a box, say).
TEST_F(Keys, AHeldKeyActsOnceButArrowsRepeat) {
    using ui::Key;
    EXPECT_EQ(press(radio, key(Key::Space)), "Radio.dblclick ");
    EXPECT_EQ(press(radio, key(Key::Space, false, false, true)), "");
    EXPECT_TRUE(desktop.keyReleased(Key::Space));
    EXPECT_FALSE(desktop.keyReleased(Key::Space));
    EXPECT_EQ(press(radio, key(Key::Space)), "Radio.dblclick ");
    EXPECT_EQ(press(plainButton, key(Key::Space)), "-");
    EXPECT_FALSE(desktop.keyReleased(Key::Space));
    EXPECT_EQ(press(spun, key(Key::Up)), "Spin.click ");
    EXPECT_EQ(press(spun, key(Key::Up, false, false, true)), "Spin.click ");
    EXPECT_EQ(press(loose, key(Key::Other, false, false, true)), "-");
    EXPECT_FALSE(desktop.keyReleased(Key::Return));
}

// Tab visits the tab stops of the page shown, the notebook's tabs before them, then the
// form's own; round at the ends, and the other way back. Hidden and disabled controls
// and pages put away are passed over.
TEST_F(Keys, TabWalksTheReachableTabStopsInOrder) {
    for (ui::Control* c : std::initializer_list<ui::Control*>{bar, radio, other}) c->setTabStop(true);
    plainButton->setTabOrder(0);
    other->setEnabled(false);
    const auto walk = [&](bool back) {
        std::string names;
        const ui::Control* at = nullptr;
        for (int i = 0; i < 9; ++i) {
            at = ui::view::nextTabStop(*form, at, back);
            names += at->name() + " ";
        }
        return names;
    };
    EXPECT_EQ(walk(false), "Button Notebook Bar Spun Loose Radio Ok Cancel Button ");
    EXPECT_EQ(walk(true), "Cancel Ok Radio Loose Spun Bar Notebook Button Cancel ");
    nb->setPageIndex(1);
    EXPECT_EQ(ui::view::nextTabStop(*form, nb, false)->name(), "Later");
}

// The tray shows the armed icon for the armed title only.
TEST(ArmedTitle, IsTheTitleThatShowsTheAlarmTime) {
    EXPECT_TRUE(ui::view::isArmedTitle("Tolvane @7:05AM"));
    EXPECT_FALSE(ui::view::isArmedTitle("Tolvane Off"));
}

}  // namespace

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

// The tray shows the armed icon for the armed title only.
TEST(ArmedTitle, IsTheTitleThatShowsTheAlarmTime) {
    EXPECT_TRUE(ui::view::isArmedTitle("Tolvane @7:05AM"));
    EXPECT_FALSE(ui::view::isArmedTitle("Tolvane Off"));
}

}  // namespace

// The Qt view: widgets follow the model, and the user's input reaches the model.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/qt_view.h"
#include "platform/qt/view_internal.h"
#include "sys/exception.h"
#include "tests/platform/qt/program_on_screen.h"
#include "ui/canvas.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace {

namespace colors = ui::colors;
using Log = std::vector<std::string>;

template <class T>
T* place(ui::Component* parent, int left, int top, int width, int height, const char* caption = "") {
    T* c = parent->add<T>(caption);
    c->setBounds(left, top, width, height);
    if constexpr (requires { c->setCaption(caption); }) c->setCaption(caption);
    return c;
}

// Paints blue; logs mouse and keys.
class Recorder : public ui::CustomControl {
public:
    using ui::CustomControl::CustomControl;
    void paint(ui::Canvas& canvas) override {
        if (failPaint) throw sys::Error("Paint failed");
        canvas.fillRect({0, 0, width(), height()}, colors::blue);
    }
    void mouseDown(ui::Point p) override { log("down", p); }
    void mouseMove(ui::Point p) override { log("move", p); }
    void mouseUp(ui::Point p) override { log("up", p); }
    void keyDown(ui::Key k) override { events.push_back("key " + std::to_string(static_cast<int>(k))); }
    void log(const char* what, ui::Point p) {
        events.push_back(std::string(what) + " " + std::to_string(p.x) + "," + std::to_string(p.y));
    }

    Log events;
    bool failPaint = false;
};

class DemoForm : public ui::Form {
public:
    explicit DemoForm(ui::Application& app) : ui::Form(app, "DemoForm") {
        setCaption("Demo 1.0");
        setBounds(100, 120, 400, 300);
        sized->setAutoSize(true);
        edit->setTabOrder(1);
        edit->onKeyPress = [this](ui::Component*, char& key) {
            keys.push_back(key);
            key = key == 'x' ? 0 : key == 'a' ? 'A' : key;
        };
        edit->onChange = logs("change");
        edit->onExit = logs("exit");
        hour->setTabOrder(0);
        spin->setRange(1, 12);
        spin->setPosition(12);
        spin->setWrap(true);
        spin->setAssociate(hour);
        check->onClick = logs("check");
        radioA->onClick = logs("radio");
        radioA->onDblClick = logs("double");
        memo->setLines({"first line", "", "third line"});
        button->onClick = [this](ui::Component*) {
            log.push_back("button");
            if (throwOnClick) throw sys::Error("Something went wrong");
        };
        recorder->setTabStop(true);
        auto* menu = add<ui::MainMenu>("Menu");
        toggle = menu->addItem("FileMnu", "&File")->addItem("Toggle", "&Toggle");
        toggle->setChecked(true);
        toggle->onClick = [this](ui::Component*) { toggle->setChecked(!toggle->checked()); };
        setMenu(menu);
    }

    ui::NotifyEvent logs(const char* what) {
        return [this, what](ui::Component*) { log.push_back(what); };
    }

    ui::Label* sized = place<ui::Label>(this, 80, 8, 3, 16);
    ui::Panel* panel = place<ui::Panel>(this, 8, 30, 200, 80);
    ui::Edit* edit = place<ui::Edit>(panel, 10, 10, 50, 21);
    ui::Edit* hour = place<ui::Edit>(panel, 80, 10, 25, 21);
    ui::UpDown* spin = place<ui::UpDown>(panel, 105, 10, 12, 21);
    ui::CheckBox* check = place<ui::CheckBox>(this, 8, 120, 80, 17, "&Loud");
    ui::RadioButton* radioA = place<ui::RadioButton>(this, 8, 140, 80, 17, "Fi&rst");
    ui::RadioButton* radioB = place<ui::RadioButton>(this, 8, 160, 80, 17, "&Second");
    ui::TabbedNotebook* notebook = place<ui::TabbedNotebook>(this, 220, 8, 170, 130);
    ui::NotebookPage* page0 = notebook->addPage("&One");
    ui::NotebookPage* page1 = notebook->addPage("T&wo");
    ui::Memo* memo = place<ui::Memo>(page0, 0, 0, 140, 90);
    ui::Button* button = place<ui::Button>(this, 160, 240, 75, 25, "&Press");
    Recorder* recorder = place<Recorder>(this, 250, 160, 100, 30);
    ui::MenuItem* toggle;
    Log log;
    std::string keys;
    bool throwOnClick = false;
};

class View : public qttest::QtTest {
protected:
    void SetUp() override {
        form = std::make_unique<DemoForm>(app);
        view.setApplicationTitle("Tolvane Off");
        view.attach(*form);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window()));
        window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window()));
    }

    QWidget* window() const { return view.window(*form); }
    template <class W = QWidget>
    W* widget(const ui::Component& c) const {
        return dynamic_cast<W*>(view.widget(c));
    }
    QColor pixel(const ui::Component& c, int x, int y) const { return widget(c)->grab().toImage().pixelColor(x, y); }

    qt::QtView view;
    std::unique_ptr<DemoForm> form;
};

// The client area lies below the menu bar, the window cannot be resized, an auto-sized
// label measures its caption, and a custom control paints through its canvas.
TEST_F(View, WidgetsTakeTheLayoutAndLookOfTheModel) {
    const int menu = window()->height() - form->height();
    EXPECT_GT(menu, 10);
    EXPECT_EQ(window()->geometry(), QRect(100, 120 - menu, 400, 300 + menu));
    EXPECT_EQ(window()->minimumSize(), window()->maximumSize());
    EXPECT_EQ(widget(*form->edit)->mapTo(window(), QPoint(0, 0)), QPoint(18, 40 + menu));
    const QFontMetrics metrics(widget(*form->sized)->font());
    form->sized->setCaption("Length:");
    EXPECT_EQ(widget(*form->sized)->size(), QSize(metrics.horizontalAdvance("Length:"), metrics.height()));
    EXPECT_EQ(pixel(*form->recorder, 50, 15), QColor(0, 0, 255));
}

TEST_F(View, ModelChangesShowInTheWidgets) {
    form->edit->setText("42");
    EXPECT_EQ(widget<QLineEdit>(*form->edit)->text(), QStringLiteral("42"));
    EXPECT_EQ(form->log, Log{"change"});  // the widget's echo does not come back
    form->check->setChecked(true);
    EXPECT_TRUE(widget<QCheckBox>(*form->check)->isChecked());
    form->toggle->setChecked(false);
    EXPECT_FALSE(view.action(*form->toggle)->isChecked());
    form->button->setFont({ui::FontFamily::Sans, 10, true, colors::red});
    EXPECT_EQ(widget(*form->button)->palette().color(QPalette::Active, QPalette::ButtonText), QColor(255, 0, 0));
    EXPECT_EQ(widget<QPlainTextEdit>(*form->memo)->toPlainText(), QStringLiteral("first line\n\nthird line"));
    form->notebook->setPageIndex(1);
    EXPECT_FALSE(widget(*form->page0)->isVisible());
    EXPECT_TRUE(widget(*form->page1)->isVisible());
}

// Backspace is a character too; the model's echo leaves the cursor where it was.
TEST_F(View, TypedCharactersGoThroughKeyPressAndClicksStepTheSpinButtons) {
    auto* edit = widget<QLineEdit>(*form->edit);
    QTest::keyClicks(edit, "1x2a3");
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClicks(edit, "9");
    EXPECT_EQ(form->edit->text(), "912A");
    EXPECT_EQ(form->keys, std::string("1x2a3\b9"));

    QTest::mouseClick(widget(*form->spin), Qt::LeftButton, {}, QPoint(6, 3));
    EXPECT_EQ(form->hour->text(), "1");
    QTest::mouseClick(widget(*form->spin), Qt::LeftButton, {}, QPoint(6, 18));
    EXPECT_EQ(form->hour->text(), "12");
}

TEST_F(View, ClicksReachTheModel) {
    QWidget* radio = widget(*form->radioA);
    // A double click as the desktop sends it: press, release, the double click, release.
    QTest::mouseClick(radio, Qt::LeftButton);
    QTest::mouseDClick(radio, Qt::LeftButton);
    QTest::mouseRelease(radio, Qt::LeftButton);
    QTest::mouseClick(widget(*form->check), Qt::LeftButton);
    QTest::mouseClick(widget(*form->button), Qt::LeftButton);
    EXPECT_EQ(form->log, (Log{"radio", "double", "check", "button"}));
    QTest::mouseClick(widget(*form->radioB), Qt::LeftButton);
    EXPECT_TRUE(form->radioB->checked());
    EXPECT_FALSE(widget<QRadioButton>(*form->radioA)->isChecked());

    auto* bar = widget(*form->notebook)->findChild<QTabBar*>();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    EXPECT_EQ(form->notebook->pageIndex(), 1);
    view.action(*form->toggle)->trigger();
    EXPECT_FALSE(form->toggle->checked());
    EXPECT_FALSE(view.action(*form->toggle)->isChecked());
}

// In the panel the hour box comes before the other box, against creation order.
TEST_F(View, FocusFollowsTheTabOrderAndCustomControlsGetMouseAndKeys) {
    widget(*form->hour)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(widget(*form->hour), Qt::Key_Tab);
    EXPECT_TRUE(form->edit->focused());
    QTest::keyClick(widget(*form->edit), Qt::Key_Tab);
    EXPECT_EQ(form->log, Log{"exit"});

    QWidget* w = widget(*form->recorder);
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseMove(w, QPoint(12, 6));
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(12, 6));
    w->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(form->recorder->focused());
    QTest::keyClick(w, Qt::Key_Space);
    Log& events = form->recorder->events;
    events.erase(std::unique(events.begin(), events.end()), events.end());
    EXPECT_EQ(events, (Log{"down 10,5", "move 12,6", "up 12,6", "key 4"}));
}

// A failing paint is reported once, after the paint, and the control shows its face colour.
TEST_F(View, ErrorsOfHandlersAndPaintsAreReportedOnce) {
    form->throwOnClick = true;
    QTest::mouseClick(widget(*form->button), Qt::LeftButton);
    form->recorder->failPaint = true;
    EXPECT_EQ(pixel(*form->recorder, 50, 15), QColor(192, 192, 192));
    widget(*form->recorder)->grab();
    QTest::qWait(50);
    ASSERT_EQ(services.boxes.size(), 2u);
    EXPECT_EQ(services.boxes[0].text, "Something went wrong.");
    EXPECT_EQ(services.boxes[1].text, "Paint failed.");
}

// The application title is the main window's icon name, from the attach on. Closing
// the window asks the model, which ends the program; the window goes with its form.
TEST_F(View, TheTitleClosingAndTheWindowsLifetime) {
    EXPECT_EQ(window()->windowIconText(), QStringLiteral("Tolvane Off"));
    view.setApplicationTitle("Tolvane @7:05AM");
    EXPECT_EQ(window()->windowIconText(), QStringLiteral("Tolvane @7:05AM"));
    window()->close();
    EXPECT_TRUE(app.terminated());
    EXPECT_TRUE(window()->isVisible());
    const ui::Edit* edit = form->edit;
    form.reset();
    EXPECT_EQ(view.widget(*edit), nullptr);  // only the address is used
}

// What a control shows as its text, for the kinds whose widget has one.
std::string textOf(const ui::Control& c) {
    if (auto* x = dynamic_cast<const ui::Label*>(&c)) return x->caption();
    if (auto* x = dynamic_cast<const ui::Button*>(&c)) return x->caption();
    if (auto* x = dynamic_cast<const ui::CheckBox*>(&c)) return x->caption();
    if (auto* x = dynamic_cast<const ui::RadioButton*>(&c)) return x->caption();
    if (auto* x = dynamic_cast<const ui::Edit*>(&c)) return x->text();
    return {};
}

void expectWidgetsFollow(const qt::QtView& view, const ui::Control& parent) {
    for (const ui::Control* c : parent.children()) {
        const QWidget* w = view.widget(*c);
        ASSERT_NE(w, nullptr) << c->name();
        // Pages sit inside the notebook's border, shown by its page index.
        if (!dynamic_cast<const ui::NotebookPage*>(c)) {
            const ui::Rect b = c->bounds();
            EXPECT_EQ(w->geometry(), QRect(b.left, b.top, b.width(), b.height())) << c->name();
            EXPECT_EQ(w->isHidden(), !c->visible()) << c->name();
        }
        EXPECT_EQ(w->property("text").toString().toStdString(), textOf(*c)) << c->name();
        EXPECT_EQ(w->font(), qt::toQFont(c->font())) << c->name();
        const ui::Color color = c->font().color;
        EXPECT_EQ(w->palette().color(w->foregroundRole()), QColor(color.r, color.g, color.b)) << c->name();
        expectWidgetsFollow(view, *c);
    }
}

using MainWindows = qttest::ProgramOnScreen;

// The program's two windows: every control of the model has a widget where the model
// puts it, showing its text in its font.
TEST_F(MainWindows, EveryControlHasItsWidgetWhereTheModelPutsIt) {
    start();
    for (const ui::Form* form : std::initializer_list<ui::Form*>{program.mainForm(), program.aboutForm()}) {
        const QWidget* window = view.window(*form);
        EXPECT_EQ(window->windowTitle().toStdString(), form->caption());
        EXPECT_EQ(window->isVisible(), form->visible());
        expectWidgetsFollow(view, *form);
    }
}

// The first show of a run: a program started with the session (minimised) shows its
// main window on the task bar without taking the focus, and the user brings it back
// from there; otherwise it comes up shown and active.
class FirstShow : public qttest::ProgramOnScreen, public ::testing::WithParamInterface<bool> {};

TEST_P(FirstShow, MinimisedOnlyWhenAskedAndBroughtBackByTheUser) {
    const bool minimised = GetParam();
    program.onFormCreated = [this](ui::Form& form) { view.attach(form); };
    program.onFormDestroying = [this](ui::Form& form) { view.detach(form); };
    program.start();
    app.setStartMinimised(minimised);
    app.queue().post([this] { app.terminate(); });
    EXPECT_EQ(app.run(), 0);
    QWidget* window = view.window(*form());
    EXPECT_TRUE(form()->visible());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->isMinimized(), minimised);
    // (Whether a minimised window takes the focus is the window manager's part: the
    // offscreen platform activates every window it shows.)
    if (minimised) {
        view.showMainWindow();
        EXPECT_FALSE(window->isMinimized());
    } else {
        EXPECT_EQ(app.activeForm(), form());
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    }
    // A show from the program (a second start brings it forward) restores it too.
    window->showMinimized();
    form()->show();
    EXPECT_FALSE(window->isMinimized());
}

INSTANTIATE_TEST_SUITE_P(Start, FirstShow, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& info) {
    return std::string(info.param ? "Minimised" : "Normal");
});

}  // namespace

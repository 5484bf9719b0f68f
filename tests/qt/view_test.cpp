#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QWheelEvent>

#include <memory>
#include <string>
#include <vector>

#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_view.h"
#include "tests/fakes/virtual_platform.h"
#include "tests/qt/qt_app.h"
#include "ui/application.h"
#include "ui/canvas.h"
#include "ui/controls.h"
#include "ui/exception.h"
#include "ui/form.h"

namespace {

using ui::FontFamily;
namespace colors = ui::colors;

template <class T>
T* place(ui::Component* parent, const char* name, int left, int top, int width, int height) {
    T* c = parent->add<T>(name);
    c->setBounds(left, top, width, height);
    return c;
}

class Recorder : public ui::CustomControl {
public:
    using ui::CustomControl::CustomControl;
    void paint(ui::Canvas& canvas) override {
        canvas.fillRect({0, 0, width(), height()}, focused() ? colors::red : colors::blue);
    }
    void mouseDown(ui::Point p) override { log("down", p); }
    void mouseMove(ui::Point p) override { log("move", p); }
    void mouseUp(ui::Point p) override { log("up", p); }
    void keyDown(ui::Key k) override { events.push_back("key " + std::to_string(static_cast<int>(k))); }
    bool wantsArrows() const override { return arrows; }

    std::vector<std::string> events;
    bool arrows = false;

private:
    void log(const char* what, ui::Point p) {
        events.push_back(std::string(what) + " " + std::to_string(p.x) + "," + std::to_string(p.y));
    }
};

class DemoForm : public ui::Form {
public:
    explicit DemoForm(ui::Application& app) : ui::Form(app, "DemoForm") {
        setCaption("Demo 1.0");
        setBounds(100, 120, 400, 300);
        setFont({FontFamily::Sans, 8, false, colors::windowText});

        line = place<ui::Shape>(this, "Line", 0, 0, 400, 1);
        line->setColors(colors::grey, colors::grey);
        label = place<ui::Label>(this, "Label", 8, 8, 60, 13);
        sized = place<ui::Label>(this, "Sized", 80, 8, 3, 16);
        sized->setAutoSize(true);
        sized->setFont({FontFamily::Sans, 10, false, colors::blue});

        panel = place<ui::Panel>(this, "Panel", 8, 30, 200, 80);
        panel->setBevels(ui::Bevel::Lowered, ui::Bevel::None);
        panel->setColor(colors::white);
        panel->setTabOrder(0);
        edit = place<ui::Edit>(panel, "Edit", 10, 10, 50, 21);
        edit->setTabOrder(1);
        edit->onKeyPress = [this](ui::Component*, char& key) {
            keys.push_back(key);
            if (key == 'x' || (key == '\b' && blockBackspace)) key = 0;
            if (key == 'a') key = 'A';
        };
        edit->onChange = [this](ui::Component*) { ++changes; };
        edit->onExit = [this](ui::Component*) { ++exits; };
        edit->onMouseMove = [this](ui::Component*, ui::Point p) { moves.push_back(p); };
        hour = place<ui::Edit>(panel, "Hour", 80, 10, 25, 21);
        hour->setTabOrder(0);
        spin = place<ui::UpDown>(panel, "Spin", 105, 10, 12, 21);
        spin->setRange(1, 12);
        spin->setPosition(12);
        spin->setWrap(true);
        spin->setAssociate(hour);
        readOnly = place<ui::Edit>(panel, "ReadOnly", 10, 40, 50, 21);
        readOnly->setReadOnly(true);
        readOnly->onKeyPress = [this](ui::Component*, char& key) {
            if (key == 'p') readOnly->setText("PM");
        };

        check = place<ui::CheckBox>(this, "Check", 8, 120, 80, 17);
        check->setCaption("&Loud");  // a click lands on the caption
        check->onClick = [this](ui::Component*) { ++checkClicks; };
        radioA = place<ui::RadioButton>(this, "RadioA", 8, 140, 80, 17);
        radioA->setCaption("Fi&rst");
        radioA->onClick = [this](ui::Component*) { ++aClicks; };
        radioA->onDblClick = [this](ui::Component*) { ++aDoubles; };
        radioB = place<ui::RadioButton>(this, "RadioB", 8, 160, 80, 17);
        radioB->setCaption("&Second");

        notebook = place<ui::TabbedNotebook>(this, "Notebook", 220, 8, 170, 130);
        notebook->setTabStop(true);
        page0 = notebook->addPage("&One");
        page1 = notebook->addPage("T&wo");
        inner = place<ui::Button>(page1, "Inner", 10, 10, 60, 25);
        scroll = place<ui::ScrollBox>(page0, "Scroll", 0, 0, 162, 98);
        scroll->setHorizontalBarVisible(false);
        memo = place<ui::Memo>(scroll, "Memo", 0, 0, 140, 200);
        memo->setLines({"first line", "", "third line"});

        button = place<ui::Button>(this, "Button", 160, 240, 75, 25);
        button->setCaption("&Press");
        button->setTabStop(true);
        button->setFont({FontFamily::Sans, 10, true, colors::grey});
        button->onClick = [this](ui::Component*) {
            ++buttonClicks;
            if (throwOnClick) throw ui::Error("Something went wrong");
        };

        recorder = place<Recorder>(this, "Recorder", 250, 160, 100, 30);
        recorder->setTabStop(true);

        menu = add<ui::MainMenu>("Menu");
        fileMenu = menu->addItem("FileMnu", "&File");
        toggle = fileMenu->addItem("Toggle", "&Toggle");
        toggle->setChecked(true);
        toggle->onClick = [this](ui::Component*) { toggle->setChecked(!toggle->checked()); };
        fileMenu->addItem("Break", "-");
        setMenu(menu);
    }

    ui::Shape* line;
    ui::Label *label, *sized;
    ui::Panel* panel;
    ui::Edit *edit, *hour, *readOnly;
    ui::UpDown* spin;
    ui::CheckBox* check;
    ui::RadioButton *radioA, *radioB;
    ui::TabbedNotebook* notebook;
    ui::NotebookPage *page0, *page1;
    ui::Button *inner, *button;
    ui::ScrollBox* scroll;
    ui::Memo* memo;
    Recorder* recorder;
    ui::MainMenu* menu;
    ui::MenuItem *fileMenu, *toggle;

    std::string keys;
    bool blockBackspace = false;
    bool throwOnClick = false;
    int changes = 0, exits = 0, checkClicks = 0, aClicks = 0, aDoubles = 0, buttonClicks = 0;
    std::vector<ui::Point> moves;
};

class View : public qttest::WithApplication, public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<DemoForm>(app);
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
    int menuHeight() const { return window()->height() - form->height(); }
    static QColor pixel(QWidget* w, int x, int y) { return w->grab().toImage().pixelColor(x, y); }

    qtui::QtEventLoop loop;
    fakes::ScriptedServices services;
    ui::Application app{loop, services};
    qtui::QtView view;
    std::unique_ptr<DemoForm> form;
};

TEST_F(View, LayoutFollowsTheBoundsBelowTheMenuBar) {
    EXPECT_GT(menuHeight(), 10);
    EXPECT_EQ(window()->geometry(), QRect(100, 120 - menuHeight(), 400, 300 + menuHeight()));
    EXPECT_EQ(window()->minimumSize(), window()->maximumSize());
    EXPECT_EQ(widget(*form->panel)->mapTo(window(), QPoint(0, 0)), QPoint(8, 30 + menuHeight()));
    EXPECT_EQ(window()->windowTitle(), QStringLiteral("Demo 1.0"));
    const Qt::WindowFlags flags = window()->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(widget(*form->edit)->geometry(), QRect(10, 10, 50, 21));
    EXPECT_EQ(widget(*form->edit)->parentWidget(), widget(*form->panel));
    // Pages sit below the tab row, inside the notebook's border.
    EXPECT_EQ(widget(*form->page1)->geometry(), QRect(4, 28, 162, 98));
    EXPECT_EQ(widget(*form->inner)->mapTo(widget(*form->notebook), QPoint(0, 0)), QPoint(14, 38));
}

TEST_F(View, FontsAreSetByPixelHeightAndCarryTheirColour) {
    EXPECT_EQ(widget(*form->label)->font().pixelSize(), 11);
    EXPECT_FALSE(widget(*form->label)->font().bold());
    EXPECT_EQ(widget(*form->button)->font().pixelSize(), 13);
    EXPECT_TRUE(widget(*form->button)->font().bold());
    EXPECT_EQ(widget(*form->button)->palette().color(QPalette::Active, QPalette::ButtonText), QColor(128, 128, 128));
    form->button->setFont({FontFamily::Sans, 10, true, colors::red});
    EXPECT_EQ(widget(*form->button)->palette().color(QPalette::Active, QPalette::ButtonText), QColor(255, 0, 0));

    // An auto-sized label measures its caption, an empty one as one blank.
    const QFontMetrics fm(widget(*form->sized)->font());
    EXPECT_EQ(form->sized->width(), fm.horizontalAdvance(QLatin1Char(' ')));
    form->sized->setCaption("Length:");
    EXPECT_EQ(form->sized->width(), fm.horizontalAdvance(QStringLiteral("Length:")));
    EXPECT_EQ(form->sized->height(), fm.height());
    EXPECT_EQ(widget(*form->sized)->width(), form->sized->width());
}

TEST_F(View, ShapesPanelsAndCustomControlsDrawInTheirExactColours) {
    EXPECT_EQ(pixel(widget(*form->line), 5, 0), QColor(128, 128, 128));
    QWidget* panel = widget(*form->panel);
    EXPECT_EQ(pixel(panel, 100, 75), QColor(255, 255, 255));  // the face
    EXPECT_EQ(pixel(panel, 0, 0), QColor(128, 128, 128));     // sunken: shadow top left
    EXPECT_EQ(pixel(panel, 199, 79), QColor(255, 255, 255));  // and light bottom right
    form->panel->setColor(colors::black);
    EXPECT_EQ(pixel(panel, 100, 75), QColor(0, 0, 0));
    EXPECT_EQ(pixel(widget(*form->recorder), 50, 15), QColor(0, 0, 255));
}

TEST_F(View, ModelChangesShowInTheWidgets) {
    form->edit->setText("42");
    EXPECT_EQ(widget<QLineEdit>(*form->edit)->text(), QStringLiteral("42"));
    EXPECT_EQ(form->changes, 1);  // the widget's echo does not come back
    EXPECT_EQ(widget<QLineEdit>(*form->hour)->text(), QStringLiteral("12"));

    form->radioA->setChecked(true);
    EXPECT_TRUE(widget<QRadioButton>(*form->radioA)->isChecked());
    form->radioB->setChecked(true);
    EXPECT_FALSE(widget<QRadioButton>(*form->radioA)->isChecked());
    EXPECT_TRUE(widget<QRadioButton>(*form->radioB)->isChecked());
    form->check->setChecked(true);
    EXPECT_TRUE(widget<QCheckBox>(*form->check)->isChecked());

    EXPECT_TRUE(widget(*form->page0)->isVisible());
    EXPECT_FALSE(widget(*form->page1)->isVisible());
    form->notebook->setPageIndex(1);
    EXPECT_EQ(widget(*form->notebook)->findChild<QTabBar*>()->currentIndex(), 1);
    EXPECT_FALSE(widget(*form->page0)->isVisible());
    EXPECT_TRUE(widget(*form->page1)->isVisible());

    form->edit->setFocus();
    EXPECT_TRUE(widget(*form->edit)->hasFocus());
    EXPECT_TRUE(form->edit->focused());
}

TEST_F(View, MemoScrollsInItsBoxWithoutHorizontalBar) {
    EXPECT_EQ(widget<QPlainTextEdit>(*form->memo)->toPlainText(), QStringLiteral("first line\n\nthird line"));
    auto* area = widget<QScrollArea>(*form->scroll);
    EXPECT_EQ(area->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(area->widget()->size(), QSize(140, 200));
    QWidget* memo = widget<QPlainTextEdit>(*form->memo)->viewport();
    const QPointF at(20, 20);
    QWheelEvent wheel(at, memo->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(memo, &wheel);
    EXPECT_GT(area->verticalScrollBar()->value(), 0);
}

TEST_F(View, TypedCharactersGoThroughKeyPressWhichMayCancelOrReplaceThem) {
    auto* edit = widget<QLineEdit>(*form->edit);
    QTest::keyClicks(edit, "1x2a3");
    EXPECT_EQ(edit->text(), QStringLiteral("12A3"));
    // Backspace is a character too, Delete is not.
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(form->edit->text(), "12A");
    form->blockBackspace = true;
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(form->edit->text(), "12A");
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_EQ(form->edit->text(), "2A");
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(form->keys, std::string("1x2a3\b\b\x16"));

    QTest::keyClick(widget(*form->readOnly), Qt::Key_P);  // read-only still hears keys
    EXPECT_EQ(widget<QLineEdit>(*form->readOnly)->text(), QStringLiteral("PM"));
}

TEST_F(View, ArrowKeysAndClicksStepThePairedSpinButtons) {
    auto* hour = widget<QLineEdit>(*form->hour);
    QTest::keyClick(hour, Qt::Key_Up);
    EXPECT_EQ(form->spin->position(), 1);
    EXPECT_EQ(hour->text(), QStringLiteral("1"));
    QTest::keyClick(hour, Qt::Key_Down);
    EXPECT_EQ(hour->text(), QStringLiteral("12"));
    QTest::mouseClick(widget(*form->spin), Qt::LeftButton, {}, QPoint(6, 3));
    EXPECT_EQ(form->hour->text(), "1");
    QTest::mouseClick(widget(*form->spin), Qt::LeftButton, {}, QPoint(6, 18));
    EXPECT_EQ(form->hour->text(), "12");
}

TEST_F(View, FocusFollowsTheDesignedTabOrderAndLeavingRaisesExit) {
    QTest::mouseMove(widget(*form->edit), QPoint(7, 9));
    ASSERT_FALSE(form->moves.empty());
    EXPECT_EQ(form->moves.back(), (ui::Point{7, 9}));
    // In the panel the hour box comes before the other box, against creation order.
    widget(*form->hour)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(widget(*form->hour), Qt::Key_Tab);
    EXPECT_TRUE(form->edit->focused());
    EXPECT_EQ(form->exits, 0);
    widget(*form->hour)->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(form->edit->focused());
    EXPECT_TRUE(form->hour->focused());
    EXPECT_EQ(form->exits, 1);
}

TEST_F(View, ClicksReachTheModel) {
    QTest::mouseClick(widget(*form->radioA), Qt::LeftButton);
    EXPECT_TRUE(form->radioA->checked());
    EXPECT_EQ(form->aClicks, 1);
    // A checked radio button stays checked and raises nothing more.
    QTest::mouseClick(widget(*form->radioA), Qt::LeftButton);
    EXPECT_TRUE(widget<QRadioButton>(*form->radioA)->isChecked());
    EXPECT_EQ(form->aClicks, 1);
    QTest::mouseClick(widget(*form->radioB), Qt::LeftButton);
    EXPECT_FALSE(widget<QRadioButton>(*form->radioA)->isChecked());

    QTest::mouseClick(widget(*form->check), Qt::LeftButton);
    EXPECT_TRUE(form->check->checked());
    EXPECT_TRUE(widget<QCheckBox>(*form->check)->isChecked());
    EXPECT_EQ(form->checkClicks, 1);

    QTest::mouseClick(widget(*form->button), Qt::LeftButton);
    EXPECT_EQ(form->buttonClicks, 1);

    auto* bar = widget(*form->notebook)->findChild<QTabBar*>();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    EXPECT_EQ(form->notebook->pageIndex(), 1);

    QAction* action = view.action(*form->toggle);
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(action->isChecked());
    action->trigger();
    EXPECT_FALSE(form->toggle->checked());
    EXPECT_FALSE(action->isChecked());
    action->trigger();
    EXPECT_TRUE(action->isChecked());
}

TEST_F(View, RadioDoubleClickIsAClickThenADoubleClick) {
    // What the desktop sends: press, release, the double click, release.
    QWidget* radio = widget(*form->radioA);
    QTest::mouseClick(radio, Qt::LeftButton);
    QTest::mouseDClick(radio, Qt::LeftButton);
    QTest::mouseRelease(radio, Qt::LeftButton);
    EXPECT_EQ(form->aClicks, 1);
    EXPECT_EQ(form->aDoubles, 1);
    EXPECT_TRUE(form->radioA->checked());
}

TEST_F(View, AcceleratorsReachButtonsPagesAndRadioButtons) {
    QTest::keyClick(window(), Qt::Key_P, Qt::AltModifier);
    QTest::keyClick(window(), Qt::Key_W, Qt::AltModifier);
    EXPECT_EQ(form->notebook->pageIndex(), 1);
    QTest::keyClick(window(), Qt::Key_R, Qt::AltModifier);
    QTest::qWait(300);  // accelerators animate the click
    EXPECT_EQ(form->buttonClicks, 1);
    EXPECT_TRUE(form->radioA->checked());
}

TEST_F(View, CustomControlGetsMouseAndKeysAndFocus) {
    QWidget* w = widget(*form->recorder);
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseMove(w, QPoint(12, 6));
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(12, 6));
    ASSERT_GE(form->recorder->events.size(), 3u);
    EXPECT_EQ(form->recorder->events.front(), "down 10,5");
    EXPECT_EQ(form->recorder->events.back(), "up 12,6");

    form->recorder->events.clear();
    w->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(form->recorder->focused());
    EXPECT_EQ(pixel(w, 50, 15), QColor(255, 0, 0));
    QTest::keyClick(w, Qt::Key_Left);  // not wanted: left to the parent
    QTest::keyClick(w, Qt::Key_Space);
    form->recorder->arrows = true;
    QTest::keyClick(w, Qt::Key_Right);
    EXPECT_EQ(form->recorder->events, (std::vector<std::string>{"key 4", "key 1"}));
}

TEST_F(View, ClosingTheMainWindowAsksTheModel) {
    window()->close();
    EXPECT_TRUE(app.terminated());
    EXPECT_TRUE(window()->isVisible());
}

TEST_F(View, ADisabledFormTakesNoInputButKeepsItsLookAndFocus) {
    widget(*form->edit)->setFocus(Qt::TabFocusReason);
    form->setEnabled(false);  // as around a box
    EXPECT_TRUE(widget(*form->button)->isEnabled());
    EXPECT_TRUE(widget(*form->edit)->hasFocus());
    EXPECT_EQ(form->exits, 0);
    QTest::mouseClick(widget(*form->button), Qt::LeftButton);
    QTest::keyClicks(widget(*form->edit), "1");
    EXPECT_EQ(form->buttonClicks, 0);
    EXPECT_EQ(form->edit->text(), "");
    form->setEnabled(true);
    QTest::mouseClick(widget(*form->button), Qt::LeftButton);
    EXPECT_EQ(form->buttonClicks, 1);
}

TEST_F(View, AnErrorInAHandlerGoesToTheErrorReport) {
    app.setTitle("Tolvane Off");
    form->throwOnClick = true;
    QTest::mouseClick(widget(*form->button), Qt::LeftButton);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].text, "Something went wrong.");
    EXPECT_EQ(services.boxes[0].caption, "Tolvane Off");
    EXPECT_EQ(services.boxes[0].flags, ui::mb::iconStop);
}

TEST_F(View, FormGoingAwayTakesItsWindowWithIt) {
    const ui::Edit* edit = form->edit;
    form.reset();
    EXPECT_EQ(view.widget(*edit), nullptr);  // only the address is used
}

TEST(ViewLifetime, ApplicationTitleIsTheIconNameAndAFormMayOutliveTheView) {
    qttest::application();
    qtui::QtEventLoop loop;
    fakes::ScriptedServices services;
    ui::Application app(loop, services);
    DemoForm form(app);
    {
        qtui::QtView view;
        view.setApplicationTitle("Tolvane Off");
        view.attach(form);
        EXPECT_EQ(view.window(form)->windowIconText(), QStringLiteral("Tolvane Off"));
        view.setApplicationTitle("Tolvane @7:05AM");
        EXPECT_EQ(view.window(form)->windowIconText(), QStringLiteral("Tolvane @7:05AM"));
        EXPECT_EQ(view.window(form)->windowTitle(), QStringLiteral("Demo 1.0"));
    }
    form.edit->setText("still fine");
    form.show();
    EXPECT_EQ(form.edit->text(), "still fine");
}

}  // namespace

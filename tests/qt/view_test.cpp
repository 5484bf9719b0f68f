// The Qt view: widgets follow the model, and the user's input reaches the model.
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

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/qt_view.h"
#include "tests/qt/qt_app.h"
#include "ui/canvas.h"
#include "ui/controls.h"
#include "ui/exception.h"
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

// Paints red while focused, else blue; logs mouse and keys.
class Recorder : public ui::CustomControl {
public:
    using ui::CustomControl::CustomControl;
    void paint(ui::Canvas& canvas) override {
        if (failPaint) throw ui::Error("Paint failed");
        canvas.fillRect({0, 0, width(), height()}, focused() ? colors::red : colors::blue);
    }
    void mouseDown(ui::Point p) override { log("down", p); }
    void mouseMove(ui::Point p) override { log("move", p); }
    void mouseUp(ui::Point p) override { log("up", p); }
    void keyDown(ui::Key k) override { events.push_back("key " + std::to_string(static_cast<int>(k))); }
    bool wantsArrows() const override { return arrows; }
    void log(const char* what, ui::Point p) {
        events.push_back(std::string(what) + " " + std::to_string(p.x) + "," + std::to_string(p.y));
    }

    Log events;
    bool arrows = false;
    bool failPaint = false;
};

class DemoForm : public ui::Form {
public:
    explicit DemoForm(ui::Application& app) : ui::Form(app, "DemoForm") {
        setCaption("Demo 1.0");
        setBounds(100, 120, 400, 300);
        sized->setAutoSize(true);
        panel->setBevels(ui::Bevel::Lowered, ui::Bevel::None);
        panel->setColor(colors::white);
        edit->setTabOrder(1);
        edit->onKeyPress = [this](ui::Component*, char& key) {
            keys.push_back(key);
            key = key == 'x' || (key == '\b' && blockBackspace) ? 0 : key == 'a' ? 'A' : key;
        };
        edit->onChange = logs("change");
        edit->onExit = logs("exit");
        edit->onMouseMove = [this](ui::Component*, ui::Point p) { recorder->log("edit", p); };
        hour->setTabOrder(0);
        spin->setRange(1, 12);
        spin->setPosition(12);
        spin->setWrap(true);
        spin->setAssociate(hour);
        check->onClick = logs("check");
        radioA->onClick = logs("radio");
        radioA->onDblClick = logs("double");
        scroll->setHorizontalBarVisible(false);
        memo->setLines({"first line", "", "third line"});
        button->onClick = [this](ui::Component*) {
            log.push_back("button");
            if (throwOnClick) throw ui::Error("Something went wrong");
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
    ui::ScrollBox* scroll = place<ui::ScrollBox>(page0, 0, 0, 162, 98);
    ui::Memo* memo = place<ui::Memo>(scroll, 0, 0, 140, 200);
    ui::Button* button = place<ui::Button>(this, 160, 240, 75, 25, "&Press");
    Recorder* recorder = place<Recorder>(this, 250, 160, 100, 30);
    ui::MenuItem* toggle;
    Log log;
    std::string keys;
    bool blockBackspace = false;
    bool throwOnClick = false;
};

class View : public qttest::QtTest {
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
    QColor pixel(const ui::Component& c, int x, int y) const { return widget(c)->grab().toImage().pixelColor(x, y); }

    qtui::QtView view;
    std::unique_ptr<DemoForm> form;
};

TEST_F(View, WidgetsTakeTheLayoutAndLookOfTheModel) {
    const int menu = window()->height() - form->height();
    EXPECT_GT(menu, 10);
    EXPECT_EQ(window()->geometry(), QRect(100, 120 - menu, 400, 300 + menu));
    EXPECT_EQ(window()->minimumSize(), window()->maximumSize());
    EXPECT_FALSE(window()->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(widget(*form->edit)->mapTo(window(), QPoint(0, 0)), QPoint(18, 40 + menu));
    // Pages sit below the tab row, inside the notebook's border.
    EXPECT_EQ(widget(*form->scroll)->mapTo(widget(*form->notebook), QPoint(0, 0)), QPoint(4, 28));
    // The memo has no bars of its own: its box scrolls, by the wheel too, never sideways.
    auto* area = widget<QScrollArea>(*form->scroll);
    EXPECT_EQ(area->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(area->widget()->size(), QSize(140, 200));
    QWheelEvent wheel({20, 20}, {}, {}, {0, -120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget<QPlainTextEdit>(*form->memo)->viewport(), &wheel);
    EXPECT_GT(area->verticalScrollBar()->value(), 0);

    // An auto-sized label measures its caption, an empty one as one blank.
    const QFontMetrics metrics(widget(*form->sized)->font());
    EXPECT_EQ(form->sized->width(), metrics.horizontalAdvance(QLatin1Char(' ')));
    form->sized->setCaption("Length:");
    EXPECT_EQ(widget(*form->sized)->size(), QSize(metrics.horizontalAdvance("Length:"), metrics.height()));

    EXPECT_EQ(pixel(*form->panel, 0, 0), QColor(128, 128, 128));     // sunken: shadow top left
    EXPECT_EQ(pixel(*form->panel, 199, 79), QColor(255, 255, 255));  // and light bottom right
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
    form->panel->setColor(colors::black);
    EXPECT_EQ(pixel(*form->panel, 100, 75), QColor(0, 0, 0));
    EXPECT_EQ(widget<QPlainTextEdit>(*form->memo)->toPlainText(), QStringLiteral("first line\n\nthird line"));

    EXPECT_TRUE(widget(*form->page0)->isVisible());
    form->notebook->setPageIndex(1);
    EXPECT_EQ(widget(*form->notebook)->findChild<QTabBar*>()->currentIndex(), 1);
    EXPECT_FALSE(widget(*form->page0)->isVisible());
    EXPECT_TRUE(widget(*form->page1)->isVisible());
    form->edit->setFocus();
    EXPECT_TRUE(widget(*form->edit)->hasFocus());
}

TEST_F(View, TypedCharactersGoThroughKeyPressAndArrowsStepTheSpinButtons) {
    auto* edit = widget<QLineEdit>(*form->edit);
    QTest::keyClicks(edit, "1x2a3");
    EXPECT_EQ(edit->text(), QStringLiteral("12A3"));
    // Backspace is a character too, Delete is not.
    QTest::keyClick(edit, Qt::Key_Backspace);
    form->blockBackspace = true;
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, "9");  // the model's echo leaves the cursor where it was
    EXPECT_EQ(form->edit->text(), "92A");
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(form->keys, std::string("1x2a3\b\b9\x16"));

    auto* hour = widget<QLineEdit>(*form->hour);
    QTest::keyClick(hour, Qt::Key_Up);
    EXPECT_EQ(hour->text(), QStringLiteral("1"));
    QTest::keyClick(hour, Qt::Key_Down);
    EXPECT_EQ(form->spin->position(), 12);
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
    EXPECT_TRUE(form->check->checked());
    EXPECT_TRUE(widget<QCheckBox>(*form->check)->isChecked());
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

TEST_F(View, FocusFollowsTheTabOrderAndCustomControlsGetMouseAndKeys) {
    // In the panel the hour box comes before the other box, against creation order.
    widget(*form->hour)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(widget(*form->hour), Qt::Key_Tab);
    EXPECT_TRUE(form->edit->focused());
    widget(*form->hour)->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(form->hour->focused());
    EXPECT_EQ(form->log, Log{"exit"});

    QWidget* w = widget(*form->recorder);
    QTest::mouseMove(widget(*form->edit), QPoint(7, 9));
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseMove(w, QPoint(12, 6));
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(12, 6));
    w->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(form->recorder->focused());
    EXPECT_EQ(pixel(*form->recorder, 50, 15), QColor(255, 0, 0));
    QTest::keyClick(w, Qt::Key_Left);  // not wanted: left to the parent
    QTest::keyClick(w, Qt::Key_Space);
    form->recorder->arrows = true;
    QTest::keyClick(w, Qt::Key_Right);
    Log& events = form->recorder->events;
    events.erase(std::unique(events.begin(), events.end()), events.end());
    EXPECT_EQ(events, (Log{"edit 7,9", "down 10,5", "move 12,6", "up 12,6", "key 4", "key 1"}));
}

TEST_F(View, ADisabledFormTakesNoInputButKeepsItsLookAndFocus) {
    widget(*form->edit)->setFocus(Qt::TabFocusReason);
    form->setEnabled(false);  // as around a box
    EXPECT_TRUE(widget(*form->button)->isEnabled());
    EXPECT_TRUE(widget(*form->edit)->hasFocus());
    QTest::keyClicks(widget(*form->edit), "1");
    QTest::mouseClick(widget(*form->button), Qt::LeftButton);
    window()->close();
    EXPECT_EQ(form->edit->text(), "");
    EXPECT_EQ(std::count(form->log.begin(), form->log.end(), "button"), 0);
    EXPECT_FALSE(app.terminated());
    form->setEnabled(true);
    QTest::mouseClick(widget(*form->button), Qt::LeftButton);
    EXPECT_EQ(form->log.back(), "button");
    // Closing the window asks the model, which ends the program and keeps the window.
    window()->close();
    EXPECT_TRUE(app.terminated());
    EXPECT_TRUE(window()->isVisible());
}

// Errors go to the error report. A failing paint is reported once, after the paint, and
// the control shows its face colour.
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

// The application title is the main window's icon name, from the attach on; a window
// goes with its form, and a form may outlive its view.
TEST_F(View, TheTitleAndTheLifetimesOfViewsAndForms) {
    view.setApplicationTitle("Tolvane @7:05AM");
    EXPECT_EQ(window()->windowIconText(), QStringLiteral("Tolvane @7:05AM"));
    EXPECT_EQ(window()->windowTitle(), QStringLiteral("Demo 1.0"));
    const ui::Edit* edit = form->edit;
    form.reset();
    EXPECT_EQ(view.widget(*edit), nullptr);  // only the address is used
    DemoForm other(app);
    {
        qtui::QtView shortLived;
        shortLived.setApplicationTitle("Tolvane Off");
        shortLived.attach(other);
        EXPECT_EQ(shortLived.window(other)->windowIconText(), QStringLiteral("Tolvane Off"));
    }
    other.edit->setText("still fine");
    other.show();
}

}  // namespace

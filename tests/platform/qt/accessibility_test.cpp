// The main window as assistive tools see it: named controls, the transport bar's drawn
// buttons as buttons of their own that can be pressed, and a clock that is read when
// asked and never announced.
#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QTabBar>
#include <QTest>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "tests/platform/qt/program_on_screen.h"

namespace {

QString nameOf(QAccessibleInterface* iface) { return iface->text(QAccessible::Name); }

// Every interface below `root`, depth first.
void walk(QAccessibleInterface* root, const std::function<void(QAccessibleInterface*)>& visit) {
    visit(root);
    for (int i = 0; i < root->childCount(); ++i) {
        if (QAccessibleInterface* child = root->child(i)) walk(child, visit);
    }
}

QAccessibleInterface* find(QAccessibleInterface* root, QAccessible::Role role, const QString& name) {
    QAccessibleInterface* found = nullptr;
    walk(root, [&](QAccessibleInterface* i) {
        if (!found && i->role() == role && nameOf(i) == name) found = i;
    });
    return found;
}

class Accessibility : public qttest::ProgramOnScreen {
protected:
    void SetUp() override {
        start("[Saved Settings]\nLastType=Wave\nLastWave=/sounds/wake.wav\nLastFileName=/sounds/wake.wav\n");
        root = QAccessible::queryAccessibleInterface(view.window(*form()));
        ASSERT_NE(root, nullptr);
    }

    QAccessibleInterface* of(const ui::Control& c) const {
        return QAccessible::queryAccessibleInterface(view.widget(c));
    }
    void press(QAccessibleInterface* button) const {
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }

    QAccessibleInterface* root = nullptr;
};

// With a wave file open only Play, Next and Prev are live; Step, Back and Record are
// hidden. Play pressed by its action plays, as a click would, and Pause and Stop come
// alive; a dead button's press and one an OnClick handler refuses send nothing.
TEST_F(Accessibility, TheTransportBarsButtonsAreButtonsThatPress) {
    QAccessibleInterface* bar = find(root, QAccessible::ToolBar, "Player");
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->childCount(), 9);
    const QStringList names{"Play", "Pause", "Stop", "Next", "Previous", "Step", "Back", "Record", "Eject"};
    const QString live = "Play Next Previous", shown = "Play Pause Stop Next Previous Eject";
    for (int i = 0; i < 9; ++i) {
        QAccessibleInterface* button = bar->child(i);
        SCOPED_TRACE(names[i].toStdString());
        EXPECT_EQ(button->role(), QAccessible::PushButton);
        EXPECT_EQ(nameOf(button), names[i]);
        EXPECT_EQ(button->state().disabled, !live.contains(names[i]));
        EXPECT_EQ(button->state().invisible, !shown.contains(names[i]));
        EXPECT_EQ(bar->indexOfChild(button), i);
        EXPECT_EQ(button->actionInterface()->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    }
    // Six 29-pixel buttons that share their edge columns.
    const QPoint origin = view.widget(*form()->MediaPlayer)->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(bar->child(3)->rect(), QRect(origin + QPoint(3 * 28, 0), QSize(29, 30)));
    EXPECT_EQ(bar->childAt(origin.x() + 3 * 28 + 14, origin.y() + 10), bar->child(3));
    EXPECT_TRUE(bar->child(5)->rect().isEmpty());

    QAccessibleInterface* play = bar->child(0);
    QAccessibleInterface* stop = bar->child(2);
    device.clearRequests();
    press(stop);
    EXPECT_EQ(device.count(mci::MCI_STOP), 0u);
    press(play);
    EXPECT_EQ(device.count(mci::MCI_PLAY), 1u);
    EXPECT_TRUE(play->state().disabled);
    EXPECT_FALSE(stop->state().disabled);

    form()->MediaPlayer->onClick = [](ui::Component*, mci::TMPBtnType, bool& doDefault) { doDefault = false; };
    press(stop);
    EXPECT_EQ(device.count(mci::MCI_STOP), 0u);
}

// Tab from the notebook's tabs reaches the transport bar, on Play. Tools read the
// button the arrow keys move to as the bar's focused child (that they are told of each
// move is checked on the real bus); Space presses the focused button.
TEST_F(Accessibility, TheKeyboardReachesTheTransportBarAndToolsReadItsFocus) {
    QAccessibleInterface* bar = find(root, QAccessible::ToolBar, "Player");
    ASSERT_NE(bar, nullptr);
    auto* tabs = view.widget(*form()->TabbedNotebook)->findChild<QTabBar*>();
    tabs->setFocus(Qt::TabFocusReason);
    QTest::keyClick(tabs, Qt::Key_Tab);
    EXPECT_TRUE(form()->MediaPlayer->focused());
    EXPECT_EQ(nameOf(bar->focusChild()), "Play");
    QWidget* w = view.widget(*form()->MediaPlayer);
    QTest::keyClick(w, Qt::Key_Right);
    QTest::keyClick(w, Qt::Key_Right);
    EXPECT_EQ(nameOf(bar->focusChild()), "Stop");
    EXPECT_TRUE(bar->child(2)->state().focused);
    EXPECT_FALSE(bar->child(0)->state().focused);
    QTest::keyClick(w, Qt::Key_Left);
    QTest::keyClick(w, Qt::Key_Left);
    // Held down, Space presses once.
    device.clearRequests();
    for (bool repeat : {false, true, true}) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), repeat);
        QApplication::sendEvent(w, &down);
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
        QApplication::sendEvent(w, &up);
    }
    EXPECT_EQ(device.count(mci::MCI_PLAY), 1u);
}

// The About box closes with Return and with Escape, from wherever its focus is.
TEST_F(Accessibility, TheAboutBoxClosesFromTheKeyboard) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        form()->AboutMnuClick(form()->AboutMnu);
        QWidget* about = view.window(*program.aboutForm());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : about, key);
        EXPECT_FALSE(program.aboutForm()->visible()) << key;
    }
}

// Every control a user can reach has a name and a role; the clock's text is the time
// whenever it is asked for (that a tick announces nothing is checked on the real bus:
// this platform sends no events); the message box is labelled by its label, the time
// row is named, and its spin buttons step by their actions.
TEST_F(Accessibility, EveryControlIsNamedAndReadsWhatItShows) {
    QAccessibleInterface* clockPanel = of(*form()->TimePanel);
    clock.advanceTo(7, 5, 1);
    form()->ClockTimerTimer(form()->ClockTimer);
    EXPECT_EQ(clockPanel->role(), QAccessible::StaticText);
    EXPECT_EQ(clockPanel->text(QAccessible::Description), "Clock");
    EXPECT_EQ(nameOf(clockPanel).toStdString(), form()->TimePanel->caption());
    QAccessibleTextInterface* text = clockPanel->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(0, text->characterCount()), nameOf(clockPanel));

    form()->TabbedNotebook->setPageIndex(1);
    walk(root, [](QAccessibleInterface* i) {
        const QAccessible::Role role = i->role();
        if (i->state().invisible || role == QAccessible::Client || role == QAccessible::Separator ||
            role == QAccessible::ScrollBar || role == QAccessible::MenuBar)
            return;
        EXPECT_FALSE(nameOf(i).isEmpty()) << "role " << i->role() << " under " << nameOf(i->parent()).toStdString();
    });

    QAccessibleInterface* message = of(*form()->MessageEdit);
    EXPECT_EQ(nameOf(message), "Message Text:");
    const auto labels = message->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].first, of(*form()->MsgLabel));

    QAccessibleInterface* ampm = of(*form()->AMPMUpDown);
    EXPECT_EQ(ampm->role(), QAccessible::SpinBox);
    EXPECT_EQ(nameOf(ampm), "AM or PM");
    EXPECT_EQ(nameOf(of(*form()->AlarmHourEdit)), "Alarm hour");
    ampm->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
    EXPECT_EQ(form()->AlarmAMPMEdit->text(), "PM");
    EXPECT_EQ(ampm->valueInterface()->currentValue().toInt(), 1);
}

}  // namespace

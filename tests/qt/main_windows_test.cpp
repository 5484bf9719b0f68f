// The program's two windows on the Qt view, with the test fakes behind them.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <memory>

#include "forms/program.h"
#include "platform/locale/system_clock.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_view.h"
#include "tests/fakes/memory_profile_store.h"
#include "tests/fakes/scripted_device.h"
#include "tests/fakes/virtual_platform.h"
#include "tests/qt/qt_app.h"
#include "ui/application.h"

namespace {

class MainWindows : public qttest::WithApplication, public ::testing::Test {
protected:
    void SetUp() override {
        program = std::make_unique<Program>(app, MainFormServices{device, store, clock, locale});
        program->onFormCreated = [this](ui::Form& form) { view.attach(form); };
        program->onFormDestroying = [this](ui::Form& form) { view.detach(form); };
        program->start();
        ASSERT_NE(program->mainForm(), nullptr);
        main()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window(*main())));
        window(*main())->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window(*main())));
    }

    TMainForm* main() const { return program->mainForm(); }
    TAboutForm* about() const { return program->aboutForm(); }
    QWidget* window(const ui::Form& f) const { return view.window(f); }
    QWidget* widget(const ui::Component& c) const { return view.widget(c); }
    // The client area below the menu bar, in screen coordinates.
    QRect client(const ui::Form& f) const {
        QWidget* w = window(f);
        const int menu = w->height() - f.height();
        return QRect(w->geometry().left(), w->geometry().top() + menu, w->width(), w->height() - menu);
    }

    qtui::QtEventLoop loop;
    fakes::ScriptedServices services;
    ui::Application app{loop, services};
    qtui::QtView view;
    fakes::ScriptedDevice device;
    fakes::MemoryProfileStore store;
    regional::SystemClock clock;
    fakes::FixedLocale locale;
    std::unique_ptr<Program> program;
};

TEST_F(MainWindows, BothWindowsHaveTheirDesignedLayoutAndFollowTheModel) {
    EXPECT_EQ(client(*main()), QRect(193, 147, 417, 270));
    EXPECT_EQ(window(*main())->windowTitle(), QStringLiteral("Tolvane 1.2"));
    EXPECT_FALSE(window(*main())->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(client(*about()), QRect(270, 209, 293, 167));
    const Qt::WindowFlags aboutFlags = window(*about())->windowFlags();
    EXPECT_EQ(aboutFlags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_FALSE(aboutFlags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(window(*about())->isVisible());
    EXPECT_EQ(widget(*main()->TimePanel)->geometry(), QRect(16, 8, 385, 65));
    EXPECT_EQ(widget(*main()->TimePanel)->font().pixelSize(), 64);
    EXPECT_EQ(widget(*main()->OnOffBtn)->geometry(), QRect(160, 240, 75, 25));
    EXPECT_EQ(widget(*main()->AlarmHourEdit)->geometry(), QRect(24, 16, 25, 21));
    EXPECT_EQ(widget(*main()->MediaPlayer)->geometry(), QRect(21, 45, 169, 30));
    EXPECT_EQ(widget(*main()->InfoMemo)->size(), QSize(297, 210));
    EXPECT_EQ(widget(*about()->OKButton)->geometry(), QRect(104, 140, 75, 25));
    EXPECT_EQ(widget(*about()->EmailLabel)->palette().color(QPalette::Active, QPalette::WindowText),
              QColor(0, 128, 128));

    QTest::keyClick(window(*main()), Qt::Key_T, Qt::AltModifier);
    EXPECT_EQ(main()->TabbedNotebook->pageIndex(), 2);
    QTest::keyClick(window(*main()), Qt::Key_A, Qt::AltModifier);
    QTest::qWait(300);
    ASSERT_FALSE(services.boxes.empty());  // nothing to sound yet: the ALARM button warns
    EXPECT_EQ(services.boxes.back().caption, "WARNING!");
    view.action(*main()->AboutMnu)->trigger();
    EXPECT_TRUE(window(*about())->isVisible());
    QTest::mouseClick(widget(*about()->OKButton), Qt::LeftButton);
    EXPECT_FALSE(window(*about())->isVisible());

    main()->TabbedNotebook->setPageIndex(0);
    main()->AlarmMinuteEdit->setText("05");
    EXPECT_EQ(static_cast<QLineEdit*>(widget(*main()->AlarmMinuteEdit))->text(), QStringLiteral("05"));
    auto* hour = static_cast<QLineEdit*>(widget(*main()->AlarmHourEdit));
    hour->setFocus();
    hour->setCursorPosition(2);
    QTest::keyClicks(hour, "x");
    EXPECT_EQ(main()->AlarmHourEdit->text(), "12");  // letters are refused
    hour->selectAll();
    QTest::keyClicks(hour, "7");
    EXPECT_EQ(main()->AlarmHourUpDown->position(), 7);
    QTest::mouseClick(widget(*main()->CDRadioButton), Qt::LeftButton);
    EXPECT_TRUE(main()->CDRadioButton->checked());
    EXPECT_TRUE(static_cast<QRadioButton*>(widget(*main()->CDRadioButton))->isChecked());
    QAction* save = view.action(*main()->SaveSettingsMnu);
    const bool before = main()->SaveSettingsMnu->checked();
    EXPECT_EQ(save->isChecked(), before);
    save->trigger();
    EXPECT_EQ(main()->SaveSettingsMnu->checked(), !before);
    EXPECT_EQ(save->isChecked(), !before);
}

}  // namespace

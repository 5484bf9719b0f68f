// The program's two windows on the Qt view, over fake services, with the main window
// shown: the base of the tests that look at them as the user sees them.
#pragma once

#include <QTest>

#include "forms/program.h"
#include "platform/qt/qt_view.h"
#include "tests/fakes/memory_profile_store.h"
#include "tests/fakes/scripted_device.h"
#include "tests/qt/qt_app.h"

namespace qttest {

class ProgramWindows : public QtTest {
protected:
    void SetUp() override {
        program.onFormCreated = [this](ui::Form& form) { view.attach(form); };
        program.onFormDestroying = [this](ui::Form& form) { view.detach(form); };
        program.start();
        program.mainForm()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.window(*program.mainForm())));
    }

    qtui::QtView view;
    fakes::ScriptedDevice device;
    fakes::MemoryProfileStore store;
    fakes::VirtualLoop clock;
    fakes::FixedLocale locale;
    fakes::RecordingTone tone;
    fakes::RecordingInhibitor sleep;
    Program program{app, MainFormServices{device, store, clock, locale, tone, sleep}};
};

}  // namespace qttest

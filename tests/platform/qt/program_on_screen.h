// The whole program in the Qt view, over the fakes of its devices and settings.
#pragma once

#include <QTest>

#include <string>

#include "forms/program.h"
#include "platform/qt/qt_view.h"
#include "tests/fakes/memory_profile_store.h"
#include "tests/fakes/scripted_device.h"
#include "tests/platform/qt/qt_app.h"

namespace qttest {

class ProgramOnScreen : public QtTest {
protected:
    // Starts the program from the settings file's text and shows the main window.
    void start(const std::string& settings = {}) {
        if (!settings.empty()) store.setFileText(forms::TMainForm::settingsFile, settings);
        program.onFormCreated = [this](ui::Form& form) { view.attach(form); };
        program.onFormDestroying = [this](ui::Form& form) { view.detach(form); };
        program.start();
        form()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.window(*form())));
    }
    forms::TMainForm* form() const { return program.mainForm(); }

    qt::QtView view;
    fakes::ScriptedDevice device;
    fakes::MemoryProfileStore store;
    fakes::VirtualLoop clock;
    fakes::FixedLocale locale;
    fakes::RecordingTone tone;
    fakes::RecordingInhibitor sleep;
    fakes::RecordingVolume volume;
    fakes::RecordingSessionStart session;
    forms::Program program{app, forms::MainFormServices{device, store, clock, locale, tone, sleep, volume, session}};
};

}  // namespace qttest

// The whole program in the Win32 view, over the fakes of its devices and settings.
#pragma once

#include <windows.h>

#include <string>

#include "forms/program.h"
#include "platform/win32/win32_view.h"
#include "tests/fakes/memory_profile_store.h"
#include "tests/fakes/scripted_device.h"
#include "tests/fakes/virtual_platform.h"
#include "ui/application.h"

namespace win32test {

// Boxes are answered by the test; the title goes to the view as the program's own
// services send it.
class TitledServices : public fakes::ScriptedServices {
public:
    void applicationTitleChanged(const std::string& title) override {
        if (view) view->setApplicationTitle(title);
    }
    win32::Win32View* view = nullptr;
};

// Runs the messages waiting for this thread's windows.
inline void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

struct ProgramInWindows {
    ProgramInWindows() {
        start();
        program.mainForm()->show();
        pumpMessages();
    }
    // Shows the main window as a run does, minimised when the program was started
    // with the session, and ends the run at once.
    struct Run {
        bool minimised;
    };
    explicit ProgramInWindows(Run run) {
        start();
        app.setStartMinimised(run.minimised);
        app.queue().post([this] { app.terminate(); });
        app.run();
        pumpMessages();
    }
    void start() {
        services.view = &view;
        program.onFormCreated = [this](ui::Form& form) { view.attach(form); };
        program.onFormDestroying = [this](ui::Form& form) { view.detach(form); };
        program.start();
    }
    HWND hwnd(const ui::Component& c) const { return static_cast<HWND>(view.widget(c)); }

    win32::Win32View view;
    fakes::VirtualLoop clock;
    TitledServices services;
    ui::Application app{clock, services};
    fakes::ScriptedDevice device;
    fakes::MemoryProfileStore store;
    fakes::FixedLocale locale;
    fakes::RecordingTone tone;
    fakes::RecordingInhibitor sleep;
    fakes::RecordingVolume volume;
    fakes::RecordingSessionStart session;
    forms::Program program{app, forms::MainFormServices{device, store, clock, locale, tone, sleep, volume, session}};
};

}  // namespace win32test

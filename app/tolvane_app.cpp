#include "app/tolvane_app.h"

#include <QApplication>
#include <QWidget>

#include "forms/program.h"
#include "platform/locale/locale_info.h"
#include "platform/locale/system_clock.h"
#include "platform/mcidev/device_manager.h"
#include "platform/profile/file_profile_store.h"
#include "platform/qt/qt_event_loop.h"
#include "platform/qt/qt_view.h"
#include "platform/qt/qt_window_services.h"
#include "ui/application.h"

int runTolvane(int& argc, char** argv, const StartupHooks& hooks) {
    // The window is small and repaints one panel a second: plain X requests copy that
    // cheaply, while shared-memory images cost the X event thread and the main thread
    // an extra wake-up for every repaint's completion event.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication qtApplication(argc, argv);
    QApplication::setApplicationName("Tolvane");
    QApplication::setDesktopFileName("tolvane");

    qtui::QtEventLoop loop;
    qtui::QtView view;
    qtui::QtWindowServices windowServices(view);
    ui::Application application(loop, windowServices);

    regional::SystemClock clock;
    regional::QtLocaleInfo locale;
    profile::FileProfileStore profiles;
    auto media = mcidev::createDeviceManager(loop.queue(), mcidev::DeviceOptions{});

    Program program(application, MainFormServices{*media, profiles, clock, locale});
    program.onFormCreated = [&](ui::Form& form) {
        view.attach(form);
        if (&form == program.mainForm() && hooks.mainWindowCreated) {
            if (QWidget* window = view.window(form)) hooks.mainWindowCreated(*window);
        }
    };
    program.onFormDestroying = [&view](ui::Form& form) { view.detach(form); };
    program.start();
    program.run();
    return 0;
}

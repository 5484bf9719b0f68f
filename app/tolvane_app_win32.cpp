#include "app/tolvane_app.h"

#include "forms/program.h"
#include "platform/locale/win32_locale.h"
#include "platform/mcidev/winmm_devices.h"
#include "platform/power/win32_power.h"
#include "platform/profile/file_profile_store.h"
#include "platform/win32/win32_platform.h"
#include "sys/event_loop.h"
#include "ui/application.h"
#include "ui/form.h"

namespace app {

int runTolvane(int& /*argc*/, char** /*argv*/, const StartupHooks& hooks) {
    win32::Win32Platform platform;
    if (!platform.claimInstance()) return 0;
    ui::Application application(platform.loop(), platform.services());

    locale::Win32Clock clock;
    locale::Win32LocaleInfo locale;
    profile::FileProfileStore profiles;
    auto media = mcidev::createDeviceInterface(platform.loop().queue());
    const auto tone = mcidev::createAlarmTone();
    const auto sleep = power::createSleepInhibitor();
    forms::Program program(application, forms::MainFormServices{*media, profiles, clock, locale, *tone, *sleep});
    program.onFormCreated = [&platform](ui::Form& form) { platform.attach(form); };
    program.onFormDestroying = [&platform](ui::Form& form) { platform.detach(form); };
    // A log-off or shut-down closes the main window as the user would, and the program
    // shuts down before Windows may end the process: the sound stops and the settings
    // are saved.
    platform.onSessionEnd([&application, &program] {
        application.dispatch([&application] {
            if (ui::Form* main = application.mainForm()) main->close();
        });
        program.shutdown();
    });
    program.start();
    if (hooks.windowsCreated) hooks.windowsCreated();
    program.run();
    return 0;
}

}  // namespace app

#include "app/tolvane_app.h"

#include <string_view>

#include "forms/program.h"
#include "platform/locale/win32_locale.h"
#include "platform/mcidev/winmm_devices.h"
#include "platform/power/win32_power.h"
#include "platform/profile/file_profile_store.h"
#include "platform/session/session_start.h"
#include "platform/volume/output_volume.h"
#include "platform/win32/win32_platform.h"
#include "sys/event_loop.h"
#include "ui/application.h"
#include "ui/form.h"

namespace app {

int runTolvane(int& argc, char** argv, const StartupHooks& hooks) {
    win32::Win32Platform platform;
    if (!platform.claimInstance()) return 0;
    ui::Application application(platform.loop(), platform.services());
    // The Run key's command asks for a minimised window; started by hand it opens as always.
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == session::minimisedArgument) application.setStartMinimised(true);

    locale::Win32Clock clock;
    locale::Win32LocaleInfo locale;
    profile::FileProfileStore profiles;
    auto media = mcidev::createDeviceInterface(platform.loop().queue());
    const auto tone = mcidev::createAlarmTone();
    const auto sleep = power::createSleepInhibitor();
    // Each reading of the clock converts afresh, so only the waking timer, set for a
    // moment of the old clock, needs telling of a new time or zone.
    platform.onClockChanged([&sleep] { sleep->clockChanged(); });
    const auto outputVolume = volume::createOutputVolume();
    const auto sessionStart = session::createSessionStart();
    forms::Program program(application, forms::MainFormServices{*media, profiles, clock, locale, *tone, *sleep,
                                                                *outputVolume, *sessionStart});
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

#include "app/tolvane_app.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "forms/program.h"
#include "platform/locale/locale_info.h"
#include "platform/locale/system_clock.h"
#include "platform/locale/zone_watcher.h"
#include "platform/mcidev/device_manager.h"
#include "platform/power/qt_sleep_inhibitor.h"
#include "platform/profile/file_profile_store.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_stop_signals.h"
#include "platform/session/session_start.h"
#include "platform/volume/output_volume.h"
#include "sys/event_loop.h"
#include "sys/window_services.h"
#include "ui/application.h"
#include "ui/form.h"

namespace app {

int runTolvane(int& argc, char** argv, const StartupHooks& hooks) {
    qt::QtPlatform platform(argc, argv);
    profile::FileProfileStore profiles;
    // One clock per settings file: a second one would save over the first's changes.
    if (!platform.claimInstance(profiles.pathOf(forms::TMainForm::settingsFile).string())) {
        if (const std::string where = platform.instanceElsewhere(); !where.empty()) {
            const std::string text = "Tolvane is already running on display " + where +
                                     ", with the same settings. Use it there, or end it before starting "
                                     "Tolvane here.";
            std::fprintf(stderr, "tolvane: %s\n", text.c_str());
            platform.services().messageBox(text, "Tolvane", sys::mb::ok | sys::mb::iconExclamation);
        }
        return 0;
    }
    ui::Application application(platform.loop(), platform.services());
    // Ctrl+C, a logout or `kill` close the main window as the user would: the sound
    // stops and the settings are saved.
    const qt::StopSignals stopSignals([&application] {
        application.dispatch([&application] {
            if (ui::Form* main = application.mainForm()) main->close();
        });
    });

    // The entry that starts the program with the desktop session asks for a minimised
    // window; started by hand it opens as always.
    for (int i = 1; i < argc; ++i)
        if (std::string_view(argv[i]) == session::minimisedArgument) application.setStartMinimised(true);

    locale::SystemClock clock;
    locale::QtLocaleInfo locale;
    // The devices and the alarm tone share one output, so the tone mixes with a sound.
    mcidev::DeviceOptions mediaOptions;
    mediaOptions.output = mcidev::makeSdlOutput();
    auto media = mcidev::createDeviceManager(platform.loop().queue(), mediaOptions);
    const auto tone = mcidev::makeAlarmTone(mediaOptions.output);
    power::WakeOptions wake;
    wake.noWakeNotice = [&platform](const std::string& text) { platform.services().notify(text); };
    const auto sleep = power::createSleepInhibitor({}, std::move(wake));
    // A new time zone shows at the next tick (each reading converts afresh); a wake-up
    // set for the old zone's clock is set again.
    const locale::ZoneWatcher zoneWatcher([&sleep] { sleep->clockChanged(); });
    const auto outputVolume = volume::createOutputVolume();
    const auto sessionStart = session::createSessionStart();
    forms::Program program(application, forms::MainFormServices{*media, profiles, clock, locale, *tone, *sleep,
                                                                *outputVolume, *sessionStart});
    program.onFormCreated = [&platform](ui::Form& form) { platform.attach(form); };
    program.onFormDestroying = [&platform](ui::Form& form) { platform.detach(form); };
    program.start();
    if (hooks.windowsCreated) hooks.windowsCreated();
    program.run();
    return 0;
}

}  // namespace app

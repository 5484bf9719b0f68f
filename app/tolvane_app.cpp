#include "app/tolvane_app.h"

#include "forms/program.h"
#include "platform/locale/locale_info.h"
#include "platform/locale/system_clock.h"
#include "platform/mcidev/device_manager.h"
#include "platform/profile/file_profile_store.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_sleep_inhibitor.h"
#include "ui/application.h"
#include "ui/event_loop.h"

namespace {
class NoTone final : public ui::AlarmTone {
public:
    std::string start() override { return "the built-in tone is not available"; }
    void stop() override {}
    bool sounding() const override { return false; }
};
}  // namespace

int runTolvane(int& argc, char** argv, const StartupHooks& hooks) {
    qtui::QtPlatform platform(argc, argv);
    if (!platform.claimInstance()) return 0;
    ui::Application application(platform.loop(), platform.services());

    regional::SystemClock clock;
    regional::QtLocaleInfo locale;
    profile::FileProfileStore profiles;
    auto media = mcidev::createDeviceManager(platform.loop().queue(), mcidev::DeviceOptions{});

    NoTone tone;
    const auto sleepInhibitor = qtui::createSleepInhibitor();
    ui::SleepInhibitor& sleep = *sleepInhibitor;
    Program program(application, MainFormServices{*media, profiles, clock, locale, tone, sleep});
    program.onFormCreated = [&platform](ui::Form& form) { platform.attach(form); };
    program.onFormDestroying = [&platform](ui::Form& form) { platform.detach(form); };
    program.start();
    if (hooks.windowsCreated) hooks.windowsCreated();
    program.run();
    return 0;
}

// The alarm as the user lives it, with the built-in tone: the program's own pieces
// (the Qt platform, off screen; the devices and the alarm tone over one SDL output
// playing into a private PulseAudio null sink; the settings in a scratch folder) start
// with a wave alarm armed for the minute that begins two to three seconds later. The
// wave file is then emptied, so at that minute its play fails and the built-in tone
// rings. Only the clock differs from the program's: it is the system clock moved on by
// a whole number of seconds, so the tick, which follows the real whole seconds, still
// falls on the moved clock's seconds.
//
// Per run, from the instant the alarm minute begins (in real time) to the first loud
// frame handed to the output, and to the first loud sample at the sink's monitor (an
// upper bound: it includes the monitor's own delivery). A run also checks that the
// error report names the emptied file. One warm-up run, then the counted ones, each
// with a fresh program.
//
//   alarm_bench [runs]      (default 10)
//
// Without pulseaudio or parec it prints a skip line and succeeds.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/support/sink_probe.h"
#include "forms/program.h"
#include "platform/locale/locale_info.h"
#include "platform/locale/system_clock.h"
#include "platform/mcidev/alarm_tone.h"
#include "platform/mcidev/device_manager.h"
#include "platform/profile/file_profile_store.h"
#include "platform/qt/qt_platform.h"
#include "sys/event_loop.h"
#include "tests/platform/mcidev/media_fixture.h"
#include "ui/application.h"

namespace {

using namespace std::chrono_literals;
using bench::Clock;
using std::chrono::system_clock;

// The system clock, moved on by whole seconds.
class ShiftedClock final : public sys::Clock {
public:
    explicit ShiftedClock(std::chrono::seconds shift) : shift_(shift) {}
    sys::LocalTime now() const override { return locale::toLocalTime(system_clock::now() + shift_); }

private:
    std::chrono::seconds shift_;
};

class NoSleepInhibitor final : public sys::SleepInhibitor {
public:
    void inhibit(const std::string&, sys::WakeTime) override {}
    void release() override {}
};

// The bench measures the program's own path to the sound; the machine's output level
// and session are left alone.
class UntouchedVolume final : public sys::OutputVolume {
public:
    Change makeAudible() override { return {}; }
    void restore() override {}
};

class NoSessionStart final : public sys::SessionStart {
public:
    std::string setRegistered(bool) override { return {}; }
};

// An alarm minute that begins at a whole real second two to three seconds from now:
// the next whole minute after that second, reached early by moving the clock on.
struct AlarmPlan {
    std::chrono::seconds shift{};
    Clock::time_point begins;  // the real instant the moved clock enters the minute
    sys::LocalTime minute;     // the alarm minute on the moved clock
};

AlarmPlan planAlarm() {
    using namespace std::chrono;
    const auto realNow = system_clock::now();
    const auto steadyNow = Clock::now();
    const auto start = ceil<seconds>(realNow) + 2s;
    const auto minute = ceil<minutes>(start);
    return {duration_cast<seconds>(minute - start), steadyNow + duration_cast<Clock::duration>(start - realNow),
            locale::toLocalTime(minute)};
}

// The settings of a user who chose the wave file and armed the alarm for `at`.
void writeSettings(const std::filesystem::path& folder, const std::filesystem::path& wave, const sys::LocalTime& at) {
    std::filesystem::create_directories(folder);
    std::ofstream ini(folder / forms::TMainForm::settingsFile);
    ini << "[Saved Settings]\nLastType=Wave\nLastFileName=" << wave.string() << "\nLastWave=" << wave.string()
        << "\nAudioChecked=1\nMsgChecked=0\nAlarmOn=1\nAlarmHour=" << (at.hour % 12 == 0 ? 12 : at.hour % 12)
        << "\nAlarmMin=" << at.minute << "\nAlarmAMPM=" << (at.hour < 12 ? 0 : 1) << "\n";
}

struct RunResult {
    std::string problem;  // why the run does not count; empty when it does
    double toOutputMs = -1;
    double atSinkMs = -1;
};

// The error box now open, when it names `file`; closes it.
bool closeReportNaming(const std::filesystem::path& file) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->text().contains(QString::fromStdString(file.string()))) return false;
    box->done(QMessageBox::Ok);
    return true;
}

RunResult runOnce(qt::QtPlatform& platform, bench::LoudnessProbe& probe, const std::filesystem::path& folder,
                  int index) {
    const auto wave = mcitest::writeWave(folder / ("wake" + std::to_string(index) + ".wav"), {});
    const AlarmPlan plan = planAlarm();
    writeSettings(folder / "config", wave, plan.minute);

    ui::Application application(platform.loop(), platform.services());
    const ShiftedClock clock(plan.shift);
    const locale::QtLocaleInfo locale;
    profile::FileProfileStore profiles(folder / "config");
    const auto output = std::make_shared<bench::WatchedOutput>();
    mcidev::DeviceOptions mediaOptions;
    mediaOptions.output = output;
    const auto media = mcidev::createDeviceManager(platform.loop().queue(), mediaOptions);
    const auto tone = mcidev::makeAlarmTone(output);
    NoSleepInhibitor sleep;
    UntouchedVolume volume;
    NoSessionStart session;
    forms::Program program(application,
                           forms::MainFormServices{*media, profiles, clock, locale, *tone, sleep, volume, session});
    program.onFormCreated = [&platform](ui::Form& form) { platform.attach(form); };
    program.onFormDestroying = [&platform](ui::Form& form) { platform.detach(form); };
    program.start();
    std::filesystem::resize_file(wave, 0);

    RunResult result;
    if (Clock::now() > plan.begins - 500ms) result.problem = "the program started too late for its alarm minute";
    // The sink and the output are watched from shortly before the minute (the sink
    // has long been silent by then) until the tone is heard and reported, or 3 s.
    bool armed = false;
    bool reported = false;
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        if (!armed && now >= plan.begins - 300ms) {
            armed = true;
            output->arm();
            probe.arm();
        }
        reported = reported || closeReportNaming(wave);
        Clock::time_point heard;
        if (now < plan.begins + 3s && !(reported && probe.waitHeard(0ms, heard))) return;
        watch.stop();
        application.terminate();
    });
    watch.start();
    program.run();

    Clock::time_point handed, heard;
    if (output->waitLoud(0ms, handed)) result.toOutputMs = bench::millisecondsBetween(plan.begins, handed);
    if (probe.waitHeard(0ms, heard)) result.atSinkMs = bench::millisecondsBetween(plan.begins, heard);
    if (!result.problem.empty()) return result;
    if (result.atSinkMs < 0) result.problem = "no sound at the sink within 3 s of the alarm minute";
    if (!reported) result.problem = "no error report naming the emptied file";
    return result;
}

int skip(const std::string& why) {
    std::printf("alarm_fallback_skipped: 1 flag\n");
    std::fprintf(stderr, "alarm_bench: %s\n", why.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const mcitest::TempFolder folder;
    if (const std::string missing = mcitest::SoundServer::missingTools(); !missing.empty()) return skip(missing);
    // The server points this process at a runtime folder of its own, which also keeps
    // a program the user runs from answering the instance check below.
    std::filesystem::create_directories(folder / "runtime");
    std::filesystem::permissions(folder / "runtime", std::filesystem::perms::owner_all);
    mcitest::SoundServer server(folder / "runtime");
    if (std::string error; !server.start(error)) return skip(error);
    bench::LoudnessProbe probe;
    if (!probe.start()) return skip("parec did not start");
    ::setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    qt::QtPlatform platform(argc, argv);
    if (!platform.claimInstance((folder / "tolvan.ini").string())) {
        std::fprintf(stderr, "alarm_bench: another instance answered in the private runtime folder\n");
        return 1;
    }
    std::vector<double> toOutput, atSink;
    int failures = 0;
    for (int i = 0; i <= runs; ++i) {
        const RunResult r = runOnce(platform, probe, folder.path(), i);
        if (i == 0) continue;  // the warm-up: libraries loaded, the sink awake
        if (!r.problem.empty()) {
            ++failures;
            std::fprintf(stderr, "alarm_bench: run %d: %s\n", i, r.problem.c_str());
            continue;
        }
        atSink.push_back(r.atSinkMs);
        if (r.toOutputMs >= 0) toOutput.push_back(r.toOutputMs);
    }
    std::printf("alarm_output: pulseaudio-null-sink driver\n");
    bench::printLatency("alarm_fallback_to_sink", atSink);
    bench::printLatency("alarm_fallback_to_output", toOutput);
    std::printf("alarm_fallback_failures: %d runs\n", failures);
    return 0;
}

// The Windows system services, run under Wine in the cross build.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/profile/file_profile_store.h"
#include "platform/win32/win32_event_loop.h"
#include "platform/win32/win32_locale.h"
#include "platform/win32/win32_power.h"
#include "platform/win32/win32_single_instance.h"
#include "platform/win32/win32_window_services.h"
#include "tests/support/temp_folder.h"
#include "ui/message_queue.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// ---- The time format ----------------------------------------------------------------

struct FormatCase {
    const char* name;
    const wchar_t* pattern;
    const char* expected;  // see describe()
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.name; }

// "12" or "24" hours, "0" for a leading zero, "<" for the designator first, then the
// separator in brackets and the designators.
std::string describe(const ui::TimeFormatSettings& s) {
    return std::string(s.twelveHour ? "12" : "24") + (s.leadingZero ? "0" : "") + (s.designatorFirst ? "<" : "") +
           " [" + s.separator + "] " + s.am + "/" + s.pm;
}

class TimeFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(TimeFormat, FollowsThePattern) {
    EXPECT_EQ(describe(win32ui::analyseTimeFormat(GetParam().pattern, "AM", "PM")), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Patterns, TimeFormat,
                         testing::Values(FormatCase{"UnitedStates", L"h:mm:ss tt", "12 [:] AM/PM"},
                                         FormatCase{"LeadingZeroDesignatorFirst", L"tt hh.mm.ss", "120< [.] AM/PM"},
                                         FormatCase{"OneLetterDesignator", L"h:mm:ss t", "12 [:] A/P"},
                                         FormatCase{"TwentyFourHours", L"HH:mm:ss", "240 [:] AM/PM"},
                                         // 'h' is a 12-hour clock with or without a designator in the pattern.
                                         FormatCase{"TwelveHoursWithoutDesignator", L"h:mm:ss", "12 [:] AM/PM"},
                                         FormatCase{"QuotedSeparator", L"H'h'mm'm'ss", "24 [h] AM/PM"},
                                         FormatCase{"QuotedQuote", L"H'''.'mm", "24 ['.] AM/PM"},
                                         FormatCase{"NoMinutesKeepsColon", L"HH", "240 [:] AM/PM"}),
                         [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

// ---- The message loop ----------------------------------------------------------------

double secondsNow() {
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    const auto units = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<double>(units % 864'000'000'000ull) / 1e7;
}

// How far past the whole second it is, in milliseconds.
double offsetPastSecond() {
    const double s = secondsNow();
    return (s - static_cast<long long>(s)) * 1000.0;
}

// What the system's own modal loops do: get and dispatch until told to stop.
void modalLoop(const bool& done) {
    MSG msg;
    while (!done && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

class Loop : public testing::Test {
protected:
    win32ui::Win32EventLoop loop;
    std::vector<double> offsets;
};

// Expiries land just after each whole second, one wake-up each, and a clock change
// runs the timer at once; an error escaping the callback reaches the queue.
TEST_F(Loop, WallClockTimerFiresJustAfterTheSecond) {
    int errors = 0;
    loop.queue().setDispatcher([&errors](const ui::MessageQueue::Task& task) {
        try {
            task();
        } catch (const std::runtime_error&) {
            ++errors;
        }
    });
    loop.startTimer(1000ms, ui::TimerPhase::WallClockSecond, [this] {
        offsets.push_back(offsetPastSecond());
        if (offsets.size() == 3) loop.quit(7);
        throw std::runtime_error("from a tick");
    });
    const auto wakeUpsBefore = loop.wakeUps();
    EXPECT_EQ(loop.run(), 7);
    ASSERT_EQ(offsets.size(), 3u);
    for (const double ms : offsets) EXPECT_LT(ms, 50.0) << "an expiry well after the second";
    EXPECT_LE(loop.wakeUps() - wakeUpsBefore, 3u + 3u) << "more than one wake-up a tick";
    EXPECT_EQ(errors, 3);
}

// Posted tasks and the wall-clock tick keep going inside a modal loop the program does
// not run, and quit() ends it and then run().
TEST_F(Loop, TasksAndTicksRunInsideAModalLoop) {
    bool done = false;
    int ticks = 0;
    std::vector<int> order;
    loop.startTimer(1000ms, ui::TimerPhase::WallClockSecond, [&] {
        if (++ticks == 1) {
            loop.modalLoop(true);
            loop.queue().post([&order] { order.push_back(1); });
            modalLoop(done);
            loop.modalLoop(false);
            order.push_back(3);
        } else if (ticks == 2) {
            order.push_back(2);
            done = true;
            loop.quit(0);
        }
    });
    EXPECT_EQ(loop.run(), 0);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

// A quit before run() makes the next run() return at once; free timers tick.
TEST_F(Loop, FreeTimerTicksAndEarlyQuitReturnsAtOnce) {
    loop.quit(3);
    EXPECT_EQ(loop.run(), 3);
    int ticks = 0;
    const ui::TimerId id = loop.startTimer(20ms, ui::TimerPhase::Free, [&] {
        if (++ticks == 3) loop.quit(1);
    });
    EXPECT_EQ(loop.run(), 1);
    loop.stopTimer(id);
    EXPECT_EQ(ticks, 3);
}

// Not run by default: tools for the measurements (--gtest_also_run_disabled_tests).
TEST_F(Loop, DISABLED_MeasureTickOffsetAndIdleWakeUps) {
    const int ticks = 60;
    loop.startTimer(1000ms, ui::TimerPhase::WallClockSecond, [&] {
        offsets.push_back(offsetPastSecond());
        if (static_cast<int>(offsets.size()) == ticks) loop.quit(0);
    });
    loop.run();
    std::vector<double> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    std::printf("tick offset over %d ticks: p50 %.3f ms, p99 %.3f ms, max %.3f ms; wake-ups %.2f/s\n", ticks,
                sorted[sorted.size() / 2], sorted[sorted.size() * 99 / 100], sorted.back(),
                static_cast<double>(loop.wakeUps()) / ticks);
}

// ---- Settings on disk ----------------------------------------------------------------

// Bare names live in the roaming application data; a read-only file is refused and
// kept, and no temporary file stays.
TEST(SettingsFile, LivesInApplicationDataAndKeepsAReadOnlyFile) {
    const fs::path path = profile::FileProfileStore().pathOf("tolvan.ini");
    EXPECT_EQ(path.parent_path().filename(), "Tolvane");
    EXPECT_TRUE(path.is_absolute()) << path;

    mcitest::TempFolder folder;
    std::ofstream(folder / "tolvan.ini", std::ios::binary) << "[s]\nk=old\n";
    SetFileAttributesW((folder / "tolvan.ini").c_str(), FILE_ATTRIBUTE_READONLY);
    profile::ProfileEdits edits;
    edits.writeString("s", "k", "new");
    EXPECT_EQ(profile::FileProfileStore(folder.path()).save("tolvan.ini", edits), EACCES);
    SetFileAttributesW((folder / "tolvan.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 1);
    EXPECT_EQ(profile::FileProfileStore(folder.path()).save("tolvan.ini", edits), 0);
    EXPECT_EQ(profile::FileProfileStore(folder.path()).readString("tolvan.ini", "s", "k", ""), "new");
}

// ---- Power ---------------------------------------------------------------------------

std::string text(const ui::LocalTime& t) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
    return buffer;
}

class RecordedPower : public win32ui::PowerControl {
public:
    explicit RecordedPower(std::vector<std::string>& log) : log_(log) {}
    void keepAwake(bool on) override { log_.push_back(on ? "awake" : "may sleep"); }
    void wakeAt(const std::optional<ui::LocalTime>& when) override {
        log_.push_back(when ? "wake " + text(*when) : "no wake");
    }
    ui::LocalTime now() override { return {2026, 12, 31, 23, 30, 10, 0}; }

private:
    std::vector<std::string>& log_;
};

TEST(Power, HeldWhileArmedAndWakesForTheNextAlarmMinute) {
    std::vector<std::string> log;
    auto inhibitor = win32ui::createSleepInhibitor(std::make_unique<RecordedPower>(log));
    inhibitor->inhibit("Alarm set for 11:45PM", {23, 45});
    inhibitor->inhibit("Alarm set for 11:45PM", {23, 45});
    inhibitor->inhibit("Alarm set for 11:30PM", {23, 30});
    inhibitor->release();
    inhibitor->release();
    inhibitor->inhibit("Alarm set for 6:00AM", {6, 0});
    inhibitor.reset();
    EXPECT_EQ(log, (std::vector<std::string>{"awake", "wake 2026-12-31 23:45", "wake 2027-01-01 23:30", "no wake",
                                             "may sleep", "awake", "wake 2027-01-01 06:00", "no wake", "may sleep"}));
    EXPECT_EQ(text(win32ui::nextOccurrence({2028, 2, 28, 12, 0, 0, 0}, {7, 0})), "2028-02-29 07:00");
}

// ---- Single instance and the file dialog's filter -----------------------------------

// A second start with the same key steps back and has the first show its window.
TEST(SingleInstance, SecondStartAsksTheFirstToShow) {
    const std::string key = "Tolvane-test-" + std::to_string(GetCurrentProcessId());
    win32ui::SingleInstance first(key), second(key);
    int shown = 0;
    first.onShow = [&shown] { ++shown; };
    ASSERT_TRUE(first.claim());
    EXPECT_FALSE(second.claim());
    MSG msg;
    for (int i = 0; i < 100 && shown == 0; ++i) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
    }
    EXPECT_EQ(shown, 1);
    // The user's key names a mutex in the session's namespace, not another namespace.
    const std::string userKey = win32ui::SingleInstance::userKey();
    EXPECT_GT(userKey.size(), std::string("Tolvane-").size());
    EXPECT_EQ(userKey.find('\\'), std::string::npos);
}

TEST(FileDialog, FilterBecomesANulSeparatedList) {
    using namespace std::string_literals;
    EXPECT_EQ(win32ui::dialogFilter("Wave (*.wav)|*.wav|Music|*.mid;*.rmi"),
              L"Wave (*.wav)\0*.wav\0Music\0*.mid;*.rmi\0\0"s);
    EXPECT_EQ(win32ui::dialogFilter(""), L"\0\0"s);
}

}  // namespace

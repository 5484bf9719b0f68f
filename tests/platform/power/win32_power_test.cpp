// Keeping Windows awake while an alarm is armed, and the waking time it asks for.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/power/win32_power.h"

namespace {

std::string text(const sys::LocalTime& t) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
    return buffer;
}

class RecordedPower : public power::PowerControl {
public:
    RecordedPower(std::vector<std::string>& log, sys::LocalTime& clock) : log_(log), clock_(clock) {}
    void keepAwake(bool on) override { log_.push_back(on ? "awake" : "may sleep"); }
    void wakeAt(const std::optional<sys::LocalTime>& when) override {
        log_.push_back(when ? "wake " + text(*when) : "no wake");
    }
    sys::LocalTime now() override { return clock_; }

private:
    std::vector<std::string>& log_;
    sys::LocalTime& clock_;
};

// A change of the clock or zone sets the timer again, for the local clock as it reads
// then; with nothing armed it changes nothing.
TEST(Power, HeldWhileArmedAndWakesForTheNextAlarmMinute) {
    std::vector<std::string> log;
    sys::LocalTime clock{2026, 12, 31, 23, 30, 10, 0};
    auto inhibitor = power::createSleepInhibitor(std::make_unique<RecordedPower>(log, clock));
    inhibitor->inhibit("Alarm set for 11:45PM", {23, 45});
    inhibitor->inhibit("Alarm set for 11:45PM", {23, 45});
    inhibitor->inhibit("Alarm set for 11:30PM", {23, 30});
    clock.hour = 22;  // a zone two hours further west
    inhibitor->clockChanged();
    inhibitor->release();
    inhibitor->release();
    inhibitor->clockChanged();
    inhibitor->inhibit("Alarm set for 6:00AM", {6, 0});
    inhibitor.reset();
    EXPECT_EQ(log, (std::vector<std::string>{"awake", "wake 2026-12-31 23:45", "wake 2027-01-01 23:30",
                                             "wake 2026-12-31 23:30", "no wake", "may sleep", "awake",
                                             "wake 2027-01-01 06:00", "no wake", "may sleep"}));
    EXPECT_EQ(text(power::nextOccurrence({2028, 2, 28, 12, 0, 0, 0}, {7, 0})), "2028-02-29 07:00");
}

}  // namespace

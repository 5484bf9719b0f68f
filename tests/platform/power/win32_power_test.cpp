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
    explicit RecordedPower(std::vector<std::string>& log) : log_(log) {}
    void keepAwake(bool on) override { log_.push_back(on ? "awake" : "may sleep"); }
    void wakeAt(const std::optional<sys::LocalTime>& when) override {
        log_.push_back(when ? "wake " + text(*when) : "no wake");
    }
    sys::LocalTime now() override { return {2026, 12, 31, 23, 30, 10, 0}; }

private:
    std::vector<std::string>& log_;
};

TEST(Power, HeldWhileArmedAndWakesForTheNextAlarmMinute) {
    std::vector<std::string> log;
    auto inhibitor = power::createSleepInhibitor(std::make_unique<RecordedPower>(log));
    inhibitor->inhibit("Alarm set for 11:45PM", {23, 45});
    inhibitor->inhibit("Alarm set for 11:45PM", {23, 45});
    inhibitor->inhibit("Alarm set for 11:30PM", {23, 30});
    inhibitor->release();
    inhibitor->release();
    inhibitor->inhibit("Alarm set for 6:00AM", {6, 0});
    inhibitor.reset();
    EXPECT_EQ(log, (std::vector<std::string>{"awake", "wake 2026-12-31 23:45", "wake 2027-01-01 23:30", "no wake",
                                             "may sleep", "awake", "wake 2027-01-01 06:00", "no wake", "may sleep"}));
    EXPECT_EQ(text(power::nextOccurrence({2028, 2, 28, 12, 0, 0, 0}, {7, 0})), "2028-02-29 07:00");
}

}  // namespace

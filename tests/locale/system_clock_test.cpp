#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/locale/system_clock.h"

namespace {

using namespace std::chrono;

TEST(SystemClock, LocalFieldsFollowTheZoneAndKeepMilliseconds) {
    const char* saved = std::getenv("TZ");
    const std::string tz = saved ? saved : "";
    const sys_days dec7 = sys_days{year{2026} / 12 / 7};
    setenv("TZ", "CET-1", 1);
    tzset();
    EXPECT_EQ(regional::toLocalTime(dec7 + 24 * 24h + 23h + 30min + 999ms), (ui::LocalTime{2027, 1, 1, 0, 30, 0, 999}));
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(regional::toLocalTime(dec7 + 12h - 1us), (ui::LocalTime{2026, 12, 7, 11, 59, 59, 999}));
    saved ? setenv("TZ", tz.c_str(), 1) : unsetenv("TZ");
    tzset();
}

}  // namespace

// The locale long time format, and the local clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/locale/locale_info.h"
#include "platform/locale/system_clock.h"

namespace {

using locale::QtLocaleInfo;

// The rules of a pattern are the clock's own (see tests/sys); here, what Qt gives for
// real locales, and the designator's case changed beyond ASCII.
TEST(TimeFormat, FollowsThePattern) {
    EXPECT_EQ(locale::analyseTimeFormat("h:mm:ss AP", "\u03c0.\u03bc.", "\u03bc.\u03bc."),
              (sys::TimeFormatSettings{true, false, false, "\u03a0.\u039c.", "\u039c.\u039c.", ":"}));
    EXPECT_EQ(QtLocaleInfo("en_US").timeFormat(), sys::TimeFormatSettings::unitedStates());
    EXPECT_EQ(QtLocaleInfo("de_DE").timeFormat(), (sys::TimeFormatSettings{false, true, false, "AM", "PM", ":"}));
    const sys::TimeFormatSettings korean = QtLocaleInfo("ko_KR").timeFormat();
    EXPECT_TRUE(korean.twelveHour && korean.designatorFirst);
}

TEST(SystemClock, LocalFieldsFollowTheZoneAndKeepMilliseconds) {
    using namespace std::chrono;
    const char* saved = std::getenv("TZ");
    const std::string tz = saved ? saved : "";
    const sys_days dec7 = sys_days{year{2026} / 12 / 7};
    setenv("TZ", "CET-1", 1);
    tzset();
    EXPECT_EQ(locale::toLocalTime(dec7 + 24 * 24h + 23h + 30min + 999ms),
              (sys::LocalTime{2027, 1, 1, 0, 30, 0, 999, 60}));
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(locale::toLocalTime(dec7 + 12h - 1us), (sys::LocalTime{2026, 12, 7, 11, 59, 59, 999}));
    saved ? setenv("TZ", tz.c_str(), 1) : unsetenv("TZ");
    tzset();
}

}  // namespace

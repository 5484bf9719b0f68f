// The locale long time format, and the local clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/locale/locale_info.h"
#include "platform/locale/system_clock.h"

namespace {

using locale::QtLocaleInfo;

// "12" or "24" hours, "0" for a leading zero, "<" for the designator first, then
// the separator in brackets and the designators.
std::string describe(const sys::TimeFormatSettings& s) {
    return std::string(s.twelveHour ? "12" : "24") + (s.leadingZero ? "0" : "") + (s.designatorFirst ? "<" : "") +
           " [" + s.separator + "] " + s.am + "/" + s.pm;
}

// The rules of a pattern are the clock's own (see tests/sys); here, what Qt gives for
// real locales, and the designator's case changed beyond ASCII.
TEST(TimeFormat, FollowsThePattern) {
    EXPECT_EQ(describe(locale::analyseTimeFormat("h:mm:ss AP", "\u03c0.\u03bc.", "\u03bc.\u03bc.")),
              "12 [:] \u03a0.\u039c./\u039c.\u039c.");
    EXPECT_EQ(QtLocaleInfo("en_US").timeFormat(), sys::TimeFormatSettings::unitedStates());
    EXPECT_EQ(describe(QtLocaleInfo("de_DE").timeFormat()), "240 [:] AM/PM");
    EXPECT_EQ(describe(QtLocaleInfo("ko_KR").timeFormat()).substr(0, 3), "12<");
}

TEST(SystemClock, LocalFieldsFollowTheZoneAndKeepMilliseconds) {
    using namespace std::chrono;
    const char* saved = std::getenv("TZ");
    const std::string tz = saved ? saved : "";
    const sys_days dec7 = sys_days{year{2026} / 12 / 7};
    setenv("TZ", "CET-1", 1);
    tzset();
    EXPECT_EQ(locale::toLocalTime(dec7 + 24 * 24h + 23h + 30min + 999ms), (sys::LocalTime{2027, 1, 1, 0, 30, 0, 999}));
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(locale::toLocalTime(dec7 + 12h - 1us), (sys::LocalTime{2026, 12, 7, 11, 59, 59, 999}));
    saved ? setenv("TZ", tz.c_str(), 1) : unsetenv("TZ");
    tzset();
}

}  // namespace

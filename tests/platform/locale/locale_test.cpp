// The locale long time format, and the local clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

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

TEST(TimeFormat, FollowsThePattern) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"h:mm:ss AP t", "12 [:] AM/PM"},
        {"hh:mm:ss ap", "120 [:] am/pm"},
        {"Ap hh.mm.ss", "120< [.] Am/Pm"},
        // 'h' without a designator counts 0 to 23; 'H' does even beside one.
        {"h:mm:ss", "24 [:] Am/Pm"},
        {"HH:mm:ss AP", "240 [:] AM/PM"},
        // Without minutes the usual separator stays; quoted text is literal.
        {"HH", "240 [:] Am/Pm"},
        {"HH'h'mm'm'ss", "240 [h] Am/Pm"}};
    for (const auto& [pattern, expected] : cases) {
        EXPECT_EQ(describe(locale::analyseTimeFormat(pattern, "Am", "Pm")), expected) << pattern;
    }
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

// The user's long time format on Windows, read from the locale's time pattern.
#include <gtest/gtest.h>

#include <string>

#include "platform/locale/win32_locale.h"

namespace {

// "12" or "24" hours, "0" for a leading zero, "<" for the designator first, then the
// separator in brackets and the designators.
std::string describe(const sys::TimeFormatSettings& s) {
    return std::string(s.twelveHour ? "12" : "24") + (s.leadingZero ? "0" : "") + (s.designatorFirst ? "<" : "") +
           " [" + s.separator + "] " + s.am + "/" + s.pm;
}

// The rules of a pattern are the clock's own (see tests/sys); here, the system's wide
// pattern read in its own letters.
TEST(TimeFormat, FollowsThePattern) {
    EXPECT_EQ(describe(locale::analyseTimeFormat(L"tt hh'\u00b7'mm'\u00b7'ss", "AM", "PM")), "120< [\u00b7] AM/PM");
}

}  // namespace

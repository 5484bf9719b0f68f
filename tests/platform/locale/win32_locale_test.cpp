// The user's long time format on Windows, read from the locale's time pattern.
#include <gtest/gtest.h>

#include "platform/locale/win32_locale.h"

namespace {

// The rules of a pattern are the clock's own (see tests/sys); here, the system's wide
// pattern read in its own letters.
TEST(TimeFormat, FollowsThePattern) {
    EXPECT_EQ(locale::analyseTimeFormat(L"tt hh'\u00b7'mm'\u00b7'ss", "AM", "PM"),
              (sys::TimeFormatSettings{true, true, true, "AM", "PM", "\u00b7"}));
}

}  // namespace

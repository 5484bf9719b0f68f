// The user's long time format on Windows, read from the locale's time pattern, and the
// local clock.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>

#include "platform/locale/win32_locale.h"

namespace {

// The rules of a pattern are the clock's own (see tests/sys); here, the system's wide
// pattern read in its own letters.
TEST(TimeFormat, FollowsThePattern) {
    EXPECT_EQ(locale::analyseTimeFormat(L"tt hh'\u00b7'mm'\u00b7'ss", "AM", "PM"),
              (sys::TimeFormatSettings{true, true, true, "AM", "PM", "\u00b7"}));
}

// A reading between two milliseconds, in a zone ahead of UTC and one behind it: the
// offset is whole minutes either way.
TEST(Win32Clock, SplitsAReadingInTheZoneGiven) {
    const SYSTEMTIME noon{2026, 12, 1, 7, 12, 0, 0, 999};
    FILETIME file{};
    ASSERT_TRUE(SystemTimeToFileTime(&noon, &file));
    const std::uint64_t at = ((static_cast<std::uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime) + 5'000;
    TIME_ZONE_INFORMATION kolkata{};
    kolkata.Bias = -330;
    TIME_ZONE_INFORMATION newYork{};
    newYork.Bias = 300;
    EXPECT_EQ(locale::toLocalTime(at, &kolkata), (sys::LocalTime{2026, 12, 7, 17, 30, 0, 999, 330}));
    EXPECT_EQ(locale::toLocalTime(at, &newYork), (sys::LocalTime{2026, 12, 7, 7, 0, 0, 999, -300}));
}

}  // namespace

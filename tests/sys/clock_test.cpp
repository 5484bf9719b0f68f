// The long time as the regional settings write it.
#include <gtest/gtest.h>

#include <initializer_list>
#include <tuple>

#include "sys/clock.h"

namespace {

// A 12- or 24-hour clock, a leading zero or not, the designator after or before (am and
// pm when none is set), any separator.
TEST(LongTimeTest, WritesTheRegionalLongTimeFormat) {
    const sys::TimeFormatSettings us = sys::TimeFormatSettings::unitedStates();
    using Case = std::tuple<sys::TimeFormatSettings, int, int, int, const char*>;
    for (const auto& [settings, hour, minute, second, shows] :
         std::initializer_list<Case>{{us, 0, 30, 5, "12:30:05 AM"},
                                     {us, 12, 30, 0, "12:30:00 PM"},
                                     {{false, true, false, "am", "pm", ":"}, 0, 30, 5, "00:30:05"},
                                     {{true, true, false, "", "", ":"}, 9, 30, 0, "09:30:00 am"},
                                     {{true, true, false, "", "", ":"}, 21, 30, 0, "09:30:00 pm"},
                                     {{true, false, true, "a.m.", "p.m.", ":"}, 7, 5, 9, "a.m. 7:05:09"},
                                     {{false, false, true, "a", "p", "."}, 7, 5, 9, "7.05.09"}})
        EXPECT_EQ(sys::formatLongTime(settings, {2026, 12, 7, hour, minute, second, 0}), shows);
}

}  // namespace

// The samples of the alarm's own tone, the same on every platform: each platform's
// tone plays this period over and over on every channel.
#pragma once

#include <cstdint>
#include <vector>

namespace sys {

inline constexpr int kAlarmToneRate = 44100;  // frames per second

// One period of the pattern, mono, at kAlarmToneRate.
std::vector<std::int16_t> alarmTonePeriod();

}  // namespace sys

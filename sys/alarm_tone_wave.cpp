#include "sys/alarm_tone_wave.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace sys {
namespace {

constexpr double kPi = 3.14159265358979323846;

// One period of the pattern: four beeps of an A at 880 Hz with its octave a good deal
// softer (bright enough to wake, not shrill), each 100 ms with 8 ms ramps at both ends
// so that nothing clicks, 50 ms apart, then a pause to make 1.2 s.
constexpr double kPitchHz = 880.0;
constexpr double kOctaveLevel = 0.25;
constexpr int kBeeps = 4;
constexpr double kBeepSeconds = 0.100;
constexpr double kGapSeconds = 0.050;
constexpr double kRampSeconds = 0.008;
constexpr double kPeriodSeconds = 1.2;
constexpr double kPeak = 0.5;  // of full scale: -6 dBFS

}  // namespace

std::vector<std::int16_t> alarmTonePeriod() {
    const auto frames = static_cast<std::size_t>(kPeriodSeconds * kAlarmToneRate);
    std::vector<double> wave(frames, 0.0);
    const auto beep = static_cast<std::size_t>(kBeepSeconds * kAlarmToneRate);
    const auto step = static_cast<std::size_t>((kBeepSeconds + kGapSeconds) * kAlarmToneRate);
    const double ramp = kRampSeconds * kAlarmToneRate;
    for (int b = 0; b < kBeeps; ++b) {
        for (std::size_t i = 0; i < beep; ++i) {
            const double t = static_cast<double>(i) / kAlarmToneRate;
            const double edge = std::min(static_cast<double>(i), static_cast<double>(beep - 1 - i));
            const double envelope = edge >= ramp ? 1.0 : 0.5 - 0.5 * std::cos(kPi * edge / ramp);
            wave[static_cast<std::size_t>(b) * step + i] =
                envelope * (std::sin(2 * kPi * kPitchHz * t) + kOctaveLevel * std::sin(4 * kPi * kPitchHz * t));
        }
    }
    double top = 0;
    for (const double v : wave) top = std::max(top, std::abs(v));
    std::vector<std::int16_t> out(frames);
    for (std::size_t i = 0; i < frames; ++i)
        out[i] = static_cast<std::int16_t>(std::lround(wave[i] / top * kPeak * 32767));
    return out;
}

}  // namespace sys

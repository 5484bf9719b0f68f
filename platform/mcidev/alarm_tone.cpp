#include "platform/mcidev/alarm_tone.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/mcidev/error_text.h"

namespace mcidev {
namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
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

std::vector<std::int16_t> makePeriod() {
    const auto frames = static_cast<std::size_t>(kPeriodSeconds * kRate);
    std::vector<double> wave(frames, 0.0);
    const auto beep = static_cast<std::size_t>(kBeepSeconds * kRate);
    const auto step = static_cast<std::size_t>((kBeepSeconds + kGapSeconds) * kRate);
    const double ramp = kRampSeconds * kRate;
    for (int b = 0; b < kBeeps; ++b) {
        for (std::size_t i = 0; i < beep; ++i) {
            const double t = static_cast<double>(i) / kRate;
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

class SynthesizedTone final : public ui::AlarmTone {
public:
    explicit SynthesizedTone(std::shared_ptr<AudioOutput> output)
        : output_(std::move(output)), period_(std::make_shared<const std::vector<std::int16_t>>(makePeriod())) {}

    // A tone whose output has gone is not sounding; starting it again opens the output
    // afresh.
    std::string start() override {
        if (sounding()) return {};
        stream_.reset();
        // Each start begins with a beep; the position belongs to the audio thread.
        FillFunction fill = [period = period_, at = std::size_t{0}](std::int16_t* out, std::size_t frames) mutable {
            for (std::size_t f = 0; f < frames; ++f) {
                std::fill_n(out + f * kChannels, kChannels, (*period)[at]);
                if (++at == period->size()) at = 0;
            }
        };
        if (const mci::MCIERROR e = output_->open(StreamFormat{kRate, kChannels}, std::move(fill), stream_)) {
            stream_.reset();
            const char* text = errorText(e);
            return text != nullptr ? text : "The audio output could not be opened";
        }
        return {};
    }

    void stop() override { stream_.reset(); }
    bool sounding() const override { return stream_ && !stream_->lost(); }

private:
    std::shared_ptr<AudioOutput> output_;
    std::shared_ptr<const std::vector<std::int16_t>> period_;
    std::unique_ptr<AudioStream> stream_;
};

}  // namespace

std::unique_ptr<ui::AlarmTone> makeAlarmTone(std::shared_ptr<AudioOutput> output) {
    return std::make_unique<SynthesizedTone>(std::move(output));
}

}  // namespace mcidev

#include "platform/mcidev/alarm_tone.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/mcidev/error_text.h"
#include "sys/alarm_tone_wave.h"

namespace mcidev {
namespace {

constexpr int kRate = sys::kAlarmToneRate;
constexpr int kChannels = 2;

class SynthesizedTone final : public sys::AlarmTone {
public:
    explicit SynthesizedTone(std::shared_ptr<AudioOutput> output)
        : output_(std::move(output)),
          period_(std::make_shared<const std::vector<std::int16_t>>(sys::alarmTonePeriod())) {}

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

std::unique_ptr<sys::AlarmTone> makeAlarmTone(std::shared_ptr<AudioOutput> output) {
    return std::make_unique<SynthesizedTone>(std::move(output));
}

}  // namespace mcidev

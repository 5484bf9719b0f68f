#include "tests/support/cd_image_writer.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <string>

#include "platform/mcidev/cd/cd_time.h"

namespace cdtest {

namespace cd = mcidev::cd;

namespace {

// What a track holds at a sample frame counted from its start.
std::int16_t trackSample(const TrackPlan& track, int number, std::int64_t frame, int channel) {
    if (track.kind == SampleKind::Ramp) {
        const auto base = static_cast<std::uint16_t>(frame * 7 + number * 1000);
        return static_cast<std::int16_t>(channel == 0 ? base : static_cast<std::uint16_t>(~base + number));
    }
    const double phase = 2.0 * std::numbers::pi * track.toneHz * static_cast<double>(frame) / cd::kSampleRate;
    return static_cast<std::int16_t>(std::lround(16383.0 * (channel == 0 ? std::sin(phase) : std::cos(phase))));
}

}  // namespace

std::int16_t discSample(const WrittenImage& image, std::int32_t lba, int frameInSector, int channel) {
    const cd::TrackInfo* t = image.toc.trackAt(lba);
    if (t == nullptr) return 0;
    const std::int64_t frame = std::int64_t{lba - t->startLba} * cd::kSampleFramesPerSector + frameInSector;
    return trackSample(image.tracks[static_cast<std::size_t>(t->number - 1)], t->number, frame, channel);
}

WrittenImage writeImage(const std::filesystem::path& folder, const std::vector<TrackPlan>& tracks) {
    std::filesystem::create_directories(folder);
    WrittenImage image{folder / "disc.cue", folder / "disc.bin", tracks, {}};
    std::string sheet = "REM written by the test image writer\nFILE \"disc.bin\" BINARY\n";
    std::ofstream bin(image.bin, std::ios::binary | std::ios::trunc);
    std::int32_t lba = 0;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        const cd::Msf at = cd::sectorsToMsf(lba);
        char text[64];
        std::snprintf(text, sizeof text, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n", number, at.minute,
                      at.second, at.frame);
        sheet += text;
        image.toc.tracks.push_back(cd::TrackInfo{number, lba, tracks[i].sectors, true});
        for (std::int64_t frame = 0; frame < std::int64_t{tracks[i].sectors} * cd::kSampleFramesPerSector; ++frame) {
            for (int channel = 0; channel < 2; ++channel) {
                const auto v = static_cast<std::uint16_t>(trackSample(tracks[i], number, frame, channel));
                bin.put(static_cast<char>(v & 0xFF)).put(static_cast<char>(v >> 8));
            }
        }
        lba += tracks[i].sectors;
    }
    image.toc.leadoutLba = lba;
    bin.close();
    std::ofstream cue(image.cue, std::ios::binary | std::ios::trunc);
    cue << sheet;
    cue.close();
    if (!bin || !cue) throw std::runtime_error(folder.string() + ": cannot write the disc image");
    return image;
}

WrittenImage writeTwoTrackImage(const std::filesystem::path& folder) {
    return writeImage(folder, {TrackPlan{.sectors = 150, .kind = SampleKind::Tone},
                               TrackPlan{.sectors = 225, .kind = SampleKind::Tone, .toneHz = 660.0}});
}

}  // namespace cdtest

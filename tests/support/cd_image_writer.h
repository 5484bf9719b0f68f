// Writes small CUE/BIN disc images for tests: one binary file, audio tracks one after
// the other. Every sample is a pure function of the track and the position, so a read
// can be checked against exactly what was written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/mcidev/cd/toc.h"

namespace cdtest {

enum class SampleKind {
    Ramp,  // a counter that differs from frame to frame, channel to channel and track to track
    Tone,  // a sine tone: left sine, right cosine, at half of full scale
};

struct TrackPlan {
    int sectors = 75;
    SampleKind kind = SampleKind::Ramp;
    double toneHz = 440.0;
};

struct WrittenImage {
    std::filesystem::path cue;
    std::filesystem::path bin;
    std::vector<TrackPlan> tracks;
    mcidev::cd::Toc toc;  // the table of contents the image must give
};

// Writes <folder>/disc.cue and disc.bin; creates the folder. Throws std::runtime_error
// when a file cannot be written.
WrittenImage writeImage(const std::filesystem::path& folder, const std::vector<TrackPlan>& tracks);

// Two audio tracks of tones: 2 s at 440 Hz, then 3 s at 660 Hz.
WrittenImage writeTwoTrackImage(const std::filesystem::path& folder);

// The sample the disc holds at an LBA and a sample frame within that sector, as a
// player gives it (channel 0 is left).
std::int16_t discSample(const WrittenImage& image, std::int32_t lba, int frameInSector, int channel);

}  // namespace cdtest

// Writes small CUE/BIN disc images for tests. Every sample is a pure function of the
// track and the position, so a read can be checked against exactly what was written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/mcidev/cd/toc.h"

namespace cdtest {

enum class SampleKind {
    Ramp,  // a counter that differs from frame to frame, channel to channel and track to track
    Tone,  // a sine tone: left sine, right cosine, at half of full scale
};

struct TrackPlan {
    int sectors = 75;   // from INDEX 01 to the end of the track's data
    bool audio = true;  // false: a MODE1/2352 data track (its bytes are not silence)
    SampleKind kind = SampleKind::Ramp;
    double toneHz = 440.0;
    int indexZeroSectors = 0;  // written before INDEX 01, marked by INDEX 00
    int pregapSectors = 0;     // PREGAP: silence that is not in the file
};

struct DiscPlan {
    std::vector<TrackPlan> tracks;
    bool filePerTrack = false;  // one FILE per track instead of one for the disc
    bool bigEndian = false;     // MOTOROLA instead of BINARY
    std::string baseName = "disc";
};

struct WrittenImage {
    std::filesystem::path cue;
    std::vector<std::filesystem::path> bins;
    DiscPlan plan;
    // The table of contents the image must give.
    mcidev::cd::Toc toc;
    // Per track: the LBA where its INDEX 00 part (or INDEX 01 without one) begins.
    std::vector<std::int32_t> dataStart;
};

// Writes <folder>/<baseName>.cue and its .bin file(s); creates the folder. Throws
// std::runtime_error when a file cannot be written.
WrittenImage writeImage(const std::filesystem::path& folder, const DiscPlan& plan);

// Two audio tracks of tones: 2 s at 440 Hz, then 3 s at 660 Hz.
WrittenImage writeTwoTrackImage(const std::filesystem::path& folder, const std::string& baseName = "disc");

// The sample the disc holds at an LBA and a sample frame within that sector, as a
// player gives it (channel 0 is left): 0 for PREGAP silence and data tracks.
std::int16_t discSample(const WrittenImage& image, std::int32_t lba, int frameInSector, int channel);

}  // namespace cdtest

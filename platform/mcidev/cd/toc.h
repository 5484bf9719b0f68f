// The table of contents of an audio CD or of a disc image.
//
// Addresses are logical sector addresses ("LBA" throughout this library): sector 0 is
// the first sector after the two-second lead-in, the one a player shows as absolute
// time 00:02:00. One sector is 1/75 s of audio: 2352 bytes, 588 stereo frames.
#pragma once

#include <cstdint>
#include <vector>

namespace mcidev::cd {

struct TrackInfo {
    int number = 0;                  // 1 to 99
    std::int32_t startLba = 0;       // where the track's index 1 begins
    std::int32_t lengthSectors = 0;  // up to the next track's start or the lead-out
    bool audio = true;               // false for a data track

    bool operator==(const TrackInfo&) const = default;
};

struct Toc {
    // In ascending order with consecutive numbers; each track ends where the next one
    // starts, the last one at the lead-out.
    std::vector<TrackInfo> tracks;
    std::int32_t leadoutLba = 0;

    bool empty() const { return tracks.empty(); }
    int firstTrack() const { return tracks.empty() ? 0 : tracks.front().number; }
    int lastTrack() const { return tracks.empty() ? 0 : tracks.back().number; }
    int trackCount() const { return static_cast<int>(tracks.size()); }

    // The track with this number, or null.
    const TrackInfo* find(int number) const;
    // The track holding this sector, or null before the first track's start and from
    // the lead-out on.
    const TrackInfo* trackAt(std::int32_t lba) const;

    // Whether the tracks are numbered consecutively, each starts where the previous
    // one ends, every length is positive and the lead-out closes the last track.
    bool consistent() const;

    bool operator==(const Toc&) const = default;
};

}  // namespace mcidev::cd

// CD time: sectors, minutes/seconds/frames, track-relative positions and milliseconds.
//
// Conventions used everywhere in this library:
//  - An LBA is a sector address on the disc. LBA 0 is the first sector after the
//    two-second lead-in gap, so it sits at absolute time 00:02:00.
//  - A CD frame is a sector: 75 per second. (An audio "frame" in the sample sense,
//    one stereo sample pair, is called a sample frame: 588 per sector.)
//  - Absolute MSF is disc time and includes the lead-in: MSF = LBA + 150 sectors.
//    Durations in MSF (lengths, offsets inside a track) carry no offset.
//  - TMSF is a position relative to the start (index 1) of a track: the track
//    number and the minutes, seconds and frames from that track's start.
//  - Milliseconds are durations converted at 75 sectors per second and rounded to
//    the nearest value, so that msToSectors(sectorsToMs(n)) == n for every n >= 0.
//    A caller that wants disc time in milliseconds converts LBA + 150.
//  - Packed values use the media control interface layouts (mci/commands.h):
//    MSF has the minutes in the low byte; TMSF has the track in the low byte, then
//    minutes, seconds and frames.
#pragma once

#include <cstdint>
#include <optional>

#include "mci/commands.h"
#include "platform/mcidev/cd/toc.h"

namespace mcidev::cd {

inline constexpr int kSectorsPerSecond = 75;
inline constexpr std::int32_t kLeadInSectors = 150;
inline constexpr int kBytesPerSector = 2352;
inline constexpr int kSampleFramesPerSector = 588;
inline constexpr int kSampleRate = 44100;
inline constexpr int kChannels = 2;
// The longest disc this library accepts: its lead-out lies at absolute 100:00:00.
inline constexpr std::int32_t kMaxDiscSectors = 100 * 60 * kSectorsPerSecond - kLeadInSectors;

struct Msf {
    int minute = 0;
    int second = 0;
    int frame = 0;

    // Seconds below 60, frames below 75, minutes within one byte.
    constexpr bool valid() const {
        return minute >= 0 && minute <= 255 && second >= 0 && second < 60 && frame >= 0 && frame < kSectorsPerSecond;
    }
    bool operator==(const Msf&) const = default;
};

// A duration in sectors as minutes, seconds, frames (negative counts give 00:00:00).
constexpr Msf sectorsToMsf(std::int64_t sectors) {
    if (sectors < 0) sectors = 0;
    return Msf{static_cast<int>(sectors / (60 * kSectorsPerSecond)), static_cast<int>(sectors / kSectorsPerSecond % 60),
               static_cast<int>(sectors % kSectorsPerSecond)};
}

constexpr std::int64_t msfToSectors(Msf t) {
    return (std::int64_t{t.minute} * 60 + t.second) * kSectorsPerSecond + t.frame;
}

// Absolute disc time of a sector.
constexpr Msf lbaToMsf(std::int32_t lba) { return sectorsToMsf(std::int64_t{lba} + kLeadInSectors); }

// The sector at an absolute disc time; negative for times inside the lead-in.
constexpr std::int32_t msfToLba(Msf t) { return static_cast<std::int32_t>(msfToSectors(t) - kLeadInSectors); }

constexpr mci::DWORD packMsf(Msf t) {
    return mci::MCI_MAKE_MSF(static_cast<mci::DWORD>(t.minute), static_cast<mci::DWORD>(t.second),
                             static_cast<mci::DWORD>(t.frame));
}
constexpr Msf unpackMsf(mci::DWORD v) {
    return Msf{static_cast<int>(mci::MCI_MSF_MINUTE(v)), static_cast<int>(mci::MCI_MSF_SECOND(v)),
               static_cast<int>(mci::MCI_MSF_FRAME(v))};
}
constexpr mci::DWORD packTmsf(int track, Msf offset) {
    return mci::MCI_MAKE_TMSF(static_cast<mci::DWORD>(track), static_cast<mci::DWORD>(offset.minute),
                              static_cast<mci::DWORD>(offset.second), static_cast<mci::DWORD>(offset.frame));
}
constexpr int tmsfTrack(mci::DWORD v) { return static_cast<int>(mci::MCI_TMSF_TRACK(v)); }
constexpr Msf tmsfOffset(mci::DWORD v) {
    return Msf{static_cast<int>(mci::MCI_TMSF_MINUTE(v)), static_cast<int>(mci::MCI_TMSF_SECOND(v)),
               static_cast<int>(mci::MCI_TMSF_FRAME(v))};
}

// Durations in milliseconds, rounded to the nearest (see the conventions above).
constexpr std::uint32_t sectorsToMs(std::int64_t sectors) {
    if (sectors <= 0) return 0;
    return static_cast<std::uint32_t>((sectors * 1000 + kSectorsPerSecond / 2) / kSectorsPerSecond);
}
constexpr std::int64_t msToSectors(std::uint32_t ms) { return (std::int64_t{ms} * kSectorsPerSecond + 500) / 1000; }

constexpr std::uint64_t sectorsToSampleFrames(std::int64_t sectors) {
    return sectors <= 0 ? 0 : static_cast<std::uint64_t>(sectors) * kSampleFramesPerSector;
}

// The TMSF position of a sector. A sector before the first track's start counts as
// the start of the first track; the lead-out and beyond count as the end of the last
// track (its number with its full length). An empty table gives 0, whose track byte
// 0 means "no disc".
mci::DWORD lbaToTmsf(const Toc& toc, std::int32_t lba);

// The sector at a TMSF position. Empty when the track is not on the disc, the
// seconds or frames are out of range, or the offset lies beyond the track's end (the
// end itself, where the next track starts, is allowed).
std::optional<std::int32_t> tmsfToLba(const Toc& toc, mci::DWORD tmsf);

}  // namespace mcidev::cd

// Standard MIDI File reader: formats 0 and 1, plain or wrapped in a RIFF "RMID" file.
// Pure C++ with no outside dependency, so that it can be fuzzed on its own. The reader
// never trusts a length or count from the file: every read is bounds-checked, the file
// size and the number of events are capped, and any inconsistency is reported as an
// error rather than guessed around.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/mcidev/midi/midi_error.h"

namespace mcidev::midi {

// Maps ticks to time. Time is kept as an exact fraction (microseconds = numerator /
// denominator), so any number of tempo changes adds up without rounding drift.
class TempoMap {
public:
    // 120 beats per minute at 96 ticks per quarter note.
    TempoMap();

    // Quarter-note timing; 120 beats per minute until the first tempo change.
    // `ticksPerQuarter` must be at least 1.
    static TempoMap quarterNotes(std::uint16_t ticksPerQuarter);
    // Timecode timing: `framesPerSecond` is 24, 25, 29 (30 drop-frame, 29.97 frames per
    // second) or 30; `ticksPerFrame` at least 1. Tempo changes do not apply.
    static TempoMap timecode(int framesPerSecond, int ticksPerFrame);

    // Adds a tempo change (microseconds per quarter note). Changes come in tick order; a
    // change at the tick of the previous one replaces it, an earlier tick or a zero
    // tempo is ignored, and timecode maps ignore all changes.
    void setTempo(std::uint64_t tick, std::uint32_t microsPerQuarter);

    // Time of a tick rounded to the nearest millisecond (halves up).
    std::uint64_t roundedMs(std::uint64_t tick) const;
    // Time of a tick as a frame number at `sampleRate`, rounded to the nearest frame.
    std::uint64_t frame(std::uint64_t tick, std::uint32_t sampleRate) const;

private:
    __extension__ typedef unsigned __int128 Wide;
    struct Segment {
        std::uint64_t tick;  // first tick of the segment
        Wide start;          // time of that tick, as a numerator over den_
        std::uint64_t unit;  // numerator added per tick
    };
    const Segment& segmentAt(std::uint64_t tick) const;
    Wide numerator(std::uint64_t tick) const;

    std::vector<Segment> segments_;  // never empty; ticks strictly increasing
    std::uint64_t den_ = 96;
    bool timecode_ = false;
};

enum class EventKind : std::uint8_t {
    Channel,  // a channel voice or mode message
    SysEx,    // a complete system-exclusive message (joined from its packets)
    Escape,   // an F7 escape carrying anything other than a whole system-exclusive message
    Meta,     // a meta event
};

inline constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
inline constexpr std::uint8_t kMetaTempo = 0x51;

struct MidiEvent {
    std::uint64_t tick = 0;    // absolute, from the start of the file
    std::uint32_t offset = 0;  // SysEx, Escape, Meta: where the data is in Sequence::payload
    std::uint32_t length = 0;  // ... and how many bytes it has
    std::uint16_t track = 0;   // index of the track chunk it came from
    EventKind kind = EventKind::Channel;
    // Channel: the status byte (0x80..0xEF). Meta: the meta type. SysEx: 0xF0; its data
    // is the message without the leading F0 and the final F7. Escape: 0xF7; its data is
    // the bytes as stored.
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;  // Channel: first data byte
    std::uint8_t data2 = 0;  // Channel: second data byte (0 for one-byte messages)
};

struct Sequence {
    int format = 0;      // 0 or 1
    int trackCount = 0;  // track chunks read
    TempoMap tempo;
    // Every track merged in time order; events at the same tick keep track order, then
    // their order within the track. Each track's End of Track meta event is included.
    std::vector<MidiEvent> events;
    std::vector<std::uint8_t> payload;
    std::uint64_t lengthTicks = 0;  // the tick of the latest end of track
    std::uint32_t lengthMs = 0;     // its time on the tempo map, rounded to the nearest millisecond

    std::span<const std::uint8_t> data(const MidiEvent& event) const {
        return std::span<const std::uint8_t>(payload).subspan(event.offset, event.length);
    }
};

struct ReadLimits {
    std::size_t maxBytes = std::size_t{16} << 20;  // whole file, RIFF wrapper included
    std::size_t maxEvents = 2'000'000;             // all tracks together
};

// Reads a Standard MIDI File or a RIFF MIDI file from memory. On failure `out` is left
// in an unspecified but valid state.
MidiError readMidi(std::span<const std::uint8_t> bytes, Sequence& out, const ReadLimits& limits = {});

// Reads the file at `path` (checking its size before reading it) and parses it.
MidiError readMidiFile(const std::string& path, Sequence& out, const ReadLimits& limits = {});

}  // namespace mcidev::midi

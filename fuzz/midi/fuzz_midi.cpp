// Fuzz target for the MIDI file reader: any bytes must give either an error or a
// sequence that keeps every promise the reader makes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/mcidev/midi/smf.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace mcidev::midi;
    Sequence seq;
    ReadLimits limits;
    limits.maxEvents = 1000;  // small enough that inputs of a few kilobytes reach the cap
    if (readMidi(std::span<const std::uint8_t>(data, size), seq, limits) != MidiError::None) return 0;
    check((seq.format == 0 || seq.format == 1) && seq.trackCount >= 1);
    std::uint64_t lastTick = 0;
    std::uint64_t lastFrame = 0;
    for (const MidiEvent& e : seq.events) {
        const std::uint64_t frame = seq.tempo.frame(e.tick, 44100);
        check(e.tick >= lastTick && frame >= lastFrame && e.tick <= seq.lengthTicks && e.track < seq.trackCount);
        check(std::size_t{e.offset} + e.length <= seq.payload.size());
        if (e.kind == EventKind::Channel)
            check(e.status >= 0x80 && e.status < 0xF0 && e.data1 < 0x80 && e.data2 < 0x80 && e.length == 0);
        (void)seq.data(e);
        lastTick = e.tick;
        lastFrame = frame;
    }
    check(seq.lengthMs == seq.tempo.roundedMs(seq.lengthTicks));
    check(seq.tempo.frame(seq.lengthTicks, 1000) == seq.lengthMs);
    return 0;
}

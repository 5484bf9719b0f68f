// Writes the seed corpus of fuzz_midi: small files that between them reach every kind
// of event, both timings, the RIFF wrapper and the main error paths.
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/midi/smf_writer.h"

using namespace midi_test;

namespace {

void save(const std::string& dir, const char* name, const Bytes& bytes) {
    std::ofstream(dir + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_midi_seeds OUT_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];

    Track notes;
    notes.program(0, 0, 0).noteOn(0, 0, 60).raw(96, {64, 80}).raw(96, {60, 0}).noteOff(96, 0, 64).end(96);
    save(dir, "format0_running_status.mid", smf(0, 96, {notes}));

    Track conductor;
    conductor.meta(0, 0x03, {'S', 'o', 'n', 'g'}).meta(0, 0x58, {4, 2, 24, 8}).meta(0, 0x59, {0xFE, 0})
        .tempo(0, 500000).tempo(480, 400000).tempo(960, 750000).end(480);
    Track melody;
    melody.program(0, 1, 73).noteOn(0, 1, 72).noteOff(240, 1, 72).noteOn(0, 1, 74).noteOff(240, 1, 74).end();
    Track drums;
    drums.noteOn(0, 9, 36).noteOn(0, 9, 42).noteOff(120, 9, 36).noteOff(0, 9, 42).end(600);
    save(dir, "format1_tempo_map.mid", smf(1, 480, {conductor, melody, drums}));

    Track sysex;
    sysex.sysex(0, 0xF0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
        .sysex(10, 0xF0, {0x41, 0x10, 0x42})
        .sysex(5, 0xF7, {0x12, 0x40})
        .sysex(5, 0xF7, {0x00, 0x7F, 0x00, 0x41, 0xF7})
        .sysex(0, 0xF7, {0xFA})
        .sysex(0, 0xF7, {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7})
        .noteOn(0, 0, 60).end(96);
    save(dir, "sysex_packets_escapes.mid", smf(0, 96, {sysex}));

    Track meta;
    meta.meta(0, 0x00, {0, 1}).text(0, "text").meta(0, 0x02, {'c'}).meta(0, 0x04, {'i'})
        .meta(0, 0x05, {'l', 'a'}).meta(0, 0x06, {'m'}).meta(0, 0x07, {'q'}).meta(0, 0x20, {0})
        .meta(0, 0x21, {0}).meta(0, 0x54, {96, 0, 0, 0, 0}).meta(0, 0x7F, {0, 0, 0x41, 1}).end(1);
    save(dir, "meta_events.mid", smf(0, 96, {meta}));

    Track controllers;
    controllers.cc(0, 2, 101, 0).cc(0, 2, 100, 0).cc(0, 2, 6, 12).cc(0, 2, 64, 127)
        .raw(0, {0xE2, 0x00, 0x60}).raw(10, {0xD2, 0x30}).raw(0, {0xA2, 60, 0x20})
        .noteOn(0, 2, 60).cc(50, 2, 121, 0).cc(0, 2, 123, 0).end(10);
    save(dir, "controllers.mid", smf(0, 96, {controllers}));

    Track timecode;
    timecode.noteOn(0, 0, 60).tempo(0, 1000000).noteOff(40, 0, 60).end(40);
    save(dir, "smpte_25fps.mid", smf(0, 0xE728, {timecode}));
    save(dir, "smpte_2997fps.mid", smf(0, 0xE350, {timecode}));

    save(dir, "wrapped.rmi", rmi(smf(0, 96, {notes})));

    Bytes alien = smf(0, 96, {});
    alien[11] = 1;
    const Bytes junk = chunk("XYZW", {1, 2, 3, 4, 5});
    const Bytes track = chunk("MTrk", notes.bytes());
    alien.insert(alien.end(), junk.begin(), junk.end());
    alien.insert(alien.end(), track.begin(), track.end());
    save(dir, "alien_chunk.mid", alien);

    Track open;
    open.noteOn(0, 0, 60).noteOff(0x0FFFFFFF, 0, 60);  // longest delta, no end of track
    save(dir, "no_end_long_delta.mid", smf(0, 0x7FFF, {open}));

    Bytes cut = smf(1, 480, {conductor, melody});
    cut.resize(cut.size() - 7);
    save(dir, "truncated.mid", cut);

    save(dir, "format2.mid", smf(2, 96, {notes, notes}));

    Track many;
    many.program(0, 0, 0);
    for (int i = 0; i < 1200; ++i) {
        many.raw(0, {static_cast<std::uint8_t>(i % 128)});  // past the fuzz target's event cap
    }
    save(dir, "many_events.mid", smf(0, 96, {many.end()}));
    return 0;
}

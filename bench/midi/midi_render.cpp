// MIDI benchmarks: reading, sound font loading, source set-up, seeking and rendering.
// Prints `name: value unit` lines. Needs an installed General MIDI sound font for all
// but the reading figures.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/mcidev/midi/midi_source.h"
#include "tests/platform/mcidev/midi/smf_writer.h"

using namespace mcidev::midi;
using namespace midi_test;

namespace {

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double wallMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// A busy minute of General MIDI: eight melodic channels playing four-note chords in
// sixteenths, a bass line and a drum part, with controllers and pitch bend.
Bytes busyPiece(int seconds) {
    std::vector<Track> tracks(1);
    tracks[0].tempo(0, 500000).end(static_cast<std::uint32_t>(seconds * 2 * 480));
    const int programs[8] = {0, 24, 48, 56, 61, 73, 40, 19};
    const int sixteenths = seconds * 8;
    for (int ch = 0; ch < 8; ++ch) {
        Track t;
        t.program(0, ch, programs[ch]).cc(0, ch, 91, 60).cc(0, ch, 93, 30);
        for (int i = 0; i < sixteenths; ++i) {
            const int root = 48 + (i / 16 % 4) * 2 + ch;
            for (int k = 0; k < 4; ++k) {
                t.noteOn(0, ch, root + k * 4, 70 + k * 5);
            }
            if (i % 8 == 0) {
                t.raw(0, {static_cast<std::uint8_t>(0xE0 | ch), 0, static_cast<std::uint8_t>(0x40 + i % 3)});
            }
            t.raw(110, {static_cast<std::uint8_t>(0x80 | ch), static_cast<std::uint8_t>(root), 0});
            for (int k = 1; k < 4; ++k) {
                t.raw(0, {static_cast<std::uint8_t>(root + k * 4), 0});
            }
            t.raw(10, {static_cast<std::uint8_t>(0xB0 | ch), 1, static_cast<std::uint8_t>(i % 128)});
        }
        t.end();
        tracks.push_back(t);
    }
    Track drums;
    for (int i = 0; i < sixteenths; ++i) {
        drums.noteOn(0, 9, i % 4 == 0 ? 36 : 42).noteOn(0, 9, i % 8 == 4 ? 38 : 44);
        drums.noteOff(120, 9, i % 4 == 0 ? 36 : 42).noteOff(0, 9, i % 8 == 4 ? 38 : 44);
    }
    tracks.push_back(drums.end());
    return smf(1, 480, tracks);
}

}  // namespace

int main() {
    const int seconds = 60;
    const Bytes piece = busyPiece(seconds);

    // Reading.
    {
        Sequence seq;
        const int rounds = 20;
        const double cpu0 = threadCpuSeconds();
        for (int i = 0; i < rounds; ++i) {
            readMidi(piece, seq);
        }
        const double cpu = threadCpuSeconds() - cpu0;
        std::printf("midi_read_events: %zu events\n", seq.events.size());
        std::printf("midi_read_speed: %.1f MB/s\n", double(piece.size()) * rounds / cpu / 1e6);
        std::printf("midi_read_event_rate: %.2f Mevents/s\n", double(seq.events.size()) * rounds / cpu / 1e6);
    }

    // Sound font.
    SoundFontCache fonts;
    const auto t0 = std::chrono::steady_clock::now();
    fonts.preload();
    if (fonts.wait() != MidiError::None) {
        std::printf("midi_soundfont: none installed; synthesis figures skipped\n");
        return 0;
    }
    std::printf("midi_soundfont_load: %.1f ms\n", wallMs(t0));

    Sequence seq;
    readMidi(piece, seq);
    const int creates = 10;
    std::unique_ptr<MidiSource> src;
    const auto t1 = std::chrono::steady_clock::now();
    for (int i = 0; i < creates; ++i) {
        MidiError error;
        src = MidiSource::create(seq, fonts, error);
    }
    std::printf("midi_source_create: %.1f ms\n", wallMs(t1) / creates);

    // Rendering, in 1024-frame reads as an audio callback would ask.
    std::vector<std::int16_t> buf(1024 * 2);
    int peak = 0;
    std::uint64_t frames = 0;
    const double cpu0 = threadCpuSeconds();
    for (std::size_t n; (n = src->read(buf.data(), 1024)) > 0;) {
        frames += n;
        for (std::size_t i = 0; i < n * 2; ++i) {
            peak = std::max(peak, std::abs(int{buf[i]}));
        }
    }
    const double cpu = threadCpuSeconds() - cpu0;
    std::printf("midi_render_speed: %.1f x realtime\n", double(frames) / src->sampleRate() / cpu);
    std::printf("midi_render_peak: %d sample\n", peak);

    // Seeking: a new synthesizer plus replaying the controllers up to the target. Cold:
    // the synthesizer is built for the seek. Prepared: it was built while the source was
    // idle, as the sequencer device has it built when a play stops.
    const int seeks = 10;
    const auto t2 = std::chrono::steady_clock::now();
    for (int i = 0; i < seeks; ++i) {
        src->seek(src->lengthFrames() * static_cast<std::uint64_t>(i) / seeks);
        src->read(buf.data(), 64);
    }
    std::printf("midi_seek: %.1f ms\n", wallMs(t2) / seeks);
    double preparedMs = 0;
    for (int i = 0; i < seeks; ++i) {
        src->prepareSeek();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const auto t3 = std::chrono::steady_clock::now();
        src->seek(src->lengthFrames() * static_cast<std::uint64_t>(i) / seeks);
        src->read(buf.data(), 64);
        preparedMs += wallMs(t3);
    }
    std::printf("midi_seek_prepared: %.2f ms\n", preparedMs / seeks);
    return 0;
}

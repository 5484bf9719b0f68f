// A MIDI file as a PCM source: the events of a Sequence played through a software
// synthesizer with the General MIDI sound font, 16-bit stereo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/mcidev/audio_source.h"
#include "platform/mcidev/midi/midi_error.h"
#include "platform/mcidev/midi/smf.h"
#include "platform/mcidev/midi/sound_font.h"

namespace mcidev::midi {

struct MidiOptions {
    int sampleRate = 44100;  // 8000 .. 96000; others are brought into that range
    float gain = 0.3f;       // synthesizer master gain: dense full-velocity chords stay unclipped
    bool effects = true;     // reverb and chorus
};

class MidiSource final : public AudioSource {
public:
    // Reads the file, waits for the sound font (starting its load when needed) and sets
    // up a synthesizer. On failure returns null and sets `error`; on success `error` is
    // MidiError::None.
    static std::unique_ptr<MidiSource> open(const std::string& path, SoundFontCache& fonts, MidiError& error,
                                            const MidiOptions& options = {});
    // The same for a sequence already read.
    static std::unique_ptr<MidiSource> create(Sequence sequence, SoundFontCache& fonts, MidiError& error,
                                              const MidiOptions& options = {});
    ~MidiSource() override;
    MidiSource(const MidiSource&) = delete;
    MidiSource& operator=(const MidiSource&) = delete;

    int sampleRate() const override;
    int channels() const override { return 2; }
    // The file's length on its tempo map, rounded to the nearest millisecond, in frames
    // (msToFrames).
    std::uint64_t lengthFrames() const override;
    // Stops every sound, then puts the synthesizer into the state the file has built up
    // by that frame (programs, controllers, pitch bend, system-exclusive settings) without
    // sounding the notes that started before it. Seeking to the same frame always gives
    // the same samples afterwards. It starts from a new synthesizer, which prepareSeek()
    // has built ahead when it was called; either way no synthesizer is built on the
    // caller's thread.
    bool seek(std::uint64_t frame) override;
    // Starts building the synthesizer the next seek will take, on a thread of its own,
    // unless one is ready or the current one is still untouched. Call it while nothing
    // reads the source: when a play has stopped.
    void prepareSeek();
    std::uint64_t positionFrames() const override;
    std::size_t read(std::int16_t* out, std::size_t frames) override;
    bool failed() const override;

    struct Impl;

private:
    explicit MidiSource(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace mcidev::midi

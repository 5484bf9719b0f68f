#include "platform/mcidev/midi/midi_source.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/mcidev/midi/synth_library.h"

namespace mcidev::midi {

namespace {

// The synthesizer renders in blocks of this many frames and takes new events only
// between blocks, so an event sounds at the block start nearest to its own frame.
constexpr std::uint64_t kBlock = 64;
constexpr std::uint64_t kHalfBlock = kBlock / 2;
constexpr std::uint64_t kMaxBlocksPerRender = 32;

// One event as the renderer sends it.
struct RenderEvent {
    std::uint64_t frame;
    std::uint32_t offset;  // system exclusive: data in Sequence::payload
    std::uint32_t length;
    std::uint8_t status;  // channel status byte, or 0xF0
    std::uint8_t data1;
    std::uint8_t data2;
};

bool soundsNote(const RenderEvent& e) {
    const std::uint8_t kind = e.status & 0xF0;
    return kind == 0x80 || kind == 0x90 || kind == 0xA0;
}

struct SynthDeleter {
    const SynthLibrary* fs = nullptr;
    void operator()(fluid_synth_t* synth) const { fs->delete_fluid_synth(synth); }
};
using Synth = std::unique_ptr<fluid_synth_t, SynthDeleter>;

// A new synthesizer with the sound font loaded; null, with the reason, when it cannot be
// made. The font's samples come from the library's cache (see SoundFontCache), so only
// its preset tables are read.
Synth buildSynth(const SynthLibrary& fs, fluid_settings_t* settings, const std::string& fontPath, MidiError& error) {
    Synth synth(fs.new_fluid_synth(settings), SynthDeleter{&fs});
    if (!synth) {
        error = MidiError::SynthFailed;
    } else if (fs.fluid_synth_sfload(synth.get(), fontPath.c_str(), 1) == FLUID_FAILED) {
        error = MidiError::BadSoundFont;
        synth.reset();
    }
    return synth;
}

}  // namespace

struct MidiSource::Impl {
    explicit Impl(const SynthLibrary& library) : fs(library) {}

    const SynthLibrary& fs;
    Sequence sequence;
    std::vector<RenderEvent> events;
    int rate = 44100;
    std::uint64_t length = 0;  // frames
    fluid_settings_t* settings = nullptr;
    Synth synth;
    std::string fontPath;
    bool pristine = false;  // nothing sent to or rendered by `synth` yet
    // The synthesizer the next seek starts from, built on a thread of its own while the
    // source is idle, so that a seek finds one ready instead of taking the tens of
    // milliseconds to build it, and a play does not share the processor with a build.
    // The thread ends with the build, and the pool of helper threads the library gives
    // the thread that loads a font goes with it.
    std::future<Synth> spare;
    Synth retired;  // the last one used, taken down by the next build

    std::uint64_t position = 0;    // next frame read() returns
    std::uint64_t blockFrame = 0;  // frame at which the synthesizer's next block starts
    std::size_t next = 0;          // first event not yet sent
    std::vector<float> buffer;     // rendered, interleaved stereo
    std::size_t bufferRead = 0;    // frames of `buffer` already returned
    std::size_t bufferFrames = 0;  // frames in `buffer`
    bool failed = false;

    ~Impl() {
        if (spare.valid()) {
            spare.get();
        }
        // Every synthesizer goes before the settings it was made with.
        retired.reset();
        synth.reset();
        if (settings) {
            fs.delete_fluid_settings(settings);
        }
    }

    void send(const RenderEvent& e) {
        fluid_synth_t* const target = synth.get();
        const int channel = e.status & 0x0F;
        switch (e.status & 0xF0) {
        case 0x80: fs.fluid_synth_noteoff(target, channel, e.data1); break;
        case 0x90:
            fs.fluid_synth_noteon(target, channel, e.data1, e.data2);  // velocity 0 is a note off
            break;
        case 0xA0: fs.fluid_synth_key_pressure(target, channel, e.data1, e.data2); break;
        case 0xB0: fs.fluid_synth_cc(target, channel, e.data1, e.data2); break;
        case 0xC0: fs.fluid_synth_program_change(target, channel, e.data1); break;
        case 0xD0: fs.fluid_synth_channel_pressure(target, channel, e.data1); break;
        case 0xE0: fs.fluid_synth_pitch_bend(target, channel, e.data1 | (e.data2 << 7)); break;
        case 0xF0:
            if (e.length > 0 && e.length <= static_cast<std::uint32_t>(INT32_MAX)) {
                const auto* data = reinterpret_cast<const char*>(sequence.payload.data() + e.offset);
                fs.fluid_synth_sysex(target, data, static_cast<int>(e.length), nullptr, nullptr, nullptr, 0);
            }
            break;
        default: break;
        }
    }

    // Sends the events now due and renders up to the block where the next one falls due.
    bool render() {
        while (next < events.size() && events[next].frame < blockFrame + kHalfBlock) {
            send(events[next++]);
        }
        std::uint64_t blocks = kMaxBlocksPerRender;
        if (next < events.size()) {
            // Due at the first block start b with frame < b + kHalfBlock.
            const std::uint64_t ahead = events[next].frame - kHalfBlock - blockFrame;
            blocks = std::min(blocks, ahead / kBlock + 1);
        }
        const std::uint64_t toEnd = length > blockFrame ? (length - blockFrame + kBlock - 1) / kBlock : 1;
        blocks = std::max<std::uint64_t>(1, std::min(blocks, toEnd));

        pristine = false;
        const int frames = static_cast<int>(blocks * kBlock);
        buffer.resize(static_cast<std::size_t>(frames) * 2);
        if (fs.fluid_synth_write_float(synth.get(), frames, buffer.data(), 0, 2, buffer.data(), 1, 2) != FLUID_OK) {
            failed = true;
            return false;
        }
        blockFrame += static_cast<std::uint64_t>(frames);
        bufferRead = 0;
        bufferFrames = static_cast<std::size_t>(frames);
        return true;
    }

    // Starts building the spare, after taking down the retired synthesizer on the same
    // thread: that takes a millisecond or two that a play should not wait for.
    void buildSpare() {
        try {
            spare = std::async(std::launch::async,
                               [&fs = fs, settings = settings, path = fontPath, used = std::move(retired)]() mutable {
                                   used.reset();
                                   MidiError ignored = MidiError::None;
                                   return buildSynth(fs, settings, path, ignored);
                               });
        } catch (const std::system_error&) {
            spare = {};  // no thread to spare: the next seek tries again
        }
    }

    void prepareSpare() {
        if (!pristine && !spare.valid()) {
            buildSpare();
        }
    }

    // Puts a synthesizer that has had nothing sent to it in place of the used one. A
    // reset of a used one is not enough to repeat its output exactly: voice slots keep
    // some signal state, and the chorus keeps its phase. When no spare is ready or being
    // built (a seek with no idle time before it, a build that failed) one is built now,
    // still on a thread of its own, and waited for.
    bool freshSynth() {
        Synth fresh;
        for (int attempt = 0; attempt < 2 && !fresh; ++attempt) {
            if (!spare.valid()) {
                buildSpare();
            }
            if (spare.valid()) {
                fresh = spare.get();
            }
        }
        if (!fresh) {
            return false;
        }
        retired = std::exchange(synth, std::move(fresh));
        pristine = true;
        return true;
    }

    bool seek(std::uint64_t frame) {
        if (frame > length || failed) {
            return false;
        }
        if (!pristine && !freshSynth()) {
            failed = true;
            return false;
        }
        // Rebuild the channel state without the notes.
        std::size_t i = 0;
        for (; i < events.size() && events[i].frame < frame; ++i) {
            if (!soundsNote(events[i])) {
                send(events[i]);
                pristine = false;
            }
        }
        next = i;
        position = frame;
        blockFrame = frame;
        bufferRead = bufferFrames = 0;
        return true;
    }

    std::size_t read(std::int16_t* out, std::size_t frames) {
        if (failed) {
            return 0;
        }
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(frames, length - position));
        std::size_t done = 0;
        while (done < wanted) {
            if (bufferRead == bufferFrames && !render()) {
                break;
            }
            const std::size_t take = std::min(bufferFrames - bufferRead, wanted - done);
            const float* in = buffer.data() + bufferRead * 2;
            std::int16_t* to = out + done * 2;
            for (std::size_t k = 0; k < take * 2; ++k) {
                const float v = std::clamp(in[k] * 32767.0f, -32768.0f, 32767.0f);
                to[k] = static_cast<std::int16_t>(std::lrint(v));
            }
            bufferRead += take;
            done += take;
        }
        position += done;
        return done;
    }
};

std::unique_ptr<MidiSource> MidiSource::open(const std::string& path, SoundFontCache& fonts, MidiError& error,
                                             const MidiOptions& options) {
    Sequence sequence;
    error = readMidiFile(path, sequence);
    if (error != MidiError::None) {
        return nullptr;
    }
    return create(std::move(sequence), fonts, error, options);
}

std::unique_ptr<MidiSource> MidiSource::create(Sequence sequence, SoundFontCache& fonts, MidiError& error,
                                               const MidiOptions& options) {
    error = fonts.wait();
    if (error != MidiError::None) {
        return nullptr;
    }
    const SynthLibrary* const fs = synthLibrary();  // loaded with the font
    if (!fs) {
        error = MidiError::NoSynthLibrary;
        return nullptr;
    }

    auto impl = std::make_unique<Impl>(*fs);
    impl->rate = std::clamp(options.sampleRate, 8000, 96000);
    impl->settings = fs->new_fluid_settings();
    fluid_settings_t* s = impl->settings;
    if (!s || fs->fluid_settings_setnum(s, "synth.sample-rate", impl->rate) != FLUID_OK) {
        error = MidiError::SynthFailed;
        return nullptr;
    }
    fs->fluid_settings_setnum(s, "synth.gain", std::clamp(options.gain, 0.0f, 10.0f));
    fs->fluid_settings_setint(s, "synth.reverb.active", options.effects ? 1 : 0);
    fs->fluid_settings_setint(s, "synth.chorus.active", options.effects ? 1 : 0);
    fs->fluid_settings_setint(s, "synth.lock-memory", 0);
    fs->fluid_settings_setint(s, "synth.dynamic-sample-loading", 0);
    fs->fluid_settings_setint(s, "synth.cpu-cores", 1);
    // Calls come from one thread at a time: the device serialises them.
    fs->fluid_settings_setint(s, "synth.threadsafe-api", 0);
    impl->fontPath = fonts.path();
    impl->synth = buildSynth(*fs, s, impl->fontPath, error);
    if (!impl->synth) {
        return nullptr;
    }
    impl->pristine = true;

    impl->events.reserve(sequence.events.size());
    for (const MidiEvent& e : sequence.events) {
        if (e.kind != EventKind::Channel && e.kind != EventKind::SysEx) {
            continue;
        }
        impl->events.push_back(RenderEvent{sequence.tempo.frame(e.tick, static_cast<std::uint32_t>(impl->rate)),
                                           e.offset, e.length, e.status, e.data1, e.data2});
    }
    impl->length = msToFrames(sequence.lengthMs, impl->rate);
    impl->sequence = std::move(sequence);
    if (!impl->seek(0)) {
        error = MidiError::SynthFailed;
        return nullptr;
    }
    error = MidiError::None;
    return std::unique_ptr<MidiSource>(new MidiSource(std::move(impl)));
}

MidiSource::MidiSource(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
MidiSource::~MidiSource() = default;

int MidiSource::sampleRate() const { return impl_->rate; }
std::uint64_t MidiSource::lengthFrames() const { return impl_->length; }
bool MidiSource::seek(std::uint64_t frame) { return impl_->seek(frame); }
void MidiSource::prepareSeek() { impl_->prepareSpare(); }
std::uint64_t MidiSource::positionFrames() const { return impl_->position; }
std::size_t MidiSource::read(std::int16_t* out, std::size_t frames) { return impl_->read(out, frames); }
bool MidiSource::failed() const { return impl_->failed; }

}  // namespace mcidev::midi

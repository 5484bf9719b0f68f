// The wave and sequencer devices: one file each, one track, positions from 0.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <thread>

#include "platform/mcidev/devices.h"
#include "platform/mcidev/error_text.h"
#include "platform/mcidev/midi/midi_source.h"
#include "platform/mcidev/midi/sound_font.h"
#include "platform/mcidev/wave_file.h"

namespace mcidev {

using namespace mci;

namespace {

DWORD clampDword(std::uint64_t v) {
    return static_cast<DWORD>(std::min<std::uint64_t>(v, std::numeric_limits<DWORD>::max()));
}

MCIERROR fileErrorCode(int error) {
    return error == ENOENT || error == ENOTDIR ? MCIERR_FILE_NOT_FOUND : MCIERR_FILE_READ;
}

class WaveDevice final : public MediaDevice {
public:
    WaveDevice(AudioOutput& output, std::function<void()> finished, std::string path, std::unique_ptr<WaveFile> file)
        : MediaDevice(output, std::move(finished)), path_(std::move(path)), file_(std::move(file)) {}
    ~WaveDevice() override { haltPlayback(); }

    DWORD deviceType() const override { return MCI_DEVTYPE_WAVEFORM_AUDIO; }
    DWORD defaultTimeFormat() const override { return MCI_FORMAT_MILLISECONDS; }

protected:
    AudioSource& source() override { return *file_; }
    std::uint64_t mediaEnd() const override { return file_->lengthFrames(); }

    // The file may have been rewritten, cut or removed since it was opened (an alarm
    // sound chosen days ago): a changed file is opened again, and one that is gone or
    // holds no sound any more fails the play instead of playing nothing.
    MCIERROR recheckMedia() override {
        FileStamp now;
        if (!stampFile(path_, now)) return fileErrorCode(errno);
        if (now == file_->stamp()) return 0;
        std::unique_ptr<WaveFile> reopened;
        if (const MCIERROR e = WaveFile::open(path_, reopened)) return e;
        file_ = std::move(reopened);
        return 0;
    }

    bool supportsTimeFormat(DWORD format) const override {
        return format == MCI_FORMAT_MILLISECONDS || format == MCI_FORMAT_SAMPLES || format == MCI_FORMAT_BYTES;
    }

    MCIERROR toFrame(DWORD format, DWORD value, std::uint64_t& frame) const override {
        switch (format) {
        case MCI_FORMAT_MILLISECONDS: frame = msToFrames(value, file_->sampleRate()); break;
        case MCI_FORMAT_SAMPLES: frame = value; break;
        case MCI_FORMAT_BYTES: frame = file_->bytesToFrames(value); break;
        default: return MCIERR_BAD_TIME_FORMAT;
        }
        return frame > mediaEnd() ? MCIERR_OUTOFRANGE : 0;
    }

    DWORD fromFrame(DWORD format, std::uint64_t frame) const override {
        switch (format) {
        case MCI_FORMAT_SAMPLES: return clampDword(frame);
        case MCI_FORMAT_BYTES: return clampDword(file_->framesToBytes(frame));
        default: return clampDword(framesToMs(frame, file_->sampleRate()));
        }
    }

    DWORD duration(DWORD format, std::uint64_t frames) const override { return fromFrame(format, frames); }

private:
    const std::string path_;
    std::unique_ptr<WaveFile> file_;
};

class SequencerDevice final : public MediaDevice {
public:
    SequencerDevice(AudioOutput& output, std::function<void()> finished, std::unique_ptr<midi::MidiSource> midi)
        : MediaDevice(output, std::move(finished)), midi_(std::move(midi)) {}
    ~SequencerDevice() override { haltPlayback(); }

    DWORD deviceType() const override { return MCI_DEVTYPE_SEQUENCER; }
    DWORD defaultTimeFormat() const override { return MCI_FORMAT_MILLISECONDS; }

protected:
    AudioSource& source() override { return *midi_; }
    std::uint64_t mediaEnd() const override { return midi_->lengthFrames(); }
    // The next play's synthesizer is built while nothing plays.
    void sourceIdle() override { midi_->prepareSeek(); }

    // Milliseconds only: song-pointer and SMPTE times are refused.
    bool supportsTimeFormat(DWORD format) const override { return format == MCI_FORMAT_MILLISECONDS; }

    MCIERROR toFrame(DWORD format, DWORD value, std::uint64_t& frame) const override {
        if (format != MCI_FORMAT_MILLISECONDS) return MCIERR_BAD_TIME_FORMAT;
        frame = msToFrames(value, midi_->sampleRate());
        return frame > mediaEnd() ? MCIERR_OUTOFRANGE : 0;
    }

    DWORD fromFrame(DWORD, std::uint64_t frame) const override {
        return clampDword(framesToMs(frame, midi_->sampleRate()));
    }

    DWORD duration(DWORD format, std::uint64_t frames) const override { return fromFrame(format, frames); }

private:
    std::unique_ptr<midi::MidiSource> midi_;
};

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

MCIERROR midiErrorCode(midi::MidiError error, const std::string& path) {
    using midi::MidiError;
    switch (error) {
    case MidiError::None: return 0;
    case MidiError::CannotOpen: return fileExists(path) ? MCIERR_FILE_READ : MCIERR_FILE_NOT_FOUND;
    case MidiError::CannotRead: return MCIERR_FILE_READ;
    case MidiError::NotMidi:
    case MidiError::Damaged:
    case MidiError::Unsupported:
    case MidiError::TooLarge:
    case MidiError::TooLong: return MCIERR_INVALID_FILE;
    case MidiError::OutOfMemory: return MCIERR_OUT_OF_MEMORY;
    case MidiError::NoSoundFont: return MCIERR_SEQ_NOMIDIPRESENT;
    case MidiError::BadSoundFont: return MCIERR_SOUND_FONT_UNUSABLE;
    case MidiError::SynthFailed: return MCIERR_SEQ_PORT_MISCERROR;
    case MidiError::NoSynthLibrary: return MCIERR_SYNTH_LIBRARY_MISSING;
    }
    return MCIERR_INTERNAL;
}

}  // namespace

MCIERROR openWaveDevice(const std::string& path, AudioOutput& output, std::function<void()> finished,
                        std::unique_ptr<MediaDevice>& device) {
    std::unique_ptr<WaveFile> file;
    if (const MCIERROR e = WaveFile::open(path, file)) return e;
    device = std::make_unique<WaveDevice>(output, std::move(finished), path, std::move(file));
    return 0;
}

MCIERROR openSequencerDevice(const std::string& path, midi::SoundFontCache& fonts, AudioOutput& output,
                             std::function<void()> finished, std::unique_ptr<MediaDevice>& device) {
    midi::MidiError error = midi::MidiError::None;
    std::unique_ptr<midi::MidiSource> source;
    // The synthesizer loads its font data with a pool of helper threads that belongs
    // to the loading thread and lives as long as it does. Loading on a thread of its
    // own lets that pool go when the open is done, instead of staying for the rest of
    // the program beside the user-interface thread.
    std::thread loader([&] { source = midi::MidiSource::open(path, fonts, error); });
    loader.join();
    if (!source) return error == midi::MidiError::None ? MCIERR_INTERNAL : midiErrorCode(error, path);
    // A song without a moment of length would end its play at once, having sounded nothing.
    if (source->lengthFrames() == 0) return MCIERR_INVALID_FILE;
    device = std::make_unique<SequencerDevice>(output, std::move(finished), std::move(source));
    return 0;
}

}  // namespace mcidev

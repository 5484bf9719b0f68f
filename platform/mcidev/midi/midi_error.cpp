#include "platform/mcidev/midi/midi_error.h"

namespace mcidev::midi {

const char* describe(MidiError error) {
    switch (error) {
    case MidiError::None:
        return "No error.";
    case MidiError::CannotOpen:
        return "The MIDI file cannot be opened.";
    case MidiError::CannotRead:
        return "The MIDI file cannot be read.";
    case MidiError::NotMidi:
        return "The file is not a MIDI file.";
    case MidiError::Damaged:
        return "The MIDI file is damaged or truncated.";
    case MidiError::Unsupported:
        return "This kind of MIDI file cannot be played (only formats 0 and 1 are supported).";
    case MidiError::TooLarge:
        return "The MIDI file is too large.";
    case MidiError::TooLong:
        return "The MIDI file plays for too long.";
    case MidiError::OutOfMemory:
        return "There is not enough memory to play the MIDI file.";
    case MidiError::NoSoundFont:
        return "No General MIDI sound font is installed (install timgm6mb-soundfont or "
               "fluid-soundfont-gm).";
    case MidiError::BadSoundFont:
        return "The General MIDI sound font is damaged and cannot be loaded.";
    case MidiError::SynthFailed:
        return "The MIDI synthesizer cannot be started.";
    }
    return "Unknown MIDI error.";
}

}  // namespace mcidev::midi

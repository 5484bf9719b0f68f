// Why a MIDI file could not be opened or played. The sequencer device turns each into
// an error code of its own.
#pragma once

namespace mcidev::midi {

enum class MidiError {
    None,
    CannotOpen,   // the file does not exist or may not be read
    CannotRead,   // reading failed part-way
    NotMidi,      // neither a Standard MIDI File nor a RIFF MIDI file
    Damaged,      // structure broken or data cut short
    Unsupported,  // a valid file of a kind we do not play (format 2, other formats)
    TooLarge,     // bigger than the size or event limits
    TooLong,      // plays for longer than a 32-bit millisecond count can say
    OutOfMemory,
    NoSoundFont,     // no General MIDI sound font installed
    BadSoundFont,    // a sound font was found but could not be loaded
    SynthFailed,     // the synthesizer could not be created
    NoSynthLibrary,  // the synthesizer library is not installed, or lacks a function we call
};

}  // namespace mcidev::midi

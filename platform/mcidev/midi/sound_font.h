// The General MIDI sound font that every MIDI source plays with. Loading one takes long
// enough (megabytes of samples) that it should happen once per process and away from
// the user interface: start it early with preload(), and let the first MIDI open wait.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/mcidev/midi/midi_error.h"

namespace mcidev::midi {

class SoundFontCache {
public:
    // The system's default General MIDI sound font (see findDefault()).
    SoundFontCache();
    // A given sound font file; an empty path means the system default.
    explicit SoundFontCache(std::string path);
    // Waits for a load still running.
    ~SoundFontCache();
    SoundFontCache(const SoundFontCache&) = delete;
    SoundFontCache& operator=(const SoundFontCache&) = delete;

    // Starts loading on a background thread and returns at once. Later calls, and calls
    // after wait(), do nothing.
    void preload();

    // Waits until the load has finished, starting it first when preload() was never
    // called. Returns None, NoSoundFont (no file found) or BadSoundFont (the file does
    // not load). The outcome is kept: later calls return it at once. Thread-safe.
    MidiError wait();

    // After wait() succeeded: the file that was loaded. Empty before.
    std::string path() const;

    // The system's default General MIDI sound font: the first of the preferred files that
    // exists, else the first *.sf2 file (by name) in the first directory that has one.
    // Empty when there is none.
    static std::string findDefault();
    static std::string find(const std::vector<std::string>& preferred, const std::vector<std::string>& directories);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace mcidev::midi

// The General MIDI sound font that every MIDI source plays with. Its samples take
// megabytes, so it is loaded when a MIDI source is about to be used, away from the
// user interface (preload(), or wait() from the thread that opens the source), shared
// by every source made while it is held, and let go with release() once none is left.
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
    // Waits for a load still running, then releases.
    ~SoundFontCache();
    SoundFontCache(const SoundFontCache&) = delete;
    SoundFontCache& operator=(const SoundFontCache&) = delete;

    // Starts loading on a background thread and returns at once. Does nothing when a
    // load has been started since construction or the last release().
    void preload();

    // Waits until the load has finished, starting it first when none was started.
    // Returns None, NoSynthLibrary (the synthesizer library cannot be used), NoSoundFont
    // (no file found) or BadSoundFont (the file does not load).
    // The outcome is kept until release(): calls before then return it at once.
    MidiError wait();

    // After wait() succeeded: the file that was loaded. Empty before, and after release().
    std::string path() const;

    // Lets the font go: a load still running is waited for, then the samples are freed
    // and their memory handed back to the system, unless a synthesizer made from this
    // font still holds them (they go with the last one). The next preload() or wait()
    // loads the font afresh. Does nothing when no load was started.
    void release();

    // How many loads have been started in all (tests and measurements).
    unsigned loads() const;

    // All of the above may be called from any thread.

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

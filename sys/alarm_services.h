// What the desktop does for an armed alarm beyond the window: a tone of the program's
// own for when the chosen sound cannot play, keeping the computer awake (and waking it)
// until the alarm is due, an output loud enough to hear it, and starting the program
// again with the next session. The platform provides them; tests record what they are
// asked.
#pragma once

#include <string>

namespace sys {

// A sound the program generates itself (no file, no device to open) through the
// same audio output as the media devices.
class AlarmTone {
public:
    virtual ~AlarmTone() = default;
    // Starts the tone, or leaves it going when it already sounds. Returns an empty
    // text when it sounds, otherwise why it cannot (no audio output, say).
    virtual std::string start() = 0;
    // Silences the tone; nothing happens when it is silent.
    virtual void stop() = 0;
    virtual bool sounding() const = 0;
};

// A time of day on the local clock: hour 0-23, minute 0-59.
struct WakeTime {
    int hour = 0;
    int minute = 0;
    friend bool operator==(const WakeTime&, const WakeTime&) = default;
};

// Asks the desktop not to suspend the computer on idle. Calls never block and never
// fail loudly: a desktop that cannot be asked simply is not.
class SleepInhibitor {
public:
    virtual ~SleepInhibitor() = default;
    // Keeps the computer awake, giving the user-visible reason; a new reason replaces
    // the old one. Where the desktop can, a computer that sleeps all the same is woken
    // at the next `wakeAt` (the alarm's minute).
    virtual void inhibit(const std::string& reason, WakeTime wakeAt) = 0;
    // Lets the computer sleep again; nothing happens when nothing is inhibited.
    virtual void release() = 0;
    // The system clock was set or the time zone changed: a wake-up set for a moment of
    // the old local clock is set again for the same minute of the new one.
    virtual void clockChanged() {}
};

// The computer's default sound output, made loud enough for the alarm to be heard.
class OutputVolume {
public:
    virtual ~OutputVolume() = default;
    struct Change {
        // How the output was when it had to be turned up ("muted", "turned down"):
        // empty when it was audible already or could not be changed.
        std::string raisedFrom;
        // Why the output may not be heard (it cannot be read or changed): empty when it
        // is audible now.
        std::string problem;
    };
    // The alarm starts sounding: a muted output, or one turned down below an audible
    // floor, is unmuted and turned up to the floor. Waits a bounded time at most.
    virtual Change makeAudible() = 0;
    // The alarm's minute is over: what makeAudible changed is put back, unless the user
    // changed the output since. Nothing happens when nothing was changed.
    virtual void restore() = 0;
};

// Starts the program, minimised, when the user's desktop session starts, so that an
// armed alarm survives a log-out or a restart of the computer.
class SessionStart {
public:
    virtual ~SessionStart() = default;
    // Registers (true) or removes (false) the program's start with the session; cheap
    // when it is in that state already. Returns an empty text, or why it could not.
    virtual std::string setRegistered(bool on) = 0;
};

}  // namespace sys

// What the desktop does for an armed alarm beyond the window: a tone of the program's
// own for when the chosen sound cannot play, and keeping the computer awake until the
// alarm is due. The platform provides them; tests record what they are asked.
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
};

}  // namespace sys

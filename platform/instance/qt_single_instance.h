// One running program per user and settings file: a later start on the same display
// hands over to the running one (which shows its main window) and ends; one on another
// display learns where the clock runs, so that it can say so and end. Two clocks on one
// settings file would each save over the other's changes at exit.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace instance {

// The name the instances of one user on one settings file share; it names a file.
std::string instanceKey(unsigned uid, const std::string& settingsFile);

// The display a start runs on, as the user would name it: the Wayland one where set,
// else the X one; ":0", ":0.0" and "unix:0" are the same X display. Only letters,
// digits and "-_.:/" remain, at most the last 40 of them; "" when there is none.
std::string displayName(const std::string& waylandDisplay, const std::string& x11Display);

class SingleInstance {
public:
    // The socket and its lock live in folder (the user's private runtime folder where
    // there is one), named after key; display is where this start runs. A
    // QCoreApplication must exist first.
    SingleInstance(const std::string& folder, const std::string& key, const std::string& display);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when no other instance runs: this one listens from now on, and runs onShow
    // (on the event loop) whenever a later start on its display asks. False when
    // another one runs: on this display it has been asked to show itself; on another,
    // runningElsewhere() names that display. Where the lock or the socket cannot be had
    // at all, this one runs: two alarm clocks are better than none.
    bool claim();
    std::function<void()> onShow;
    // After a false claim(): the display the running one is on, when it is not this
    // one's; else "".
    const std::string& runningElsewhere() const;

    // For this user, settings file and display, in the runtime folder (or the
    // temporary one).
    static std::unique_ptr<SingleInstance> forThisSession(const std::string& settingsFile);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace instance

// One running program per user and display: a later start hands over to the running
// one (which shows its main window) and ends.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace qtui {

// The name the instances of one user on one display share. The display is the
// Wayland one where set, else the X one; ":0", ":0.0" and "unix:0" are the same X
// display. Only letters, digits, '-', '_' and '.' remain, so it names a file.
std::string instanceKey(unsigned uid, const std::string& waylandDisplay, const std::string& x11Display);

class SingleInstance {
public:
    // The socket and its lock live in folder (the user's private runtime folder where
    // there is one), named after key. A QCoreApplication must exist first.
    SingleInstance(const std::string& folder, const std::string& key);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when no other instance runs: this one listens from now on, and runs onShow
    // (on the event loop) whenever a later start asks. False when another one runs and
    // has been asked to show itself. Where the lock or the socket cannot be had at all,
    // this one runs: two alarm clocks are better than none.
    bool claim();
    std::function<void()> onShow;

    // For this user and display, in the runtime folder (or the temporary one).
    static std::unique_ptr<SingleInstance> forThisSession();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qtui

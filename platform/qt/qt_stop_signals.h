// The signals that ask the program to end (SIGTERM from a desktop session's logout or
// `kill`, SIGINT from Ctrl+C, SIGHUP when its terminal goes away) turned into one call
// on the user-interface thread, so the program can close as if the user had closed it.
#pragma once

#include <functional>
#include <memory>

namespace qt {

class StopSignals {
public:
    // A QCoreApplication must exist first and outlive this. `onStop` runs from the
    // event loop, once per signal. Each signal is caught once: a second one while the
    // program is still closing ends it at once. A signal that was ignored when the
    // program started (a background job's Ctrl+C, nohup) stays ignored. One at a time.
    explicit StopSignals(std::function<void()> onStop);
    ~StopSignals();  // puts back what was there before
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qt

// The program's message loop on Windows: the thread's window messages, the message
// queue (drained when something is posted), free-running timers and timers locked to
// the wall clock's seconds, and run/quit.
//
// A wall-clock timer is a waitable timer due at an absolute time just after each whole
// second of its period, so the loop wakes once a second and the clock reads the new
// second when it does. A change of the system time or a resume from sleep re-aligns
// every such timer at once and runs it. Modal loops that the system runs (message
// boxes, the file dialog, menus, moving and sizing) do not wait on the timers: for
// their duration a window timer looks at them instead. An error that escapes a timer's
// callback is posted to the queue, whose dispatcher reports it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "sys/event_loop.h"
#include "sys/message_queue.h"

namespace win32 {

class Win32EventLoop : public sys::EventLoop {
public:
    Win32EventLoop();
    ~Win32EventLoop() override;
    Win32EventLoop(const Win32EventLoop&) = delete;
    Win32EventLoop& operator=(const Win32EventLoop&) = delete;

    sys::MessageQueue& queue() override;
    sys::TimerId startTimer(std::chrono::milliseconds period, sys::TimerPhase phase,
                           std::function<void()> callback) override;
    void stopTimer(sys::TimerId id) override;
    // Runs until quit(); returns at once when quit() came first.
    int run() override;
    // Ends run() (and any modal loop inside it) with `code`.
    void quit(int code) override;

    // Sees each message (a MSG*) before it is translated and dispatched; true keeps it
    // from both. The view's keyboard navigation and accelerators.
    std::function<bool(void*)> preTranslate;

    // Called after the system time or the time zone was changed, once the wall-clock
    // timers have been re-aligned.
    void setClockChanged(std::function<void()> changed);

    // A modal loop that this loop does not run starts (true) or ends (false). Nests.
    void modalLoop(bool entering);

    // How often the loop has woken from its wait, for measurements.
    std::uint64_t wakeUps() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace win32

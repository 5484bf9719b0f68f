// The program's message loop on Qt: timers (free-running or locked to the wall
// clock's seconds), the message queue drained whenever something is posted, and
// run/quit. Nested loops (modal boxes, dialogs) keep timers and the queue running.
// An error that escapes a timer's callback is posted to the queue, whose dispatcher
// reports it.
#pragma once

#include <chrono>
#include <memory>

#include "sys/event_loop.h"
#include "sys/message_queue.h"

namespace qt {

class QtEventLoop : public sys::EventLoop {
public:
    // A QCoreApplication (normally the QApplication) must exist first and outlive the
    // loop.
    QtEventLoop();
    ~QtEventLoop() override;
    QtEventLoop(const QtEventLoop&) = delete;
    QtEventLoop& operator=(const QtEventLoop&) = delete;

    sys::MessageQueue& queue() override;
    sys::TimerId startTimer(std::chrono::milliseconds period, sys::TimerPhase phase,
                           std::function<void()> callback) override;
    void stopTimer(sys::TimerId id) override;
    // Runs the application's event loop; returns at once when quit() came first.
    int run() override;
    // Ends run() (and any modal wait inside it) with `code`.
    void quit(int code) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qt

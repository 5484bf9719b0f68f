// The program's message loop on Qt: timers (free-running or locked to the wall
// clock's seconds), the message queue drained whenever something is posted, and
// run/quit. Nested loops (modal boxes, dialogs) keep timers and the queue running.
#pragma once

#include <chrono>
#include <memory>

#include "ui/event_loop.h"
#include "ui/message_queue.h"

namespace qtui {

class QtEventLoop : public ui::EventLoop {
public:
    // A QCoreApplication (normally the QApplication) must exist first and outlive the
    // loop. `wallClockSlack`: how long after each whole second a wall-clock timer aims.
    explicit QtEventLoop(std::chrono::milliseconds wallClockSlack = std::chrono::milliseconds(0));
    ~QtEventLoop() override;
    QtEventLoop(const QtEventLoop&) = delete;
    QtEventLoop& operator=(const QtEventLoop&) = delete;

    ui::MessageQueue& queue() override;
    ui::TimerId startTimer(std::chrono::milliseconds period, ui::TimerPhase phase,
                           std::function<void()> callback) override;
    void stopTimer(ui::TimerId id) override;
    // Runs the application's event loop; returns at once when quit() came first.
    int run() override;
    // Ends run() (and any modal wait inside it) with `code`.
    void quit(int code) override;

    std::size_t activeTimers() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qtui

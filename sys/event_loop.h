// What the platform's message loop offers the program: timers and a run/quit cycle.
// Posted tasks go through MessageQueue, which every loop drains.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace sys {

class MessageQueue;

using TimerId = std::uint64_t;

enum class TimerPhase {
    Free,             // expiries every period from the start
    WallClockSecond,  // each expiry just after a whole second of the local clock
};

class EventLoop {
public:
    virtual ~EventLoop() = default;

    virtual MessageQueue& queue() = 0;

    // The callback runs on the user-interface thread; it is not wrapped: callers
    // route it through Application::dispatch themselves.
    virtual TimerId startTimer(std::chrono::milliseconds period, TimerPhase phase, std::function<void()> callback) = 0;
    virtual void stopTimer(TimerId id) = 0;

    // Runs until quit() is called; returns its code.
    virtual int run() = 0;
    virtual void quit(int code) = 0;
};

}  // namespace sys

// Keeps a periodic expiry in phase with the whole seconds of the system clock: each
// expiry is scheduled for just after the next whole second, and an expiry that comes
// before that second (the timer's clock and the system clock drift apart a little) is
// put off for the remainder instead of being delivered early. The system clock
// being set forward or back, or a resume from suspend, is taken up at the next expiry.
#pragma once

#include <chrono>

namespace regional {

class SecondAligner {
public:
    using Clock = std::chrono::system_clock;
    using TimePoint = Clock::time_point;
    using Duration = std::chrono::microseconds;

    // period: the time between expiries, whole seconds (shorter counts as one second).
    // slack: how long after the boundary an expiry is aimed at. Delays are rounded up
    // to whole milliseconds, so even none keeps expiries after the boundary.
    explicit SecondAligner(std::chrono::milliseconds period = std::chrono::seconds(1),
                           std::chrono::milliseconds slack = std::chrono::milliseconds(0));

    // Arms for the first expiry; returns the delay to wait from `now`.
    std::chrono::milliseconds start(TimePoint now);

    struct Step {
        bool deliver;                    // run the timer's callback now
        std::chrono::milliseconds delay; // then wait this long for the next expiry
    };
    // The timer ran out at `now`.
    Step expired(TimePoint now);

    // The whole second the pending expiry is aimed at.
    TimePoint boundary() const { return boundary_; }

private:
    std::chrono::milliseconds delayUntilBoundary(TimePoint now) const;
    void aimAfter(TimePoint now);

    std::chrono::seconds period_;
    std::chrono::milliseconds slack_;
    TimePoint boundary_{};
};

}  // namespace regional

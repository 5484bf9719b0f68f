#include "platform/locale/second_aligner.h"

#include <algorithm>

namespace regional {

using std::chrono::ceil;
using std::chrono::floor;
using std::chrono::milliseconds;
using std::chrono::seconds;

SecondAligner::SecondAligner(milliseconds period, milliseconds slack)
    : period_(std::max(seconds(1), floor<seconds>(period))), slack_(std::max(slack, milliseconds(0))) {}

milliseconds SecondAligner::start(TimePoint now) {
    aimAfter(now);
    return delayUntilBoundary(now);
}

SecondAligner::Step SecondAligner::expired(TimePoint now) {
    if (now >= boundary_) {
        aimAfter(now);
        return {true, delayUntilBoundary(now)};
    }
    if (boundary_ - now > period_ + slack_) {
        // The clock was set back: show the new time now and fall into step with it.
        aimAfter(now);
        return {true, delayUntilBoundary(now)};
    }
    // Woken before the boundary: wait for the rest rather than deliver early.
    return {false, delayUntilBoundary(now)};
}

void SecondAligner::aimAfter(TimePoint now) {
    boundary_ = floor<seconds>(now) + period_;
}

milliseconds SecondAligner::delayUntilBoundary(TimePoint now) const {
    auto remaining = boundary_ - now;
    if (remaining < TimePoint::duration::zero())
        remaining = TimePoint::duration::zero();
    return ceil<milliseconds>(remaining) + slack_;
}

}  // namespace regional

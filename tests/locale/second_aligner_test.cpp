#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "platform/locale/second_aligner.h"

namespace {

using namespace std::chrono;
using regional::SecondAligner;
using TimePoint = SecondAligner::TimePoint;

TimePoint at(microseconds since) { return sys_days{year{2026} / 12 / 7} + hours{7} + since; }

struct StartCase {
    seconds period;
    milliseconds slack;
    microseconds now;
    milliseconds delay;
};

class AlignerStart : public ::testing::TestWithParam<StartCase> {};

TEST_P(AlignerStart, FirstExpiryLandsJustAfterTheNextWholeSecond) {
    const StartCase& c = GetParam();
    SecondAligner a(c.period, c.slack);
    EXPECT_EQ(a.start(at(c.now)), c.delay);
}

INSTANTIATE_TEST_SUITE_P(Cases, AlignerStart,
                         ::testing::Values(StartCase{1s, 2ms, 300ms, 702ms},
                                           // on a whole second: the next one, not this one
                                           StartCase{1s, 0ms, 5s, 1000ms},
                                           // partial milliseconds round toward later
                                           StartCase{1s, 0ms, 999'400us, 1ms},
                                           StartCase{2s, 1ms, 250ms, 1751ms}));

struct StepCase {
    const char* name;
    seconds period;
    milliseconds slack;
    microseconds start, expiry;
    bool deliver;
    milliseconds delay;
    microseconds boundary;  // aimed at afterwards
};

class AlignerStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(AlignerStep, ExpiryDeliversOnlyAfterTheBoundaryAndRealigns) {
    const StepCase& c = GetParam();
    SecondAligner a(c.period, c.slack);
    a.start(at(c.start));
    const auto step = a.expired(at(c.expiry));
    EXPECT_EQ(step.deliver, c.deliver);
    EXPECT_EQ(step.delay, c.delay);
    EXPECT_EQ(a.boundary(), at(c.boundary));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AlignerStep,
    ::testing::Values(StepCase{"OnTime", 1s, 2ms, 300ms, 1002ms, true, 1000ms, 2s},
                      // 0.4 ms early: waits the rest rounded up, plus the slack
                      StepCase{"Early", 1s, 2ms, 300ms, 999'600us, false, 3ms, 1s},
                      StepCase{"LateAfterSleep", 1s, 1ms, 0ms, 3400ms, true, 601ms, 4s},
                      StepCase{"ClockSetForward", 1s, 1ms, 500ms, 1h + 1250ms, true, 751ms, 1h + 2s},
                      StepCase{"ClockSetBack", 1s, 1ms, 1h + 500ms, 1250ms, true, 751ms, 2s},
                      StepCase{"TwoSecondPeriod", 2s, 1ms, 250ms, 2001ms, true, 2000ms, 4s}),
    [](const auto& info) { return std::string(info.param.name); });

// Expiries from 0.8 ms early (drift against the system clock) to 4 ms late: every
// delivery falls in a new second just after its boundary, and none is left out.
class JitteryTimer : public ::testing::TestWithParam<int> {};

TEST_P(JitteryTimer, DeliversEverySecondOnceAndNeverEarly) {
    std::mt19937 random(static_cast<unsigned>(GetParam()));
    std::uniform_int_distribution<int> jitter(-800, 4000);  // microseconds
    SecondAligner a(seconds(1), milliseconds(1));
    TimePoint now = at(microseconds(123'456));
    milliseconds delay = a.start(now);
    std::optional<seconds> lastSecond;
    for (int delivered = 0; delivered < 2000;) {
        now += delay + microseconds(jitter(random));
        const auto step = a.expired(now);
        if (step.deliver) {
            const auto second = duration_cast<seconds>(now.time_since_epoch());
            EXPECT_LT(now.time_since_epoch() - second, milliseconds(10));
            if (lastSecond) {
                ASSERT_EQ(second, *lastSecond + seconds(1));
            }
            lastSecond = second;
            ++delivered;
        }
        delay = step.delay;
        ASSERT_GT(delay, milliseconds(0));
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, JitteryTimer, ::testing::Values(1, 2, 3));

}  // namespace

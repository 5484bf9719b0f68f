#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "platform/locale/second_aligner.h"

namespace {

using namespace std::chrono;
using regional::SecondAligner;
using TimePoint = SecondAligner::TimePoint;

const TimePoint base = sys_days{year{2026} / 12 / 7} + hours{7};

TimePoint at(microseconds since) { return base + since; }

TEST(SecondAligner, FirstExpiryLandsJustAfterTheNextWholeSecond) {
    SecondAligner a(seconds(1), milliseconds(2));
    EXPECT_EQ(a.start(at(milliseconds(300))), milliseconds(702));
    EXPECT_EQ(a.boundary(), at(seconds(1)));
}

TEST(SecondAligner, StartingOnAWholeSecondWaitsForTheNextOne) {
    SecondAligner a;  // no slack: the rounding up alone keeps it after the boundary
    EXPECT_EQ(a.start(at(seconds(5))), milliseconds(1000));
}

TEST(SecondAligner, PartialMillisecondsRoundTowardLater) {
    SecondAligner a(seconds(1), milliseconds(0));
    EXPECT_EQ(a.start(at(microseconds(999'400))), milliseconds(1));
}

TEST(SecondAligner, OnTimeExpiryDeliversAndAimsAtTheFollowingSecond) {
    SecondAligner a(seconds(1), milliseconds(2));
    a.start(at(milliseconds(300)));
    const auto step = a.expired(at(milliseconds(1002)));
    EXPECT_TRUE(step.deliver);
    EXPECT_EQ(step.delay, milliseconds(1000));
    EXPECT_EQ(a.boundary(), at(seconds(2)));
}

TEST(SecondAligner, EarlyExpiryWaitsForTheRestInsteadOfDelivering) {
    SecondAligner a(seconds(1), milliseconds(2));
    a.start(at(milliseconds(300)));
    const auto step = a.expired(at(microseconds(999'600)));
    EXPECT_FALSE(step.deliver);
    EXPECT_EQ(step.delay, milliseconds(3));  // 0.4 ms rounded up, plus the slack
    EXPECT_EQ(a.boundary(), at(seconds(1)));
    EXPECT_TRUE(a.expired(at(milliseconds(1003))).deliver);
}

TEST(SecondAligner, LateExpiryDeliversOnceAndRealigns) {
    SecondAligner a(seconds(1), milliseconds(1));
    a.start(at(milliseconds(0)));
    const auto step = a.expired(at(milliseconds(3400)));  // the machine slept
    EXPECT_TRUE(step.deliver);
    EXPECT_EQ(step.delay, milliseconds(601));
    EXPECT_EQ(a.boundary(), at(seconds(4)));
}

TEST(SecondAligner, ClockSetForwardIsTakenUpAtTheNextExpiry) {
    SecondAligner a(seconds(1), milliseconds(1));
    a.start(at(milliseconds(500)));
    const auto step = a.expired(at(hours(1) + milliseconds(1250)));
    EXPECT_TRUE(step.deliver);
    EXPECT_EQ(step.delay, milliseconds(751));
}

TEST(SecondAligner, ClockSetBackDeliversAtOnceRatherThanWaitingForTheOldTime) {
    SecondAligner a(seconds(1), milliseconds(1));
    a.start(at(hours(1) + milliseconds(500)));
    const auto step = a.expired(at(milliseconds(1250)));
    EXPECT_TRUE(step.deliver);
    EXPECT_EQ(step.delay, milliseconds(751));
    EXPECT_EQ(a.boundary(), at(seconds(2)));
}

TEST(SecondAligner, LongerPeriodsStayOnWholeSeconds) {
    SecondAligner a(seconds(2), milliseconds(1));
    EXPECT_EQ(a.start(at(milliseconds(250))), milliseconds(1751));
    const auto step = a.expired(at(milliseconds(2001)));
    EXPECT_TRUE(step.deliver);
    EXPECT_EQ(step.delay, milliseconds(2000));
}

// A timer whose expiries come anywhere from 0.8 ms early (its clock drifting against
// the system clock) to 4 ms late: every delivery falls in a new second, right after its
// boundary, and no second is left out.
class JitteryTimer : public ::testing::TestWithParam<int> {};

TEST_P(JitteryTimer, DeliversEverySecondOnceAndNeverEarly) {
    std::mt19937 random(static_cast<unsigned>(GetParam()));
    std::uniform_int_distribution<int> jitter(-800, 4000);  // microseconds
    SecondAligner a(seconds(1), milliseconds(1));
    TimePoint now = at(microseconds(123'456));
    milliseconds delay = a.start(now);
    std::optional<seconds> lastSecond;
    int delivered = 0;
    while (delivered < 2000) {
        now += delay + microseconds(jitter(random));
        const auto step = a.expired(now);
        if (step.deliver) {
            const auto second = duration_cast<seconds>(now.time_since_epoch());
            const auto offset = now.time_since_epoch() - second;
            EXPECT_LT(offset, milliseconds(10));
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

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ctime>
#include <string>

#include "platform/locale/system_clock.h"

namespace {

using namespace std::chrono;

// Runs with TZ set to a fixed rule and puts the old value back afterwards.
class ZoneTest : public ::testing::Test {
protected:
    void useZone(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }
    void SetUp() override {
        if (const char* old = std::getenv("TZ")) saved_ = old;
    }
    void TearDown() override {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(ZoneTest, SplitsAPointIntoLocalFieldsWithMilliseconds) {
    useZone("UTC0");
    const auto when = sys_days{year{2026} / 12 / 7} + hours{7} + minutes{5} + seconds{9} + milliseconds{123};
    EXPECT_EQ(regional::toLocalTime(when), (ui::LocalTime{2026, 12, 7, 7, 5, 9, 123}));
}

TEST_F(ZoneTest, FollowsTheZoneOffset) {
    useZone("CET-1");
    const auto when = sys_days{year{2026} / 12 / 31} + hours{23} + minutes{30} + milliseconds{999};
    EXPECT_EQ(regional::toLocalTime(when), (ui::LocalTime{2027, 1, 1, 0, 30, 0, 999}));
}

TEST_F(ZoneTest, PointsBeforeTheWholeSecondRoundDown) {
    useZone("UTC0");
    const auto when = sys_days{year{2026} / 12 / 7} + hours{12} - microseconds{1};
    EXPECT_EQ(regional::toLocalTime(when), (ui::LocalTime{2026, 12, 7, 11, 59, 59, 999}));
}

}  // namespace

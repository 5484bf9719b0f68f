#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/locale/system_clock.h"

namespace {

using namespace std::chrono;

struct ZoneCase {
    const char* tz;
    sys_time<microseconds> when;
    ui::LocalTime expected;
};

// Runs with TZ set to a fixed rule and puts the old value back afterwards.
class LocalFields : public ::testing::TestWithParam<ZoneCase> {
protected:
    void TearDown() override {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static std::optional<std::string> current() {
        const char* tz = std::getenv("TZ");
        return tz ? std::optional<std::string>(tz) : std::nullopt;
    }
    std::optional<std::string> saved_ = current();
};

TEST_P(LocalFields, FollowTheZoneAndKeepMilliseconds) {
    setenv("TZ", GetParam().tz, 1);
    tzset();
    EXPECT_EQ(regional::toLocalTime(GetParam().when), GetParam().expected);
}

const sys_days dec7 = sys_days{year{2026} / 12 / 7};

INSTANTIATE_TEST_SUITE_P(
    Zones, LocalFields,
    ::testing::Values(ZoneCase{"UTC0", dec7 + 7h + 5min + 9s + 123ms, {2026, 12, 7, 7, 5, 9, 123}},
                      ZoneCase{"CET-1", dec7 + 24 * 24h + 23h + 30min + 999ms, {2027, 1, 1, 0, 30, 0, 999}},
                      // just before a whole second rounds down
                      ZoneCase{"UTC0", dec7 + 12h - 1us, {2026, 12, 7, 11, 59, 59, 999}}));

}  // namespace

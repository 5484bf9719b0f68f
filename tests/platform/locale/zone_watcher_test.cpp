// A time zone changed while the program runs reaches the clock at once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "platform/locale/system_clock.h"
#include "platform/locale/zone_watcher.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

// Two zones without summer time, so their offsets hold all year.
const fs::path zoneA = "/usr/share/zoneinfo/Asia/Tokyo";    // +9:00
const fs::path zoneB = "/usr/share/zoneinfo/Asia/Kolkata";  // +5:30
const sys_days dec7 = sys_days{year{2026} / 12 / 7};

void application() {
    static int argc = 1;
    static char name[] = "locale_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
}

// Sets TZ (null: unsets it) and puts back what was there, set or not.
class ScopedTz {
public:
    explicit ScopedTz(const char* value) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        value ? setenv("TZ", value, 1) : unsetenv("TZ");
        tzset();
    }
    ~ScopedTz() {
        saved_ ? setenv("TZ", saved_->c_str(), 1) : unsetenv("TZ");
        tzset();
    }
    ScopedTz(const ScopedTz&) = delete;
    ScopedTz& operator=(const ScopedTz&) = delete;

private:
    std::optional<std::string> saved_;
};

TEST(ZoneFile, IsTheDefaultOrAnAbsolutePathOnly) {
    EXPECT_EQ(locale::zoneFile(nullptr), "/etc/localtime");
    EXPECT_EQ(locale::zoneFile(":/etc/localtime"), "/etc/localtime");
    EXPECT_EQ(locale::zoneFile("/var/tz/here"), "/var/tz/here");
    for (const char* fixed : {"", ":", "Europe/Paris", ":Europe/Paris", "CET-1CEST,M3.5.0,M10.5.0/3", "/"})
        EXPECT_EQ(locale::zoneFile(fixed), std::nullopt) << '"' << fixed << '"';
}

TEST(ZoneWatcher, LeavesAZoneChosenByNameAlone) {
    ScopedTz tz("Europe/Paris");
    locale::ZoneWatcher watcher([] {});
    EXPECT_FALSE(watcher.watching());
    locale::reloadZone();
    EXPECT_STREQ(std::getenv("TZ"), "Europe/Paris");
    const sys::LocalTime noon = locale::toLocalTime(dec7 + 12h);
    EXPECT_EQ(noon.hour, 13);
    EXPECT_EQ(noon.utcOffsetMinutes, 60);
}

// How the zone file is changed, and how TZ names it (with or without the colon).
enum class Change { RenameCopyOver, RewriteInPlace, RepointLink, DeleteAndLink };
struct ZoneCase {
    Change change;
    const char* prefix;
};

class ZoneFileChange : public ::testing::TestWithParam<ZoneCase> {
protected:
    void SetUp() override {
        if (!fs::exists(zoneA) || !fs::exists(zoneB)) GTEST_SKIP() << "the zone database (tzdata) is not installed";
        application();
        char pattern[] = "/tmp/tolvane-zone-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        file_ = dir_ / "localtime";
        if (linked())
            fs::create_symlink(zoneA, file_);
        else
            fs::copy_file(zoneA, file_);
        tz_.emplace((GetParam().prefix + file_.string()).c_str());
    }
    void TearDown() override {
        tz_.reset();
        std::error_code ignored;
        if (!dir_.empty()) fs::remove_all(dir_, ignored);
    }

    bool linked() const {
        return GetParam().change == Change::RepointLink || GetParam().change == Change::DeleteAndLink;
    }

    void changeToZoneB() {
        const fs::path next = dir_ / "localtime.next";
        switch (GetParam().change) {
        case Change::RenameCopyOver:
            fs::copy_file(zoneB, next);
            fs::rename(next, file_);
            break;
        case Change::RewriteInPlace: fs::copy_file(zoneB, file_, fs::copy_options::overwrite_existing); break;
        case Change::RepointLink:
            fs::create_symlink(zoneB, next);
            fs::rename(next, file_);
            break;
        case Change::DeleteAndLink:
            fs::remove(file_);
            fs::create_symlink(zoneB, file_);
            break;
        }
    }

    fs::path dir_;
    fs::path file_;
    std::optional<ScopedTz> tz_;
};

TEST_P(ZoneFileChange, ReachesTheClockAtOnce) {
    const std::string tzText = GetParam().prefix + file_.string();
    locale::SystemClock clock;
    QEventLoop loop;
    int calls = 0;
    // A change may come as several events (a delete, then a new link): wait for the last.
    locale::ZoneWatcher watcher([&] {
        ++calls;
        if (clock.now().utcOffsetMinutes == 330) loop.quit();
    });
    ASSERT_TRUE(watcher.watching());
    EXPECT_EQ(clock.now().utcOffsetMinutes, 540);

    changeToZoneB();
    QTimer::singleShot(20s, &loop, &QEventLoop::quit);
    loop.exec();

    EXPECT_GT(calls, 0);
    EXPECT_EQ(clock.now().utcOffsetMinutes, 330);
    const sys::LocalTime noon = locale::toLocalTime(dec7 + 12h);
    EXPECT_EQ(noon.hour, 17);
    EXPECT_EQ(noon.minute, 30);
    EXPECT_STREQ(std::getenv("TZ"), tzText.c_str());
}

std::string caseName(const ZoneCase& c) {
    static const char* const names[] = {"RenameCopyOver", "RewriteInPlace", "RepointLink", "DeleteAndLink"};
    return std::string(names[static_cast<int>(c.change)]) + (*c.prefix ? "Colon" : "");
}
void PrintTo(const ZoneCase& c, std::ostream* out) { *out << caseName(c); }

INSTANTIATE_TEST_SUITE_P(Zone, ZoneFileChange,
                         ::testing::Values(ZoneCase{Change::RenameCopyOver, ":"}, ZoneCase{Change::RewriteInPlace, ""},
                                           ZoneCase{Change::RepointLink, ":"}, ZoneCase{Change::DeleteAndLink, ""}),
                         [](const auto& info) { return caseName(info.param); });

}  // namespace

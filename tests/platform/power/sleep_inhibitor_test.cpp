// The sleep inhibitor against a stand-in desktop on a private session bus (run under
// dbus-run-session): what it asks, with which flags and reasons, and what it lets go;
// and the wake-up for the alarm, against a stand-in power manager and service manager.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QElapsedTimer>

#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/power/qt_sleep_inhibitor.h"
#include "platform/power/qt_wake_alarm.h"
#include "tests/platform/qt/qt_app.h"

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kLogin = QStringLiteral("org.freedesktop.login1");

using qttest::waitFor;

// A stand-in service on the test's own connection: it records each call as a line, and
// answers at once or when told.
class FakeService : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }

    // Waits for n more calls (a short while when fewer are expected) and hands them over.
    std::vector<std::string> next(std::size_t n, int ms = 3000) {
        waitFor([&] { return calls_.size() >= n; }, ms);
        QCoreApplication::processEvents();
        return std::exchange(calls_, {});
    }
    // Sends the answers held back so far, in the order they were asked or the other way.
    void answerHeld(bool newestFirst = false) {
        if (newestFirst) std::reverse(held_.begin(), held_.end());
        for (const QDBusMessage& reply : std::exchange(held_, {})) bus_.send(reply);
    }

    std::size_t waiting() const { return calls_.size(); }

    bool holdAnswers = false;

protected:
    void record(std::string line) {
        calls_.push_back(std::move(line));
        ++count_;
    }
    void answer(const QDBusMessage& reply) {
        if (holdAnswers) {
            held_.push_back(reply);
        } else {
            bus_.send(reply);
        }
    }
    QDBusConnection bus_ = QDBusConnection::sessionBus();
    int count_ = 0;

private:
    std::vector<std::string> calls_;
    std::vector<QDBusMessage> held_;
};

// The desktop portal and the login manager as one object tree.
class FakeDesktop : public FakeService {
public:
    FakeDesktop() {
        bus_.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), this, QDBusConnection::SubPath);
        bus_.registerVirtualObject(QStringLiteral("/org/freedesktop/login1"), this);
        bus_.registerService(kLogin);
    }
    ~FakeDesktop() override {
        bus_.unregisterService(kPortal);
        bus_.unregisterService(kLogin);
        bus_.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"), QDBusConnection::UnregisterTree);
        bus_.unregisterObject(QStringLiteral("/org/freedesktop/login1"));
        for (int fd : loginEnds_) ::close(fd);
    }
    void runPortal() { bus_.registerService(kPortal); }

    bool handleMessage(const QDBusMessage& m, const QDBusConnection&) override {
        const QString call = m.interface() + QLatin1Char('.') + m.member();
        const QVariantList args = m.arguments();
        if (call == QLatin1String("org.freedesktop.portal.Inhibit.Inhibit")) {
            const auto options = qdbus_cast<QVariantMap>(args.at(2));
            record("inhibit " + std::to_string(args.at(1).toUInt()) + " " +
                   options.value(QStringLiteral("reason")).toString().toStdString());
            // Each request is named after its place in the record.
            const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/t/%1").arg(count_);
            answer(m.createReply(QVariant::fromValue(QDBusObjectPath(handle))));
        } else if (call == QLatin1String("org.freedesktop.portal.Request.Close")) {
            record("close " + m.path().section(QLatin1Char('/'), -1).toStdString());
        } else if (call == QLatin1String("org.freedesktop.login1.Manager.Inhibit")) {
            std::string line = "login";
            for (const QVariant& a : args) line += " " + a.toString().toStdString();
            record(line);
            int ends[2];
            if (::pipe(ends) != 0) return false;
            loginEnds_.push_back(ends[0]);
            answer(m.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]))));
            ::close(ends[1]);
        } else {
            return false;
        }
        return true;
    }

    // Whether the login manager still has a holder on its n-th inhibition (from 0).
    bool loginHeld(std::size_t n) const {
        pollfd p{loginEnds_.at(n), POLLIN, 0};
        return ::poll(&p, 1, 0) == 0;
    }

private:
    std::vector<int> loginEnds_;
};

using Calls = std::vector<std::string>;

// For calls whose order depends on when an answer reaches the inhibitor.
Calls sorted(Calls calls) {
    std::sort(calls.begin(), calls.end());
    return calls;
}

class SleepInhibitorTest : public qttest::WithApplication, public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus: run under dbus-run-session";
        const std::string bus = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").toStdString();
        // The login manager is looked for on the same private bus.
        inhibitor = power::createSleepInhibitor({bus, bus});
    }

    FakeDesktop desktop;
    std::unique_ptr<sys::SleepInhibitor> inhibitor;
};

TEST_F(SleepInhibitorTest, PortalInhibitsSuspendWithTheReasonAndANewReasonReplacesTheOld) {
    desktop.runPortal();
    inhibitor->inhibit("Alarm set for 7:05AM", {});
    inhibitor->inhibit("Alarm set for 7:05AM", {});
    EXPECT_EQ(desktop.next(1), Calls{"inhibit 4 Alarm set for 7:05AM"});
    // The answer is let in before the new reason, so that the first request holds when
    // it is replaced: an answer still on its way then would be let go as overtaken, and
    // its close would prove nothing. (On a very busy machine it may still be on its way;
    // the test then proves less, but does not fail.)
    waitFor([] { return false; }, 300);
    // The old request closes only once the new one holds.
    inhibitor->inhibit("Alarm set for 7:10AM", {});
    EXPECT_EQ(desktop.next(2), (Calls{"inhibit 4 Alarm set for 7:10AM", "close 1"}));
    inhibitor->release();
    inhibitor->release();
    EXPECT_EQ(desktop.next(1), Calls{"close 2"});
    inhibitor.reset();
    EXPECT_EQ(desktop.next(1, 300), Calls{});
}

// Answers that come after the user disarmed or re-armed are let go at once.
TEST_F(SleepInhibitorTest, AnswersOvertakenWhileInFlightAreLetGo) {
    desktop.runPortal();
    desktop.holdAnswers = true;
    inhibitor->inhibit("Alarm set for 7:05AM", {});
    EXPECT_EQ(desktop.next(1), Calls{"inhibit 4 Alarm set for 7:05AM"});
    inhibitor->release();
    desktop.answerHeld();
    EXPECT_EQ(desktop.next(1), Calls{"close 1"});

    // The bus may answer a later request first: the earlier answer must not win.
    inhibitor->inhibit("Alarm set for 6:00AM", {});
    inhibitor->inhibit("Alarm set for 6:30AM", {});
    EXPECT_EQ(desktop.next(2), (Calls{"inhibit 4 Alarm set for 6:00AM", "inhibit 4 Alarm set for 6:30AM"}));
    desktop.answerHeld(/*newestFirst=*/true);
    EXPECT_EQ(desktop.next(2, 300), Calls{"close 3"});
    // The one standing goes with the inhibitor.
    inhibitor.reset();
    EXPECT_EQ(desktop.next(1), Calls{"close 4"});
}

TEST_F(SleepInhibitorTest, WithoutAPortalTheLoginManagerHoldsSleepUntilReleased) {
    inhibitor->inhibit("Alarm set for 7:05AM", {});
    EXPECT_EQ(desktop.next(1), Calls{"login sleep Tolvane Alarm set for 7:05AM block"});
    ASSERT_TRUE(waitFor([&] { return desktop.loginHeld(0); }));
    inhibitor->inhibit("Alarm set for 8:00AM", {});
    EXPECT_EQ(desktop.next(1), Calls{"login sleep Tolvane Alarm set for 8:00AM block"});
    EXPECT_TRUE(waitFor([&] { return !desktop.loginHeld(0); }));
    EXPECT_TRUE(desktop.loginHeld(1));
    inhibitor->release();
    EXPECT_TRUE(waitFor([&] { return !desktop.loginHeld(1); }));
}

// Run with both bus addresses pointing nowhere, as under a bare display server.
TEST(NoBus, CallsReturnAtOnceAndSayNothing) {
    qttest::application();
    static std::vector<QString> said;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) { said.push_back(text); });
    QElapsedTimer timer;
    timer.start();
    {
        auto inhibitor = power::createSleepInhibitor();
        inhibitor->inhibit("Alarm set for 7:05AM", {});
        inhibitor->inhibit("Alarm set for 7:10AM", {});
        waitFor([] { return false; }, 100);
        inhibitor->release();
    }
    EXPECT_LT(timer.elapsed(), 1000);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(said.empty()) << said.front().toStdString();
}

// ---- The wake-up for the alarm.

// Sets the local clock's zone for a while and puts the old one back.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        set(zone);
    }
    ~ZoneScope() {
        if (old_) {
            ::setenv("TZ", old_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    static void set(const char* zone) {
        ::setenv("TZ", zone, 1);
        ::tzset();
    }

private:
    std::optional<std::string> old_;
};

std::int64_t utc(const char* text) {
    std::tm tm{};
    ::strptime(text, "%Y-%m-%d %H:%M:%S", &tm);
    return ::timegm(&tm);
}

struct NextWakeCase {
    const char* nowUtc;
    sys::WakeTime at;
    const char* dueUtc;
};

void PrintTo(const NextWakeCase& c, std::ostream* out) {
    *out << c.at.hour << ":" << c.at.minute << " after " << c.nowUtc << " UTC";
}

class NextWake : public ::testing::TestWithParam<NextWakeCase> {};

TEST_P(NextWake, IsTheFirstStartOfTheLocalMinuteAfterNow) {
    const ZoneScope zone("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(power::nextWakeSeconds(utc(GetParam().nowUtc), GetParam().at), utc(GetParam().dueUtc));
}

INSTANTIATE_TEST_SUITE_P(CentralEurope, NextWake,
                         ::testing::Values(NextWakeCase{"2024-01-10 06:04:59", {7, 5}, "2024-01-10 06:05:00"},
                                           // On the minute itself: it has come, so tomorrow's.
                                           NextWakeCase{"2024-01-10 06:05:00", {7, 5}, "2024-01-11 06:05:00"},
                                           NextWakeCase{"2024-01-10 22:59:30", {0, 0}, "2024-01-10 23:00:00"},
                                           // The nights the clocks go forward and back: 23 and 25 hours on.
                                           NextWakeCase{"2024-03-30 21:00:00", {7, 0}, "2024-03-31 05:00:00"},
                                           NextWakeCase{"2024-10-26 20:00:00", {7, 0}, "2024-10-27 06:00:00"}));

const QString kPowerManager = QStringLiteral("org.kde.Solid.PowerManagement");
const QString kServiceManager = QStringLiteral("org.freedesktop.systemd1");

// What the service manager was asked to start.
struct StartedTimer {
    QString unit;
    QString mode;
    QString calendar;
    bool wakeSystem = false;
    qulonglong accuracyUSec = ~0ULL;
    QString auxUnit;
    QString auxExec;
};

// Reads an a(sv) of unit properties, handing each to `take`.
void readProperties(const QDBusArgument& in, const std::function<void(const QString&, const QVariant&)>& take) {
    in.beginArray();
    while (!in.atEnd()) {
        QString name;
        QDBusVariant value;
        in.beginStructure();
        in >> name >> value;
        in.endStructure();
        take(name, value.variant());
    }
    in.endArray();
}

StartedTimer readStart(const QVariantList& args) {
    StartedTimer t;
    t.unit = args.at(0).toString();
    t.mode = args.at(1).toString();
    readProperties(args.at(2).value<QDBusArgument>(), [&](const QString& name, const QVariant& value) {
        if (name == QLatin1String("TimersCalendar")) {
            const auto triggers = value.value<QDBusArgument>();
            triggers.beginArray();
            while (!triggers.atEnd()) {
                QString base;
                QString expression;
                triggers.beginStructure();
                triggers >> base >> expression;
                triggers.endStructure();
                if (base == QLatin1String("OnCalendar")) t.calendar = expression;
            }
            triggers.endArray();
        } else if (name == QLatin1String("WakeSystem")) {
            t.wakeSystem = value.toBool();
        } else if (name == QLatin1String("AccuracyUSec")) {
            t.accuracyUSec = value.toULongLong();
        }
    });
    const auto aux = args.at(3).value<QDBusArgument>();
    aux.beginArray();
    while (!aux.atEnd()) {
        aux.beginStructure();
        aux >> t.auxUnit;
        readProperties(aux, [&](const QString& name, const QVariant& value) {
            if (name != QLatin1String("ExecStart")) return;
            const auto commands = value.value<QDBusArgument>();
            commands.beginArray();
            while (!commands.atEnd()) {
                QStringList argv;
                bool ignoreFailure = false;
                commands.beginStructure();
                commands >> t.auxExec >> argv >> ignoreFailure;
                commands.endStructure();
            }
            commands.endArray();
        });
        aux.endStructure();
    }
    aux.endArray();
    return t;
}

// The desktop's power manager and the user's service manager, each running on demand.
// Cookies and started timers count from 1 in the record.
class FakeWakeServices : public FakeService {
public:
    FakeWakeServices() {
        bus_.registerVirtualObject(QStringLiteral("/org/kde/Solid/PowerManagement"), this);
        bus_.registerVirtualObject(QStringLiteral("/org/freedesktop/systemd1"), this);
    }
    ~FakeWakeServices() override {
        bus_.unregisterService(kPowerManager);
        bus_.unregisterService(kServiceManager);
        bus_.unregisterObject(QStringLiteral("/org/kde/Solid/PowerManagement"));
        bus_.unregisterObject(QStringLiteral("/org/freedesktop/systemd1"));
    }
    void runPowerManager() { bus_.registerService(kPowerManager); }
    void runServiceManager(const QString& version) {
        version_ = version;
        bus_.registerService(kServiceManager);
    }

    bool handleMessage(const QDBusMessage& m, const QDBusConnection&) override {
        const QString call = m.interface() + QLatin1Char('.') + m.member();
        const QVariantList args = m.arguments();
        if (call == QLatin1String("org.kde.Solid.PowerManagement.scheduleWakeup")) {
            callbackService_ = args.at(0).toString();
            callbackPath_ = qdbus_cast<QDBusObjectPath>(args.at(1)).path();
            record("schedule " + std::to_string(args.at(2).toULongLong()));
            answer(m.createReply(QVariant::fromValue(static_cast<uint>(++cookies_))));
        } else if (call == QLatin1String("org.kde.Solid.PowerManagement.clearWakeup")) {
            record("clear " + std::to_string(args.at(0).toInt()));
        } else if (call == QLatin1String("org.freedesktop.DBus.Properties.Get") &&
                   args.value(0).toString() == QLatin1String("org.freedesktop.systemd1.Manager") &&
                   args.value(1).toString() == QLatin1String("Version")) {
            record("version");
            answer(m.createReply(QVariant::fromValue(QDBusVariant(version_))));
        } else if (call == QLatin1String("org.freedesktop.systemd1.Manager.StartTransientUnit")) {
            started.push_back(readStart(args));
            record("start " + started.back().calendar.toStdString());
            answer(
                m.createReply(QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/freedesktop/systemd1/job/1")))));
        } else if (call == QLatin1String("org.freedesktop.systemd1.Manager.StopUnit")) {
            const auto it = std::find_if(started.begin(), started.end(),
                                         [&](const StartedTimer& t) { return t.unit == args.at(0).toString(); });
            record(it == started.end() ? "stop unknown" : "stop " + std::to_string(it - started.begin() + 1));
            bus_.send(
                m.createReply(QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/freedesktop/systemd1/job/2")))));
        } else {
            return false;
        }
        return true;
    }

    // The power manager's call when a wake-up comes, to whom it was scheduled by.
    void wakeUpCame(int cookie) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(callbackService_, callbackPath_, QStringLiteral("org.kde.PowerManagement"),
                                           QStringLiteral("wakeupCallback"));
        call << cookie;
        bus_.send(call);
    }

    std::vector<StartedTimer> started;

private:
    QString version_;
    int cookies_ = 0;
    QString callbackService_;
    QString callbackPath_;
};

// The tests' zone: two hours ahead of UTC all year, so the wake moment is plain sums.
constexpr std::int64_t kAhead = 2 * 60 * 60;
constexpr std::int64_t kDay = 24 * 60 * 60;

// Half past the hour twelve hours from now on a clock `offset` ahead of UTC: no minute
// boundary is near while a test runs.
sys::WakeTime awayFromNow(std::int64_t offset) {
    const std::int64_t local = std::time(nullptr) + offset;
    return {static_cast<int>((local / 3600 % 24 + 12) % 24), 30};
}

// The next hh:mm:00 on a clock `offset` ahead of UTC that keeps no summer time.
std::int64_t nextOnFixedClock(sys::WakeTime at, std::int64_t offset) {
    const std::int64_t local = std::time(nullptr) + offset;
    std::int64_t due = local - local % kDay + at.hour * 3600 + at.minute * 60;
    if (due <= local) due += kDay;
    return due - offset;
}

std::string schedule(std::int64_t due) { return "schedule " + std::to_string(due); }
std::string start(std::int64_t due) {
    const std::time_t t = static_cast<std::time_t>(due);
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char text[40];
    std::strftime(text, sizeof text, "start %Y-%m-%d %H:%M:%S UTC", &tm);
    return text;
}

class WakeTest : public qttest::WithApplication, public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus: run under dbus-run-session";
    }
    // The kernel timer is left out unless asked for: where this process may make one, it
    // would stand in for the service manager.
    std::unique_ptr<sys::SleepInhibitor> make(bool kernelTimer = false) {
        const std::string bus = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").toStdString();
        power::WakeOptions options;
        options.kernelTimer = kernelTimer;
        options.noWakeNotice = [this](const std::string& text) { notices.push_back(text); };
        return power::createSleepInhibitor({bus, bus}, options);
    }

    ZoneScope zone{"TLV-2"};
    FakeWakeServices services;
    std::vector<std::string> notices;
    const sys::WakeTime first = awayFromNow(kAhead);
    const sys::WakeTime second{first.hour, 45};
};

TEST_F(WakeTest, ThePowerManagerIsAskedFirst) {
    services.runPowerManager();
    services.runServiceManager(QStringLiteral("256"));
    auto inhibitor = make(/*kernelTimer=*/true);
    inhibitor->inhibit("Alarm set", first);
    EXPECT_EQ(services.next(1), Calls{schedule(nextOnFixedClock(first, kAhead))});
    EXPECT_EQ(services.next(1, 300), Calls{});
    inhibitor.reset();
    EXPECT_EQ(services.next(1), Calls{"clear 1"});
}

TEST_F(WakeTest, ThePowerManagersWakeUpFollowsTheAlarmUntilReleased) {
    services.runPowerManager();
    auto inhibitor = make();
    inhibitor->inhibit("Alarm set for A", first);
    EXPECT_EQ(services.next(1), Calls{schedule(nextOnFixedClock(first, kAhead))});
    // Another reason for the same minute leaves the wake-up as it is.
    inhibitor->inhibit("Alarm set for A, again", first);
    inhibitor->inhibit("Alarm set for B", second);
    EXPECT_EQ(sorted(services.next(2)), (Calls{"clear 1", schedule(nextOnFixedClock(second, kAhead))}));
    inhibitor->release();
    inhibitor->release();
    EXPECT_EQ(services.next(1), Calls{"clear 2"});
    inhibitor->inhibit("Alarm set for A", first);
    EXPECT_EQ(services.next(1), Calls{schedule(nextOnFixedClock(first, kAhead))});
    inhibitor.reset();
    EXPECT_EQ(services.next(1), Calls{"clear 3"});
}

TEST_F(WakeTest, TheServiceManagersWakingTimerFollowsTheAlarmUntilReleased) {
    services.runServiceManager(QStringLiteral("254.5-1"));
    auto inhibitor = make();
    inhibitor->inhibit("Alarm set for A", first);
    EXPECT_EQ(services.next(2), (Calls{"version", start(nextOnFixedClock(first, kAhead))}));
    ASSERT_EQ(services.started.size(), 1u);
    const StartedTimer& timer = services.started[0];
    EXPECT_TRUE(timer.wakeSystem);
    EXPECT_EQ(timer.mode, QLatin1String("replace"));
    EXPECT_LE(timer.accuracyUSec, 1000000u);
    ASSERT_TRUE(timer.unit.endsWith(QLatin1String(".timer")));
    EXPECT_EQ(timer.auxUnit, timer.unit.chopped(6) + QLatin1String(".service"));
    EXPECT_TRUE(timer.auxExec.startsWith(QLatin1Char('/')));

    inhibitor->inhibit("Alarm set for B", second);
    EXPECT_EQ(services.next(3), (Calls{"stop 1", "version", start(nextOnFixedClock(second, kAhead))}));
    inhibitor->release();
    EXPECT_EQ(services.next(1), Calls{"stop 2"});
    inhibitor->inhibit("Alarm set for A", first);
    EXPECT_EQ(services.next(2).size(), 2u);
    inhibitor.reset();
    EXPECT_EQ(services.next(1), Calls{"stop 3"});
    EXPECT_TRUE(notices.empty());
}

// Only a service manager new enough to hold the waking capability is used.
class ServiceManagerVersion : public WakeTest, public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(ServiceManagerVersion, DecidesWhetherItIsUsed) {
    const auto [version, used] = GetParam();
    services.runServiceManager(QString::fromLatin1(version));
    auto inhibitor = make();
    inhibitor->inhibit("Alarm set", first);
    if (used) {
        EXPECT_EQ(services.next(2), (Calls{"version", start(nextOnFixedClock(first, kAhead))}));
        inhibitor.reset();
        EXPECT_EQ(services.next(1), Calls{"stop 1"});
    } else {
        EXPECT_EQ(services.next(1), Calls{"version"});
        ASSERT_TRUE(waitFor([&] { return !notices.empty(); }));
        EXPECT_NE(notices[0].find(version), std::string::npos) << notices[0];
        EXPECT_EQ(services.next(1, 300), Calls{});
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, ServiceManagerVersion,
                         ::testing::Values(std::pair{"252.39-1~deb12u1", false}, std::pair{"253", false},
                                           std::pair{"254", true}, std::pair{"257.2-3", true}));

TEST_F(WakeTest, AChangedClockSetsTheWakeUpAgainForTheNewLocalTime) {
    services.runPowerManager();
    auto inhibitor = make();
    inhibitor->inhibit("Alarm set", first);
    EXPECT_EQ(services.next(1), Calls{schedule(nextOnFixedClock(first, kAhead))});
    // Five hours behind UTC now.
    ZoneScope::set("TLW+5");
    inhibitor->clockChanged();
    EXPECT_EQ(sorted(services.next(2)), (Calls{"clear 1", schedule(nextOnFixedClock(first, -5 * 60 * 60))}));
    inhibitor.reset();
    EXPECT_EQ(services.next(1), Calls{"clear 2"});
}

TEST_F(WakeTest, OnceTheWakeUpHasComeTheNextDaysIsSet) {
    services.runPowerManager();
    auto inhibitor = make();
    inhibitor->inhibit("Alarm set", first);
    const std::int64_t due = nextOnFixedClock(first, kAhead);
    EXPECT_EQ(services.next(1), Calls{schedule(due)});
    // Said until the inhibitor has the cookie (its answer may still be on the way). The
    // one that came is gone from the power manager: nothing to clear.
    ASSERT_TRUE(waitFor([&] {
        services.wakeUpCame(1);
        return services.waiting() > 0;
    }));
    EXPECT_EQ(services.next(1), Calls{schedule(due + kDay)});
    // Word of a wake-up no longer set changes nothing.
    services.wakeUpCame(1);
    EXPECT_EQ(services.next(1, 300), Calls{});
    inhibitor.reset();
    EXPECT_EQ(services.next(1), Calls{"clear 2"});
}

TEST_F(WakeTest, WakeUpsAnsweredAfterTheyWereReplacedAreCleared) {
    services.runPowerManager();
    services.holdAnswers = true;
    auto inhibitor = make();
    inhibitor->inhibit("Alarm set for A", first);
    inhibitor->inhibit("Alarm set for B", second);
    EXPECT_EQ(services.next(2),
              (Calls{schedule(nextOnFixedClock(first, kAhead)), schedule(nextOnFixedClock(second, kAhead))}));
    services.answerHeld(/*newestFirst=*/true);
    EXPECT_EQ(services.next(1), Calls{"clear 1"});
    inhibitor->release();
    EXPECT_EQ(services.next(1), Calls{"clear 2"});
    // Still on the way when the inhibitor goes: cleared when it comes.
    inhibitor = make();
    inhibitor->inhibit("Alarm set for A", first);
    EXPECT_EQ(services.next(1).size(), 1u);
    inhibitor.reset();
    services.answerHeld();
    EXPECT_EQ(services.next(1), Calls{"clear 3"});
}

TEST_F(WakeTest, WhereNothingCanWakeTheComputerTheUserIsToldOncePerRun) {
    services.runServiceManager(QStringLiteral("252"));
    auto inhibitor = make();
    for (int round = 0; round < 3; ++round) {
        inhibitor->inhibit("Alarm set", first);
        EXPECT_EQ(services.next(1), Calls{"version"});
        // Each round's answer is in before the alarm is disarmed.
        waitFor([&] { return !notices.empty(); }, round == 0 ? 3000 : 300);
        inhibitor->release();
    }
    EXPECT_EQ(notices.size(), 1u);
    ASSERT_FALSE(notices.empty());
    EXPECT_NE(notices[0].find("cannot be woken"), std::string::npos) << notices[0];
}

// CLOCK_REALTIME_ALARM timers that this process holds: how far off each comes due.
std::vector<std::int64_t> wakingTimersDueIn() {
    std::vector<std::int64_t> out;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fdinfo")) {
        std::ifstream info(entry.path());
        std::string line;
        bool waking = false;
        long long seconds = -1;
        while (std::getline(info, line)) {
            if (line.rfind("clockid:", 0) == 0) waking = std::stoi(line.substr(8)) == CLOCK_REALTIME_ALARM;
            if (line.rfind("it_value: (", 0) == 0) seconds = std::stoll(line.substr(11));
        }
        if (waking) out.push_back(seconds);
    }
    return out;
}

// Where this process may make a waking kernel timer (it takes CAP_WAKE_ALARM and a
// real-time clock that can wake the computer), that timer stands in for the service
// manager; where it may not, the service manager is asked instead. Either way the test
// proves what this machine gets, so it never needs to be skipped.
TEST_F(WakeTest, AWakingKernelTimerStandsInForTheServiceManagerWhereItMayBeMade) {
    const int probe = ::timerfd_create(CLOCK_REALTIME_ALARM, TFD_CLOEXEC);
    const int why = errno;
    if (probe >= 0) ::close(probe);
    services.runServiceManager(QStringLiteral("256"));
    auto inhibitor = make(/*kernelTimer=*/true);
    inhibitor->inhibit("Alarm set", first);
    if (probe < 0) {
        std::printf("no waking kernel timer here (%s): the service manager's timer is checked\n", std::strerror(why));
        EXPECT_EQ(services.next(2), (Calls{"version", start(nextOnFixedClock(first, kAhead))}));
        EXPECT_TRUE(wakingTimersDueIn().empty());
        return;
    }
    ASSERT_TRUE(waitFor([] { return !wakingTimersDueIn().empty(); }));
    const std::vector<std::int64_t> dueIn = wakingTimersDueIn();
    ASSERT_EQ(dueIn.size(), 1u);
    // Loosely: a wrong day or zone is hours off, a busy machine only seconds.
    EXPECT_NEAR(dueIn[0], nextOnFixedClock(first, kAhead) - std::time(nullptr), 120);
    EXPECT_EQ(services.next(1, 300), Calls{});
    inhibitor->release();
    EXPECT_TRUE(wakingTimersDueIn().empty());
}

}  // namespace

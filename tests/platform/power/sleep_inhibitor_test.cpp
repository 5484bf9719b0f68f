// The sleep inhibitor against a stand-in desktop on a private session bus (run under
// dbus-run-session): what it asks, with which flags and reasons, and what it lets go.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QElapsedTimer>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/power/qt_sleep_inhibitor.h"
#include "tests/platform/qt/qt_app.h"

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kLogin = QStringLiteral("org.freedesktop.login1");

bool waitFor(const std::function<bool()>& done, int ms = 3000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// The desktop portal and the login manager as one object tree on the test's own
// connection. It records each call as a line, and answers at once or when told.
class FakeDesktop : public QDBusVirtualObject {
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

    QString introspect(const QString&) const override { return {}; }
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
    // Whether the login manager still has a holder on its n-th inhibition (from 0).
    bool loginHeld(std::size_t n) const {
        pollfd p{loginEnds_.at(n), POLLIN, 0};
        return ::poll(&p, 1, 0) == 0;
    }

    bool holdAnswers = false;

private:
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
    std::vector<std::string> calls_;
    int count_ = 0;
    std::vector<QDBusMessage> held_;
    std::vector<int> loginEnds_;
};

using Calls = std::vector<std::string>;

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

}  // namespace

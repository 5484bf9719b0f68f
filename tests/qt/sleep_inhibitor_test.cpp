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
#include <vector>

#include "platform/qt/qt_sleep_inhibitor.h"
#include "tests/qt/qt_app.h"

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
// connection. It answers at once, or holds its answers until told.
class FakeDesktop : public QDBusVirtualObject {
public:
    struct Call {
        std::string what;    // "portal", "close" or "login"
        std::string detail;  // flags and reason; the request closed; the login arguments
    };

    FakeDesktop() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), this, QDBusConnection::SubPath);
        bus.registerVirtualObject(QStringLiteral("/org/freedesktop/login1"), this);
        bus.registerService(kLogin);
    }
    ~FakeDesktop() override {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(kPortal);
        bus.unregisterService(kLogin);
        bus.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"), QDBusConnection::UnregisterTree);
        bus.unregisterObject(QStringLiteral("/org/freedesktop/login1"));
        for (int fd : loginEnds_) ::close(fd);
    }
    void runPortal() { QDBusConnection::sessionBus().registerService(kPortal); }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        const QString member = m.member();
        if (m.interface() == QLatin1String("org.freedesktop.portal.Inhibit") && member == QLatin1String("Inhibit")) {
            const auto options = qdbus_cast<QVariantMap>(m.arguments().at(2));
            calls.push_back({"portal", std::to_string(m.arguments().at(1).toUInt()) + " " +
                                           options.value(QStringLiteral("reason")).toString().toStdString()});
            // Named after the call's place in the record, which the closes then show.
            const QString handle = QStringLiteral("/org/freedesktop/portal/desktop/request/t/%1").arg(calls.size());
            answer(bus, m.createReply(QVariant::fromValue(QDBusObjectPath(handle))));
        } else if (m.interface() == QLatin1String("org.freedesktop.portal.Request") &&
                   member == QLatin1String("Close")) {
            calls.push_back({"close", m.path().section(QLatin1Char('/'), -1).toStdString()});
        } else if (m.interface() == QLatin1String("org.freedesktop.login1.Manager") &&
                   member == QLatin1String("Inhibit")) {
            std::string args;
            for (const QVariant& a : m.arguments()) args += (args.empty() ? "" : "|") + a.toString().toStdString();
            calls.push_back({"login", args});
            int ends[2];
            if (::pipe(ends) != 0) return false;
            loginEnds_.push_back(ends[0]);
            answer(bus, m.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]))));
            ::close(ends[1]);
        } else {
            return false;
        }
        return true;
    }

    // Sends the answers held back so far, in the order they were asked or the other way.
    void answerHeld(bool newestFirst = false) {
        if (newestFirst) std::reverse(held_.begin(), held_.end());
        for (const QDBusMessage& reply : held_) QDBusConnection::sessionBus().send(reply);
        held_.clear();
    }
    // Whether the login manager still has a holder on its n-th inhibition (from 0).
    bool loginHeld(std::size_t n) const {
        pollfd p{loginEnds_.at(n), POLLIN, 0};
        return ::poll(&p, 1, 0) == 0;
    }

    std::vector<Call> calls;
    bool holdAnswers = false;

private:
    void answer(const QDBusConnection& bus, const QDBusMessage& reply) {
        if (holdAnswers) {
            held_.push_back(reply);
        } else {
            QDBusConnection(bus).send(reply);
        }
    }
    std::vector<QDBusMessage> held_;
    std::vector<int> loginEnds_;
};

bool operator==(const FakeDesktop::Call& a, const FakeDesktop::Call& b) {
    return a.what == b.what && a.detail == b.detail;
}
using Calls = std::vector<FakeDesktop::Call>;

class SleepInhibitorTest : public qttest::WithApplication, public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus: run under dbus-run-session";
        const std::string bus = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS").toStdString();
        // The login manager is looked for on the same private bus.
        inhibitor = qtui::createSleepInhibitor({bus, bus});
    }
    ::testing::AssertionResult callsAre(const Calls& expected) {
        waitFor([&] { return desktop.calls.size() >= expected.size(); });
        QCoreApplication::processEvents();
        if (desktop.calls == expected) return ::testing::AssertionSuccess();
        auto failure = ::testing::AssertionFailure() << "the desktop was asked:";
        for (const auto& c : desktop.calls) failure << " " << c.what << "(" << c.detail << ")";
        return failure;
    }

    FakeDesktop desktop;
    std::unique_ptr<ui::SleepInhibitor> inhibitor;
};

TEST_F(SleepInhibitorTest, PortalInhibitsSuspendWithTheReasonAndANewReasonReplacesTheOld) {
    desktop.runPortal();
    inhibitor->inhibit("Alarm set for 7:05AM");
    inhibitor->inhibit("Alarm set for 7:05AM");
    ASSERT_TRUE(callsAre({{"portal", "4 Alarm set for 7:05AM"}}));
    inhibitor->inhibit("Alarm set for 7:10AM");
    // The old request closes only once the new one holds.
    ASSERT_TRUE(callsAre({{"portal", "4 Alarm set for 7:05AM"}, {"portal", "4 Alarm set for 7:10AM"}, {"close", "1"}}));
    inhibitor->release();
    inhibitor->release();
    EXPECT_TRUE(callsAre(
        {{"portal", "4 Alarm set for 7:05AM"}, {"portal", "4 Alarm set for 7:10AM"}, {"close", "1"}, {"close", "2"}}));
    // Dropping a released inhibitor asks nothing more.
    inhibitor.reset();
    EXPECT_FALSE(waitFor([&] { return desktop.calls.size() > 4; }, 200));
}

// Answers that come after the user disarmed or re-armed are let go at once.
TEST_F(SleepInhibitorTest, AnswersOvertakenWhileInFlightAreLetGo) {
    desktop.runPortal();
    desktop.holdAnswers = true;
    inhibitor->inhibit("Alarm set for 7:05AM");
    ASSERT_TRUE(waitFor([&] { return desktop.calls.size() == 1; }));
    inhibitor->release();
    desktop.answerHeld();
    ASSERT_TRUE(callsAre({{"portal", "4 Alarm set for 7:05AM"}, {"close", "1"}}));

    // The bus may answer a later request first: the earlier answer must not win.
    inhibitor->inhibit("Alarm set for 6:00AM");
    inhibitor->inhibit("Alarm set for 6:30AM");
    ASSERT_TRUE(waitFor([&] { return desktop.calls.size() == 4; }));
    desktop.answerHeld(/*newestFirst=*/true);
    ASSERT_TRUE(callsAre({{"portal", "4 Alarm set for 7:05AM"},
                          {"close", "1"},
                          {"portal", "4 Alarm set for 6:00AM"},
                          {"portal", "4 Alarm set for 6:30AM"},
                          {"close", "3"}}));
    // The one standing goes with the inhibitor.
    inhibitor.reset();
    EXPECT_TRUE(callsAre({{"portal", "4 Alarm set for 7:05AM"},
                          {"close", "1"},
                          {"portal", "4 Alarm set for 6:00AM"},
                          {"portal", "4 Alarm set for 6:30AM"},
                          {"close", "3"},
                          {"close", "4"}}));
}

TEST_F(SleepInhibitorTest, WithoutAPortalTheLoginManagerHoldsSleepUntilReleased) {
    inhibitor->inhibit("Alarm set for 7:05AM");
    ASSERT_TRUE(callsAre({{"login", "sleep|Tolvane|Alarm set for 7:05AM|block"}}));
    ASSERT_TRUE(waitFor([&] { return desktop.loginHeld(0); }));
    inhibitor->inhibit("Alarm set for 8:00AM");
    ASSERT_TRUE(callsAre({{"login", "sleep|Tolvane|Alarm set for 7:05AM|block"},
                          {"login", "sleep|Tolvane|Alarm set for 8:00AM|block"}}));
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
        auto inhibitor = qtui::createSleepInhibitor();
        inhibitor->inhibit("Alarm set for 7:05AM");
        inhibitor->inhibit("Alarm set for 7:10AM");
        waitFor([] { return false; }, 100);
        inhibitor->release();
    }
    EXPECT_LT(timer.elapsed(), 1000);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(said.empty()) << said.front().toStdString();
}

}  // namespace

// Notices without a box: a desktop notification where a notification server runs on
// the session bus (a stand-in here, under dbus-run-session), the tray's tooltip where
// none does or there is no bus at all, and standard error always.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>

#include <functional>
#include <string>
#include <vector>

#include "platform/qt/qt_view.h"
#include "platform/qt/qt_window_services.h"
#include "tests/platform/qt/qt_app.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const char* const kConnection = "tolvane-test-notifier";

using qttest::waitFor;

// A notification server on a connection of its own, so that its calls go through the
// bus as a real server's do. It records each Notify and answers it.
class FakeServer : public QDBusVirtualObject {
public:
    FakeServer() : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QString::fromLatin1(kConnection))) {
        bus_.registerVirtualObject(kPath, this);
        running = bus_.registerService(kService);
    }
    ~FakeServer() override {
        bus_.unregisterService(kService);
        bus_.unregisterObject(kPath);
        QDBusConnection::disconnectFromBus(QString::fromLatin1(kConnection));
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& connection) override {
        if (m.interface() != kService || m.member() != QLatin1String("Notify")) return false;
        calls.push_back(m);
        connection.send(m.createReply(QVariant::fromValue(7u)));
        return true;
    }

    bool running = false;
    std::vector<QDBusMessage> calls;

private:
    QDBusConnection bus_;
};

class Notices : public qttest::WithApplication, public ::testing::Test {
protected:
    void SetUp() override { view.setApplicationTitle("Tolvane @7:05AM"); }

    qt::QtView view;
    qt::QtWindowServices services{view};
};

class OnTheBus : public Notices {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus: run under dbus-run-session";
        Notices::SetUp();
    }
};

TEST_F(OnTheBus, TheServerGetsTheNoticeAndTheTooltipKeepsTheTitle) {
    FakeServer server;
    ASSERT_TRUE(server.running);
    const std::string text = "The sound file /music/Rock & Roll.wav is gone: the alarm rings its own tone";
    testing::internal::CaptureStderr();
    services.notify(text);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "tolvane: " + text + "\n");
    ASSERT_TRUE(waitFor([&] { return !server.calls.empty(); }));
    const QDBusMessage& call = server.calls.front();
    // Servers check the types: a signed id or a list of the wrong kind is refused.
    EXPECT_EQ(call.signature(), QStringLiteral("susssasa{sv}i"));
    const QVariantList args = call.arguments();
    ASSERT_EQ(args.size(), 8);
    EXPECT_EQ(args[0].toString(), QStringLiteral("Tolvane"));
    EXPECT_EQ(args[1].toUInt(), 0u);
    EXPECT_EQ(args[2].toString(), QStringLiteral("tolvane"));
    EXPECT_EQ(args[3].toString(), QStringLiteral("Tolvane"));
    EXPECT_EQ(args[4].toString().toStdString(), text);
    EXPECT_EQ(args[7].toInt(), -1);
    // The answer comes back: nothing more is shown.
    waitFor([] { return false; }, 300);
    EXPECT_EQ(view.trayToolTip(), "Tolvane @7:05AM");
}

// The bus runs, but nothing shows notifications on it.
TEST_F(OnTheBus, WithoutAServerTheTooltipHoldsTheLatestNoticeUnderTheTitle) {
    services.notify("The first notice");
    services.notify("The CD is not in the drive");
    EXPECT_TRUE(waitFor([&] { return view.trayToolTip() == "Tolvane @7:05AM\nThe CD is not in the drive"; }))
        << view.trayToolTip();
    view.setApplicationTitle("Tolvane Off");
    EXPECT_EQ(view.trayToolTip(), "Tolvane Off\nThe CD is not in the drive");
}

// Run with the bus address pointing nowhere, as under a bare display server.
TEST_F(Notices, WithNoBusTheTooltipHoldsTheNotice) {
    testing::internal::CaptureStderr();
    services.notify("The alarm is set");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "tolvane: The alarm is set\n");
    EXPECT_TRUE(waitFor([&] { return view.trayToolTip() == "Tolvane @7:05AM\nThe alarm is set"; }))
        << view.trayToolTip();
}

}  // namespace

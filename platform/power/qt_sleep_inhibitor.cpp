#include "platform/power/qt_sleep_inhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>

#include <atomic>
#include <cstdint>
#include <optional>
#include <utility>

#include "platform/power/qt_wake_alarm.h"

namespace power {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalInhibit = QStringLiteral("org.freedesktop.portal.Inhibit");
const QString kPortalRequest = QStringLiteral("org.freedesktop.portal.Request");
// Suspend only: the screen may still blank and lock through the night.
constexpr std::uint32_t kInhibitSuspend = 4;

const QString kLoginService = QStringLiteral("org.freedesktop.login1");
const QString kLoginPath = QStringLiteral("/org/freedesktop/login1");
const QString kLoginManager = QStringLiteral("org.freedesktop.login1.Manager");

QDBusConnection openBus(const std::string& address, QDBusConnection::BusType fallback, const char* role) {
    if (address.empty()) {
        return fallback == QDBusConnection::SessionBus ? QDBusConnection::sessionBus() : QDBusConnection::systemBus();
    }
    // Each inhibitor its own named connection, so tests may make several.
    static std::atomic<int> serial{0};
    const QString name = QStringLiteral("tolvane-sleep-%1-%2").arg(QLatin1String(role)).arg(++serial);
    return QDBusConnection::connectToBus(QString::fromStdString(address), name);
}

// What keeps the computer awake now: a portal request to close, or a login manager
// descriptor to let go of.
struct Hold {
    QString portalRequest;
    QDBusUnixFileDescriptor loginFd;
};

class BusSleepInhibitor final : public sys::SleepInhibitor {
public:
    BusSleepInhibitor(BusAddresses buses, WakeOptions options)
        : buses_(std::move(buses)), wake_([this]() -> QDBusConnection& { return session(); }, std::move(options)) {}

    // The bus would also end the holds when the program's connection goes; this says
    // so at once.
    ~BusSleepInhibitor() override { release(); }

    void inhibit(const std::string& reason, sys::WakeTime wakeAt) override {
        if (wanted_ != reason) {
            wanted_ = reason;
            askPortal(++generation_, QString::fromStdString(reason));
        }
        wake_.set(wakeAt);
    }

    void release() override {
        wake_.clear();
        wanted_.reset();
        ++generation_;
        letGo(hold_);
        hold_ = {};
    }

    void clockChanged() override { wake_.clockChanged(); }

private:
    // A request is current while no later inhibit() or release() came after it.
    using Generation = std::uint64_t;

    template <typename Answer>
    void whenAnswered(const QDBusPendingCall& call, Answer answer) {
        auto* watcher = new QDBusPendingCallWatcher(call, &context_);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context_, [watcher, answer] {
            watcher->deleteLater();
            answer(*watcher);
        });
    }

    void askPortal(Generation generation, const QString& reason) {
        if (!session().isConnected()) return askLogin(generation, reason);
        QDBusMessage call =
            QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalInhibit, QStringLiteral("Inhibit"));
        call << QString() << kInhibitSuspend << QVariantMap{{QStringLiteral("reason"), reason}};
        whenAnswered(session().asyncCall(call), [this, generation, reason](QDBusPendingCallWatcher& w) {
            const QDBusPendingReply<QDBusObjectPath> reply = w;
            if (reply.isError()) {
                if (generation == generation_) askLogin(generation, reason);
                return;
            }
            settle(generation, Hold{reply.value().path(), {}});
        });
    }

    void askLogin(Generation generation, const QString& reason) {
        if (!system().isConnected()) return;
        QDBusMessage call =
            QDBusMessage::createMethodCall(kLoginService, kLoginPath, kLoginManager, QStringLiteral("Inhibit"));
        call << QStringLiteral("sleep") << QStringLiteral("Tolvane") << reason << QStringLiteral("block");
        whenAnswered(system().asyncCall(call), [this, generation](QDBusPendingCallWatcher& w) {
            const QDBusPendingReply<QDBusUnixFileDescriptor> reply = w;
            if (!reply.isError()) settle(generation, Hold{{}, reply.value()});
        });
    }

    // An answer for a request overtaken by release() or by a new reason is let go at
    // once; otherwise it replaces the hold (the old one goes only once the new one is
    // in place, so the computer is never left unguarded in between).
    void settle(Generation generation, Hold hold) {
        if (generation != generation_) return letGo(hold);
        letGo(hold_);
        hold_ = std::move(hold);
    }

    void letGo(const Hold& hold) {
        if (!hold.portalRequest.isEmpty()) {
            session().send(QDBusMessage::createMethodCall(kPortalService, hold.portalRequest, kPortalRequest,
                                                          QStringLiteral("Close")));
        }
        // The login manager ends the hold when its descriptor closes: the last copy is
        // the one in the Hold, and it closes when the Hold goes.
    }

    // The buses are joined on first need: a program that is never armed starts no bus
    // thread and makes no connection.
    QDBusConnection& session() {
        if (!session_) session_ = openBus(buses_.session, QDBusConnection::SessionBus, "session");
        return *session_;
    }
    QDBusConnection& system() {
        if (!system_) system_ = openBus(buses_.system, QDBusConnection::SystemBus, "system");
        return *system_;
    }

    BusAddresses buses_;
    std::optional<QDBusConnection> session_;
    std::optional<QDBusConnection> system_;
    std::optional<std::string> wanted_;
    Generation generation_ = 0;
    Hold hold_;
    // After the buses: it is dropped while they are still there.
    WakeAlarm wake_;
    // Last, so pending answers are dropped before anything they would touch.
    QObject context_;
};

}  // namespace

std::unique_ptr<sys::SleepInhibitor> createSleepInhibitor(const BusAddresses& buses, WakeOptions options) {
    return std::make_unique<BusSleepInhibitor>(buses, std::move(options));
}

}  // namespace power

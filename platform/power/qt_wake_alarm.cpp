#include "platform/power/qt_wake_alarm.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The service manager's records as they travel on the bus.
namespace power::unit {

struct Property {
    QString name;
    QDBusVariant value;
};
struct AuxUnit {
    QString name;
    QList<Property> properties;
};
struct CalendarTrigger {
    QString base;
    QString expression;
};
struct Command {
    QString path;
    QStringList argv;
    bool ignoreFailure = false;
};

// Each record is a structure of its fields, in order.
template <typename... Field>
QDBusArgument& writeFields(QDBusArgument& out, const Field&... fields) {
    out.beginStructure();
    (out << ... << fields);
    out.endStructure();
    return out;
}
template <typename... Field>
const QDBusArgument& readFields(const QDBusArgument& in, Field&... fields) {
    in.beginStructure();
    (in >> ... >> fields);
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const Property& p) { return writeFields(out, p.name, p.value); }
const QDBusArgument& operator>>(const QDBusArgument& in, Property& p) { return readFields(in, p.name, p.value); }
QDBusArgument& operator<<(QDBusArgument& out, const AuxUnit& u) { return writeFields(out, u.name, u.properties); }
const QDBusArgument& operator>>(const QDBusArgument& in, AuxUnit& u) { return readFields(in, u.name, u.properties); }
QDBusArgument& operator<<(QDBusArgument& out, const CalendarTrigger& t) {
    return writeFields(out, t.base, t.expression);
}
const QDBusArgument& operator>>(const QDBusArgument& in, CalendarTrigger& t) {
    return readFields(in, t.base, t.expression);
}
QDBusArgument& operator<<(QDBusArgument& out, const Command& c) {
    return writeFields(out, c.path, c.argv, c.ignoreFailure);
}
const QDBusArgument& operator>>(const QDBusArgument& in, Command& c) {
    return readFields(in, c.path, c.argv, c.ignoreFailure);
}

}  // namespace power::unit

Q_DECLARE_METATYPE(power::unit::Property)
Q_DECLARE_METATYPE(power::unit::AuxUnit)
Q_DECLARE_METATYPE(power::unit::CalendarTrigger)
Q_DECLARE_METATYPE(power::unit::Command)

namespace power {
namespace {

const QString kPowerService = QStringLiteral("org.kde.Solid.PowerManagement");
const QString kPowerPath = QStringLiteral("/org/kde/Solid/PowerManagement");
const QString kPowerInterface = QStringLiteral("org.kde.Solid.PowerManagement");
// The power manager calls this back on our object when the wake-up comes.
const QString kCallbackInterface = QStringLiteral("org.kde.PowerManagement");
const QString kCallbackMethod = QStringLiteral("wakeupCallback");

const QString kServiceManager = QStringLiteral("org.freedesktop.systemd1");
const QString kServiceManagerPath = QStringLiteral("/org/freedesktop/systemd1");
const QString kServiceManagerInterface = QStringLiteral("org.freedesktop.systemd1.Manager");
// Older user managers lack the capability to wake the computer and take the timer all
// the same, so the version is all there is to go by.
constexpr int kFirstWakingServiceManager = 254;

void registerUnitTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<unit::Property>();
        qDBusRegisterMetaType<QList<unit::Property>>();
        qDBusRegisterMetaType<unit::AuxUnit>();
        qDBusRegisterMetaType<QList<unit::AuxUnit>>();
        qDBusRegisterMetaType<unit::CalendarTrigger>();
        qDBusRegisterMetaType<QList<unit::CalendarTrigger>>();
        qDBusRegisterMetaType<unit::Command>();
        qDBusRegisterMetaType<QList<unit::Command>>();
        return true;
    }();
    (void)registered;
}

std::int64_t now() { return static_cast<std::int64_t>(std::time(nullptr)); }

// The moment in UTC, so that the service manager's own time zone does not matter.
QString calendarMoment(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
    return QString::fromLatin1(text);
}

// "254.5-1" and "v255" alike: the first run of digits, or 0.
int majorVersion(const QString& version) {
    int major = 0;
    bool seen = false;
    for (QChar c : version) {
        if (c.isDigit()) {
            seen = true;
            major = std::min(major * 10 + c.digitValue(), 100000);
        } else if (seen) {
            break;
        }
    }
    return major;
}

// A timer on a wall clock, watched on the event loop: it comes due at a moment of that
// clock however long the computer slept, and also reports the clock being set.
class DueTimer {
public:
    using Fired = std::function<void(bool clockSet)>;

    // Returns 0, or the error that kept the timer from being made.
    static int make(clockid_t clock, std::int64_t due, Fired fired, std::unique_ptr<DueTimer>& out) {
        const int fd = ::timerfd_create(clock, TFD_NONBLOCK | TFD_CLOEXEC);
        if (fd < 0) return errno;
        itimerspec setting{};
        setting.it_value.tv_sec = static_cast<time_t>(due);
        if (::timerfd_settime(fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &setting, nullptr) != 0) {
            const int error = errno;
            ::close(fd);
            return error;
        }
        out.reset(new DueTimer(fd, std::move(fired)));
        return 0;
    }

    // Closing the descriptor disarms the timer.
    ~DueTimer() {
        notifier_.setEnabled(false);
        ::close(fd_);
    }

private:
    DueTimer(int fd, Fired fired) : fd_(fd), fired_(std::move(fired)), notifier_(fd, QSocketNotifier::Read) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, &notifier_, [this] { readable(); });
    }

    void readable() {
        std::uint64_t expiries = 0;
        const ssize_t n = ::read(fd_, &expiries, sizeof expiries);
        if (n < 0 && errno == ECANCELED) return fired_(true);
        if (n == static_cast<ssize_t>(sizeof expiries)) fired_(false);
    }

    int fd_;
    Fired fired_;
    QSocketNotifier notifier_;
};

// Receives the power manager's call when a wake-up comes. Only a hint: the timer that
// follows the wake moment does the same without it.
class WakeCallback final : public QDBusVirtualObject {
public:
    explicit WakeCallback(std::function<void(std::uint32_t)> came) : came_(std::move(came)) {}

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        if (m.interface() != kCallbackInterface || m.member() != kCallbackMethod || m.arguments().size() != 1)
            return false;
        if (m.isReplyRequired()) bus.send(m.createReply());
        bool ok = false;
        const auto cookie = m.arguments().at(0).toUInt(&ok);
        if (ok) came_(cookie);
        return true;
    }

private:
    std::function<void(std::uint32_t)> came_;
};

// One attempt down the list of ways to wake the computer. It goes stale when a later
// set(), clear() or clockChanged() comes; answers to a stale one are undone.
struct Attempt {
    bool live = true;
    std::vector<std::string> whyNot;
};

template <typename Answer>
void whenAnswered(const QDBusPendingCall& call, Answer answer) {
    // Not owned by the alarm: an answer that comes after it is gone must still be undone.
    auto* watcher = new QDBusPendingCallWatcher(call, QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, answer] {
        watcher->deleteLater();
        answer(*watcher);
    });
}

QDBusMessage clearWakeupCall(std::uint32_t cookie) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPowerService, kPowerPath, kPowerInterface, QStringLiteral("clearWakeup"));
    call << static_cast<qint32>(cookie);
    return call;
}

QDBusMessage stopUnitCall(const QString& unit) {
    QDBusMessage call = QDBusMessage::createMethodCall(kServiceManager, kServiceManagerPath, kServiceManagerInterface,
                                                       QStringLiteral("StopUnit"));
    call << unit << QStringLiteral("replace");
    return call;
}

// A call whose answer does not matter. It goes out the way the calls that wait for an
// answer do, so it keeps its place among them (send() may overtake them).
void post(const QDBusConnection& bus, const QDBusMessage& call) { bus.asyncCall(call); }

bool noSuchService(const QDBusError& error) {
    return error.type() == QDBusError::ServiceUnknown || error.type() == QDBusError::UnknownObject ||
           error.type() == QDBusError::UnknownMethod || error.type() == QDBusError::UnknownInterface;
}

}  // namespace

std::int64_t nextWakeSeconds(std::int64_t now, sys::WakeTime at) {
    // The zone may have changed since the last reading.
    ::tzset();
    const std::time_t t = static_cast<std::time_t>(now);
    std::tm today{};
    localtime_r(&t, &today);
    // Today's, else tomorrow's; mktime settles a minute that a clock change skips.
    for (int ahead = 0; ahead < 3; ++ahead) {
        std::tm when = today;
        when.tm_mday += ahead;
        when.tm_hour = at.hour;
        when.tm_min = at.minute;
        when.tm_sec = 0;
        when.tm_isdst = -1;
        const std::time_t due = std::mktime(&when);
        if (due != static_cast<std::time_t>(-1) && due > t) return due;
    }
    return now + 24 * 60 * 60;
}

class WakeAlarm::Impl {
public:
    Impl(std::function<QDBusConnection&()> session, WakeOptions options)
        : session_(std::move(session)), options_(std::move(options)) {
        registerUnitTypes();
    }

    ~Impl() {
        clear();
        if (callback_) session_().unregisterObject(callbackPath_);
    }

    void set(sys::WakeTime at) {
        const bool valid = at.hour >= 0 && at.hour < 24 && at.minute >= 0 && at.minute < 60;
        if (!valid) return clear();
        if (at_ == at) return;
        at_ = at;
        arm(now(), false);
    }

    void clear() {
        if (!at_) return;
        at_.reset();
        undo(false);
        follow_.reset();
    }

    void clockChanged() {
        if (at_) arm(now(), false);
    }

private:
    // Clears what is set and sets the wake-up for the first moment after `after`.
    // `passed`: the old wake-up has come, there is nothing left of it to clear.
    void arm(std::int64_t after, bool passed) {
        undo(passed);
        due_ = nextWakeSeconds(after, *at_);
        attempt_ = std::make_shared<Attempt>();
        // Follows the wake moment on the wall clock, to set the next day's once it has
        // come. A waking kernel timer, where one is made below, takes its place.
        follow_.reset();
        DueTimer::make(CLOCK_REALTIME, due_, firedHandler(), follow_);
        askPowerManager(attempt_);
    }

    void undo(bool passed) {
        if (attempt_) attempt_->live = false;
        attempt_.reset();
        // The power manager drops a wake-up once it has come; asking it to clear one it
        // no longer has is best left alone.
        if (cookie_ && !passed) post(session_(), clearWakeupCall(*cookie_));
        cookie_.reset();
        // Sent even while its start is on the way: the service manager takes the calls
        // in order, so the stop comes after the start.
        if (!unit_.isEmpty()) post(session_(), stopUnitCall(unit_));
        unit_.clear();
    }

    void askPowerManager(const std::shared_ptr<Attempt>& attempt) {
        QDBusConnection& bus = session_();
        if (!bus.isConnected()) {
            attempt->whyNot.push_back("there is no session message bus");
            return tryKernelTimer(attempt);
        }
        registerCallback(bus);
        QDBusMessage call = QDBusMessage::createMethodCall(kPowerService, kPowerPath, kPowerInterface,
                                                           QStringLiteral("scheduleWakeup"));
        call << bus.baseService() << QDBusObjectPath(callbackPath_) << static_cast<qulonglong>(due_);
        whenAnswered(bus.asyncCall(call), [this, attempt, bus](QDBusPendingCallWatcher& w) {
            const QDBusPendingReply<uint> reply = w;
            if (!attempt->live) {
                if (!reply.isError()) post(bus, clearWakeupCall(reply.value()));
                return;
            }
            if (!reply.isError()) {
                cookie_ = reply.value();
                return;
            }
            attempt->whyNot.push_back(noSuchService(reply.error())
                                          ? "no power manager of the desktop schedules wake-ups"
                                          : "the desktop's power manager refused the wake-up (" +
                                                reply.error().message().toStdString() + ")");
            tryKernelTimer(attempt);
        });
    }

    void tryKernelTimer(const std::shared_ptr<Attempt>& attempt) {
        if (options_.kernelTimer) {
            std::unique_ptr<DueTimer> alarm;
            const int error = DueTimer::make(CLOCK_REALTIME_ALARM, due_, firedHandler(), alarm);
            if (error == 0) {
                follow_ = std::move(alarm);
                return;
            }
            attempt->whyNot.push_back(error == EPERM ? "a waking kernel timer needs a permission (CAP_WAKE_ALARM) "
                                                       "this program does not have"
                                                     : std::string("the kernel offers no waking timer (") +
                                                           std::strerror(error) + ")");
        }
        askServiceManager(attempt);
    }

    void askServiceManager(const std::shared_ptr<Attempt>& attempt) {
        QDBusConnection& bus = session_();
        if (!bus.isConnected()) return nothingWorks(*attempt);
        QDBusMessage get =
            QDBusMessage::createMethodCall(kServiceManager, kServiceManagerPath,
                                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << kServiceManagerInterface << QStringLiteral("Version");
        whenAnswered(bus.asyncCall(get), [this, attempt](QDBusPendingCallWatcher& w) {
            if (!attempt->live) return;
            const QDBusPendingReply<QDBusVariant> reply = w;
            if (reply.isError()) {
                attempt->whyNot.push_back("no user service manager answers on the session bus");
                return nothingWorks(*attempt);
            }
            const QString version = reply.value().variant().toString();
            if (majorVersion(version) < kFirstWakingServiceManager) {
                attempt->whyNot.push_back("the user service manager (version " + version.toStdString() +
                                          ") cannot wake the computer; version " +
                                          std::to_string(kFirstWakingServiceManager) + " or later can");
                return nothingWorks(*attempt);
            }
            startWakingTimer(attempt);
        });
    }

    void startWakingTimer(const std::shared_ptr<Attempt>& attempt) {
        using namespace unit;
        // A name of its own each time: a stopped unit lingers a moment, and a second
        // start under its name would be refused.
        static std::atomic<int> serial{0};
        const QString base = QStringLiteral("tolvane-wake-%1-%2-%3").arg(::getuid()).arg(::getpid()).arg(++serial);
        const QString description = QStringLiteral("Wakes the computer for the alarm of Tolvane");
        const QList<Property> timer{
            {QStringLiteral("Description"), QDBusVariant(description)},
            {QStringLiteral("TimersCalendar"), QDBusVariant(QVariant::fromValue(QList<CalendarTrigger>{
                                                   {QStringLiteral("OnCalendar"), calendarMoment(due_)}}))},
            {QStringLiteral("WakeSystem"), QDBusVariant(true)},
            // The default lets a timer come up to a minute late.
            {QStringLiteral("AccuracyUSec"), QDBusVariant(static_cast<qulonglong>(1000000))},
            // Gone once it has come, so nothing is left behind.
            {QStringLiteral("RemainAfterElapse"), QDBusVariant(false)},
        };
        // The timer must start something; waking is all it is for.
        const QList<AuxUnit> aux{{base + QStringLiteral(".service"),
                                  {{QStringLiteral("Description"), QDBusVariant(description)},
                                   {QStringLiteral("ExecStart"),
                                    QDBusVariant(QVariant::fromValue(QList<Command>{
                                        {QStringLiteral("/bin/true"), {QStringLiteral("/bin/true")}, false}}))}}}};
        unit_ = base + QStringLiteral(".timer");
        QDBusMessage call = QDBusMessage::createMethodCall(
            kServiceManager, kServiceManagerPath, kServiceManagerInterface, QStringLiteral("StartTransientUnit"));
        call << unit_ << QStringLiteral("replace") << QVariant::fromValue(timer) << QVariant::fromValue(aux);
        whenAnswered(session_().asyncCall(call), [this, attempt](QDBusPendingCallWatcher& w) {
            // A stale one was stopped when it went stale.
            if (!attempt->live) return;
            const QDBusPendingReply<QDBusObjectPath> reply = w;
            if (!reply.isError()) return;
            unit_.clear();
            attempt->whyNot.push_back("the user service manager refused a waking timer (" +
                                      reply.error().message().toStdString() + ")");
            nothingWorks(*attempt);
        });
    }

    // Said once per run: a notice at every arming would only nag.
    void nothingWorks(const Attempt& attempt) {
        if (noticeGiven_) return;
        noticeGiven_ = true;
        if (!options_.noWakeNotice) return;
        std::string text = "The computer cannot be woken from sleep for the alarm: ";
        for (std::size_t i = 0; i < attempt.whyNot.size(); ++i) text += (i ? "; " : "") + attempt.whyNot[i];
        text += ". Leave the computer awake, and plugged in, until the alarm is due.";
        // From the loop, never from inside inhibit(): the handler may come back here.
        QMetaObject::invokeMethod(
            &context_, [this, text] { options_.noWakeNotice(text); }, Qt::QueuedConnection);
    }

    // Runs a timer's news on the next turn of the loop: arm() replaces the very timer
    // that is reporting.
    DueTimer::Fired firedHandler() {
        const int serial = ++followSerial_;
        return [this, serial](bool clockSet) {
            QMetaObject::invokeMethod(
                &context_,
                [this, serial, clockSet] {
                    if (serial != followSerial_ || !at_) return;
                    if (clockSet) return arm(now(), false);
                    arm(std::max(now(), due_), true);
                },
                Qt::QueuedConnection);
        };
    }

    void registerCallback(QDBusConnection& bus) {
        if (callback_) return;
        static std::atomic<int> serial{0};
        callbackPath_ = QStringLiteral("/org/tolvane/WakeUp/%1").arg(++serial);
        callback_ = std::make_unique<WakeCallback>([this](std::uint32_t cookie) {
            QMetaObject::invokeMethod(
                &context_,
                [this, cookie] {
                    if (at_ && cookie_ == cookie) arm(std::max(now(), due_), true);
                },
                Qt::QueuedConnection);
        });
        bus.registerVirtualObject(callbackPath_, callback_.get());
    }

    std::function<QDBusConnection&()> session_;
    WakeOptions options_;
    std::optional<sys::WakeTime> at_;
    std::int64_t due_ = 0;
    std::shared_ptr<Attempt> attempt_;
    // What is set now: the power manager's cookie, the service manager's timer, or the
    // waking kernel timer (then follow_ itself).
    std::optional<std::uint32_t> cookie_;
    QString unit_;
    std::unique_ptr<DueTimer> follow_;
    int followSerial_ = 0;
    bool noticeGiven_ = false;
    QString callbackPath_;
    std::unique_ptr<WakeCallback> callback_;
    // Last, so queued news is dropped before anything it would touch.
    QObject context_;
};

WakeAlarm::WakeAlarm(std::function<QDBusConnection&()> session, WakeOptions options)
    : impl_(std::make_unique<Impl>(std::move(session), std::move(options))) {}
WakeAlarm::~WakeAlarm() = default;
void WakeAlarm::set(sys::WakeTime at) { impl_->set(at); }
void WakeAlarm::clear() { impl_->clear(); }
void WakeAlarm::clockChanged() { impl_->clockChanged(); }

}  // namespace power

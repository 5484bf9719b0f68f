#include "platform/qt/qt_event_loop.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/timerfd.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <exception>
#include <map>

namespace qt {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

namespace {

// How long after each whole second a wall-clock timer of the kernel fires: late enough
// that the clock reads the new second, early enough to look instant.
constexpr long wallClockOffsetNs = 500'000;

// A kernel timer on the real-time clock that expires just after every whole second
// of the period, and reports a change of the clock (a set or a resume) at once. One
// wake-up per expiry: no early expiries to wait out.
int armWallClockTimer(int fd, milliseconds period) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const long periodS = std::max<long>(1, static_cast<long>(period.count() / 1000));
    itimerspec expiry{};
    expiry.it_interval.tv_sec = periodS;
    expiry.it_value.tv_sec = (now.tv_sec / periodS + 1) * periodS;
    expiry.it_value.tv_nsec = wallClockOffsetNs;
    return timerfd_settime(fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry, nullptr);
}

}  // namespace

struct QtEventLoop::Impl {
    struct Timer {
        // Free-running timers, and wall-clock ones where no kernel timer can be made (no
        // descriptor left): those still tick every period, only out of phase.
        QTimer* timer = nullptr;
        steady_clock::time_point due;
        // Wall-clock timers: a kernel timer watched by the loop.
        int fd = -1;
        QSocketNotifier* notifier = nullptr;
        std::shared_ptr<std::function<void()>> callback;
        milliseconds period{1000};

        ~Timer() {
            if (fd >= 0) ::close(fd);
        }
    };

    void scheduleDrain() {
        QMetaObject::invokeMethod(
            &context, [this] { drain(); }, Qt::QueuedConnection);
    }

    void drain() {
        queue.drain();
        // Tasks beyond the ones drained (posted while it ran) wait for one more pass.
        if (!queue.empty()) scheduleDrain();
    }

    // A kernel wall-clock timer expired (or the clock was set): read it empty first,
    // so a modal box opened by the callback does not hold back the next expiry.
    void fireWallClock(sys::TimerId id) {
        const auto it = timers.find(id);
        if (it == timers.end()) return;
        Timer& t = *it->second;
        std::uint64_t expirations = 0;
        if (::read(t.fd, &expirations, sizeof expirations) < 0) {
            if (errno != ECANCELED) return;     // nothing to read: a spurious wake-up
            armWallClockTimer(t.fd, t.period);  // the clock changed: show it now
        }
        run(t);
    }

    // Each QTimer is single-shot and armed again before its callback runs, so an
    // expiry that opens a modal box does not hold back the next one.
    void fire(sys::TimerId id) {
        const auto it = timers.find(id);
        if (it == timers.end()) return;
        Timer& t = *it->second;
        const auto now = steady_clock::now();
        // Expiries missed while the loop was busy are not made up for.
        t.due += t.period;
        if (t.due <= now) t.due += t.period * ((now - t.due) / t.period + 1);
        t.timer->start(std::chrono::ceil<milliseconds>(t.due - now));
        run(t);
    }

    // An error must not unwind through the toolkit's event loop. Callers normally route
    // their callbacks through the application's dispatcher; what still escapes goes to
    // the queue, whose dispatcher reports it.
    void run(Timer& t) {
        const std::shared_ptr<std::function<void()>> callback = t.callback;
        try {
            (*callback)();
        } catch (...) {
            queue.postError(std::current_exception());
        }
    }

    sys::MessageQueue queue;
    QObject context;
    std::map<sys::TimerId, std::unique_ptr<Timer>> timers;
    sys::TimerId nextId = 1;
    bool quitPending = false;
    int quitCode = 0;
    bool running = false;
};

QtEventLoop::QtEventLoop() : impl_(std::make_unique<Impl>()) {
    impl_->queue.setWaker([impl = impl_.get()] { impl->scheduleDrain(); });
}

QtEventLoop::~QtEventLoop() {
    impl_->queue.setWaker(nullptr);
    for (auto& [id, t] : impl_->timers) {
        delete t->timer;
        delete t->notifier;
    }
}

sys::MessageQueue& QtEventLoop::queue() { return impl_->queue; }

sys::TimerId QtEventLoop::startTimer(milliseconds period, sys::TimerPhase phase, std::function<void()> callback) {
    const sys::TimerId id = impl_->nextId++;
    auto t = std::make_unique<Impl::Timer>();
    t->period = std::max(period, milliseconds(1));
    t->callback = std::make_shared<std::function<void()>>(std::move(callback));
    if (phase == sys::TimerPhase::WallClockSecond) {
        t->fd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
        if (t->fd >= 0 && armWallClockTimer(t->fd, t->period) == 0) {
            t->notifier = new QSocketNotifier(t->fd, QSocketNotifier::Read, &impl_->context);
            QObject::connect(t->notifier, &QSocketNotifier::activated, &impl_->context,
                             [impl = impl_.get(), id] { impl->fireWallClock(id); });
            impl_->timers.emplace(id, std::move(t));
            return id;
        }
    }
    t->timer = new QTimer(&impl_->context);
    t->timer->setTimerType(Qt::PreciseTimer);
    t->timer->setSingleShot(true);
    QObject::connect(t->timer, &QTimer::timeout, &impl_->context, [impl = impl_.get(), id] { impl->fire(id); });
    t->due = steady_clock::now() + t->period;
    t->timer->start(t->period);
    impl_->timers.emplace(id, std::move(t));
    return id;
}

void QtEventLoop::stopTimer(sys::TimerId id) {
    const auto it = impl_->timers.find(id);
    if (it == impl_->timers.end()) return;
    // The timer may be the one whose expiry is running right now.
    if (QTimer* timer = it->second->timer) {
        timer->stop();
        timer->deleteLater();
    }
    if (QSocketNotifier* notifier = it->second->notifier) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    impl_->timers.erase(it);
}

int QtEventLoop::run() {
    if (impl_->quitPending) {
        impl_->quitPending = false;
        return impl_->quitCode;
    }
    impl_->running = true;
    const int code = QCoreApplication::exec();
    impl_->running = false;
    impl_->quitPending = false;
    return code;
}

void QtEventLoop::quit(int code) {
    impl_->quitPending = true;
    impl_->quitCode = code;
    if (impl_->running) {
        QCoreApplication::exit(code);  // ends the modal waits inside the run too
        return;
    }
    // Before run() there is no loop to end, but there may be a box open from start-up,
    // whose wait would hold the end until someone answers it: it is closed. Telling Qt
    // to exit instead would make every later modal wait (a box at shutdown) return at once.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible() && dialog->isModal())
            dialog->reject();
    }
}

}  // namespace qt

#include "platform/qt/qt_stop_signals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <csignal>

namespace qt {

namespace {

constexpr std::array stopSignals{SIGINT, SIGTERM, SIGHUP};

// The write end of the pipe the handler wakes the loop through; -1 when none.
volatile std::sig_atomic_t wakeFd = -1;

extern "C" void onStopSignal(int signal) {
    const int savedErrno = errno;
    const char byte = static_cast<char>(signal);
    if (const int fd = wakeFd; fd >= 0) {
        const ssize_t written = ::write(fd, &byte, 1);
        static_cast<void>(written);  // a full pipe holds a wake-up already
    }
    errno = savedErrno;
}

}  // namespace

struct StopSignals::Impl {
    std::array<int, 2> pipe{-1, -1};
    std::array<struct sigaction, stopSignals.size()> previous{};
    std::array<bool, stopSignals.size()> installed{};
    std::unique_ptr<QSocketNotifier> notifier;
};

StopSignals::StopSignals(std::function<void()> onStop) : impl_(std::make_unique<Impl>()) {
    // Without a pipe the signals keep their usual effect.
    if (wakeFd >= 0 || ::pipe2(impl_->pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) return;
    wakeFd = impl_->pipe[1];
    impl_->notifier = std::make_unique<QSocketNotifier>(impl_->pipe[0], QSocketNotifier::Read);
    QObject::connect(impl_->notifier.get(), &QSocketNotifier::activated, impl_->notifier.get(),
                     [fd = impl_->pipe[0], onStop = std::move(onStop)] {
                         char bytes[16];
                         ssize_t count = 0;
                         while ((count = ::read(fd, bytes, sizeof bytes)) > 0) {
                             for (ssize_t i = 0; i < count; ++i) onStop();
                         }
                     });

    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (std::size_t i = 0; i < stopSignals.size(); ++i) {
        struct sigaction& before = impl_->previous[i];
        if (::sigaction(stopSignals[i], nullptr, &before) != 0 || before.sa_handler == SIG_IGN) continue;
        impl_->installed[i] = ::sigaction(stopSignals[i], &action, nullptr) == 0;
    }
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < stopSignals.size(); ++i) {
        if (impl_->installed[i]) ::sigaction(stopSignals[i], &impl_->previous[i], nullptr);
    }
    if (impl_->pipe[1] < 0) return;
    wakeFd = -1;
    impl_->notifier.reset();
    ::close(impl_->pipe[0]);
    ::close(impl_->pipe[1]);
}

}  // namespace qt

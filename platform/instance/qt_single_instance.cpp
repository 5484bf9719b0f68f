#include "platform/instance/qt_single_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

namespace instance {
namespace {

using Clock = std::chrono::steady_clock;

// A later start asks "show <its display>"; the running one answers "shown" when that
// is its own display (and shows its window), else "elsewhere <its display>".
constexpr std::string_view kShow = "show ";
constexpr std::string_view kShown = "shown\n";
constexpr std::string_view kElsewhere = "elsewhere ";
// Long enough for a busy machine, short enough that a start never seems to hang.
constexpr std::chrono::milliseconds kConnect{1000};
constexpr std::chrono::milliseconds kAnswer{3000};
constexpr int kLockMs = 5000;
// A caller that says nothing in this time is let go.
constexpr int kPeerMs = 5000;
// No request is longer than this; a caller that sends more without a line end is let go.
constexpr std::size_t kMaxRequest = 64;
// Keeps a request well inside kMaxRequest.
constexpr std::size_t kMaxDisplayChars = 40;

std::string normalisedX11(std::string d) {
    if (d.rfind("unix:", 0) == 0) d.erase(0, 4);
    const auto colon = d.rfind(':');
    if (colon == std::string::npos) return d;
    const auto dot = d.find('.', colon);
    if (dot != std::string::npos) d.erase(dot);
    return d;
}

std::optional<sockaddr_un> addressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) return std::nullopt;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// A socket descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

Fd streamSocket() { return Fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)); }

// Waits for events on fd until the deadline; false when it passes first or the wait fails.
bool waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready > 0) return true;
        if (ready < 0 && errno != EINTR) return false;
    }
}

// Asks a running instance to show itself; false when none answers the socket. When it
// runs on another display, `elsewhere` is set to that display.
bool askRunning(const std::string& path, const std::string& display, std::string& elsewhere) {
    const auto address = addressOf(path);
    if (!address) return false;
    const Fd fd = streamSocket();
    if (fd.get() < 0) return false;
    const auto connectBy = Clock::now() + kConnect;
    for (;;) {
        if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) == 0) break;
        if (errno == EINTR) continue;
        if (errno == EAGAIN) {
            // Its queue of callers is full: a busy instance, which will get to us.
            if (Clock::now() >= connectBy) return false;
            ::poll(nullptr, 0, 10);
            continue;
        }
        if (errno != EINPROGRESS || !waitFor(fd.get(), POLLOUT, connectBy)) return false;
        int error = 0;
        socklen_t size = sizeof(error);
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return false;
        break;
    }
    const auto writeBy = Clock::now() + kConnect;
    const std::string line = std::string(kShow) + display + "\n";
    std::string_view request = line;
    while (!request.empty()) {
        const ssize_t sent = ::send(fd.get(), request.data(), request.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            request.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && errno == EAGAIN && waitFor(fd.get(), POLLOUT, writeBy)) {
            continue;
        } else {
            break;
        }
    }
    // The answer is one short line, sent at once in one piece. No answer in time still
    // means a running instance: a busy one got the request.
    std::string answer;
    const auto answerBy = Clock::now() + kAnswer;
    while (answer.find('\n') == std::string::npos && answer.size() < kMaxRequest &&
           waitFor(fd.get(), POLLIN, answerBy)) {
        char chunk[kMaxRequest];
        const ssize_t got = ::recv(fd.get(), chunk, sizeof(chunk), 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) break;
        answer.append(chunk, static_cast<std::size_t>(got));
    }
    if (answer.rfind(kElsewhere, 0) == 0 && answer.back() == '\n')
        elsewhere = answer.substr(kElsewhere.size(), answer.size() - kElsewhere.size() - 1);
    return true;
}

// One caller of the running instance: reads its request line, answers it and hangs up.
class Caller : public QObject {
public:
    Caller(int fd, const std::string& display, const std::function<void()>& onShow, QObject* parent)
        : QObject(parent), fd_(fd), notifier_(fd, QSocketNotifier::Read), display_(display), onShow_(onShow) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, this, [this] { read(); });
        QTimer::singleShot(kPeerMs, this, [this] { hangUp(); });
        // The request may have come with the connection itself.
        read();
    }
    ~Caller() override { notifier_.setEnabled(false); }

private:
    void read() {
        if (!notifier_.isEnabled()) return;
        char chunk[kMaxRequest];
        for (;;) {
            const ssize_t got = ::recv(fd_.get(), chunk, sizeof(chunk), 0);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            if (got <= 0) return hangUp();
            request_.append(chunk, static_cast<std::size_t>(got));
            const auto end = request_.find('\n');
            if (end != std::string::npos) return answer(std::string_view(request_).substr(0, end + 1));
            if (request_.size() > kMaxRequest) return hangUp();
        }
    }

    void answer(std::string_view line) {
        if (line.substr(0, kShow.size()) == kShow) {
            const std::string_view theirs = line.substr(kShow.size(), line.size() - kShow.size() - 1);
            std::string reply(kShown);
            if (theirs == display_) {
                if (onShow_) onShow_();
            } else {
                reply = std::string(kElsewhere) + display_ + "\n";
            }
            // A few bytes into a fresh connection: they fit, and a caller gone by now is no matter.
            [[maybe_unused]] const ssize_t sent = ::send(fd_.get(), reply.data(), reply.size(), MSG_NOSIGNAL);
        }
        hangUp();
    }

    void hangUp() {
        notifier_.setEnabled(false);
        deleteLater();
    }

    Fd fd_;
    QSocketNotifier notifier_;
    const std::string& display_;
    const std::function<void()>& onShow_;
    std::string request_;
};

}  // namespace

std::string instanceKey(unsigned uid, const std::string& settingsFile) {
    // FNV-1a: short, stable across runs and builds, and enough to tell files apart.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : settingsFile) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return "tolvane-" + std::to_string(uid) + "-" + hex;
}

std::string displayName(const std::string& waylandDisplay, const std::string& x11Display) {
    std::string display = waylandDisplay.empty() ? normalisedX11(x11Display) : waylandDisplay;
    if (display.size() > kMaxDisplayChars) display.erase(0, display.size() - kMaxDisplayChars);
    for (char& c : display) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && std::string_view("-_.:/").find(c) == std::string_view::npos)
            c = '_';
    }
    return display;
}

struct SingleInstance::Impl {
    std::string socketPath;
    QString lockPath;
    std::string display;
    std::string elsewhere;
    // While this instance listens: the socket, its file and the callers being answered.
    Fd listening;
    ino_t socketFile = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<QObject> callers;

    ~Impl() {
        callers.reset();
        notifier.reset();
        // The file is removed only while it is still ours.
        struct stat file {};
        if (listening.get() >= 0 && ::stat(socketPath.c_str(), &file) == 0 && file.st_ino == socketFile)
            ::unlink(socketPath.c_str());
    }

    // Listens on the socket path, open to this user only. A socket file left there by
    // an instance that was killed is replaced.
    bool listen() {
        const auto address = addressOf(socketPath);
        if (!address) return false;
        Fd fd = streamSocket();
        if (fd.get() < 0) return false;
        ::unlink(socketPath.c_str());
        if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0) return false;
        // Nobody can connect before listen(), so narrowing the mode first leaves no gap.
        struct stat file {};
        if (::chmod(socketPath.c_str(), S_IRUSR | S_IWUSR) != 0 || ::stat(socketPath.c_str(), &file) != 0 ||
            ::listen(fd.get(), SOMAXCONN) != 0) {
            ::unlink(socketPath.c_str());
            return false;
        }
        socketFile = file.st_ino;
        listening.reset(fd.release());
        return true;
    }

    void serve(const std::function<void()>& onShow) {
        callers = std::make_unique<QObject>();
        notifier = std::make_unique<QSocketNotifier>(listening.get(), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, callers.get(), [this, &onShow] {
            for (;;) {
                const int fd = ::accept4(listening.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (fd >= 0) {
                    new Caller(fd, display, onShow, callers.get());
                } else if (errno != EINTR) {
                    return;
                }
            }
        });
    }
};

SingleInstance::SingleInstance(const std::string& folder, const std::string& key, const std::string& display)
    : impl_(std::make_unique<Impl>()) {
    impl_->display = display;
    const QString base = QDir(QString::fromStdString(folder)).filePath(QString::fromStdString(key));
    impl_->socketPath = QFile::encodeName(base + QStringLiteral(".socket")).toStdString();
    impl_->lockPath = base + QStringLiteral(".lock");
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim() {
    // The lock makes asking and listening one step, so two starts at the same moment
    // cannot both find nobody and both listen. It is held only for that step; a lock
    // left by a killed start names a process that no longer runs and is taken over.
    QLockFile lock(impl_->lockPath);
    const bool locked = lock.tryLock(kLockMs);
    if (askRunning(impl_->socketPath, impl_->display, impl_->elsewhere)) return false;
    if (!locked) return true;
    if (impl_->listen()) impl_->serve(onShow);
    return true;
}

const std::string& SingleInstance::runningElsewhere() const { return impl_->elsewhere; }

std::unique_ptr<SingleInstance> SingleInstance::forThisSession(const std::string& settingsFile) {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::tempPath();
    return std::make_unique<SingleInstance>(folder.toStdString(),
                                            instanceKey(static_cast<unsigned>(getuid()), settingsFile),
                                            displayName(qEnvironmentVariable("WAYLAND_DISPLAY").toStdString(),
                                                        qEnvironmentVariable("DISPLAY").toStdString()));
}

}  // namespace instance

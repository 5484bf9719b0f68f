#include "platform/qt/qt_single_instance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <unistd.h>

#include <cctype>

namespace qtui {
namespace {

constexpr char kShow[] = "show\n";
constexpr char kShown[] = "shown\n";
// Long enough for a busy machine, short enough that a start never seems to hang.
constexpr int kConnectMs = 1000;
constexpr int kAnswerMs = 3000;
constexpr int kLockMs = 5000;
// Keeps the socket path well inside the 108 bytes an address may hold.
constexpr std::size_t kMaxDisplayChars = 40;

std::string normalisedX11(std::string d) {
    if (d.rfind("unix:", 0) == 0) d.erase(0, 4);
    const auto colon = d.rfind(':');
    if (colon == std::string::npos) return d;
    const auto dot = d.find('.', colon);
    if (dot != std::string::npos) d.erase(dot);
    return d;
}

}  // namespace

std::string instanceKey(unsigned uid, const std::string& waylandDisplay, const std::string& x11Display) {
    std::string display = waylandDisplay.empty() ? normalisedX11(x11Display) : waylandDisplay;
    if (display.size() > kMaxDisplayChars) display.erase(0, display.size() - kMaxDisplayChars);
    for (char& c : display) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.') c = '_';
    }
    return "tolvane-" + std::to_string(uid) + "-" + (display.empty() ? std::string("none") : display);
}

struct SingleInstance::Impl {
    QString socketPath;
    QString lockPath;
    QLocalServer server;

    // Asks a running instance to show itself; false when none answers the socket.
    bool askRunning() const {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (!socket.waitForConnected(kConnectMs)) return false;
        socket.write(kShow);
        socket.waitForBytesWritten(kConnectMs);
        // The answer only says the window was shown; a busy instance still got the request.
        socket.waitForReadyRead(kAnswerMs);
        socket.disconnectFromServer();
        return true;
    }

    void serve(const std::function<void()>* onShow) {
        QObject::connect(&server, &QLocalServer::newConnection, &server, [this, onShow] {
            while (QLocalSocket* peer = server.nextPendingConnection()) {
                QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
                auto readRequest = [peer, onShow] {
                    if (!peer->canReadLine()) return;
                    const QByteArray line = peer->readLine();
                    if (line == kShow) {
                        if (*onShow) (*onShow)();
                        peer->write(kShown);
                        peer->flush();
                    }
                    peer->disconnectFromServer();
                };
                QObject::connect(peer, &QLocalSocket::readyRead, peer, readRequest);
                // The request may have come with the connection itself.
                readRequest();
            }
        });
    }
};

SingleInstance::SingleInstance(const std::string& folder, const std::string& key) : impl_(std::make_unique<Impl>()) {
    const QString base = QDir(QString::fromStdString(folder)).filePath(QString::fromStdString(key));
    impl_->socketPath = base + QStringLiteral(".socket");
    impl_->lockPath = base + QStringLiteral(".lock");
    impl_->server.setSocketOptions(QLocalServer::UserAccessOption);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim() {
    // The lock makes asking and listening one step, so two starts at the same moment
    // cannot both find nobody and both listen. It is held only for that step; a lock
    // left by a killed start names a process that no longer runs and is taken over.
    QLockFile lock(impl_->lockPath);
    const bool locked = lock.tryLock(kLockMs);
    if (impl_->askRunning()) return false;
    if (!locked) return true;
    // Nobody answers: a socket file still there was left by an instance that was killed.
    QLocalServer::removeServer(impl_->socketPath);
    if (impl_->server.listen(impl_->socketPath)) impl_->serve(&onShow);
    return true;
}

std::unique_ptr<SingleInstance> SingleInstance::forThisSession() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::tempPath();
    return std::make_unique<SingleInstance>(
        folder.toStdString(),
        instanceKey(static_cast<unsigned>(getuid()), qEnvironmentVariable("WAYLAND_DISPLAY").toStdString(),
                    qEnvironmentVariable("DISPLAY").toStdString()));
}

}  // namespace qtui

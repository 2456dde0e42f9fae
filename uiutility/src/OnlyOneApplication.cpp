#include "OvUIUtility/OnlyOneApplication.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <cstdio>
#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

OnlyOneApplication* OnlyOneApplication::s_instance = nullptr;

namespace {
constexpr int kProbeWaitMs = 500;
constexpr int kMessageWaitMs = 1000;
// Two copies started together wait for each other this long at most.
constexpr int kStartLockWaitMs = 5000;
const QByteArray kCloseMessage = QByteArrayLiteral("close");

// A folder that only this user can enter: a real directory (not a link),
// owned by this user, closed to group and others.
bool isPrivateFolder(const QString& path)
{
    struct stat st {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode)
           && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

QString privateFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isPrivateFolder(runtime))
        return runtime;
    const QString own = QDir::tempPath() + QStringLiteral("/ovuiutility-") + QString::number(::getuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    if (isPrivateFolder(own))
        return own;
    // Another user holds that name: a folder nobody can guess, for this process
    // (a later start then cannot find this one, but nobody can stop it starting).
    static const QString fallback = [] {
        QByteArray templ = QFile::encodeName(QDir::tempPath() + QStringLiteral("/ovuiutility-XXXXXX"));
        return ::mkdtemp(templ.data()) ? QFile::decodeName(templ) : QString();
    }();
    return fallback;
}

// The process at the other end runs as this user. A peer of another user is
// no copy of this program, whatever the name it listens on.
bool peerIsThisUser(QLocalSocket& socket)
{
#ifdef SO_PEERCRED
    ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return false;
    return credentials.uid == ::getuid();
#else
    Q_UNUSED(socket)
    return true;
#endif
}

}  // namespace

QString OnlyOneApplication::socketPath(const QString& key)
{
    return QDir(privateFolder()).filePath(key);
}

OnlyOneApplication::OnlyOneApplication(int& argc, char** argv, const QString& key)
    : QApplication(argc, argv), m_serverName(socketPath(key))
{
    _initLocalConnection();
}

OnlyOneApplication::~OnlyOneApplication() = default;

bool OnlyOneApplication::isRunning() const
{
    return m_isRunning;
}

void OnlyOneApplication::setActivationWindow(QWidget* window)
{
    m_activationWindow = window;
}

QWidget* OnlyOneApplication::activationWindow() const
{
    return m_activationWindow;
}

OnlyOneApplication* OnlyOneApplication::instance()
{
    return s_instance;
}

void OnlyOneApplication::setInstance(OnlyOneApplication* app)
{
    s_instance = app;
}

void OnlyOneApplication::_initLocalConnection()
{
    m_isRunning = false;
    // Starts are taken one at a time: otherwise two copies started together
    // both find no server, and the later one removes the earlier one's live
    // name to listen itself.
    QLockFile startLock(m_serverName + QStringLiteral(".lock"));
    startLock.tryLock(kStartLockWaitMs);
    if (_serverAnswers()) {
        _reportRunning();
        return;
    }
    _newLocalServer();
}

bool OnlyOneApplication::_serverAnswers() const
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName, QIODevice::ReadWrite);
    // Nothing is sent: an empty connection is the wake-up request.
    return socket.waitForConnected(kProbeWaitMs) && peerIsThisUser(socket);
}

void OnlyOneApplication::_reportRunning()
{
    std::fprintf(stderr, "%s already running.\n", QFileInfo(m_serverName).fileName().toLocal8Bit().constData());
    std::fflush(stderr);
    m_isRunning = true;
}

void OnlyOneApplication::_newLocalServer()
{
    m_localServer = new QLocalServer(this);
    // Only the operator's own processes may wake or close the console.
    m_localServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_localServer, &QLocalServer::newConnection, this, &OnlyOneApplication::_newLocalConnection);
    if (m_localServer->listen(m_serverName))
        return;
    if (m_localServer->serverError() != QAbstractSocket::AddressInUseError)
        return;
    // A name that answers is alive (whatever the lock said): never take it over.
    if (_serverAnswers()) {
        _reportRunning();
        return;
    }
    // A name left behind by a process that died: reclaim it once.
    QLocalServer::removeServer(m_serverName);
    if (!m_localServer->listen(m_serverName))
        _reportRunning();
}

void OnlyOneApplication::_newLocalConnection()
{
    // Each peer is read as its bytes come, never by waiting on the GUI thread.
    while (QLocalSocket* socket = m_localServer->nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        auto* deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        // Decides once: "close" quits, an empty connection wakes, anything else is ignored.
        auto finish = [this, socket, deadline](bool wake) {
            deadline->stop();
            socket->disconnect(this);
            socket->deleteLater();
            if (wake)
                _activateWindow();
        };
        auto onData = [this, socket, buffer, finish] {
            // One byte more than "close" is enough to tell.
            buffer->append(socket->read(kCloseMessage.size() + 1 - buffer->size()));
            if (*buffer == kCloseMessage) {
                finish(false);
                QLocalServer::removeServer(m_serverName);
                m_localServer->close();
                QCoreApplication::quit();
            } else if (!kCloseMessage.startsWith(*buffer)) {
                finish(false);
            }
        };
        auto onEnd = [buffer, finish] { finish(buffer->isEmpty()); };
        connect(socket, &QLocalSocket::readyRead, this, onData);
        connect(socket, &QLocalSocket::disconnected, this, onEnd);
        connect(deadline, &QTimer::timeout, this, onEnd);
        deadline->start(kMessageWaitMs);
        // Bytes may have come before the connection above was made.
        if (socket->bytesAvailable() > 0)
            onData();
    }
}

void OnlyOneApplication::_activateWindow()
{
    if (!m_activationWindow)
        return;
    m_activationWindow->show();
    m_activationWindow->raise();
    m_activationWindow->activateWindow();
    if (m_activationWindow->isMinimized())
        m_activationWindow->showMaximized();
}

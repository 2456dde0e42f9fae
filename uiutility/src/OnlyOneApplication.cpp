#include "OvUIUtility/OnlyOneApplication.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <memory>

OnlyOneApplication* OnlyOneApplication::s_instance = nullptr;

namespace {
constexpr int kProbeWaitMs = 500;
constexpr int kMessageWaitMs = 1000;
// Two copies started together wait for each other this long at most.
constexpr int kStartLockWaitMs = 5000;
const QByteArray kCloseMessage = QByteArrayLiteral("close");
}  // namespace

OnlyOneApplication::OnlyOneApplication(int& argc, char** argv, const QString& key)
    : QApplication(argc, argv), m_serverName(key)
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
    QLockFile startLock(QDir(QDir::tempPath()).filePath(m_serverName + QStringLiteral(".lock")));
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
    return socket.waitForConnected(kProbeWaitMs);
}

void OnlyOneApplication::_reportRunning()
{
    std::fprintf(stderr, "%s already running.\n", m_serverName.toLocal8Bit().constData());
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

#include "OvUIUtility/OnlyOneApplication.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

#include <cstdio>

OnlyOneApplication* OnlyOneApplication::s_instance = nullptr;

namespace {
constexpr int kProbeWaitMs = 500;
constexpr int kMessageWaitMs = 1000;
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
    QLocalSocket socket;
    socket.connectToServer(m_serverName, QIODevice::ReadWrite);
    if (socket.waitForConnected(kProbeWaitMs)) {
        // Nothing is sent: an empty connection is the wake-up request.
        std::fprintf(stderr, "%s already running.\n", m_serverName.toLocal8Bit().constData());
        std::fflush(stderr);
        m_isRunning = true;
        return;
    }
    _newLocalServer();
}

void OnlyOneApplication::_newLocalServer()
{
    m_localServer = new QLocalServer(this);
    connect(m_localServer, &QLocalServer::newConnection, this, &OnlyOneApplication::_newLocalConnection);
    if (!m_localServer->listen(m_serverName)) {
        // A name left behind by a process that died: reclaim it once.
        if (m_localServer->serverError() == QAbstractSocket::AddressInUseError) {
            QLocalServer::removeServer(m_serverName);
            m_localServer->listen(m_serverName);
        }
    }
}

void OnlyOneApplication::_newLocalConnection()
{
    QLocalSocket* socket = m_localServer->nextPendingConnection();
    if (!socket)
        return;
    if (socket->waitForReadyRead(kMessageWaitMs)) {
        const QByteArray message = socket->readAll();
        if (QString::fromUtf8(message) == QLatin1String(kCloseMessage)) {
            QLocalServer::removeServer(m_serverName);
            m_localServer->close();
            QCoreApplication::quit();
        }
        // Other texts are ignored; the socket stays a child of the server.
        return;
    }
    delete socket;
    _activateWindow();
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

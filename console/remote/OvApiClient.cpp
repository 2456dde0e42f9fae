#include "remote/OvApiClient.h"

#include <QTimer>
#include <QWebSocket>

OvApiClient::OvApiClient(QWebSocket* socket, QObject* parent) : QObject(parent), m_socket(socket)
{
    m_socket->setParent(this);
    // What one turn of the event loop reads (and parses) from a client: about
    // one message at its bound; the rest waits in the kernel for later turns.
    m_socket->setReadBufferSize(ReadBufferBytes);
    connect(m_socket, &QWebSocket::textMessageReceived, this,
            [this](const QString& text) { emit textReceived(this, text); });
    // Binary frames are no command: counted against the rate like any other.
    connect(m_socket, &QWebSocket::binaryMessageReceived, this,
            [this](const QByteArray&) { emit textReceived(this, QString()); });
    connect(m_socket, &QWebSocket::disconnected, this, [this] { emit gone(this); });
    connect(m_socket, &QWebSocket::bytesWritten, this, [this] { emit drained(this); });
}

OvApiClient::~OvApiClient() = default;

QString OvApiClient::peer() const
{
    return QStringLiteral("%1:%2").arg(m_socket->peerAddress().toString()).arg(m_socket->peerPort());
}

bool OvApiClient::send(const QByteArray& json)
{
    if (m_dropped)
        return false;
    if (m_socket->bytesToWrite() + json.size() > MaxBacklogBytes) {
        // Never the console waiting for a client: one that does not read goes.
        m_dropped = true;
        m_socket->abort();
        return false;
    }
    m_socket->sendTextMessage(QString::fromUtf8(json));
    return true;
}

qint64 OvApiClient::backlog() const
{
    return m_socket->bytesToWrite();
}

bool OvApiClient::enforceBacklog()
{
    if (m_dropped || m_socket->bytesToWrite() <= MaxBacklogBytes)
        return false;
    m_dropped = true;
    m_socket->abort();
    return true;
}

void OvApiClient::close(int code, const QString& reason)
{
    m_closing = true;
    m_socket->close(QWebSocketProtocol::CloseCode(code), reason);
    QTimer::singleShot(CloseGraceMs, this, [this] {
        if (m_socket->state() != QAbstractSocket::UnconnectedState)
            m_socket->abort();
    });
}

bool OvApiClient::admitCommand(int bytes)
{
    if (!m_window.isValid() || m_window.elapsed() >= 1000) {
        m_window.start();
        m_commands = 0;
        m_bytes = 0;
        m_refused = 0;
    }
    // Bytes count too: a command is a few dozen of them, and every one
    // admitted is parsed on the GUI thread.
    if (m_commands < CommandsPerSecond && m_bytes + bytes <= BytesPerSecond) {
        ++m_commands;
        m_bytes += bytes;
        return true;
    }
    ++m_refused;
    return false;
}

#include "remote/OvApiListener.h"

#include "remote/OvAddressBackoff.h"
#include "remote/OvHttpHead.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

const QByteArray HeadEnd = QByteArrayLiteral("\r\n\r\n");

void answerUpgradeRequired(QTcpSocket* socket, const OvHttpHead&)
{
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->write("HTTP/1.1 426 Upgrade Required\r\nUpgrade: websocket\r\nConnection: close\r\n"
                  "Content-Length: 0\r\n\r\n");
    socket->disconnectFromHost();
}

}  // namespace

OvApiListener::OvApiListener(QObject* parent)
    : QObject(parent), m_server(new QTcpServer(this)), m_sweep(new QTimer(this)), m_plain(answerUpgradeRequired)
{
    m_clock.start();
    connect(m_server, &QTcpServer::newConnection, this, &OvApiListener::accept);
    m_sweep->setInterval(250);
    connect(m_sweep, &QTimer::timeout, this, &OvApiListener::sweep);
}

OvApiListener::~OvApiListener() = default;

bool OvApiListener::listen(const QHostAddress& address, quint16 port, QString* error)
{
    if (m_server->listen(address, port))
        return true;
    *error = m_server->errorString();
    return false;
}

quint16 OvApiListener::port() const
{
    return m_server->serverPort();
}

void OvApiListener::setHeadTimeoutMs(int ms)
{
    m_headTimeoutMs = ms;
    m_sweep->setInterval(qBound(10, ms / 4, 250));
}

void OvApiListener::setPlainHandler(PlainHandler handler)
{
    m_plain = std::move(handler);
}

void OvApiListener::accept()
{
    while (QTcpSocket* const socket = m_server->nextPendingConnection()) {
        // Qt reads no more than this from the kernel: a head that does not
        // end within it is too large, and that is all it ever costs.
        socket->setReadBufferSize(MaxHeadBytes + 1);
        m_heads.insert(socket, Head{m_clock.elapsed(), 0});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            release(socket);
            socket->deleteLater();
        });
        if (QObject* const pushedOut = m_waiting.add(socket, OvAddressBackoff::keyOf(socket->peerAddress())))
            drop(static_cast<QTcpSocket*>(pushedOut));
        if (!m_sweep->isActive())
            m_sweep->start();
        if (socket->bytesAvailable() > 0)
            read(socket);
    }
}

void OvApiListener::read(QTcpSocket* socket)
{
    const auto it = m_heads.find(socket);
    if (it == m_heads.end())
        return;
    const QByteArray bytes = socket->peek(MaxHeadBytes + 1);
    const int end = bytes.indexOf(HeadEnd, qMax(0, it->scanned - (HeadEnd.size() - 1)));
    if (end < 0) {
        it->scanned = bytes.size();
        if (bytes.size() > MaxHeadBytes)
            drop(socket);
        return;
    }
    const OvHttpHead head(bytes.left(end + HeadEnd.size()));
    release(socket);
    socket->disconnect(this);
    if (head.asksForWebSocket())
        emit upgradeRequested(socket, head);
    else
        m_plain(socket, head);
}

void OvApiListener::sweep()
{
    const qint64 now = m_clock.elapsed();
    while (QObject* const oldest = m_waiting.oldest()) {
        auto* const socket = static_cast<QTcpSocket*>(oldest);
        if (now - m_heads.value(socket).sinceMs < m_headTimeoutMs)
            break;
        drop(socket);
    }
    if (m_waiting.size() == 0)
        m_sweep->stop();
}

void OvApiListener::drop(QTcpSocket* socket)
{
    release(socket);
    emit closedEarly();
    // Nothing to say before a head: the connection just ends.
    socket->abort();
    socket->deleteLater();
}

void OvApiListener::release(QTcpSocket* socket)
{
    m_waiting.remove(socket);
    m_heads.remove(socket);
}

#include "OvSimConsoleLink.h"

#include "OvSimLog.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QTcpSocket>
#include <QTimer>

OvSimConsoleLink::OvSimConsoleLink(int id, QTcpSocket* socket, QObject* parent)
    : QObject(parent)
    , m_id(id)
    , m_socket(socket)
    , m_address(socket->peerAddress())
    , m_port(socket->peerPort())
{
    m_socket->setParent(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &OvSimConsoleLink::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &OvSimConsoleLink::onDisconnected);
}

QString OvSimConsoleLink::describeAddress(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

QString OvSimConsoleLink::addressText() const
{
    return describeAddress(m_address);
}

QString OvSimConsoleLink::peerText() const
{
    return QStringLiteral("%1:%2").arg(addressText()).arg(m_port);
}

QString OvSimConsoleLink::operatorName() const
{
    return m_deviceName.isEmpty() ? QStringLiteral("console-%1").arg(m_id) : m_deviceName;
}

QString OvSimConsoleLink::stateText() const
{
    switch (m_state) {
    case State::Connected:
        return QStringLiteral("connected");
    case State::LoggedIn:
        return QStringLiteral("logged-in");
    case State::Leaving:
        return QStringLiteral("leaving");
    }
    return {};
}

void OvSimConsoleLink::setLoggedIn(const QString& token, const QString& deviceName)
{
    m_token = token;
    m_deviceName = deviceName;
    m_state = State::LoggedIn;
    m_hasLoggedIn = true;
}

void OvSimConsoleLink::sendJson(const QJsonObject& message)
{
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    const QByteArray body = QJsonDocument(message).toJson(QJsonDocument::Indented);
    m_socket->write(OvSimFrameReader::encode(body));
    OvSimLog::line(QStringLiteral("console %1 <- %2").arg(m_id).arg(OvSimLog::summarise(message)));
    checkBacklog();
}

void OvSimConsoleLink::sendRaw(const QByteArray& bytes, const QString& description)
{
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_socket->write(bytes);
    OvSimLog::line(QStringLiteral("console %1 <- %2 (%3 bytes)").arg(m_id).arg(description).arg(bytes.size()));
    checkBacklog();
}

void OvSimConsoleLink::checkBacklog()
{
    if (m_socket->bytesToWrite() <= kMaxUnsent || m_state == State::Leaving)
        return;
    m_state = State::Leaving;
    // Deferred: the caller may be walking the list of consoles.
    QMetaObject::invokeMethod(
        this,
        [this]() {
            OvSimLog::line(QStringLiteral("console %1 does not read its messages (%2 bytes unsent); closing it")
                               .arg(m_id)
                               .arg(m_socket->bytesToWrite()));
            m_socket->abort();
            onDisconnected();
        },
        Qt::QueuedConnection);
}

void OvSimConsoleLink::expectClose(int graceMs)
{
    m_state = State::Leaving;
    if (!m_graceTimer) {
        m_graceTimer = new QTimer(this);
        m_graceTimer->setSingleShot(true);
        connect(m_graceTimer, &QTimer::timeout, this, [this]() {
            OvSimLog::line(QStringLiteral("console %1 did not hang up, closing it").arg(m_id));
            m_socket->abort();
            onDisconnected();
        });
    }
    m_graceTimer->start(graceMs);
}

void OvSimConsoleLink::close()
{
    m_state = State::Leaving;
    m_socket->disconnectFromHost();
    // disconnectFromHost finishes asynchronously unless nothing was pending.
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        onDisconnected();
}

void OvSimConsoleLink::stopReading()
{
    disconnect(m_socket, &QTcpSocket::readyRead, this, &OvSimConsoleLink::onReadyRead);
    // Qt stops taking bytes from the kernel once its buffer holds this much.
    m_socket->setReadBufferSize(1);
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    OvSimLog::line(QStringLiteral("console %1: no longer read").arg(m_id));
}

void OvSimConsoleLink::onReadyRead()
{
    m_reader.append(m_socket->readAll());
    while (m_socket->state() == QAbstractSocket::ConnectedState) {
        QByteArray body;
        quint8 flag = 0;
        const OvSimFrameReader::Result result = m_reader.next(&body, &flag);
        if (result == OvSimFrameReader::Result::NeedMore)
            return;
        if (result == OvSimFrameReader::Result::Oversized) {
            fail(QStringLiteral("frame header announces %1 bytes, more than the limit of %2")
                     .arg(m_reader.announcedLength())
                     .arg(OvSimFrameReader::kMaxBody));
            return;
        }
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(body, &error);
        if (error.error != QJsonParseError::NoError) {
            fail(QStringLiteral("body of %1 bytes is not JSON (%2 at offset %3)")
                     .arg(body.size())
                     .arg(error.errorString())
                     .arg(error.offset));
            return;
        }
        if (!document.isObject()) {
            fail(QStringLiteral("body is JSON but not an object"));
            return;
        }
        const QJsonObject object = document.object();
        OvSimLog::line(QStringLiteral("console %1 -> %2").arg(m_id).arg(OvSimLog::summarise(object)));
        checkForm(body, object, flag);
        emit messageReceived(this, object);
    }
}

void OvSimConsoleLink::checkForm(const QByteArray& body, const QJsonObject& object, quint8 flag)
{
    // Consoles write a fixed form; departures are harmless for the server but
    // point at a fault in the console's encoder, so they are reported.
    if (flag != 1)
        OvSimLog::line(QStringLiteral("console %1: note: header flag byte is %2, consoles write 1")
                           .arg(m_id)
                           .arg(flag));
    if (body != QJsonDocument(object).toJson(QJsonDocument::Indented))
        OvSimLog::line(QStringLiteral("console %1: note: body is not in indented form with sorted keys")
                           .arg(m_id));
}

void OvSimConsoleLink::fail(const QString& reason)
{
    OvSimLog::line(QStringLiteral("console %1: bad frame: %2; closing the connection").arg(m_id).arg(reason));
    m_reader.clear();
    m_socket->abort();
    onDisconnected();
}

void OvSimConsoleLink::onDisconnected()
{
    if (m_closedReported)
        return;
    m_closedReported = true;
    m_state = State::Leaving;
    if (m_graceTimer)
        m_graceTimer->stop();
    OvSimLog::line(QStringLiteral("console %1 (%2) disconnected").arg(m_id).arg(peerText()));
    emit closed(this);
}

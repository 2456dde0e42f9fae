#include "OvSimDiscovery.h"

#include "OvSimConsoleLink.h"
#include "OvSimLog.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QUdpSocket>

OvSimDiscovery::OvSimDiscovery(QObject* parent)
    : QObject(parent)
    , m_socket(new QUdpSocket(this))
{
    connect(m_socket, &QUdpSocket::readyRead, this, &OvSimDiscovery::onReadyRead);
}

bool OvSimDiscovery::bind(quint16 port, QString* error)
{
    // Any IPv4 address: announcements go to the broadcast address. Shared so
    // that several simulators (or a real server) can sit on one machine.
    if (m_socket->bind(QHostAddress::AnyIPv4, port,
                       QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint))
        return true;
    if (error)
        *error = m_socket->errorString();
    return false;
}

bool OvSimDiscovery::setReplyAddress(const QHostAddress& address, QString* error)
{
    auto* socket = new QUdpSocket(this);
    if (!socket->bind(address, 0)) {
        if (error)
            *error = socket->errorString();
        delete socket;
        return false;
    }
    delete m_replySocket;
    m_replySocket = socket;
    return true;
}

void OvSimDiscovery::onReadyRead()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        if (!datagram.isValid())
            continue;
        const QString sender = QStringLiteral("%1:%2")
                                   .arg(OvSimConsoleLink::describeAddress(datagram.senderAddress()))
                                   .arg(datagram.senderPort());
        const QJsonDocument document = QJsonDocument::fromJson(datagram.data());
        const QJsonObject announcement = document.object();
        // Only console announcements are answered: answering server replies
        // would let two servers talk to each other forever.
        if (!document.isObject() || !announcement.contains(QStringLiteral("cg_publish_ver"))
            || announcement.contains(QStringLiteral("cg_server_ver"))) {
            OvSimLog::line(QStringLiteral("discovery: %1 bytes from %2 are no console announcement, ignored")
                               .arg(datagram.data().size())
                               .arg(sender));
            continue;
        }
        if (datagram.senderPort() <= 0)
            continue;
        const bool loggedIn = !m_info.accountName.isEmpty();
        const QJsonObject reply{{QStringLiteral("cg_server_ver"), 1},
                                {QStringLiteral("port"), m_info.tcpPort},
                                {QStringLiteral("name"), m_info.name},
                                {QStringLiteral("type"), m_info.type},
                                {QStringLiteral("is_login"), loggedIn},
                                {QStringLiteral("account_name"), m_info.accountName}};
        QUdpSocket* const out = m_replySocket ? m_replySocket : m_socket;
        out->writeDatagram(QJsonDocument(reply).toJson(QJsonDocument::Indented), datagram.senderAddress(),
                           static_cast<quint16>(datagram.senderPort()));
        OvSimLog::line(QStringLiteral("discovery: announcement from %1 (%2), answered")
                           .arg(sender)
                           .arg(OvSimLog::summarise(announcement)));
    }
}

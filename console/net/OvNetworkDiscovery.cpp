#include "net/OvNetworkDiscovery.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QPointer>
#include <QTimerEvent>
#include <QUdpSocket>
#include <QtGlobal>

namespace {

// The first interface, in the system's order, that could carry a broadcast.
QString firstBroadcastMac()
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const QNetworkInterface::InterfaceFlags flags = iface.flags();
        if (flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning)
            && flags.testFlag(QNetworkInterface::CanBroadcast)
            && !flags.testFlag(QNetworkInterface::IsLoopBack))
            return iface.hardwareAddress();
    }
    return QString();
}

}  // namespace

OvNetworkDiscovery* OvNetworkDiscovery::instance()
{
    // Guarded so that a second application object (tests) gets a fresh model
    // rather than a dangling one.
    static QPointer<OvNetworkDiscovery> discovery;
    if (!discovery)
        discovery = new OvNetworkDiscovery(Settings(), QCoreApplication::instance());
    return discovery;
}

OvNetworkDiscovery::OvNetworkDiscovery(const Settings& settings, QObject* parent)
    : QAbstractListModel(parent)
    , m_socket(new QUdpSocket(this))
    , m_settings(settings)
{
    qRegisterMetaType<networkEndpoint>("networkEndpoint");

    // Shared, so that a CG server or a second console on this machine can
    // listen on the same port.
    m_listening = m_socket->bind(QHostAddress::AnyIPv4, m_settings.listenPort,
                                 QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    if (!m_listening)
        qWarning("OvNetworkDiscovery: cannot listen on UDP port %u: %s", unsigned(m_settings.listenPort),
                 qPrintable(m_socket->errorString()));
    connect(m_socket, &QUdpSocket::readyRead, this, &OvNetworkDiscovery::slotDataReceived);

    m_localMac = firstBroadcastMac();
    m_timerId = startTimer(AnnounceIntervalMs, Qt::CoarseTimer);
}

OvNetworkDiscovery::~OvNetworkDiscovery()
{
    if (m_timerId)
        killTimer(m_timerId);
}

int OvNetworkDiscovery::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant OvNetworkDiscovery::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.model() != this || index.row() < 0 || index.row() >= m_rows.size())
        return QVariant();
    const networkEndpoint& row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return row.displayText;
    case Qt::UserRole:
        return QVariant::fromValue(row);
    case AddressRole:
        return row.address.toString();
    default:
        return QVariant();
    }
}

void OvNetworkDiscovery::setLocalMac(const QString& mac)
{
    m_localMac = mac;
}

QString OvNetworkDiscovery::localMac() const
{
    return m_localMac;
}

QString OvNetworkDiscovery::hardwareAddressOf(const QHostAddress& local)
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const QList<QNetworkAddressEntry> entries = iface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip() == local)
                return iface.hardwareAddress();
        }
    }
    return QString();
}

bool OvNetworkDiscovery::isListening() const
{
    return m_listening;
}

QByteArray OvNetworkDiscovery::announcement() const
{
    const QJsonObject object{{QStringLiteral("cg_publish_ver"), 1},
                             {QStringLiteral("name"), QHostInfo::localHostName()},
                             {QStringLiteral("type_name"), QStringLiteral("PC")},
                             {QStringLiteral("mac"), m_localMac}};
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

void OvNetworkDiscovery::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timerId) {
        QAbstractListModel::timerEvent(event);
        return;
    }
    announceAndExpire();
}

void OvNetworkDiscovery::announceAndExpire()
{
    // A failed send only means nobody hears this round; the next tick retries.
    m_socket->writeDatagram(announcement(), QHostAddress(QHostAddress::Broadcast), m_settings.announcePort);
    expireRows();
}

void OvNetworkDiscovery::expireRows()
{
    const qint64 current = now();
    for (int row = 0; row < m_rows.size();) {
        if (current - m_rows.at(row).lastSeen > ExpiryMs) {
            beginRemoveRows(QModelIndex(), row, row);
            m_rows.removeAt(row);
            endRemoveRows();
        } else {
            ++row;
        }
    }
}

void OvNetworkDiscovery::slotDataReceived()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        // An unreadable datagram has already been taken off the queue.
        if (!datagram.isValid())
            continue;
        acceptDatagram(datagram.data(), datagram.senderAddress());
    }
}

void OvNetworkDiscovery::acceptDatagram(const QByteArray& data, const QHostAddress& sender)
{
    // Anything that is no JSON object reads as an empty one and so lacks the
    // server marker.
    const QJsonObject object = QJsonDocument::fromJson(data).object();
    if (!object.contains(QStringLiteral("cg_server_ver")))
        return;

    networkEndpoint endpoint;
    endpoint.address = sender;
    endpoint.port = object.value(QStringLiteral("port")).toInt(0);
    endpoint.name = object.value(QStringLiteral("name")).toString();
    endpoint.type = object.value(QStringLiteral("type")).toInt(0);
    const bool loggedIn = object.value(QStringLiteral("is_login")).toBool(false);
    if (loggedIn)
        endpoint.accountName = object.value(QStringLiteral("account_name")).toString();
    endpoint.displayText = QStringLiteral("%1(%2)").arg(
        sender.toString(), loggedIn ? endpoint.accountName : tr("未登录"));
    endpoint.lastSeen = now();

    for (int row = 0; row < m_rows.size(); ++row) {
        networkEndpoint& existing = m_rows[row];
        if (existing.address != sender)
            continue;
        if (existing.name == endpoint.name && existing.port == endpoint.port
            && existing.accountName == endpoint.accountName) {
            existing.lastSeen = endpoint.lastSeen;
        } else {
            existing = endpoint;
            const QModelIndex changed = index(row, 0);
            emit dataChanged(changed, changed);
        }
        return;
    }

    const int row = m_rows.size();
    beginInsertRows(QModelIndex(), row, row);
    m_rows.append(endpoint);
    endInsertRows();
    const QModelIndex inserted = index(row, 0);
    emit dataChanged(inserted, inserted);
}

qint64 OvNetworkDiscovery::now() const
{
    return m_settings.clock ? m_settings.clock() : QDateTime::currentMSecsSinceEpoch();
}

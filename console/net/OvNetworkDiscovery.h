#pragma once

#include <QAbstractListModel>
#include <QHostAddress>
#include <QList>
#include <QMetaType>
#include <QString>

#include <functional>

class QUdpSocket;

// One CG server seen on the network: what its last datagram said, and when.
struct networkEndpoint
{
    QString name;
    QHostAddress address;  // sender of the datagrams; the key of the row
    int port = 0;
    int type = 0;
    QString accountName;   // empty unless an account is logged in on the server
    QString displayText;   // "address(account)" or "address(未登录)"
    qint64 lastSeen = 0;   // ms since the epoch of the last accepted datagram
};
Q_DECLARE_METATYPE(networkEndpoint)

// Finds CG servers by UDP: announces this console by broadcast every 3000 ms and
// lists every server that answers (or announces itself), dropping the ones that
// have been silent for more than 6500 ms. A one-column list model whose rows
// show "address(account)"; UserRole gives the whole networkEndpoint and
// UserRole + 1 the bare address.
class OvNetworkDiscovery : public QAbstractListModel
{
    Q_OBJECT
public:
    static constexpr quint16 DefaultListenPort = 45321;
    static constexpr quint16 DefaultAnnouncePort = 45320;
    static constexpr int AnnounceIntervalMs = 3000;
    static constexpr qint64 ExpiryMs = 6500;
    static constexpr int AddressRole = Qt::UserRole + 1;

    // Where the model listens and announces, and where "now" comes from. The
    // console runs with the defaults; tests move the ports and drive the clock.
    struct Settings
    {
        quint16 listenPort = DefaultListenPort;
        quint16 announcePort = DefaultAnnouncePort;
        std::function<qint64()> clock;  // ms since the epoch; the system clock when empty
    };

    // The console's one discovery model, made on first use and owned by the
    // application object.
    static OvNetworkDiscovery* instance();

    explicit OvNetworkDiscovery(const Settings& settings, QObject* parent = nullptr);
    ~OvNetworkDiscovery() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The hardware address announced from the next announcement on.
    void setLocalMac(const QString& mac);
    QString localMac() const;
    // The hardware address of the interface that holds `local`; empty if none does.
    static QString hardwareAddressOf(const QHostAddress& local);

    // One timer tick: send the announcement, then drop the servers gone silent.
    void announceAndExpire();

    // The announcement as it goes on the wire.
    QByteArray announcement() const;

    // True when the socket got its port (a busy port leaves the model empty).
    bool isListening() const;

public slots:
    void slotDataReceived();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    qint64 now() const;
    void acceptDatagram(const QByteArray& data, const QHostAddress& sender);
    void expireRows();

    QList<networkEndpoint> m_rows;
    QUdpSocket* m_socket;
    QString m_localMac;
    Settings m_settings;
    int m_timerId = 0;
    bool m_listening = false;
};

#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

class QUdpSocket;

// Answers the consoles' discovery announcements with a datagram describing
// this server, sent back to the announcing address and port only.
class OvSimDiscovery : public QObject
{
    Q_OBJECT
public:
    struct Info
    {
        int tcpPort = 19999;
        QString name;
        int type = 1;
        QString accountName;  // empty: no account logged in on the server
    };

    explicit OvSimDiscovery(QObject* parent = nullptr);

    bool bind(quint16 port, QString* error);
    // Answers leave from this local address instead of the one the kernel
    // picks, so that several simulators on one machine are listed as several
    // servers (consoles tell servers apart by the answer's source address).
    bool setReplyAddress(const QHostAddress& address, QString* error);
    void setInfo(const Info& info) { m_info = info; }
    const Info& info() const { return m_info; }

private:
    void onReadyRead();

    QUdpSocket* m_socket;
    QUdpSocket* m_replySocket = nullptr;
    Info m_info;
};

#pragma once

#include "net/OvFrameReader.h"
#include "net/OvProtocolDispatcher.h"
#include "net/OvProtocolSink.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <QUuid>
#include <QVariant>

class QTcpSocket;
class QTimer;
struct cgItemData;

// The console's one connection to a CG server: connects, logs in, keeps the
// heartbeat, dispatches the server's messages into the CG list model and the
// message hub, and sends the operator's publish requests. Every way a
// connection ends goes through slotDestroyConnection.
class OvTransferServer : public QObject, private OvProtocolSink
{
    Q_OBJECT
public:
    enum ConnectionState {
        Connecting = 0,
        LoggedIn = 1,
        Closing = 2,
        Idle = 3,
    };
    Q_ENUM(ConnectionState)

    static constexpr int LoginWaitMs = 4000;
    static constexpr int HeartbeatMs = 3000;

    static OvTransferServer* instance();
    ~OvTransferServer() override;

    // endpoint is an address, optionally followed by "(account)". Ignored unless Idle.
    void connectToServer(const QString& endpoint, const QString& password, int port);
    void disconnectFromServer();
    ConnectionState connectionState() const;

    void sendUpdateCG(const cgItemData& data, int operationType, const QVariant& curStatus,
                      const QUuid& operationId);

    // True when guid is this console's own login (the current token).
    bool isSelfOperator(const QString& guid) const;

    // Hardware address of the interface that carried the last connection.
    QString deviceMac() const;

signals:
    void signalConnect(bool bSucess);

public slots:
    void slotConnectSuc();
    void slotDestroyConnection();
    void slotDisplayError(QAbstractSocket::SocketError stErr);
    void slotReadMesg();
    void slotTimeOut();
    void onHeartTimer();

private:
    OvTransferServer();

    // OvProtocolSink
    void sendMessage(const QJsonObject& message) override;
    QString token() const override;
    void loginSucceeded(const QString& token) override;
    void cgListReceived(const QList<OvCgRecord>& list) override;
    void cgNotified(const OvCgNotification& notification) override;
    void endpointNotice(const QString& text) override;
    void closeWithError(const QString& errorText, const QString& logText) override;

    ConnectionState m_state = Idle;
    QString m_host;
    QString m_password;
    int m_port = 0;
    QString m_deviceMac;
    QTimer* m_connectTimer = nullptr;
    QTimer* m_heartTimer = nullptr;
    QTcpSocket* m_socket = nullptr;
    OvFrameReader m_rxBuffer;
    OvProtocolDispatcher m_dispatcher;
    QString m_token;
    QString m_errorText;
    QString m_logText;
};

#pragma once

#include "net/OvFrameReader.h"
#include "net/OvProtocolDispatcher.h"
#include "net/OvProtocolSink.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QUuid>
#include <QVariant>

class QTcpSocket;
class QThreadPool;
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
    // The longest a closing connection may wait for its unsent bytes.
    static constexpr int CloseDeadlineMs = 1000;
    // A server that stops reading while it keeps sending would otherwise grow
    // the send queue without end.
    static constexpr qint64 MaxUnsentBytes = 16 * 1024 * 1024;
    // The read loop hands back to the event loop after this long, so the window
    // repaints and takes input while a burst is worked through.
    static constexpr int ReadSliceMs = 10;
    // What is read from the server ahead of what has been handled: the socket
    // buffers at most this much, the frame in progress comes on top, and the
    // rest waits at the server (TCP flow control). A server that sends faster
    // than the console applies and logs cannot grow the console that way.
    static constexpr qint64 ReadAheadBytes = 4 * 1024 * 1024;
    // A body at least this long is decoded on a worker thread.
    static constexpr int DecodeAsideBytes = OvFrameReader::LargeBody;
    // Taken from the socket at a time while frames are small.
    static constexpr qint64 ReadChunkBytes = 64 * 1024;
    // A peer that stops acknowledging (power lost, cable pulled) ends the
    // connection after this long instead of the kernel's quarter of an hour.
    static constexpr int DeadPeerMs = 10000;
    // Reconnection, when the operator has turned it on: the first try this
    // long after the loss, then one try this long after each failed one.
    static constexpr int ReconnectFirstMs = 1000;
    static constexpr int ReconnectEveryMs = 2000;
    // With reconnection on, a server that sends no frame at all for this long
    // while heartbeats go out is taken for lost (a hung server whose kernel
    // still acknowledges is otherwise noticed only when the socket breaks).
    static constexpr int SilentServerMs = 10000;
    // A server that accepts the login and drops the connection soon after
    // would otherwise be tried every second for ever: while connections keep
    // ending this soon after their login, each wait doubles, up to the longest.
    static constexpr int ShortLivedMs = 5000;
    static constexpr int ReconnectLongestMs = 30000;

    static OvTransferServer* instance();
    ~OvTransferServer() override;

    // endpoint is an address, optionally followed by "(account)". Ignored unless Idle.
    void connectToServer(const QString& endpoint, const QString& password, int port);
    void disconnectFromServer();
    ConnectionState connectionState() const;
    bool isLoggedIn() const { return connectionState() == LoggedIn; }
    // The server of the last connection asked for.
    QString host() const { return m_host; }
    int port() const { return m_port; }

    // Off by default: a lost connection stays lost until the operator connects.
    // On: a logged-in connection lost for any reason but the operator's own
    // disconnection or a refusal by the server is tried again (same address,
    // port and password) until it logs in, is refused or stopReconnecting().
    void setReconnect(bool on);
    bool reconnect() const;
    bool isReconnecting() const;
    // Ends the retries; an attempt under way is dropped without a word.
    void stopReconnecting();

    // The unsent-bytes bound (MaxUnsentBytes unless set).
    void setMaxUnsentBytes(qint64 bytes);

    void sendUpdateCG(const cgItemData& data, int operationType, const QVariant& curStatus,
                      const QUuid& operationId);

    // True when guid is this console's own login (the current token).
    bool isSelfOperator(const QString& guid) const;

    // Hardware address of the interface that carried the last connection.
    QString deviceMac() const;

signals:
    void signalConnect(bool bSucess);
    void reconnectingChanged(bool reconnecting);

public slots:
    void slotConnectSuc();
    void slotDestroyConnection();
    void slotDisplayError(QAbstractSocket::SocketError stErr);
    void slotReadMesg();
    void slotTimeOut();
    void onHeartTimer();

private:
    // What can happen to a connection. Which of these each state takes is
    // decided in accepts() alone; anything else is ignored.
    enum class Event {
        Connect,          // the operator starts a connection
        SocketConnected,  // TCP is up; login goes out
        LoginAnswer,      // a login response arrives
        ServerMessage,    // any other frame is dispatched
        Heartbeat,
        Send,             // a request or an answer is written
        Disconnect,       // the operator or a failure ends the connection
        LoginTimeout,
        CloseDeadline,    // a closing connection has waited long enough
    };
    bool accepts(Event event) const;

    OvTransferServer();

    // Enters Closing. atOnce: after a failure, only what the kernel takes now
    // is still sent; otherwise unsent bytes get CloseDeadlineMs.
    void closeConnection(bool atOnce);
    // Drops the socket without waiting and tears down.
    void abortConnection();
    // Works through buffered frames for one time slice at most.
    void readFrames();
    // A large body is decoded on a worker; the frames after it wait for it.
    void decodeAside(QByteArray body);
    void decoded(quint64 attempt, const OvServerMessage& message);

    // OvProtocolSink
    void sendFrame(const QByteArray& frame) override;
    QString token() const override;
    bool awaitingLogin() const override;
    void loginSucceeded(const QString& token) override;
    void cgListReceived(const QList<OvCgRecord>& list, int unlisted) override;
    void cgNotified(const OvCgNotification& notification) override;
    void endpointNotice(const QString& text) override;
    void closeWithError(const QString& errorText, const QString& logText) override;
    void refused(const QString& errorText, const QString& logText) override;

    void startAttempt();
    void setReconnecting(bool reconnecting);
    void checkServerHeard();
    // How long to wait before the next try.
    int retryDelay() const;

    ConnectionState m_state = Idle;
    QString m_host;
    QString m_password;
    int m_port = 0;
    QString m_deviceMac;
    QTimer* m_connectTimer = nullptr;
    QTimer* m_heartTimer = nullptr;
    QTimer* m_closeTimer = nullptr;
    QTimer* m_readMore = nullptr;
    QTimer* m_retryTimer = nullptr;
    QTimer* m_heardTimer = nullptr;
    QElapsedTimer m_lastHeard;
    QElapsedTimer m_loggedInFor;
    // Connections in a row that ended within ShortLivedMs of their login.
    int m_shortLived = 0;
    bool m_reconnect = false;
    bool m_reconnecting = false;
    // Of the connection under way: it logged in; the server refused it; the
    // operator ended it.
    bool m_loggedIn = false;
    bool m_refused = false;
    bool m_byOperator = false;
    // The connection under way is a retry: failing before login, it says nothing.
    bool m_retryAttempt = false;
    bool m_backlogExceeded = false;
    qint64 m_maxUnsentBytes = MaxUnsentBytes;
    QTcpSocket* m_socket = nullptr;
    // Counts connection attempts, so that a decode finishing after its
    // connection has gone is dropped.
    quint64 m_attempt = 0;
    bool m_decoding = false;
    QThreadPool* m_decoder = nullptr;
    OvFrameReader m_rxBuffer;
    OvProtocolDispatcher m_dispatcher;
    QString m_token;
    QString m_errorText;
    QString m_logText;
};

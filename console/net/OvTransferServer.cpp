#include "OvTransferServer.h"

#include "cg/OvCGListModel.h"
#include "cg/cgItemData.h"
#include "log/OvCGMessage.h"
#include "net/OvErrorPresenter.h"
#include "net/OvNetworkDiscovery.h"
#include "net/OvProtocol.h"
#include "net/OvTcpOptions.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostInfo>
#include <QPointer>
#include <QTcpSocket>
#include <QThreadPool>
#include <QTimer>

#include <memory>

namespace {

QString socketErrorText(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::SocketTimeoutError:
        return OvProtocol::refusedOrTimeoutText();
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::NetworkError:
        return OvProtocol::remoteClosedText();
    case QAbstractSocket::SocketAccessError:
        return QCoreApplication::translate("OvTransferServer", "套接字操作失败，因为应用程序缺乏所需的权限。");
    case QAbstractSocket::SocketResourceError:
        return QCoreApplication::translate("OvTransferServer", "资源耗尽，本地接口不足。");
    case QAbstractSocket::DatagramTooLargeError:
        return QCoreApplication::translate("OvTransferServer", "数据报大于操作系统的限制。");
    case QAbstractSocket::AddressInUseError:
        return QCoreApplication::translate("OvTransferServer", "地址被占用。");
    case QAbstractSocket::SocketAddressNotAvailableError:
        return QCoreApplication::translate("OvTransferServer", "无效地址。");
    case QAbstractSocket::UnsupportedSocketOperationError:
        return QCoreApplication::translate("OvTransferServer", "不支持该操作。");
    case QAbstractSocket::UnfinishedSocketOperationError:
        return QCoreApplication::translate("OvTransferServer", "操作还在运行。");
    case QAbstractSocket::OperationError:
        return QCoreApplication::translate("OvTransferServer", "操作错误。");
    default:
        return QCoreApplication::translate("OvTransferServer", "未知错误。");
    }
}

}  // namespace

OvTransferServer* OvTransferServer::instance()
{
    static OvTransferServer server;
    return &server;
}

OvTransferServer::OvTransferServer()
    : m_connectTimer(new QTimer(this))
    , m_heartTimer(new QTimer(this))
    , m_closeTimer(new QTimer(this))
    , m_readMore(new QTimer(this))
    , m_retryTimer(new QTimer(this))
    , m_heardTimer(new QTimer(this))
    , m_decoder(new QThreadPool(this))
    , m_dispatcher(*this)
{
    // One at a time: bodies are applied in order anyway, and each decode may
    // hold a few times its body's size.
    m_decoder->setMaxThreadCount(1);
    // A decode still running when the application ends finishes before the
    // statics it may post to go.
    qAddPostRoutine([] { instance()->m_decoder->waitForDone(); });
    qRegisterMetaType<QAbstractSocket::SocketError>();
    m_connectTimer->setSingleShot(true);
    // A coarse timer may give up to 5 % early; the operator is promised the full wait.
    m_connectTimer->setTimerType(Qt::PreciseTimer);
    m_connectTimer->setInterval(LoginWaitMs);
    connect(m_connectTimer, &QTimer::timeout, this, &OvTransferServer::slotTimeOut);
    connect(m_heartTimer, &QTimer::timeout, this, &OvTransferServer::onHeartTimer);
    m_closeTimer->setSingleShot(true);
    m_closeTimer->setTimerType(Qt::PreciseTimer);
    m_closeTimer->setInterval(CloseDeadlineMs);
    connect(m_closeTimer, &QTimer::timeout, this, [this] {
        if (accepts(Event::CloseDeadline))
            abortConnection();
    });
    // Zero interval: the rest of a burst is read once pending events are handled.
    m_readMore->setSingleShot(true);
    m_readMore->setInterval(0);
    connect(m_readMore, &QTimer::timeout, this, &OvTransferServer::readFrames);
    m_retryTimer->setSingleShot(true);
    m_retryTimer->setTimerType(Qt::PreciseTimer);
    connect(m_retryTimer, &QTimer::timeout, this, [this] {
        if (!m_reconnecting || !accepts(Event::Connect))
            return;
        m_retryAttempt = true;
        startAttempt();
    });
    m_heardTimer->setInterval(1000);
    connect(m_heardTimer, &QTimer::timeout, this, &OvTransferServer::checkServerHeard);
}

bool OvTransferServer::accepts(Event event) const
{
    switch (m_state) {
    case Idle:
        return event == Event::Connect;
    case Connecting:
        return event == Event::SocketConnected || event == Event::LoginAnswer
               || event == Event::ServerMessage || event == Event::Send
               || event == Event::Disconnect || event == Event::LoginTimeout;
    case LoggedIn:
        return event == Event::ServerMessage || event == Event::Heartbeat || event == Event::Send
               || event == Event::Disconnect;
    case Closing:
        return event == Event::CloseDeadline;
    }
    return false;
}

OvTransferServer::~OvTransferServer()
{
    m_connectTimer->stop();
    m_heartTimer->stop();
    if (m_socket) {
        // Leaving without a teardown: nobody is left to be told.
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

void OvTransferServer::connectToServer(const QString& endpoint, const QString& password, int port)
{
    // A second attempt while one is running is refused quietly; the running
    // one reports its own outcome.
    if (!accepts(Event::Connect))
        return;
    // The operator's own connection replaces any retrying.
    stopReconnecting();
    m_shortLived = 0;
    const int paren = endpoint.indexOf(QLatin1Char('('));
    m_host = paren < 0 ? endpoint : endpoint.left(paren);
    m_password = password;
    m_port = port;
    m_retryAttempt = false;
    startAttempt();
}

void OvTransferServer::startAttempt()
{
    ++m_attempt;
    m_decoding = false;
    m_rxBuffer.clear();
    m_backlogExceeded = false;
    m_loggedIn = false;
    m_refused = false;
    m_byOperator = false;

    m_socket = new QTcpSocket(this);
    m_socket->setReadBufferSize(ReadAheadBytes);
    m_socket->connectToHost(m_host, quint16(m_port), QIODevice::ReadWrite,
                            QAbstractSocket::AnyIPProtocol);
    m_connectTimer->start(LoginWaitMs);
    m_state = Connecting;
    connect(m_socket, &QTcpSocket::connected, this, &OvTransferServer::slotConnectSuc);
    connect(m_socket, &QTcpSocket::disconnected, this, &OvTransferServer::slotDestroyConnection);
    connect(m_socket, &QTcpSocket::readyRead, this, &OvTransferServer::slotReadMesg);
    if (m_retryAttempt) {
        // A retry learns at once that nobody listens yet, and tries again on
        // schedule, instead of sitting out the operator's login wait.
        connect(m_socket, &QAbstractSocket::errorOccurred, this, [this] {
            if (m_retryAttempt && accepts(Event::Disconnect) && m_state == Connecting)
                abortConnection();
        });
    }
}

void OvTransferServer::disconnectFromServer()
{
    if (m_socket && accepts(Event::Disconnect))
        m_byOperator = true;
    closeConnection(false);
}

void OvTransferServer::closeConnection(bool atOnce)
{
    m_heartTimer->stop();
    if (!m_socket || !accepts(Event::Disconnect))
        return;
    m_connectTimer->stop();
    m_readMore->stop();
    m_state = Closing;
    if (atOnce) {
        // The answer to what ended the connection goes out if the kernel
        // takes it now; a server that does not read gets nothing more.
        m_socket->flush();
        if (m_socket->bytesToWrite() > 0) {
            abortConnection();
            return;
        }
    }
    m_closeTimer->start();
    // May tear down at once (disconnected is emitted synchronously when
    // nothing is left to write).
    m_socket->close();
}

void OvTransferServer::abortConnection()
{
    QTcpSocket* const socket = m_socket;
    if (!socket)
        return;
    socket->abort();
    // A socket that never connected reports no disconnection.
    if (m_socket == socket)
        slotDestroyConnection();
}

OvTransferServer::ConnectionState OvTransferServer::connectionState() const
{
    return m_state;
}

void OvTransferServer::setReconnect(bool on)
{
    m_reconnect = on;
    if (!on)
        stopReconnecting();
    else if (m_state == LoggedIn)
        m_heardTimer->start();
}

bool OvTransferServer::reconnect() const
{
    return m_reconnect;
}

bool OvTransferServer::isReconnecting() const
{
    return m_reconnecting;
}

void OvTransferServer::stopReconnecting()
{
    if (!m_reconnecting)
        return;
    m_retryTimer->stop();
    setReconnecting(false);
    m_shortLived = 0;
    // A retry under way has not logged in; it ends without a word.
    if (m_socket && m_retryAttempt && accepts(Event::Disconnect)) {
        m_byOperator = true;
        abortConnection();
    }
}

void OvTransferServer::setReconnecting(bool reconnecting)
{
    if (m_reconnecting == reconnecting)
        return;
    m_reconnecting = reconnecting;
    emit reconnectingChanged(reconnecting);
}

void OvTransferServer::checkServerHeard()
{
    if (!m_reconnect || m_state != LoggedIn) {
        m_heardTimer->stop();
        return;
    }
    if (m_lastHeard.elapsed() >= SilentServerMs) {
        const QString text = OvProtocol::remoteClosedText();
        closeWithError(text, OvProtocol::remoteLogText(text));
    }
}

void OvTransferServer::setMaxUnsentBytes(qint64 bytes)
{
    m_maxUnsentBytes = bytes;
}

int OvTransferServer::retryDelay() const
{
    const int usual = m_reconnecting ? ReconnectEveryMs : ReconnectFirstMs;
    if (m_shortLived < 2)
        return usual;
    // 2, 4, 8, ... seconds: the first short-lived connection is retried as usual.
    const qint64 grown = qint64(ReconnectFirstMs) << qMin(m_shortLived - 1, 16);
    return int(qBound<qint64>(usual, grown, ReconnectLongestMs));
}

void OvTransferServer::sendUpdateCG(const cgItemData& data, int operationType,
                                    const QVariant& curStatus, const QUuid& operationId)
{
    sendFrame(OvProtocol::encodeFrame(OvProtocol::request(
        OvProtocol::CmdUpdateCG, m_token,
        OvProtocol::updateCGValue(data.guid.toString(), operationType, data.status,
                                  curStatus.toInt(), operationId.toString()))));
}

bool OvTransferServer::isSelfOperator(const QString& guid) const
{
    return guid == m_token;
}

QString OvTransferServer::deviceMac() const
{
    return m_deviceMac;
}

void OvTransferServer::slotConnectSuc()
{
    if (!m_socket || !accepts(Event::SocketConnected))
        return;
    OvTcpOptions::detectDeadPeer(m_socket, DeadPeerMs);
    // Every write is a whole frame: a take must not wait behind an answer the
    // server has not acknowledged yet (a delayed acknowledgement holds it up
    // to 40 ms here, 200 ms on some servers).
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const QString mac = OvNetworkDiscovery::hardwareAddressOf(m_socket->localAddress());
    if (!mac.isEmpty()) {
        m_deviceMac = mac;
        // Announce the interface the server actually reaches us on.
        OvNetworkDiscovery::instance()->setLocalMac(mac);
    }
    sendFrame(OvProtocol::encodeFrame(OvProtocol::request(
        OvProtocol::CmdLogin, m_token,
        OvProtocol::loginValue(QHostInfo::localHostName(), m_password, m_deviceMac))));
}

void OvTransferServer::slotDestroyConnection()
{
    m_heartTimer->stop();
    m_heardTimer->stop();
    m_connectTimer->stop();
    m_closeTimer->stop();
    m_readMore->stop();
    if (m_socket) {
        QAbstractSocket::SocketError error = m_socket->error();
        // Qt keeps the connect's "in progress" as the socket's error and
        // reports it again for a later failure it has no name for (the kernel
        // giving up on the connection, ETIMEDOUT): the connection is lost.
        if (error == QAbstractSocket::UnfinishedSocketOperationError)
            error = QAbstractSocket::NetworkError;
        // The reason a closing connection was given stands: the socket's own
        // error after it (an aborted write, say) would misname it.
        if (error != QAbstractSocket::UnknownSocketError && m_errorText.isEmpty())
            slotDisplayError(error);
        QTcpSocket* const socket = m_socket;
        m_socket = nullptr;
        socket->disconnect(this);
        // A connection given up while still open (login wait expired) must
        // not linger while the box below is shown.
        if (socket->state() != QAbstractSocket::UnconnectedState)
            socket->abort();
        socket->deleteLater();
        m_rxBuffer.clear();
        m_token.clear();
        m_backlogExceeded = false;
    }
    // A retry that fails before login changes nothing the operator sees: the
    // console has been shown disconnected since the loss.
    const bool silent = m_retryAttempt && !m_loggedIn && !m_refused;
    const bool retry = m_reconnect && !m_refused && !m_byOperator && (m_loggedIn || m_reconnecting);
    const bool lostLogin = m_loggedIn;
    if (lostLogin)
        m_shortLived = m_loggedInFor.elapsed() < ShortLivedMs ? m_shortLived + 1 : 0;
    if (m_refused)
        setReconnecting(false);
    m_loggedIn = false;
    m_retryAttempt = false;
    if (m_state != Idle) {
        m_state = Idle;
        if (!silent)
            emit signalConnect(false);
    }
    const QString errorText = silent ? QString() : m_errorText;
    if (!errorText.isEmpty()) {
        OvCGMessage::systemLine(m_logText.isEmpty() ? errorText : m_logText);
    }
    m_errorText.clear();
    m_logText.clear();
    if (retry) {
        if (!m_reconnecting) {
            OvCGMessage::systemLine(tr("正在自动重新连接studio…"));
        }
        // Said once when the waits start to grow, not at every loss.
        if (lostLogin && m_shortLived == 2) {
            OvCGMessage::systemLine(tr("studio在登录后不久一再断开连接：重连的间隔逐次加长，最长%1秒").arg(ReconnectLongestMs / 1000));
        }
        // Before the box: the retries go on while it is open.
        m_retryTimer->start(retryDelay());
        setReconnecting(true);
    }
    if (!errorText.isEmpty())
        OvErrorPresenter::present(errorText);
}

void OvTransferServer::slotDisplayError(QAbstractSocket::SocketError stErr)
{
    if (m_state == Idle)
        return;
    m_errorText = socketErrorText(stErr);
    if (stErr == QAbstractSocket::RemoteHostClosedError || stErr == QAbstractSocket::NetworkError)
        m_logText = OvProtocol::remoteLogText(m_errorText);
}

void OvTransferServer::slotReadMesg()
{
    if (!m_socket || !accepts(Event::ServerMessage))
        return;
    // Any byte is a sign of life: a large frame over a slow link is no silence.
    m_lastHeard.start();
    // The bytes stay in the socket until the read loop gets to them. A burst
    // already being worked through goes on in its own next turn, so that new
    // bytes do not make a second slice in this one; a body being decoded
    // holds back everything after it.
    if (!m_readMore->isActive() && !m_decoding)
        readFrames();
}

void OvTransferServer::readFrames()
{
    if (m_decoding)
        return;
    const QPointer<QTcpSocket> socket = m_socket;
    QElapsedTimer slice;
    slice.start();
    QByteArray body;
    for (;;) {
        // A handler may have ended the connection (a slot of signalConnect,
        // for instance); frames of a dead connection are not dispatched.
        if (!socket || m_socket != socket || !accepts(Event::ServerMessage))
            return;
        if (m_backlogExceeded) {
            closeWithError(OvProtocol::protocolErrorText(), QString());
            return;
        }
        if (slice.elapsed() >= ReadSliceMs) {
            // The rest stays buffered, in order, for the next turn. The
            // answers go out now: left to the event loop, the socket writes
            // one block per turn, fewer than a flood asks for.
            m_readMore->start();
            socket->flush();
            return;
        }
        const OvFrameReader::Result result = m_rxBuffer.next(&body);
        if (result == OvFrameReader::Result::NeedMore) {
            // What the frame in progress lacks, however large (within the
            // body limit), else one chunk; the socket then reads on from the
            // server by itself.
            if (m_rxBuffer.readFrom(*socket, qMax(ReadChunkBytes, m_rxBuffer.missing())) == 0) {
                socket->flush();
                break;
            }
            continue;
        }
        if (result == OvFrameReader::Result::TooLong) {
            closeWithError(OvProtocol::protocolErrorText(), QString());
            return;
        }
        m_lastHeard.start();
        if (body.size() >= DecodeAsideBytes) {
            socket->flush();
            decodeAside(std::move(body));
            return;
        }
        if (!m_dispatcher.dispatch(body))
            return;
    }
    m_rxBuffer.compact();
}

void OvTransferServer::decodeAside(QByteArray body)
{
    m_decoding = true;
    const quint64 attempt = m_attempt;
    m_decoder->start([this, attempt, body = std::move(body)]() mutable {
        OvServerMessage message = OvProtocolDispatcher::decodeAlone(body);
        body.clear();
        QMetaObject::invokeMethod(
            this, [this, attempt, message = std::move(message)] { decoded(attempt, message); },
            Qt::QueuedConnection);
    });
}

void OvTransferServer::decoded(quint64 attempt, const OvServerMessage& message)
{
    if (attempt != m_attempt || !m_decoding)
        return;
    m_decoding = false;
    if (!m_socket || !accepts(Event::ServerMessage))
        return;
    m_lastHeard.start();
    if (m_dispatcher.apply(message))
        readFrames();
}

void OvTransferServer::slotTimeOut()
{
    if (!accepts(Event::LoginTimeout))
        return;
    // A socket error met meanwhile names the failure better than the wait.
    if (!m_socket || m_socket->error() == QAbstractSocket::UnknownSocketError)
        m_errorText = OvProtocol::refusedOrTimeoutText();
    slotDestroyConnection();
}

void OvTransferServer::onHeartTimer()
{
    if (!accepts(Event::Heartbeat))
        return;
    sendFrame(OvProtocol::encodeFrame(OvProtocol::request(OvProtocol::CmdHeart, m_token)));
}

void OvTransferServer::sendFrame(const QByteArray& frame)
{
    if (!m_socket || !accepts(Event::Send))
        return;
    m_socket->write(frame);
    if (m_socket->bytesToWrite() > m_maxUnsentBytes && !m_backlogExceeded) {
        // Ended from the read loop or the event loop, never in the middle of
        // handling a message.
        m_backlogExceeded = true;
        const QPointer<QTcpSocket> socket = m_socket;
        QMetaObject::invokeMethod(
            this,
            [this, socket] {
                if (socket && socket == m_socket && m_backlogExceeded)
                    closeWithError(OvProtocol::protocolErrorText(), QString());
            },
            Qt::QueuedConnection);
    }
}

QString OvTransferServer::token() const
{
    return m_token;
}

bool OvTransferServer::awaitingLogin() const
{
    return accepts(Event::LoginAnswer);
}

void OvTransferServer::loginSucceeded(const QString& token)
{
    if (!accepts(Event::LoginAnswer))
        return;
    m_connectTimer->stop();
    m_token = token;
    m_heartTimer->start(HeartbeatMs);
    m_state = LoggedIn;
    m_loggedIn = true;
    m_retryAttempt = false;
    m_lastHeard.start();
    m_loggedInFor.start();
    if (m_reconnect)
        m_heardTimer->start();
    setReconnecting(false);
    emit signalConnect(true);
}

void OvTransferServer::cgListReceived(const QList<OvCgRecord>& list, int unlisted)
{
    OvCGListModel::instance()->applyCatalogue(list, unlisted);
    if (unlisted > 0)
        endpointNotice(tr("CG数量已达上限%1个：服务器的另外%2个CG未列出").arg(OvProtocol::MaxCgItems).arg(unlisted));
}

void OvTransferServer::cgNotified(const OvCgNotification& n)
{
    // An item past the catalogue's bound is left out, and the connection
    // stays: every graphic on air stays in the operator's hands.
    OvCGListModel* const model = OvCGListModel::instance();
    if (!model->applyNotification(n) && model->unlistedCount() == 1)
        endpointNotice(tr("CG数量已达上限%1个：服务器新增的CG不会列出").arg(OvProtocol::MaxCgItems));
}

void OvTransferServer::endpointNotice(const QString& text)
{
    OvCGMessage::systemLine(text);
}

void OvTransferServer::refused(const QString& errorText, const QString& logText)
{
    m_refused = true;
    closeWithError(errorText, logText);
}

void OvTransferServer::closeWithError(const QString& errorText, const QString& logText)
{
    if (!errorText.isEmpty()) {
        m_errorText = errorText;
        m_logText = logText;
    }
    closeConnection(true);
}

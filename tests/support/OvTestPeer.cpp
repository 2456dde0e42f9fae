#include "OvTestPeer.h"

#include "cg/OvCGListModel.h"
#include "net/OvProtocol.h"
#include "net/OvTransferServer.h"

#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QUuid>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

OvTestPeer::OvTestPeer(quint16 port)
{
    m_server.listen(QHostAddress::LocalHost, port);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        if (!m_socket)
            adopt(m_server.nextPendingConnection());
    });
}

bool OvTestPeer::connectTo(quint16 port, int timeoutMs)
{
    m_server.close();
    adopt(new QTcpSocket(this));
    m_socket->connectToHost(QHostAddress::LocalHost, port);
    return m_socket->waitForConnected(timeoutMs);
}

void OvTestPeer::adopt(QTcpSocket* socket)
{
    m_socket = socket;
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { read(); });
}

void OvTestPeer::read()
{
    const QByteArray bytes = m_socket->readAll();
    received += bytes;
    m_reader.append(bytes);
    QByteArray body;
    OvFrameReader::Result result;
    while ((result = m_reader.next(&body)) == OvFrameReader::Result::Frame) {
        bodies.append(body);
        const QJsonDocument document = QJsonDocument::fromJson(body);
        if (document.isObject()) {
            messages.append(document.object());
            const QString cmd = document.object().value("cmd").toString();
            if (m_answerLogins && cmd == QLatin1String("login"))
                send(response(cmd, 0, {{"token", m_answerToken}}));
            else if (m_answerLogins && cmd == QLatin1String("syncCGList"))
                send(response(cmd, 0, {{"cgList", m_answerList}}));
        } else
            badBodies.append(body);
    }
    overlong = overlong || result == OvFrameReader::Result::TooLong;
}

void OvTestPeer::sendRaw(const QByteArray& bytes)
{
    m_socket->write(bytes);
    m_socket->flush();
}

void OvTestPeer::send(const QJsonObject& message)
{
    sendRaw(frameOf(message));
}

int OvTestPeer::countOf(const QString& cmd, const QString& cmdType) const
{
    int n = 0;
    for (const QJsonObject& m : messages)
        n += m.value("cmd").toString() == cmd && m.value("cmdType").toString() == cmdType;
    return n;
}

QJsonObject OvTestPeer::last(const QString& cmd) const
{
    for (int i = messages.size() - 1; i >= 0; --i)
        if (messages[i].value("cmd").toString() == cmd)
            return messages[i];
    return {};
}

bool OvTestPeer::waitFor(const QString& cmd, int count, const QString& cmdType, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return countOf(cmd, cmdType) >= count; }, timeoutMs);
}

QJsonObject OvTestPeer::take(const std::function<bool(const QJsonObject&)>& match, int timeoutMs)
{
    QJsonObject found;
    (void)QTest::qWaitFor(
        [&] {
            for (int i = 0; i < messages.size(); ++i) {
                if (match(messages.at(i))) {
                    found = messages.takeAt(i);
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

QJsonObject OvTestPeer::take(const QString& cmd, const QString& cmdType, int timeoutMs)
{
    return take([&](const QJsonObject& m) { return m["cmd"] == cmd && m["cmdType"] == cmdType; }, timeoutMs);
}

bool OvTestPeer::waitClosed(int timeoutMs) const
{
    return QTest::qWaitFor([this] { return m_socket->state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
}

int OvTestPeer::login(const QString& password, const QString& deviceName)
{
    send(OvProtocol::request(OvProtocol::CmdLogin, QString(),
                             OvProtocol::loginValue(deviceName, password, QStringLiteral("02:00:00:00:00:01"))));
    const QJsonObject answer = take("login", "response");
    if (answer.isEmpty())
        return 1000;
    token = answer["value"].toObject()["token"].toString();
    return answer["code"].toInt();
}

bool OvTestPeer::logInConsole(const QString& token, const QJsonArray& list, int timeoutMs)
{
    OvTransferServer* const client = OvTransferServer::instance();
    client->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("pw"), port());
    if (!waitFor("login"))
        return false;
    send(response("login", 0, {{"token", token}}));
    if (!waitFor("syncCGList"))
        return false;
    send(response("syncCGList", 0, {{"cgList", list}}));
    return QTest::qWaitFor(
        [&] {
            return OvCGListModel::instance()->count() == list.size()
                && client->connectionState() == OvTransferServer::LoggedIn;
        },
        timeoutMs);
}

void OvTestPeer::answerLogins(const QString& token, const QJsonArray& list)
{
    m_answerLogins = true;
    m_answerToken = token;
    m_answerList = list;
}

void OvTestPeer::stopReading()
{
    m_socket->disconnect(this);
    m_socket->setReadBufferSize(1);
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
}

void OvTestPeer::flood(int count)
{
    const QByteArray frame = frameOf(QByteArray(R"({"cmd":"notifyCG","value":{}})"));
    for (int sent = 0; sent < count; sent += 10000)
        m_socket->write(frame.repeated(qMin(10000, count - sent)));
}

QJsonObject OvTestPeer::record(const QString& name)
{
    return {{"guid", QUuid::createUuid().toString()}, {"name", name}, {"status", 0}, {"imageBase64", ""}};
}

QJsonObject OvTestPeer::response(const QString& cmd, int code, const QJsonObject& value)
{
    return {{"cmd", cmd}, {"cmdType", "response"}, {"code", code}, {"value", value}};
}

QJsonObject OvTestPeer::notifyCG(const QString& target, int type, const QJsonObject& value,
                                 const QString& operatorName, const QString& operatorGuid)
{
    const QJsonObject by{{"operationID", "{op}"},
                         {"operatorAddr", "10.0.0.9:5000"},
                         {"operatorName", operatorName},
                         {"operatorGuid", operatorGuid}};
    return {{"cmd", "notifyCG"},
            {"cmdType", "request"},
            {"value", QJsonObject{{"operationTarget", target},
                                  {"operationType", type},
                                  {"operationValue", value},
                                  {"operator", by}}}};
}

QByteArray OvTestPeer::frameOf(const QByteArray& body)
{
    return OvProtocol::frameHeader(quint32(body.size())) + body;
}

QByteArray OvTestPeer::frameOf(const QJsonObject& message)
{
    return frameOf(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

// --- the flood -------------------------------------------------------------

namespace {

constexpr int BatchBytes = 256 * 1024;

}  // namespace

OvFloodPeer::OvFloodPeer(const QByteArray& catalogueBody, qint64 count, Generator generator)
    : m_catalogue(catalogueBody), m_count(count), m_generator(std::move(generator))
{
}

OvFloodPeer::~OvFloodPeer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener >= 0)
        ::close(m_listener);
}

quint16 OvFloodPeer::listen()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(m_listener, 1) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    m_thread = std::thread([this] { run(); });
    return ntohs(address.sin_port);
}

void OvFloodPeer::run()
{
    pollfd waiting{m_listener, POLLIN, 0};
    while (!m_stop && ::poll(&waiting, 1, 100) == 0) {
    }
    const int fd = m_stop ? -1 : ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
        m_broken = true;
        return;
    }
    QByteArray out = OvTestPeer::frameOf(OvTestPeer::response("login", 0, {{"token", "flood"}}))
                     + OvTestPeer::frameOf(m_catalogue);
    int outAt = 0;
    qint64 next = 0;
    OvFrameReader in;
    QByteArray body;
    char chunk[64 * 1024];
    while (!m_stop) {
        if (outAt == out.size() && next < m_count) {
            out.clear();
            outAt = 0;
            while (out.size() < BatchBytes && next < m_count)
                out += OvTestPeer::frameOf(m_generator(next++));
        }
        pollfd p{fd, short(POLLIN | (outAt < out.size() ? POLLOUT : 0)), 0};
        if (::poll(&p, 1, 100) < 0 && errno != EINTR)
            break;
        if (p.revents & POLLOUT) {
            const ssize_t n = ::send(fd, out.constData() + outAt, size_t(out.size() - outAt), MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                break;
            if (n > 0) {
                outAt += int(n);
                m_bytesSent += n;
            }
        }
        if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
            // Everything the console has sent: its answers must not back up.
            ssize_t n = 0;
            while ((n = ::recv(fd, chunk, sizeof chunk, 0)) > 0)
                in.append(QByteArray(chunk, int(n)));
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                break;
            while (in.next(&body) == OvFrameReader::Result::Frame)
                if (body.contains("\"response\""))
                    ++m_answers;
        }
    }
    m_broken = !m_stop;
    ::close(fd);
}

// --- the simulator ---------------------------------------------------------

namespace OvTest {

namespace {

// The next line of the simulator's standard output; empty after timeoutMs.
QString readLine(QProcess& sim, int timeoutMs)
{
    // The event loop runs meanwhile: a console in this process may have to
    // act before the simulator answers.
    (void)QTest::qWaitFor([&] { return sim.canReadLine() || sim.state() == QProcess::NotRunning; }, timeoutMs);
    return QString::fromUtf8(sim.readLine()).trimmed();
}

}  // namespace

quint16 startSimulator(QProcess& sim, const QStringList& args, QString* error, const QStringList& launcher)
{
#ifndef OV_SIM_BIN
    Q_UNUSED(sim)
    Q_UNUSED(args)
    Q_UNUSED(launcher)
    *error = QStringLiteral("the CG server simulator is not built: its tests cannot pass without it");
    return 0;
#else
    const QStringList simArgs = QStringList{"--port", "0"} + args;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (launcher.isEmpty())
        sim.start(QStringLiteral(OV_SIM_BIN), simArgs);
    else
        sim.start(launcher.first(), launcher.mid(1) + QStringList(QStringLiteral(OV_SIM_BIN)) + simArgs);
    if (!sim.waitForStarted(5000)) {
        *error = QStringLiteral("the simulator did not start: ") + sim.errorString();
        return 0;
    }
    // Printed once it listens: "ovcg-sim listening on ADDRESS:PORT; ...".
    const QString ready = readLine(sim, 10000);
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^ovcg-sim listening on \\S+:(\\d+);")).match(ready);
    if (!m.hasMatch()) {
        *error = QStringLiteral("the simulator did not report that it listens: \"%1\"").arg(ready);
        return 0;
    }
    return quint16(m.captured(1).toUInt());
#endif
}

QStringList simCommand(QProcess& sim, const QString& line, int timeoutMs)
{
    sim.write(line.toUtf8() + '\n');
    QStringList reply;
    for (QString text = readLine(sim, timeoutMs); !text.isEmpty(); text = readLine(sim, timeoutMs)) {
        reply.append(text);
        if (text.startsWith("ok") || text.startsWith("error"))
            break;
    }
    return reply;
}

void stopSimulator(QProcess& sim)
{
    if (sim.state() == QProcess::NotRunning)
        return;
    sim.write("quit\n");
    if (!sim.waitForFinished(5000)) {
        sim.kill();
        sim.waitForFinished(5000);
    }
}

}  // namespace OvTest

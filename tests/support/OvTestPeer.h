#pragma once
// The other end of the console's connection in tests and benchmarks: a CG peer
// framed with the protocol's own code, a flooding server on a thread of its
// own, and the CG server simulator as a child process. Needs no test-only
// definitions beyond OV_SIM_BIN, so that the benchmarks can use it too.

#include "net/OvFrameReader.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <atomic>
#include <functional>
#include <thread>

class QProcess;

// One CG connection seen from the test: the server a console logs in to
// (listen()), or one more console of a server (connectTo()). Every frame
// received is kept, raw and parsed, until take() removes it.
class OvTestPeer : public QObject
{
public:
    // Listens on 127.0.0.1 at once (on port, 0: any); the first connection is
    // the one served.
    explicit OvTestPeer(quint16 port = 0);
    // Connects to a server on 127.0.0.1 instead; false when nobody answers.
    bool connectTo(quint16 port, int timeoutMs = 5000);
    quint16 port() const { return m_server.serverPort(); }
    // The connection; null until a console connected to a listening peer.
    QTcpSocket* socket() const { return m_socket; }

    void sendRaw(const QByteArray& bytes);
    void send(const QJsonObject& message);

    int countOf(const QString& cmd, const QString& cmdType = QStringLiteral("request")) const;
    QJsonObject last(const QString& cmd) const;
    bool waitFor(const QString& cmd, int count = 1, const QString& cmdType = QStringLiteral("request"),
                 int timeoutMs = 3000) const;
    // Removes and returns the first message that matches; empty after timeoutMs.
    QJsonObject take(const std::function<bool(const QJsonObject&)>& match, int timeoutMs = 5000);
    QJsonObject take(const QString& cmd, const QString& cmdType, int timeoutMs = 5000);
    bool waitClosed(int timeoutMs = 5000) const;

    // As a console: logs in and keeps the token. Returns the answer's code,
    // 1000 when there was none.
    int login(const QString& password, const QString& deviceName = QStringLiteral("test-console"));
    // As the server: has the console's transfer client connect here, answers
    // its login with token and its catalogue request with list. True once the
    // client is logged in and the model lists the catalogue.
    bool logInConsole(const QString& token = QStringLiteral("t"), const QJsonArray& list = {},
                      int timeoutMs = 10000);

    // As the server, answers every login with token and every catalogue
    // request with list by itself, even while the test waits in a nested loop.
    void answerLogins(const QString& token, const QJsonArray& list);

    // Reads nothing more, so that what the console sends backs up.
    void stopReading();
    // count copies of one small request, each answered by the console.
    void flood(int count);

    // Message builders for what a server sends. A catalogue record: a fresh
    // guid, the name, off air, no picture.
    static QJsonObject record(const QString& name);
    static QJsonObject response(const QString& cmd, int code, const QJsonObject& value = {});
    static QJsonObject notifyCG(const QString& target, int type, const QJsonObject& value,
                                const QString& operatorName = QStringLiteral("Zhang"),
                                const QString& operatorGuid = QStringLiteral("someone"));
    static QByteArray frameOf(const QByteArray& body);
    static QByteArray frameOf(const QJsonObject& message);

    QByteArray received;             // every byte, as it came
    QList<QByteArray> bodies;        // every frame's body, in order
    QList<QJsonObject> messages;     // the bodies that are JSON objects
    QList<QByteArray> badBodies;     // and those that are not
    bool overlong = false;           // a header announced more than the protocol allows
    QString token;

private:
    void adopt(QTcpSocket* socket);
    void read();

    QTcpServer m_server;
    QTcpSocket* m_socket = nullptr;
    OvFrameReader m_reader;
    bool m_answerLogins = false;
    QString m_answerToken;
    QJsonArray m_answerList;
};

// A CG server that sends as fast as the console takes, on loopback, in a
// thread of its own with plain blocking calls, so that it keeps going while
// the console's event loop is busy and its own memory stays small: frames are
// made a batch at a time. It answers the console's login at once, sends the
// catalogue body given, then frames 0 to count - 1 made by the generator, and
// counts the console's answers meanwhile. The connection stays open until the
// object goes.
class OvFloodPeer
{
public:
    // The body of frame index; called on the server's thread.
    using Generator = std::function<QByteArray(qint64 index)>;

    OvFloodPeer(const QByteArray& catalogueBody, qint64 count, Generator generator);
    ~OvFloodPeer();
    OvFloodPeer(const OvFloodPeer&) = delete;
    OvFloodPeer& operator=(const OvFloodPeer&) = delete;

    // Listens on 127.0.0.1 and starts the thread; 0 on failure.
    quint16 listen();

    qint64 bytesSent() const { return m_bytesSent; }
    qint64 answers() const { return m_answers; }
    // The console closed the connection, or a call failed.
    bool broken() const { return m_broken; }

private:
    void run();

    const QByteArray m_catalogue;
    const qint64 m_count;
    const Generator m_generator;
    int m_listener = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_bytesSent{0};
    std::atomic<qint64> m_answers{0};
    std::atomic<bool> m_broken{false};
};

namespace OvTest {

// Starts the CG server simulator (OV_SIM_BIN) with "--port 0" and args (later
// options win), through launcher (a program and its arguments) when given,
// and waits for its ready line. Returns the port it listens on; 0 with *error
// set when it is not built, does not start or never says it is ready. Its
// log goes to standard error unless args name a --log file.
quint16 startSimulator(QProcess& sim, const QStringList& args, QString* error,
                       const QStringList& launcher = {});
// One command on the simulator's standard input; the reply lines, the last
// being its "ok" or "error" line (none after timeoutMs).
QStringList simCommand(QProcess& sim, const QString& line, int timeoutMs = 5000);
// Asks the simulator to quit, killing it if it does not.
void stopSimulator(QProcess& sim);

}  // namespace OvTest

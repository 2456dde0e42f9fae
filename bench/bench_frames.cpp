// Decoding and dispatching a burst of 100,000 notifyCG frames, against parsing
// the same bodies with QJsonDocument alone. Prints figures; never fails.

#include "net/OvFrameReader.h"
#include "net/OvProtocol.h"
#include "net/OvProtocolDispatcher.h"
#include "net/OvProtocolSink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include "OvBenchSupport.h"

#include <cstdio>

namespace {

// Does what the client does per message short of touching the model: frames
// every answer.
class CountingSink : public OvProtocolSink
{
public:
    void sendMessage(const QJsonObject& message) override
    {
        bytesOut += OvProtocol::encodeFrame(message).size();
    }
    QString token() const override { return QStringLiteral("t"); }
    bool awaitingLogin() const override { return false; }
    void loginSucceeded(const QString&) override {}
    void cgListReceived(const QList<OvCgRecord>&) override {}
    void cgNotified(const OvCgNotification& n) override { statusSum += n.status; ++notified; }
    void endpointNotice(const QString&) override {}
    void closeWithError(const QString&, const QString&) override { ++failures; }

    qint64 bytesOut = 0;
    qint64 statusSum = 0;
    int notified = 0;
    int failures = 0;
};

QByteArray notifyBody(int i)
{
    const QJsonObject message{
        {"cmd", "notifyCG"},
        {"cmdType", "request"},
        {"value",
         QJsonObject{{"operationTarget", QUuid::createUuid().toString()},
                     {"operationType", 1},
                     {"operationValue", QJsonObject{{"status", i % 3}}},
                     {"operator", QJsonObject{{"operationID", QUuid::createUuid().toString()},
                                              {"operatorAddr", "192.168.1.20:50211"},
                                              {"operatorName", "operator"},
                                              {"operatorGuid", "token-of-someone"}}}}}};
    return OvProtocol::encodeBody(message);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    constexpr int Frames = 100000;

    QList<QByteArray> bodies;
    bodies.reserve(Frames);
    QByteArray burst;
    for (int i = 0; i < Frames; ++i) {
        bodies.append(notifyBody(i));
        burst += OvProtocol::frameHeader(quint32(bodies.last().size()));
        burst += bodies.last();
    }

    QElapsedTimer clock;
    clock.start();
    CountingSink sink;
    OvProtocolDispatcher dispatcher(sink);
    OvFrameReader reader;
    reader.append(burst);
    QByteArray body;
    int frames = 0;
    while (reader.next(&body) == OvFrameReader::Result::Frame) {
        dispatcher.dispatch(body);
        ++frames;
    }
    reader.compact();
    const qint64 dispatchNs = clock.nsecsElapsed();

    clock.restart();
    qint64 keys = 0;
    for (const QByteArray& b : qAsConst(bodies))
        keys += QJsonDocument::fromJson(b).object().size();
    const qint64 parseNs = clock.nsecsElapsed();

    std::printf("burst: %d frames, %lld bytes\n", frames, static_cast<long long>(burst.size()));
    std::printf("read + dispatch (answers framed): %8.1f ms  %6.2f us/frame  (%d notified, %d "
                "failures, %lld bytes answered)\n",
                dispatchNs / 1e6, dispatchNs / 1e3 / Frames, sink.notified, sink.failures,
                static_cast<long long>(sink.bytesOut));
    std::printf("QJsonDocument::fromJson only:     %8.1f ms  %6.2f us/frame  (%lld keys)\n",
                parseNs / 1e6, parseNs / 1e3 / Frames, static_cast<long long>(keys));
    std::printf("ratio read+dispatch / parse only: %.2f\n",
                parseNs > 0 ? double(dispatchNs) / double(parseNs) : 0.0);

    // Loose JSON as Qt took it: a 48 MB body whose string is raw control
    // characters (refused: it would grow past a quarter), and one with a control
    // character every kilobyte (rewritten and read).
    for (const int every : {1, 1024}) {
        QByteArray body = "{\"cmd\":\"notifyMSG\",\"cmdType\":\"request\",\"value\":{\"msg\":\"";
        QByteArray text(48 << 20, 'a');
        for (int i = 0; i < text.size(); i += every)
            text[i] = '\x01';
        body += text + "\"}}";
        text.clear();
        text.squeeze();
        OvBench::resetPeak();
        const long before = OvBench::statusKb("VmRSS");
        QElapsedTimer t;
        t.start();
        CountingSink looseSink;
        OvProtocolDispatcher looseDispatcher(looseSink);
        looseDispatcher.dispatch(body);
        const double ms = t.nsecsElapsed() / 1e6;
        std::printf("loose 48 MB body, a control character every %d byte(s): %.0f ms on this thread, peak +%.0f MB "
                    "(body %.0f MB), %s\n",
                    every, ms, (OvBench::statusKb("VmHWM") - before) / 1024.0, body.size() / 1048576.0,
                    looseSink.failures ? "refused as a protocol error" : "read");
    }
    return 0;
}

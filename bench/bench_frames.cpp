// Decoding and dispatching a burst of 100,000 notifyCG frames, against the
// ceiling of a bare reader on the same bytes (the header, a simdjson parse, the
// fields a notification carries made Qt strings, a constant answer appended):
// what any correct reader must do. Prints figures; never fails.

#include "net/OvFrameReader.h"
#include "net/OvProtocol.h"
#include "net/OvProtocolDispatcher.h"
#include "net/OvProtocolSink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <QtEndian>

#include "OvBenchSupport.h"

#include <simdjson.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Does what the client does per message short of touching the model: frames
// every answer.
class CountingSink : public OvProtocolSink
{
public:
    // As the socket does: every answer is copied into the bytes to send.
    void sendFrame(const QByteArray& frame) override
    {
        out += frame;
        if (out.size() > (1 << 20)) {
            bytesOut += out.size();
            out.resize(0);
        }
    }
    QString token() const override { return QStringLiteral("t"); }
    bool awaitingLogin() const override { return false; }
    void loginSucceeded(const QString&) override {}
    void cgListReceived(const QList<OvCgRecord>&, int) override {}
    void cgNotified(const OvCgNotification& n) override { statusSum += n.status; ++notified; }
    void endpointNotice(const QString&) override {}
    void closeWithError(const QString&, const QString&) override { ++failures; }

    QByteArray out;
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

    // The console: frame reader, dispatcher, answers framed.
    const auto console = [&burst](int* frames, qint64* bytesOut) {
        CountingSink sink;
        OvProtocolDispatcher dispatcher(sink);
        OvFrameReader reader;
        reader.append(burst);
        QByteArray body;
        while (reader.next(&body) == OvFrameReader::Result::Frame) {
            dispatcher.dispatch(body);
            ++*frames;
        }
        *bytesOut = sink.bytesOut + sink.out.size();
    };
    // The ceiling: what any reader of these frames must do.
    const QByteArray answer = OvProtocol::answerFrame(OvProtocol::CmdNotifyCG);
    const auto bare = [&burst, &answer](qint64* checksum) {
        simdjson::dom::parser parser;
        QByteArray out;
        const char* const data = burst.constData();
        const qsizetype size = burst.size();
        for (qsizetype at = 0; at + OvProtocol::HeaderSize <= size;) {
            const quint32 length = qFromBigEndian<quint32>(data + at);
            at += OvProtocol::HeaderSize;
            simdjson::dom::element root;
            if (parser.parse(data + at, length).get(root) == simdjson::SUCCESS) {
                const auto text = [](simdjson::dom::element e) {
                    std::string_view v;
                    return e.get_string().get(v) == simdjson::SUCCESS ? QString::fromUtf8(v.data(), int(v.size()))
                                                                       : QString();
                };
                const simdjson::dom::element value = root["value"];
                const simdjson::dom::element op = value["operator"];
                const QString fields[] = {text(root["cmd"]),          text(value["operationTarget"]),
                                          text(op["operationID"]),    text(op["operatorAddr"]),
                                          text(op["operatorName"]),   text(op["operatorGuid"])};
                int64_t status = 0;
                if (value["operationValue"]["status"].get_int64().get(status) != simdjson::SUCCESS)
                    status = 0;
                for (const QString& f : fields)
                    *checksum += f.size();
                *checksum += status;
            }
            out += answer;
            if (out.size() > (1 << 20))
                out.resize(0);
            at += length;
        }
    };

    std::vector<double> consoleMs;
    std::vector<double> bareMs;
    int frames = 0;
    qint64 bytesOut = 0;
    qint64 checksum = 0;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer clock;
        clock.start();
        frames = 0;
        console(&frames, &bytesOut);
        consoleMs.push_back(clock.nsecsElapsed() / 1e6);
        clock.restart();
        bare(&checksum);
        bareMs.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(consoleMs.begin(), consoleMs.end());
    std::sort(bareMs.begin(), bareMs.end());
    const double consoleMedian = consoleMs[consoleMs.size() / 2];
    const double bareMedian = bareMs[bareMs.size() / 2];

    QElapsedTimer clock;
    clock.start();
    qint64 keys = 0;
    for (const QByteArray& b : qAsConst(bodies))
        keys += QJsonDocument::fromJson(b).object().size();
    const qint64 parseNs = clock.nsecsElapsed();

    std::printf("burst: %d frames, %lld bytes, %lld bytes answered; medians of 5 runs\n", frames,
                static_cast<long long>(burst.size()), static_cast<long long>(bytesOut));
    std::printf("console (read, parse, dispatch, answers framed): %8.1f ms  %6.2f us/frame\n", consoleMedian,
                consoleMedian * 1e3 / Frames);
    std::printf("ceiling (bare reader, same bytes):               %8.1f ms  %6.2f us/frame\n", bareMedian,
                bareMedian * 1e3 / Frames);
    std::printf("console speed / ceiling: %.2f\n", consoleMedian > 0 ? bareMedian / consoleMedian : 0.0);
    std::printf("QJsonDocument::fromJson alone: %8.1f ms (%lld keys)\n", parseNs / 1e6, static_cast<long long>(keys));

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

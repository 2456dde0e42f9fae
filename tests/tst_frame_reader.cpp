// The frame reader and the dispatcher without a network: the limits of the
// reader and the dispatcher's calls in order.

#include "net/OvFrameReader.h"
#include "net/OvProtocol.h"
#include "net/OvProtocolDispatcher.h"
#include "net/OvProtocolSink.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QtEndian>

namespace {

QByteArray header(quint32 length)
{
    QByteArray h(8, '\0');
    qToBigEndian<quint32>(length, h.data());
    return h;
}

class RecordingSink : public OvProtocolSink
{
public:
    void sendFrame(const QByteArray& frame) override
    {
        const QJsonObject message = QJsonDocument::fromJson(frame.mid(OvProtocol::HeaderSize)).object();
        calls << "send " + message.value("cmd").toString() + ' '
                     + message.value("cmdType").toString();
    }
    QString token() const override { return m_token; }
    bool awaitingLogin() const override { return m_token.isEmpty(); }
    void loginSucceeded(const QString& token) override
    {
        m_token = token;
        calls << "login " + token;
    }
    void cgListReceived(const QList<OvCgRecord>& list, int unlisted) override
    {
        calls << "list " + QString::number(list.size()) + (unlisted ? " +" + QString::number(unlisted) : QString());
        records = list;
    }
    void cgNotified(const OvCgNotification& n) override
    {
        calls << "notify " + QString::number(n.operationType);
    }
    void endpointNotice(const QString& text) override { calls << "notice " + text; }
    void closeWithError(const QString& errorText, const QString& logText) override
    {
        calls << "close " + errorText + '|' + logText;
    }

    QStringList calls;
    QList<OvCgRecord> records;
    QString m_token;
};

}  // namespace

class TstFrameReader : public QObject
{
    Q_OBJECT

private slots:
    // Made without Qt's writer, the answers must be what it writes.
    void answersAreQtsBytes_data()
    {
        QTest::addColumn<QString>("cmd");
        for (const char* cmd : {"notifyCG", "notifyMSG", "kickOff", "a \"quoted\" name"})
            QTest::newRow(cmd) << QString::fromLatin1(cmd);
    }

    void answersAreQtsBytes()
    {
        QFETCH(QString, cmd);
        const QJsonObject answer{{"cmd", cmd}, {"cmdType", "response"}, {"code", 0}, {"codeInfo", ""},
                                 {"value", QJsonObject()}};
        QCOMPARE(OvProtocol::answerFrame(cmd), OvProtocol::encodeFrame(answer));
    }

    void readerTakesFramesByOffset()
    {
        OvFrameReader reader;
        QByteArray body;
        reader.append(header(3) + "abc" + header(0) + header(2) + "x");
        QCOMPARE(reader.next(&body), OvFrameReader::Result::Frame);
        QCOMPARE(body, QByteArray("abc"));
        // An empty body is a frame of its own, taken at once.
        QCOMPARE(reader.next(&body), OvFrameReader::Result::Frame);
        QCOMPARE(body, QByteArray());
        QCOMPARE(reader.next(&body), OvFrameReader::Result::NeedMore);
        QCOMPARE(reader.pending(), 9);
        reader.compact();
        QCOMPARE(reader.pending(), 9);
        reader.append("y");
        QCOMPARE(reader.next(&body), OvFrameReader::Result::Frame);
        QCOMPARE(body, QByteArray("xy"));
        QCOMPARE(reader.pending(), 0);
    }

    // Read from a device a piece at a time; a large body comes out whole, in
    // order with the small frames around it.
    void readerTakesFromADevice()
    {
        const QByteArray large(3 * OvFrameReader::LargeBody / 2, 'L');
        QByteArray stream = header(1) + "a" + header(quint32(large.size())) + large + header(1) + "b";
        QBuffer device(&stream);
        QVERIFY(device.open(QIODevice::ReadOnly));
        OvFrameReader reader;
        QList<QByteArray> bodies;
        QByteArray body;
        for (int reads = 0; reads < 1000 && bodies.size() < 3; ++reads) {
            const OvFrameReader::Result result = reader.next(&body);
            if (result == OvFrameReader::Result::Frame) {
                bodies.append(body);
                continue;
            }
            QCOMPARE(result, OvFrameReader::Result::NeedMore);
            QVERIFY(reader.missing() > 0);
            QVERIFY(reader.readFrom(device, qMax<qint64>(4096, reader.missing())) > 0);
            QVERIFY(reader.pending() <= 8 + large.size());
        }
        QCOMPARE(bodies, (QList<QByteArray>{"a", large, "b"}));
        QCOMPARE(reader.missing(), qint64(8));
        QCOMPARE(reader.readFrom(device, 4096), qint64(0));
    }

    void readerRefusesOverlongBodies()
    {
        OvFrameReader reader;
        QByteArray body;
        // Exactly the limit is still a frame in waiting.
        reader.append(header(OvProtocol::MaxBodySize) + "{");
        QCOMPARE(reader.next(&body), OvFrameReader::Result::NeedMore);
        reader.clear();
        reader.append(header(0xFFFFFFFFu) + "{}");
        QCOMPARE(reader.next(&body), OvFrameReader::Result::TooLong);
        QCOMPARE(reader.pending(), 0);
        QVERIFY(reader.failed());
        // Nothing more is buffered after the failure.
        reader.append(header(2) + "{}");
        QCOMPARE(reader.pending(), 0);
        QCOMPARE(reader.next(&body), OvFrameReader::Result::TooLong);
        reader.clear();
        reader.append(header(2) + "{}");
        QCOMPARE(reader.next(&body), OvFrameReader::Result::Frame);
    }

    void dispatchOrder()
    {
        RecordingSink sink;
        OvProtocolDispatcher dispatcher(sink);
        QVERIFY(dispatcher.dispatch(
            R"({"cmd":"login","cmdType":"response","code":0,"value":{"token":"T"}})"));
        QVERIFY(dispatcher.dispatch(R"({"cmd":"syncCGList","cmdType":"response",
            "value":{"cgList":[{"guid":"0F8FAD5B-D9CB-469F-A165-70867728950E","name":"n",
            "status":2.5},7]}})"));
        QVERIFY(dispatcher.dispatch(R"({"cmd":"notifyCG","value":{"operationType":8}})"));
        QVERIFY(dispatcher.dispatch(R"({"cmd":"notifyCG","value":{"operationType":4}})"));
        QVERIFY(!dispatcher.dispatch(R"({"cmd":"kickOff","value":{"kickType":1}})"));
        QVERIFY(!dispatcher.dispatch(R"({"cmd":"heart","cmdType":"response","code":-4})"));
        QVERIFY(!dispatcher.dispatch(R"({"cmd":"heart","cmdType":"response","code":-5})"));
        QVERIFY(!dispatcher.dispatch(R"({"cmd":"kickOff","value":{"kickType":0}})"));
        QVERIFY(!dispatcher.dispatch("\"notifyCG\""));
        const QString kick = OvProtocol::kickText(1);
        const QString closed = OvProtocol::remoteClosedText();
        QCOMPARE(sink.calls,
                 QStringList({"login T", "send syncCGList request", "list 2",
                              "send notifyCG response", "send notifyCG response", "notify 4",
                              "send kickOff response", "close " + kick + QStringLiteral(u"|您与") + kick,
                              "close " + OvProtocol::codeText(-4) + '|', "close " + closed + '|',
                              "send kickOff response", "close " + closed + QStringLiteral(u"|您与") + closed,
                              "close " + OvProtocol::protocolErrorText() + '|'}));
        // The guid is parsed whatever its case and braces; a fractional status reads as 0.
        QCOMPARE(sink.records[0].guid.toString(),
                 QStringLiteral("{0f8fad5b-d9cb-469f-a165-70867728950e}"));
        QCOMPARE(sink.records[0].status, 0);
        QVERIFY(sink.records[1].guid.isNull());
    }

    void guidMustBeWhole()
    {
        RecordingSink sink;
        OvProtocolDispatcher dispatcher(sink);
        const QString bare = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
        const QString braced = '{' + bare + '}';
        const QStringList guids{bare, braced.toUpper(), braced + "x", bare + "xy", '{' + bare,
                                bare + '}', "(" + bare + ")", ""};
        QJsonArray list;
        for (const QString& guid : guids)
            list.append(QJsonObject{{"guid", guid}});
        QVERIFY(dispatcher.dispatch(QJsonDocument(QJsonObject{
            {"cmd", "syncCGList"}, {"cmdType", "response"},
            {"value", QJsonObject{{"cgList", list}}}}).toJson()));
        QCOMPARE(sink.records.size(), guids.size());
        QCOMPARE(sink.records[0].guid.toString(), braced);
        QCOMPARE(sink.records[1].guid.toString(), braced);
        for (int i = 2; i < guids.size(); ++i)
            QVERIFY2(sink.records[i].guid.isNull(), qPrintable(guids[i]));
    }

    void catalogueSizeIsBounded()
    {
        RecordingSink sink;
        OvProtocolDispatcher dispatcher(sink);
        auto listOf = [](int n) {
            QByteArray body = R"({"cmd":"syncCGList","cmdType":"response","value":{"cgList":[)";
            for (int i = 0; i < n; ++i)
                body += i ? ",{}" : "{}";
            return body + "]}}";
        };
        QVERIFY(dispatcher.dispatch(listOf(OvProtocol::MaxCgItems)));
        // More are left out and counted; the connection stays.
        QVERIFY(dispatcher.dispatch(listOf(OvProtocol::MaxCgItems + 2)));
        QCOMPARE(sink.calls, QStringList({"list " + QString::number(OvProtocol::MaxCgItems),
                                          "list " + QString::number(OvProtocol::MaxCgItems) + " +2"}));
    }
};

QTEST_MAIN(TstFrameReader)
#include "tst_frame_reader.moc"

// Received bodies: simdjson reads them exactly as Qt's reader did (leniencies,
// repeated keys, numbers), and repeated parses of hostile bodies do not grow
// the process.

#include "net/OvJsonBody.h"
#include "net/OvProtocolDispatcher.h"
#include "net/OvProtocolSink.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

// What the protocol read from a body with Qt's parser.
struct Reading
{
    QString s;
    int i = 0;
    int oi = 0;
    QString os;
    bool operator==(const Reading& o) const
    {
        return s == o.s && i == o.i && oi == o.oi && os == o.os;
    }
};

int qtInt(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return 0;
    const double n = value.toDouble();
    if (!std::isfinite(n) || n != std::trunc(n) || n < double(std::numeric_limits<int>::min())
        || n > double(std::numeric_limits<int>::max()))
        return 0;
    return int(n);
}

Reading qtReading(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument d = QJsonDocument::fromJson(body, &error);
    const QJsonObject o = error.error == QJsonParseError::NoError && d.isObject() ? d.object()
                                                                                 : QJsonObject();
    const QJsonObject inner = o.value("o").toObject();
    return {o.value("s").toString(), qtInt(o, "i"), qtInt(inner, "i"), inner.value("s").toString()};
}

Reading ourReading(OvJsonBody& json, const QByteArray& body)
{
    const OvJsonBody::Object o = json.parse(body);
    const OvJsonBody::Object inner = o.readObject("o");
    return {o.readString("s"), o.readInt("i"), inner.readInt("i"), inner.readString("s")};
}

class NoticeSink : public OvProtocolSink
{
public:
    void sendFrame(const QByteArray&) override { ++answers; }
    QString token() const override { return {}; }
    bool awaitingLogin() const override { return false; }
    void loginSucceeded(const QString&) override {}
    void cgListReceived(const QList<OvCgRecord>&, int) override {}
    void cgNotified(const OvCgNotification&) override {}
    void endpointNotice(const QString& text) override { notice = text; }
    void closeWithError(const QString&, const QString&) override { ++failures; }

    int answers = 0;
    int failures = 0;
    QString notice;
};

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(1).toLongLong() * 4096;
}

}  // namespace

Q_DECLARE_METATYPE(Reading)

class TstJsonBody : public QObject
{
    Q_OBJECT

private slots:
    void readsAsQtDid_data()
    {
        QTest::addColumn<QByteArray>("body");
        const char* const bodies[] = {
            R"({"s":"a","i":5,"o":{"i":7,"s":"x"}})",
            R"({"i":1,"i":2,"s":"first","s":"last"})",
            R"({"i":"5","s":5,"o":[1,2]})",
            R"({"i":1.0})", R"({"i":1e2})", R"({"i":-0})", R"({"i":1.5})",
            R"({"i":2147483647})", R"({"i":2147483648})", R"({"i":-2147483648})",
            R"({"i":-2147483649})", R"({"i":9223372036854775808})",
            R"({"i":18446744073709551616})", R"({"i":-123456789012345678901234567890})",
            R"({"i":1.})", R"({"i":4.9e-324})", R"({"i":1e309})", R"({"i":01})",
            R"({"i":.5,"s":"x"})", R"({"i":12, "s":"x"} )", R"({"i":15e-1,"s":""})",
            "{\"i\":-1.25E+2,\"s\":\"a\x02\"}", "{\"i\":2.,\"s\":\"\n\"}",
            "{\"s\":\"tab\there\",\"i\":3}", "{\"s\":\"ctl\x01\",\"i\":3}",
            "{\"s\":\"\\x\\q\\'\",\"i\":3}", R"({"s":"\ud83d\ude00 \u00e9 \/"})",
            "\xef\xbb\xbf{\"s\":\"bom\",\"i\":4}", "{\"s\":\"\xc3\xa9\"}",
            "{\"s\":\"\xc0\xaf\",\"i\":1}", "{\"s\":\"\xed\xa0\x80\"}",
            R"([1,2])", R"("text")", "", "{\"i\":1} x", R"({"i":1,})", "{\"i\":1}\x0c",
            "{\"s\":\"unterminated", R"({"i":tru})",
        };
        for (const char* body : bodies)
            QTest::newRow(QByteArray(body).toPercentEncoding().left(60).constData()) << QByteArray(body);
        QTest::newRow("NUL inside a string") << QByteArray("{\"s\":\"a\0b\",\"i\":2}", 17);
    }

    void readsAsQtDid()
    {
        QFETCH(QByteArray, body);
        OvJsonBody json;
        const Reading ours = ourReading(json, body);
        const Reading qt = qtReading(body);
        QCOMPARE(ours.s, qt.s);
        QCOMPARE(ours.i, qt.i);
        QCOMPARE(ours.oi, qt.oi);
        QCOMPARE(ours.os, qt.os);
    }

    // Bodies past a megabyte are checked before the parser sizes its buffers
    // for them; one that would grow by more than a quarter when made strict (a
    // string of raw control characters) is refused, one with a few is read.
    void largeBodies()
    {
        OvJsonBody json;
        const QByteArray plain = "{\"s\":\"" + QByteArray(3 << 20, 'a') + "\",\"i\":3}";
        QCOMPARE(ourReading(json, plain).i, 3);
        QByteArray few = plain;
        few[100] = '\x01';
        few[200] = '\n';
        QCOMPARE(ourReading(json, few).i, 3);
        QCOMPARE(ourReading(json, few).s, qtReading(few).s);
        const QByteArray hostile = "{\"s\":\"" + QByteArray(3 << 20, '\x01') + "\",\"i\":3}";
        QByteArray strict;
        QVERIFY(!OvJsonBody::normalise(hostile, &strict));
        QVERIFY(strict.size() < hostile.size());  // no second copy was made
        QCOMPARE(ourReading(json, hostile).i, 0);
        // Up to a quarter more is fine.
        const QByteArray some = "{\"s\":\"" + QByteArray(1 << 20, 'a') + QByteArray(1 << 15, '\x01') + "\",\"i\":4}";
        QVERIFY(OvJsonBody::normalise(some, &strict));
        QCOMPARE(ourReading(json, some).i, 4);
    }

    // Cases Qt's reader cannot be asked about without leaking or that cannot be
    // carried through strict JSON.
    void repeatedContainersAndLoneSurrogates()
    {
        OvJsonBody json;
        Reading r = ourReading(json, R"({"o":{"i":1,"s":"a"},"o":[1],"o":{"i":2}})");
        QCOMPARE(r.oi, 2);
        QCOMPARE(r.os, QString());
        r = ourReading(json, R"({"s":"x\ud800y","i":1,"s":"x\udc00"})");
        QCOMPARE(r.s, QStringLiteral(u"x\ufffd"));
        QCOMPARE(r.i, 1);

        // A huge body, then small ones: the parser lets its big buffers go.
        const QByteArray big = "{\"s\":\"" + QByteArray(5 << 20, 'x') + "\",\"i\":9}";
        r = ourReading(json, big);
        QCOMPARE(r.s.size(), 5 << 20);
        QCOMPARE(r.i, 9);
        QCOMPARE(ourReading(json, R"({"i":3,"s":"small"})").s, QStringLiteral("small"));
    }

    // Qt 5.15 leaked every object or array that a repeated key replaced; a
    // server could grow the console without end that way.
    void repeatedKeysDoNotLeak()
    {
        QByteArray filler = "[";
        for (int i = 0; i < 200; ++i)
            filler += "{\"a\":[1,2,3],\"b\":{\"c\":\"dddddddddddddddd\"}},";
        filler += "0]";
        QByteArray body = R"({"cmd":"notifyMSG")";
        for (int i = 0; i < 200; ++i)
            body += ",\"value\":{\"endpointName\":" + filler + "}";
        body += R"(,"value":{"endpointName":"last","connectType":0}})";

        NoticeSink sink;
        OvProtocolDispatcher dispatcher(sink);
        QVERIFY(dispatcher.dispatch(body));
        const qint64 before = residentBytes();
        for (int i = 0; i < 40; ++i)
            QVERIFY(dispatcher.dispatch(body));
        const qint64 grown = residentBytes() - before;
        QCOMPARE(sink.notice, QStringLiteral(u"last 成功与studio建立连接"));
        QCOMPARE(sink.answers, 41);
        QCOMPARE(sink.failures, 0);
        qInfo("body %d bytes; resident memory grew by %lld KiB over 40 parses", body.size(),
              grown / 1024);
        QVERIFY2(grown < 32 * 1024 * 1024, QByteArray::number(grown));
    }
};

QTEST_MAIN(TstJsonBody)
#include "tst_json_body.moc"

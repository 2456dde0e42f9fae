// The TSL UMD 5.0 tally through a real UDP socket on loopback, every datagram
// taken apart field by field.

#include "OvTestSupport.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvTakeCommand.h"
#include "remote/OvTslTally.h"
#include "shell/OvConsoleCore.h"

#include <QTest>
#include <QUdpSocket>
#include <QtEndian>

namespace {

OvCGListModel* model()
{
    return OvCGListModel::instance();
}

// Each display as "index lamps(left text right) brightness encoding:label".
QStringList decode(const QByteArray& d)
{
    const auto le16 = [&d](int at) { return at + 2 <= d.size() ? qFromLittleEndian<quint16>(d.constData() + at) : 0xffff; };
    // Byte count, version 0, no flag but the encoding, screen 0.
    if (d.size() < 6 || le16(0) != d.size() - 2 || d[2] != 0 || (d[3] & ~1) != 0 || le16(4) != 0)
        return {QStringLiteral("bad header")};
    const bool utf16 = d[3] & 1;
    QStringList displays;
    for (int at = 6; at < d.size(); at += 6 + le16(at + 4)) {
        const int control = le16(at + 2);
        const int length = le16(at + 4);
        // Bits 8 to 15 clear: display data, nothing reserved.
        if ((control & 0xff00) || at + 6 + length > d.size() || (utf16 && length % 2))
            return {QStringLiteral("bad display")};
        QString label;
        for (int i = at + 6; i < at + 6 + length; i += utf16 ? 2 : 1)
            label += utf16 ? QChar(le16(i)) : QChar::fromLatin1(d[i]);
        displays.append(QStringLiteral("%1 %2%3%4 b%5 %6:%7").arg(le16(at)).arg(control >> 4 & 3).arg(control >> 2 & 3)
                            .arg(control & 3).arg(control >> 6 & 3).arg(utf16 ? "utf16" : "ascii", label));
    }
    return displays;
}

}  // namespace

class TstTsl : public QObject
{
    Q_OBJECT

    // The take path and the state feed, with the default settings.
    OvConsoleCore m_core{OvSettings()};

    QUdpSocket m_receiver;
    OvTslTally* m_tally = nullptr;
    int m_datagrams = 0;

    QStringList received(int atLeast, int timeoutMs = 2000)
    {
        QStringList seen;
        (void)QTest::qWaitFor([&] {
            while (m_receiver.hasPendingDatagrams()) {
                QByteArray d(int(m_receiver.pendingDatagramSize()), '\0');
                m_receiver.readDatagram(d.data(), d.size());
                ++m_datagrams;
                seen += d.size() <= OvTslTally::MaxDatagram ? decode(d) : QStringList{"too large"};
            }
            return seen.size() >= atLeast;
        }, timeoutMs);
        return seen;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_receiver.bind(QHostAddress(QHostAddress::LocalHost)));
    }

    void init()
    {
        m_tally = new OvTslTally(m_core.feed(), this);
        m_tally->setTarget(QHostAddress::LocalHost, m_receiver.localPort());
    }

    void cleanup()
    {
        delete m_tally;
        model()->clearCg();
        received(100000, 50);
    }

    void displays_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expected");
        QTest::newRow("PGM") << "Weather 03" << int(OvCgStatus::OnPgm) << "2 111 b3 ascii:Weather 03";
        QTest::newRow("PVW") << "Sport" << int(OvCgStatus::OnPvw) << "2 222 b3 ascii:Sport";
        QTest::newRow("off air") << "News" << int(OvCgStatus::Idle) << "2 000 b3 ascii:News";
        QTest::newRow("not ASCII") << u8"Météo 天气 😀" << int(OvCgStatus::OnPgm) << u8"2 111 b3 utf16:Météo 天气 😀";
        QTest::newRow("Latin-1 accents only") << u8"Café" << int(OvCgStatus::OnPvw) << u8"2 222 b3 utf16:Café";
        // What no display shows goes as a space, as the C0 controls do.
        QTest::newRow("C1, format and separators")
            << QString::fromUtf16(u"a\u0085b\u202ec\u200bd\u2028e\u00adf\ufeffg") << int(OvCgStatus::Idle)
            << "2 000 b3 ascii:a b c d e f g";
        QTest::newRow("lone surrogates, a format character past the BMP")
            << QString::fromUtf16(u"x") + QChar(0xd800) + "y" + QString::fromUcs4(U"\U000e0001") + "z" + QChar(0xdc00)
            << int(OvCgStatus::Idle) << "2 000 b3 ascii:x y z ";
        // Cut before a character that would not fit whole.
        QTest::newRow("controls, cut") << "a\tb" + QString(OvTslTally::MaxLabel - 4, 'x') + u8"😀" << int(OvCgStatus::Idle)
                                       << "2 000 b3 ascii:a b" + QString(OvTslTally::MaxLabel - 4, 'x');
    }

    void displays()
    {
        QFETCH(QString, name);
        QFETCH(int, status);
        QFETCH(QString, expected);
        model()->resetCgList({OvTest::cgRecord(QStringLiteral("first")), OvTest::cgRecord(name, status)});
        QCOMPARE(received(2), (QStringList{"1 000 b3 ascii:first", expected}));
    }

    // At once and again every period, with the status the server confirmed
    // while this console's take waits for its answer.
    void wholeStateIsRepeated()
    {
        m_tally->setPeriod(100);
        model()->resetCgList({OvTest::cgRecord("A", OvCgStatus::OnPgm), OvTest::cgRecord("B")});
        QVERIFY(m_core.takes()->takeItem(OvTakeCommand::Osc, model()->cgAt(0), OvCgStatus::Idle)
                == OvTakeCommand::Taken);
        const QStringList all{"1 111 b3 ascii:A", "2 000 b3 ascii:B"};
        QCOMPARE(received(6), all + all + all);
    }

    // A new catalogue: many displays to a datagram. Gone (a disconnect): the
    // lamps lit go off once, labels kept.
    void catalogueArrivesAndGoes()
    {
        const auto name = [](int i) { return QString::number(i).leftJustified(OvTslTally::MaxLabel, '-'); };
        QList<cgItemData> list;
        for (int i = 1; i <= 100; ++i)
            list.append(OvTest::cgRecord(name(i), i == 2 || i == 71 ? OvCgStatus::OnPvw : OvCgStatus::Idle));
        m_datagrams = 0;
        model()->resetCgList(list);
        QCOMPARE(received(100).size(), 100);
        QCOMPARE(m_datagrams, 6);  // 19 displays of 70 bytes to each
        model()->clearCg();
        QStringList seen = received(3, 500);
        seen.sort();
        QCOMPARE(seen, (QStringList{"2 000 b3 ascii:" + name(2), "71 000 b3 ascii:" + name(71)}));
    }
};

QTEST_MAIN(TstTsl)
#include "tst_tsl.moc"

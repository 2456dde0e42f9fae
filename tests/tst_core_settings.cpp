// The settings read once at start: each key's default, its bounds and what a
// bad value gives, and that the packaged config.ini and the help list every key.

#include "shell/OvSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// What a value reads as, through the accessor of its key.
QString valueOf(const OvSettings& s, const QString& key)
{
    if (key == QLatin1String("reconnect"))
        return s.reconnect() ? "true" : "false";
    if (key == QLatin1String("cue_preview"))
        return s.cuePreview() ? "true" : "false";
    if (key == QLatin1String("language"))
        return s.language();
    if (key == QLatin1String("osc_port"))
        return QString::number(s.oscPort());
    if (key == QLatin1String("api_port"))
        return QString::number(s.apiPort());
    if (key == QLatin1String("take_guard_ms"))
        return QString::number(s.takeGuardMs());
    if (key == QLatin1String("osc_address"))
        return s.oscAddress();
    if (key == QLatin1String("api_address"))
        return s.apiAddress();
    if (key == QLatin1String("osc_feedback"))
        return s.oscFeedback();
    if (key == QLatin1String("tsl_target"))
        return s.tslTarget();
    if (key == QLatin1String("api_origins"))
        return s.apiOrigins().join(QLatin1Char('|'));
    if (key == QLatin1String("api_hosts"))
        return s.apiHosts().join(QLatin1Char('|'));
    if (key == QLatin1String("api_view_token"))
        return s.apiViewToken();
    return s.keyTexts().value(key);
}

}  // namespace

class TstCoreSettings : public QObject
{
    Q_OBJECT

private slots:
    void values_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("problems");
        const QByteArray none;
        QTest::newRow("flag default") << none << "reconnect" << "false" << 0;
        QTest::newRow("flag, any case") << QByteArray("[CONFIG]\ncue_preview=True\n") << "cue_preview" << "true" << 0;
        QTest::newRow("flag, bad") << QByteArray("[CONFIG]\nreconnect=yes\n") << "reconnect" << "false" << 1;
        QTest::newRow("port default: off") << none << "osc_port" << "0" << 0;
        QTest::newRow("port at its bound") << QByteArray("[CONFIG]\napi_port=65535\n") << "api_port" << "65535" << 0;
        QTest::newRow("port past its bound") << QByteArray("[CONFIG]\napi_port=65536\n") << "api_port" << "0" << 1;
        QTest::newRow("port not a number") << QByteArray("[CONFIG]\nosc_port=nine\n") << "osc_port" << "0" << 1;
        QTest::newRow("guard default") << none << "take_guard_ms" << "300" << 0;
        QTest::newRow("guard off") << QByteArray("[CONFIG]\ntake_guard_ms=0\n") << "take_guard_ms" << "0" << 0;
        QTest::newRow("guard negative") << QByteArray("[CONFIG]\ntake_guard_ms=-1\n") << "take_guard_ms" << "300" << 1;
        QTest::newRow("guard too long") << QByteArray("[CONFIG]\ntake_guard_ms=10001\n") << "take_guard_ms" << "300" << 1;
        QTest::newRow("address default: this machine") << none << "api_address" << "127.0.0.1" << 0;
        QTest::newRow("address, IPv6") << QByteArray("[CONFIG]\nosc_address=::1\n") << "osc_address" << "::1" << 0;
        QTest::newRow("address, a name") << QByteArray("[CONFIG]\napi_address=studio\n") << "api_address" << "127.0.0.1" << 1;
        QTest::newRow("host:port") << QByteArray("[CONFIG]\ntsl_target=10.0.0.9:8900\n") << "tsl_target" << "10.0.0.9:8900" << 0;
        QTest::newRow("host:port, no port") << QByteArray("[CONFIG]\nosc_feedback=10.0.0.9\n") << "osc_feedback" << "" << 1;
        QTest::newRow("host:port, a name") << QByteArray("[CONFIG]\ntsl_target=mv:8900\n") << "tsl_target" << "" << 1;
        QTest::newRow("list, blanks and commas") << QByteArray("[CONFIG]\napi_origins= http://a , ,http://b\n")
                                                 << "api_origins" << "http://a|http://b" << 0;
        QTest::newRow("hosts, a list") << QByteArray("[CONFIG]\napi_hosts=console.studio.lan, 10.0.0.5\n")
                                       << "api_hosts" << "console.studio.lan|10.0.0.5" << 0;
        QTest::newRow("view token as written") << QByteArray("[CONFIG]\napi_view_token=floor,watch\n")
                                               << "api_view_token" << "floor,watch" << 0;
        QTest::newRow("language en") << QByteArray("[CONFIG]\nlanguage=en\n") << "language" << "en" << 0;
        QTest::newRow("language zh_CN: as written") << QByteArray("[CONFIG]\nlanguage=zh_CN\n") << "language" << "" << 0;
        QTest::newRow("language unknown") << QByteArray("[CONFIG]\nlanguage=fr\n") << "language" << "" << 1;
        QTest::newRow("unknown key named") << QByteArray("[CONFIG]\nosc-port=9000\n") << "osc_port" << "0" << 1;
        QTest::newRow("login keys are the dialog's") << QByteArray("[CONFIG]\nport=x\npassword=a,b\n") << "osc_port"
                                                     << "0" << 0;
        QByteArray manyUnknown("[CONFIG]\n");
        for (int i = 0; i < 1000; ++i)
            manyUnknown += "k" + QByteArray::number(i) + "=1\n";
        QTest::newRow("many unknown keys: a few named") << manyUnknown << "osc_port" << "0" << 11;
        QTest::newRow("an unknown key of a megabyte") << "[CONFIG]\n" + QByteArray(1 << 20, 'k') + "=1\n" << "osc_port"
                                                      << "0" << 1;
        QTest::newRow("a control character") << QByteArray("[CONFIG]\nosc_port=9\x01\n") << "osc_port" << "0" << 1;
        QTest::newRow("keys as written") << QByteArray("[KEYS]\ngo=F5\n") << "go" << "F5" << 0;
    }

    void values()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(int, problems);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("config.ini"));
        if (!ini.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(ini);
        }
        const OvSettings settings = OvSettings::fromFile(path);
        QCOMPARE(valueOf(settings, key), value);
        QCOMPARE(settings.problems().size(), problems);
        // A problem names its key, cut to what a line shows, and no control character.
        if (problems > 0)
            QVERIFY2(settings.problems().first().contains(ini.mid(9, qMin(ini.indexOf('=') - 9, 40))),
                     qPrintable(settings.problems().first()));
        for (const QString& line : settings.problems())
            QVERIFY2(line.size() < 160 && !line.contains(QChar(1)), qPrintable(line.left(160)));
    }

    // The packaged file and the help in both languages list every key.
    void everyKeyDocumented()
    {
        const QString packaged = readAll(QStringLiteral(OV_SOURCE_DIR "/packaging/config.ini"));
        const QString help = readAll(QStringLiteral(OV_SOURCE_DIR "/help/index.html"));
        const QString helpEn = readAll(QStringLiteral(OV_SOURCE_DIR "/help/en/index.html"));
        QVERIFY(!packaged.isEmpty() && !help.isEmpty() && !helpEn.isEmpty());
        for (const OvSettings::KeyInfo& key : OvSettings::keys()) {
            const QString name = QString::fromLatin1(key.name);
            QVERIFY2(packaged.contains(QStringLiteral(";%1=").arg(name)), qPrintable(name));
            QVERIFY2(help.contains(name), qPrintable(name));
            QVERIFY2(helpEn.contains(name), qPrintable(name));
        }
    }
};

QTEST_GUILESS_MAIN(TstCoreSettings)
#include "tst_core_settings.moc"

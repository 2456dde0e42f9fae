// The message hub: log lines on disk byte for byte, the wording of catalogue
// changes, the filter for this console's own bookkeeping and the order of
// announcing and writing.

#include "cg/OvCGListModel.h"
#include "cg/OvCgStatus.h"
#include "cg/OvSubCGItem.h"
#include "cg/operatorInfo.h"
#include "log/OvCGMessage.h"
#include "net/OvTransferServer.h"
#include "shell/OvConsoleCore.h"

#include "OvTestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>

namespace {

QString logPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/log/log.txt");
}

bool isChild()
{
    return qEnvironmentVariableIsSet("OV_CGMESSAGE_CHILD");
}

operatorInfo byOperator(const QString& name, const QString& login = QStringLiteral("login-of-someone"))
{
    return {QStringLiteral("{op}"), QStringLiteral("10.1.1.1:4000"), name, login};
}

// Message as the views receive it, flattened to "type|time|title|text".
QStringList flatten(const QSignalSpy& spy)
{
    QStringList out;
    for (const QList<QVariant>& args : spy)
        out << QStringLiteral("%1|%2|%3|%4")
                   .arg(args.at(0).value<MessageType>())
                   .arg(args.at(1).toString(), args.at(2).toString(), args.at(3).toString());
    return out;
}

}  // namespace

class TestCgMessage : public QObject
{
    Q_OBJECT

    // The take path and the rest of a console's parts, with the default settings.
    OvConsoleCore m_core{OvSettings()};

    qint64 m_mark = 0;

    // Bytes appended to the log since the last call.
    QByteArray newLogBytes()
    {
        OvCGMessage::instance().flushLog();
        const QByteArray all = OvTest::readFile(logPath());
        const QByteArray fresh = all.mid(int(m_mark));
        m_mark = all.size();
        return fresh;
    }
    // Texts "title:text" of the lines appended since the last call, time removed.
    QStringList newLogLines()
    {
        QStringList out;
        const QString text = QString::fromUtf8(newLogBytes());
        for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            out << line.mid(17);
        return out;
    }
    OvCGListModel* model() const { return OvCGListModel::instance(); }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<MessageType>();
        qRegisterMetaType<operatorInfo>();
        qRegisterMetaType<OvSubCGItem*>();
        if (isChild())
            return;  // child run of logFileInItsPlace()
        // Lines from an earlier run must survive: the hub appends.
        QVERIFY(OvTest::writeFile(logPath(), QByteArrayLiteral("earlier line\r\n")));
        OvCGMessage::instance();
        m_mark = OvTest::readFile(logPath()).size();
        QCOMPARE(m_mark, qint64(14));
    }

    void init()
    {
        if (isChild())
            return;
        model()->clearCg();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        newLogBytes();
    }

    void lineFormat()
    {
        QSignalSpy spy(&OvCGMessage::instance(), &OvCGMessage::notifyMessage);
        const QDateTime before = QDateTime::currentDateTime();
        OvCGMessage::instance().addMessage(SystemMessage, QStringLiteral("系统"), QStringLiteral("欢迎使用"));
        const QDateTime after = QDateTime::currentDateTime();

        QCOMPARE(spy.count(), 1);
        const QString time = spy.at(0).at(1).toString();
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d$")).match(time).hasMatch());
        const QString fmt = QStringLiteral("yyyy-MM-dd hh:mm");
        QVERIFY(time == before.toString(fmt) || time == after.toString(fmt));
        QCOMPARE(spy.at(0).at(0).value<MessageType>(), SystemMessage);
        QCOMPARE(spy.at(0).at(2).toString(), QStringLiteral("系统"));
        QCOMPARE(spy.at(0).at(3).toString(), QStringLiteral("欢迎使用"));

        // The exact bytes: time, blank, title, colon, text, CR LF, in UTF-8.
        QCOMPARE(newLogBytes(), time.toUtf8() + " " + QByteArray("\xe7\xb3\xbb\xe7\xbb\x9f:") +
                                    QByteArray("\xe6\xac\xa2\xe8\xbf\x8e\xe4\xbd\xbf\xe7\x94\xa8") + "\r\n");

        // Earlier content is still in front.
        QVERIFY(OvTest::readFile(logPath()).startsWith("earlier line\r\n" + time.toUtf8()));

        // Two messages in one go: one line each, same minute text.
        OvCGMessage::instance().addMessage(OperationMessage, QStringLiteral("a"), QString());
        OvCGMessage::instance().addMessage(OperationMessage, QStringLiteral("b"), QStringLiteral("x"));
        const QByteArray two = newLogBytes();
        QCOMPARE(two.count("\r\n"), 2);
        QCOMPARE(two.count('\n'), 2);
        QVERIFY(two.contains(" a:\r\n"));
        QVERIFY(two.endsWith(" b:x\r\n"));
    }

    void placeholdersInTextsStayAsTheyAre()
    {
        OvCGMessage::instance().addMessage(SystemMessage, QStringLiteral("t%3"), QStringLiteral("%1 and %2"));
        QCOMPARE(newLogLines(), QStringList{QStringLiteral("t%3:%1 and %2")});

        model()->resetCgList({OvTest::cgRecord(QStringLiteral("%2 %1"))});
        model()->cgAt(0)->setName(QStringLiteral("%1%2"), byOperator(QStringLiteral("Li")));
        QCOMPARE(newLogLines(), QStringList{QStringLiteral("Li:重命名\"%2 %1\"为\"%1%2\"")});
    }

    void lineBreaksFromTheServerStayOnOneLine()
    {
        QSignalSpy spy(&OvCGMessage::instance(), &OvCGMessage::notifyMessage);
        model()->resetCgList({OvTest::cgRecord(QStringLiteral("A"))});
        const QString forged = QStringLiteral("B\r\n2026-01-01 00:00 系统:forged\nC") + QChar(0x2028) +
                               QStringLiteral("D") + QChar(0x85) + QStringLiteral("E");
        model()->cgAt(0)->setName(forged, byOperator(QStringLiteral("Li\rWang")));

        // One message, one line in the file...
        const QByteArray bytes = newLogBytes();
        QCOMPARE(bytes.count('\n'), 1);
        QCOMPARE(bytes.count('\r'), 1);
        QCOMPARE(QString::fromUtf8(bytes).mid(17),
                 QStringLiteral("Li Wang:重命名\"A\"为\"B  2026-01-01 00:00 系统:forged C D E\"\r\n"));
        // ...while the views get the texts as they came.
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(2).toString(), QStringLiteral("Li\rWang"));
        QCOMPARE(spy.at(0).at(3).toString(), QStringLiteral("重命名\"A\"为\"%1\"").arg(forged));
    }

    void announcedBeforeWritten()
    {
        QStringList seenInFile;
        bool nested = false;
        auto conn = connect(&OvCGMessage::instance(), &OvCGMessage::notifyMessage, this,
                            [&](MessageType, QString, QString title, QString) {
                                seenInFile << QString::fromUtf8(OvTest::readFile(logPath()).mid(int(m_mark)));
                                if (title == QStringLiteral("outer") && !nested) {
                                    nested = true;
                                    OvCGMessage::instance().addMessage(SystemMessage, QStringLiteral("inner"),
                                                                       QStringLiteral("2"));
                                }
                            });
        OvCGMessage::instance().addMessage(SystemMessage, QStringLiteral("outer"), QStringLiteral("1"));
        disconnect(conn);

        // Neither line had reached the file while the receivers ran.
        QCOMPARE(seenInFile, (QStringList{QString(), QString()}));
        // So a message posted from a receiver lands first.
        QCOMPARE(newLogLines(), (QStringList{"inner:2", "outer:1"}));
    }

    void catalogueTexts()
    {
        QSignalSpy spy(&OvCGMessage::instance(), &OvCGMessage::notifyMessage);
        const operatorInfo zhang = byOperator(QStringLiteral("Zhang"));

        model()->resetCgList({OvTest::cgRecord("A"), OvTest::cgRecord("B"), OvTest::cgRecord("C"), OvTest::cgRecord("D")});
        QCOMPARE(spy.count(), 0);  // loading is bookkeeping
        OvSubCGItem* a = model()->cgAt(0);

        a->setStatus(1, zhang);
        a->setStatus(2, zhang);
        a->setStatus(0, zhang);
        a->setStatus(7, zhang);
        a->setName(QStringLiteral("A2"), zhang);
        a->setImageBase64(QStringLiteral("junk"), zhang);
        model()->moveCg(0, 3, zhang);
        model()->insertCg(new OvSubCGItem(OvTest::cgRecord("N")), zhang);
        model()->removeCg(model()->findCg(model()->cgAt(1)->guid()), zhang);

        const QStringList expected{
            "Zhang:发布\"A\"到PGM",
            "Zhang:发布\"A\"到PVW",
            "Zhang:取消发布\"A\"",
            "Zhang:",
            "Zhang:重命名\"A\"为\"A2\"",
            "Zhang:编辑了\"A2\"",
            "Zhang:调整了\"A2\"的位置 从\"0\"至\"3\"",
            "Zhang:新增了\"N\"",
            "Zhang:删除了\"C\"",
        };
        QCOMPARE(newLogLines(), expected);
        QCOMPARE(spy.count(), expected.size());
        for (int i = 0; i < spy.count(); ++i) {
            QCOMPARE(spy.at(i).at(0).value<MessageType>(), OperationMessage);
            QCOMPARE(spy.at(i).at(2).toString() + ':' + spy.at(i).at(3).toString(), expected.at(i));
        }

        // An update type the hub has no words for gives an empty text.
        OvCGMessage::instance().slotCGUpdate(0, 99, a, zhang);
        QCOMPARE(newLogLines(), QStringList{"Zhang:"});
    }

    void ownLoginIsYou()
    {
        // Not logged in: the empty token counts as this console's login.
        QVERIFY(OvTransferServer::instance()->isSelfOperator(QString()));
        const operatorInfo self = byOperator(QStringLiteral("Zhang"), QString());

        model()->resetCgList({OvTest::cgRecord("A"), OvTest::cgRecord("B")});
        OvSubCGItem* a = model()->cgAt(0);
        a->setStatus(1, self);
        a->setName(QStringLiteral("A2"), self);
        a->setImageBase64(QString(), self);
        // Only the update wording says "you"; the others keep the name.
        model()->moveCg(1, 0, self);
        model()->insertCg(new OvSubCGItem(OvTest::cgRecord("N")), self);
        model()->removeCg(a, self);
        QCOMPARE(newLogLines(), (QStringList{
                                    "您:发布\"A\"到PGM",
                                    "您:重命名\"A\"为\"A2\"",
                                    "您:编辑了\"A2\"",
                                    "Zhang:调整了\"B\"的位置 从\"1\"至\"0\"",
                                    "Zhang:新增了\"N\"",
                                    "Zhang:删除了\"A2\"",
                                }));
    }

    void ownBookkeepingIsNotLogged()
    {
        QSignalSpy spy(&OvCGMessage::instance(), &OvCGMessage::notifyMessage);
        model()->resetCgList({OvTest::cgRecord("A"), OvTest::cgRecord("B")});
        model()->setCurrentCg(model()->cgAt(1));
        OvTest::take(m_core.takes(), OvCgStatus::OnPgm);  // provisional "sending" state
        QCOMPARE(model()->cgAt(1)->status(), 3);
        model()->moveCg(0, 1, localOperatorInfo());
        model()->clearCg();
        QCOMPARE(spy.count(), 0);
        QVERIFY(newLogBytes().isEmpty());

        // Any operator name other than this process's identity is logged.
        model()->resetCgList({OvTest::cgRecord("A")});
        model()->cgAt(0)->setStatus(0, byOperator(instanceGuid().toUpper()));
        QCOMPARE(spy.count(), 1);
        newLogBytes();
    }

    // A copy of this program under umask 022, log/ of the given mode; what is left.
    void logFileInItsPlace_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("left");
        QTest::newRow("none") << "none" << "none";
        QTest::newRow("FIFO at log.txt") << "755" << "fifo";
        QTest::newRow("group-writable") << "775" << "664";
        QTest::newRow("private") << "755" << "644";
    }

    void logFileInItsPlace()
    {
        QFETCH(QString, folder);
        QFETCH(QString, left);
        const QString dir = OvTest::freshDir(QString::fromLatin1(QTest::currentDataTag()));
        const QByteArray log = QFile::encodeName(dir) + "/log/log.txt";
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), dir + QStringLiteral("/tst_cgmessage")));
        if (folder != QLatin1String("none"))
            QVERIFY(QDir(dir).mkdir("log") && ::chmod(QFile::encodeName(dir) + "/log", folder.toUInt(nullptr, 8)) == 0);
        QVERIFY(left != QLatin1String("fifo") || ::mkfifo(log.constData(), 0600) == 0);
        QProcess child;
        child.setEnvironment(QProcess::systemEnvironment() << QStringLiteral("OV_CGMESSAGE_CHILD=1"));
        child.start(dir + QStringLiteral("/tst_cgmessage"), {QStringLiteral("childRun")});
        QVERIFY2(child.waitForFinished(60000), "the hub waited on the log");
        const QByteArray output = child.readAllStandardOutput();
        QVERIFY2(child.exitCode() == 0 && output.contains("PASS   : TestCgMessage::childRun()"), output.constData());
        QCOMPARE(child.readAllStandardError(), left != QLatin1String("fifo") ? QByteArray()
                 : "OvCGVestrel: " + log + " is not a plain file; no log is written\n");
        struct stat st {};
        QCOMPARE(::lstat(log.constData(), &st) != 0 ? QStringLiteral("none")
                 : S_ISFIFO(st.st_mode) ? QStringLiteral("fifo") : QString::number(st.st_mode & 0777, 8), left);
    }

    void childRun()
    {
        if (!isChild())
            QSKIP("runs only as the child of logFileInItsPlace");
        ::umask(022);
        QSignalSpy spy(&OvCGMessage::instance(), &OvCGMessage::notifyMessage);
        OvCGMessage::instance().addMessage(SystemMessage, QStringLiteral("系统"), QStringLiteral("欢迎"));
        model()->resetCgList({OvTest::cgRecord("A")});
        model()->cgAt(0)->setStatus(1, byOperator(QStringLiteral("Wang")));
        // The views still get every message.
        QCOMPARE(flatten(spy).size(), 2);
        QVERIFY(flatten(spy).at(1).endsWith(QStringLiteral("|Wang|发布\"A\"到PGM")));
    }
};

QTEST_MAIN(TestCgMessage)
#include "tst_cgmessage.moc"

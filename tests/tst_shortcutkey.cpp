// The single-key shortcut table and its on/off switch.

#include "log/OvCGMessage.h"
#include "shortcut/OvShortcutKey.h"

#include "OvTestSupport.h"

#include <QSignalSpy>
#include <QTest>

class TestShortcutKey : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<MessageType>(); }

    void hotKeyParts()
    {
        const OvShortcutKey& keys = OvShortcutKey::instance();
        QCOMPARE(keys.hotKeySequence(), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Q));
        QCOMPARE(keys.hotKeyKey(), int(Qt::Key_Q));
        QCOMPARE(keys.hotKeyModifiers(), int(Qt::ControlModifier | Qt::AltModifier));
    }

    void offUntilSwitchedOn()
    {
        OvShortcutKey& keys = OvShortcutKey::instance();
        int runs = 0;
        keys.addShortcut(QKeySequence(Qt::Key_F5), [&runs] { ++runs; });
        QVERIFY(!keys.isEnabled());
        QVERIFY(!keys.activate(QKeySequence(Qt::Key_F5)));
        QCOMPARE(runs, 0);

        QSignalSpy spy(&OvCGMessage::instance(), &OvCGMessage::notifyMessage);
        keys.toggleShortcuts();
        QVERIFY(keys.isEnabled());
        QVERIFY(keys.activate(QKeySequence(Qt::Key_F5)));
        QCOMPARE(runs, 1);
        // Not registered, or with a modifier the table does not hold.
        QVERIFY(!keys.activate(QKeySequence(Qt::Key_F6)));
        QVERIFY(!keys.activate(QKeySequence(Qt::SHIFT | Qt::Key_F5)));
        QVERIFY(!keys.activate(QKeySequence()));
        QCOMPARE(runs, 1);

        keys.toggleShortcuts();
        QVERIFY(!keys.activate(QKeySequence(Qt::Key_F5)));
        QCOMPARE(runs, 1);

        // Each switch is a system message with its own text, and is logged.
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).value<MessageType>(), SystemMessage);
        QCOMPARE(spy.at(0).at(2).toString(), QStringLiteral("系统"));
        QCOMPARE(spy.at(0).at(3).toString(), QStringLiteral("快键键已开启"));
        QCOMPARE(spy.at(1).at(3).toString(), QStringLiteral("快键键已关闭"));
        const QByteArray log =
            OvTest::readFile(QCoreApplication::applicationDirPath() + QStringLiteral("/log/log.txt"));
        QVERIFY(log.endsWith(QStringLiteral(" 系统:快键键已开启\r\n%1 系统:快键键已关闭\r\n")
                                 .arg(spy.at(1).at(1).toString())
                                 .toUtf8()));
    }

    void firstRegistrationWins()
    {
        OvShortcutKey& keys = OvShortcutKey::instance();
        QString ran;
        keys.addShortcut(QKeySequence(QStringLiteral("F9")), [&ran] { ran += 'a'; });
        keys.addShortcut(QKeySequence(Qt::Key_F9), [&ran] { ran += 'b'; });
        keys.addShortcut(QKeySequence(Qt::Key_F10), {});  // an empty callback is never run
        keys.toggleShortcuts();
        QVERIFY(keys.activate(QKeySequence(Qt::Key_F9)));
        QVERIFY(!keys.activate(QKeySequence(Qt::Key_F10)));
        keys.toggleShortcuts();
        QCOMPARE(ran, QStringLiteral("a"));
    }
};

QTEST_MAIN(TestShortcutKey)
#include "tst_shortcutkey.moc"

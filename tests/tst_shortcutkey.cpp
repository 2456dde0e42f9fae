// The single-key shortcut table and its on/off switch.

#include "log/OvCGMessage.h"
#include "shortcut/OvHotKeyPlatform.h"
#include "shortcut/OvKeyCodes.h"
#include "shortcut/OvShortcutKey.h"

#include "OvTestSupport.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestShortcutKey : public QObject
{
    Q_OBJECT

    // Keys run by the single-key commands, in order (registered before the
    // list model can take Z, X and C; Left repeats, as the grid's arrows do).
    QList<int> m_ran;

private slots:
    void initTestCase()
    {
        qRegisterMetaType<MessageType>();
        for (const int k : {int(Qt::Key_Z), int(Qt::Key_X), int(Qt::Key_C), int(Qt::Key_Left),
                            int(Qt::Key_Up), int(Qt::Key_Down)})
            OvShortcutKey::instance().addShortcut(QKeySequence(k), [this, k] { m_ran.append(k); }, k == Qt::Key_Left);
    }

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
        OvCGMessage::instance().flushLog();
        const QByteArray log =
            OvTest::readFile(QCoreApplication::applicationDirPath() + QStringLiteral("/log/log.txt"));
        QVERIFY(log.endsWith(QStringLiteral(" 系统:快键键已开启\r\n%1 系统:快键键已关闭\r\n")
                                 .arg(spy.at(1).at(1).toString())
                                 .toUtf8()));
    }

    // The first registration wins while its owner lives; an owner that goes
    // takes its key with it, and the next registration gets the key.
    void firstRegistrationWins()
    {
        OvShortcutKey& keys = OvShortcutKey::instance();
        QString ran;
        auto owner = std::make_unique<QObject>();
        keys.addShortcut(QKeySequence(QStringLiteral("F9")), [&ran] { ran += 'a'; }, false, owner.get());
        keys.addShortcut(QKeySequence(Qt::Key_F9), [&ran] { ran += 'b'; });
        keys.addShortcut(QKeySequence(Qt::Key_F10), {});  // an empty callback is never run
        keys.toggleShortcuts();
        QVERIFY(keys.activate(QKeySequence(Qt::Key_F9)));
        QVERIFY(!keys.activate(QKeySequence(Qt::Key_F10)));
        owner.reset();
        QVERIFY(!keys.activate(QKeySequence(Qt::Key_F9)));
        keys.addShortcut(QKeySequence(Qt::Key_F9), [&ran] { ran += 'c'; });
        QVERIFY(keys.activate(QKeySequence(Qt::Key_F9)));
        keys.toggleShortcuts();
        QCOMPARE(ran, QStringLiteral("ac"));
    }

    // Only a bare key is a single-key command: Ctrl+X, Ctrl+C, Ctrl+Z and
    // Alt+C are copy, undo and menu keys, never PVW, publish or cancel.
    void keyPressesWithModifiers_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("runs");
        const int ctrl = Qt::ControlModifier;
        const int alt = Qt::AltModifier;
        const int shift = Qt::ShiftModifier;
        const int pad = Qt::KeypadModifier;
        QTest::newRow("Z") << int(Qt::Key_Z) << 0 << true;
        QTest::newRow("Shift+Z") << int(Qt::Key_Z) << shift << true;
        QTest::newRow("keypad Left") << int(Qt::Key_Left) << pad << true;
        QTest::newRow("Shift+keypad Down") << int(Qt::Key_Down) << (shift | pad) << true;
        QTest::newRow("Ctrl+X") << int(Qt::Key_X) << ctrl << false;
        QTest::newRow("Ctrl+C") << int(Qt::Key_C) << ctrl << false;
        QTest::newRow("Ctrl+Z") << int(Qt::Key_Z) << ctrl << false;
        QTest::newRow("Alt+C") << int(Qt::Key_C) << alt << false;
        QTest::newRow("Ctrl+Shift+Z") << int(Qt::Key_Z) << (ctrl | shift) << false;
        QTest::newRow("Meta+X") << int(Qt::Key_X) << int(Qt::MetaModifier) << false;
        QTest::newRow("AltGr+C") << int(Qt::Key_C) << int(Qt::GroupSwitchModifier) << false;
        QTest::newRow("Ctrl+Left") << int(Qt::Key_Left) << ctrl << false;
        QTest::newRow("Alt+keypad Up") << int(Qt::Key_Up) << (alt | pad) << false;
        QTest::newRow("keypad Z") << int(Qt::Key_Z) << pad << true;
    }

    void keyPressesWithModifiers()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, runs);
        OvShortcutKey& keys = OvShortcutKey::instance();
        m_ran.clear();
        keys.toggleShortcuts();
        const bool result = keys.activateKeyPress(key, Qt::KeyboardModifiers(modifiers));
        keys.toggleShortcuts();
        QCOMPARE(result, runs);
        QCOMPARE(m_ran, runs ? QList<int>{key} : QList<int>());
        QCOMPARE(OvShortcutKey::singleKey(key, Qt::KeyboardModifiers(modifiers)).isEmpty(), !runs);
        // Switched off, nothing runs at all.
        QVERIFY(!keys.activateKeyPress(key, Qt::KeyboardModifiers(modifiers)));
        QCOMPARE(m_ran.size(), runs ? 1 : 0);
    }

    // Held down, a publish key is one press (its repeats are its own, run
    // nothing); an arrow walks on.
    void heldKeyIsOnePress_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Z") << int(Qt::Key_Z);
        QTest::newRow("Left") << int(Qt::Key_Left);
    }

    void heldKeyIsOnePress()
    {
        QFETCH(int, key);
        m_ran.clear();
        OvShortcutKey::instance().toggleShortcuts();
        QVERIFY(OvShortcutKey::instance().activateKeyPress(key, Qt::NoModifier, true));
        OvShortcutKey::instance().toggleShortcuts();
        QCOMPARE(m_ran, key == Qt::Key_Left ? QList<int>{key} : QList<int>());
    }

    void keyCodes_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("virtualKey");
        QTest::addColumn<uint>("keysym");
        QTest::newRow("space") << int(Qt::Key_Space) << 32 << 0x20u;
        QTest::newRow("asterisk: pad multiply") << int(Qt::Key_Asterisk) << 106 << 0xffaau;
        QTest::newRow("plus: pad add") << int(Qt::Key_Plus) << 107 << 0xffabu;
        QTest::newRow("comma: separator") << int(Qt::Key_Comma) << 108 << 0xffacu;
        QTest::newRow("minus: pad subtract") << int(Qt::Key_Minus) << 109 << 0xffadu;
        QTest::newRow("slash: pad divide") << int(Qt::Key_Slash) << 111 << 0xffafu;
        QTest::newRow("0") << int(Qt::Key_0) << 48 << 0x30u;
        QTest::newRow("9") << int(Qt::Key_9) << 57 << 0x39u;
        QTest::newRow("A") << int(Qt::Key_A) << 65 << 0x61u;
        QTest::newRow("Q") << int(Qt::Key_Q) << 81 << 0x71u;
        QTest::newRow("Z") << int(Qt::Key_Z) << 90 << 0x7au;
        QTest::newRow("escape") << int(Qt::Key_Escape) << 27 << 0xff1bu;
        QTest::newRow("tab") << int(Qt::Key_Tab) << 9 << 0xff09u;
        QTest::newRow("backtab") << int(Qt::Key_Backtab) << 9 << 0xff09u;
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << 8 << 0xff08u;
        QTest::newRow("return") << int(Qt::Key_Return) << 13 << 0xff0du;
        QTest::newRow("enter") << int(Qt::Key_Enter) << 13 << 0xff8du;
        QTest::newRow("insert") << int(Qt::Key_Insert) << 45 << 0xff63u;
        QTest::newRow("delete") << int(Qt::Key_Delete) << 46 << 0xffffu;
        QTest::newRow("pause") << int(Qt::Key_Pause) << 19 << 0xff13u;
        QTest::newRow("print") << int(Qt::Key_Print) << 42 << 0xff61u;
        QTest::newRow("clear") << int(Qt::Key_Clear) << 12 << 0xff0bu;
        QTest::newRow("home") << int(Qt::Key_Home) << 36 << 0xff50u;
        QTest::newRow("end") << int(Qt::Key_End) << 35 << 0xff57u;
        QTest::newRow("left") << int(Qt::Key_Left) << 37 << 0xff51u;
        QTest::newRow("up") << int(Qt::Key_Up) << 38 << 0xff52u;
        QTest::newRow("right") << int(Qt::Key_Right) << 39 << 0xff53u;
        QTest::newRow("down") << int(Qt::Key_Down) << 40 << 0xff54u;
        QTest::newRow("page up") << int(Qt::Key_PageUp) << 33 << 0xff55u;
        QTest::newRow("page down") << int(Qt::Key_PageDown) << 34 << 0xff56u;
        QTest::newRow("F1") << int(Qt::Key_F1) << 112 << 0xffbeu;
        QTest::newRow("F12") << int(Qt::Key_F12) << 123 << 0xffc9u;
        QTest::newRow("F24") << int(Qt::Key_F24) << 135 << 0xffd5u;
        // Not in the table: no code, so nothing is grabbed.
        QTest::newRow("F25") << int(Qt::Key_F25) << 0 << 0u;
        QTest::newRow("period") << int(Qt::Key_Period) << 0 << 0u;
        QTest::newRow("lower-case a code") << int('a') << 0 << 0u;
        QTest::newRow("shift alone") << int(Qt::Key_Shift) << 0 << 0u;
        QTest::newRow("unknown") << int(Qt::Key_unknown) << 0 << 0u;
        QTest::newRow("none") << 0 << 0 << 0u;
    }

    void keyCodes()
    {
        QFETCH(int, key);
        QFETCH(int, virtualKey);
        QFETCH(uint, keysym);
        QCOMPARE(OvKeyCodes::virtualKey(key), virtualKey);
        QCOMPARE(OvKeyCodes::keysym(key), quint32(keysym));
    }

    void modifierBits_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<uint>("windows");
        QTest::addColumn<uint>("x11");
        QTest::newRow("none") << 0 << 0u << 0u;
        QTest::newRow("ctrl+alt") << int(Qt::ControlModifier | Qt::AltModifier) << 3u << 0x0cu;
        QTest::newRow("shift") << int(Qt::ShiftModifier) << 4u << 0x01u;
        QTest::newRow("meta") << int(Qt::MetaModifier) << 8u << 0x40u;
        QTest::newRow("all four") << int(Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)
                                  << 15u << 0x4du;
        // The keypad flag is no modifier of a hot key.
        QTest::newRow("keypad") << int(Qt::KeypadModifier) << 0u << 0u;
    }

    void modifierBits()
    {
        QFETCH(int, modifiers);
        QFETCH(uint, windows);
        QFETCH(uint, x11);
        QCOMPARE(OvKeyCodes::hotKeyModifiers(modifiers), windows);
        QCOMPARE(uint(OvKeyCodes::x11Modifiers(modifiers)), x11);
    }

    void hotKeyIdentifier()
    {
        const OvShortcutKey& keys = OvShortcutKey::instance();
        const int vk = OvKeyCodes::virtualKey(keys.hotKeyKey());
        const unsigned mods = OvKeyCodes::hotKeyModifiers(keys.hotKeyModifiers());
        QCOMPARE(vk, 0x51);
        QCOMPARE(mods, 3u);
        QCOMPARE(OvKeyCodes::hotKeyId(vk, mods), 0x52);
    }

    // No windowing system to grab from (offscreen): the console runs on with
    // its shortcuts off, and stray native events change nothing.
    void withoutWindowingSystem()
    {
        OvShortcutKey& keys = OvShortcutKey::instance();
        QVERIFY(!keys.isHotKeyRegistered());
        QVERIFY(!keys.registerHotKey());
        QVERIFY(!keys.unregisterHotKey());

        int presses = 0;
        OvHotKeyPlatform platform([&presses] { ++presses; });
        QVERIFY(!platform.registerHotKey(Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier));
        QVERIFY(!platform.isRegistered());
        // An X key press of any key with Ctrl+Alt, and events of other kinds.
        unsigned char keyPress[32] = {2, 24};
        keyPress[28] = 0x0c;
        long result = 0;
        QVERIFY(!platform.nativeEventFilter(QByteArrayLiteral("xcb_generic_event_t"), keyPress, &result));
        QVERIFY(!platform.nativeEventFilter(QByteArrayLiteral("windows_generic_MSG"), keyPress, &result));
        QVERIFY(!platform.nativeEventFilter(QByteArrayLiteral("xcb_generic_event_t"), nullptr, &result));
        QCOMPARE(result, 0L);
        QCOMPARE(presses, 0);
        QVERIFY(!platform.unregisterHotKey());
        QVERIFY(!keys.isEnabled());
    }
};

QTEST_MAIN(TestShortcutKey)
#include "tst_shortcutkey.moc"

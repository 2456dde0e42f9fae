// The main window with its settings file, connect button, keys and title-bar
// notice; the connection runs against the CG server simulator on loopback.
#include "OvTestPeer.h"
#include "OvTestSupport.h"
#include "shell/OvConsoleCore.h"

#include "cg/OvCGListModel.h"
#include "cg/OvCGScrollareaWidget.h"
#include "cg/OvCGSearchField.h"
#include "cg/OvCgStatus.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvRunningOrderPanel.h"
#include "cg/OvRunningOrderTable.h"
#include "cg/OvTakeCommand.h"
#include "log/OvCGMessage.h"
#include "log/OvTitlebarNoticeInfo.h"
#include "shell/OvLoginDlg.h"
#include "net/OvTransferServer.h"
#include "shell/OvAboutDlg.h"
#include "shell/OvCGVestrel.h"
#include "shell/OvConfig.h"
#include "shell/OvHelpViewer.h"
#include "shell/OvMsgDlg.h"
#include "shell/OvTitlebar.h"
#include "shortcut/OvKeyMap.h"
#include "shortcut/OvShortcutKey.h"

#include <OvUIUtility/MenuButton.h>
#include <OvUIUtility/OvButton.h>
#include <OvUIUtility/OvGrayButton.h>
#include <OvUIUtility/OvLabel.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

QString configPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/config.ini");
}

QString logPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/log/log.txt");
}

// Answers the next modal box that shows up with the given button and records
// its text; bounded like every other wait here.
struct BoxAnswer {
    bool shown = false;
    QString text;
    QString className;
};

std::shared_ptr<BoxAnswer> answerNextBox(OvMsgDlg::ResultCode button)
{
    auto answer = std::make_shared<BoxAnswer>();
    OvTest::closeModalWhenShown(5000, 10, [answer, button](QWidget* w) {
        answer->shown = true;
        answer->className = QString::fromLatin1(w->metaObject()->className());
        if (auto* box = qobject_cast<OvMsgDlg*>(w)) {
            answer->text = box->messageLabel()->text();
            OvButton* const b = button == OvMsgDlg::Yes ? box->yesButton() : box->noButton();
            if (b)
                b->click();
        }
    });
    return answer;
}

}  // namespace

class TstMainWindow : public QObject
{
    Q_OBJECT

private:
    // The take path and the rest of a console's parts, with the default settings.
    OvConsoleCore m_core{OvSettings()};
    std::unique_ptr<OvCGVestrel> m_window;
    // Made after the log file is removed: the hub opens its file on first use.
    std::unique_ptr<OvTest::LogRecorder> m_log;
    QProcess m_sim;
    quint16 m_port = 0;

    OvTransferServer* client() const { return OvTransferServer::instance(); }
    OvCGListModel* model() const { return OvCGListModel::instance(); }

    // Logs in to the simulator, started for the first case that needs it.
    // Returns why not, or nothing.
    QString logIn()
    {
        QString error;
        if (m_sim.state() != QProcess::Running)
            m_port = OvTest::startSimulator(m_sim, {"--listen", "127.0.0.1", "--items", "4", "--discovery-port", "0"},
                                            &error);
        if (m_port == 0)
            return error;
        client()->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("580317"), m_port);
        const bool in = QTest::qWaitFor(
            [this] {
                return client()->connectionState() == OvTransferServer::LoggedIn && model()->count() == 4;
            },
            5000);
        return in ? QString() : QStringLiteral("no login to the simulator");
    }

    void writeConfig(const QByteArray& bytes) { QVERIFY(OvTest::writeFile(configPath(), bytes)); }

private slots:
    void initTestCase()
    {
        // The running order's files go to this test's own folder, not the user's.
        qputenv("XDG_DATA_HOME", QDir::tempPath().toLocal8Bit() + "/data");
        QFile::remove(logPath());
        QFile::remove(configPath());
        m_window = std::make_unique<OvCGVestrel>(m_core);
        m_log = std::make_unique<OvTest::LogRecorder>();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanupTestCase()
    {
        if (client()->connectionState() != OvTransferServer::Idle)
            client()->disconnectFromServer();
        QTRY_COMPARE_WITH_TIMEOUT(client()->connectionState(), OvTransferServer::Idle, 3000);
        OvTest::stopSimulator(m_sim);
        m_window.reset();
    }

    void init() { m_log->lines.clear(); }

    void cleanup()
    {
        QFile::remove(configPath());
        if (OvShortcutKey::instance().isEnabled())
            OvShortcutKey::instance().toggleShortcuts();
    }

    // --- settings file ------------------------------------------------------

    void configDefaultsWhenMissing()
    {
        QVERIFY(!QFile::exists(configPath()));
        QCOMPARE(readConfigPort(), 19999);
        QCOMPARE(readConfigPassword(), QStringLiteral("580317"));
        QCOMPARE(readConfigValue(configPath(), "CONFIG", "port"), QString());
        // Reading never creates the file.
        QVERIFY(!QFile::exists(configPath()));
    }

    void configValues_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("password");
        QTest::newRow("both set") << QByteArray("[CONFIG]\nport=20001\npassword=studio7\n") << 20001
                                  << QStringLiteral("studio7");
        QTest::newRow("port not a number") << QByteArray("[CONFIG]\nport=abc\n") << 0
                                           << QStringLiteral("580317");
        QTest::newRow("empty values") << QByteArray("[CONFIG]\nport=\npassword=\n") << 19999
                                      << QStringLiteral("580317");
        // Unquoted commas make a list for the INI reader; the password is the text as written.
        QTest::newRow("unquoted comma") << QByteArray("[CONFIG]\npassword=red,blue\n") << 19999
                                        << QStringLiteral("red,blue");
        QTest::newRow("commas and blanks") << QByteArray("[CONFIG]\npassword = a, b ,c\r\nport=1\n") << 1
                                           << QStringLiteral("a, b ,c");
        QTest::newRow("comma, later group") << QByteArray("[A]\npassword=x,y\n[CONFIG]\npassword=ab,cd\n[B]\npassword=z,w\n")
                                            << 19999 << QStringLiteral("ab,cd");
        QTest::newRow("comma, utf-8") << QByteArray("[CONFIG]\npassword=演播,室07\n") << 19999
                                      << QStringLiteral("演播,室07");
        QTest::newRow("quoted comma") << QByteArray("[CONFIG]\npassword=\"red,blue\"\n") << 19999
                                      << QStringLiteral("red,blue");
        QTest::newRow("utf-8 password") << QByteArray("[CONFIG]\npassword=演播室07\n") << 19999
                                        << QStringLiteral("演播室07");
        QTest::newRow("other group") << QByteArray("[OTHER]\nport=1\npassword=x\n") << 19999
                                     << QStringLiteral("580317");
        QTest::newRow("not an ini file") << QByteArray("\x00\xff\xfe[[[\n=\n", 10) << 19999
                                         << QStringLiteral("580317");
    }

    void configValues()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, port);
        QFETCH(QString, password);
        writeConfig(ini);
        QCOMPARE(readConfigPort(), port);
        QCOMPARE(readConfigPassword(), password);
        // Read only: the file is left exactly as it was.
        QCOMPARE(OvTest::readFile(configPath()), ini);
    }

    void styleSheetFromFile()
    {
        QWidget widget;
        widget.setStyleSheet(QStringLiteral("QWidget { color: red; }"));
        applyStyleSheet(&widget, QStringLiteral("no-such-file.qss"));
        QCOMPARE(widget.styleSheet(), QStringLiteral("QWidget { color: red; }"));

        const QString sheet = QStringLiteral("QLabel { font-family: \"微软雅黑\"; }");
        QVERIFY(OvTest::writeFile(QCoreApplication::applicationDirPath() + QStringLiteral("/qss/tst_mw.qss"),
                                  sheet.toUtf8()));
        applyStyleSheet(&widget, QStringLiteral("tst_mw.qss"));
        QCOMPARE(widget.styleSheet(), sheet);
        QFile::remove(QCoreApplication::applicationDirPath() + QStringLiteral("/qss/tst_mw.qss"));
    }

    // --- the window as built ------------------------------------------------

    void builtWindow()
    {
        OvCGVestrel* const w = m_window.get();
        QCOMPARE(w->objectName(), QStringLiteral("Tolva"));
        QVERIFY(w->isVisible());
        QVERIFY(w->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(w->moveResizeMode(), 2);
        QVERIFY(w->hasMouseTracking());
        QCOMPARE(w->focusPolicy(), Qt::StrongFocus);

        OvTitlebar* const bar = w->titlebar();
        QVERIFY(bar->isVisible());
        QVERIFY(!bar->selfMove());
        QVERIFY(bar->helpButton()->isVisible());
        auto* notice = qobject_cast<OvTitlebarNoticeInfo*>(bar->noticeArea());
        QVERIFY(notice);
        QVERIFY(notice->isVisible());

        OvGrayButton* const button = w->connectButtonWidget();
        QCOMPARE(button->text(), QStringLiteral("连接"));
        QCOMPARE(button->property("type").toString(), QStringLiteral("OvControlWidget_connect"));

        // Title bar on top; connect button bottom left, control bar bottom right.
        const QRect window = w->rect();
        QCOMPARE(bar->geometry().top(), 0);
        QCOMPARE(bar->width(), window.width());
        const QRect b = QRect(button->mapTo(w, QPoint()), button->size());
        const QRect c = QRect(w->controlWidget()->mapTo(w, QPoint()), w->controlWidget()->size());
        QCOMPARE(b.left(), 26);
        QCOMPARE(c.right(), window.width() - 1 - 21);
        QVERIFY2(window.bottom() - b.bottom() <= 2 + 1, qPrintable(QString::number(window.bottom() - b.bottom())));
        QVERIFY(w->showWidget()->geometry().top() >= bar->geometry().bottom());
        QVERIFY(w->showWidget()->height() > window.height() / 2);

        // The login dialog exists from the start, hidden and without parent.
        QVERIFY(w->loginDialog());
        QVERIFY(!w->loginDialog()->parent());
        QVERIFY(!w->loginDialog()->isVisible());
    }

    void welcomeOnce()
    {
        // One welcome line in the log file, and the notice shows it (nothing
        // else has been posted by this point).
        const QStringList lines = QString::fromUtf8(OvTest::readFile(logPath())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.filter(QStringLiteral("系统:欢迎使用TolvaCGVestrel")).size(), 1);
        auto* notice = qobject_cast<OvTitlebarNoticeInfo*>(m_window->titlebar()->noticeArea());
        QCOMPARE(notice->infoLabel()->text(), QStringLiteral("系统:欢迎使用TolvaCGVestrel"));
        QCOMPARE(notice->infoLabel()->objectName(), QStringLiteral("OvTitlebarNoticeInfo_m_pInfo"));
        QVERIFY(notice->findChild<QFrame*>(QStringLiteral("OvTitlebarNoticeInfo_frameLoginInfo")));
        QVERIFY(notice->findChild<OvLabel*>(QStringLiteral("OvTitlebarNoticeInfo_noticeIcon")));
    }

    void noticeShowsLatestAsPlainText()
    {
        auto* notice = qobject_cast<OvTitlebarNoticeInfo*>(m_window->titlebar()->noticeArea());
        OvLabel* const info = notice->infoLabel();
        OvCGMessage::instance().addMessage(OperationMessage, QStringLiteral("<b>x</b>"),
                                           QStringLiteral("a & <i>b</i>"));
        QCoreApplication::sendPostedEvents();  // the notice follows once a turn
        QCOMPARE(info->text(), QStringLiteral("<b>x</b>:a & <i>b</i>"));
        QCOMPARE(info->textFormat(), Qt::PlainText);
        OvCGMessage::instance().addMessage(SystemMessage, QStringLiteral("系统"), QString());
        QCoreApplication::sendPostedEvents();
        QCOMPARE(info->text(), QStringLiteral("系统:"));

        // A long notice does not widen the window's minimum.
        const int before = m_window->minimumSizeHint().width();
        OvCGMessage::instance().addMessage(SystemMessage, QStringLiteral("系统"), QString(400, QChar(u'长')));
        QCoreApplication::sendPostedEvents();
        QVERIFY(m_window->minimumSizeHint().width() <= before + 1);

        // A notice outside a main window works on its own too.
        OvTitlebarNoticeInfo standalone(nullptr);
        OvCGMessage::instance().addMessage(SystemMessage, QStringLiteral("t"), QStringLiteral("u"));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(standalone.infoLabel()->text(), QStringLiteral("t:u"));
    }

    void noticeElidesLongText()
    {
        auto* notice = qobject_cast<OvTitlebarNoticeInfo*>(m_window->titlebar()->noticeArea());
        OvLabel* const info = notice->infoLabel();
        // A server name of a million characters (supplementary ones, two code
        // units each): the notice and its tool tip show a few hundred.
        const QString name = QString::fromUcs4(U"名").repeated(500000) + QString::fromUcs4(U"\U0001F600").repeated(500000);
        OvCGMessage::instance().addMessage(OperationMessage, name, QStringLiteral("x"));
        QCoreApplication::sendPostedEvents();
        QVERIFY(info->text().size() < 700);
        QVERIFY(info->toolTip().size() < 1000);
        QVERIFY(info->text().startsWith(QString::fromUcs4(U"名").repeated(200)));
        OvCGMessage::instance().addMessage(OperationMessage, QStringLiteral("t"), name.mid(499990));
        QCoreApplication::sendPostedEvents();
        QVERIFY(info->text().size() < 700);
        // No half of a surrogate pair is left at the cut.
        QVERIFY(!info->text().at(info->text().size() - 2).isHighSurrogate());
        QVERIFY(info->text().startsWith(QStringLiteral("t:") + QString::fromUcs4(U"名").repeated(10)));
        // The log file keeps the whole line.
        OvCGMessage::instance().flushLog();
        const QByteArray log = OvTest::readFile(logPath());
        QVERIFY(log.contains(name.toUtf8()));
    }

    // --- keys -----------------------------------------------------------------

    void escapeKeepsMainWindow()
    {
        OvCGVestrel* const w = m_window.get();
        QSignalSpy rejected(w, &QDialog::rejected);
        QTest::keyClick(w, Qt::Key_Escape);
        QCOMPARE(rejected.count(), 0);
        QVERIFY(w->isVisible());

        // Escape still closes a message box.
        OvMsgDlg box(QStringLiteral("是否断开远程连接"), 1, w);
        bool sent = false;
        QTimer::singleShot(50, &box, [&] {
            QTest::keyClick(&box, Qt::Key_Escape);
            sent = true;
        });
        QTimer::singleShot(3000, &box, &QDialog::accept);  // bound if Escape failed
        QCOMPARE(box.exec(), 0);
        QVERIFY(sent);
        QVERIFY(w->isVisible());
    }

    void windowStateFollowsInTitlebar()
    {
        OvCGVestrel* const w = m_window.get();
        OvButton* const max = w->titlebar()->maximizeButton();
        w->showMaximized();
        QTRY_COMPARE_WITH_TIMEOUT(max->property("max"), QVariant(false), 2000);
        w->showNormal();
        QTRY_COMPARE_WITH_TIMEOUT(max->property("max"), QVariant(true), 2000);
    }

    void helpMenuLeadsOn()
    {
        OvCGVestrel* const w = m_window.get();
        QString modalClass;
        QWidget* modalParent = nullptr;
        auto record = [&](QWidget* m) {
            modalClass = QString::fromLatin1(m->metaObject()->className());
            modalParent = m->parentWidget();
        };
        // The about box is a panel inside the main window, not a modal window
        // of its own: close it from a timer.
        QTimer aboutCloser;
        connect(&aboutCloser, &QTimer::timeout, this, [&] {
            for (auto* about : w->findChildren<OvAboutDlg*>())
                if (about->isVisible()) {
                    record(about);
                    about->reject();
                }
        });
        aboutCloser.start(20);
        emit w->titlebar()->about();
        aboutCloser.stop();
        QCOMPARE(modalClass, QStringLiteral("OvAboutDlg"));
        QCOMPARE(modalParent, w);

        // So is the shortcut card, reached through the help menu's first entry.
        modalParent = nullptr;
        QStringList cardTitles;
        QTimer cardCloser;
        connect(&cardCloser, &QTimer::timeout, this, [&] {
            for (auto* card : w->findChildren<QDialog*>(QStringLiteral("OvShortcutKeyDlg")))
                if (card->isVisible()) {
                    modalParent = card->parentWidget();
                    for (const QGroupBox* box : card->findChildren<QGroupBox*>())
                        cardTitles << box->title();
                    card->reject();
                }
        });
        cardCloser.start(20);
        w->titlebar()->helpButton()->getMenu()->actions().at(0)->trigger();
        cardCloser.stop();
        QCOMPARE(modalParent, w);
        QCOMPARE(cardTitles, QStringList({QStringLiteral("快捷键(开启/关闭)"), QStringLiteral("快捷键选择框移动"),
                                          QStringLiteral("发布控制"), QStringLiteral("串联单"), QStringLiteral("搜索CG")}));
        QVERIFY(w->findChildren<QDialog*>(QStringLiteral("OvShortcutKeyDlg")).isEmpty());

        // The help viewer runs as a process of its own, owned by the window.
        const QString page = QCoreApplication::applicationDirPath() + QStringLiteral("/help/index.html");
        QVERIFY(OvTest::writeFile(page, "<html><body>help</body></html>"));
        OvHelpViewer::setChmViewerCommand(QStringLiteral("true"));
        OvHelpViewer::setHtmlViewerCommand(QStringLiteral("true"));
        const int before = w->findChildren<QProcess*>().size();
        emit w->titlebar()->helperInfo();
        QCOMPARE(w->findChildren<QProcess*>().size(), before + 1);
        QTRY_COMPARE_WITH_TIMEOUT(w->findChildren<QProcess*>().size(), before, 5000);
        OvHelpViewer::setChmViewerCommand(QString());
        OvHelpViewer::setHtmlViewerCommand(QString());
        QFile::remove(page);
    }

    // --- connecting -----------------------------------------------------------

    void connectWhileIdleOpensLoginDialog()
    {
        QCOMPARE(client()->connectionState(), OvTransferServer::Idle);
        QString modalClass;
        OvTest::closeModalWhenShown(5000, 10, [&](QWidget* w) {
            modalClass = QString::fromLatin1(w->metaObject()->className());
        });
        m_window->connectButtonWidget()->click();
        QCOMPARE(modalClass, QStringLiteral("OvLoginDlg"));
        QVERIFY(!m_window->loginDialog()->isVisible());
        QCOMPARE(client()->connectionState(), OvTransferServer::Idle);
    }

    void loginAndDisconnect()
    {
        OvGrayButton* const button = m_window->connectButtonWidget();
        QCOMPARE(logIn(), QString());
        QCOMPARE(button->text(), QStringLiteral("已连接"));
        QCOMPARE(button->property("type").toString(), QStringLiteral("OvControlWidget_connected"));
        QCOMPARE(m_log->lines.count(QStringLiteral("系统:您成功与studio建立远程连接")), 1);

        // "否": the connection stays and nothing is posted.
        m_log->lines.clear();
        auto no = answerNextBox(OvMsgDlg::No);
        button->click();
        QVERIFY(no->shown);
        QCOMPARE(no->text, QStringLiteral("是否断开远程连接"));
        QTest::qWait(100);
        QCOMPARE(client()->connectionState(), OvTransferServer::LoggedIn);
        QCOMPARE(m_log->lines, QStringList());
        QCOMPARE(button->text(), QStringLiteral("已连接"));

        // "是": disconnected, one message, button back, catalogue gone.
        auto yes = answerNextBox(OvMsgDlg::Yes);
        button->click();
        QVERIFY(yes->shown);
        QTRY_COMPARE_WITH_TIMEOUT(client()->connectionState(), OvTransferServer::Idle, 3000);
        QTest::qWait(100);
        QCOMPARE(m_log->lines.count(QStringLiteral("系统:您与studio断开连接。")), 1);
        QCOMPARE(button->text(), QStringLiteral("连接"));
        QCOMPARE(button->property("type").toString(), QStringLiteral("OvControlWidget_connect"));
        QCOMPARE(model()->count(), 0);
    }

    void disconnectQuestionEndsWithTheConnection()
    {
        QCOMPARE(logIn(), QString());
        m_log->lines.clear();
        const OvTest::ErrorRecorder errors;
        // The server drops the console while the question is open; the operator
        // answers "是" afterwards if the question is still there.
        bool questionSeen = false;
        bool answeredStale = false;
        QTimer driver;
        connect(&driver, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<OvMsgDlg*>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (!questionSeen) {
                questionSeen = true;
                m_sim.write("close\n");
            } else if (client()->connectionState() == OvTransferServer::Idle) {
                answeredStale = true;
                box->yesButton()->click();
            }
        });
        driver.start(20);
        QTimer::singleShot(8000, &driver, [] {
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
        m_window->connectButtonWidget()->click();
        QVERIFY(questionSeen);
        QTRY_COMPARE_WITH_TIMEOUT(client()->connectionState(), OvTransferServer::Idle, 3000);
        QTest::qWait(200);
        driver.stop();
        QVERIFY2(!answeredStale, "the question outlived its connection");
        QCOMPARE(errors.texts, QStringList(QStringLiteral("远程断开连接，请检查远程连接设置和网络状况后重试。")));
        QCOMPARE(m_log->lines.count(QStringLiteral("系统:您与studio断开连接。")), 0);
        QCOMPARE(m_window->connectButtonWidget()->text(), QStringLiteral("连接"));
    }

    void serverLossEmptiesCatalogue()
    {
        QCOMPARE(logIn(), QString());
        QVERIFY(model()->count() > 0);
        // The error box is the console's own message box.
        auto box = answerNextBox(OvMsgDlg::Yes);
        m_sim.write("close\n");
        QTRY_COMPARE_WITH_TIMEOUT(client()->connectionState(), OvTransferServer::Idle, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(box->shown, 3000);
        QCOMPARE(box->className, QStringLiteral("OvMsgDlg"));
        QCOMPARE(box->text, QStringLiteral("远程断开连接，请检查远程连接设置和网络状况后重试。"));
        QCOMPARE(model()->count(), 0);
        QCOMPARE(m_window->connectButtonWidget()->text(), QStringLiteral("连接"));
        QCOMPARE(m_window->connectButtonWidget()->property("type").toString(),
                 QStringLiteral("OvControlWidget_connect"));
    }

    void keysReachShortcuts()
    {
        QCOMPARE(logIn(), QString());
        OvSubCGItem* item = nullptr;
        for (OvSubCGItem* candidate : model()->cgList())
            if (candidate->status() != 1)
                item = candidate;
        QVERIFY(item);
        model()->setCurrentCg(item);
        const int before = item->status();

        // Switched off: Z does nothing.
        QTest::keyClick(m_window.get(), Qt::Key_Z);
        QTest::qWait(100);
        QCOMPARE(item->status(), before);

        // Switched on: combinations with Ctrl or Alt are no single keys.
        OvShortcutKey::instance().toggleShortcuts();
        QTest::keyClick(m_window.get(), Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(m_window.get(), Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(m_window.get(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(m_window.get(), Qt::Key_C, Qt::AltModifier);
        QTest::qWait(100);
        QCOMPARE(item->status(), before);

        // Z alone publishes the current item to PGM.
        QTest::keyClick(m_window.get(), Qt::Key_Z);
        QCOMPARE(item->status(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(item->status(), 1, 5000);

        // Escape is offered to the shortcuts too and still leaves the window up.
        QTest::keyClick(m_window.get(), Qt::Key_Escape);
        QVERIFY(m_window->isVisible());
    }

    // --- takes an operator can trust ---------------------------------------

    // The lock from the bottom bar and from its key: the publish buttons and
    // take all off go dead, the single keys take nothing, selecting goes on.
    void lockFromTheWindow_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("button") << false;
        QTest::newRow("Ctrl+L") << true;
    }

    void lockFromTheWindow()
    {
        QFETCH(bool, byKey);
        QCOMPARE(logIn(), QString());
        // The window's own keys act while it has the keyboard.
        QApplication::setActiveWindow(m_window.get());
        OvTakeCommand* const takes = m_core.takes();
        const auto toggle = [&] {
            if (byKey)
                QTest::keyClick(m_window.get(), Qt::Key_L, Qt::ControlModifier);
            else
                m_window->lockButton()->click();
        };
        toggle();
        QVERIFY(takes->isLocked() && m_window->lockButton()->isChecked());
        QCOMPARE(m_window->lockButton()->accessibleName(), QStringLiteral("锁定发布"));
        OvControlWidget* const bar = m_window->controlWidget();
        QVERIFY(!bar->pgmButton()->isEnabled() && !bar->cancelButton()->isEnabled());
        QVERIFY(!m_window->clearAllButton()->isEnabled());
        OvShortcutKey::instance().toggleShortcuts();
        model()->setCurrentCg(model()->cgAt(2));
        QTest::keyClick(m_window.get(), Qt::Key_Z);
        QTest::keyClick(m_window.get(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(model()->currentCg(), model()->cgAt(2));
        QCOMPARE(model()->pendingOperationId(model()->cgAt(2)), QString());
        toggle();
        QVERIFY(!takes->isLocked() && bar->pgmButton()->isEnabled());
        QCOMPARE(m_log->lines.filter(QStringLiteral(u"发布已")),
                 (QStringList{QStringLiteral(u"系统:发布已锁定"), QStringLiteral(u"系统:发布已锁定，未执行来自单键的命令"),
                              QStringLiteral(u"系统:发布已解锁")}));
    }

    // Take all off asks first; Yes takes every CG on PGM or PVW off air.
    void takeAllOffAsks()
    {
        QCOMPARE(logIn(), QString());
        for (int i : {0, 1}) {
            model()->setCurrentCg(model()->cgAt(i));
            OvTest::take(m_core.takes(), i == 0 ? OvCgStatus::OnPgm : OvCgStatus::OnPvw);
        }
        QTRY_VERIFY(model()->cgAt(0)->status() == OvCgStatus::OnPgm && model()->cgAt(1)->status() == OvCgStatus::OnPvw);
        const QList<OvSubCGItem*> items = model()->cgList();
        const auto onAir = int(std::count_if(items.cbegin(), items.cend(),
                                             [](auto* item) { return OvCgStatus::isOnAir(item->status()); }));
        auto no = answerNextBox(OvMsgDlg::No);
        m_window->clearAllButton()->click();
        QCOMPARE(no->text, QStringLiteral("撤下所有在PGM或PVW上的CG？"));
        QTest::qWait(100);
        QCOMPARE(model()->cgAt(0)->status(), int(OvCgStatus::OnPgm));
        auto yes = answerNextBox(OvMsgDlg::Yes);
        QApplication::setActiveWindow(m_window.get());
        QTest::keyClick(m_window.get(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(yes->shown);
        QTRY_VERIFY(std::none_of(items.cbegin(), items.cend(), [](auto* item) { return item->status() != OvCgStatus::Idle; }));
        // The operator's own cancels, as the server confirmed them; and how long that took.
        QCOMPARE(m_log->lines.filter(QStringLiteral(u"您:取消发布")).size(), onAir);
        QVERIFY(m_window->showWidget()->grid()->tileAt(0)->pictureLabel()->toolTip().contains(QRegularExpression(QStringLiteral(u"^确认用时 \\d+ ms$"))));
    }

    // [KEYS]: a usable key of the operator's replaces the default; one that
    // does not parse, is no single key, or that another command has keeps
    // the default and says so.
    void keysOfTheOperatorsChoosing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("inForce");
        QTest::addColumn<bool>("said");
        QTest::newRow("remapped") << "pgm" << "A" << "A" << false;
        QTest::newRow("Enter, the search's") << "lock" << "Return" << "Ctrl+L" << true;
        QTest::newRow("lock remapped") << "lock" << "Ctrl+Shift+L" << "Ctrl+Shift+L" << false;
        QTest::newRow("no key") << "pvw" << "Ctrl+Nothing" << "X" << true;
        QTest::newRow("single key with Ctrl") << "cancel" << "Ctrl+K" << "C" << true;
        QTest::newRow("bare hot key") << "toggle" << "Q" << "Ctrl+Alt+Q" << true;
        QTest::newRow("another command's") << "pvw" << "Z" << "X" << true;
        QTest::newRow("an arrow") << "go" << "Up" << "Space" << true;
        QTest::newRow("Insert, the order's") << "lock" << "Ins" << "Ctrl+L" << true;
        QTest::newRow("Alt+Down, the order's") << "clear_all" << "Alt+Down" << "Ctrl+Shift+C" << true;
        QTest::newRow("copy, system-wide") << "toggle" << "Ctrl+C" << "Ctrl+Alt+Q" << true;
        QTest::newRow("paste with Shift, system-wide") << "toggle" << "Ctrl+Shift+V" << "Ctrl+Alt+Q" << true;
        QTest::newRow("close window, system-wide") << "toggle" << "Alt+F4" << "Ctrl+Alt+Q" << true;
        QTest::newRow("Ctrl+Alt+C, system-wide") << "toggle" << "Ctrl+Alt+C" << "Ctrl+Alt+C" << false;
    }

    void keysOfTheOperatorsChoosing()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, inForce);
        QFETCH(bool, said);
        QStringList problems;
        const OvKeyMap keys = OvKeyMap::fromValues({{name, value}, {QStringLiteral("unknown"), QStringLiteral("F5")}},
                                                   &problems);
        int command = 0;
        while (OvKeyMap::keyName(OvKeyMap::Command(command)) != name)
            ++command;
        QCOMPARE(keys.keyText(OvKeyMap::Command(command)), inForce);
        // The name nobody knows is said too.
        QCOMPARE(problems.size(), said ? 2 : 1);
        QVERIFY(problems.first().contains(QStringLiteral("unknown")));
        if (said)
            QVERIFY(problems.last().contains(name + QLatin1Char('=') + value));
    }

    // An open editor keeps every key, whatever [KEYS] says: from a duration
    // being typed or the search nothing is taken, added or moved, and what it
    // is given it takes.
    void editorKeepsItsKeys_data()
    {
        QTest::addColumn<bool>("search");  // else a cue's duration
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("GO on F5, duration") << false << int(Qt::Key_F5) << 0;
        QTest::newRow("Insert, duration") << false << int(Qt::Key_Insert) << 0;
        QTest::newRow("Alt+Up, duration") << false << int(Qt::Key_Up) << int(Qt::AltModifier);
        QTest::newRow("Insert, search") << true << int(Qt::Key_Insert) << 0;
    }

    void editorKeepsItsKeys()
    {
        QFETCH(bool, search);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QCOMPARE(logIn(), QString());
        QStringList problems;
        OvShortcutKey::instance().applyKeys(OvKeyMap::fromValues({{"go", "F5"}}, &problems));
        OvShortcutKey::instance().toggleShortcuts();
        OvRunningOrder* const order = m_core.order();
        order->clear();
        for (int i : {0, 1})
            order->insert(i, QUuid(model()->cgAt(i)->guid()));
        QApplication::setActiveWindow(m_window.get());
        QTableView* const table = m_window->showWidget()->runningOrderPanel()->table();
        search ? m_window->showWidget()->focusSearch() : table->edit(table->model()->index(1, OvRunningOrderTable::DurationColumn));
        const QPointer<QWidget> editor = QApplication::focusWidget();  // a duration's goes with Return
        QVERIFY(editor && editor != table && editor != m_window.get());
        QTest::keyClick(editor, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTest::keyClicks(editor, QStringLiteral("7"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(search ? m_window->showWidget()->searchField()->text().endsWith(QLatin1Char('7')) : order->cueAt(1).durationS == 7);
        QCOMPARE(order->count(), 2);
        QCOMPARE(order->cueAt(1).guid, QUuid(model()->cgAt(1)->guid()));
        QCOMPARE(model()->pendingOperationId(model()->cgAt(0)), QString());
        if (editor)
            QTest::keyClick(editor, Qt::Key_Escape);
        OvShortcutKey::instance().applyKeys(OvKeyMap());
        order->clear();
    }

    // The lock's key locks from a box (the take-all-off question here) as
    // from the window.
    void lockFromABox()
    {
        QCOMPARE(logIn(), QString());
        bool locked = false;
        OvTest::closeModalWhenShown(5000, 10, [this, &locked](QWidget* box) {
            QTest::keyClick(box, Qt::Key_L, Qt::ControlModifier);
            locked = m_core.takes()->isLocked();
            qobject_cast<OvMsgDlg*>(box)->noButton()->click();
        });
        m_window->clearAllButton()->click();
        m_core.takes()->setLocked(false);
        QVERIFY(locked);
    }

    // Keys swapped in config.ini reach the window's single keys.
    void swappedKeysTake()
    {
        QCOMPARE(logIn(), QString());
        QStringList problems;
        OvShortcutKey::instance().applyKeys(OvKeyMap::fromValues({{"pgm", "X"}, {"pvw", "Z"}}, &problems));
        QVERIFY(problems.isEmpty());
        OvShortcutKey::instance().toggleShortcuts();
        model()->setCurrentCg(model()->cgAt(3));
        QTest::keyClick(m_window.get(), Qt::Key_Z);
        QTRY_COMPARE(model()->cgAt(3)->status(), int(OvCgStatus::OnPvw));
        OvShortcutKey::instance().applyKeys(OvKeyMap());
    }

    // The running order through the window: built with Insert and Alt+Up, GO
    // from its button and from its key (a double press takes one cue), the
    // next mark following, the order kept in its file.
    void runningOrderThroughTheWindow()
    {
        QCOMPARE(logIn(), QString());
        m_core.takes()->clearAll(OvTakeCommand::RemoteApi);
        QTRY_VERIFY(std::none_of(model()->cgList().cbegin(), model()->cgList().cend(),
                                 [](auto* item) { return item->status() != OvCgStatus::Idle; }));
        OvRunningOrder* const order = m_core.order();
        order->clear();
        QApplication::setActiveWindow(m_window.get());
        for (int i : {0, 1, 2}) {
            model()->setCurrentCg(model()->cgAt(i));
            QTest::keyClick(m_window.get(), Qt::Key_Insert);
        }
        QTest::keyClick(m_window.get(), Qt::Key_Up, Qt::AltModifier);
        const auto cues = [order] {
            QStringList names;
            for (int i = 0; i < order->count(); ++i)
                names.append((i == order->nextIndex() ? "*" : "") + order->cueAt(i).name);
            return names;
        };
        const QString a = model()->cgAt(0)->name(), b = model()->cgAt(1)->name(), c = model()->cgAt(2)->name();
        QCOMPARE(cues(), (QStringList{"*" + a, c, b}));

        // GO names the cue it takes, cut to its width; the whole name is its description.
        OvGrayButton* const go = m_window->showWidget()->runningOrderPanel()->goButton();
        QCoreApplication::processEvents();
        QCOMPARE(go->text(), QStringLiteral("GO ▸ ") + a);
        QCOMPARE(go->accessibleDescription(), QStringLiteral("下一条：") + a);
        model()->cgAt(0)->setName(a.repeated(20), localOperatorInfo());
        QCoreApplication::processEvents();
        QVERIFY(go->text().endsWith(QChar(0x2026)) && go->fontMetrics().horizontalAdvance(go->text()) < go->width());
        QCOMPARE(go->accessibleDescription(), QStringLiteral("下一条：") + a.repeated(20));
        model()->cgAt(0)->setName(a, localOperatorInfo());
        go->click();
        QTRY_COMPARE(model()->cgAt(0)->status(), int(OvCgStatus::OnPgm));
        OvShortcutKey::instance().toggleShortcuts();
        QTest::qWait(OvTakeCommand::DefaultGuardMs + 50);
        QTest::keyClick(m_window.get(), Qt::Key_Space);
        QTest::keyClick(m_window.get(), Qt::Key_Space);
        QTRY_COMPARE(model()->cgAt(2)->status(), int(OvCgStatus::OnPgm));
        QTest::qWait(200);
        QCOMPARE(model()->cgAt(1)->status(), int(OvCgStatus::Idle));
        QCOMPARE(cues(), (QStringList{a, c, "*" + b}));
        QTRY_VERIFY(QFile::exists(OvRunningOrder::storePathFor(QStringLiteral("127.0.0.1"), m_port)));
        // A click on a cue gives the table the keyboard: Space still takes the next.
        QTableView* const table = m_window->showWidget()->runningOrderPanel()->table();
        QTest::qWait(OvTakeCommand::DefaultGuardMs + 50);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(table->model()->index(2, OvRunningOrderTable::NameColumn)).center());
        QTest::keyClick(table, Qt::Key_Space);
        QTRY_COMPARE(model()->cgAt(1)->status(), int(OvCgStatus::OnPgm));
        QTRY_COMPARE(go->text(), QStringLiteral("GO · 无下一条"));
        client()->disconnectFromServer();
        QTRY_COMPARE(go->text(), QStringLiteral("GO · 未连接"));
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"

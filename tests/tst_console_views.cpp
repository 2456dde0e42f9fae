// The main window's tiles, control bar and operation log against the CG server
// simulator on loopback: a publish from the control bar, the sending overlay
// until the server's notification, and other operators' changes.
#include "OvTestPeer.h"
#include "shell/OvConsoleCore.h"

#include "cg/OvCGCustomLabel.h"
#include "cg/OvCGListItemWidget.h"
#include "cg/OvCGListModel.h"
#include "cg/OvCGScrollareaWidget.h"
#include "cg/OvSubCGItem.h"
#include "log/OvCGOperationLogListWidget.h"
#include "log/OvCGOperationLogModel.h"
#include "net/OvTransferServer.h"
#include "shell/OvCGVestrel.h"

#include <OvUIUtility/OvGrayButton.h>
#include <OvUIUtility/OvLabel.h>

#include <QProcess>
#include <QAccessible>
#include <QTest>

#include <memory>

class TstConsoleViews : public QObject
{
    Q_OBJECT

private:
    // The take path and the rest of a console's parts, with the default settings.
    OvConsoleCore m_core{OvSettings()};
    std::unique_ptr<OvCGVestrel> m_window;
    QProcess m_sim;
    quint16 m_port = 0;

    OvCGListModel* model() const { return OvCGListModel::instance(); }
    OvCGScrollareaWidget* grid() const { return m_window->showWidget()->grid(); }

    void simCommand(const QByteArray& line) { m_sim.write(line + '\n'); }

    QString lastLogEntry() const
    {
        OvCGOperationLogListWidget* const list = m_window->showWidget()->logList();
        list->logModel()->flush();
        return list->count() ? list->model()->index(list->count() - 1, 0).data(Qt::UserRole).toString() : QString();
    }

private slots:
    void initTestCase()
    {
        QString error;
        m_port =
            OvTest::startSimulator(m_sim, {"--listen", "127.0.0.1", "--items", "6", "--discovery-port", "0"}, &error);
        QVERIFY2(m_port, qPrintable(error));
        m_window = std::make_unique<OvCGVestrel>(m_core);
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanupTestCase()
    {
        OvTransferServer* const client = OvTransferServer::instance();
        if (client->connectionState() != OvTransferServer::Idle)
            client->disconnectFromServer();
        QTRY_COMPARE_WITH_TIMEOUT(client->connectionState(), OvTransferServer::Idle, 3000);
        OvTest::stopSimulator(m_sim);
        m_window.reset();
    }

    void catalogueAsTiles()
    {
        QVERIFY(m_window->showWidget()->hintLabel()->isVisible());
        OvTransferServer::instance()->connectToServer(QStringLiteral("127.0.0.1"), QStringLiteral("580317"), m_port);
        QTRY_COMPARE_WITH_TIMEOUT(grid()->tileCount(), 6, 5000);
        QVERIFY(grid()->isVisible());
        QVERIFY(!m_window->showWidget()->hintLabel()->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(model()->thumbnailsPending(), 0, 5000);
        for (int i = 0; i < 6; ++i) {
            OvCGListItemWidget* const tile = grid()->tileAt(i);
            QCOMPARE(tile->cgItem(), model()->cgAt(i));
            QVERIFY(!tile->pictureLabel()->pixmap(Qt::ReturnByValue).isNull());
            QCOMPARE(tile->accessibleName(), model()->cgAt(i)->name());
        }
        QCOMPARE(grid()->currentTile(), grid()->tileAt(0));
    }

    void publishFromControlBar()
    {
        OvSubCGItem* item = nullptr;
        for (OvSubCGItem* candidate : model()->cgList())
            if (candidate->status() == 0)
                item = candidate;
        QVERIFY(item);
        model()->setCurrentCg(item);
        OvCGListItemWidget* const tile = grid()->tileAt(model()->indexOfCg(item));
        OvGrayButton* const pgm = m_window->controlWidget()->pgmButton();
        QVERIFY(pgm->isEnabled());

        // Pressed as a screen reader does: its action must send, not toggle.
        QAccessibleInterface* const accessible = QAccessible::queryAccessibleInterface(pgm);
        QVERIFY(accessible && accessible->actionInterface());
        QVERIFY(!accessible->state().checkable);
        bool sawSending = false;
        // The tile shows it in the same turn, after the item's change.
        const QMetaObject::Connection watch = connect(item, &OvSubCGItem::updateData, this, [&] {
            if (item->status() == 3)
                QMetaObject::invokeMethod(this, [&] { sawSending = sawSending || tile->isSending(); },
                                          Qt::QueuedConnection);
        });
        // Qt presses it as an animated click, a moment later.
        accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE_WITH_TIMEOUT(item->status(), 1, 5000);
        disconnect(watch);
        QCoreApplication::sendPostedEvents();
        QVERIFY(sawSending);
        QVERIFY(!tile->isSending());
        QCOMPARE(tile->pictureLabel()->property("type").toString(), QStringLiteral("sendPGM"));
        QCOMPARE(tile->accessibleDescription(), QStringLiteral("PGM"));
        QVERIFY(!pgm->isEnabled());
        QCOMPARE(lastLogEntry(), QStringLiteral("您:发布\"%1\"到PGM").arg(item->name()));
    }

    void followsOtherOperators()
    {
        OvSubCGItem* const first = model()->cgAt(0);
        simCommand("rename 0 \"<b>x</b>\"");
        QTRY_COMPARE_WITH_TIMEOUT(first->name(), QStringLiteral("<b>x</b>"), 5000);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(grid()->tileAt(0)->nameLabel()->text(), QStringLiteral("<b>x</b>"));
        QVERIFY(lastLogEntry().startsWith(QStringLiteral("ovcg-sim:重命名")));

        simCommand("status 0 2");
        QTRY_COMPARE_WITH_TIMEOUT(first->status(), 2, 5000);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(grid()->tileAt(0)->pictureLabel()->property("type").toString(), QStringLiteral("sendPVW"));
        QCOMPARE(lastLogEntry(), QStringLiteral("ovcg-sim:发布\"<b>x</b>\"到PVW"));

        simCommand("move 0 5");
        QTRY_COMPARE_WITH_TIMEOUT(grid()->tileAt(5)->cgItem(), first, 5000);

        simCommand("remove 5");
        QTRY_COMPARE_WITH_TIMEOUT(grid()->tileCount(), 5, 5000);
        simCommand("add Extra");
        QTRY_COMPARE_WITH_TIMEOUT(grid()->tileCount(), 6, 5000);
        QCOMPARE(grid()->tileAt(5)->cgItem()->name(), QStringLiteral("Extra"));
    }

    void disconnectShowsHint()
    {
        OvTransferServer::instance()->disconnectFromServer();
        QTRY_VERIFY_WITH_TIMEOUT(m_window->showWidget()->hintLabel()->isVisible(), 5000);
        QVERIFY(!grid()->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(grid()->tileCount(), 0, 5000);
    }
};

QTEST_MAIN(TstConsoleViews)
#include "tst_console_views.moc"

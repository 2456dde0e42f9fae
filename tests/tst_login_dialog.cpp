// The login dialog against the CG server simulator inside the test namespace:
// its widgets and settings, the automatic choice of the first server found,
// failed attempts that keep it open, and the login that closes it.

#include "OvTestPeer.h"
#include "OvTestSupport.h"

#include "cg/OvCGListModel.h"
#include "shell/OvLoginDlg.h"
#include "net/OvNetworkDiscovery.h"
#include "net/OvTransferServer.h"
#include "shell/OvTitlebar.h"

#include <OvUIUtility/OvComboBoxListView.h>
#include <OvUIUtility/OvGrayButton.h>
#include <OvUIUtility/OvLabel.h>
#include <OvUIUtility/OvLineEdit.h>
#include <OvUIUtility/OvYellowButton.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFrame>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLayout>
#include <QNetworkInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

namespace {

const QString RefusedText =
    QStringLiteral(u"远程拒绝连接或连接超时,请检查远程连接设置和网络状况后重试。");
const QString SimPassword = QStringLiteral(u" 演播 室 7 ");

bool insideTestNetwork()
{
    const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress& address : addresses) {
        if (address.toString().startsWith(QLatin1String("10.77.0.")))
            return true;
    }
    return false;
}

QString configPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/config.ini");
}

}  // namespace

class TestLoginDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void settingsAreReadOnce();
    void widgetTree();
    void portText_data();
    void portText();
    void firstServerChosenAndLogin();
    void otherRowChangesTheAddress();
    void badPortFailsAfterTheWait();

private:
    QProcess m_sim;
    quint16 m_simPort = 0;
    std::unique_ptr<OvLoginDlg> m_dialog;
};

void TestLoginDialog::initTestCase()
{
    if (!insideTestNetwork())
        QSKIP("needs the private test network (10.77.0.x); run through scripts/netns-run");
    QFile qss(QStringLiteral(OV_SOURCE_DIR "/qss/default.qss"));
    if (qss.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromUtf8(qss.readAll()));
    QFile::remove(configPath());
}

void TestLoginDialog::cleanupTestCase()
{
    m_dialog.reset();
    OvTest::stopSimulator(m_sim);
    QFile::remove(configPath());
}

void TestLoginDialog::settingsAreReadOnce()
{
    {
        const OvLoginDlg dialog;
        const auto edits = dialog.findChildren<OvLineEdit*>();
        QCOMPARE(edits.size(), 2);
        QCOMPARE(edits.at(0)->text(), QStringLiteral("19999"));
        QCOMPARE(edits.at(1)->text(), QStringLiteral("580317"));
        QCOMPARE(edits.at(1)->echoMode(), QLineEdit::Password);
    }
    QVERIFY(OvTest::writeFile(configPath(), "[CONFIG]\nport=19999abc\npassword=\"  two  words \"\n"));
    const OvLoginDlg dialog;
    const auto edits = dialog.findChildren<OvLineEdit*>();
    QCOMPARE(edits.at(0)->text(), QStringLiteral("0"));
    QCOMPARE(edits.at(1)->text(), QStringLiteral("  two  words "));
    // Later changes to the file do not reach a dialog already built, and the
    // dialog leaves the file as it found it.
    QVERIFY(OvTest::writeFile(configPath(), "[CONFIG]\nport=1234\n"));
    QCOMPARE(edits.at(0)->text(), QStringLiteral("0"));
    QCOMPARE(OvTest::readFile(configPath()), QByteArray("[CONFIG]\nport=1234\n"));
    QFile::remove(configPath());
}

void TestLoginDialog::widgetTree()
{
    const OvLoginDlg dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("OvLoginDlg"));
    QCOMPARE(dialog.moveResizeMode(), 1);

    const auto* titlebar = dialog.findChild<OvTitlebar*>();
    QVERIFY(titlebar);
    QCOMPARE(titlebar->titleLabel()->text(), QStringLiteral(u"连接设置"));

    const auto* frame = dialog.findChild<QFrame*>(QStringLiteral("OvLoginDlg_frame"));
    QVERIFY(frame);
    const auto labels = frame->findChildren<OvLabel*>(QStringLiteral("OvLabel"), Qt::FindDirectChildrenOnly);
    QCOMPARE(labels.size(), 3);
    const QStringList types{"OvLoginDlg_onlineLabel", "OvLoginDlg_portLabel", "OvLoginDlg_passwordLabel"};
    const QStringList texts{QStringLiteral(u"在线设备:"), QStringLiteral(u"端口设置:"),
                            QStringLiteral(u"密码设置:")};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(labels.at(i)->property("type").toString(), types.at(i));
        QCOMPARE(labels.at(i)->text(), texts.at(i));
    }

    const auto* list = dialog.findChild<OvComboBoxListView*>();
    QVERIFY(list);
    QCOMPARE(list->objectName(), QStringLiteral("OvComboBox"));
    QCOMPARE(list->model(), static_cast<QAbstractItemModel*>(OvNetworkDiscovery::instance()));
    for (const OvLineEdit* edit : dialog.findChildren<OvLineEdit*>())
        QCOMPARE(edit->objectName(), QStringLiteral("OvLineEdit"));

    QCOMPARE(frame->layout()->contentsMargins(), QMargins(10, 10, 10, 10));
    QCOMPARE(frame->layout()->spacing(), 10);
    QCOMPARE(frame->layout()->count(), 3);
    QVERIFY(frame->isAncestorOf(list));

    const auto* connectButton = dialog.findChild<OvYellowButton*>(QStringLiteral("OvYellowButton"));
    const auto* cancelButton = dialog.findChild<OvGrayButton*>(QStringLiteral("OvGrayButton"));
    QVERIFY(connectButton && cancelButton);
    QCOMPARE(connectButton->text(), QStringLiteral(u"连接"));
    QCOMPARE(connectButton->property("type").toString(), QStringLiteral("VirtualSceneManagerWidget_confirm"));
    QCOMPARE(cancelButton->text(), QStringLiteral(u"取消"));
    QCOMPARE(cancelButton->property("type").toString(), QStringLiteral("VirtualSceneManagerWidget_cancel"));

    QLayout* const outer = dialog.layout();
    QCOMPARE(outer->contentsMargins(), QMargins(0, 0, 0, 10));
    QCOMPARE(outer->spacing(), 10);
    QCOMPARE(outer->count(), 4);
    QCOMPARE(outer->itemAt(0)->widget(), static_cast<const QWidget*>(titlebar));
    QLayout* const content = outer->itemAt(1)->layout();
    QCOMPARE(content->contentsMargins(), QMargins(15, 5, 15, 10));
    QCOMPARE(content->spacing(), 14);
    QLayout* const buttons = content->itemAt(1)->layout();
    QCOMPARE(buttons->contentsMargins(), QMargins(0, 0, 10, 0));
    QCOMPARE(buttons->spacing(), 10);

    // The cancel button closes without connecting.
    OvLoginDlg shown;
    shown.show();
    QSignalSpy rejected(&shown, &QDialog::rejected);
    QTest::mouseClick(shown.findChild<OvGrayButton*>(QStringLiteral("OvGrayButton")), Qt::LeftButton);
    QCOMPARE(rejected.count(), 1);
    QVERIFY(!shown.isVisible());
    QCOMPARE(OvTransferServer::instance()->connectionState(), OvTransferServer::Idle);
}

void TestLoginDialog::portText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("plain") << "19999" << 19999;
    QTest::newRow("trailing letters") << "19999abc" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("hex") << "0x4e1f" << 0;
    QTest::newRow("negative") << "-1" << 0;
    QTest::newRow("beyond 16 bits") << "85535" << 0;
    QTest::newRow("highest") << "65535" << 65535;
}

void TestLoginDialog::portText()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    QCOMPARE(OvLoginDlg::portFromText(text), port);
}

void TestLoginDialog::firstServerChosenAndLogin()
{
    m_dialog = std::make_unique<OvLoginDlg>();
    auto* list = m_dialog->findChild<OvComboBoxListView*>();
    const auto edits = m_dialog->findChildren<OvLineEdit*>();
    OvLineEdit* const portEdit = edits.at(0);
    OvLineEdit* const passwordEdit = edits.at(1);
    OvNetworkDiscovery* const discovery = OvNetworkDiscovery::instance();

    // Whatever earlier cases saw has long expired: the list starts empty.
    QTRY_COMPARE_WITH_TIMEOUT(discovery->rowCount(), 0, 8000);
    QCOMPARE(list->currentIndex(), -1);
    QVERIFY(m_dialog->selectedAddress().isEmpty());

    // On every address and the usual discovery port, as a studio's server.
    QString error;
    m_simPort = OvTest::startSimulator(m_sim,
                                       {"--listen", "0.0.0.0", "--discovery-port", "45320", "--password", SimPassword,
                                        "--items", "3", "--name", "studio-sim"},
                                       &error);
    QVERIFY2(m_simPort, qPrintable(error));
    QElapsedTimer sinceStart;
    sinceStart.start();
    // The simulator answers the next announcement: within one period.
    QTRY_VERIFY_WITH_TIMEOUT(discovery->rowCount() > 0, 3000 + 1000);
    qInfo("simulator listed after %lld ms", sinceStart.elapsed());
    QCOMPARE(list->currentIndex(), 0);
    const auto endpoint = discovery->index(0).data(Qt::UserRole).value<networkEndpoint>();
    QCOMPARE(endpoint.name, QStringLiteral("studio-sim"));
    QCOMPARE(endpoint.port, int(m_simPort));
    QCOMPARE(m_dialog->selectedAddress(), endpoint.address.toString());
    QVERIFY(m_dialog->selectedAddress().startsWith(QLatin1String("10.77.0.")));

    portEdit->setText(QString::number(m_simPort));
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    m_dialog->adjustSize();
    QVERIFY(m_dialog->grab().save(QDir::tempPath() + QStringLiteral("/login.png")));

    // The password goes out as typed: trimmed, the simulator refuses it.
    const OvTest::ErrorRecorder errors;
    OvTransferServer* const client = OvTransferServer::instance();
    QSignalSpy connectSpy(client, &OvTransferServer::signalConnect);
    passwordEdit->setText(SimPassword.trimmed());
    QTest::mouseClick(m_dialog->findChild<OvYellowButton*>(QStringLiteral("OvYellowButton")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!errors.texts.isEmpty(), 6000);
    QCOMPARE(connectSpy.count(), 1);
    QCOMPARE(connectSpy.at(0).at(0).toBool(), false);
    QVERIFY(m_dialog->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(client->connectionState(), OvTransferServer::Idle, 3000);

    // Exactly as configured on the server, spaces and all: the login closes
    // the dialog, run modally as the main window does.
    passwordEdit->setText(SimPassword);
    m_dialog->hide();
    QTimer::singleShot(0, m_dialog.get(), [this]() {
        QTest::mouseClick(m_dialog->findChild<OvYellowButton*>(QStringLiteral("OvYellowButton")), Qt::LeftButton);
    });
    QTimer::singleShot(15000, m_dialog.get(), &QDialog::reject);  // a bound, should it hang
    QCOMPARE(m_dialog->exec(), int(QDialog::Accepted));
    QCOMPARE(client->connectionState(), OvTransferServer::LoggedIn);
    QCOMPARE(connectSpy.count(), 2);
    QCOMPARE(connectSpy.at(1).at(0).toBool(), true);
    QTRY_COMPARE_WITH_TIMEOUT(OvCGListModel::instance()->count(), 3, 5000);

    client->disconnectFromServer();
    QTRY_COMPARE_WITH_TIMEOUT(client->connectionState(), OvTransferServer::Idle, 3000);
    QCOMPARE(errors.texts.size(), 1);  // nothing for the operator's own disconnect
    // The field contents stay for the next showing.
    QCOMPARE(passwordEdit->text(), SimPassword);
}

void TestLoginDialog::otherRowChangesTheAddress()
{
    QVERIFY(m_dialog);
    auto* list = m_dialog->findChild<OvComboBoxListView*>();
    OvNetworkDiscovery* const discovery = OvNetworkDiscovery::instance();
    const QString first = m_dialog->selectedAddress();
    QVERIFY(!first.isEmpty());

    QUdpSocket other;
    QVERIFY(other.bind(QHostAddress(QStringLiteral("10.77.0.2")), 0));
    const QByteArray answer = QJsonDocument(QJsonObject{{"cg_server_ver", 1}, {"is_login", true},
                                                        {"account_name", "ops"}})
                                  .toJson();
    other.writeDatagram(answer, QHostAddress::LocalHost, OvNetworkDiscovery::DefaultListenPort);
    QTRY_COMPARE_WITH_TIMEOUT(discovery->rowCount(), 2, 3000);
    // A new row does not take the choice away from the current one.
    QCOMPARE(m_dialog->selectedAddress(), first);
    QCOMPARE(list->itemText(1), QStringLiteral("10.77.0.2(ops)"));
    list->setCurrentIndex(1);
    QCOMPARE(m_dialog->selectedAddress(), QStringLiteral("10.77.0.2"));
    list->setCurrentIndex(0);
    QCOMPARE(m_dialog->selectedAddress(), first);
}

void TestLoginDialog::badPortFailsAfterTheWait()
{
    QVERIFY(m_dialog);
    const auto edits = m_dialog->findChildren<OvLineEdit*>();
    edits.at(0)->setText(QStringLiteral("19999abc"));
    m_dialog->show();

    const OvTest::ErrorRecorder errors;
    OvTransferServer* const client = OvTransferServer::instance();
    QSignalSpy connectSpy(client, &OvTransferServer::signalConnect);
    QElapsedTimer elapsed;
    elapsed.start();
    QTest::mouseClick(m_dialog->findChild<OvYellowButton*>(QStringLiteral("OvYellowButton")), Qt::LeftButton);
    QCOMPARE(client->connectionState(), OvTransferServer::Connecting);
    // A second press while the attempt runs changes nothing.
    QTest::mouseClick(m_dialog->findChild<OvYellowButton*>(QStringLiteral("OvYellowButton")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!errors.texts.isEmpty(), 8000);
    // The whole login wait passes before the attempt is given up.
    QVERIFY2(elapsed.elapsed() >= 3990, qPrintable(QString::number(elapsed.elapsed())));
    QCOMPARE(errors.texts.first(), RefusedText);
    QCOMPARE(connectSpy.count(), 1);
    QCOMPARE(connectSpy.at(0).at(0).toBool(), false);
    QVERIFY(m_dialog->isVisible());
    m_dialog->hide();
}

QTEST_MAIN(TestLoginDialog)
#include "tst_login_dialog.moc"

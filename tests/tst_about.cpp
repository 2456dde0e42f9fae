// The about box, the version text and the help viewer.

#include "OvTestSupport.h"

#include "shell/OvAboutDlg.h"
#include "shell/OvHelpViewer.h"
#include "shell/OvTitlebar.h"
#include "shell/OvVersionInfo.h"

#include <OvUIUtility/OvButton.h>
#include <OvUIUtility/OvLabel.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QTimer>

namespace {

QStringList labelTexts(const QWidget& dialog)
{
    QStringList texts;
    for (OvLabel* label : dialog.findChildren<OvLabel*>(QStringLiteral("OvLabel"), Qt::FindDirectChildrenOnly))
        texts << label->text();
    return texts;
}

const QString fakeViewer = QStringLiteral(OV_TEST_PROGS_DIR "/ov_fake_viewer");

}  // namespace

class TstAbout : public QObject
{
    Q_OBJECT
private slots:
    void composeVersionText_data();
    void composeVersionText();
    void buildVersionData();
    void aboutRows();
    void aboutWithoutVersionData();
    void aboutCentresInParent();
    void helpOpensHtmlWithoutWaiting();
    void helpPrefersChmWhenViewerExists();
    void helpWithoutFilesOrViewer();
    void helpCoversConnectionErrors();
    void cleanup();
};

void TstAbout::composeVersionText_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("text");
    QTest::newRow("release") << "1.0.0.1128" << "0.0.1128.6124" << "1.0.0.1128.6124";
    QTest::newRow("no dot") << "7" << "0.0.1128.6124" << "7.0.0.1128.6124";
    QTest::newRow("leading dot") << ".5" << "1.2" << ".1.2";
    QTest::newRow("two digits") << "12.3" << "4.5" << "12.4.5";
    QTest::newRow("no product version") << "" << "0.0.1128.6124" << "";
    QTest::newRow("no file version") << "1.0.0.1128" << "" << "";
}

void TstAbout::composeVersionText()
{
    QFETCH(QString, product);
    QFETCH(QString, file);
    QFETCH(QString, text);
    QCOMPARE(OvVersionInfo::composeVersionText(product, file), text);
}

void TstAbout::buildVersionData()
{
    const OvVersionInfo& info = OvVersionInfo::instance();
    QCOMPARE(&info, &OvVersionInfo::instance());
    QCOMPARE(info.versionText(), QStringLiteral("1.0.0.1128.6124"));
    QCOMPARE(info.productName(), QStringLiteral("OvCGVestrel"));
    // What an operator reads is filled in and never a stand-in.
    const QStringList shown = {info.companyName(), info.legalCopyright(), info.description(),
                               OvVersionInfo::companyAddress(), OvVersionInfo::companyTelephone(),
                               OvVersionInfo::companyMail()};
    for (const QString& text : shown) {
        QVERIFY(!text.isEmpty());
        for (const char* stub : {"placeholder", "占位", ".invalid", "example"})
            QVERIFY2(!text.contains(QString::fromUtf8(stub), Qt::CaseInsensitive), qPrintable(text));
    }
}

void TstAbout::aboutRows()
{
    OvAboutDlg about(nullptr);
    QCOMPARE(about.objectName(), QStringLiteral("OvAboutDlg"));
    QCOMPARE(about.titlebar()->titleLabel()->text(), QStringLiteral("关于软件"));
    QVERIFY(about.titlebar()->iconLabel()->isHidden());
    QVERIFY(about.titlebar()->maximizeButton()->isHidden());
    QVERIFY(about.titlebar()->minimizeButton()->isHidden());
    const OvVersionInfo& info = OvVersionInfo::instance();
    const QStringList expected = {
        QStringLiteral("软件名称: ") + info.productName(),
        QStringLiteral("软件版本: 1.0.0.1128.6124"),
        QStringLiteral("公司名称: ") + info.companyName(),
        QStringLiteral("公司地址: ") + OvVersionInfo::companyAddress(),
        QStringLiteral("电话: ") + OvVersionInfo::companyTelephone(),
        QStringLiteral("邮箱: ") + OvVersionInfo::companyMail(),
        QStringLiteral("版权: ") + info.legalCopyright(),
    };
    QCOMPARE(labelTexts(about), expected);
}

void TstAbout::aboutWithoutVersionData()
{
    const OvVersionInfo empty({}, {}, {}, {}, {}, {});
    OvAboutDlg about(empty, nullptr);
    const QStringList texts = labelTexts(about);
    QCOMPARE(texts.size(), 7);
    QCOMPARE(texts.at(0), QStringLiteral("软件名称: "));
    QCOMPARE(texts.at(1), QStringLiteral("软件版本: "));
    QCOMPARE(texts.at(2), QStringLiteral("公司名称: "));
    QCOMPARE(texts.at(3), QStringLiteral("公司地址: ") + OvVersionInfo::companyAddress());
    QCOMPARE(texts.at(4), QStringLiteral("电话: ") + OvVersionInfo::companyTelephone());
    QCOMPARE(texts.at(5), QStringLiteral("邮箱: ") + OvVersionInfo::companyMail());
    QCOMPARE(texts.at(6), QStringLiteral("版权: "));
    QVERIFY(!OvVersionInfo::companyAddress().isEmpty());
}

void TstAbout::aboutCentresInParent()
{
    QWidget window;
    window.resize(1000, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    OvAboutDlg about(&window);
    about.resize(400, 300);
    QRect seen;
    OvTest::closeModalWhenShown(5000, 20, [&](QWidget*) { seen = about.geometry(); });
    // The box is a panel inside the window, so it is not the active modal
    // widget; close it from a timer as well.
    QTimer::singleShot(200, &about, [&] {
        if (seen.isNull())
            seen = about.geometry();
        about.reject();
    });
    about.exec();
    QCOMPARE(seen, QRect(300, 200, 400, 300));
    QVERIFY(!about.isWindow());

    // An odd size rounds each half down.
    OvAboutDlg odd(&window);
    odd.resize(401, 301);
    odd.show();
    QCOMPARE(odd.pos(), QPoint(500 - 200, 350 - 150));
}

void TstAbout::helpOpensHtmlWithoutWaiting()
{
    const QString html = OvHelpViewer::htmlHelpPath();
    QVERIFY(OvTest::writeFile(html, "<html><body>help</body></html>"));
    QFile::remove(OvHelpViewer::chmHelpPath());
    const QString record = OvTest::freshDir(QStringLiteral("viewer")) + QStringLiteral("/html.txt");
    OvHelpViewer::setHtmlViewerCommand(fakeViewer, {record, QStringLiteral("1500")});

    QObject owner;
    QElapsedTimer clock;
    clock.start();
    QPointer<QProcess> process = OvHelpViewer::open(&owner);
    QVERIFY(process);
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(process->parent(), &owner);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(OvTest::readFile(record), html.toUtf8(), 5000);
    // Still running, still there; gone once the viewer ends.
    QVERIFY(process);
    QTRY_VERIFY_WITH_TIMEOUT(process.isNull(), 15000);
}

void TstAbout::helpPrefersChmWhenViewerExists()
{
    QVERIFY(OvTest::writeFile(OvHelpViewer::htmlHelpPath(), "<html></html>"));
    QVERIFY(OvTest::writeFile(OvHelpViewer::chmHelpPath(), "ITSF"));
    const QString dir = OvTest::freshDir(QStringLiteral("viewer-chm"));
    OvHelpViewer::setChmViewerCommand(fakeViewer, {dir + QStringLiteral("/chm.txt"), QStringLiteral("0")});
    OvHelpViewer::setHtmlViewerCommand(fakeViewer, {dir + QStringLiteral("/html.txt"), QStringLiteral("0")});

    QObject owner;
    QPointer<QProcess> process = OvHelpViewer::open(&owner);
    QVERIFY(process);
    QTRY_VERIFY_WITH_TIMEOUT(process.isNull(), 15000);
    QCOMPARE(OvTest::readFile(dir + QStringLiteral("/chm.txt")), OvHelpViewer::chmHelpPath().toUtf8());
    QVERIFY(!QFile::exists(dir + QStringLiteral("/html.txt")));

    // In English the English page opens, the Chinese CHM notwithstanding.
    const QString english = QCoreApplication::applicationDirPath() + QStringLiteral("/help/en/index.html");
    QVERIFY(OvTest::writeFile(english, "<html lang=\"en\"></html>"));
    OvHelpViewer::setLanguage(QStringLiteral("en"));
    process = OvHelpViewer::open(&owner);
    OvHelpViewer::setLanguage(QString());
    QVERIFY(process);
    QTRY_VERIFY_WITH_TIMEOUT(process.isNull(), 15000);
    QCOMPARE(OvTest::readFile(dir + QStringLiteral("/html.txt")), english.toUtf8());
    QFile::remove(dir + QStringLiteral("/html.txt"));

    // A CHM viewer that is not installed: the HTML help opens instead.
    OvHelpViewer::setChmViewerCommand(dir + QStringLiteral("/no-such-viewer"));
    process = OvHelpViewer::open(&owner);
    QVERIFY(process);
    QTRY_VERIFY_WITH_TIMEOUT(process.isNull(), 15000);
    QCOMPARE(OvTest::readFile(dir + QStringLiteral("/html.txt")), OvHelpViewer::htmlHelpPath().toUtf8());
}

void TstAbout::helpWithoutFilesOrViewer()
{
    QFile::remove(OvHelpViewer::chmHelpPath());
    QFile::remove(OvHelpViewer::htmlHelpPath());
    const QString dir = OvTest::freshDir(QStringLiteral("viewer-none"));
    OvHelpViewer::setHtmlViewerCommand(fakeViewer, {dir + QStringLiteral("/html.txt"), QStringLiteral("0")});
    QObject owner;
    // No help beside the program: nothing starts.
    QVERIFY(!OvHelpViewer::open(&owner));
    QVERIFY(owner.children().isEmpty());

    // A viewer that cannot start: the request fails quietly and leaves no object.
    QVERIFY(OvTest::writeFile(OvHelpViewer::htmlHelpPath(), "<html></html>"));
    OvHelpViewer::setHtmlViewerCommand(dir + QStringLiteral("/missing-viewer"));
    QPointer<QProcess> process = OvHelpViewer::open(&owner);
    QTRY_VERIFY_WITH_TIMEOUT(process.isNull(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(owner.children().isEmpty(), 10000);

    // The owner going first takes a running viewer's object with it.
    OvHelpViewer::setHtmlViewerCommand(fakeViewer, {dir + QStringLiteral("/html.txt"), QStringLiteral("5000")});
    auto* shortLived = new QObject;
    process = OvHelpViewer::open(shortLived);
    QVERIFY(process);
    QVERIFY(process->waitForStarted(5000));
    delete shortLived;
    QVERIFY(process.isNull());
}

void TstAbout::helpCoversConnectionErrors()
{
    const QString page = QString::fromUtf8(OvTest::readFile(QStringLiteral(OV_SOURCE_DIR "/help/index.html")));
    QVERIFY(!page.isEmpty());
    // Every text the operator can meet in the connection message box is explained.
    const QStringList errors = {
        QStringLiteral("连接失败，当前设备已被加入黑名单，请修改远程黑名单设置。"),
        QStringLiteral("远程拒绝连接或连接超时,请检查远程连接设置和网络状况后重试。"),
        QStringLiteral("登录帐号没有软件使用权限，请联系Tolva客服。"),
        QStringLiteral("采编录播一体化系统未登陆，请登陆后重试。"),
        QStringLiteral("远程断开连接，当前设备已被加入黑名单。"),
        QStringLiteral("远程断开连接，登录帐号没有软件使用权限，请联系Tolva客服。"),
        QStringLiteral("远程断开连接，请检查远程连接设置和网络状况后重试。"),
        QStringLiteral("通讯数据异常,连接已断开!"),
        QStringLiteral("套接字操作失败，因为应用程序缺乏所需的权限。"),
        QStringLiteral("资源耗尽，本地接口不足。"),
        QStringLiteral("数据报大于操作系统的限制。"),
        QStringLiteral("地址被占用。"),
        QStringLiteral("无效地址。"),
        QStringLiteral("不支持该操作。"),
        QStringLiteral("操作还在运行。"),
        QStringLiteral("操作错误。"),
        QStringLiteral("未知错误。"),
    };
    for (const QString& error : errors)
        QVERIFY2(page.contains(error), qPrintable(error));
    for (const char* topic : {"Ctrl", "19999", "PGM", "PVW", "log/log.txt", "45321"})
        QVERIFY2(page.contains(QLatin1String(topic)), topic);
}

void TstAbout::cleanup()
{
    OvHelpViewer::setChmViewerCommand(QString());
    OvHelpViewer::setHtmlViewerCommand(QString());
}

QTEST_MAIN(TstAbout)
#include "tst_about.moc"

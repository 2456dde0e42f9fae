// The widget gallery starts, shows every section and saves its picture.
#include "OvTestSupport.h"

#include <QImage>
#include <QProcess>
#include <QTest>

class TstGallery : public QObject
{
    Q_OBJECT

private slots:
    void savesItsScreenshot()
    {
        const QString shot = OvTest::freshDir(QStringLiteral("gallery")) + QStringLiteral("/gallery.png");
        QProcess gallery;
        gallery.setProcessChannelMode(QProcess::ForwardedChannels);
        gallery.start(QStringLiteral(OV_RUN_DIR "/ovuigallery"), {QStringLiteral("--screenshot"), shot});
        QVERIFY(gallery.waitForFinished(30000));
        QCOMPARE(gallery.exitStatus(), QProcess::NormalExit);
        QCOMPARE(gallery.exitCode(), 0);
        const QImage image(shot);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() >= 600 && image.height() >= 400);  // bounded by the screen
        // The window's dark ground, from the library's style sheet and the gallery's frame.
        QCOMPARE(image.pixelColor(2, 2), QColor(0x1e, 0x22, 0x28));
    }
};

QTEST_GUILESS_MAIN(TstGallery)
#include "tst_gallery.moc"

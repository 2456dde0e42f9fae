// Picture label: format detection, shaping policies, widget rounding; node icon table.
#include "OvTestSupport.h"

#include <OvUIUtility/FileFormateImage.h>
#include <OvUIUtility/MakeMaskPictureHandlePolicy.h>
#include <OvUIUtility/MakeMaskPictureWithLine.h>
#include <OvUIUtility/MakeRoundPictureHandlePolicy.h>
#include <OvUIUtility/PictureLabel.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTest>

class TstPictureLabel : public QObject
{
    Q_OBJECT

private:
    QString m_dir;

    QString path(const QString& name) const { return m_dir + QLatin1Char('/') + name; }

    static QByteArray encode(const QImage& image, const char* format)
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return bytes;
    }

    static QImage filled(const QSize& size, const QColor& colour)
    {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(colour);
        return image;
    }

    static QImage shown(const PictureLabel& label) { return label.pixmap(Qt::ReturnByValue).toImage(); }

    enum Policy { MaskPolicy, RoundPolicy, LinePolicy };

    static void applyPolicy(PictureLabel& label, int policy, const QString& mask)
    {
        switch (policy) {
        case MaskPolicy:
            QVERIFY(label.makeRound(QSize(64, 64), mask));
            break;
        case RoundPolicy:
            label.setRoundMode(32, mask);
            break;
        default:
            label.makeRoundWithLine(QSize(64, 64), mask);
        }
    }

private slots:
    void initTestCase()
    {
        m_dir = OvTest::freshDir(QStringLiteral("pictures"));
        const QImage red = filled(QSize(40, 30), Qt::red);
        QVERIFY(OvTest::writeFile(path("png_named.jpg"), encode(red, "PNG")));
        QVERIFY(OvTest::writeFile(path("jpeg_named.png"), encode(filled(QSize(24, 16), Qt::blue), "JPEG")));
        QVERIFY(OvTest::writeFile(path("plain.bmp"), encode(filled(QSize(20, 10), Qt::green), "BMP")));
        QVERIFY(OvTest::writeFile(path("photo.png"), encode(red, "PNG")));
        QVERIFY(OvTest::writeFile(path("upper.PNG"), encode(red, "PNG")));
        QVERIFY(OvTest::writeFile(path("unknown"), QByteArray("neither a picture nor anything else")));
        QVERIFY(OvTest::writeFile(path("cut.png"), encode(red, "PNG").left(40)));
        QVERIFY(OvTest::writeFile(path("empty.jpg"), QByteArray()));
        // Transparent source, for the policies' own steps.
        QVERIFY(OvTest::writeFile(path("clear.png"), encode(filled(QSize(10, 10), Qt::transparent), "PNG")));
        // Mask: the top-left quadrant is opaque (cut away), the rest clear.
        QImage mask = filled(QSize(64, 64), Qt::transparent);
        QPainter(&mask).fillRect(0, 0, 32, 32, Qt::black);
        QVERIFY(OvTest::writeFile(path("quadrant_mask.png"), encode(mask, "PNG")));
    }

    void formatDetection_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QSize>("size");

        QTest::newRow("PNG named .jpg") << "png_named.jpg" << "png" << QSize(40, 30);
        QTest::newRow("JPEG named .png") << "jpeg_named.png" << "jpg" << QSize(24, 16);
        QTest::newRow("BMP by suffix") << "plain.bmp" << "bmp" << QSize(20, 10);
        QTest::newRow("upper-case suffix, PNG inside") << "upper.PNG" << "png" << QSize(40, 30);
        QTest::newRow("unknown without suffix") << "unknown" << "" << QSize(0, 0);
        QTest::newRow("PNG cut short") << "cut.png" << "png" << QSize(0, 0);
        QTest::newRow("empty file") << "empty.jpg" << "jpg" << QSize(0, 0);
        QTest::newRow("missing file") << "missing.png" << "png" << QSize(0, 0);
    }

    void formatDetection()
    {
        QFETCH(QString, file);
        QFETCH(QString, format);
        QFETCH(QSize, size);
        QCOMPARE(PictureLabel::detectedFormat(path(file)), format);
        PictureLabel label;
        QCOMPARE(label.setPicturePath(path(file)), size);
        QCOMPARE(label.pixmap(Qt::ReturnByValue).size(), size);
    }

    void labelDefaults()
    {
        PictureLabel label;
        QCOMPARE(label.objectName(), QStringLiteral("PictureLabel"));
        QVERIFY(label.hasScaledContents());
        QVERIFY(label.policy() != nullptr);
        QCOMPARE(QString::fromLatin1(label.metaObject()->className()), QStringLiteral("PictureLabel"));
        QCOMPARE(PictureLabel(QStringLiteral("X_m_photo"), nullptr).objectName(), QStringLiteral("X_m_photo"));
    }

    void shapingKeepsPolicySize_data()
    {
        QTest::addColumn<int>("policy");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("maskLoads");
        const QPair<int, const char*> policies[] = {{MaskPolicy, "mask"}, {RoundPolicy, "round"}, {LinePolicy, "line"}};
        for (const auto& p : policies) {
            for (const char* file : {"photo.png", "plain.bmp", "jpeg_named.png", "unknown"}) {
                QTest::addRow("%s, %s", p.second, file) << p.first << QString::fromLatin1(file) << true;
            }
            QTest::addRow("%s, mask missing", p.second) << p.first << QStringLiteral("photo.png") << false;
        }
    }

    void shapingKeepsPolicySize()
    {
        QFETCH(int, policy);
        QFETCH(QString, file);
        QFETCH(bool, maskLoads);
        PictureLabel label;
        applyPolicy(label, policy, path(maskLoads ? "quadrant_mask.png" : "no_mask.png"));
        QCOMPARE(label.setPicturePath(path(file)), QSize(64, 64));
    }

    // Each policy's pixels: the mask cuts, the round one backs with white inside
    // the circle, the line one shows its grey border where the picture is clear.
    void policyPixels_data()
    {
        QTest::addColumn<int>("policy");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QColor>("colour");

        const QColor clear(0, 0, 0, 0);
        QTest::newRow("mask: cut quadrant is clear") << int(MaskPolicy) << "photo.png" << QPoint(10, 10) << clear;
        QTest::newRow("mask: rest shows the picture") << int(MaskPolicy) << "photo.png" << QPoint(48, 48) << QColor(Qt::red);
        QTest::newRow("mask: no backing") << int(MaskPolicy) << "clear.png" << QPoint(48, 48) << clear;
        QTest::newRow("round: picture on top") << int(RoundPolicy) << "photo.png" << QPoint(48, 48) << QColor(Qt::red);
        QTest::newRow("round: white inside circle") << int(RoundPolicy) << "clear.png" << QPoint(32, 32) << QColor(Qt::white);
        QTest::newRow("round: cut part inside circle is white")
            << int(RoundPolicy) << "photo.png" << QPoint(28, 28) << QColor(Qt::white);
        QTest::newRow("round: clear outside circle") << int(RoundPolicy) << "clear.png" << QPoint(1, 62) << clear;
        QTest::newRow("line: border where clear") << int(LinePolicy) << "clear.png" << QPoint(32, 0) << QColor("#d7d7d7");
        QTest::newRow("line: inside stays clear") << int(LinePolicy) << "clear.png" << QPoint(32, 32) << clear;
        QTest::newRow("line: picture hides border") << int(LinePolicy) << "photo.png" << QPoint(48, 0) << QColor(Qt::red);
    }

    void policyPixels()
    {
        QFETCH(int, policy);
        QFETCH(QString, file);
        QFETCH(QPoint, at);
        QFETCH(QColor, colour);
        PictureLabel label;
        applyPolicy(label, policy, path("quadrant_mask.png"));
        label.setPicturePath(path(file));
        const QColor got = shown(label).pixelColor(at);
        if (colour.alpha() == 0)
            QCOMPARE(got.alpha(), 0);
        else
            QCOMPARE(got, colour);
    }

    void policyChangeAffectsNextPictureOnly()
    {
        PictureLabel label;
        QCOMPARE(label.setPicturePath(path("photo.png")), QSize(40, 30));
        label.setRoundMode(10, path("quadrant_mask.png"));
        QCOMPARE(label.pixmap(Qt::ReturnByValue).size(), QSize(40, 30));
        QCOMPARE(label.setPicturePath(path("photo.png")), QSize(20, 20));
        label.setRoundMode(0, path("quadrant_mask.png"));
        QCOMPARE(label.setPicturePath(path("photo.png")), QSize(0, 0));
    }

    void widgetRounding_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("radius");
        QTest::addColumn<bool>("rounded");

        QTest::newRow("20 on 30 high refuses") << QSize(100, 30) << 20 << false;
        QTest::newRow("15 on 30 high fits") << QSize(100, 30) << 15 << true;
        QTest::newRow("16 on 30 wide refuses") << QSize(30, 100) << 16 << false;
        QTest::newRow("0 gives a plain mask") << QSize(40, 40) << 0 << true;
        QTest::newRow("negative refuses") << QSize(40, 40) << -3 << false;
        QTest::newRow("no size yet refuses") << QSize(0, 0) << 0 << false;
    }

    void widgetRounding()
    {
        QFETCH(QSize, size);
        QFETCH(int, radius);
        QFETCH(bool, rounded);
        PictureLabel label;
        label.resize(size);
        QCOMPARE(label.makeRound(radius), rounded);
        QCOMPARE(label.mask().isEmpty(), !rounded);
        if (rounded) {
            QVERIFY(label.mask().contains(QPoint(size.width() / 2, size.height() / 2)));
            QCOMPARE(label.mask().contains(QPoint(0, 0)), radius == 0);
            // Fixed to the size at the call.
            label.resize(size * 2);
            QVERIFY(!label.mask().contains(QPoint(size.width() + 2, size.height() / 2)));
        }
    }

    void iconTable_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("relative");
        for (const QString& kind : FileFormateImage::nodeKinds())
            QTest::newRow(qPrintable(kind)) << kind << QStringLiteral("/Resources/treewidget/%1.png").arg(kind);
        QTest::newRow("Camera falls back") << "Camera" << "/Resources/studio4626.png";
        QTest::newRow("empty key falls back") << "" << "/Resources/studio4626.png";
        QTest::newRow("selected root falls back") << "root_selected" << "/Resources/studio4626.png";
    }

    void iconTable()
    {
        QFETCH(QString, key);
        QFETCH(QString, relative);
        const FileFormateImage& table = FileFormateImage::instance();
        QCOMPARE(table.imageResourceName(key), QCoreApplication::applicationDirPath() + relative);
    }

    void iconTableShape()
    {
        QCOMPARE(&FileFormateImage::instance(), &FileFormateImage::instance());
        const QStringList kinds = FileFormateImage::nodeKinds();
        QCOMPARE(kinds.size(), 19);
        QStringList unique = kinds;
        QCOMPARE(unique.removeDuplicates(), 0);
        QCOMPARE(kinds.filter(QStringLiteral("_selected")).size(), 9);
        // No files beside the test program: every icon is empty, without error.
        QVERIFY(FileFormateImage::instance().imageResource(QStringLiteral("camera")).pixmap(16, 16).isNull());
    }

    // The build draws the artwork beside the program in the runnable tree.
    void artworkPlacedByBuild()
    {
        const QString resources = QStringLiteral(OV_RUN_DIR "/Resources");
        for (const QString& kind : FileFormateImage::nodeKinds()) {
            const QImage icon(resources + QStringLiteral("/treewidget/%1.png").arg(kind));
            QVERIFY2(!icon.isNull(), qPrintable(kind));
            QCOMPARE(icon.size(), QSize(24, 24));
            if (kind.endsWith(QLatin1String("_selected"))) {
                const QImage plain(resources + QStringLiteral("/treewidget/%1.png").arg(kind.chopped(9)));
                QVERIFY2(plain != icon, qPrintable(kind));
            }
        }
        QCOMPARE(QImage(resources + QStringLiteral("/studio4626.png")).size(), QSize(24, 24));
        for (const char* mask : {"round_64", "rounded_64", "round_96", "rounded_96"})
            QVERIFY(!QImage(resources + QStringLiteral("/mask/%1.png").arg(QLatin1String(mask))).isNull());

        // The round mask leaves a disc of the picture.
        PictureLabel label;
        label.setRoundMode(32, resources + QStringLiteral("/mask/round_64.png"));
        label.setPicturePath(path("photo.png"));
        QCOMPARE(shown(label).pixelColor(32, 32), QColor(Qt::red));
        QCOMPARE(shown(label).pixelColor(0, 0).alpha(), 0);
    }
};

QTEST_MAIN(TstPictureLabel)
#include "tst_picturelabel.moc"

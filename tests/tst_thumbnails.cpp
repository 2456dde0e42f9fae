// Thumbnails from a server: decoded scaled down, held to the catalogue's byte
// budget, and a list's decoded on several threads with the same outcome.

#include "OvTestPeer.h"

#include "cg/OvCGListModel.h"
#include "cg/OvSubCGItem.h"
#include "cg/OvThumbnailDecoder.h"
#include "net/OvTransferServer.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>
#include <QtEndian>

namespace {

QString pngBase64(const QSize& size, QImage::Format format = QImage::Format_RGB32, QRgb colour = qRgb(40, 90, 200))
{
    QImage image(size, format);
    if (format == QImage::Format_Mono) {
        image.fill(0);
    } else if (format == QImage::Format_Indexed8) {
        image.setColorTable({qRgb(1, 2, 3), colour});
        image.fill(1);
    } else {
        image.fill(colour);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(png.toBase64());
}

// An interlaced (Adam7) 8-bit RGBA PNG of one colour; Qt writes none itself.
QString interlacedPngBase64(const QSize& size, QRgb colour)
{
    const auto crc32 = [](const QByteArray& data) {
        quint32 crc = 0xffffffffu;
        for (const char byte : data) {
            crc ^= quint8(byte);
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    const auto chunk = [&crc32](const char* type, const QByteArray& data) {
        QByteArray out(4, '\0');
        qToBigEndian(quint32(data.size()), out.data());
        const QByteArray body = QByteArray(type) + data;
        QByteArray crc(4, '\0');
        qToBigEndian(crc32(body), crc.data());
        return out + body + crc;
    };
    QByteArray header(13, '\0');
    qToBigEndian(quint32(size.width()), header.data());
    qToBigEndian(quint32(size.height()), header.data() + 4);
    header[8] = 8;   // bits per channel
    header[9] = 6;   // RGBA
    header[12] = 1;  // Adam7
    const char pixel[4] = {char(qRed(colour)), char(qGreen(colour)), char(qBlue(colour)), char(qAlpha(colour))};
    QByteArray raw;
    const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (const auto& p : passes) {
        const int w = size.width() > p[0] ? (size.width() - p[0] + p[2] - 1) / p[2] : 0;
        const int h = size.height() > p[1] ? (size.height() - p[1] + p[3] - 1) / p[3] : 0;
        if (w == 0)
            continue;
        QByteArray row(1, '\0');
        for (int x = 0; x < w; ++x)
            row.append(pixel, 4);
        for (int y = 0; y < h; ++y)
            raw += row;
    }
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header)
                           + chunk("IDAT", qCompress(raw).mid(4)) + chunk("IEND", {});
    return QString::fromLatin1(png.toBase64());
}

// A 4096 x 4096 one-bit PNG: about 2 KB of base64, 64 MB as a full-size picture.
const QString& bomb()
{
    static const QString text = pngBase64(QSize(4096, 4096), QImage::Format_Mono);
    return text;
}

QJsonObject cgObject(const QString& name, const QString& image)
{
    return {{"guid", QUuid::createUuid().toString()}, {"name", name}, {"status", 0}, {"imageBase64", image}};
}

}  // namespace

class TstThumbnails : public QObject
{
    Q_OBJECT

private:
    OvCGListModel* model() const { return OvCGListModel::instance(); }

private slots:
    void cleanup()
    {
        OvTransferServer* const client = OvTransferServer::instance();
        if (client->connectionState() != OvTransferServer::Idle) {
            client->disconnectFromServer();
            QTRY_COMPARE_WITH_TIMEOUT(client->connectionState(), OvTransferServer::Idle, 3000);
        }
        model()->clearCg();
        model()->setImageBudget(OvCGListModel::DefaultImageBudget);
        QCOMPARE(model()->imageBytes(), 0);
    }

    void bombsDecodeSmall()
    {
        // Thirty in the list, then one more by each kind of notification.
        OvTestPeer server;
        QJsonArray list;
        for (int i = 0; i < 30; ++i)
            list.append(cgObject(QStringLiteral("bomb %1").arg(i), bomb()));
        QVERIFY(server.logInConsole("t", list));
        QTRY_COMPARE_WITH_TIMEOUT(model()->thumbnailsPending(), 0, 10000);
        for (OvSubCGItem* item : model()->cgList())
            QCOMPARE(item->image().size(), QSize(180, 180));
        QCOMPARE(model()->imageBytes(), 30 * 180 * 180 * 4);

        const QString first = model()->cgAt(0)->guid();
        const QString wide = pngBase64(QSize(8192, 2048), QImage::Format_Mono);
        server.send(OvTestPeer::notifyCG(first, 3, {{"imageBase64", wide}}));
        QTRY_COMPARE_WITH_TIMEOUT(model()->cgAt(0)->image().width(), 320, 5000);
        QCOMPARE(model()->cgAt(0)->image().size(), QSize(320, 80));
        server.send(OvTestPeer::notifyCG(QString(), 6, cgObject("added", bomb())));
        QTRY_COMPARE_WITH_TIMEOUT(model()->count(), 31, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(model()->cgAt(30)->image().size(), QSize(180, 180), 5000);
        QCOMPARE(model()->imageBytes(), 30 * 180 * 180 * 4 + 320 * 80 * 4);
    }

    void scaledSizes_data()
    {
        QTest::addColumn<QSize>("declared");
        QTest::addColumn<int>("format");
        QTest::addColumn<QSize>("decoded");
        const int mono = QImage::Format_Mono;
        QTest::newRow("tile size") << QSize(160, 90) << int(QImage::Format_RGB32) << QSize(160, 90);
        QTest::newRow("fits exactly") << QSize(320, 180) << int(QImage::Format_ARGB32) << QSize(320, 180);
        QTest::newRow("twice too big") << QSize(640, 360) << int(QImage::Format_RGB32) << QSize(320, 180);
        QTest::newRow("tall") << QSize(90, 1600) << mono << QSize(10, 180);
        QTest::newRow("wide sliver") << QSize(4000, 2) << mono << QSize(320, 1);
        QTest::newRow("small, odd shape") << QSize(7, 100) << mono << QSize(7, 100);
        QTest::newRow("palette") << QSize(3000, 3000) << int(QImage::Format_Indexed8) << QSize(180, 180);
        QTest::newRow("grey") << QSize(1000, 500) << int(QImage::Format_Grayscale8) << QSize(320, 160);
        QTest::newRow("16-bit") << QSize(2000, 1000) << int(QImage::Format_RGBA64) << QSize(320, 160);
        // Read whole at 8 bytes a pixel: 128 MB before any scaling, refused.
        QTest::newRow("16-bit, 4096 square") << QSize(4096, 4096) << int(QImage::Format_RGBA64) << QSize();
        QTest::newRow("over 16 megapixels") << QSize(4097, 4096) << mono << QSize();
        // Interlaced pictures are read whole whatever their kind: bounded like the others.
        QTest::newRow("interlaced") << QSize(1000, 500) << -1 << QSize(320, 160);
        QTest::newRow("interlaced, 4096 square") << QSize(4096, 4096) << -1 << QSize();
    }

    void scaledSizes()
    {
        QFETCH(QSize, declared);
        QFETCH(int, format);
        QFETCH(QSize, decoded);
        const QString text = format < 0 ? interlacedPngBase64(declared, qRgb(40, 90, 200))
                                         : pngBase64(declared, QImage::Format(format));
        QCOMPARE(OvThumbnailDecoder::decodedSize(text), decoded);
        const QImage image = OvThumbnailDecoder::decode(text, OvCGListModel::DefaultImageBudget);
        QCOMPARE(image.isNull(), !decoded.isValid());
        if (!image.isNull()) {
            QCOMPARE(image.size(), decoded);
            if (format != QImage::Format_Mono && format != QImage::Format_Indexed8)
                QCOMPARE(QColor(image.pixel(decoded.width() / 2, decoded.height() / 2)).blue(), 200);
        }
    }

    void budgetGoesFrontToBack()
    {
        // Room for three full-size thumbnails: the fourth and fifth show none.
        const qint64 one = 320 * 180 * 4;
        model()->setImageBudget(3 * one + one / 2);
        OvTestPeer server;
        QJsonArray list;
        for (int i = 0; i < 5; ++i)
            list.append(cgObject(QString::number(i), pngBase64(QSize(640, 360))));
        list.append(cgObject("small", pngBase64(QSize(16, 9))));  // fits into what is left
        QVERIFY(server.logInConsole("t", list));
        QTRY_COMPARE_WITH_TIMEOUT(model()->thumbnailsPending(), 0, 10000);
        QStringList pictured;
        for (OvSubCGItem* item : model()->cgList())
            pictured << (item->image().isNull() ? "-" : item->name());
        QCOMPARE(pictured, (QStringList{"0", "1", "2", "-", "-", "small"}));
        QCOMPARE(model()->imageBytes(), 3 * one + 16 * 9 * 4);

        // A changed picture beyond the budget is dropped, still signalled.
        QSignalSpy updates(model(), &OvCGListModel::SingalCGUpdate);
        const QString fourth = model()->cgAt(3)->guid();
        server.send(OvTestPeer::notifyCG(fourth, 3, {{"imageBase64", pngBase64(QSize(320, 180))}}));
        QVERIFY(updates.wait(3000));
        QCOMPARE(updates.first().at(1).toInt(), int(OvSubCGItem::ImageUpdate));
        QVERIFY(model()->cgAt(3)->image().isNull());
        // Once a pictured item goes, its share is free again.
        server.send(OvTestPeer::notifyCG(model()->cgAt(0)->guid(), 5, {}));
        QTRY_COMPARE_WITH_TIMEOUT(model()->count(), 5, 3000);
        QCOMPARE(model()->imageBytes(), 2 * one + 16 * 9 * 4);
        server.send(OvTestPeer::notifyCG(fourth, 3, {{"imageBase64", pngBase64(QSize(320, 180))}}));
        QTRY_VERIFY_WITH_TIMEOUT(!model()->cgAt(2)->image().isNull(), 3000);
        QCOMPARE(model()->imageBytes(), 3 * one + 16 * 9 * 4);
    }

    // Pictures come from worker threads: the change is signalled at once, in
    // its order, and the latest picture asked for is the one shown, however
    // long an earlier decode takes.
    void laterPictureWins()
    {
        model()->resetCgList({cgItemData{QUuid::createUuid(), 0, QStringLiteral("a"), QPixmap()}});
        OvSubCGItem* const item = model()->cgAt(0);
        QSignalSpy updates(model(), &OvCGListModel::SingalCGUpdate);
        const operatorInfo info{QStringLiteral("{op}"), QString(), QStringLiteral("Zhang"), QString()};
        model()->changeThumbnail(item, interlacedPngBase64(QSize(2000, 1000), qRgb(200, 0, 0)), info);
        model()->changeThumbnail(item, pngBase64(QSize(16, 9)), info);
        QCOMPARE(updates.count(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(model()->thumbnailsPending(), 0, 5000);
        QCOMPARE(item->image().size(), QSize(16, 9));
        QCOMPARE(updates.count(), 2);  // the pictures' arrival is not a change of its own
        QCOMPARE(model()->imageBytes(), 16 * 9 * 4);
        // A decode still running when the catalogue goes is dropped.
        model()->changeThumbnail(item, pngBase64(QSize(320, 180)), info);
        model()->clearCg();
        QCOMPARE(model()->thumbnailsPending(), 0);
        QTest::qWait(100);
        QCOMPARE(model()->imageBytes(), 0);
    }

    void parallelDecodeKeepsOrder()
    {
        QStringList texts;
        for (int i = 0; i < 200; ++i) {
            // Some not PNG at all, some beyond the budget, the rest distinct colours.
            if (i % 17 == 3)
                texts << QStringLiteral("not a picture %1").arg(i);
            else
                texts << pngBase64(QSize(200 + i, 100), QImage::Format_RGB32, qRgb(i, 255 - i, i / 2));
        }
        const qint64 budget = 100LL * 250 * 100 * 4;  // room for about half of them
        const QList<QImage> single = OvThumbnailDecoder::decodeAll(texts, budget, 1);
        const QList<QImage> parallel = OvThumbnailDecoder::decodeAll(texts, budget, 4);
        QCOMPARE(parallel.size(), texts.size());
        qint64 left = budget;
        int pictured = 0;
        for (int i = 0; i < texts.size(); ++i) {
            QCOMPARE(parallel.at(i), single.at(i));
            // The budget goes to the front of the list, whatever thread finished first.
            const qint64 cost = OvThumbnailDecoder::costOf(OvThumbnailDecoder::decodedSize(texts.at(i)));
            const bool fits = i % 17 != 3 && cost <= left;
            QCOMPARE(!parallel.at(i).isNull(), fits);
            if (fits) {
                left -= cost;
                ++pictured;
                QCOMPARE(parallel.at(i).pixel(0, 0), qRgb(i, 255 - i, i / 2));
            }
        }
        QVERIFY(pictured > 50 && pictured < 150);
    }

    // A program that quits while decodes are still queued ends cleanly: they
    // stop before the application object takes QtGui's image readers with it.
    void quitWhileDecoding()
    {
        for (int run = 0; run < 3; ++run) {
            QProcess program;
            program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            program.start(QStringLiteral(OV_TEST_PROGS_DIR "/quit_while_decoding"), {QStringLiteral("300")});
            QVERIFY(program.waitForFinished(60000));
            const QByteArray said = program.readAllStandardOutput().trimmed();
            QVERIFY2(said.startsWith("pending ") && said.mid(8).toInt() > 0, said.constData());
            QCOMPARE(program.exitStatus(), QProcess::NormalExit);
            QCOMPARE(program.exitCode(), 0);
        }
    }
};

QTEST_MAIN(TstThumbnails)
#include "tst_thumbnails.moc"

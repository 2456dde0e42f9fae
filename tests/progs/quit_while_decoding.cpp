// Built like the console's main: the application on the stack, the model
// process-wide. Quits while a catalogue's thumbnails are still being decoded;
// exits 0 unless that ends in a crash.

#include "cg/OvCGListModel.h"
#include "cg/cgItemData.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Made before QtGui's image readers first load: those then go first at exit.
    OvCGListModel* const model = OvCGListModel::instance();
    // Busy enough to decode that most are still queued when it quits.
    QImage image(640, 360, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const QString base64 = QString::fromLatin1(png.toBase64());
    QList<cgItemData> list;
    for (int i = 0; i < 20000; ++i)
        list.append({QStringLiteral("{00000000-0000-0000-0000-%1}").arg(i, 12, 10, QLatin1Char('0')), 0,
                     QString::number(i), QPixmap()});
    model->resetCgList(list, QStringList(QVector<QString>(list.size(), base64).toList()));
    QTimer::singleShot(argc > 1 ? QByteArray(argv[1]).toInt() : 1000, &app, [] {
        // Said, so that a run that decoded everything in time is not taken for a pass.
        std::printf("pending %d\n", OvCGListModel::instance()->thumbnailsPending());
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return QApplication::exec();
}

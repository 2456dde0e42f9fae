#include "cg/cgItemData.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

QPixmap cgItemData::imageFromBase64(const QString& base64)
{
    const QByteArray png = QByteArray::fromBase64(base64.toLocal8Bit());
    if (png.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "PNG");
    // A thumbnail is 160 x 90; a few bytes of PNG can declare a picture of
    // gigabytes, so anything absurdly large is refused before it is decoded.
    const QSize declared = reader.size();
    if (!declared.isValid() || qint64(declared.width()) * declared.height() > MaxImagePixels)
        return {};
    const QImage image = reader.read();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

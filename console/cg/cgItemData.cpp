#include "cg/cgItemData.h"

#include <QByteArray>

QPixmap cgItemData::imageFromBase64(const QString& base64)
{
    QPixmap image;
    const QByteArray png = QByteArray::fromBase64(base64.toLocal8Bit());
    if (!png.isEmpty())
        image.loadFromData(png, "PNG");
    return image;
}

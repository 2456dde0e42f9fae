#pragma once

#include "cg/OvThumbnailDecoder.h"

#include <QPixmap>
#include <QString>
#include <QUuid>

// One CG item as the server describes it.
struct cgItemData
{
    QUuid guid;       // null until set
    qint32 status = 0; // 0 idle, 1 on PGM, 2 on PVW, 3 local request outstanding
    QString name;
    QPixmap image;    // null when absent or not decodable

    // Largest picture a thumbnail may declare (16 megapixels).
    static constexpr qint64 MaxImagePixels = OvThumbnailDecoder::MaxDeclaredPixels;

    // Thumbnail from the server's base64 PNG text, scaled down while decoded
    // to fit 320 x 180; a null pixmap when the text is not base64 PNG,
    // declares a picture larger than MaxImagePixels, or the catalogue's image
    // budget has no room left for it.
    static QPixmap imageFromBase64(const QString& base64);
};

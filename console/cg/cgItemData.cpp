#include "cg/cgItemData.h"

#include "cg/OvCGListModel.h"
#include "cg/OvThumbnailDecoder.h"

#include <QImage>

QPixmap cgItemData::imageFromBase64(const QString& base64)
{
    // A picture for a new item: what the catalogue's budget leaves is its limit.
    QImage image = OvThumbnailDecoder::decode(base64, OvCGListModel::instance()->imageBytesFree(nullptr));
    return image.isNull() ? QPixmap() : QPixmap::fromImage(std::move(image));
}

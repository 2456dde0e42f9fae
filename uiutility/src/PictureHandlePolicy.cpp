#include "OvUIUtility/PictureHandlePolicy.h"

#include <QImage>
#include <QPainter>

PictureHandlePolicy::~PictureHandlePolicy() = default;

void PictureHandlePolicy::cutOut(QPixmap& pixmap, const QSize& size, const QPixmap& mask,
                                 const std::function<void(QPainter&, const QRect&)>& behind)
{
    if (size.isEmpty()) {
        pixmap = QPixmap();
        return;
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(image.rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (!pixmap.isNull())
        painter.drawPixmap(0, 0, pixmap.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    if (!mask.isNull())
        painter.drawPixmap(0, 0, mask);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
    if (behind)
        behind(painter, image.rect());
    painter.end();
    pixmap = QPixmap::fromImage(image);
}

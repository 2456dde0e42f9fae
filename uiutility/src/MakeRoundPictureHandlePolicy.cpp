#include "OvUIUtility/MakeRoundPictureHandlePolicy.h"

#include <QPainter>

MakeRoundPictureHandlePolicy::MakeRoundPictureHandlePolicy(const QSize& size, const QString& maskPath)
    : m_size(size), m_mask(maskPath)
{
}

MakeRoundPictureHandlePolicy::~MakeRoundPictureHandlePolicy() = default;

void MakeRoundPictureHandlePolicy::handle(QPixmap& pixmap)
{
    cutOut(pixmap, m_size, m_mask, [](QPainter& painter, const QRect& rect) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(rect);
    });
}

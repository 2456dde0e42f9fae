#include "OvUIUtility/MakeMaskPictureWithLine.h"

#include <QPainter>

MakeMaskPictureWithLine::MakeMaskPictureWithLine(const QSize& size, const QString& maskPath)
    : m_size(size), m_mask(maskPath)
{
}

MakeMaskPictureWithLine::~MakeMaskPictureWithLine() = default;

void MakeMaskPictureWithLine::handle(QPixmap& pixmap)
{
    cutOut(pixmap, m_size, m_mask, [](QPainter& painter, const QRect& rect) {
        painter.setPen(QPen(QColor(QStringLiteral("#d7d7d7")), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(rect, 10, 10, Qt::AbsoluteSize);
    });
}

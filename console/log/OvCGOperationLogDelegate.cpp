#include "log/OvCGOperationLogDelegate.h"

#include "log/OvCGOperationLogEntry.h"
#include "log/OvCGOperationLogListWidget.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>

namespace {

const QColor timeColor(0xaa, 0xaa, 0xaa);
const QColor textColor(0xdc, 0xdc, 0xdc);

// Lays "title:text" out in lines of the given width; returns its height.
qreal layOut(QTextLayout& layout, const OvCGOperationLogEntry& entry, const QFont& font, int width)
{
    const QString title = entry.title() + QLatin1Char(':');
    layout.setText(title + entry.message());
    layout.setFont(font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QTextLayout::FormatRange titleRange;
    titleRange.start = 0;
    titleRange.length = title.size();
    titleRange.format.setForeground(QColor(entry.titleColor()));
    QTextLayout::FormatRange textRange;
    textRange.start = title.size();
    textRange.length = entry.message().size();
    textRange.format.setForeground(textColor);
    layout.setFormats({titleRange, textRange});
    const QFontMetricsF metrics(font);
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += metrics.lineSpacing();
    }
    layout.endLayout();
    return height;
}

}  // namespace

OvCGOperationLogDelegate::OvCGOperationLogDelegate(OvCGOperationLogListWidget* list)
    : QStyledItemDelegate(list), m_list(list)
{
}

OvCGOperationLogDelegate::~OvCGOperationLogDelegate() = default;

int OvCGOperationLogDelegate::textWidth() const
{
    return qMax(20, m_list->viewport()->width() - 2 * PaddingX);
}

QSize OvCGOperationLogDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const OvCGOperationLogEntry* const entry = m_list->entryAt(index);
    if (!entry)
        return QStyledItemDelegate::sizeHint(option, index);
    const int width = textWidth();
    int height = entry->cachedHeight(width);
    if (height < 0) {
        // Measured once per entry and width: the list asks for every row's
        // size each time it lays itself out.
        QTextLayout layout;
        const qreal message = layOut(layout, *entry, option.font, width);
        height = int(QFontMetricsF(option.font).lineSpacing() + LineGap + message + 0.999) + 2 * PaddingY;
        entry->setCachedHeight(width, height);
    }
    return QSize(width + 2 * PaddingX, height);
}

void OvCGOperationLogDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    const OvCGOperationLogEntry* const entry = m_list->entryAt(index);
    if (!entry) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // Row background (hover, selection) from the style sheet's ::item rules.
    QStyleOptionViewItem panel(option);
    panel.text.clear();
    const QWidget* const widget = option.widget;
    QStyle* const style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &panel, painter, widget);

    painter->save();
    painter->setClipRect(option.rect);
    const QRect inner = option.rect.adjusted(PaddingX, PaddingY, -PaddingX, -PaddingY);
    const QFontMetricsF metrics(option.font);
    painter->setFont(option.font);
    painter->setPen(timeColor);
    painter->drawText(QRectF(inner.left(), inner.top(), inner.width(), metrics.lineSpacing()),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, entry->time());

    QTextLayout layout;
    layOut(layout, *entry, option.font, inner.width());
    layout.draw(painter, QPointF(inner.left(), inner.top() + metrics.lineSpacing() + LineGap));
    painter->restore();
}

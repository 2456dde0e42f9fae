#include "log/OvCGOperationLogDelegate.h"

#include "log/OvCGOperationLogEntry.h"
#include "log/OvCGOperationLogListWidget.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

namespace {

const QColor timeColor(0xaa, 0xaa, 0xaa);
const QColor textColor(0xdc, 0xdc, 0xdc);

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
        // The list asks for every row's size each time it lays itself out
        // (every step of a divider drag): wrapping is arithmetic on widths
        // measured once per entry.
        const QFontMetricsF metrics(option.font);
        const int lines = entry->wrapped(option.font).lineCount(width);
        height = int(metrics.lineSpacing() * (1 + lines) + LineGap + 0.999) + 2 * PaddingY;
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

    // "title:" in the type's colour, then the text, line by line as sizeHint
    // wrapped them; drawn as plain strings, never markup.
    const OvWrappedText& wrapped = entry->wrapped(option.font);
    const QString& text = wrapped.text();
    const int titleEnd = qMin(text.size(), entry->title().size() + 1);
    const QColor titleColor(entry->titleColor());
    qreal baseline = inner.top() + metrics.lineSpacing() + LineGap + metrics.ascent();
    int start = 0;
    for (const int end : wrapped.lineEnds(inner.width())) {
        const auto drawPart = [&](int from, int to, const QColor& color) {
            if (from >= to)
                return;
            painter->setPen(color);
            painter->drawText(QPointF(inner.left() + wrapped.advance(start, from), baseline), text.mid(from, to - from));
        };
        drawPart(start, qMin(end, titleEnd), titleColor);
        drawPart(qMax(start, titleEnd), end, textColor);
        baseline += metrics.lineSpacing();
        start = end;
    }
    painter->restore();
}

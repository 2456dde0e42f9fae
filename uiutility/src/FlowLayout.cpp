#include "OvUIUtility/FlowLayout.h"

#include <QWidget>
#include <QWidgetItem>

FlowLayout::FlowLayout(QWidget* parent, int margin, int hSpacing, int vSpacing)
    : QLayout(parent), m_hSpace(hSpacing), m_vSpace(vSpacing)
{
    setContentsMargins(margin, margin, margin, margin);
}

FlowLayout::FlowLayout(int margin, int hSpacing, int vSpacing) : m_hSpace(hSpacing), m_vSpace(vSpacing)
{
    setContentsMargins(margin, margin, margin, margin);
}

FlowLayout::~FlowLayout()
{
    // The widgets belong to the parent widget; only the items are ours.
    qDeleteAll(m_items);
    m_items.clear();
}

void FlowLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
    invalidate();
}

void FlowLayout::insertItem(int index, QLayoutItem* item)
{
    if (index >= m_items.size())
        m_items.append(item);
    else if (index < 0)
        m_items.prepend(item);
    else
        m_items.insert(index, item);
    invalidate();
}

void FlowLayout::insert(int index, QWidget* widget)
{
    auto* item = new QWidgetItem(widget);
    addChildWidget(widget);
    insertItem(index, item);
}

void FlowLayout::push_front(QWidget* widget)
{
    insert(0, widget);
}

int FlowLayout::count() const
{
    return m_items.size();
}

QLayoutItem* FlowLayout::itemAt(int index) const
{
    return m_items.value(index, nullptr);
}

QLayoutItem* FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem* const item = m_items.takeAt(index);
    invalidate();
    return item;
}

void FlowLayout::clear()
{
    for (int i = m_items.size() - 1; i >= 0; --i) {
        QLayoutItem* item = takeAt(i);
        delete item->widget();
        delete item;
    }
}

int FlowLayout::horizontalSpacing() const
{
    return m_hSpace >= 0 ? m_hSpace : smartSpacing(QStyle::PM_LayoutHorizontalSpacing);
}

int FlowLayout::verticalSpacing() const
{
    return m_vSpace >= 0 ? m_vSpace : smartSpacing(QStyle::PM_LayoutVerticalSpacing);
}

void FlowLayout::setHorizontalSpacing(int spacing)
{
    if (m_hSpace == spacing)
        return;
    m_hSpace = spacing;
    invalidate();
}

void FlowLayout::invalidate()
{
    m_cachedMinimumSize = QSize();
    m_cachedHfwWidth = -1;
    m_cachedHfwHeight = -1;
    QLayout::invalidate();
}

Qt::Orientations FlowLayout::expandingDirections() const
{
    return {};
}

bool FlowLayout::hasHeightForWidth() const
{
    return true;
}

int FlowLayout::heightForWidth(int width) const
{
    if (width != m_cachedHfwWidth) {
        m_cachedHfwHeight = doLayout(QRect(0, 0, width, 0), true);
        m_cachedHfwWidth = width;
    }
    return m_cachedHfwHeight;
}

void FlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    doLayout(rect, false);
}

QSize FlowLayout::sizeHint() const
{
    return minimumSize();
}

QSize FlowLayout::minimumSize() const
{
    if (m_cachedMinimumSize.isValid())
        return m_cachedMinimumSize;
    QSize size;  // (-1, -1): the accumulation starts from Qt's invalid size
    for (const QLayoutItem* item : m_items)
        size = size.expandedTo(item->minimumSize());
    // The margins the layout really applies (the style's when none was given,
    // each side its own when set apart), so the minimum always holds its items.
    int left = 0, top = 0, right = 0, bottom = 0;
    getContentsMargins(&left, &top, &right, &bottom);
    size += QSize(left + right, top + bottom);
    m_cachedMinimumSize = size;
    return size;
}

int FlowLayout::smartSpacing(QStyle::PixelMetric pm) const
{
    QObject* parentObject = parent();
    if (!parentObject)
        return -1;
    if (parentObject->isWidgetType()) {
        auto* pw = static_cast<QWidget*>(parentObject);
        return pw->style()->pixelMetric(pm, nullptr, pw);
    }
    return static_cast<QLayout*>(parentObject)->spacing();
}

int FlowLayout::doLayout(const QRect& rect, bool testOnly) const
{
    int left = 0, top = 0, right = 0, bottom = 0;
    getContentsMargins(&left, &top, &right, &bottom);
    const QRect effective = rect.adjusted(+left, +top, -right, -bottom);
    int x = effective.x();
    int y = effective.y();
    int lineHeight = 0;

    for (QLayoutItem* item : m_items) {
        const QWidget* wid = item->widget();
        int spaceX = horizontalSpacing();
        if (spaceX == -1)
            spaceX = wid ? wid->style()->layoutSpacing(QSizePolicy::PushButton, QSizePolicy::PushButton,
                                                        Qt::Horizontal)
                         : 0;
        int spaceY = verticalSpacing();
        if (spaceY == -1)
            spaceY = wid ? wid->style()->layoutSpacing(QSizePolicy::PushButton, QSizePolicy::PushButton,
                                                        Qt::Vertical)
                         : 0;
        const QSize hint = item->sizeHint();
        int nextX = x + hint.width() + spaceX;
        // An item ending exactly on the last column still wraps; the first item
        // of a line never does.
        if (nextX - spaceX > effective.right() && lineHeight > 0) {
            x = effective.x();
            y = y + lineHeight + spaceY;
            nextX = x + hint.width() + spaceX;
            lineHeight = 0;
        }
        if (!testOnly)
            item->setGeometry(QRect(QPoint(x, y), hint));
        x = nextX;
        lineHeight = qMax(lineHeight, hint.height());
    }
    return y + lineHeight - rect.y() + bottom;
}

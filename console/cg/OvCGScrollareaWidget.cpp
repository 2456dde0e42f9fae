#include "cg/OvCGScrollareaWidget.h"

#include "cg/OvCGListItemWidget.h"
#include "cg/OvCGListModel.h"
#include "cg/OvRunningOrder.h"
#include "cg/OvSearchFilter.h"
#include "cg/OvSubCGItem.h"
#include "shortcut/OvShortcutKey.h"

#include <QCursor>
#include <QFrame>
#include <QList>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSet>

namespace {

constexpr int TileWidth = 174;
// The designed tile, for a grid without the style sheet that sizes it.
constexpr int TileHeight = 142;
constexpr int Margin = 5;
constexpr int VerticalSpacing = 5;
// Pixels one scroll-bar step moves (three per wheel notch).
constexpr int ScrollStep = 20;

}  // namespace

OvCGScrollareaWidget::OvCGScrollareaWidget(OvSearchFilter* filter, const OvRunningOrder* order, QWidget* parent)
    : QScrollArea(parent), m_filter(filter), m_order(order)
{
    setFocusPolicy(Qt::NoFocus);
    setObjectName(QStringLiteral("OvCGScrollareaWidget"));
    // The badges of the few items the running order counts down, and of
    // those that just stopped.
    connect(order, &OvRunningOrder::countdownChanged, this, [this, order] {
        const QList<QUuid> counting = order->counting();
        for (const QUuid& guid : counting + std::exchange(m_counting, counting)) {
            const OvSubCGItem* const item = OvCGListModel::instance()->findCg(guid);
            if (OvCGListItemWidget* const tile = item ? m_bound.value(item, nullptr) : nullptr)
                tile->refreshTally();
        }
    });

    OvCGListModel* const model = OvCGListModel::instance();
    connect(model, &OvCGListModel::SingalCGInserted, this, &OvCGScrollareaWidget::addCg);
    connect(model, &OvCGListModel::SignalCgMoved, this, &OvCGScrollareaWidget::SlotCgMoved);
    connect(model, &OvCGListModel::SingalCGRemoved, this, &OvCGScrollareaWidget::catalogueChanged);
    connect(filter, &OvSearchFilter::changed, this, &OvCGScrollareaWidget::filterChanged);
    connect(model, &OvCGListModel::SignalCurrentCGChanged, this, &OvCGScrollareaWidget::onCurrentChanged);

    setMouseTracking(true);

    // The scroll area has no widget of its own: the range is the grid's
    // arithmetic height, and the content frame only holds the band of rows
    // around the view (a widget as tall as 100,000 tiles would pass Qt's limit).
    m_content = new QFrame(viewport());
    m_content->setMouseTracking(true);
    m_content->setObjectName(QStringLiteral("cg_show_widget"));
    // Screen readers (and the end-to-end tests) find the tiles under this name.
    m_content->setAccessibleName(tr("CG列表"));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(ScrollStep);
    // Shown while the pointer is over the grid; its room stays reserved, so
    // the tiles do not reflow when it appears.
    verticalScrollBar()->hide();
}

int OvCGScrollareaWidget::tileCount() const
{
    const_cast<OvCGScrollareaWidget*>(this)->sync();
    return m_bound.size();
}

OvCGListItemWidget* OvCGScrollareaWidget::tileAt(int index) const
{
    return tileOf(OvCGListModel::instance()->cgAt(index));
}

OvCGListItemWidget* OvCGScrollareaWidget::tileOf(const OvSubCGItem* item) const
{
    const_cast<OvCGScrollareaWidget*>(this)->sync();
    return item ? m_bound.value(item, nullptr) : nullptr;
}

OvCGListItemWidget* OvCGScrollareaWidget::currentTile() const
{
    return tileOf(OvCGListModel::instance()->currentCg());
}

QSize OvCGScrollareaWidget::tileSize() const
{
    if (m_tileSize.isValid())
        return m_tileSize;
    // All tiles have the size the style sheet fixes; one tile, polished,
    // tells it.
    OvCGListItemWidget probe(nullptr, nullptr);
    probe.setAttribute(Qt::WA_DontShowOnScreen);
    probe.ensurePolished();
    const QSize fixed = probe.minimumSize();
    if (fixed == probe.maximumSize() && fixed.width() > 0 && fixed.height() > 0)
        m_tileSize = fixed;
    else
        m_tileSize = QSize(TileWidth, TileHeight);
    return m_tileSize;
}

int OvCGScrollareaWidget::rowPitch() const
{
    return tileSize().height() + VerticalSpacing;
}

int OvCGScrollareaWidget::rowCount() const
{
    return (m_filter->shownCount() + perRow() - 1) / perRow();
}

void OvCGScrollareaWidget::filterChanged()
{
    // A new text starts at the top, with the current item in view if shown;
    // a change of the catalogue under the same text leaves the view where it is.
    if (m_filter->text() != m_shownText) {
        m_shownText = m_filter->text();
        verticalScrollBar()->setValue(0);
        m_shownReported[0] = -1;  // the count is told for every new text
        m_scrollToCurrent = true;
        m_dirty = true;
        sync();
        return;
    }
    markDirty();
}

void OvCGScrollareaWidget::catalogueChanged()
{
    markDirty();
}

QPair<int, int> OvCGScrollareaWidget::bandRows(int scroll) const
{
    // One screen above and below stays bound, so scrolling never meets an empty row.
    const int pitch = rowPitch();
    const int height = viewport()->height();
    const int screenRows = height / pitch + 1;
    return {qMax(0, scroll / pitch - screenRows), qMin(rowCount() - 1, (scroll + height) / pitch + screenRows)};
}

int OvCGScrollareaWidget::perRow() const
{
    // Below one full column the tiles still stand one per row.
    return qMax(1, m_columns);
}

QRect OvCGScrollareaWidget::tileRect(int position) const
{
    const QSize size = tileSize();
    const int row = position / perRow();
    const int column = position % perRow();
    return QRect(QPoint(Margin + column * (size.width() + m_spacing), Margin + row * rowPitch()), size);
}

void OvCGScrollareaWidget::relayout()
{
    const int available = width() - 10;
    m_columns = available / (TileWidth + 10);
    int spacing = 5;
    if (m_columns == 0 || m_columns == 1)
        spacing = (available - TileWidth) / 2;
    else if (TileWidth * m_columns < available)
        spacing = (available - TileWidth * m_columns - 10) / (m_columns - 1) - 3;
    m_spacing = spacing;
    // At once, so that a resize never paints an empty frame.
    m_dirty = true;
    sync();
}

void OvCGScrollareaWidget::markDirty()
{
    m_dirty = true;
    m_sync.request();
}

void OvCGScrollareaWidget::sync()
{
    if (m_dirty || m_scrollToCurrent)
        rebind();
    const int shown = m_filter->shownCount();
    const int total = OvCGListModel::instance()->count();
    if (shown != m_shownReported[0] || total != m_shownReported[1]) {
        m_shownReported[0] = shown;
        m_shownReported[1] = total;
        emit shownChanged(shown, total);
    }
}

void OvCGScrollareaWidget::updateScrollRange()
{
    const int rows = rowCount();
    const int height = rows == 0 ? 2 * Margin : Margin + rows * rowPitch() - VerticalSpacing + Margin;
    QScrollBar* const bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    bar->setRange(0, qMax(0, height - viewport()->height()));
}

void OvCGScrollareaWidget::scrollToIndex(int index)
{
    if (index < 0)
        return;
    // As ensureWidgetVisible(tile, 50, 50) did: the least scroll that shows
    // the tile with a margin, none when it is in view already.
    const QRect rect = tileRect(index);
    QScrollBar* const bar = verticalScrollBar();
    const int top = bar->value();
    const int height = viewport()->height();
    const int margin = qMin(50, qMax(0, (height - rect.height()) / 2));
    if (rect.top() - margin < top)
        bar->setValue(rect.top() - margin);
    else if (rect.bottom() + margin >= top + height)
        bar->setValue(rect.bottom() + margin - height + 1);
}

void OvCGScrollareaWidget::rebind()
{
    if (m_rebinding)
        return;
    m_rebinding = true;
    m_dirty = false;
    updateScrollRange();
    if (m_scrollToCurrent) {
        m_scrollToCurrent = false;
        scrollToIndex(currentIndex());
    }

    const int n = m_filter->shownCount();
    const int scroll = verticalScrollBar()->value();
    const int pitch = rowPitch();
    const auto [firstRow, lastRow] = bandRows(scroll);
    const int first = firstRow * perRow();
    const int last = qMin(n - 1, (lastRow + 1) * perRow() - 1);

    QSet<const OvSubCGItem*> band;
    band.reserve(last - first + 1);
    for (int i = first; i <= last; ++i)
        band.insert(m_filter->shownAt(i));
    for (auto it = m_bound.begin(); it != m_bound.end();) {
        if (band.contains(it.key())) {
            ++it;
            continue;
        }
        OvCGListItemWidget* const tile = it.value();
        it = m_bound.erase(it);
        tile->hide();
        tile->setCgItem(nullptr);
        m_spare.append(tile);
    }

    m_bandTop = firstRow * pitch;
    m_bandRows[0] = firstRow;
    m_bandRows[1] = lastRow;
    const int bandHeight = qMax(0, lastRow - firstRow + 1) * pitch + Margin;
    m_content->setGeometry(0, m_bandTop - scroll, viewport()->width(), bandHeight);

    const bool pointerInside = viewport()->underMouse();
    const QPoint pointer = pointerInside ? m_content->mapFromGlobal(QCursor::pos()) : QPoint(-1, -1);
    for (int i = first; i <= last; ++i) {
        OvSubCGItem* const item = m_filter->shownAt(i);
        OvCGListItemWidget* tile = m_bound.value(item, nullptr);
        const QRect rect = tileRect(i).translated(0, -m_bandTop);
        if (!tile) {
            if (!m_spare.isEmpty()) {
                tile = m_spare.takeLast();
            } else {
                tile = new OvCGListItemWidget(m_order, m_content);
                connect(tile, &OvCGListItemWidget::remove, this, [this, tile] { releaseTile(tile); });
            }
            tile->setHovered(pointerInside && rect.contains(pointer));
            tile->setCgItem(item);
            m_bound.insert(item, tile);
        } else {
            tile->setHovered(pointerInside && rect.contains(pointer));
        }
        tile->setGeometry(rect);
        tile->show();
    }
    // Spare tiles beyond one band's worth are not kept (the view got smaller).
    while (m_spare.size() > m_bound.size()) {
        OvCGListItemWidget* const tile = m_spare.takeLast();
        tile->deleteLater();
    }
    m_rebinding = false;
}

void OvCGScrollareaWidget::releaseTile(OvCGListItemWidget* tile)
{
    // Its item has gone before the grid caught up with the model.
    for (auto it = m_bound.begin(); it != m_bound.end(); ++it) {
        if (it.value() == tile) {
            m_bound.erase(it);
            break;
        }
    }
    tile->hide();
    if (!m_spare.contains(tile))
        m_spare.append(tile);
    markDirty();
}

void OvCGScrollareaWidget::scrollContentsBy(int dx, int dy)
{
    Q_UNUSED(dx)
    if (dy == 0 || m_rebinding)
        return;
    const int scroll = verticalScrollBar()->value();
    const QPair<int, int> rows = bandRows(scroll);
    if (!m_dirty && rows.first == m_bandRows[0] && rows.second == m_bandRows[1]) {
        // Within the band: the bound tiles just move together.
        m_content->move(0, m_bandTop - scroll);
        return;
    }
    m_dirty = true;
    rebind();
}

void OvCGScrollareaWidget::addCg(int index, OvSubCGItem* model, operatorInfo info)
{
    Q_UNUSED(index)
    Q_UNUSED(model)
    Q_UNUSED(info)
    // A list arrives as thousands of inserts in one go: the grid is brought
    // up to date once, when the turn of the event loop ends.
    catalogueChanged();
}

void OvCGScrollareaWidget::onCurrentChanged(OvSubCGItem* item)
{
    // Only a different item becoming current moves the view; updates of the
    // current item (a rename from another desk) never do.
    if (item)
        m_scrollToCurrent = true;
    markDirty();
}

void OvCGScrollareaWidget::SlotCgMoved(OvSubCGItem* theCG, int from, int to, operatorInfo info)
{
    Q_UNUSED(theCG)
    Q_UNUSED(from)
    Q_UNUSED(to)
    Q_UNUSED(info)
    catalogueChanged();
}

int OvCGScrollareaWidget::currentIndex() const
{
    return m_filter->shownIndexOf(OvCGListModel::instance()->currentCg());
}

void OvCGScrollareaWidget::selectAt(int target)
{
    if (OvSubCGItem* const item = m_filter->shownAt(target))
        OvCGListModel::instance()->setCurrentCg(item);
}

bool OvCGScrollareaWidget::startFromHidden(int position)
{
    // The filter hides the current item: any arrow starts at the first shown.
    if (position >= 0 || !OvCGListModel::instance()->currentCg())
        return false;
    m_filter->selectFirstShown();
    return true;
}

void OvCGScrollareaWidget::registerArrows()
{
    // They repeat: a held arrow walks through the tiles, it takes nothing.
    OvShortcutKey& shortcuts = OvShortcutKey::instance();
    shortcuts.addShortcut(QKeySequence(Qt::Key_Up), [this] { up(); }, true, this);
    shortcuts.addShortcut(QKeySequence(Qt::Key_Down), [this] { down(); }, true, this);
    shortcuts.addShortcut(QKeySequence(Qt::Key_Left), [this] { left(); }, true, this);
    shortcuts.addShortcut(QKeySequence(Qt::Key_Right), [this] { right(); }, true, this);
}

void OvCGScrollareaWidget::up()
{
    const int i = currentIndex();
    if (startFromHidden(i) || i - m_columns < 0)
        return;
    selectAt(i - m_columns);
}

void OvCGScrollareaWidget::down()
{
    const int i = currentIndex();
    if (startFromHidden(i) || m_filter->shownCount() - 1 < i + m_columns)
        return;
    selectAt(i + m_columns);
}

void OvCGScrollareaWidget::left()
{
    const int i = currentIndex();
    if (startFromHidden(i) || i - 1 < 0)
        return;
    selectAt(i - 1);
}

void OvCGScrollareaWidget::right()
{
    const int i = currentIndex();
    if (startFromHidden(i) || m_filter->shownCount() - 1 < i + 1)
        return;
    selectAt(i + 1);
}

void OvCGScrollareaWidget::mouseMoveEvent(QMouseEvent* e)
{
    emit mouseMove(mapToParent(e->pos()));
}

void OvCGScrollareaWidget::enterEvent(QEvent* e)
{
    verticalScrollBar()->show();
    QScrollArea::enterEvent(e);
}

void OvCGScrollareaWidget::leaveEvent(QEvent* e)
{
    verticalScrollBar()->hide();
    emit leaveWidget();
    QScrollArea::leaveEvent(e);
}

void OvCGScrollareaWidget::resizeEvent(QResizeEvent* e)
{
    QScrollArea::resizeEvent(e);
    relayout();
}

void OvCGScrollareaWidget::showEvent(QShowEvent* e)
{
    QScrollArea::showEvent(e);
    relayout();
}

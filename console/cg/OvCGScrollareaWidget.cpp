#include "cg/OvCGScrollareaWidget.h"

#include "cg/OvCGListItemWidget.h"
#include "cg/OvCGListModel.h"
#include "cg/OvSubCGItem.h"
#include "shortcut/OvShortcutKey.h"

#include <OvUIUtility/FlowLayout.h>

#include <QFrame>
#include <QList>
#include <QMouseEvent>
#include <QScrollBar>

namespace {

constexpr int TileWidth = 174;

// The shortcut table keeps a registration for the life of the process and the
// first one of a key wins, so the arrows are registered once and always go to
// the newest grid still alive; a destroyed grid is never called.
QList<QPointer<OvCGScrollareaWidget>>& arrowTargets()
{
    static QList<QPointer<OvCGScrollareaWidget>> targets;
    return targets;
}

OvCGScrollareaWidget* arrowTarget()
{
    QList<QPointer<OvCGScrollareaWidget>>& targets = arrowTargets();
    while (!targets.isEmpty() && !targets.last())
        targets.removeLast();
    return targets.isEmpty() ? nullptr : targets.last().data();
}

void registerArrows(OvCGScrollareaWidget* grid)
{
    static bool registered = false;
    arrowTargets().removeAll(nullptr);
    arrowTargets().append(grid);
    if (registered)
        return;
    registered = true;
    OvShortcutKey& shortcuts = OvShortcutKey::instance();
    const struct {
        Qt::Key key;
        void (OvCGScrollareaWidget::*handler)();
    } arrows[] = {
        {Qt::Key_Up, &OvCGScrollareaWidget::up},
        {Qt::Key_Down, &OvCGScrollareaWidget::down},
        {Qt::Key_Left, &OvCGScrollareaWidget::left},
        {Qt::Key_Right, &OvCGScrollareaWidget::right},
    };
    for (const auto& arrow : arrows) {
        const auto handler = arrow.handler;
        shortcuts.addShortcut(QKeySequence(arrow.key), [handler] {
            if (OvCGScrollareaWidget* target = arrowTarget())
                (target->*handler)();
        });
    }
}

}  // namespace

OvCGScrollareaWidget::OvCGScrollareaWidget(QWidget* parent) : QScrollArea(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setObjectName(QStringLiteral("OvCGScrollareaWidget"));

    m_flowLayout = new FlowLayout(nullptr, 5, 5, 5);
    m_flowLayout->setSizeConstraint(QLayout::SetMinimumSize);

    OvCGListModel* const model = OvCGListModel::instance();
    connect(model, &OvCGListModel::SingalCGInserted, this, &OvCGScrollareaWidget::addCg);
    connect(model, &OvCGListModel::SignalCgMoved, this, &OvCGScrollareaWidget::SlotCgMoved);

    setMouseTracking(true);

    m_content = new QFrame(nullptr);
    m_content->setMouseTracking(true);
    m_content->setObjectName(QStringLiteral("cg_show_widget"));
    m_content->setLayout(m_flowLayout);
    setWidget(m_content);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Shown while the pointer is over the grid; its room stays reserved, so
    // the tiles do not reflow when it appears.
    verticalScrollBar()->hide();
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &OvCGScrollareaWidget::scheduleShownTiles);

    registerArrows(this);
}

OvCGScrollareaWidget::~OvCGScrollareaWidget() = default;

int OvCGScrollareaWidget::tileCount() const
{
    return m_flowLayout->count();
}

OvCGListItemWidget* OvCGScrollareaWidget::tileAt(int index) const
{
    QLayoutItem* const item = m_flowLayout->itemAt(index);
    return item ? qobject_cast<OvCGListItemWidget*>(item->widget()) : nullptr;
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
    m_flowLayout->setHorizontalSpacing(spacing);
    m_flowLayout->invalidate();
    m_flowLayout->update();
    scheduleShownTiles();
}

void OvCGScrollareaWidget::scheduleShownTiles()
{
    if (m_shownPending)
        return;
    m_shownPending = true;
    QMetaObject::invokeMethod(this, &OvCGScrollareaWidget::updateShownTiles, Qt::QueuedConnection);
}

void OvCGScrollareaWidget::updateShownTiles()
{
    m_shownPending = false;
    if (m_batchPending)
        return;  // the batch's end comes back here
    m_flowLayout->activate();
    const int n = m_flowLayout->count();
    // One screen above and below stays shown, so scrolling never meets an empty row.
    const int top = -m_content->y() - viewport()->height();
    const int bottom = -m_content->y() + 2 * viewport()->height();
    // Tiles are laid out in order, row by row: the first and last rows that
    // touch the band are found by bisection.
    auto firstEndingBelow = [this, n](int y) {
        int lo = 0, hi = n;
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (tileAt(mid)->geometry().bottom() < y)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    };
    auto firstStartingBelow = [this, n](int y) {
        int lo = 0, hi = n;
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (tileAt(mid)->geometry().top() <= y)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    };
    const int first = firstEndingBelow(top);
    const int last = firstStartingBelow(bottom) - 1;
    for (int i = m_shownFirst; i <= m_shownLast && i < n; ++i) {
        if (i < first || i > last)
            tileAt(i)->hide();
    }
    for (int i = first; i <= last; ++i)
        tileAt(i)->show();
    m_shownFirst = first;
    m_shownLast = last;
}

void OvCGScrollareaWidget::addCg(int index, OvSubCGItem* model, operatorInfo info)
{
    Q_UNUSED(index)
    Q_UNUSED(info)
    // A list arrives as thousands of inserts in one go. Showing each tile into
    // a visible grid would lay the whole grid out again per tile; instead the
    // content is held back and laid out once when the turn of the event loop ends.
    if (!m_batchPending) {
        m_batchPending = true;
        m_content->setUpdatesEnabled(false);
        m_content->hide();
        QMetaObject::invokeMethod(this, &OvCGScrollareaWidget::finishBatch, Qt::QueuedConnection);
    }
    auto* tile = new OvCGListItemWidget(m_content);
    // Hidden until it comes near the view, keeping its place in the layout.
    QSizePolicy policy = tile->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    tile->setSizePolicy(policy);
    tile->hide();
    connect(tile, &OvCGListItemWidget::remove, this, &OvCGScrollareaWidget::remove);
    connect(tile, &OvCGListItemWidget::currentWidget, this, &OvCGScrollareaWidget::currentWidget);
    tile->setCgItem(model);
    // Polished now, while hidden, with its states already set, so that the
    // style sheet is applied to it once.
    tile->ensurePolished();
    m_flowLayout->addWidget(tile);
}

void OvCGScrollareaWidget::finishBatch()
{
    if (!m_batchPending)
        return;
    m_batchPending = false;
    // Every tile gets its place while the content is still hidden: a visible
    // widget that moves marks itself dirty against all its siblings.
    relayout();
    const int width = viewport()->width();
    m_content->resize(width, qMax(viewport()->height(), m_flowLayout->heightForWidth(width)));
    m_flowLayout->setGeometry(m_content->rect());
    m_content->show();
    m_content->setUpdatesEnabled(true);
    // Tiles shown before stay so until the new range is known.
    m_shownFirst = 0;
    m_shownLast = m_flowLayout->count() - 1;
    updateShownTiles();
    if (m_scrollPending) {
        m_scrollPending = false;
        if (m_currentTile) {
            m_flowLayout->activate();
            ensureWidgetVisible(m_currentTile, 50, 50);
        }
    }
}

void OvCGScrollareaWidget::remove()
{
    auto* tile = qobject_cast<OvCGListItemWidget*>(sender());
    if (!tile)
        return;
    m_flowLayout->removeWidget(tile);
    tile->hide();
    tile->deleteLater();
    scheduleShownTiles();
}

void OvCGScrollareaWidget::currentWidget(OvCGListItemWidget* item_widget)
{
    m_currentTile = item_widget;
    // While a batch is held back the tile has no place yet.
    if (m_batchPending) {
        m_scrollPending = true;
        return;
    }
    m_flowLayout->activate();
    ensureWidgetVisible(item_widget, 50, 50);
}

void OvCGScrollareaWidget::SlotCgMoved(OvSubCGItem* theCG, int from, int to, operatorInfo info)
{
    Q_UNUSED(theCG)
    Q_UNUSED(info)
    const int n = m_flowLayout->count();
    if (from < 0 || from >= n)
        return;
    QLayoutItem* const item = m_flowLayout->takeAt(from);
    // Clamped here too, whatever form of the target the model reports.
    m_flowLayout->insertItem(qBound(0, to, n - 1), item);
    m_flowLayout->invalidate();
    m_flowLayout->update();
    scheduleShownTiles();
}

void OvCGScrollareaWidget::selectAt(int target)
{
    OvCGListItemWidget* const tile = tileAt(target);
    if (tile && tile->cgItem())
        OvCGListModel::instance()->setCurrentCg(tile->cgItem());
}

void OvCGScrollareaWidget::up()
{
    const int i = m_currentTile ? m_flowLayout->indexOf(m_currentTile) : -1;
    if (i - m_columns < 0)
        return;
    selectAt(i - m_columns);
}

void OvCGScrollareaWidget::down()
{
    const int i = m_currentTile ? m_flowLayout->indexOf(m_currentTile) : -1;
    if (m_flowLayout->count() - 1 < i + m_columns)
        return;
    selectAt(i + m_columns);
}

void OvCGScrollareaWidget::left()
{
    const int i = m_currentTile ? m_flowLayout->indexOf(m_currentTile) : -1;
    if (i - 1 < 0)
        return;
    selectAt(i - 1);
}

void OvCGScrollareaWidget::right()
{
    const int i = m_currentTile ? m_flowLayout->indexOf(m_currentTile) : -1;
    if (m_flowLayout->count() - 1 < i + 1)
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

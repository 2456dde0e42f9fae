#pragma once

#include "cg/OvCGListItemWidget.h"
#include "cg/OvTurnEnd.h"
#include "cg/operatorInfo.h"

#include <QHash>
#include <QList>
#include <QUuid>
#include <QPoint>
#include <QPair>
#include <QScrollArea>
#include <QSize>
#include <QVector>

class OvRunningOrder;
class OvSearchFilter;
class OvSubCGItem;
class QFrame;

// The CG catalogue as a wrapping grid of tiles in the model's order, as far
// as the search shows it. Columns are spread evenly over the width; the arrow
// keys (single-key shortcuts) move the model's current item through the grid.
//
// The grid is virtual: tiles all have one size, so where an item sits is
// arithmetic, and tile widgets exist only for the items within about one
// screen of the view. They are bound to other items as the view scrolls or the
// catalogue changes; every other item lives only in the model.
class OvCGScrollareaWidget : public QScrollArea
{
    Q_OBJECT
public:
    // The tiles show the order's countdowns.
    OvCGScrollareaWidget(OvSearchFilter* filter, const OvRunningOrder* order, QWidget* parent = nullptr);

    int columns() const { return m_columns; }
    int horizontalSpacing() const { return m_spacing; }
    // Tile widgets that exist now (bound to an item), not the catalogue's size.
    int tileCount() const;
    // The tile that shows the item at this position of the model; null when
    // that item is not near the view.
    OvCGListItemWidget* tileAt(int index) const;
    OvCGListItemWidget* tileOf(const OvSubCGItem* item) const;
    // The tile of the model's current item, when it is near the view.
    OvCGListItemWidget* currentTile() const;
    QFrame* contentFrame() const { return m_content; }
    // Where the item at this position of the grid sits in the whole grid
    // (content coordinates: the top of the grid is 0 however far it is scrolled).
    QRect tileRect(int position) const;

    OvSearchFilter* filter() const { return m_filter; }

    // The arrows move the current item through this grid, as long as it
    // lives and no grid registered before it still does.
    void registerArrows();
    // Arrow-key handlers (registered with the shortcut table).
    void up();
    void down();
    void left();
    void right();

signals:
    void mouseMove(QPoint pos);
    void leaveWidget();
    // What the grid shows changed: shown of total items.
    void shownChanged(int shown, int total);

private slots:
    void addCg(int index, OvSubCGItem* model, operatorInfo info);
    void SlotCgMoved(OvSubCGItem* theCG, int from, int to, operatorInfo info);

protected:
    void mouseMoveEvent(QMouseEvent* e) override;
    void enterEvent(QEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void relayout();
    void catalogueChanged();
    void filterChanged();
    void selectAt(int target);
    // The current item's position among the shown ones; -1 without one, or
    // when the filter hides it.
    int currentIndex() const;
    bool startFromHidden(int position);
    void onCurrentChanged(OvSubCGItem* item);
    void scrollToIndex(int index);
    // Catalogue changes only mark the grid; it is brought up to date once per
    // turn of the event loop, or at once when someone asks about its tiles.
    void markDirty();
    void sync();
    void rebind();
    void releaseTile(OvCGListItemWidget* tile);
    void updateScrollRange();
    int rowPitch() const;
    int rowCount() const;
    // First and last row that get tiles at this scroll position.
    QPair<int, int> bandRows(int scroll) const;
    int perRow() const;
    QSize tileSize() const;

    QFrame* m_content = nullptr;
    int m_columns = 0;
    int m_spacing = 5;
    mutable QSize m_tileSize;
    QHash<const OvSubCGItem*, OvCGListItemWidget*> m_bound;
    QVector<OvCGListItemWidget*> m_spare;
    int m_bandTop = 0;  // content y of the content frame's top edge
    int m_bandRows[2] = {0, -1};  // first and last row that have tiles
    bool m_rebinding = false;
    bool m_dirty = false;
    OvTurnEnd m_sync{this, [this] { sync(); }};
    QList<QUuid> m_counting;
    bool m_scrollToCurrent = false;
    OvSearchFilter* m_filter;
    const OvRunningOrder* m_order;
    QString m_shownText;  // the search's text when the grid last showed it
    int m_shownReported[2] = {-1, -1};
};

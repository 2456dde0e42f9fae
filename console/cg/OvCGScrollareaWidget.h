#pragma once

#include "cg/OvCGListItemWidget.h"
#include "cg/operatorInfo.h"

#include <QPoint>
#include <QPointer>
#include <QScrollArea>

class FlowLayout;
class OvSubCGItem;
class QFrame;

// The CG catalogue as a wrapping grid of tiles in the model's order. Columns
// are spread evenly over the width; the arrow keys (single-key shortcuts) move
// the model's current item through the grid.
class OvCGScrollareaWidget : public QScrollArea
{
    Q_OBJECT
public:
    explicit OvCGScrollareaWidget(QWidget* parent = nullptr);
    ~OvCGScrollareaWidget() override;

    int columns() const { return m_columns; }
    int tileCount() const;
    OvCGListItemWidget* tileAt(int index) const;
    OvCGListItemWidget* currentTile() const { return m_currentTile.data(); }
    FlowLayout* flowLayout() const { return m_flowLayout; }
    QFrame* contentFrame() const { return m_content; }

    // Arrow-key handlers (registered with the shortcut table).
    void up();
    void down();
    void left();
    void right();

signals:
    void mouseMove(QPoint pos);
    void leaveWidget();

private slots:
    void addCg(int index, OvSubCGItem* model, operatorInfo info);
    void remove();
    void currentWidget(OvCGListItemWidget* item_widget);
    void SlotCgMoved(OvSubCGItem* theCG, int from, int to, operatorInfo info);

protected:
    void mouseMoveEvent(QMouseEvent* e) override;
    void enterEvent(QEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void relayout();
    void selectAt(int target);
    void finishBatch();
    // Only the tiles in and near the view are shown; the rest keep their place
    // in the layout, hidden. Showing or repainting one of thousands of visible
    // siblings costs Qt a walk over all of them.
    void scheduleShownTiles();
    void updateShownTiles();

    FlowLayout* m_flowLayout = nullptr;
    QFrame* m_content = nullptr;
    int m_columns = 0;
    QPointer<OvCGListItemWidget> m_currentTile;
    // Tiles added in one turn of the event loop are laid out together.
    bool m_batchPending = false;
    bool m_scrollPending = false;
    bool m_shownPending = false;
    int m_shownFirst = 0;
    int m_shownLast = -1;
};

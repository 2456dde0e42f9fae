#pragma once

#include "cg/OvTurnEnd.h"
#include "cg/operatorInfo.h"

#include <QFrame>
#include <QImage>
#include <QString>

class OvLabel;
class OvRunningOrder;
class OvSubCGItem;

// One tile of the CG grid: thumbnail above, name below. Its look follows the
// "type" property: hover, current ("checked"), and on the picture the PGM or
// PVW state; while this console's own publish request for the item is
// outstanding, a "sending" overlay covers the thumbnail.
class OvCGListItemWidget : public QFrame
{
    Q_OBJECT
public:
    // The badge shows order's countdown of the item (none without an order).
    OvCGListItemWidget(const OvRunningOrder* order, QWidget* parent = nullptr);
    ~OvCGListItemWidget() override;

    // Binds the tile to an item (null: to none); the grid re-binds its few
    // tiles as the view scrolls.
    void setCgItem(OvSubCGItem* item);
    OvSubCGItem* cgItem() const { return m_item; }
    // The pointer's state for a tile that was bound or moved under it.
    void setHovered(bool hovered);

    bool isSending() const { return m_sending; }
    OvLabel* pictureLabel() const { return m_pictureLabel; }
    OvLabel* nameLabel() const { return m_nameLabel; }
    // The on-air badge over the thumbnail; null until the item first goes on air.
    OvLabel* tallyLabel() const { return m_tallyLabel; }
    // The on-air badge again (with the seconds the running order leaves it).
    void refreshTally();

signals:
    void remove();
    void currentWidget(OvCGListItemWidget* item_widget);

private slots:
    void destroyed();
    void updateData(int updateType, operatorInfo info);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void enterEvent(QEvent* e) override;
    void leaveEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void refresh();
    // What changed since the last turn of the event loop, shown at once: a
    // burst of changes to one item costs one repolish, not one each.
    void refreshConfirmation();
    void applyChanges();
    void refreshPicture();
    void refreshName();

    const OvRunningOrder* m_order;
    OvLabel* m_pictureLabel = nullptr;
    OvLabel* m_nameLabel = nullptr;
    OvLabel* m_tallyLabel = nullptr;
    OvSubCGItem* m_item = nullptr;
    QImage m_sendingImage;
    bool m_hovered = false;
    bool m_sending = false;
    int m_shownConfirmedMs = -1;
    QPoint m_pressPos;
    OvTurnEnd m_apply{this, [this] { applyChanges(); }};
    bool m_pictureStale = false;
    bool m_nameStale = false;
};

#pragma once

#include "cg/OvTurnEnd.h"

#include <QFrame>
#include <QPoint>

class OvGrayButton;
class OvLabel;
class OvRunningOrder;
class OvRunningOrderTable;
class QTableView;

// The running order beside the tiles: the cues in show order with the next
// one marked, a GO button that names the cue it takes, and the keys to build
// it (Insert adds the current item, Delete removes the selected cue, Alt+Up
// and Alt+Down move it).
// Collapses to its title's button.
class OvRunningOrderPanel : public QFrame
{
    Q_OBJECT
public:
    explicit OvRunningOrderPanel(OvRunningOrder* order, QWidget* parent = nullptr);
    ~OvRunningOrderPanel() override;

    QTableView* table() const { return m_table; }
    OvGrayButton* goButton() const { return m_go; }
    OvGrayButton* addButton() const { return m_add; }
    OvGrayButton* clearButton() const { return m_clear; }
    OvGrayButton* collapseButton() const { return m_collapse; }

    // Adds the current item after the selected cue, or at the end.
    void addCurrent();
    void removeSelected();
    void moveSelected(int delta);
    void setCollapsed(bool collapsed);
    bool isCollapsed() const;

signals:
    // "清空" was pressed: the window asks before the order is emptied.
    void clearRequested();
    // The pointer moved over the panel, in its parent's coordinates (the
    // show widget places the log pane's tab by it).
    void mouseMove(QPoint pos);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    int selectedRow() const;
    void selectRow(int row);
    // The order is open on another console (or its file cannot be moved aside):
    // said in the title, nothing to edit.
    void showReadOnly();
    // The GO button's face: the cue it takes, cut to the button's width.
    void showNextOnGo();

    OvRunningOrder* m_order;
    OvRunningOrderTable* m_model = nullptr;
    QTableView* m_table = nullptr;
    OvLabel* m_title = nullptr;
    OvGrayButton* m_add = nullptr;
    OvGrayButton* m_clear = nullptr;
    OvGrayButton* m_collapse = nullptr;
    OvGrayButton* m_go = nullptr;
    int m_keptRow = -1;
    OvTurnEnd m_goFace{this, [this] { showNextOnGo(); }};
};

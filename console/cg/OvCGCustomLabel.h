#pragma once

#include <OvUIUtility/OvLabel.h>

#include <QPoint>

class QListWidgetItem;

// A label that reports pointer movement in its parent's coordinates, so that
// the show widget can place its expand/collapse button over any of its panes.
class OvCGCustomLabel : public OvLabel
{
    Q_OBJECT
public:
    explicit OvCGCustomLabel(QWidget* parent = nullptr);
    ~OvCGCustomLabel() override;

    void setListWidgetItem(QListWidgetItem* item);
    QListWidgetItem* listWidgetItem() const { return m_item; }

signals:
    void mouseMove(QPoint pos);

protected:
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    QListWidgetItem* m_item = nullptr;
};

#pragma once

#include <QStyledItemDelegate>

class OvRunningOrderTable;

// The running order table's editors: tells the table which cell one is open
// on, so that the countdown's tick and other changes leave it alone.
class OvRunningOrderDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    OvRunningOrderDelegate(OvRunningOrderTable* table, QObject* parent = nullptr);
    ~OvRunningOrderDelegate() override;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;

private:
    OvRunningOrderTable* m_table;
};

#pragma once

#include <QAbstractTableModel>
#include <QPersistentModelIndex>

class OvRunningOrder;

// The running order as the panel's table shows it: position, name, duration
// (edited in place; the seconds left while it counts down), the next mark
// and a remove column. Rows are dragged to reorder; tiles are dropped in.
class OvRunningOrderTable : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        PositionColumn,
        NameColumn,
        DurationColumn,
        NextColumn,
        RemoveColumn,
        ColumnCount,
    };
    // What a dragged tile carries: its item's guid.
    static QString cueMimeType();

    explicit OvRunningOrderTable(OvRunningOrder* order, QObject* parent = nullptr);
    ~OvRunningOrderTable() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    // The cell an editor is open on (invalid: none). No change of the order
    // is told for it while it is open: the view would put the order's value
    // back into the editor over what the operator types.
    void setEditing(const QModelIndex& index);

private:
    // Rows first to last show other positions.
    void positionsChanged(int first, int last);
    // Tells the view of a change in a block of cells, the one being edited left out.
    void cellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn, const QVector<int>& roles = {});

    // The rows the view was told of: the order tells of a change after
    // making it, and between the begin and the end of a change the view
    // must still count the rows before it.
    OvRunningOrder* m_order;
    int m_rows = 0;
    QPersistentModelIndex m_editing;
};

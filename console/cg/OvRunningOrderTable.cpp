#include "cg/OvRunningOrderTable.h"

#include "cg/OvRunningOrder.h"
#include "cg/OvSubCGItem.h"

#include <OvUIUtility/OvViewHelpers.h>

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QMimeData>

namespace {

// Within the table: the row dragged.
const QString RowMimeType = QStringLiteral("application/x-ovcg-cue-row");

}  // namespace

QString OvRunningOrderTable::cueMimeType()
{
    return QStringLiteral("application/x-ovcg-cue");
}

OvRunningOrderTable::OvRunningOrderTable(OvRunningOrder* order, QObject* parent)
    : QAbstractTableModel(parent), m_order(order)
{
    m_rows = order->count();
    // Row by row, not a reset: a reset closes a duration being edited.
    connect(order, &OvRunningOrder::cueInserted, this, [this](int row) {
        beginInsertRows({}, row, row);
        ++m_rows;
        endInsertRows();
        positionsChanged(row + 1, m_rows - 1);
    });
    connect(order, &OvRunningOrder::cueRemoved, this, [this](int row) {
        beginRemoveRows({}, row, row);
        --m_rows;
        endRemoveRows();
        positionsChanged(row, m_rows - 1);
    });
    connect(order, &OvRunningOrder::cueMoved, this, [this](int from, int to) {
        // The destination counts the rows before the move.
        beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
        endMoveRows();
        positionsChanged(qMin(from, to), qMax(from, to));
    });
    connect(order, &OvRunningOrder::cuesChanged, this,
            [this](int first, int last) { cellsChanged(first, last, 0, ColumnCount - 1); });
    connect(order, &OvRunningOrder::cuesReset, this, [this, order] {
        beginResetModel();
        m_rows = order->count();
        endResetModel();
    });
    connect(order, &OvRunningOrder::countdownChanged, this,
            [this] { cellsChanged(0, rowCount() - 1, DurationColumn, NextColumn, {Qt::DisplayRole}); });
}

OvRunningOrderTable::~OvRunningOrderTable() = default;

int OvRunningOrderTable::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

void OvRunningOrderTable::positionsChanged(int first, int last)
{
    cellsChanged(first, last, PositionColumn, PositionColumn, {Qt::DisplayRole, Qt::AccessibleTextRole});
}

void OvRunningOrderTable::cellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn,
                                       const QVector<int>& roles)
{
    const auto block = [this, &roles](int top, int bottom, int left, int right) {
        if (top <= bottom && left <= right)
            emit dataChanged(index(top, left), index(bottom, right), roles);
    };
    const int row = m_editing.isValid() ? m_editing.row() : -1;
    const int column = m_editing.column();
    // The view rewrites every editor inside a block it is told of.
    if (row < firstRow || row > lastRow || column < firstColumn || column > lastColumn) {
        block(firstRow, lastRow, firstColumn, lastColumn);
        return;
    }
    block(firstRow, row - 1, firstColumn, lastColumn);
    block(row, row, firstColumn, column - 1);
    block(row, row, column + 1, lastColumn);
    block(row + 1, lastRow, firstColumn, lastColumn);
}

void OvRunningOrderTable::setEditing(const QModelIndex& index)
{
    const QModelIndex closed = m_editing;
    m_editing = index;
    // What the cell missed while it was being edited.
    if (closed.isValid() && closed != index)
        emit dataChanged(closed, closed);
}

int OvRunningOrderTable::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant OvRunningOrderTable::data(const QModelIndex& index, int role) const
{
    const OvRunningOrder* const order = m_order;
    if (!index.isValid() || index.row() >= order->count())
        return {};
    const OvRunningOrder::Cue cue = order->cueAt(index.row());
    const OvSubCGItem* const item = order->itemAt(index.row());
    const bool next = index.row() == order->nextIndex();
    if (role == Qt::ForegroundRole && !item)
        return QBrush(QColor(0x6b, 0x73, 0x7d));
    if (role == Qt::FontRole && next) {
        QFont font;
        font.setBold(true);
        return font;
    }
    if (role == Qt::EditRole && index.column() == DurationColumn)
        return cue.durationS;
    if (role == Qt::ToolTipRole && !item)
        return tr("不在当前CG列表中，GO时跳过");
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    switch (index.column()) {
    case PositionColumn:
        return index.row() + 1;
    case NameColumn:
        // However long the server's name: painted at every tick.
        return OvViewHelpers::capped(item ? item->name() : cue.name);
    case DurationColumn: {
        const int left = item ? order->secondsLeft(cue.guid) : -1;
        if (left >= 0)
            return tr("剩%1秒").arg(left);
        return cue.durationS > 0 ? tr("%1秒").arg(cue.durationS) : QString();
    }
    case NextColumn:
        return next ? tr("下一条") : QString();
    case RemoveColumn:
        if (order->isReadOnly())
            return QString();
        return role == Qt::AccessibleTextRole ? tr("移除") : QStringLiteral("✕");
    default:
        return {};
    }
}

QVariant OvRunningOrderTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case PositionColumn:
        return QStringLiteral("#");
    case NameColumn:
        return tr("名称");
    case DurationColumn:
        return tr("时长");
    case NextColumn:
        return tr("下一条");
    case RemoveColumn:
        return tr("移除");
    default:
        return QString();
    }
}

Qt::ItemFlags OvRunningOrderTable::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_order->isReadOnly())
        return flags;
    flags |= Qt::ItemIsDragEnabled;
    if (index.column() == DurationColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool OvRunningOrderTable::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != DurationColumn || role != Qt::EditRole)
        return false;
    bool ok = false;
    const int seconds = value.toString().trimmed().toInt(&ok);
    // Empty: no duration. Anything but 0 to a day is refused, not bent.
    if ((!ok && !value.toString().trimmed().isEmpty()) || (ok && (seconds < 0 || seconds > OvRunningOrder::MaxDurationS)))
        return false;
    m_order->setDuration(index.row(), ok ? seconds : 0);
    return true;
}

Qt::DropActions OvRunningOrderTable::supportedDropActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

QStringList OvRunningOrderTable::mimeTypes() const
{
    return {RowMimeType, cueMimeType()};
}

QMimeData* OvRunningOrderTable::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setData(RowMimeType, QByteArray::number(indexes.first().row()));
    return data;
}

bool OvRunningOrderTable::dropMimeData(const QMimeData* data, Qt::DropAction, int row, int, const QModelIndex& parent)
{
    OvRunningOrder* const order = m_order;
    // Dropped on a row: before it; below the last: at the end.
    int at = row >= 0 ? row : parent.isValid() ? parent.row() : order->count();
    if (data->hasFormat(cueMimeType()))
        return order->insert(at, QUuid(QString::fromLatin1(data->data(cueMimeType()))));
    if (!data->hasFormat(RowMimeType))
        return false;
    bool ok = false;
    const int from = data->data(RowMimeType).toInt(&ok);
    if (!ok)
        return false;
    if (at > from)
        --at;
    order->move(from, qMin(at, order->count() - 1));
    // Moved here already: the view must not remove the source row itself.
    return false;
}

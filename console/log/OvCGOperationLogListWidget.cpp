#include "log/OvCGOperationLogListWidget.h"

#include "log/OvCGMessage.h"
#include "log/OvCGOperationLogDelegate.h"
#include "log/OvCGOperationLogEntry.h"
#include "log/OvCGOperationLogModel.h"

#include <QMouseEvent>
#include <QScrollBar>

OvCGOperationLogListWidget::OvCGOperationLogListWidget(QWidget* parent)
    : QListView(parent), m_model(new OvCGOperationLogModel(MaxEntries, this))
{
    setFocusPolicy(Qt::NoFocus);
    // Texts wrap to the width: there is never anything to scroll sideways.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    horizontalScrollBar()->hide();
    setObjectName(QStringLiteral("OvCGOperationLogListWidget"));
    setModel(m_model);
    setItemDelegate(new OvCGOperationLogDelegate(this));
    setUniformItemSizes(false);
    // Rows follow the width (they wrap) and scroll smoothly whatever their height.
    setResizeMode(QListView::Adjust);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::NoSelection);
    connect(&OvCGMessage::instance(), &OvCGMessage::notifyMessage, this, &OvCGOperationLogListWidget::addLogEntry);
    // The model inserts a turn's entries at once: the list lays itself out
    // and scrolls to the newest once per turn, not per entry.
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &QAbstractItemView::scrollToBottom);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
}

OvCGOperationLogListWidget::~OvCGOperationLogListWidget() = default;

void OvCGOperationLogListWidget::addLogEntry(MessageType type, QString time, QString title, QString text)
{
    m_model->append(type, time, title, text);
}

const OvCGOperationLogEntry* OvCGOperationLogListWidget::entryAt(const QModelIndex& index) const
{
    return index.model() == m_model ? m_model->entryAt(index.row()) : nullptr;
}

int OvCGOperationLogListWidget::count() const
{
    return m_model->rowCount();
}

void OvCGOperationLogListWidget::clear()
{
    m_model->clear();
}

void OvCGOperationLogListWidget::mouseMoveEvent(QMouseEvent* e)
{
    // Moves arrive on the viewport; report them in the parent's coordinates.
    emit mouseMove(mapToParent(viewport()->mapTo(this, e->pos())));
}

void OvCGOperationLogListWidget::resizeEvent(QResizeEvent* e)
{
    emit resizeWidget();
    QListView::resizeEvent(e);
}

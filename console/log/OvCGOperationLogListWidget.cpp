#include "log/OvCGOperationLogListWidget.h"

#include "log/OvCGMessage.h"
#include "log/OvCGOperationLogDelegate.h"
#include "log/OvCGOperationLogEntry.h"

#include <QMouseEvent>
#include <QScrollBar>

OvCGOperationLogListWidget::OvCGOperationLogListWidget(QWidget* parent) : QListWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    // Texts wrap to the width: there is never anything to scroll sideways.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    horizontalScrollBar()->hide();
    setObjectName(QStringLiteral("OvCGOperationLogListWidget"));
    setItemDelegate(new OvCGOperationLogDelegate(this));
    setUniformItemSizes(false);
    // Rows follow the width (they wrap) and scroll smoothly whatever their height.
    setResizeMode(QListView::Adjust);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::NoSelection);
    connect(&OvCGMessage::instance(), &OvCGMessage::notifyMessage, this, &OvCGOperationLogListWidget::addLogEntry);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
}

OvCGOperationLogListWidget::~OvCGOperationLogListWidget() = default;

void OvCGOperationLogListWidget::addLogEntry(MessageType type, QString time, QString title, QString text)
{
    addItem(new OvCGOperationLogEntry(type, time, title, text));
    if (count() > MaxEntries)
        delete takeItem(0);
    // A burst of messages scrolls (and so lays the list out) once, not per entry.
    if (!m_scrollPending) {
        m_scrollPending = true;
        QMetaObject::invokeMethod(this, &OvCGOperationLogListWidget::scrollToNewest, Qt::QueuedConnection);
    }
}

void OvCGOperationLogListWidget::scrollToNewest()
{
    m_scrollPending = false;
    scrollToBottom();
}

const OvCGOperationLogEntry* OvCGOperationLogListWidget::entryAt(const QModelIndex& index) const
{
    return dynamic_cast<const OvCGOperationLogEntry*>(itemFromIndex(index));
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

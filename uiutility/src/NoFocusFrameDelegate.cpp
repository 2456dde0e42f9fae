#include "OvUIUtility/NoFocusFrameDelegate.h"

NoFocusFrameDelegate::NoFocusFrameDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

NoFocusFrameDelegate::~NoFocusFrameDelegate() = default;

void NoFocusFrameDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const
{
    QStyleOptionViewItem copy(option);
    copy.state &= ~QStyle::State_HasFocus;
    QStyledItemDelegate::paint(painter, copy, index);
}

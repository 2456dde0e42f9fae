#pragma once

#include "ovuiutility_global.h"

#include <QStyledItemDelegate>

// Paints items like QStyledItemDelegate but never with a focus rectangle.
class OVUIUTILITY_EXPORT NoFocusFrameDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit NoFocusFrameDelegate(QObject* parent = nullptr);
    ~NoFocusFrameDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

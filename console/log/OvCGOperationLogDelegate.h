#pragma once

#include <QStyledItemDelegate>

class OvCGOperationLogListWidget;

// Draws an operation log entry: the time in grey on the first line; the title
// and colon in the type's colour, then the text in light grey, wrapped to the
// list's width. Texts are drawn as they are, never read as markup.
class OvCGOperationLogDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit OvCGOperationLogDelegate(OvCGOperationLogListWidget* list);
    ~OvCGOperationLogDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static constexpr int PaddingX = 8;
    static constexpr int PaddingY = 5;
    static constexpr int LineGap = 2;

private:
    int textWidth() const;

    OvCGOperationLogListWidget* m_list;
};

#pragma once

#include "ovuiutility_global.h"

#include <QLayout>
#include <QList>
#include <QStyle>

// Places items left to right and wraps them like words in a paragraph. Items
// always get their size hint; lines are left-aligned.
class OVUIUTILITY_EXPORT FlowLayout : public QLayout
{
public:
    FlowLayout(QWidget* parent, int margin = -1, int hSpacing = -1, int vSpacing = -1);
    explicit FlowLayout(int margin = -1, int hSpacing = -1, int vSpacing = -1);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    void insertItem(int index, QLayoutItem* item);
    void insert(int index, QWidget* widget);
    void push_front(QWidget* widget);
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    // Removes every item and deletes the widgets they hold.
    void clear();

    int horizontalSpacing() const;
    int verticalSpacing() const;
    void setHorizontalSpacing(int spacing);

    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    void setGeometry(const QRect& rect) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    // Drops the cached sizes; Qt calls this whenever an item or the spacing changes.
    void invalidate() override;

private:
    int smartSpacing(QStyle::PixelMetric pm) const;
    int doLayout(const QRect& rect, bool testOnly) const;

    QList<QLayoutItem*> m_items;
    int m_hSpace;
    int m_vSpace;
    // Each of these walks every item; a layout pass asks for them several
    // times, so they are kept until the layout is invalidated.
    mutable QSize m_cachedMinimumSize;
    mutable int m_cachedHfwWidth = -1;
    mutable int m_cachedHfwHeight = -1;
};

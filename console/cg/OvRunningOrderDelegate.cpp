#include "cg/OvRunningOrderDelegate.h"

#include "cg/OvRunningOrderTable.h"

OvRunningOrderDelegate::OvRunningOrderDelegate(OvRunningOrderTable* table, QObject* parent)
    : QStyledItemDelegate(parent), m_table(table)
{
}

OvRunningOrderDelegate::~OvRunningOrderDelegate() = default;

QWidget* OvRunningOrderDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                              const QModelIndex& index) const
{
    QWidget* const editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (editor)
        m_table->setEditing(index);
    return editor;
}

void OvRunningOrderDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const
{
    m_table->setEditing(QModelIndex());
    QStyledItemDelegate::destroyEditor(editor, index);
}

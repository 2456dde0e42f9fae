#include "OvUIUtility/OvComboBoxListView.h"

#include "OvUIUtility/NoFocusFrameDelegate.h"

#include <QListView>

OvComboBoxListView::OvComboBoxListView(QWidget* parent) : QComboBox(parent), m_listView(new QListView(this))
{
    setObjectName(QStringLiteral("OvComboBox"));
    m_listView->setItemDelegate(new NoFocusFrameDelegate(this));
    setView(m_listView);
}

OvComboBoxListView::~OvComboBoxListView() = default;

QListView* OvComboBoxListView::listView() const
{
    return m_listView;
}

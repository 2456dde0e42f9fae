#include "OvUIUtility/OvComboBox.h"

#include "OvUIUtility/NoFocusFrameDelegate.h"

#include <QListWidget>

OvComboBox::OvComboBox(QWidget* parent) : QComboBox(parent), m_listWidget(new QListWidget(this))
{
    setObjectName(QStringLiteral("OvComboBox"));
    m_listWidget->setItemDelegate(new NoFocusFrameDelegate(this));
    setModel(m_listWidget->model());
    setView(m_listWidget);
}

OvComboBox::~OvComboBox() = default;

QListWidget* OvComboBox::listWidget() const
{
    return m_listWidget;
}

void OvComboBox::setNoFocus(bool noFocus)
{
    m_noFocus = noFocus;
}

void OvComboBox::focusInEvent(QFocusEvent* event)
{
    QComboBox::focusInEvent(event);
    if (m_noFocus)
        clearFocus();
}

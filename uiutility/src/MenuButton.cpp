#include "OvUIUtility/MenuButton.h"

#include "OvUIUtility/OvRepolish.h"

#include <QMenu>

MenuButton::MenuButton(const QString& name, QWidget* parent) : OvButton(name, parent), m_menu(new QMenu(this))
{
    if (!name.isEmpty())
        setProperty("type", name);
    connect(this, &QAbstractButton::clicked, this, &MenuButton::popupMenu);
}

MenuButton::~MenuButton() = default;

QMenu* MenuButton::getMenu() const
{
    return m_menu;
}

void MenuButton::setType(const QString& type)
{
    OvRepolish::setStyleProperty(this, "type", type);
}

void MenuButton::resetDefaultObjectName()
{
    setObjectName(objectName());
}

QString MenuButton::objectName()
{
    return QStringLiteral("MenuButton");
}

void MenuButton::popupMenu()
{
    m_menu->exec(mapToGlobal(QPoint(0, geometry().height())));
}

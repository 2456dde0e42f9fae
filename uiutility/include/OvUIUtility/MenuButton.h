#pragma once

#include "OvButton.h"

class QMenu;

// A button that opens its menu right below itself when clicked.
class OVUIUTILITY_EXPORT MenuButton : public OvButton
{
    Q_OBJECT
public:
    // name is the object name and, when not empty, also the "type" property.
    MenuButton(const QString& name, QWidget* parent = nullptr);
    ~MenuButton() override;

    QMenu* getMenu() const;
    void setType(const QString& type);
    void resetDefaultObjectName();
    static QString objectName();

private slots:
    void popupMenu();

private:
    QMenu* m_menu;
};

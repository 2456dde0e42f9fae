#pragma once

#include "ovuiutility_global.h"

#include <QComboBox>

class QListWidget;

// A combo box whose popup is a QListWidget without focus rectangles; items
// added to the combo box live in that list widget.
class OVUIUTILITY_EXPORT OvComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit OvComboBox(QWidget* parent = nullptr);
    ~OvComboBox() override;

    QListWidget* listWidget() const;
    // With no-focus set the combo box never keeps keyboard focus.
    void setNoFocus(bool noFocus);

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    QListWidget* m_listWidget;
    bool m_noFocus = false;
};

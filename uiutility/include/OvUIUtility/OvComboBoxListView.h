#pragma once

#include "ovuiutility_global.h"

#include <QComboBox>

class QListView;

// A combo box on its own model whose popup is a QListView without focus
// rectangles. It answers to the object name "OvComboBox" like OvComboBox.
class OVUIUTILITY_EXPORT OvComboBoxListView : public QComboBox
{
    Q_OBJECT
public:
    explicit OvComboBoxListView(QWidget* parent = nullptr);
    ~OvComboBoxListView() override;

    QListView* listView() const;

private:
    QListView* m_listView;
};

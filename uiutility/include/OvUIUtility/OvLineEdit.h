#pragma once

#include "ovuiutility_global.h"

#include <QLineEdit>

// A line edit that takes focus on every click and, when dragged horizontally,
// adjusts the number it holds by a tenth of the pointer's travel.
class OVUIUTILITY_EXPORT OvLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit OvLineEdit(QWidget* parent = nullptr);
    OvLineEdit(const QString& name, QWidget* parent);
    ~OvLineEdit() override;

    // With strong focus a mouse release also emits clicked().
    void setHasStrongFocus(bool strong);

signals:
    void focusIn();
    void focusOut();
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    bool m_strongFocus = false;
    bool m_dragging = false;
    float m_lastX = 0.0F;
};

#include "OvUIUtility/OvLineEdit.h"

#include <QMouseEvent>

OvLineEdit::OvLineEdit(QWidget* parent) : OvLineEdit(QStringLiteral("OvLineEdit"), parent) {}

OvLineEdit::OvLineEdit(const QString& name, QWidget* parent) : QLineEdit(parent)
{
    setObjectName(name);
}

OvLineEdit::~OvLineEdit() = default;

void OvLineEdit::setHasStrongFocus(bool strong)
{
    m_strongFocus = strong;
}

void OvLineEdit::mousePressEvent(QMouseEvent* event)
{
    QLineEdit::mousePressEvent(event);
    m_dragging = true;
    m_lastX = static_cast<float>(event->localPos().x());
}

void OvLineEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QLineEdit::mouseReleaseEvent(event);
    if (m_strongFocus)
        emit clicked();
    m_dragging = false;
    setFocus();
}

void OvLineEdit::mouseMoveEvent(QMouseEvent* event)
{
    const auto x = static_cast<float>(event->localPos().x());
    if (m_dragging) {
        const double dx = x - m_lastX;
        const double value = text().toDouble();  // 0 for text that is not a number
        setText(QString::number(value + dx / 10.0, 'f', 2));
    }
    m_lastX = x;
    QLineEdit::mouseMoveEvent(event);
}

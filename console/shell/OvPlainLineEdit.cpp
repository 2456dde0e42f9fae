#include "shell/OvPlainLineEdit.h"

OvPlainLineEdit::OvPlainLineEdit(QWidget* parent)
    : OvLineEdit(parent)
{
}

OvPlainLineEdit::~OvPlainLineEdit() = default;

void OvPlainLineEdit::mousePressEvent(QMouseEvent* event)
{
    // Skips OvLineEdit's handler, which would start the number drag.
    QLineEdit::mousePressEvent(event);
}

void OvPlainLineEdit::mouseMoveEvent(QMouseEvent* event)
{
    QLineEdit::mouseMoveEvent(event);
}

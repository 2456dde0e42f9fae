#include "cg/OvCGSearchField.h"

#include <QFocusEvent>
#include <QKeyEvent>

OvCGSearchField::OvCGSearchField(QWidget* parent) : QLineEdit(parent)
{
    setObjectName(QStringLiteral("OvCGSearchField"));
    setAccessibleName(tr("搜索CG"));
    setPlaceholderText(tr("搜索 (Ctrl+F)"));
    setClearButtonEnabled(true);
    // Focus by Ctrl+F or a click only: Tab around the window must not land
    // here and swallow the single keys.
    setFocusPolicy(Qt::ClickFocus);
}

OvCGSearchField::~OvCGSearchField() = default;

void OvCGSearchField::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        emit chosen();
    } else if (modifiers == Qt::NoModifier && event->key() == Qt::Key_Escape) {
        clear();
        emit dismissed();
    } else {
        QLineEdit::keyPressEvent(event);
    }
    // Whatever the line edit leaves unused stops here too: the window would
    // take it for a shortcut.
    event->accept();
}

void OvCGSearchField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Another window in front leaves the field the window's focus widget.
    if (window()->focusWidget() != this)
        emit focusLeft();
}

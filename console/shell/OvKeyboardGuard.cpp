#include "OvKeyboardGuard.h"

#include "cg/OvTakeCommand.h"
#include "shortcut/OvKeyMap.h"
#include "shortcut/OvShortcutKey.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

QKeySequence sequenceOf(const QKeyEvent* key)
{
    return QKeySequence(key->key() | int(key->modifiers() & ~Qt::KeypadModifier));
}

bool hasCommandModifier(const QKeySequence& key)
{
    return !key.isEmpty() && (key[0] & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
}

}  // namespace

OvKeyboardGuard::OvKeyboardGuard(QWidget* mainWindow, OvTakeCommand* takes)
    : QObject(mainWindow), m_mainWindow(mainWindow), m_takes(takes)
{
    qApp->installEventFilter(this);
}

OvKeyboardGuard::~OvKeyboardGuard()
{
    qApp->removeEventFilter(this);
}

bool OvKeyboardGuard::isEditor(const QWidget* widget)
{
    if (const auto* line = qobject_cast<const QLineEdit*>(widget))
        return !line->isReadOnly();
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(widget))
        return !spin->isReadOnly();
    if (const auto* text = qobject_cast<const QTextEdit*>(widget))
        return !text->isReadOnly();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget))
        return !plain->isReadOnly();
    return false;
}

bool OvKeyboardGuard::editorHasKeyboard()
{
    return isEditor(QApplication::focusWidget());
}

bool OvKeyboardGuard::isWindowChord(const QKeyEvent* key)
{
    const QKeySequence pressed = sequenceOf(key);
    if (pressed == QKeySequence(QKeySequence::Find))
        return true;
    const OvKeyMap& keys = OvKeyMap::current();
    for (const OvKeyMap::Command command : {OvKeyMap::Lock, OvKeyMap::ClearAll})
        if (pressed == keys.key(command) && hasCommandModifier(pressed))
            return true;
    return false;
}

bool OvKeyboardGuard::isHeld(const QKeyEvent* press)
{
    if (press->isAutoRepeat())
        return true;
    const quint32 code = press->nativeScanCode();
    const unsigned long at = press->timestamp();
    // Made by a program, not by a keyboard: nothing to tell by.
    if (code == 0 || at == 0)
        return false;
    if (code == m_lastCode && at == m_lastAt)
        return m_lastHeld;
    KeyState& state = m_keys[code];
    // A repeat comes as a release and a press at the same moment, or where
    // the server says repeats as such, as a press without a release.
    const bool held = at == state.releasedAt || (state.down && at - state.pressedAt <= MaxRepeatGapMs);
    state.down = true;
    state.pressedAt = at;
    m_lastCode = code;
    m_lastAt = at;
    m_lastHeld = held;
    return held;
}

void OvKeyboardGuard::released(const QKeyEvent* release)
{
    const quint32 code = release->nativeScanCode();
    if (code == 0 || release->timestamp() == 0)
        return;
    KeyState& state = m_keys[code];
    state.down = false;
    state.releasedAt = release->timestamp();
}

bool OvKeyboardGuard::eventFilter(QObject* watched, QEvent* e)
{
    // A release may go to another program's window: what was down is not.
    if (e->type() == QEvent::ApplicationDeactivate)
        m_keys.clear();
    if (e->type() != QEvent::ShortcutOverride && e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease)
        return false;
    auto* const widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false;
    auto* const key = static_cast<QKeyEvent*>(e);
    if (e->type() == QEvent::KeyRelease) {
        released(key);
        return false;
    }
    const bool held = isHeld(key);
    QWidget* const focus = QApplication::focusWidget();
    // The window's shortcuts live in the main window, and only its editors
    // need keeping from them.
    const bool inEditor = isEditor(focus) && focus->window() == m_mainWindow && !isWindowChord(key);
    const bool inMainWindow = widget->window() == m_mainWindow;
    if (e->type() == QEvent::ShortcutOverride) {
        // The editor takes the key as a key press: no shortcut of the window
        // (Insert, Delete, a lock or GO on a bare key) fires from inside it.
        // Nor from a key held down (the lock would flicker, Insert add a
        // cue a repeat): the press then goes where keys go, and stops below.
        if ((inEditor && widget == focus) || (held && inMainWindow && !inEditor)) {
            e->accept();
            return true;
        }
        return false;
    }
    // What an editor does not use stops there: passed up, the window would
    // take it for a single key (GO on F5 while a duration is typed).
    if (inEditor && widget != focus) {
        e->accept();
        return true;
    }
    // A single key held down: its repeats run nothing but an arrow's, and go
    // no further.
    if (held && inMainWindow && !inEditor
        && OvShortcutKey::instance().activateKeyPress(key->key(), key->modifiers(), true)) {
        e->accept();
        return true;
    }
    // A box in front has the keyboard, and the window's lock shortcut waits
    // behind it. Its key locks from the box as well (from a field there only
    // as a chord), taken where the box first receives it so that it goes no
    // further; every other key stays with the box.
    const QKeySequence lock = OvKeyMap::current().key(OvKeyMap::Lock);
    if (!inMainWindow && sequenceOf(key) == lock && (!isEditor(widget) || hasCommandModifier(lock))) {
        if (!held) {
            m_takes->setLocked(!m_takes->isLocked());
        }
        e->accept();
        return true;
    }
    return false;
}

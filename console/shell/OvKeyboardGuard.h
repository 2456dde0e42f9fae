#pragma once

#include <QHash>
#include <QObject>

class OvTakeCommand;
class QKeyEvent;
class QWidget;

// Where a key goes when two owners could claim it, for the whole program.
// - A key held down is one press: its repeats reach neither the single keys
//   (GO would take the cue after the next) nor the window's shortcuts; the
//   arrows alone walk on. Told by the keyboard itself, since Qt's own repeat
//   flag misses most repeats under X.
// - An open editor (a duration being typed, the search field, any text
//   field) keeps every key, whatever [KEYS] gives the console: neither the
//   window's shortcuts nor the single keys see what it types or lets
//   through. Only the chords of the lock and of take all off (with Ctrl, Alt
//   or Meta) and Ctrl+F still act from it.
// - The lock's key locks from any of the console's boxes too (the
//   take-all-off question, a message box); a box keeps every other key.
class OvKeyboardGuard : public QObject
{
    Q_OBJECT
public:
    // The longest pause between two repeats of a held key, the first one
    // after the repeat delay included, where the server sends no release
    // between them.
    static constexpr unsigned long MaxRepeatGapMs = 1000;

    // Installed on the application for as long as it lives; mainWindow holds
    // the window's own shortcuts (the lock's among them).
    OvKeyboardGuard(QWidget* mainWindow, OvTakeCommand* takes);
    ~OvKeyboardGuard() override;

    // A field the operator types into has the keyboard.
    static bool editorHasKeyboard();
    static bool isEditor(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // The lock's, take all off's or the search's chord: acts from an editor too.
    static bool isWindowChord(const QKeyEvent* key);
    // Whether a press repeats a key held down; the same answer for every
    // receiver of one press (the shortcut override, the press, its parents).
    bool isHeld(const QKeyEvent* press);
    void released(const QKeyEvent* release);

    struct KeyState
    {
        unsigned long pressedAt = 0;
        unsigned long releasedAt = 0;
        bool down = false;
    };

    QWidget* m_mainWindow = nullptr;
    OvTakeCommand* m_takes;
    QHash<quint32, KeyState> m_keys;  // by the keyboard's scan code
    quint32 m_lastCode = 0;
    unsigned long m_lastAt = 0;
    bool m_lastHeld = false;
};

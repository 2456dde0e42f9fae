#pragma once

#include <QKeySequence>
#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>

class OvHotKeyPlatform;
class OvKeyMap;

// The process-wide table of single-key shortcuts and their on/off switch.
// The shortcuts start switched off; the system-wide hot key (Ctrl+Alt+Q)
// flips them with toggleShortcuts(). The main window hands every key press to
// activateKeyPress(), which runs the registered callback while the switch is on.
class OvShortcutKey : public QObject
{
    Q_OBJECT
public:
    static OvShortcutKey& instance();
    ~OvShortcutKey() override;

    // The first registration of a sequence wins while its owner lives (none:
    // for the whole process); later ones are dropped. An owner that goes
    // takes its keys with it, so the objects that own keys can be built anew.
    // A key held down is one press unless it repeats (a key that moves rather
    // than takes: the arrows).
    void addShortcut(const QKeySequence& sequence, std::function<void()> callback, bool repeats = false,
                     const QObject* owner = nullptr);
    // The operator's keys: the single keys of the publish commands (and GO)
    // move from the keys in force to map's, the hot key to map's toggle key,
    // and map becomes the keys in force.
    void applyKeys(const OvKeyMap& map);
    // Runs the callback for sequence; false when switched off or not registered.
    bool activate(const QKeySequence& sequence);
    // A key press as the main window receives it: only a bare key counts. The
    // X server's repeats of a held key (autoRepeat) run nothing but are still
    // the shortcut's (true), so that nobody else takes them either.
    bool activateKeyPress(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat = false);
    // The single key a press stands for, or an empty sequence when Ctrl, Alt,
    // Meta or a layout switch is held: Ctrl+C, Alt+X and the like belong to the
    // desktop and the widgets, never to a publish command. Shift does not
    // count, as a layout may need it for the key, nor does the keypad flag of
    // an arrow.
    static QKeySequence singleKey(int key, Qt::KeyboardModifiers modifiers);

    // Flips the switch and posts the new state to the message hub.
    void toggleShortcuts();
    bool isEnabled() const;

    QKeySequence hotKeySequence() const;
    // Another hot key: the grab moves to it.
    void setHotKeySequence(const QKeySequence& sequence);
    int hotKeyKey() const;
    int hotKeyModifiers() const;

    // Grabs the hot key system-wide; false when another program holds it or
    // there is no windowing system to grab it from (the shortcuts then stay off).
    bool registerHotKey();
    bool unregisterHotKey();
    bool isHotKeyRegistered() const;

private:
    OvShortcutKey();
    static void releaseHotKey();

    struct Shortcut
    {
        std::function<void()> callback;
        QPointer<const QObject> owner;
        bool owned = false;
        bool repeats = false;
        bool live() const { return callback && (!owned || owner); }
    };
    // The registration of sequence, if its owner lives.
    const Shortcut* find(const QKeySequence& sequence) const;

    std::map<QKeySequence, Shortcut> m_shortcuts;
    // Grabs the hot key and, installed as the native event filter, reports it.
    std::unique_ptr<OvHotKeyPlatform> m_hotKeyFilter;
    QKeySequence m_hotKeySequence;
    bool m_enabled = false;
};

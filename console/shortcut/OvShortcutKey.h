#pragma once

#include <QKeySequence>
#include <QObject>

#include <functional>
#include <map>

// The process-wide table of single-key shortcuts and their on/off switch.
// The shortcuts start switched off; the system-wide hot key (Ctrl+Alt+Q)
// flips them with toggleShortcuts(). The main window hands every key press to
// activate(), which runs the registered callback while the switch is on.
class OvShortcutKey : public QObject
{
public:
    static OvShortcutKey& instance();
    ~OvShortcutKey() override;

    // The first registration of a sequence wins; later ones are dropped.
    void addShortcut(const QKeySequence& sequence, std::function<void()> callback);
    // Runs the callback for sequence; false when switched off or not registered.
    bool activate(const QKeySequence& sequence);

    // Flips the switch and posts the new state to the message hub.
    void toggleShortcuts();
    bool isEnabled() const;

    QKeySequence hotKeySequence() const;
    int hotKeyKey() const;
    int hotKeyModifiers() const;

    // Grabbing the hot key system-wide is platform work; until a platform
    // facility is wired in, these report that nothing was grabbed.
    bool registerHotKey();
    bool unregisterHotKey();

private:
    OvShortcutKey();

    std::map<QKeySequence, std::function<void()>> m_shortcuts;
    QKeySequence m_hotKeySequence;
    bool m_enabled = false;
};

// Windows: RegisterHotKey without a window, so WM_HOTKEY arrives in the GUI
// thread's message queue, where Qt hands it to the native event filters.

#include "shortcut/OvHotKeyPlatform.h"

#include "shortcut/OvKeyCodes.h"

#include <QByteArray>

#include <qt_windows.h>

#include <utility>

struct OvHotKeyPlatform::Native {
    int id = 0;
    bool registered = false;
};

OvHotKeyPlatform::OvHotKeyPlatform(std::function<void()> onPressed)
    : d(std::make_unique<Native>()), m_onPressed(std::move(onPressed))
{
}

OvHotKeyPlatform::~OvHotKeyPlatform()
{
    unregisterHotKey();
}

bool OvHotKeyPlatform::registerHotKey(int qtKey, int qtModifiers)
{
    unregisterHotKey();
    const int virtualKey = OvKeyCodes::virtualKey(qtKey);
    const unsigned modifiers = OvKeyCodes::hotKeyModifiers(qtModifiers);
    if (virtualKey == 0)
        return false;
    d->id = OvKeyCodes::hotKeyId(virtualKey, modifiers);
    d->registered = ::RegisterHotKey(nullptr, d->id, modifiers, static_cast<UINT>(virtualKey)) != FALSE;
    return d->registered;
}

bool OvHotKeyPlatform::unregisterHotKey()
{
    if (!d->registered)
        return false;
    d->registered = false;
    return ::UnregisterHotKey(nullptr, d->id) != FALSE;
}

bool OvHotKeyPlatform::isRegistered() const
{
    return d->registered;
}

bool OvHotKeyPlatform::nativeEventFilter(const QByteArray& eventType, void* message, long* result)
{
    Q_UNUSED(result)
    if (eventType != QByteArrayLiteral("windows_generic_MSG") || !message)
        return false;
    const MSG* msg = static_cast<const MSG*>(message);
    // The low word of lParam carries the hot key's modifier bits.
    if (msg->message == WM_HOTKEY && static_cast<int>(msg->wParam) == d->id && (LOWORD(msg->lParam) & MOD_ALT)
        && m_onPressed)
        m_onPressed();
    return false;
}

// Builds without a supported windowing system: no hot key, the single-key
// shortcuts stay off.

#include "shortcut/OvHotKeyPlatform.h"

#include <utility>

struct OvHotKeyPlatform::Native {
};

OvHotKeyPlatform::OvHotKeyPlatform(std::function<void()> onPressed)
    : d(std::make_unique<Native>()), m_onPressed(std::move(onPressed))
{
}

OvHotKeyPlatform::~OvHotKeyPlatform() = default;

bool OvHotKeyPlatform::registerHotKey(int qtKey, int qtModifiers)
{
    Q_UNUSED(qtKey)
    Q_UNUSED(qtModifiers)
    return false;
}

bool OvHotKeyPlatform::unregisterHotKey()
{
    return false;
}

bool OvHotKeyPlatform::isRegistered() const
{
    return false;
}

bool OvHotKeyPlatform::nativeEventFilter(const QByteArray& eventType, void* message, long* result)
{
    Q_UNUSED(eventType)
    Q_UNUSED(message)
    Q_UNUSED(result)
    return false;
}

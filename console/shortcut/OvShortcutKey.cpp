#include "shortcut/OvShortcutKey.h"

#include "log/OvCGMessage.h"

#include <utility>

OvShortcutKey& OvShortcutKey::instance()
{
    static OvShortcutKey manager;
    return manager;
}

OvShortcutKey::OvShortcutKey()
    : QObject(nullptr),
      m_hotKeySequence(QKeySequence::fromString(QStringLiteral("Ctrl+Alt+Q"), QKeySequence::PortableText))
{
    // The platform's native event filter that reports the hot key is
    // installed here once one exists; a refused grab leaves the shortcuts
    // permanently off, which is why the result is not acted upon.
    registerHotKey();
}

OvShortcutKey::~OvShortcutKey()
{
    unregisterHotKey();
}

void OvShortcutKey::addShortcut(const QKeySequence& sequence, std::function<void()> callback)
{
    m_shortcuts.emplace(sequence, std::move(callback));
}

bool OvShortcutKey::activate(const QKeySequence& sequence)
{
    if (!m_enabled)
        return false;
    const auto it = m_shortcuts.find(sequence);
    if (it == m_shortcuts.end() || !it->second)
        return false;
    // Copied: the callback may register shortcuts of its own.
    const std::function<void()> callback = it->second;
    callback();
    return true;
}

void OvShortcutKey::toggleShortcuts()
{
    m_enabled = !m_enabled;
    const QString text = m_enabled ? QStringLiteral("快键键已开启") : QStringLiteral("快键键已关闭");
    OvCGMessage::instance().addMessage(SystemMessage, QStringLiteral("系统"), text);
}

bool OvShortcutKey::isEnabled() const
{
    return m_enabled;
}

QKeySequence OvShortcutKey::hotKeySequence() const
{
    return m_hotKeySequence;
}

namespace {
constexpr int ModifierMask = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
}  // namespace

int OvShortcutKey::hotKeyKey() const
{
    return m_hotKeySequence.isEmpty() ? 0 : m_hotKeySequence[0] & ~ModifierMask;
}

int OvShortcutKey::hotKeyModifiers() const
{
    return m_hotKeySequence.isEmpty() ? 0 : m_hotKeySequence[0] & ModifierMask;
}

bool OvShortcutKey::registerHotKey()
{
    return false;
}

bool OvShortcutKey::unregisterHotKey()
{
    return false;
}

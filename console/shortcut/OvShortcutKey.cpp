#include "shortcut/OvShortcutKey.h"

#include "log/OvCGMessage.h"
#include "shortcut/OvHotKeyPlatform.h"
#include "shortcut/OvKeyMap.h"

#include <QCoreApplication>

#include <array>
#include <utility>

OvShortcutKey& OvShortcutKey::instance()
{
    static OvShortcutKey manager;
    return manager;
}

OvShortcutKey::OvShortcutKey()
    : QObject(nullptr),
      m_hotKeyFilter(std::make_unique<OvHotKeyPlatform>([this] { toggleShortcuts(); })),
      m_hotKeySequence(OvKeyMap::current().key(OvKeyMap::Toggle))
{
    if (QCoreApplication* const app = QCoreApplication::instance())
        app->installNativeEventFilter(m_hotKeyFilter.get());
    // One line when a keyboard change costs the hot key, one when it is back.
    m_hotKeyFilter->setHeldChanged([](bool held) {
        OvCGMessage::instance().addMessage(
            SystemMessage, OvCGMessage::systemTitle(),
            (held ? tr("全局快捷键%1已恢复") : tr("全局快捷键%1已失效，键盘布局改变后无法再次注册"))
                .arg(instance().hotKeySequence().toString(QKeySequence::PortableText)));
    });
    // This object outlives the application, whose windowing-system connection
    // the grab and the filter need: both go while the application ends.
    qAddPostRoutine(&OvShortcutKey::releaseHotKey);
    // A refused grab leaves the shortcuts permanently off, which is why the
    // result is not acted upon.
    registerHotKey();
}

OvShortcutKey::~OvShortcutKey()
{
    unregisterHotKey();
}

void OvShortcutKey::releaseHotKey()
{
    OvShortcutKey& keys = instance();
    keys.unregisterHotKey();
    // Its destructor takes the filter out of the event dispatcher.
    keys.m_hotKeyFilter.reset();
}

void OvShortcutKey::addShortcut(const QKeySequence& sequence, std::function<void()> callback, bool repeats)
{
    if (m_shortcuts.emplace(sequence, std::move(callback)).second && repeats)
        m_repeating.insert(sequence);
}

void OvShortcutKey::applyKeys(const OvKeyMap& map)
{
    const OvKeyMap& old = OvKeyMap::current();
    // All taken out before any goes back, so that two commands may swap keys.
    std::array<std::function<void()>, OvKeyMap::CommandCount> callbacks;
    for (int i = 0; i < OvKeyMap::CommandCount; ++i) {
        const auto command = OvKeyMap::Command(i);
        const auto it = m_shortcuts.find(old.key(command));
        if (!OvKeyMap::isSingleKey(command) || it == m_shortcuts.end())
            continue;
        callbacks[size_t(i)] = std::move(it->second);
        m_shortcuts.erase(it);
    }
    for (int i = 0; i < OvKeyMap::CommandCount; ++i)
        if (callbacks[size_t(i)])
            m_shortcuts[map.key(OvKeyMap::Command(i))] = std::move(callbacks[size_t(i)]);
    setHotKeySequence(map.key(OvKeyMap::Toggle));
    OvKeyMap::setCurrent(map);
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

bool OvShortcutKey::activateKeyPress(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat)
{
    const QKeySequence sequence = singleKey(key, modifiers);
    if (sequence.isEmpty())
        return false;
    // GO held past the repeat delay would take the cue after the next, each
    // repeat another; a publish key would send again what the server just
    // confirmed.
    if (autoRepeat && m_repeating.count(sequence) == 0) {
        const auto it = m_shortcuts.find(sequence);
        return m_enabled && it != m_shortcuts.end() && it->second;
    }
    return activate(sequence);
}

QKeySequence OvShortcutKey::singleKey(int key, Qt::KeyboardModifiers modifiers)
{
    // The keypad's 1 or Enter is the same key as the main block's.
    const Qt::KeyboardModifiers ignored = Qt::ShiftModifier | Qt::KeypadModifier;
    if ((modifiers & ~ignored) != Qt::NoModifier || key == 0 || key == Qt::Key_unknown)
        return QKeySequence();
    return QKeySequence(key);
}

void OvShortcutKey::toggleShortcuts()
{
    m_enabled = !m_enabled;
    const QString text = m_enabled ? tr("快键键已开启") : tr("快键键已关闭");
    OvCGMessage::instance().addMessage(SystemMessage, OvCGMessage::systemTitle(), text);
}

bool OvShortcutKey::isEnabled() const
{
    return m_enabled;
}

QKeySequence OvShortcutKey::hotKeySequence() const
{
    return m_hotKeySequence;
}

void OvShortcutKey::setHotKeySequence(const QKeySequence& sequence)
{
    if (sequence == m_hotKeySequence)
        return;
    if (isHotKeyRegistered())
        unregisterHotKey();
    m_hotKeySequence = sequence;
    // Whether or not the old one was held: choosing another key is how an
    // operator gets round a program that holds the default.
    if (m_hotKeyFilter && !registerHotKey() && QCoreApplication::instance()) {
        OvCGMessage::instance().addMessage(
            SystemMessage, OvCGMessage::systemTitle(),
            tr("全局快捷键%1无法注册，可能已被其他程序占用").arg(sequence.toString(QKeySequence::PortableText)));
    }
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
    return m_hotKeyFilter && m_hotKeyFilter->registerHotKey(hotKeyKey(), hotKeyModifiers());
}

bool OvShortcutKey::unregisterHotKey()
{
    return m_hotKeyFilter && m_hotKeyFilter->unregisterHotKey();
}

bool OvShortcutKey::isHotKeyRegistered() const
{
    return m_hotKeyFilter && m_hotKeyFilter->isRegistered();
}

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
        OvCGMessage::systemLine((held ? tr("全局快捷键%1已恢复") : tr("全局快捷键%1已失效，键盘布局改变后无法再次注册"))
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

void OvShortcutKey::addShortcut(const QKeySequence& sequence, std::function<void()> callback, bool repeats,
                                const QObject* owner)
{
    if (find(sequence))
        return;
    m_shortcuts[sequence] = Shortcut{std::move(callback), owner, owner != nullptr, repeats};
}

const OvShortcutKey::Shortcut* OvShortcutKey::find(const QKeySequence& sequence) const
{
    const auto it = m_shortcuts.find(sequence);
    return it != m_shortcuts.end() && it->second.live() ? &it->second : nullptr;
}

void OvShortcutKey::applyKeys(const OvKeyMap& map)
{
    const OvKeyMap& old = OvKeyMap::current();
    // All taken out before any goes back, so that two commands may swap keys.
    std::array<Shortcut, OvKeyMap::CommandCount> moved;
    for (int i = 0; i < OvKeyMap::CommandCount; ++i) {
        const auto command = OvKeyMap::Command(i);
        const auto it = m_shortcuts.find(old.key(command));
        if (!OvKeyMap::isSingleKey(command) || it == m_shortcuts.end())
            continue;
        moved[size_t(i)] = std::move(it->second);
        m_shortcuts.erase(it);
    }
    for (int i = 0; i < OvKeyMap::CommandCount; ++i)
        if (moved[size_t(i)].live())
            m_shortcuts[map.key(OvKeyMap::Command(i))] = std::move(moved[size_t(i)]);
    setHotKeySequence(map.key(OvKeyMap::Toggle));
    OvKeyMap::setCurrent(map);
}

bool OvShortcutKey::activate(const QKeySequence& sequence)
{
    if (!m_enabled)
        return false;
    const Shortcut* const shortcut = find(sequence);
    if (!shortcut)
        return false;
    // Copied: the callback may register shortcuts of its own.
    const std::function<void()> callback = shortcut->callback;
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
    const Shortcut* const shortcut = find(sequence);
    if (autoRepeat && shortcut && !shortcut->repeats)
        return m_enabled;
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
    OvCGMessage::systemLine(text);
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
        OvCGMessage::systemLine(tr("全局快捷键%1无法注册，可能已被其他程序占用").arg(sequence.toString(QKeySequence::PortableText)));
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

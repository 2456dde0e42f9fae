#pragma once

#include <QAbstractNativeEventFilter>

#include <functional>
#include <memory>

// One key combination grabbed system-wide: each press is reported through a
// callback on the GUI thread, whichever application has the keyboard. Install
// the object as the application's native event filter so that it sees the
// windowing system's events. Each windowing system has its own source file,
// chosen by the build; where there is none, registering fails and nothing else
// changes.
class OvHotKeyPlatform : public QAbstractNativeEventFilter
{
public:
    explicit OvHotKeyPlatform(std::function<void()> onPressed);
    ~OvHotKeyPlatform() override;

    OvHotKeyPlatform(const OvHotKeyPlatform&) = delete;
    OvHotKeyPlatform& operator=(const OvHotKeyPlatform&) = delete;

    // qtKey is a Qt::Key without modifier bits, qtModifiers Qt::KeyboardModifiers
    // bits. False when the combination cannot be had: another program holds it,
    // the keyboard has no such key, or there is no windowing system to ask.
    // A combination held already is released first.
    bool registerHotKey(int qtKey, int qtModifiers);
    // False when nothing was registered.
    bool unregisterHotKey();
    bool isRegistered() const;

    // Told when a registered combination is lost (a keyboard mapping change
    // whose grab failed) and when it is held again; the platform keeps trying
    // at every mapping change while the combination is registered.
    void setHeldChanged(std::function<void(bool held)> callback) { m_onHeldChanged = std::move(callback); }

    // Never consumes an event.
    bool nativeEventFilter(const QByteArray& eventType, void* message, long* result) override;

private:
    struct Native;
    std::unique_ptr<Native> d;
    const std::function<void()> m_onPressed;
    std::function<void(bool held)> m_onHeldChanged;
};

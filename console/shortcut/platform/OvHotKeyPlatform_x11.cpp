// X11: the hot key is a passive key grab on the root window, made through
// Qt's own xcb connection; the grabbed presses arrive among Qt's xcb events.

#include "shortcut/OvHotKeyPlatform.h"

#include "shortcut/OvKeyCodes.h"

#include <QByteArray>
#include <QVector>
#include <QX11Info>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <utility>

namespace {

constexpr xcb_keysym_t kNumLock = 0xff7f;
constexpr xcb_keysym_t kScrollLock = 0xff14;
// Shift, Lock, Control and Mod1 to Mod5: the bits a key event's state reports for modifiers.
constexpr quint16 kModifierBits = 0xff;

QVector<xcb_keycode_t> keycodesOf(xcb_key_symbols_t* symbols, xcb_keysym_t keysym)
{
    QVector<xcb_keycode_t> codes;
    xcb_keycode_t* found = xcb_key_symbols_get_keycode(symbols, keysym);
    if (!found)
        return codes;
    for (const xcb_keycode_t* code = found; *code != XCB_NO_SYMBOL; ++code)
        if (!codes.contains(*code))
            codes.append(*code);
    std::free(found);
    return codes;
}

// The modifier bits that hold NumLock and ScrollLock in the current modifier
// mapping: which ModN they are on differs between keyboards and set-ups.
std::pair<quint16, quint16> lockBits(xcb_connection_t* connection, xcb_key_symbols_t* symbols)
{
    const QVector<xcb_keycode_t> numLock = keycodesOf(symbols, kNumLock);
    const QVector<xcb_keycode_t> scrollLock = keycodesOf(symbols, kScrollLock);
    xcb_get_modifier_mapping_reply_t* reply =
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    if (!reply)
        return {0, 0};
    quint16 num = 0;
    quint16 scroll = 0;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply);
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = codes[modifier * perModifier + i];
            if (code == XCB_NO_SYMBOL)
                continue;
            if (numLock.contains(code))
                num |= 1 << modifier;
            if (scrollLock.contains(code))
                scroll |= 1 << modifier;
        }
    }
    std::free(reply);
    return {num, scroll};
}

}  // namespace

struct OvHotKeyPlatform::Native {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    xcb_keysym_t keysym = 0;
    quint16 modifiers = 0;
    // Registered: grabbed again after every keyboard mapping change, also
    // after one whose grab failed.
    bool wanted = false;
    // Held now: presses are reported.
    bool active = false;
    // The first event code of the XKB extension; 0 without it. Qt's own
    // connection uses XKB, and then hears of keyboard mapping changes (a
    // layout switch) through its events rather than the core MappingNotify.
    quint8 xkbEventBase = 0;
    // What is grabbed now: every keycode of the key, each with every
    // combination of the lock bits, so the lock state does not matter.
    QVector<xcb_keycode_t> keycodes;
    QVector<quint16> lockCombinations;
    quint16 lockMask = 0;
    bool sawRelease = false;
    xcb_timestamp_t lastRelease = 0;

    bool grab();
    void ungrab();
    bool isMappingChange(const xcb_generic_event_t* event) const;
    bool connectionAlive() const { return connection && QX11Info::connection() == connection; }
};

bool OvHotKeyPlatform::Native::isMappingChange(const xcb_generic_event_t* event) const
{
    const quint8 type = event->response_type & ~0x80;
    if (type == XCB_MAPPING_NOTIFY)
        return reinterpret_cast<const xcb_mapping_notify_event_t*>(event)->request != XCB_MAPPING_POINTER;
    // XKB's NewKeyboardNotify (0) and MapNotify (1); its kind is the second byte.
    constexpr quint8 NewKeyboardNotify = 0;
    constexpr quint8 MapNotify = 1;
    const quint8 xkbType = reinterpret_cast<const quint8*>(event)[1];
    return xkbEventBase != 0 && type == xkbEventBase && (xkbType == NewKeyboardNotify || xkbType == MapNotify);
}

bool OvHotKeyPlatform::Native::grab()
{
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
    if (!symbols)
        return false;
    keycodes = keycodesOf(symbols, keysym);
    const std::pair<quint16, quint16> locks = lockBits(connection, symbols);
    xcb_key_symbols_free(symbols);
    if (keycodes.isEmpty())
        return false;

    lockMask = (XCB_MOD_MASK_LOCK | locks.first | locks.second) & ~modifiers;
    lockCombinations.clear();
    for (quint16 subset = lockMask;; subset = (subset - 1) & lockMask) {
        lockCombinations.append(subset);
        if (subset == 0)
            break;
    }

    QVector<xcb_void_cookie_t> cookies;
    for (const xcb_keycode_t code : qAsConst(keycodes))
        for (const quint16 locked : qAsConst(lockCombinations))
            cookies.append(xcb_grab_key_checked(connection, 0, root, modifiers | locked, code,
                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    // BadAccess means another client holds the combination. All or nothing:
    // a hot key that works only in some lock states would puzzle the operator.
    bool refused = false;
    for (const xcb_void_cookie_t& cookie : qAsConst(cookies)) {
        if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    if (refused) {
        ungrab();
        return false;
    }
    return true;
}

void OvHotKeyPlatform::Native::ungrab()
{
    // Releasing only ever touches this client's own grabs.
    for (const xcb_keycode_t code : qAsConst(keycodes))
        for (const quint16 locked : qAsConst(lockCombinations))
            xcb_ungrab_key(connection, code, root, modifiers | locked);
    xcb_flush(connection);
    keycodes.clear();
    lockCombinations.clear();
}

OvHotKeyPlatform::OvHotKeyPlatform(std::function<void()> onPressed)
    : d(std::make_unique<Native>()), m_onPressed(std::move(onPressed))
{
}

OvHotKeyPlatform::~OvHotKeyPlatform()
{
    // After the application has gone its X connection is closed, which has
    // released the grab already.
    if (d->connectionAlive())
        unregisterHotKey();
}

bool OvHotKeyPlatform::registerHotKey(int qtKey, int qtModifiers)
{
    if (d->connectionAlive())
        unregisterHotKey();
    if (!QX11Info::isPlatformX11())
        return false;
    d->connection = QX11Info::connection();
    d->root = QX11Info::appRootWindow();
    d->keysym = OvKeyCodes::keysym(qtKey);
    d->modifiers = OvKeyCodes::x11Modifiers(qtModifiers);
    d->sawRelease = false;
    if (!d->connection || d->root == XCB_WINDOW_NONE || d->keysym == 0)
        return false;
    static const char xkbName[] = "XKEYBOARD";
    xcb_query_extension_reply_t* xkb = xcb_query_extension_reply(
        d->connection, xcb_query_extension(d->connection, sizeof xkbName - 1, xkbName), nullptr);
    d->xkbEventBase = xkb && xkb->present ? xkb->first_event : 0;
    std::free(xkb);
    d->active = d->grab();
    d->wanted = d->active;
    return d->active;
}

bool OvHotKeyPlatform::unregisterHotKey()
{
    d->active = false;
    d->wanted = false;
    if (d->keycodes.isEmpty() || !d->connectionAlive())
        return false;
    d->ungrab();
    return true;
}

bool OvHotKeyPlatform::isRegistered() const
{
    return !d->keycodes.isEmpty();
}

bool OvHotKeyPlatform::nativeEventFilter(const QByteArray& eventType, void* message, long* result)
{
    Q_UNUSED(result)
    if (!d->wanted || eventType != QByteArrayLiteral("xcb_generic_event_t") || !message)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & ~0x80) {
    case XCB_KEY_PRESS: {
        if (!d->active)
            break;
        const auto* key = static_cast<const xcb_key_press_event_t*>(message);
        if (!d->keycodes.contains(key->detail) || (key->state & kModifierBits & ~d->lockMask) != d->modifiers)
            break;
        // X repeats a held key as release and press with one timestamp; holding
        // the hot key is still one press.
        if (d->sawRelease && key->time == d->lastRelease)
            break;
        if (m_onPressed)
            m_onPressed();
        break;
    }
    case XCB_KEY_RELEASE: {
        const auto* key = static_cast<const xcb_key_release_event_t*>(message);
        if (d->keycodes.contains(key->detail)) {
            d->sawRelease = true;
            d->lastRelease = key->time;
        }
        break;
    }
    default:
        // The key or the lock bits may have moved: grab what the new mapping
        // says, and tell when that loses or regains the key.
        if (d->isMappingChange(event) && d->connectionAlive()) {
            const bool wasActive = d->active;
            d->ungrab();
            d->active = d->grab();
            if (d->active != wasActive && m_onHeldChanged)
                m_onHeldChanged(d->active);
        }
        break;
    }
    return false;
}

#pragma once

#include <QtGlobal>

// Translations of a Qt key and Qt modifier bits into the codes the windowing
// systems' hot-key facilities take. Pure functions, so every table is checked
// on every platform, whichever one the program is built for.
namespace OvKeyCodes {

// Windows virtual-key code of a Qt key (no modifier bits); 0 when the key has none.
int virtualKey(int qtKey);
// Windows hot-key modifier bits (MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4, MOD_WIN 8).
unsigned hotKeyModifiers(int qtModifiers);
// The identifier a hot key is registered under with Windows.
int hotKeyId(int virtualKey, unsigned hotKeyModifiers);

// X11 keysym of a Qt key (no modifier bits); 0 (NoSymbol) when there is none.
// Mirrors the Windows table key for key, so a hot key means the same key on both.
quint32 keysym(int qtKey);
// X11 core modifier mask: Shift, Control, Mod1 for Alt, Mod4 for Meta.
quint16 x11Modifiers(int qtModifiers);

}  // namespace OvKeyCodes

#include "shortcut/OvKeyCodes.h"

#include <Qt>

namespace {

struct KeyRow {
    int qtKey;
    int virtualKey;
    quint32 keysym;
};

// Keys whose codes are not a plain range. The Windows codes for * + , - / are
// those of the numeric pad; the keysyms follow them so both platforms grab
// the same physical keys.
constexpr KeyRow kKeys[] = {
    {Qt::Key_Space, 32, 0x0020},       {Qt::Key_Asterisk, 106, 0xffaa}, {Qt::Key_Plus, 107, 0xffab},
    {Qt::Key_Comma, 108, 0xffac},      {Qt::Key_Minus, 109, 0xffad},    {Qt::Key_Slash, 111, 0xffaf},
    {Qt::Key_Escape, 27, 0xff1b},      {Qt::Key_Tab, 9, 0xff09},        {Qt::Key_Backtab, 9, 0xff09},
    {Qt::Key_Backspace, 8, 0xff08},    {Qt::Key_Return, 13, 0xff0d},    {Qt::Key_Enter, 13, 0xff8d},
    {Qt::Key_Insert, 45, 0xff63},      {Qt::Key_Delete, 46, 0xffff},    {Qt::Key_Pause, 19, 0xff13},
    {Qt::Key_Print, 42, 0xff61},       {Qt::Key_Clear, 12, 0xff0b},     {Qt::Key_Home, 36, 0xff50},
    {Qt::Key_End, 35, 0xff57},         {Qt::Key_Left, 37, 0xff51},      {Qt::Key_Up, 38, 0xff52},
    {Qt::Key_Right, 39, 0xff53},       {Qt::Key_Down, 40, 0xff54},      {Qt::Key_PageUp, 33, 0xff55},
    {Qt::Key_PageDown, 34, 0xff56},
};

const KeyRow* findKey(int qtKey)
{
    for (const KeyRow& row : kKeys)
        if (row.qtKey == qtKey)
            return &row;
    return nullptr;
}

}  // namespace

namespace OvKeyCodes {

int virtualKey(int qtKey)
{
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 112 + (qtKey - Qt::Key_F1);
    const KeyRow* row = findKey(qtKey);
    return row ? row->virtualKey : 0;
}

unsigned hotKeyModifiers(int qtModifiers)
{
    unsigned bits = 0;
    if (qtModifiers & Qt::AltModifier)
        bits |= 1;
    if (qtModifiers & Qt::ControlModifier)
        bits |= 2;
    if (qtModifiers & Qt::ShiftModifier)
        bits |= 4;
    if (qtModifiers & Qt::MetaModifier)
        bits |= 8;
    return bits;
}

int hotKeyId(int virtualKey, unsigned hotKeyModifiers)
{
    return virtualKey ^ static_cast<int>(hotKeyModifiers);
}

quint32 keysym(int qtKey)
{
    // Latin keysyms of digits equal their codes; letters are grabbed by their
    // lower-case keysym, the one in the keymap's first column.
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<quint32>(qtKey);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return static_cast<quint32>(qtKey - Qt::Key_A + 'a');
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 0xffbe + static_cast<quint32>(qtKey - Qt::Key_F1);
    const KeyRow* row = findKey(qtKey);
    return row ? row->keysym : 0;
}

quint16 x11Modifiers(int qtModifiers)
{
    quint16 mask = 0;
    if (qtModifiers & Qt::ShiftModifier)
        mask |= 1 << 0;  // ShiftMask
    if (qtModifiers & Qt::ControlModifier)
        mask |= 1 << 2;  // ControlMask
    if (qtModifiers & Qt::AltModifier)
        mask |= 1 << 3;  // Mod1Mask
    if (qtModifiers & Qt::MetaModifier)
        mask |= 1 << 6;  // Mod4Mask
    return mask;
}

}  // namespace OvKeyCodes

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HotKeyCombination.h"

namespace {

// Virtual key code → keysym and place: letters, digits and punctuation of the ANSI
// keyboard (as the unshifted keysyms their keys produce), return, tab, space, backspace,
// escape, F1 to F12 and the arrows; the place is the X key code of that key on the usual
// evdev keyboard of Linux desktops (Xorg, XWayland, Xvfb).
struct KeyEntry
{
    quint32 keyCode;
    quint32 keysym;
    quint8 positionKeycode;
};
constexpr KeyEntry keysByKeyCode[] = {
    {0x00, 'a', 38},     {0x01, 's', 39},     {0x02, 'd', 40},     {0x03, 'f', 41},
    {0x04, 'h', 43},     {0x05, 'g', 42},     {0x06, 'z', 52},     {0x07, 'x', 53},
    {0x08, 'c', 54},     {0x09, 'v', 55},     {0x0B, 'b', 56},     {0x0C, 'q', 24},
    {0x0D, 'w', 25},     {0x0E, 'e', 26},     {0x0F, 'r', 27},     {0x10, 'y', 29},
    {0x11, 't', 28},     {0x12, '1', 10},     {0x13, '2', 11},     {0x14, '3', 12},
    {0x15, '4', 13},     {0x16, '6', 15},     {0x17, '5', 14},     {0x18, '=', 21},
    {0x19, '9', 18},     {0x1A, '7', 16},     {0x1B, '-', 20},     {0x1C, '8', 17},
    {0x1D, '0', 19},     {0x1E, ']', 35},     {0x1F, 'o', 32},     {0x20, 'u', 30},
    {0x21, '[', 34},     {0x22, 'i', 31},     {0x23, 'p', 33},     {0x24, 0xff0d, 36},
    {0x25, 'l', 46},     {0x26, 'j', 44},     {0x27, '\'', 48},    {0x28, 'k', 45},
    {0x29, ';', 47},     {0x2A, '\\', 51},    {0x2B, ',', 59},     {0x2C, '/', 61},
    {0x2D, 'n', 57},     {0x2E, 'm', 58},     {0x2F, '.', 60},     {0x30, 0xff09, 23},
    {0x31, ' ', 65},     {0x32, '`', 49},     {0x33, 0xff08, 22},  {0x35, 0xff1b, 9},
    {0x7A, 0xffbe, 67},  {0x78, 0xffbf, 68},  {0x63, 0xffc0, 69},  {0x76, 0xffc1, 70},
    {0x60, 0xffc2, 71},  {0x61, 0xffc3, 72},  {0x62, 0xffc4, 73},  {0x64, 0xffc5, 74},
    {0x65, 0xffc6, 75},  {0x6D, 0xffc7, 76},  {0x67, 0xffc8, 95},  {0x6F, 0xffc9, 96},
    {0x7B, 0xff51, 113}, {0x7C, 0xff53, 114}, {0x7D, 0xff54, 116}, {0x7E, 0xff52, 111},
};

const KeyEntry *entryOf(quint32 keyCode)
{
    for (const KeyEntry &entry : keysByKeyCode) {
        if (entry.keyCode == keyCode)
            return &entry;
    }
    return nullptr;
}

} // namespace

std::optional<HotKeyCombination> HotKeyCombination::fromCarbon(quint32 keyCode, quint32 modifiers)
{
    using namespace CarbonKeys;
    const quint32 known =
        commandModifier | shiftModifier | capsLockModifier | optionModifier | controlModifier;
    if (modifiers & ~known)
        return std::nullopt;
    const KeyEntry *entry = entryOf(keyCode);
    if (!entry)
        return std::nullopt;
    HotKeyCombination combination;
    combination.keysym = entry->keysym;
    combination.positionKeycode = entry->positionKeycode;
    combination.modifiers.setFlag(HotKeyModifier::super, modifiers & commandModifier);
    combination.modifiers.setFlag(HotKeyModifier::shift, modifiers & shiftModifier);
    combination.modifiers.setFlag(HotKeyModifier::alt, modifiers & optionModifier);
    combination.modifiers.setFlag(HotKeyModifier::control, modifiers & controlModifier);
    return combination;
}

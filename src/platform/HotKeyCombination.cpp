// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HotKeyCombination.h"

#include <utility>

namespace {

// Virtual key code → keysym: letters, digits and punctuation of the ANSI keyboard (as
// the unshifted keysyms their keys produce), return, tab, space, backspace, escape, F1 to
// F12 and the arrows.
constexpr std::pair<quint32, quint32> keysymsByKeyCode[] = {
    {0x00, 'a'},    {0x01, 's'},    {0x02, 'd'},    {0x03, 'f'},    {0x04, 'h'},    {0x05, 'g'},
    {0x06, 'z'},    {0x07, 'x'},    {0x08, 'c'},    {0x09, 'v'},    {0x0B, 'b'},    {0x0C, 'q'},
    {0x0D, 'w'},    {0x0E, 'e'},    {0x0F, 'r'},    {0x10, 'y'},    {0x11, 't'},    {0x12, '1'},
    {0x13, '2'},    {0x14, '3'},    {0x15, '4'},    {0x16, '6'},    {0x17, '5'},    {0x18, '='},
    {0x19, '9'},    {0x1A, '7'},    {0x1B, '-'},    {0x1C, '8'},    {0x1D, '0'},    {0x1E, ']'},
    {0x1F, 'o'},    {0x20, 'u'},    {0x21, '['},    {0x22, 'i'},    {0x23, 'p'},    {0x24, 0xff0d},
    {0x25, 'l'},    {0x26, 'j'},    {0x27, '\''},   {0x28, 'k'},    {0x29, ';'},    {0x2A, '\\'},
    {0x2B, ','},    {0x2C, '/'},    {0x2D, 'n'},    {0x2E, 'm'},    {0x2F, '.'},    {0x30, 0xff09},
    {0x31, ' '},    {0x32, '`'},    {0x33, 0xff08}, {0x35, 0xff1b}, {0x7A, 0xffbe}, {0x78, 0xffbf},
    {0x63, 0xffc0}, {0x76, 0xffc1}, {0x60, 0xffc2}, {0x61, 0xffc3}, {0x62, 0xffc4}, {0x64, 0xffc5},
    {0x65, 0xffc6}, {0x6D, 0xffc7}, {0x67, 0xffc8}, {0x6F, 0xffc9}, {0x7B, 0xff51}, {0x7C, 0xff53},
    {0x7D, 0xff54}, {0x7E, 0xff52},
};

std::optional<quint32> keysymOf(quint32 keyCode)
{
    for (const auto &[code, keysym] : keysymsByKeyCode) {
        if (code == keyCode)
            return keysym;
    }
    return std::nullopt;
}

} // namespace

std::optional<HotKeyCombination> HotKeyCombination::fromCarbon(quint32 keyCode, quint32 modifiers)
{
    using namespace CarbonKeys;
    const quint32 known =
        commandModifier | shiftModifier | capsLockModifier | optionModifier | controlModifier;
    if (modifiers & ~known)
        return std::nullopt;
    const std::optional<quint32> keysym = keysymOf(keyCode);
    if (!keysym)
        return std::nullopt;
    HotKeyCombination combination;
    combination.keysym = *keysym;
    combination.modifiers.setFlag(HotKeyModifier::super, modifiers & commandModifier);
    combination.modifiers.setFlag(HotKeyModifier::shift, modifiers & shiftModifier);
    combination.modifiers.setFlag(HotKeyModifier::alt, modifiers & optionModifier);
    combination.modifiers.setFlag(HotKeyModifier::control, modifiers & controlModifier);
    return combination;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFlags>
#include <QtGlobal>

#include <optional>

enum class HotKeyModifier : unsigned
{
    shift = 0x1,
    control = 0x2,
    alt = 0x4,
    super = 0x8
};
Q_DECLARE_FLAGS(HotKeyModifiers, HotKeyModifier)
Q_DECLARE_OPERATORS_FOR_FLAGS(HotKeyModifiers)

// Key codes and modifier bits as the hot-key calls of the application give them (the
// virtual key codes of the ANSI keyboard and the event-manager modifier mask).
namespace CarbonKeys {
inline constexpr quint32 keyN = 45;
inline constexpr quint32 commandModifier = 256;
inline constexpr quint32 shiftModifier = 512;
inline constexpr quint32 capsLockModifier = 1024;
inline constexpr quint32 optionModifier = 2048;
inline constexpr quint32 controlModifier = 4096;
} // namespace CarbonKeys

// A key with modifiers as the X server knows it: a keysym (whatever key produces it in
// any of the configured layouts), the key code of its place on the keyboard (the key to use
// when no layout has the keysym, as with a Russian-only layout for N), and abstract
// modifiers (command is Super, option is Alt).
struct HotKeyCombination
{
    quint32 keysym = 0;
    quint8 positionKeycode = 0;
    HotKeyModifiers modifiers;

    // Absent for a key code without an X equivalent or a modifier bit that has no meaning
    // for a hot key; the caps-lock bit is ignored, as every lock state is grabbed anyway.
    static std::optional<HotKeyCombination> fromCarbon(quint32 keyCode, quint32 modifiers);

    friend bool operator==(const HotKeyCombination &, const HotKeyCombination &) = default;
};

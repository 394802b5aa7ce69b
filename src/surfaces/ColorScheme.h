// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QEvent;

// The appearance the note paint is chosen for. Views ask `currentColorScheme()` when they
// paint; code that must not depend on the desktop (tests, previews) passes a scheme itself.
enum class ColorScheme
{
    light,
    dark
};

// The desktop's appearance: the style hints' colour scheme where Qt reports one, otherwise
// the lightness of the application palette's window colour. Light when there is no
// application object.
ColorScheme currentColorScheme();
// Whether `event` may mean the desktop switched between light and dark.
bool isAppearanceChange(const QEvent *event);

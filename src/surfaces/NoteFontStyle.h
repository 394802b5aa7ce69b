// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/AppSettings.h"
#include "surfaces/NoteFont.h"

#include <QFont>
#include <QString>

class UserDefaults;

// How a note's text is set: the chosen typeface and size from the settings, and the scale
// the surface showing the text applies (1.0 for the editor and the read-only body).
struct NoteFontStyle
{
    QString token = AppSettings::Defaults::noteFont;   // the `noteFont` setting
    double size = AppSettings::Defaults::noteFontSize; // the `noteFontSize` setting, in points
    double scale = 1.0;

    // The settings as they are now in `defaults`.
    static NoteFontStyle fromDefaults(const UserDefaults &defaults, double scale = 1.0);

    // The typeface named by `token`; anything unknown or empty is Caveat.
    NoteFont noteFont() const;
    // The face of `noteFont()` at size × scale. A size that is not a positive number (a
    // hand-edited settings file) counts as the default size.
    QFont font() const;

    friend bool operator==(const NoteFontStyle &, const NoteFontStyle &) = default;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NoteColor.h"
#include "surfaces/ColorScheme.h"

#include <QColor>
#include <QString>

// The three colours a note is drawn with.
struct NotePaint
{
    QColor surface; // the paper: top of its gradient, and the colour of a swatch
    QColor deep;    // a darker tone of the same hue: bottom of the paper's gradient
    QColor ink;     // text, lines, borders and button backgrounds, at various opacities

    // The washed-out variant of a card set aside: mixed towards white in the light scheme
    // and towards black in the dark one, so it recedes without turning grey.
    NotePaint dimmed(ColorScheme scheme) const;

    // The paint of the new-note tab, which belongs to no note.
    static NotePaint neutral(ColorScheme scheme);

    friend bool operator==(const NotePaint &, const NotePaint &) = default;
};

namespace NoteColors {
NotePaint paint(NoteColor color, ColorScheme scheme);
// The colour's name as the swatches' tooltips show it.
QString displayName(NoteColor color);
} // namespace NoteColors

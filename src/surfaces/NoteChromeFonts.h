// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

// The fonts of a note's chrome (everything that is not the note's own text): the desktop's
// system font at fixed sizes, made once and shared.
//
// Sizes in the design are in points as the original desktop counts them, which is what Qt
// calls logical pixels; Qt's own points are bigger (1/72 inch at the screen's logical DPI).
// Every font of the note surfaces is therefore sized in pixels through `inDesignUnits`.
namespace NoteChromeFonts {

// `font` with its point size reinterpreted as the design's points: the same family, weight
// and spacing, at a pixel size of the point size rounded to a whole pixel.
QFont inDesignUnits(const QFont &font);
// The system font at `points` design points and `weight`.
QFont systemFont(double points, QFont::Weight weight);

// Tab label along a tab: 10.5 semibold.
const QFont &tabLabel();
// Title of a note window: 15 bold.
const QFont &windowTitle();
// Status line ("Guardado · …"): 11.5 medium.
const QFont &status();
// Labels of the action buttons: 12 medium.
const QFont &button();

} // namespace NoteChromeFonts

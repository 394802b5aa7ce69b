// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NotePaint.h"

#include "surfaces/OkLab.h"

namespace {

struct Rgb
{
    int red;
    int green;
    int blue;
};

NotePaint makePaint(Rgb surface, Rgb deep, Rgb ink)
{
    return NotePaint{QColor(surface.red, surface.green, surface.blue),
                     QColor(deep.red, deep.green, deep.blue), QColor(ink.red, ink.green, ink.blue)};
}

NotePaint lightPaint(NoteColor color)
{
    switch (color) {
    case NoteColor::citrus:
        return makePaint({249, 215, 106}, {239, 198, 76}, {59, 53, 36});
    case NoteColor::coral:
        return makePaint({247, 175, 136}, {238, 154, 108}, {63, 44, 33});
    case NoteColor::rose:
        return makePaint({245, 186, 208}, {236, 163, 191}, {63, 37, 48});
    case NoteColor::lavender:
        return makePaint({218, 200, 243}, {201, 178, 236}, {50, 40, 66});
    case NoteColor::sky:
        return makePaint({175, 218, 245}, {149, 202, 238}, {34, 51, 63});
    case NoteColor::mint:
        return makePaint({180, 230, 200}, {155, 220, 182}, {34, 58, 46});
    }
    return lightPaint(NoteColor::citrus);
}

// Ink stays a very dark tone of the hue in both schemes: note text is dark on the
// mid-tone paper of the dark scheme too.
NotePaint darkPaint(NoteColor color)
{
    switch (color) {
    case NoteColor::citrus:
        return makePaint({197, 169, 80}, {179, 152, 64}, {36, 31, 18});
    case NoteColor::coral:
        return makePaint({197, 140, 108}, {179, 123, 92}, {39, 26, 19});
    case NoteColor::rose:
        return makePaint({196, 148, 166}, {180, 131, 149}, {39, 22, 32});
    case NoteColor::lavender:
        return makePaint({173, 160, 195}, {156, 142, 180}, {31, 26, 43});
    case NoteColor::sky:
        return makePaint({140, 176, 198}, {123, 159, 182}, {20, 31, 40});
    case NoteColor::mint:
        return makePaint({143, 185, 161}, {126, 168, 144}, {20, 36, 27});
    }
    return darkPaint(NoteColor::citrus);
}

constexpr double paperDimming = 0.55;
constexpr double inkDimming = 0.45;

} // namespace

NotePaint NotePaint::dimmed(ColorScheme scheme) const
{
    const QColor towards = scheme == ColorScheme::dark ? QColor(0, 0, 0) : QColor(255, 255, 255);
    return NotePaint{OkLab::mix(surface, towards, paperDimming),
                     OkLab::mix(deep, towards, paperDimming), OkLab::mix(ink, towards, inkDimming)};
}

NotePaint NotePaint::neutral(ColorScheme scheme)
{
    if (scheme == ColorScheme::dark)
        return makePaint({60, 62, 66}, {51, 53, 56}, {214, 216, 220});
    return makePaint({237, 234, 228}, {226, 222, 214}, {74, 71, 64});
}

namespace NoteColors {

NotePaint paint(NoteColor color, ColorScheme scheme)
{
    return scheme == ColorScheme::dark ? darkPaint(color) : lightPaint(color);
}

QString displayName(NoteColor color)
{
    switch (color) {
    case NoteColor::citrus:
        return QStringLiteral("Cítrico");
    case NoteColor::coral:
        return QStringLiteral("Coral");
    case NoteColor::rose:
        return QStringLiteral("Rosa");
    case NoteColor::lavender:
        return QStringLiteral("Lavanda");
    case NoteColor::sky:
        return QStringLiteral("Cielo");
    case NoteColor::mint:
        return QStringLiteral("Menta");
    }
    return displayName(NoteColor::citrus);
}

} // namespace NoteColors

// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteChromeFonts.h"

#include <QFontDatabase>

#include <QtGlobal>

#include <algorithm>

namespace NoteChromeFonts {

QFont inDesignUnits(const QFont &font)
{
    QFont result = font;
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : double(font.pixelSize());
    result.setPixelSize(std::max(1, qRound(points)));
    return result;
}

QFont systemFont(double points, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(points);
    font.setWeight(weight);
    return inDesignUnits(font);
}

const QFont &tabLabel()
{
    static const QFont font = systemFont(10.5, QFont::DemiBold);
    return font;
}

const QFont &windowTitle()
{
    static const QFont font = systemFont(15, QFont::Bold);
    return font;
}

const QFont &status()
{
    static const QFont font = systemFont(11.5, QFont::Medium);
    return font;
}

const QFont &button()
{
    static const QFont font = systemFont(12, QFont::Medium);
    return font;
}

} // namespace NoteChromeFonts

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// The six note colours, in swatch and colour-cycle order. Unknown stored tokens read
// as `citrus`.
enum class NoteColor
{
    citrus,
    coral,
    rose,
    lavender,
    sky,
    mint
};

namespace NoteColors {
QString token(NoteColor color);
NoteColor fromToken(QStringView token);
const QList<NoteColor> &allCases();
// The colour that follows `color` in the cycle citrus → coral → … → mint → citrus.
NoteColor successor(NoteColor color);
} // namespace NoteColors

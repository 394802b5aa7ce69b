// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/NoteColor.h"

namespace NoteColors {

QString token(NoteColor color)
{
    switch (color) {
    case NoteColor::citrus:
        return QStringLiteral("citrus");
    case NoteColor::coral:
        return QStringLiteral("coral");
    case NoteColor::rose:
        return QStringLiteral("rose");
    case NoteColor::lavender:
        return QStringLiteral("lavender");
    case NoteColor::sky:
        return QStringLiteral("sky");
    case NoteColor::mint:
        return QStringLiteral("mint");
    }
    return QStringLiteral("citrus");
}

NoteColor fromToken(QStringView token)
{
    for (const NoteColor color : allCases()) {
        if (NoteColors::token(color) == token)
            return color;
    }
    return NoteColor::citrus;
}

const QList<NoteColor> &allCases()
{
    static const QList<NoteColor> cases{NoteColor::citrus,   NoteColor::coral, NoteColor::rose,
                                        NoteColor::lavender, NoteColor::sky,   NoteColor::mint};
    return cases;
}

NoteColor successor(NoteColor color)
{
    const auto &cases = allCases();
    return cases[(cases.indexOf(color) + 1) % cases.size()];
}

} // namespace NoteColors

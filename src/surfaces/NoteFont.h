// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// The typefaces a note's text can be set in. The token of each case is its name, which is
// what the `noteFont` setting stores.
enum class NoteFont
{
    caveat,
    noteworthy,
    bradleyHand,
    system,
    rounded
};

namespace NoteFonts {

const QList<NoteFont> &allCases();
QString token(NoteFont font);
// The case whose token is exactly `token`, if any.
std::optional<NoteFont> fromToken(QStringView token);
// The name shown by the settings window's font picker.
QString displayName(NoteFont font);
// Each typeface looks a different size at the same nominal size; this evens them out.
double sizeFactor(NoteFont font);

// One family to try and the weight to draw it at. An empty family stands for the desktop's
// general system font.
struct Face
{
    QString family;
    QFont::Weight weight = QFont::Normal;

    friend bool operator==(const Face &, const Face &) = default;
};

// The faces tried for `font`, the first installed one winning. The last face is always
// available: the shipped Caveat for the handwriting cases, the system font for the others.
QList<Face> faces(NoteFont font);
// The first face of `faces(font)` whose family `isInstalled` accepts, else the last one.
Face resolveFace(NoteFont font, const std::function<bool(const QString &family)> &isInstalled);

// The font of `noteFont` for a nominal size in points: the resolved face at size × sizeFactor.
QFont font(NoteFont noteFont, double pointSize);

} // namespace NoteFonts

// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteFont.h"

#include <QFontDatabase>

namespace NoteFonts {

namespace {

// The handwriting faces of the original design are not free fonts, so each is followed by
// a free look-alike that Debian packages (installed by scripts/install-deps.sh):
// - "Noteworthy" Light, a light upright hand: Comic Neue Light (fonts-comic-neue), then
//   Humor Sans (fonts-humor-sans), both casual print hands of even stroke;
// - "Bradley Hand" Bold, a heavy joined script: Dancing Script Bold (fonts-dancingscript).
// The original families stay first so a desktop that has them uses them. Caveat, shipped
// with the application, closes every handwriting chain so a note never drops to whatever
// face fontconfig would substitute for a missing family.
const Face caveatFace{QStringLiteral("Caveat"), QFont::Normal};
const Face systemFace{QString(), QFont::Normal};

} // namespace

const QList<NoteFont> &allCases()
{
    static const QList<NoteFont> cases{NoteFont::caveat, NoteFont::noteworthy,
                                       NoteFont::bradleyHand, NoteFont::system, NoteFont::rounded};
    return cases;
}

QString token(NoteFont font)
{
    switch (font) {
    case NoteFont::caveat:
        return QStringLiteral("caveat");
    case NoteFont::noteworthy:
        return QStringLiteral("noteworthy");
    case NoteFont::bradleyHand:
        return QStringLiteral("bradleyHand");
    case NoteFont::system:
        return QStringLiteral("system");
    case NoteFont::rounded:
        return QStringLiteral("rounded");
    }
    return QStringLiteral("caveat");
}

std::optional<NoteFont> fromToken(QStringView token)
{
    for (const NoteFont font : allCases()) {
        if (NoteFonts::token(font) == token)
            return font;
    }
    return std::nullopt;
}

QString displayName(NoteFont font)
{
    switch (font) {
    case NoteFont::caveat:
        return QStringLiteral("Caveat");
    case NoteFont::noteworthy:
        return QStringLiteral("Noteworthy");
    case NoteFont::bradleyHand:
        return QStringLiteral("Bradley Hand");
    case NoteFont::system:
        return QStringLiteral("Del sistema");
    case NoteFont::rounded:
        return QStringLiteral("Del sistema, redondeada");
    }
    return displayName(NoteFont::caveat);
}

double sizeFactor(NoteFont font)
{
    switch (font) {
    case NoteFont::caveat:
        return 1.0;
    case NoteFont::noteworthy:
        return 0.82;
    case NoteFont::bradleyHand:
        return 0.88;
    case NoteFont::system:
    case NoteFont::rounded:
        return 0.78;
    }
    return 1.0;
}

QList<Face> faces(NoteFont font)
{
    switch (font) {
    case NoteFont::caveat:
        return {caveatFace};
    case NoteFont::noteworthy:
        return {{QStringLiteral("Noteworthy"), QFont::Light},
                {QStringLiteral("Comic Neue"), QFont::Light},
                {QStringLiteral("Humor Sans"), QFont::Normal},
                caveatFace};
    case NoteFont::bradleyHand:
        return {{QStringLiteral("Bradley Hand"), QFont::Bold},
                {QStringLiteral("Dancing Script"), QFont::Bold},
                caveatFace};
    case NoteFont::system:
        return {systemFace};
    case NoteFont::rounded:
        // The desktop has no rounded variant of its system font; Quicksand (fonts-quicksand)
        // is a sans of rounded strokes close to it in width.
        return {{QStringLiteral("Quicksand"), QFont::Normal}, systemFace};
    }
    return {caveatFace};
}

Face resolveFace(NoteFont font, const std::function<bool(const QString &family)> &isInstalled)
{
    const QList<Face> candidates = faces(font);
    for (const Face &face : candidates) {
        if (!face.family.isEmpty() && isInstalled(face.family))
            return face;
    }
    return candidates.last();
}

QFont font(NoteFont noteFont, double pointSize)
{
    // A family with styles is one the font database really holds. `hasFamily` would say
    // the same but runs fontconfig's substitution on every call, far too slow for painting.
    const Face face = resolveFace(
        noteFont, [](const QString &family) { return !QFontDatabase::styles(family).isEmpty(); });
    QFont result = face.family.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont)
                                         : QFont(face.family);
    result.setWeight(face.weight);
    result.setPointSizeF(pointSize * sizeFactor(noteFont));
    return result;
}

} // namespace NoteFonts

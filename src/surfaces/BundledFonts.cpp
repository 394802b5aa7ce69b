// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/BundledFonts.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>

namespace BundledFonts {

QStringList registerAll()
{
    // Registering the same file twice would add a second copy of each face; remember what
    // an earlier call made available.
    static QStringList registered;
    if (!registered.isEmpty() || qGuiApp == nullptr)
        return registered;

    const QDir folder(QStringLiteral(":/fonts"));
    const QStringList files = folder.entryList({QStringLiteral("*.ttf"), QStringLiteral("*.otf")},
                                               QDir::Files, QDir::Name);
    QStringList families;
    for (const QString &file : files) {
        const int id = QFontDatabase::addApplicationFont(folder.filePath(file));
        if (id < 0)
            continue;
        for (const QString &family : QFontDatabase::applicationFontFamilies(id)) {
            if (!families.contains(family))
                families.append(family);
        }
    }
    registered = families;
    return registered;
}

} // namespace BundledFonts

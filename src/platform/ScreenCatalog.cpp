// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ScreenCatalog.h"

namespace ScreenCatalog {

std::optional<quint32> displayNumber(const QString &outputName)
{
    if (outputName.isEmpty())
        return std::nullopt;
    quint32 hash = 2166136261u;
    for (const char byte : outputName.toUtf8()) {
        hash ^= quint8(byte);
        hash *= 16777619u;
    }
    return hash;
}

QList<QString> localizedNames(const QList<ScreenFacts> &screens)
{
    QList<QString> names;
    names.reserve(screens.size());
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const ScreenFacts &screen = screens.at(i);
        QString name = screen.model.trimmed();
        if (name.isEmpty())
            name = screen.name.trimmed();
        if (name.isEmpty())
            name = QStringLiteral("Pantalla %1").arg(i + 1);
        names.append(name);
    }
    QList<QString> result = names;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const ScreenFacts &screen = screens.at(i);
        if (names.count(names.at(i)) > 1 && !screen.name.isEmpty() && names.at(i) != screen.name)
            result[i] = QStringLiteral("%1 (%2)").arg(names.at(i), screen.name);
    }
    return result;
}

QList<ScreenInfo> describe(const QList<ScreenFacts> &screens, const GlobalCoordinates &coordinates)
{
    const QList<QString> names = localizedNames(screens);
    QList<ScreenInfo> result;
    result.reserve(screens.size());
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const ScreenFacts &screen = screens.at(i);
        result.append({displayNumber(screen.name), coordinates.rectToGlobal(screen.geometry),
                       coordinates.rectToGlobal(screen.availableGeometry), names.at(i)});
    }
    return result;
}

} // namespace ScreenCatalog

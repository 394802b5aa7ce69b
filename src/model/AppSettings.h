// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ScreenEdge.h"
#include "model/ScreenSource.h"

#include <QList>
#include <QString>

#include <optional>

class UserDefaults;

// The settings keys and the typed readings of the ones that need interpretation.
namespace AppSettings {

namespace Keys {
inline const QString showsDockIcon = QStringLiteral("showsDockIcon");
inline const QString railScreen = QStringLiteral("railScreen");
inline const QString defaultEdge = QStringLiteral("defaultEdge");
inline const QString noteFont = QStringLiteral("noteFont");
inline const QString noteFontSize = QStringLiteral("noteFontSize");
inline const QString hasSeenTour = QStringLiteral("hasSeenTour");
inline const QString hasSeededWelcomeNotes = QStringLiteral("hasSeededWelcomeNotes");
inline const QString reiniciarSincronizacion = QStringLiteral("reiniciarSincronizacion");
inline const QString floatingNotePrefix = QStringLiteral("floatingNote.");
} // namespace Keys

namespace Defaults {
inline constexpr bool showsDockIcon = false;
inline const QString railScreen = QStringLiteral("main");
inline const QString defaultEdge = QStringLiteral("right");
inline const QString noteFont = QStringLiteral("caveat");
inline constexpr double noteFontSize = 20;
} // namespace Defaults

// The edge where new notes are born, read from the settings at the moment of the call.
ScreenEdge defaultEdge();
ScreenEdge defaultEdge(const UserDefaults &defaults);

// Which screen holds the rails.
class RailScreen
{
public:
    enum class Kind
    {
        main,
        withCursor,
        display
    };

    static RailScreen main() { return RailScreen(Kind::main, 0); }
    static RailScreen withCursor() { return RailScreen(Kind::withCursor, 0); }
    static RailScreen display(quint32 number) { return RailScreen(Kind::display, number); }
    // Decodes a stored token; anything not understood is `main`.
    static RailScreen fromToken(QStringView token);

    Kind kind() const { return m_kind; }
    quint32 displayNumber() const { return m_number; }
    QString token() const;
    QString label(const ScreenSource &screens) const;
    std::optional<ScreenInfo> resolve(const ScreenSource &screens) const;
    static QList<RailScreen> choices(const ScreenSource &screens);

    friend bool operator==(const RailScreen &, const RailScreen &) = default;

private:
    RailScreen(Kind kind, quint32 number) : m_kind(kind), m_number(number) {}
    Kind m_kind;
    quint32 m_number;
};

} // namespace AppSettings

// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/AppSettings.h"

#include "model/UserDefaults.h"

namespace AppSettings {

ScreenEdge defaultEdge()
{
    return defaultEdge(UserDefaults::standard());
}

ScreenEdge defaultEdge(const UserDefaults &defaults)
{
    return ScreenEdges::fromToken(defaults.stringValue(Keys::defaultEdge));
}

RailScreen RailScreen::fromToken(QStringView token)
{
    if (token == u"withCursor")
        return withCursor();
    const QStringView prefix = u"display:";
    if (!token.startsWith(prefix))
        return main();
    QStringView digits = token.mid(prefix.size());
    if (digits.startsWith(u'+'))
        digits = digits.mid(1);
    if (digits.isEmpty() || digits.size() > 20)
        return main();
    quint64 value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return main();
        value = value * 10 + quint64(c.unicode() - u'0');
        if (value > 0xFFFFFFFFull)
            return main();
    }
    return display(quint32(value));
}

QString RailScreen::token() const
{
    switch (m_kind) {
    case Kind::main:
        return QStringLiteral("main");
    case Kind::withCursor:
        return QStringLiteral("withCursor");
    case Kind::display:
        return QStringLiteral("display:%1").arg(m_number);
    }
    return QStringLiteral("main");
}

QString RailScreen::label(const ScreenSource &screens) const
{
    switch (m_kind) {
    case Kind::main:
        return QStringLiteral("La pantalla principal");
    case Kind::withCursor:
        return QStringLiteral("La pantalla donde esté el cursor");
    case Kind::display:
        for (const ScreenInfo &screen : screens.screens()) {
            if (screen.displayNumber == m_number)
                return screen.localizedName;
        }
        return QStringLiteral("Una pantalla desconectada");
    }
    return {};
}

std::optional<ScreenInfo> RailScreen::resolve(const ScreenSource &screens) const
{
    const QList<ScreenInfo> connected = screens.screens();
    if (m_kind == Kind::withCursor) {
        const QPointF pointer = screens.pointerLocation();
        for (const ScreenInfo &screen : connected) {
            if (frameContains(screen.frame, pointer))
                return screen;
        }
    } else if (m_kind == Kind::display) {
        for (const ScreenInfo &screen : connected) {
            if (screen.displayNumber == m_number)
                return screen;
        }
    }
    if (auto mainScreen = screens.mainScreen())
        return mainScreen;
    if (!connected.isEmpty())
        return connected.first();
    return std::nullopt;
}

QList<RailScreen> RailScreen::choices(const ScreenSource &screens)
{
    QList<RailScreen> result{main(), withCursor()};
    for (const ScreenInfo &screen : screens.screens()) {
        if (screen.displayNumber)
            result << display(*screen.displayNumber);
    }
    return result;
}

} // namespace AppSettings

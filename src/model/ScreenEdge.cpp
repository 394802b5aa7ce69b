// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ScreenEdge.h"

namespace ScreenEdges {

QString token(ScreenEdge edge)
{
    return edge == ScreenEdge::left ? QStringLiteral("left") : QStringLiteral("right");
}

ScreenEdge fromToken(QStringView token)
{
    return token == u"left" ? ScreenEdge::left : ScreenEdge::right;
}

const QList<ScreenEdge> &allCases()
{
    static const QList<ScreenEdge> cases{ScreenEdge::left, ScreenEdge::right};
    return cases;
}

ScreenEdge opposite(ScreenEdge edge)
{
    return edge == ScreenEdge::left ? ScreenEdge::right : ScreenEdge::left;
}

} // namespace ScreenEdges

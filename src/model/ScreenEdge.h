// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

// The screen edge whose rail shows a note. Stored as a token; any stored token other
// than exactly "left" reads as `right`.
enum class ScreenEdge
{
    left,
    right
};

namespace ScreenEdges {
QString token(ScreenEdge edge);
ScreenEdge fromToken(QStringView token);
const QList<ScreenEdge> &allCases();
ScreenEdge opposite(ScreenEdge edge);
} // namespace ScreenEdges

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

// The small line drawings the library shows beside its sections, in its empty lists and on
// floating notes. They are drawn rather than taken from an icon theme so that they look
// the same on every desktop and follow the text colour they are given.
namespace LibrarySymbols {

// The symbol names the drawings stand for.
inline const QString sidebarSquaresRight = QStringLiteral("sidebar.squares.right");
inline const QString checkmarkCircle = QStringLiteral("checkmark.circle");
inline const QString archivebox = QStringLiteral("archivebox");
inline const QString trash = QStringLiteral("trash");
inline const QString pinFill = QStringLiteral("pin.fill");
inline const QString magnifyingglass = QStringLiteral("magnifyingglass");

// True for the names above.
bool isKnown(const QString &symbol);

// Draws `symbol` centred in the largest square inside `rect`. Unknown names draw nothing.
void paint(QPainter &painter, const QString &symbol, const QRectF &rect, const QColor &color);

// The symbol as an icon of `size` logical pixels, sharp on high-density screens; drawn in
// `selectedColor` where the icon stands on a selection, if one is given.
QIcon icon(const QString &symbol, const QColor &color, int size = 16,
           const std::optional<QColor> &selectedColor = std::nullopt);

} // namespace LibrarySymbols

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QUuid>

#include <optional>

class ScreenSource;
class UserDefaults;

// Where each floating note's window was left, kept in the settings so it reopens there,
// and the cascade that places a window that has no remembered place.
namespace FloatingNotePositions {

// "floatingNote." followed by the id in upper-case 8-4-4-4-12 form.
QString key(const QUuid &noteId);
// "floatingNoteSize." and the same id: the window's size once it was resized, "width,height"
// in the same number form. Apart from the origin, so versions that know only the origin
// still read theirs.
QString sizeKey(const QUuid &noteId);

// "x,y": each number in the shortest form that reads back to the same double, so 120 and
// 10.5 (never 120.0). Non-finite coordinates have no form.
std::optional<QString> format(const QPointF &origin);
// Pieces between commas, empty ones dropped, those that are not numbers skipped: exactly
// two numbers are a point, anything else is none.
std::optional<QPointF> parse(const QString &stored);

std::optional<QPointF> load(const QUuid &noteId, const UserDefaults &defaults);
// Writes nothing for an origin that is not finite, so a broken frame cannot replace a
// good remembered place.
void save(const QUuid &noteId, const QPointF &origin, UserDefaults &defaults);
// Removes the origin and the size.
void forget(const QUuid &noteId, UserDefaults &defaults);

// The remembered size: two positive numbers, each at least the given minimum, or none.
std::optional<QSizeF> loadSize(const QUuid &noteId, const QSizeF &minimum,
                               const UserDefaults &defaults);
// Writes the origin and the size of `frame` (bottom-left origin), each only when it differs
// from what is stored, so a window that settles where it was wakes no observer.
void saveFrame(const QUuid &noteId, const QRectF &frame, UserDefaults &defaults);

// The same against the standard settings of the process.
std::optional<QPointF> load(const QUuid &noteId);
void save(const QUuid &noteId, const QPointF &origin);
void forget(const QUuid &noteId);

// Bottom-left origin (y upwards) for the index-th window without a remembered place:
// centred in the visible area of the main screen (else the first screen), then 26 points
// right and down per index, starting over every eight; (200, 200) with no screen at all.
QPointF defaultOrigin(qsizetype index, const QSizeF &size, const ScreenSource &screens);

inline constexpr double cascadeStep = 26;
inline constexpr int cascadeLength = 8;

} // namespace FloatingNotePositions

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "surfaces/NoteSurfaceEnvironment.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>

// Helpers shared by the view tests of the note surfaces.
namespace ViewTest {

// A note inserted into `context` and saved.
Note *insertNote(ModelContext &context, const QString &title, const QString &body,
                 NoteColor color = NoteColor::citrus, ScreenEdge edge = ScreenEdge::right);

// An environment for tests: the given scheme and context, and a short save delay.
NoteSurfaceEnvironment
environment(ModelContext *context, ColorScheme scheme,
            std::chrono::milliseconds saveDelay = std::chrono::milliseconds(40));

// Renders `widget` and its children on a transparent image (or on `background`).
QImage render(QWidget &widget, const QColor &background = Qt::transparent);

// The colour of `image` at `point` (rounded down to a pixel), unpremultiplied.
QColor pixel(const QImage &image, QPointF point);
// Largest per-channel difference of two colours.
int distance(const QColor &a, const QColor &b);
// Relative luminance of a colour, 0 to 1.
double luminance(const QColor &color);
// `a` and `b` mixed: 0 gives `a`, 1 gives `b`.
QColor mix(const QColor &a, const QColor &b, double amount);
// Pixels in `area` (image coordinates) that differ from `reference` by more than `threshold`.
int pixelsDifferingFrom(const QImage &image, const QRectF &area,
                        const std::function<QColor(QPoint)> &reference, int threshold);

// Where screenshots go: $ORLETTE_ARTIFACTS_DIR, else view-artifacts in the build directory.
QString artifactsDirectory();
// Saves `image` as `name`.png among the artifacts; true when written.
bool saveArtifact(const QImage &image, const QString &name);

} // namespace ViewTest

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ScreenSource.h"
#include "platform/GlobalCoordinates.h"

#include <QList>
#include <QRect>
#include <QString>

#include <optional>

// What the window system tells about one connected screen, in Qt coordinates.
struct ScreenFacts
{
    QString name; // the output (connector) name, e.g. "HDMI-1"
    QString model;
    QRect geometry;
    QRect availableGeometry;
};

// Turns the window system's screens into the application's ScreenInfo records.
namespace ScreenCatalog {

// The display number of an output: a 32-bit FNV-1a hash of its name. Output names are
// stable across restarts of the X server and reconnections (unlike RandR output ids,
// which the server hands out at start-up), so a screen chosen in the settings is found
// again. A nameless output has no number.
std::optional<quint32> displayNumber(const QString &outputName);

// The name shown for a screen: its model, else its output name, else "Pantalla n"; a
// name that several screens share gets the output name in parentheses.
QList<QString> localizedNames(const QList<ScreenFacts> &screens);

QList<ScreenInfo> describe(const QList<ScreenFacts> &screens, const GlobalCoordinates &coordinates);

} // namespace ScreenCatalog

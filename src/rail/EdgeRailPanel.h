// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ScreenEdge.h"
#include "rail/WindowSystem.h"

#include <QRectF>

#include <memory>

// The window of one rail: a borderless, transparent panel above ordinary windows on every
// desktop, out of the task bar, that never takes the keyboard by a click (only when the
// rail asks for it, to type into a note opened in place) and starts click-through.
namespace EdgeRailPanel {

// The width of every rail, in points.
inline constexpr double railWidth = 540;

PanelOptions options();

// The rail's frame on a screen: the full height of the visible frame (the screen without
// its bars and docks), `railWidth` wide, against the visible frame's left or right side.
// Global coordinates (bottom-left origin).
QRectF frame(const QRectF &visibleFrame, ScreenEdge edge);

std::unique_ptr<Panel> create(WindowSystem &windows, const QRectF &frame);

} // namespace EdgeRailPanel

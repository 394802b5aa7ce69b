// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/EdgeRailPanel.h"

namespace EdgeRailPanel {

PanelOptions options()
{
    PanelOptions options;
    options.takesFocusOnClick = false;
    // Nothing in the panel is clickable until the first pointer sample over a tab.
    options.ignoresMouseEvents = true;
    return options;
}

QRectF frame(const QRectF &visibleFrame, ScreenEdge edge)
{
    const double x = edge == ScreenEdge::right ? visibleFrame.x() + visibleFrame.width() - railWidth
                                               : visibleFrame.x();
    return {x, visibleFrame.y(), railWidth, visibleFrame.height()};
}

std::unique_ptr<Panel> create(WindowSystem &windows, const QRectF &frame)
{
    return windows.createPanel(frame, options());
}

} // namespace EdgeRailPanel
